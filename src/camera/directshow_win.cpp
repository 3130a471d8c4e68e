#include "camera/directshow_win.h"

// dshow.h pulls in strsafe.h, which would otherwise deprecate sprintf.
#define STRSAFE_NO_DEPRECATE
#include <dshow.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "camera/ks_interfaces_win.h"
#include "platform/text_conversion_win.h"

namespace cc {
namespace {

using Microsoft::WRL::ComPtr;

class WinKsControl : public KsControl {
 public:
  explicit WinKsControl(ComPtr<KsControlInterface> control) : control_(std::move(control)) {}
  HRESULT ks_property(const std::uint8_t* request,
                      std::uint32_t request_length,
                      void* data,
                      std::uint32_t data_length,
                      std::uint32_t* bytes_returned) override {
    ULONG returned = *bytes_returned;
    // KsProperty takes the request as non-const, but only reads it.
    HRESULT hr = control_->KsProperty(const_cast<std::uint8_t*>(request), request_length, data,
                                      data_length, &returned);
    *bytes_returned = returned;
    return hr;
  }

 private:
  ComPtr<KsControlInterface> control_;
};

class WinKsTopologyInfo : public KsTopologyInfo {
 public:
  explicit WinKsTopologyInfo(ComPtr<KsTopologyInfoInterface> topology)
      : topology_(std::move(topology)) {}
  HRESULT get_num_nodes(std::uint32_t* count) override {
    DWORD value = 0;
    HRESULT hr = topology_->get_NumNodes(&value);
    *count = value;
    return hr;
  }
  HRESULT get_node_type(std::uint32_t node, GUID* type) override {
    return topology_->get_NodeType(node, type);
  }
  HRESULT create_node_instance(std::uint32_t node, std::unique_ptr<KsControl>* control) override {
    ComPtr<KsControlInterface> instance;
    HRESULT hr = topology_->CreateNodeInstance(node, kIidKsControl,
                                               reinterpret_cast<void**>(instance.GetAddressOf()));
    if (SUCCEEDED(hr) && instance)
      *control = std::make_unique<WinKsControl>(std::move(instance));
    return hr;
  }

 private:
  ComPtr<KsTopologyInfoInterface> topology_;
};

class WinBaseFilter : public BaseFilter {
 public:
  explicit WinBaseFilter(ComPtr<IBaseFilter> filter) : filter_(std::move(filter)) {}
  HRESULT query_topology_info(std::unique_ptr<KsTopologyInfo>* topology) override {
    ComPtr<KsTopologyInfoInterface> info;
    HRESULT hr =
        filter_->QueryInterface(kIidKsTopologyInfo, reinterpret_cast<void**>(info.GetAddressOf()));
    if (SUCCEEDED(hr) && info)
      *topology = std::make_unique<WinKsTopologyInfo>(std::move(info));
    return hr;
  }

 private:
  ComPtr<IBaseFilter> filter_;
};

// The VARIANT is cleared on every path out of the read.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value); }
  ~ScopedVariant() { VariantClear(&value); }
  VARIANT value;
};

class WinMoniker : public Moniker {
 public:
  explicit WinMoniker(ComPtr<IMoniker> moniker) : moniker_(std::move(moniker)) {}
  HRESULT read_device_path(std::optional<std::string>* path) override {
    ComPtr<IPropertyBag> bag;
    HRESULT hr = moniker_->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                         reinterpret_cast<void**>(bag.GetAddressOf()));
    if (FAILED(hr) || !bag)
      return hr;
    ScopedVariant device_path;
    hr = bag->Read(L"DevicePath", &device_path.value, nullptr);
    if (FAILED(hr) || device_path.value.vt != VT_BSTR || !device_path.value.bstrVal)
      return hr;
    *path = utf16_to_utf8(device_path.value.bstrVal);
    if (!*path)
      return HRESULT_FROM_WIN32(GetLastError());
    return hr;
  }
  HRESULT bind_to_filter(std::unique_ptr<BaseFilter>* filter) override {
    ComPtr<IBaseFilter> object;
    HRESULT hr = moniker_->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                        reinterpret_cast<void**>(object.GetAddressOf()));
    if (SUCCEEDED(hr) && object)
      *filter = std::make_unique<WinBaseFilter>(std::move(object));
    return hr;
  }

 private:
  ComPtr<IMoniker> moniker_;
};

class WinMonikerEnumerator : public MonikerEnumerator {
 public:
  explicit WinMonikerEnumerator(ComPtr<IEnumMoniker> monikers) : monikers_(std::move(monikers)) {}
  HRESULT next(std::unique_ptr<Moniker>* moniker) override {
    ComPtr<IMoniker> next;
    ULONG fetched = 0;
    HRESULT hr = monikers_->Next(1, next.GetAddressOf(), &fetched);
    if (hr == S_OK && next)
      *moniker = std::make_unique<WinMoniker>(std::move(next));
    return hr;
  }

 private:
  ComPtr<IEnumMoniker> monikers_;
};

class WinDeviceEnumerator : public DeviceEnumerator {
 public:
  explicit WinDeviceEnumerator(ComPtr<ICreateDevEnum> devices) : devices_(std::move(devices)) {}
  HRESULT create_video_input_enumerator(std::unique_ptr<MonikerEnumerator>* monikers) override {
    ComPtr<IEnumMoniker> list;
    HRESULT hr =
        devices_->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, list.GetAddressOf(), 0);
    if (hr == S_OK && list)
      *monikers = std::make_unique<WinMonikerEnumerator>(std::move(list));
    return hr;
  }

 private:
  ComPtr<ICreateDevEnum> devices_;
};

}  // namespace

HRESULT WinDirectShow::create_system_device_enum(std::unique_ptr<DeviceEnumerator>* enumerator) {
  ComPtr<ICreateDevEnum> devices;
  HRESULT hr =
      CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                       reinterpret_cast<void**>(devices.GetAddressOf()));
  if (SUCCEEDED(hr) && devices)
    *enumerator = std::make_unique<WinDeviceEnumerator>(std::move(devices));
  return hr;
}

}  // namespace cc
