#include "decode/decoder_check.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/seam_gate.h"
#include "report/com_error.h"
#include "report/report_texts.h"

namespace cc {
namespace {

constexpr std::uint32_t kSdkVersion = 32;  // D3D_SDK_VERSION
constexpr std::uint32_t kDeviceTypeHal = 1;
// Software vertex processing, multithreaded, FPU preserve: the device only
// hosts the decoder service, so it must not demand hardware T&L.
constexpr std::uint32_t kBehaviorFlags = 0x26;
constexpr std::uint32_t kSwapEffectDiscard = 1;
constexpr std::uint32_t kPresentFlagVideo = 0x10;
constexpr std::uint32_t kNv12 = 0x3231564E;  // 'N' 'V' '1' '2', first in the lowest byte
// ConfigBitstreamRaw: 1 = long slice format, 2 = short slice format.
constexpr std::uint32_t kRawLongSlices = 1;
constexpr std::uint32_t kRawShortSlices = 2;

// DXVA2_ModeH264_E: H.264 VLD without film grain; the other H.264 modes do not count.
const GUID kModeH264E = {0x1b81be68,
                         0xa0c7,
                         0x11d3,
                         {0xb9, 0x84, 0x00, 0xc0, 0x4f, 0x2e, 0x73, 0xc5}};

using texts::kUnknownGpuName;
const char* const kSupported = texts::kDecodeSupported;
const char* const kNoHardware = texts::kDecodeNoHardware;
const char* const kNoSuitableH264 = texts::kDecodeNoSuitableH264;

// A call that claims success but hands out no object is treated as failing,
// so that a misbehaving driver cannot make the probe dereference null.
template <typename Object>
HRESULT created(HRESULT hr, const std::unique_ptr<Object>& object) {
  return SUCCEEDED(hr) && !object ? E_POINTER : hr;
}

DeviceParameters device_parameters(std::uint32_t adapter) {
  DeviceParameters parameters;
  parameters.adapter = adapter;
  parameters.device_type = kDeviceTypeHal;
  parameters.behavior_flags = kBehaviorFlags;
  parameters.present.swap_effect = kSwapEffectDiscard;
  parameters.present.windowed = 1;
  parameters.present.flags = kPresentFlagVideo;
  return parameters;
}

std::string adapter_name(ReportSection& section, Direct3D& d3d, std::uint32_t adapter) {
  std::string description;
  const HRESULT hr = gated(d3d).get_adapter_identifier(adapter, 0, &description);
  if (SUCCEEDED(hr))
    return description;
  // Ended like every other line, so the result line does not run on after it.
  section << texts::kGpuNameErrorPrefix << static_cast<std::int32_t>(hr)
          << texts::kGpuNameErrorSuffix << "\n";
  return kUnknownGpuName;
}

bool raw_configuration_found(ReportSection& section, DecoderService& service, const GUID& profile) {
  VideoDescription description;
  description.format = kNv12;
  std::vector<DecoderConfiguration> configurations;
  const HRESULT hr =
      gated(service).get_decoder_configurations(profile, description, &configurations);
  if (FAILED(hr)) {
    append_error(section, "Couldn't get decoder configurations (code = 0x%08X, message = %s)!",
                 hex(hr), hresult_message(hr).c_str());
    return false;
  }
  return std::any_of(configurations.begin(), configurations.end(),
                     [](const DecoderConfiguration& configuration) {
                       return configuration.config_bitstream_raw == kRawLongSlices ||
                              configuration.config_bitstream_raw == kRawShortSlices;
                     });
}

// The verdict for one adapter's decoder service.
const char* probe_profiles(ReportSection& section,
                           DecoderService& service,
                           bool& decoder_available) {
  std::vector<GUID> profiles;
  const HRESULT hr = gated(service).get_decoder_device_guids(&profiles);
  if (FAILED(hr)) {
    profiles.clear();  // whatever a failing call handed back is not a profile list
    // Drivers without any DXVA2 profile answer E_FAIL; that is a finding, not an error.
    if (hr != E_FAIL)
      append_error(section, "Couldn't get decoder device GUIDs (error = 0x%08X)!", hex(hr));
  }
  if (profiles.empty())
    return kNoHardware;
  const auto h264 = std::find_if(profiles.begin(), profiles.end(), [](const GUID& profile) {
    return same_guid(profile, kModeH264E);
  });
  // The verdict is this adapter's own; the flag only ever rises.
  const bool supported =
      h264 != profiles.end() && find_decoder_configuration(section, service, *h264);
  if (!decoder_available)
    decoder_available = supported;
  return supported ? kSupported : kNoSuitableH264;
}

void probe_adapter(ReportSection& section,
                   DecoderPlatform& platform,
                   Direct3D& d3d,
                   std::uint32_t adapter,
                   bool& decoder_available) {
  const std::string name = adapter_name(section, d3d, adapter);
  std::unique_ptr<Direct3DDevice> device;
  HRESULT hr = gated(d3d).create_device(device_parameters(adapter), &device);
  hr = created(hr, device);
  if (FAILED(hr)) {
    append_error(section, "Couldn't create Direct3D device (error = 0x%08X)!", hex(hr));
    return;
  }
  std::unique_ptr<DecoderService> service;
  hr = gated(platform).create_video_decoder_service(*device, &service);
  hr = created(hr, service);
  if (FAILED(hr)) {
    append_error(section, "Couldn't create VideoDecoderService (error = 0x%08X)!", hex(hr));
    return;
  }
  const char* verdict = probe_profiles(section, *service, decoder_available);
  section << "\t" << name << verdict << "\n";
  // Declared after the device, the service is released before it.
}

}  // namespace

bool find_decoder_configuration(ReportSection& section,
                                DecoderService& service,
                                const GUID& profile) {
  std::vector<std::uint32_t> formats;
  const HRESULT hr = gated(service).get_decoder_render_targets(profile, &formats);
  if (FAILED(hr)) {
    append_error(section, "Couldn't get decoder renderer targets (code = 0x%08X, message = %s)!",
                 hex(hr), hresult_message(hr).c_str());
    return false;
  }
  bool found = false;
  for (std::size_t i = 0; i < formats.size() && !found; ++i) {
    if (formats[i] == kNv12)
      found = raw_configuration_found(section, service, profile);
  }
  return found;
}

void check_hardware_decoder_capability(ReportSection& section,
                                       bool& decoder_available,
                                       DecoderPlatform& platform) {
  decoder_available = false;
  std::unique_ptr<Direct3D> d3d;
  const HRESULT hr = created(gated(platform).create_direct3d(kSdkVersion, &d3d), d3d);
  if (FAILED(hr)) {
    append_error(section, "Couldn't create Direct3D object (error = 0x%08X)!", hex(hr));
    return;
  }
  const std::uint32_t count = gated(d3d).get_adapter_count();
  for (std::uint32_t adapter = 0; adapter < count; ++adapter)
    probe_adapter(section, platform, *d3d, adapter, decoder_available);
}

}  // namespace cc
