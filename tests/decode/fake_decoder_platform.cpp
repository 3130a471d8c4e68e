#include "decode/fake_decoder_platform.h"

#include <algorithm>

namespace cc::testing {
namespace {

std::string adapter_call(std::uint32_t adapter, const char* method) {
  return "adapter" + std::to_string(adapter) + "." + method;
}

class FakeDevice : public Direct3DDevice, public Counted {
 public:
  FakeDevice(FakeScript& script, std::uint32_t adapter) : Counted(script), adapter(adapter) {}
  const std::uint32_t adapter;
};

class FakeDecoderService : public DecoderService, public Counted {
 public:
  FakeDecoderService(FakeDecoderPlatform& platform, FakeScript& script, std::uint32_t adapter)
      : Counted(script), platform_(platform), adapter_(adapter) {}

  HRESULT get_decoder_device_guids(std::vector<GUID>* guids) override {
    const HRESULT hr = script_.on(call("GetDecoderDeviceGuids"));
    if (SUCCEEDED(hr) || platform_.fill_on_failure)
      *guids = data().profiles;
    return hr;
  }
  HRESULT get_decoder_render_targets(const GUID& profile,
                                     std::vector<std::uint32_t>* formats) override {
    platform_.log.render_target_profiles.push_back(profile);
    const HRESULT hr = script_.on(call("GetDecoderRenderTargets"));
    if (SUCCEEDED(hr) || platform_.fill_on_failure)
      *formats = data().render_targets;
    return hr;
  }
  HRESULT get_decoder_configurations(const GUID& profile,
                                     const VideoDescription& description,
                                     std::vector<DecoderConfiguration>* configurations) override {
    platform_.log.configuration_profiles.push_back(profile);
    platform_.log.configuration_formats.push_back(description.format);
    const std::size_t index = configuration_calls_++;
    const HRESULT hr = script_.on(call("GetDecoderConfigurations"));
    const auto& answers = data().configurations;
    if ((SUCCEEDED(hr) || platform_.fill_on_failure) && !answers.empty())
      *configurations = answers[std::min(index, answers.size() - 1)];
    return hr;
  }

 private:
  std::string call(const char* method) const { return adapter_call(adapter_, method); }
  const FakeAdapter& data() const { return platform_.adapters.at(adapter_); }

  FakeDecoderPlatform& platform_;
  std::uint32_t adapter_;
  std::size_t configuration_calls_ = 0;
};

class FakeDirect3D : public Direct3D, public Counted {
 public:
  FakeDirect3D(FakeDecoderPlatform& platform, FakeScript& script)
      : Counted(script), platform_(platform) {}

  std::uint32_t get_adapter_count() override {
    script_.on("GetAdapterCount");
    return static_cast<std::uint32_t>(platform_.adapters.size());
  }
  HRESULT get_adapter_identifier(std::uint32_t adapter,
                                 std::uint32_t flags,
                                 std::string* description) override {
    platform_.log.identifier_flags.push_back(flags);
    const HRESULT hr = script_.on(adapter_call(adapter, "GetAdapterIdentifier"));
    if (SUCCEEDED(hr) || platform_.fill_on_failure)
      *description = platform_.adapters.at(adapter).description;
    return hr;
  }
  HRESULT create_device(const DeviceParameters& parameters,
                        std::unique_ptr<Direct3DDevice>* device) override {
    platform_.log.devices.push_back(parameters);
    platform_.log.live_at_create_device.push_back(script_.live_objects);
    const std::string name = adapter_call(parameters.adapter, "CreateDevice");
    const HRESULT hr = script_.on(name);
    if (SUCCEEDED(hr) && !platform_.null_objects.count(name))
      *device = std::make_unique<FakeDevice>(script_, parameters.adapter);
    return hr;
  }

 private:
  FakeDecoderPlatform& platform_;
};

}  // namespace

HRESULT FakeDecoderPlatform::create_direct3d(std::uint32_t sdk_version,
                                             std::unique_ptr<Direct3D>* d3d) {
  log.sdk_versions.push_back(sdk_version);
  const HRESULT hr = script_.on("Direct3DCreate9Ex");
  if (SUCCEEDED(hr) && !null_objects.count("Direct3DCreate9Ex"))
    *d3d = std::make_unique<FakeDirect3D>(*this, script_);
  return hr;
}

HRESULT FakeDecoderPlatform::create_video_decoder_service(
    Direct3DDevice& device,
    std::unique_ptr<DecoderService>* service) {
  const std::uint32_t adapter = dynamic_cast<FakeDevice&>(device).adapter;
  const std::string name = adapter_call(adapter, "DXVA2CreateVideoService");
  const HRESULT hr = script_.on(name);
  if (SUCCEEDED(hr) && !null_objects.count(name))
    *service = std::make_unique<FakeDecoderService>(*this, script_, adapter);
  return hr;
}

}  // namespace cc::testing
