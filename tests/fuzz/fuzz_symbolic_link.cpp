// Camera symbolic links as the platform hands them over: USB ID parsing, and
// the UVC 1.1 probe's exact path match against DirectShow devices.
// fakes: camera/fake_directshow.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "camera/camera_check.h"
#include "camera/fake_directshow.h"
#include "fuzz/fuzz_support.h"

using cc::fuzz::require;

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string link(reinterpret_cast<const char*>(data), size);
  const cc::UsbIds ids = cc::parse_usb_ids(link);
  if (link.find("vid_") == std::string::npos)
    require(ids.vendor == 0);
  if (link.find("pid_") == std::string::npos)
    require(ids.product == 0);

  cc::testing::FakeScript script;
  cc::testing::FakeDirectShow directshow(script);
  cc::testing::FakeKsNode node;
  node.sets = {cc::testing::kH264UnitSet};
  std::string other = link;
  if (!other.empty())
    other[0] = static_cast<char>(other[0] ^ 0x20);  // a path that differs in one byte
  directshow.devices = {{other, true, {node}}, {link, true, {node}}};
  cc::ReportSection section;
  bool flag = false;
  cc::probe_uvc11_extension_unit(section, link, flag, directshow);
  require(flag);
  require(script.live_objects == 0);
  return 0;
}
