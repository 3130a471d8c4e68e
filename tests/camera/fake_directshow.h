// Scripted DirectShow video input devices with kernel-streaming topologies,
// every call routed through a FakeScript under a "<object>.<Method>" name
// (for example "moniker1.BindToObject", "moniker0.node2.KsProperty").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "camera/directshow.h"
#include "support/fake_script.h"

namespace cc::testing {

// KSNODETYPE_DEV_SPECIFIC and the UVC 1.1 H.264 extension-unit property set.
extern const GUID kExtensionUnitNode;
extern const GUID kH264UnitSet;
extern const GUID kOtherNode;
extern const GUID kOtherSet;

struct FakeKsNode {
  GUID type = kExtensionUnitNode;
  // Property sets the node lists; the data query copies as many as fit.
  std::vector<GUID> sets;
  // Byte count the size query answers; default: 16 per set.
  std::optional<std::uint32_t> size_answer;
  // Byte count the data query answers; default: what it copied.
  std::optional<std::uint32_t> returned_answer;
};

struct FakeCaptureDevice {
  std::optional<std::string> path;  // nullopt: "DevicePath" can't be read
  bool has_topology = true;
  std::vector<FakeKsNode> nodes;
};

// One KsProperty call as the node saw it.
struct KsCall {
  std::vector<std::uint8_t> request;
  bool has_data = false;
  std::uint32_t data_length = 0;
};

class FakeDirectShow : public DirectShow {
 public:
  explicit FakeDirectShow(FakeScript& script) : script_(script) {}
  HRESULT create_system_device_enum(std::unique_ptr<DeviceEnumerator>* enumerator) override;

  std::vector<FakeCaptureDevice> devices;  // "moniker<i>"
  std::vector<KsCall> ks_calls;

 private:
  FakeScript& script_;
};

}  // namespace cc::testing
