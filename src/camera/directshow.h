// The DirectShow and kernel-streaming seam of the UVC 1.1 probe: one method per
// platform call, HRESULTs and out-values as the platform gives them. Objects
// handed out are owned by the caller; destroying one releases the platform
// object behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/com_types.h"

namespace cc {

// IKsControl of one topology node.
class KsControl {
 public:
  virtual ~KsControl() = default;
  // KsProperty(request, request_length, data, data_length, bytes_returned).
  virtual HRESULT ks_property(const std::uint8_t* request,
                              std::uint32_t request_length,
                              void* data,
                              std::uint32_t data_length,
                              std::uint32_t* bytes_returned) = 0;
};

// IKsTopologyInfo of a capture filter.
class KsTopologyInfo {
 public:
  virtual ~KsTopologyInfo() = default;
  virtual HRESULT get_num_nodes(std::uint32_t* count) = 0;
  virtual HRESULT get_node_type(std::uint32_t node, GUID* type) = 0;
  // CreateNodeInstance(node, IID_IKsControl).
  virtual HRESULT create_node_instance(std::uint32_t node, std::unique_ptr<KsControl>* control) = 0;
};

// IBaseFilter.
class BaseFilter {
 public:
  virtual ~BaseFilter() = default;
  // QueryInterface(IID_IKsTopologyInfo).
  virtual HRESULT query_topology_info(std::unique_ptr<KsTopologyInfo>* topology) = 0;
};

// IMoniker of one video input device.
class Moniker {
 public:
  virtual ~Moniker() = default;
  // BindToStorage(IPropertyBag), then Read("DevicePath"); the path as UTF-8
  // when both succeeded and a string came back, nullopt otherwise. The
  // result is the first failing HRESULT, or the one of the read.
  virtual HRESULT read_device_path(std::optional<std::string>* path) = 0;
  // BindToObject(IID_IBaseFilter).
  virtual HRESULT bind_to_filter(std::unique_ptr<BaseFilter>* filter) = 0;
};

// IEnumMoniker.
class MonikerEnumerator {
 public:
  virtual ~MonikerEnumerator() = default;
  // Next(1, moniker, fetched).
  virtual HRESULT next(std::unique_ptr<Moniker>* moniker) = 0;
};

// ICreateDevEnum.
class DeviceEnumerator {
 public:
  virtual ~DeviceEnumerator() = default;
  // CreateClassEnumerator(CLSID_VideoInputDeviceCategory, out, 0); S_FALSE and
  // no enumerator when the category is empty.
  virtual HRESULT create_video_input_enumerator(std::unique_ptr<MonikerEnumerator>* monikers) = 0;
};

class DirectShow {
 public:
  virtual ~DirectShow() = default;
  // CoCreateInstance(CLSID_SystemDeviceEnum, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum).
  virtual HRESULT create_system_device_enum(std::unique_ptr<DeviceEnumerator>* enumerator) = 0;
};

}  // namespace cc
