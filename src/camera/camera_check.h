// The camera section: every video capture device with its UVC 1.5 and UVC 1.1
// verdicts, and the probes behind them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "camera/directshow.h"
#include "platform/media_foundation.h"
#include "report/report_section.h"

namespace cc {

void check_uvc11_camera_capability(ReportSection& section,
                                   bool& camera_uvc15,
                                   bool& camera_uvc11,
                                   MediaFoundation& mf,
                                   DirectShow& directshow);

// True when the camera's codec interface takes constant bitrate, a UCConfig
// usage mode and temporal layering.
bool probe_camera_codec_api(ReportSection& section, Activate& camera, MediaFoundation& mf);

using OutputTypeCallback = std::function<void(MediaType& type, std::uint32_t stream)>;

// Calls back with every available video output type of every output stream.
void for_each_video_output_type(ReportSection& section,
                                Transform& transform,
                                OutputTypeCallback callback);

// Sets plain_format for an uncompressed or MJPEG type, h264 for an H.264 type
// that passes test_h264_output_type.
void classify_output_type(ReportSection& section,
                          Transform& transform,
                          MediaType& type,
                          std::uint32_t stream,
                          bool& plain_format,
                          bool& h264);

bool test_h264_output_type(ReportSection& section,
                           Transform& transform,
                           MediaType& type,
                           std::uint32_t stream);

struct UsbIds {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
};

// The number after the first "vid_" / "pid_" (lower case only), read as
// strtol(base 16) reads it on Windows, low 16 bits kept; 0 when absent.
UsbIds parse_usb_ids(const std::string& symbolic_link);

// Sets flag when the DirectShow device whose path equals symbolic_link exposes
// the UVC 1.1 H.264 extension unit; never clears it.
void probe_uvc11_extension_unit(ReportSection& section,
                                const std::string& symbolic_link,
                                bool& flag,
                                DirectShow& directshow);

}  // namespace cc
