// A node's answer to the property-set query: any bytes, and byte counts that
// need not match what was allocated or copied.
// fakes: camera/fake_directshow.cpp
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "camera/camera_check.h"
#include "camera/fake_directshow.h"
#include "fuzz/fuzz_support.h"

using cc::fuzz::require;

namespace {

std::uint32_t read_u32(const std::uint8_t* data, std::size_t size, std::size_t at) {
  std::uint32_t value = 0;
  if (at + 4 <= size)
    std::memcpy(&value, data + at, 4);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // 8 bytes of byte counts (size query, data query), then the listed sets.
  cc::testing::FakeKsNode node;
  node.size_answer = read_u32(data, size, 0) % 4096;
  node.returned_answer = read_u32(data, size, 4);
  for (std::size_t at = 8; at + sizeof(GUID) <= size; at += sizeof(GUID)) {
    GUID set;
    std::memcpy(&set, data + at, sizeof(set));
    node.sets.push_back(set);
  }
  cc::testing::FakeScript script;
  cc::testing::FakeDirectShow directshow(script);
  directshow.devices = {{std::string("cam"), true, {node, node}}};
  cc::ReportSection section;
  bool flag = false;
  cc::probe_uvc11_extension_unit(section, "cam", flag, directshow);
  require(script.live_objects == 0);
  if (*node.size_answer == 0)
    require(!flag && cc::section_text(section).find("KsProperty is empty!") != std::string::npos);
  return 0;
}
