#include "support/scripted_machine.h"

#include "camera/camera_check.h"
#include "decode/decoder_check.h"
#include "encode/encoder_check.h"
#include "gpu/gpu_details.h"
#include "gpu/support_policy.h"
#include "gpu/video_cards.h"

namespace cc::testing {
namespace {

constexpr GUID video_format(std::uint32_t fourcc) {
  return {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

const GUID kVideo = video_format(0x73646976);
const GUID kH264 = video_format(0x34363248);
const GUID kYuy2 = video_format(0x32595559);
const GUID kMajorType = {0x48EBA18E,
                         0xF8C9,
                         0x4687,
                         {0xBF, 0x11, 0x0A, 0x74, 0xC9, 0xF9, 0x6A, 0x8F}};
const GUID kSubtype = {0xF7E34C9A,
                       0x42E8,
                       0x4714,
                       {0xB7, 0x4B, 0xCB, 0x29, 0xD7, 0x2C, 0x35, 0xE5}};
const GUID kFrameSize = {0x1652C33D,
                         0xD6B2,
                         0x4012,
                         {0xB8, 0x34, 0x72, 0x03, 0x08, 0x49, 0xA3, 0x7D}};
const GUID kMftName = {0x314FFBAE,
                       0x5B41,
                       0x4C95,
                       {0x9C, 0x19, 0x4E, 0x7D, 0x58, 0x6F, 0xAC, 0xE3}};
const GUID kMftVendor = {0x3AECB0CC,
                         0x035B,
                         0x4BCC,
                         {0x81, 0x85, 0x2B, 0x8D, 0x55, 0x1E, 0xF3, 0xAF}};
const GUID kLowLatency = {0x9C27891A,
                          0xED7A,
                          0x40E1,
                          {0x88, 0xE8, 0xB2, 0x27, 0x27, 0xA0, 0x24, 0xEE}};
const GUID kMaxRefFrames = {0x964829ED,
                            0x94F9,
                            0x43B4,
                            {0xB7, 0x4D, 0xEF, 0x40, 0x94, 0x4B, 0x69, 0xA0}};
const GUID kTemporalLayers = {0x19CAEBFF,
                              0xB74D,
                              0x4CFD,
                              {0x8C, 0x27, 0xC2, 0xF9, 0xD9, 0x7D, 0x5F, 0x52}};
const GUID kRateControl = {0x1C0608E9,
                           0x370C,
                           0x4710,
                           {0x8A, 0x58, 0xCB, 0x61, 0x81, 0xC4, 0x24, 0x23}};
const GUID kVideoUsage = {0x1F636849,
                          0x5DC1,
                          0x49F1,
                          {0xB1, 0xD8, 0xCE, 0x3C, 0xF6, 0x2E, 0xA3, 0x85}};
const GUID kCameraName = {0x60D0E559,
                          0x52F8,
                          0x4FA2,
                          {0xBB, 0xCE, 0xAC, 0xDB, 0x34, 0xA8, 0xEC, 0x01}};
const GUID kCameraLink = {0x58F0AAD8,
                          0x22BF,
                          0x4F8A,
                          {0xBB, 0x3D, 0xD2, 0xC4, 0x97, 0x8C, 0x6E, 0x2F}};
const GUID kUsages = {0x60B1A998, 0xDC01, 0x40CE, {0x97, 0x36, 0xAB, 0xA8, 0x45, 0xA2, 0xDB, 0xDC}};
const GUID kRateModes = {0x6A8AC47E,
                         0x519C,
                         0x4F18,
                         {0x9B, 0xB3, 0x7E, 0xEA, 0xAE, 0xA5, 0x59, 0x4D}};
const GUID kLevel = {0x96F66574, 0x11C5, 0x4015, {0x86, 0x66, 0xBF, 0xF5, 0x16, 0x43, 0x6D, 0xA7}};
const GUID kProfile = {0xAD76A80B,
                       0x2D5C,
                       0x4E0B,
                       {0xB3, 0x75, 0x64, 0xE5, 0x20, 0x13, 0x70, 0x36}};
const GUID kDxva2H264E = {0x1B81BE68,
                          0xA0C7,
                          0x11D3,
                          {0xB9, 0x84, 0x00, 0xC0, 0x4F, 0x2E, 0x73, 0xC5}};
const GUID kDxva2Mpeg2 = {0xEE27417F,
                          0x5E28,
                          0x4E65,
                          {0xBE, 0xEA, 0x1D, 0x26, 0xB5, 0x08, 0xAD, 0xC9}};
constexpr std::uint32_t kNv12 = 0x3231564E;

void add_adapter(ScriptedMachine& machine, int index) {
  const bool intel = index % 2 == 0;
  const std::string slot = std::to_string(index);
  if (intel) {
    machine.adapters.devices.push_back(pci_device("Intel(R) HD Graphics 530 #" + slot,
                                                  "PCI\\VEN_8086&DEV_1912&SUBSYS_06DC1028&REV_06",
                                                  u"20.19.15.4531"));
    machine.decoder.adapters.push_back({"Intel(R) HD Graphics 530",
                                        {kDxva2Mpeg2, kDxva2H264E},
                                        {0x32595559, kNv12},
                                        {{{0}, {1}}}});
  } else {
    machine.adapters.devices.push_back(pci_device("NVIDIA GeForce GTX 1060 #" + slot,
                                                  "PCI\\VEN_10DE&DEV_1C03&SUBSYS_85AE1043&REV_A1",
                                                  u"23.21.13.8813"));
    machine.decoder.adapters.push_back({"NVIDIA GeForce GTX 1060", {kDxva2Mpeg2}, {kNv12}, {}});
  }
}

void add_encoder(ScriptedMachine& machine, int index) {
  const bool intel = index % 2 == 0;
  DeviceDescription encoder;
  encoder.strings[kMftName] =
      u16(intel ? "Intel(R) Quick Sync Video H.264 Encoder MFT" : "NVIDIA H.264 Encoder MFT");
  encoder.strings[kMftVendor] = u16(intel ? "VEN_8086" : "VEN_10DE");
  // Intel takes frame sizes up to 1280x720; NVIDIA takes all but lacks layers.
  encoder.transform.accept = [intel](std::uint32_t, const AttributeValues& type, std::uint32_t) {
    auto size = type.uint64s.find(kFrameSize);
    const bool small = size != type.uint64s.end() && (size->second >> 32) <= 1280;
    return intel && !small ? static_cast<HRESULT>(0xC00D36B4u) : S_OK;  // MF_E_INVALIDMEDIATYPE
  };
  encoder.codec.supported[kLowLatency] = S_OK;
  encoder.codec.supported[kMaxRefFrames] = S_FALSE;
  if (intel)
    encoder.codec.supported[kTemporalLayers] = S_OK;
  encoder.codec.set_results[{kTemporalLayers, 2}] = S_OK;
  machine.media_foundation.encoders.push_back(encoder);
}

AttributeValues video_type(const GUID& subtype) {
  AttributeValues type;
  type.guids[kMajorType] = kVideo;
  type.guids[kSubtype] = subtype;
  return type;
}

void add_camera(ScriptedMachine& machine, int index) {
  const bool uvc15 = index % 2 == 0;
  char link[160];
  std::snprintf(link, sizeof(link),
                "\\\\?\\usb#vid_046d&pid_%04x&mi_00#6&2f3c&0&%04d#"
                "{e5323777-f976-4f5b-9b55-b94699c46e44}\\global",
                uvc15 ? 0x0893 : 0x0843, index);
  DeviceDescription camera;
  camera.strings[kCameraName] = u16(uvc15 ? "Logitech BRIO" : "Logitech Webcam C930e");
  camera.strings[kCameraLink] = u16(link);
  if (uvc15) {
    camera.codec.set_results[{kRateControl, 0}] = S_OK;
    camera.codec.set_results[{kVideoUsage, 1}] = S_OK;
    camera.codec.set_results[{kTemporalLayers, 2}] = S_OK;
    AttributeValues h264 = video_type(kH264);
    h264.uint32s[kUsages] = 0x3;
    h264.uint32s[kRateModes] = 0x2;
    h264.uint32s[kLevel] = 40;
    h264.uint32s[kProfile] = 257;
    camera.transform.available_types = {{video_type(kYuy2), h264}};
  } else {
    camera.has_codec_api = false;  // a UVC 1.1 camera shows no codec interface
  }
  machine.media_foundation.cameras.push_back(camera);

  FakeKsNode unit;
  unit.sets = {uvc15 ? kOtherSet : kH264UnitSet};
  FakeKsNode other;
  other.type = kOtherNode;
  machine.directshow.devices.push_back({std::string(link), true, {other, unit}});
}

}  // namespace

ScriptedMachine::ScriptedMachine(MachineShape shape) {
  os.product_name = "Windows 10 Pro";
  for (int i = 0; i < shape.adapters; ++i)
    add_adapter(*this, i);
  for (int i = 0; i < shape.encoders; ++i)
    add_encoder(*this, i);
  for (int i = 0; i < shape.cameras; ++i)
    add_camera(*this, i);
}

CheckSet ScriptedMachine::checks() {
  const VideoCardEnumerator enumerate = [this](const VideoCardCallback& callback) {
    return enumerate_video_cards(adapters, callback);
  };
  const VideoCardPolicy policy = [this](const VideoCardInfo& card) {
    return check_video_card_support(card, os);
  };
  CheckSet checks;
  checks.decoder = [this](ReportSection& section, bool& available) {
    check_hardware_decoder_capability(section, available, decoder);
  };
  checks.gpu_details = [enumerate](ReportSection& section) {
    check_supported_video_card(section, enumerate);
  };
  checks.encoder = [this, enumerate, policy](ReportSection& section, bool& available,
                                             bool& supported) {
    check_hardware_encoder_capability(section, available, supported, media_foundation, enumerate,
                                      policy);
  };
  checks.camera = [this](ReportSection& section, bool& uvc15, bool& uvc11) {
    check_uvc11_camera_capability(section, uvc15, uvc11, media_foundation, directshow);
  };
  return checks;
}

int ScriptedMachine::run(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "CapabilityChecker.exe");
  return run_checker(static_cast<int>(arguments.size()), arguments.data(), driver, os, checks());
}

}  // namespace cc::testing
