#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "camera/camera_check.h"
#include "platform/seam_gate.h"

namespace cc {
namespace {

// KSNODETYPE_DEV_SPECIFIC: the node type UVC extension units show up as.
const GUID kDevSpecificNode = {0x941C7AC0,
                               0xC559,
                               0x11D0,
                               {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
// The property set of the UVC 1.1 H.264 payload extension unit.
const GUID kH264ExtensionUnit = {0xA29E7641,
                                 0xDE04,
                                 0x47E3,
                                 {0x8B, 0x2B, 0xF4, 0x34, 0x1A, 0xFF, 0x00, 0x3B}};

constexpr std::uint32_t kTopologySetSupport = 0x10000000u | 0x100u;
constexpr std::size_t kRequestSize = 32;
using KsRequest = std::array<std::uint8_t, kRequestSize>;

void put_u32(KsRequest& request, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i)
    request[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// KSP_NODE asking the node for the property sets it supports: null set,
// property 0, topology + set-support flags, node id, reserved 0.
KsRequest set_support_request(std::uint32_t node) {
  KsRequest request{};
  put_u32(request, 20, kTopologySetSupport);
  put_u32(request, 24, node);
  return request;
}

GUID guid_at(const std::vector<std::uint8_t>& buffer, std::size_t offset) {
  GUID guid;
  const std::uint8_t* p = buffer.data() + offset;
  guid.Data1 = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  guid.Data2 = static_cast<std::uint16_t>(p[4] | p[5] << 8);
  guid.Data3 = static_cast<std::uint16_t>(p[6] | p[7] << 8);
  std::memcpy(guid.Data4, p + 8, 8);
  return guid;
}

// True when the node lists the H.264 extension-unit property set.
bool node_has_h264_unit(ReportSection& section, KsControl& control, std::uint32_t node) {
  const KsRequest request = set_support_request(node);
  // A size query answers with a failure meaning "more data" and the needed
  // size, so only the byte count tells anything here.
  std::uint32_t size = 0;
  gated(control).ks_property(request.data(), kRequestSize, nullptr, 0, &size);
  if (size == 0) {
    append_error(section, "KsProperty is empty!");
    return false;
  }
  std::vector<std::uint8_t> buffer(size, 0);
  std::uint32_t returned = 0;
  HRESULT hr =
      gated(control).ks_property(request.data(), kRequestSize, buffer.data(), size, &returned);
  if (FAILED(hr)) {
    append_error(section, "Calling KsProperty on node failed (error = 0x%08X)!", hex(hr));
    return false;
  }
  // A driver may claim more bytes than it was given room for; never read
  // past the buffer.
  const std::size_t usable = std::min<std::size_t>(returned, buffer.size());
  for (std::size_t offset = 0; offset + sizeof(GUID) <= usable; offset += sizeof(GUID)) {
    if (same_guid(guid_at(buffer, offset), kH264ExtensionUnit))
      return true;
  }
  return false;
}

bool node_matches(ReportSection& section, KsTopologyInfo& topology, std::uint32_t node) {
  GUID type{};
  HRESULT hr = gated(topology).get_node_type(node, &type);
  if (FAILED(hr)) {
    append_error(section, "Cannot get the node type (error = 0x%08X)!", hex(hr));
    return false;
  }
  if (!same_guid(type, kDevSpecificNode))
    return false;
  std::unique_ptr<KsControl> control;
  hr = gated(topology).create_node_instance(node, &control);
  if (FAILED(hr) || !control) {
    append_error(section, "Could not create the IKsControl (error = 0x%08X)!", hex(hr));
    return false;
  }
  return node_has_h264_unit(section, *control, node);
}

// True when one of the filter's extension-unit nodes has the H.264 unit.
bool device_matches(ReportSection& section, Moniker& moniker) {
  std::unique_ptr<BaseFilter> filter;
  HRESULT hr = gated(moniker).bind_to_filter(&filter);
  if (hr != S_OK || !filter) {
    append_error(section, "Could not BindToObject (error = 0x%08X)!", hex(hr));
    return false;
  }
  std::unique_ptr<KsTopologyInfo> topology;
  hr = gated(filter).query_topology_info(&topology);
  if (hr != S_OK || !topology) {
    append_error(section,
                 "Could not get the IKsTopologyInfo interface from the camera (error = 0x%08X)!",
                 hex(hr));
    return false;
  }
  std::uint32_t count = 0;
  hr = gated(topology).get_num_nodes(&count);
  if (hr != S_OK) {
    append_error(section, "Cannot get the number of IKsTopology nodes (error = 0x%08X)!", hex(hr));
    return false;
  }
  for (std::uint32_t node = 0; node < count; ++node) {
    if (node_matches(section, *topology, node))
      return true;
  }
  return false;
}

std::string device_path(Moniker& moniker) {
  std::optional<std::string> path;
  if (FAILED(gated(moniker).read_device_path(&path)) || !path)
    return std::string();
  return *path;
}

}  // namespace

void probe_uvc11_extension_unit(ReportSection& section,
                                const std::string& symbolic_link,
                                bool& flag,
                                DirectShow& directshow) {
  std::unique_ptr<DeviceEnumerator> devices;
  HRESULT hr = gated(directshow).create_system_device_enum(&devices);
  if (FAILED(hr) || !devices) {
    append_error(section, "Failed to CoCreateInstance CLSID_SystemDeviceEnum (error = 0x%08X)!",
                 hex(hr));
    return;
  }
  std::unique_ptr<MonikerEnumerator> monikers;
  hr = gated(devices).create_video_input_enumerator(&monikers);
  if (hr != S_OK || !monikers) {
    append_error(section,
                 "Failed to CreateClassEnumerator of CLSID_VideoInputDeviceCategory class "
                 "(error = 0x%08X)!",
                 hex(hr));
    return;
  }
  for (;;) {
    std::unique_ptr<Moniker> moniker;
    if (gated(monikers).next(&moniker) != S_OK || !moniker)
      return;
    // Exact, case-sensitive: the same device seen through both APIs.
    if (device_path(*moniker) != symbolic_link)
      continue;
    if (device_matches(section, *moniker)) {
      flag = true;
      return;
    }
  }
}

}  // namespace cc
