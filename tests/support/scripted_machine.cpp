#include "support/scripted_machine.h"

#include "camera/camera_check.h"
#include "decode/decoder_check.h"
#include "encode/encoder_check.h"
#include "gpu/gpu_details.h"
#include "gpu/support_policy.h"
#include "gpu/video_cards.h"
#include "support/media_guids.h"

namespace cc::testing {
namespace {

void add_adapter(ScriptedMachine& machine, int index) {
  const bool intel = index % 2 == 0;
  const std::string slot = std::to_string(index);
  if (intel) {
    machine.adapters.devices.push_back(pci_device("Intel(R) HD Graphics 530 #" + slot,
                                                  "PCI\\VEN_8086&DEV_1912&SUBSYS_06DC1028&REV_06",
                                                  u"20.19.15.4531"));
    machine.decoder.adapters.push_back({"Intel(R) HD Graphics 530",
                                        {kDxva2Mpeg2, kDxva2H264E},
                                        {kYuy2Fourcc, kNv12Fourcc},
                                        {{{0}, {1}}}});
  } else {
    machine.adapters.devices.push_back(pci_device("NVIDIA GeForce GTX 1060 #" + slot,
                                                  "PCI\\VEN_10DE&DEV_1C03&SUBSYS_85AE1043&REV_A1",
                                                  u"23.21.13.8813"));
    machine.decoder.adapters.push_back(
        {"NVIDIA GeForce GTX 1060", {kDxva2Mpeg2}, {kNv12Fourcc}, {}});
  }
}

void add_encoder(ScriptedMachine& machine, int index) {
  const bool intel = index % 2 == 0;
  DeviceDescription encoder;
  encoder.strings[kMftFriendlyName] =
      u16(intel ? "Intel(R) Quick Sync Video H.264 Encoder MFT" : "NVIDIA H.264 Encoder MFT");
  encoder.strings[kMftVendorId] = u16(intel ? "VEN_8086" : "VEN_10DE");
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
  camera.strings[kFriendlyName] = u16(uvc15 ? "Logitech BRIO" : "Logitech Webcam C930e");
  camera.strings[kSymbolicLink] = u16(link);
  if (uvc15) {
    camera.codec.set_results[{kRateControlMode, 0}] = S_OK;
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
  // The driver's thread stays blocked until the run has been ended for it.
  driver.on_end_process = [this] { script.release_hang(); };
  driver.on_thread_start = [this] { script.on_thread_start(); };
  os.product_name = "Windows 10 Pro";
  for (int i = 0; i < shape.adapters; ++i)
    add_adapter(*this, i);
  for (int i = 0; i < shape.encoders; ++i)
    add_encoder(*this, i);
  for (int i = 0; i < shape.cameras; ++i)
    add_camera(*this, i);
}

ScriptedMachine::~ScriptedMachine() {
  script.release_hang();
  driver.join_released_threads();
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

int ScriptedMachine::run(std::chrono::milliseconds stall_limit,
                         std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "CapabilityChecker.exe");
  return run_checker(static_cast<int>(arguments.size()), arguments.data(), driver, os, checks(),
                     stall_limit);
}

}  // namespace cc::testing
