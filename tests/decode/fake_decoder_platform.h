// Scripted Direct3D 9Ex and DXVA2: adapters described as plain data, every
// call routed through a FakeScript as "Direct3DCreate9Ex", "GetAdapterCount"
// or "adapter<i>.<Method>", every object handed out counted while alive.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "decode/decoder_platform.h"
#include "support/fake_script.h"

namespace cc::testing {

struct FakeAdapter {
  std::string description;
  std::vector<GUID> profiles;
  std::vector<std::uint32_t> render_targets;
  // The answer to the n-th GetDecoderConfigurations call on this adapter; the
  // last entry answers every later call.
  std::vector<std::vector<DecoderConfiguration>> configurations;
};

// What the probe passed to the platform, for checking the arguments.
struct DecoderCallLog {
  std::vector<std::uint32_t> sdk_versions;
  std::vector<std::uint32_t> identifier_flags;
  std::vector<DeviceParameters> devices;
  std::vector<GUID> render_target_profiles;
  std::vector<GUID> configuration_profiles;
  std::vector<std::uint32_t> configuration_formats;
  // Objects alive as each CreateDevice is called.
  std::vector<int> live_at_create_device;
};

class FakeDecoderPlatform : public DecoderPlatform {
 public:
  explicit FakeDecoderPlatform(FakeScript& script) : script_(script) {}
  HRESULT create_direct3d(std::uint32_t sdk_version, std::unique_ptr<Direct3D>* d3d) override;
  HRESULT create_video_decoder_service(Direct3DDevice& device,
                                       std::unique_ptr<DecoderService>* service) override;

  std::vector<FakeAdapter> adapters;
  // Calls that answer success but hand out no object (a misbehaving driver).
  std::set<std::string> null_objects;
  // Calls whose failure still hands back values, which must not be trusted.
  bool fill_on_failure = false;
  DecoderCallLog log;

 private:
  FakeScript& script_;
};

}  // namespace cc::testing
