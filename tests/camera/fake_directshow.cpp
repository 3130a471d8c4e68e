#include "camera/fake_directshow.h"

#include <algorithm>
#include <cstring>

namespace cc::testing {

const GUID kExtensionUnitNode = {0x941C7AC0,
                                 0xC559,
                                 0x11D0,
                                 {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
const GUID kH264UnitSet = {0xA29E7641,
                           0xDE04,
                           0x47E3,
                           {0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B}};
const GUID kOtherNode = {0xDFF229E1,
                         0xF70F,
                         0x11D0,
                         {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const GUID kOtherSet = {0x1F5A3D6C,
                        0x1234,
                        0x4ABC,
                        {0x9E, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

namespace {

constexpr HRESULT kMoreData = static_cast<HRESULT>(0x800700EAu);  // ERROR_MORE_DATA

class FakeKsControl : public KsControl, public Counted {
 public:
  FakeKsControl(FakeScript& script,
                std::string name,
                const FakeKsNode& node,
                std::vector<KsCall>& calls)
      : Counted(script), name_(std::move(name)), node_(node), calls_(calls) {}

  HRESULT ks_property(const std::uint8_t* request,
                      std::uint32_t request_length,
                      void* data,
                      std::uint32_t data_length,
                      std::uint32_t* bytes_returned) override {
    calls_.push_back({std::vector<std::uint8_t>(request, request + request_length), data != nullptr,
                      data_length});
    const std::uint32_t all = static_cast<std::uint32_t>(node_.sets.size() * sizeof(GUID));
    if (!data) {
      *bytes_returned = node_.size_answer.value_or(all);
      return script_.on(name_ + ".KsProperty", kMoreData);
    }
    HRESULT hr = script_.on(name_ + ".KsProperty");
    if (FAILED(hr))
      return hr;
    const std::uint32_t copied = std::min(all, data_length) / sizeof(GUID) * sizeof(GUID);
    if (copied)
      std::memcpy(data, node_.sets.data(), copied);
    *bytes_returned = node_.returned_answer.value_or(copied);
    return hr;
  }

 private:
  std::string name_;
  const FakeKsNode& node_;
  std::vector<KsCall>& calls_;
};

class FakeTopology : public KsTopologyInfo, public Counted {
 public:
  FakeTopology(FakeScript& script,
               std::string name,
               const FakeCaptureDevice& device,
               std::vector<KsCall>& calls)
      : Counted(script), name_(std::move(name)), device_(device), calls_(calls) {}

  HRESULT get_num_nodes(std::uint32_t* count) override {
    HRESULT hr = script_.on(name_ + ".topology.get_NumNodes");
    if (SUCCEEDED(hr))
      *count = static_cast<std::uint32_t>(device_.nodes.size());
    return hr;
  }
  HRESULT get_node_type(std::uint32_t node, GUID* type) override {
    HRESULT hr = script_.on(name_ + ".topology.get_NodeType");
    if (SUCCEEDED(hr))
      *type = device_.nodes.at(node).type;
    return hr;
  }
  HRESULT create_node_instance(std::uint32_t node, std::unique_ptr<KsControl>* control) override {
    HRESULT hr = script_.on(name_ + ".topology.CreateNodeInstance");
    if (hr == S_OK)  // S_FALSE: a success that hands out nothing
      *control = std::make_unique<FakeKsControl>(script_, name_ + ".node" + std::to_string(node),
                                                 device_.nodes.at(node), calls_);
    return hr;
  }

 private:
  std::string name_;
  const FakeCaptureDevice& device_;
  std::vector<KsCall>& calls_;
};

class FakeFilter : public BaseFilter, public Counted {
 public:
  FakeFilter(FakeScript& script,
             std::string name,
             const FakeCaptureDevice& device,
             std::vector<KsCall>& calls)
      : Counted(script), name_(std::move(name)), device_(device), calls_(calls) {}

  HRESULT query_topology_info(std::unique_ptr<KsTopologyInfo>* topology) override {
    HRESULT hr = script_.on(name_ + ".filter.QueryInterface(IKsTopologyInfo)");
    if (FAILED(hr))
      return hr;
    if (!device_.has_topology)
      return E_NOINTERFACE;
    *topology = std::make_unique<FakeTopology>(script_, name_, device_, calls_);
    return hr;
  }

 private:
  std::string name_;
  const FakeCaptureDevice& device_;
  std::vector<KsCall>& calls_;
};

class FakeMoniker : public Moniker, public Counted {
 public:
  FakeMoniker(FakeScript& script,
              std::string name,
              const FakeCaptureDevice& device,
              std::vector<KsCall>& calls)
      : Counted(script), name_(std::move(name)), device_(device), calls_(calls) {}

  HRESULT read_device_path(std::optional<std::string>* path) override {
    HRESULT hr = script_.on(name_ + ".ReadDevicePath");
    if (FAILED(hr))
      return hr;
    if (!device_.path)
      return E_INVALIDARG;
    *path = device_.path;
    return hr;
  }
  HRESULT bind_to_filter(std::unique_ptr<BaseFilter>* filter) override {
    HRESULT hr = script_.on(name_ + ".BindToObject");
    // Any success hands out the filter, so that S_FALSE must be refused by
    // the probe itself.
    if (SUCCEEDED(hr))
      *filter = std::make_unique<FakeFilter>(script_, name_, device_, calls_);
    return hr;
  }

 private:
  std::string name_;
  const FakeCaptureDevice& device_;
  std::vector<KsCall>& calls_;
};

class FakeMonikers : public MonikerEnumerator, public Counted {
 public:
  FakeMonikers(FakeScript& script,
               const std::vector<FakeCaptureDevice>& devices,
               std::vector<KsCall>& calls)
      : Counted(script), devices_(devices), calls_(calls) {}

  HRESULT next(std::unique_ptr<Moniker>* moniker) override {
    HRESULT hr = script_.on("Next", next_ < devices_.size() ? S_OK : S_FALSE);
    if (hr != S_OK || next_ >= devices_.size())
      return hr;
    *moniker = std::make_unique<FakeMoniker>(script_, "moniker" + std::to_string(next_),
                                             devices_[next_], calls_);
    ++next_;
    return hr;
  }

 private:
  const std::vector<FakeCaptureDevice>& devices_;
  std::vector<KsCall>& calls_;
  std::size_t next_ = 0;
};

class FakeDeviceEnumerator : public DeviceEnumerator, public Counted {
 public:
  FakeDeviceEnumerator(FakeScript& script,
                       const std::vector<FakeCaptureDevice>& devices,
                       std::vector<KsCall>& calls)
      : Counted(script), devices_(devices), calls_(calls) {}

  HRESULT create_video_input_enumerator(std::unique_ptr<MonikerEnumerator>* monikers) override {
    HRESULT hr = script_.on("CreateClassEnumerator", devices_.empty() ? S_FALSE : S_OK);
    if (hr == S_OK)
      *monikers = std::make_unique<FakeMonikers>(script_, devices_, calls_);
    return hr;
  }

 private:
  const std::vector<FakeCaptureDevice>& devices_;
  std::vector<KsCall>& calls_;
};

}  // namespace

HRESULT FakeDirectShow::create_system_device_enum(std::unique_ptr<DeviceEnumerator>* enumerator) {
  HRESULT hr = script_.on("CoCreateInstance(SystemDeviceEnum)");
  // S_FALSE plays a call that claims success and hands out nothing.
  if (hr == S_OK)
    *enumerator = std::make_unique<FakeDeviceEnumerator>(script_, devices, ks_calls);
  return hr;
}

}  // namespace cc::testing
