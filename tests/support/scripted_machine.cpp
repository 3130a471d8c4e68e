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

AttributeValues video_type(const GUID& subtype) {
  AttributeValues type;
  type.guids[kMajorType] = kVideo;
  type.guids[kSubtype] = subtype;
  return type;
}

// Alternately Intel (decodes, supported) and NVIDIA.
void add_shape_adapter(ScriptedMachine& machine, int index) {
  const std::string slot = std::to_string(index);
  if (index % 2 == 0)
    add_adapter(machine,
                {"Intel(R) HD Graphics 530 #" + slot, "8086", "1912", u"20.19.15.4531", true});
  else
    add_adapter(machine,
                {"NVIDIA GeForce GTX 1060 #" + slot, "10DE", "1C03", u"23.21.13.8813", false});
}

// Intel takes frame sizes up to 1280x720; NVIDIA takes all but lacks layers.
void add_shape_encoder(ScriptedMachine& machine, int index) {
  if (index % 2 == 0)
    add_encoder(machine, {"Intel(R) Quick Sync Video H.264 Encoder MFT", "VEN_8086", 1280, true});
  else
    add_encoder(machine, {"NVIDIA H.264 Encoder MFT", "VEN_10DE", 1920, false});
}

}  // namespace

void add_adapter(ScriptedMachine& machine, const AdapterSpec& adapter) {
  machine.adapters.devices.push_back(pci_device(
      adapter.name,
      "PCI\\VEN_" + adapter.vendor_id + "&DEV_" + adapter.device_id + "&SUBSYS_06DC1028&REV_06",
      adapter.driver));
  // Direct3D names the adapter without the device manager's slot suffix.
  const std::string d3d_name = adapter.name.substr(0, adapter.name.find(" #"));
  if (adapter.decodes)
    machine.decoder.adapters.push_back(
        {d3d_name, {kDxva2Mpeg2, kDxva2H264E}, {kYuy2Fourcc, kNv12Fourcc}, {{{0}, {1}}}});
  else
    machine.decoder.adapters.push_back({d3d_name, {kDxva2Mpeg2}, {kNv12Fourcc}, {}});
}

void add_encoder(ScriptedMachine& machine, const EncoderSpec& shape) {
  DeviceDescription encoder;
  encoder.strings[kMftFriendlyName] = u16(shape.name);
  encoder.strings[kMftVendorId] = u16(shape.vendor);
  const unsigned max_width = shape.max_width;
  encoder.transform.accept = [max_width](std::uint32_t, const AttributeValues& type,
                                         std::uint32_t) {
    auto size = type.uint64s.find(kFrameSize);
    const bool fits = size != type.uint64s.end() && (size->second >> 32) <= max_width;
    return fits ? S_OK : static_cast<HRESULT>(0xC00D36B4u);  // MF_E_INVALIDMEDIATYPE
  };
  encoder.codec.supported[kLowLatency] = S_OK;
  encoder.codec.supported[kMaxRefFrames] = S_FALSE;
  if (shape.temporal_layers)
    encoder.codec.supported[kTemporalLayers] = S_OK;
  encoder.codec.set_results[{kTemporalLayers, 2}] = S_OK;
  machine.media_foundation.encoders.push_back(encoder);
}

void add_camera(ScriptedMachine& machine, CameraKind kind, int index) {
  const bool uvc15 = kind == CameraKind::kUvc15;
  const unsigned product = kind == CameraKind::kUvc15   ? 0x0893
                           : kind == CameraKind::kC920  ? 0x082D
                           : kind == CameraKind::kUvc11 ? 0x0843
                                                        : 0x0825;
  const char* name = kind == CameraKind::kUvc15   ? "Logitech BRIO"
                     : kind == CameraKind::kC920  ? "Logitech HD Pro Webcam C920"
                     : kind == CameraKind::kUvc11 ? "Logitech Webcam C930e"
                                                  : "Integrated Camera";
  char link[160];
  std::snprintf(link, sizeof(link),
                "\\\\?\\usb#vid_046d&pid_%04x&mi_00#6&2f3c&0&%04d#"
                "{e5323777-f976-4f5b-9b55-b94699c46e44}\\global",
                product, index);
  DeviceDescription camera;
  camera.strings[kFriendlyName] = u16(name);
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

  const bool h264_unit = kind == CameraKind::kUvc11 || kind == CameraKind::kC920;
  FakeKsNode unit;
  unit.sets = {h264_unit ? kH264UnitSet : kOtherSet};
  FakeKsNode other;
  other.type = kOtherNode;
  machine.directshow.devices.push_back({std::string(link), true, {other, unit}});
}

ScriptedMachine::ScriptedMachine(MachineShape shape) {
  // The driver's thread stays blocked until the run has been ended for it.
  driver.on_end_process = [this] { script.release_hang(); };
  driver.on_thread_start = [this] { script.on_thread_start(); };
  os.product_name = "Windows 10 Pro";
  for (int i = 0; i < shape.adapters; ++i)
    add_shape_adapter(*this, i);
  for (int i = 0; i < shape.encoders; ++i)
    add_shape_encoder(*this, i);
  for (int i = 0; i < shape.cameras; ++i)
    add_camera(*this, i % 2 == 0 ? CameraKind::kUvc15 : CameraKind::kUvc11, i);
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
    note_emulation_on_arm64(section, os, own_machine);
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
