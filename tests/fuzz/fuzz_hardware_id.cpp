// Display-device properties as raw bytes: hardware IDs, names and driver
// versions of any length, terminated or not, through the adapter walk.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gpu/fake_adapter_source.h"
#include "gpu/video_cards.h"
#include "fuzz/fuzz_support.h"

using cc::fuzz::require;

namespace {

// Splits the input at "\x01\x01" separators into up to four byte strings.
std::vector<cc::testing::Bytes> split(const std::uint8_t* data, std::size_t size) {
  std::vector<cc::testing::Bytes> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (i + 1 < size && data[i] == 1 && data[i + 1] == 1 && parts.size() < 4) {
      parts.emplace_back();
      ++i;
    } else {
      parts.back().push_back(data[i]);
    }
  }
  parts.resize(4);
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<cc::testing::Bytes> parts = split(data, size);
  cc::testing::FakeScript script;
  cc::testing::FakeAdapterSource source(script);
  cc::testing::FakeDisplayDevice device;
  device.properties[cc::kHardwareId] = parts[0];
  device.properties[cc::kDeviceDescription] = parts[1];
  device.properties[cc::kLocationInformation] = parts[2];
  device.driver_version = parts[3];
  source.devices = {device, device};

  int calls = 0;
  const cc::CheckResult result =
      cc::enumerate_video_cards(source, [&](const cc::VideoCardInfo& card) {
        ++calls;
        require(card.vendorId.size() <= 4 && card.deviceId.size() <= 4);
        require(card.name.size() <= cc::kRegistryPropertyBytes);
        require(card.locationInfo.size() <= cc::kRegistryPropertyBytes);
        require(card.driverVersion.size() <= cc::kDriverVersionBytes);
      });
  require(result.first && result.second.empty() && calls == 2);
  require(script.live_objects == 0);
  return 0;
}
