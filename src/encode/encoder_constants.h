// Media Foundation identifiers the encoder check passes to the platform. They
// are spelled out here so that the core needs no platform header.
#pragma once

#include "platform/com_types.h"

namespace cc {

// MFT_FRIENDLY_NAME_Attribute
inline const GUID kMftFriendlyName = {0x314ffbae,
                                      0x5b41,
                                      0x4c95,
                                      {0x9c, 0x19, 0x4e, 0x7d, 0x58, 0x6f, 0xac, 0xe3}};
// MFT_ENUM_HARDWARE_VENDOR_ID_Attribute
inline const GUID kMftHardwareVendorId = {0x3aecb0cc,
                                          0x035b,
                                          0x4bcc,
                                          {0x81, 0x85, 0x2b, 0x8d, 0x55, 0x1e, 0xf3, 0xaf}};
// MF_TRANSFORM_ASYNC_UNLOCK
inline const GUID kTransformAsyncUnlock = {0xe5666d6b,
                                           0x3422,
                                           0x4eb6,
                                           {0xa4, 0x21, 0xda, 0x7d, 0xb1, 0xf8, 0xe2, 0x07}};
// MF_MT_MAJOR_TYPE
inline const GUID kMtMajorType = {0x48eba18e,
                                  0xf8c9,
                                  0x4687,
                                  {0xbf, 0x11, 0x0a, 0x74, 0xc9, 0xf9, 0x6a, 0x8f}};
// MF_MT_SUBTYPE
inline const GUID kMtSubtype = {0xf7e34c9a,
                                0x42e8,
                                0x4714,
                                {0xb7, 0x4b, 0xcb, 0x29, 0xd7, 0x2c, 0x35, 0xe5}};
// MF_MT_FRAME_SIZE
inline const GUID kMtFrameSize = {0x1652c33d,
                                  0xd6b2,
                                  0x4012,
                                  {0xb8, 0x34, 0x72, 0x03, 0x08, 0x49, 0xa3, 0x7d}};
// MFMediaType_Video
inline const GUID kMediaTypeVideo = {0x73646976,
                                     0x0000,
                                     0x0010,
                                     {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
// MFVideoFormat_H264
inline const GUID kVideoFormatH264 = {0x34363248,
                                      0x0000,
                                      0x0010,
                                      {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
// CODECAPI_AVLowLatencyMode
inline const GUID kCodecLowLatencyMode = {0x9c27891a,
                                          0xed7a,
                                          0x40e1,
                                          {0x88, 0xe8, 0xb2, 0x27, 0x27, 0xa0, 0x24, 0xee}};
// CODECAPI_AVEncVideoMaxNumRefFrame
inline const GUID kCodecMaxNumRefFrame = {0x964829ed,
                                          0x94f9,
                                          0x43b4,
                                          {0xb7, 0x4d, 0xef, 0x40, 0x94, 0x4b, 0x69, 0xa0}};
// CODECAPI_AVEncVideoTemporalLayerCount
inline const GUID kCodecTemporalLayerCount = {0x19caebff,
                                              0xb74d,
                                              0x4cfd,
                                              {0x8c, 0x27, 0xc2, 0xf9, 0xd9, 0x7d, 0x5f, 0x52}};

}  // namespace cc
