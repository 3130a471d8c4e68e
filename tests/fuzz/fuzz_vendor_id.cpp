// Encoder vendor attributes and friendly names as the platform hands them
// over, through vendor resolution and the whole encoder check.
// fakes: support/fake_media_foundation.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "encode/encoder_check.h"
#include "support/fake_media_foundation.h"
#include "fuzz/fuzz_support.h"

using cc::fuzz::require;

namespace {

const GUID kName = {0x314FFBAE, 0x5B41, 0x4C95, {0x9C, 0x19, 0x4E, 0x7D, 0x58, 0x6F, 0xAC, 0xE3}};
const GUID kVendor = {0x3AECB0CC, 0x035B, 0x4BCC, {0x81, 0x85, 0x2B, 0x8D, 0x55, 0x1E, 0xF3, 0xAF}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string vendor = cc::parse_vendor_id(text);
  require(vendor.size() <= text.size() || text == "AMD");
  const std::string from_name = cc::vendor_id_from_friendly_name(text);
  require(from_name.empty() || from_name == "8086" || from_name == "1002");

  // Half the input names the encoder, half is its vendor attribute (UTF-16,
  // unpaired surrogates and all).
  const std::size_t half = size / 2;
  cc::testing::FakeScript script;
  cc::testing::FakeMediaFoundation mf(script);
  cc::testing::DeviceDescription encoder;
  encoder.strings[kName] = std::u16string(text.begin(), text.begin() + half);
  std::u16string wide;
  for (std::size_t i = half; i + 1 < size; i += 2)
    wide.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  encoder.strings[kVendor] = wide;
  mf.encoders = {encoder};
  cc::ReportSection section;
  bool available = false;
  bool supported = false;
  cc::check_hardware_encoder_capability(
      section, available, supported, mf,
      [&](const cc::VideoCardCallback& callback) {
        callback(cc::VideoCardInfo{"GPU", vendor, "1912", "20.19.15.4531", ""});
        return cc::CheckResult{true, ""};
      },
      [](const cc::VideoCardInfo&) {
        return cc::CheckResult{false, "refused %s %n"};
      });
  require(!supported || available);
  require(script.live_objects == 0);
  return 0;
}
