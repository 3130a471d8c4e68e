// Driver versions and adapter IDs as the platform hands them over, judged by
// the support policy on every operating-system case.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gpu/support_policy.h"
#include "support/fake_driver_platform.h"
#include "fuzz/fuzz_support.h"

using cc::fuzz::require;

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const cc::DriverVersion version = cc::parse_driver_version(text);
  require(version.size() <= 10);
  const cc::DriverVersion threshold = cc::parse_driver_version("9.18.10.3222");
  require(cc::version_less_or_equal(version, threshold) ==
          (cc::version_less(version, threshold) || cc::version_equal(version, threshold)));
  require(cc::version_equal(version, version) && !cc::version_less(version, version));

  // The first bytes pick vendor and device; the rest is the driver version.
  cc::VideoCardInfo card;
  const char* vendors[] = {"1002", "1022", "8086", "8087", "10DE", ""};
  card.vendorId = vendors[size ? data[0] % 6 : 5];
  card.deviceId = size > 5 ? text.substr(1, 4) : text;
  card.driverVersion = size > 5 ? text.substr(5) : text;
  for (unsigned minor : {0u, 1u, 2u}) {
    cc::testing::FakeOs os;
    os.version_major = 6;
    os.version_minor = minor;
    const cc::CheckResult result = cc::check_video_card_support(card, os);
    require(!result.second.empty());
    require(!result.first || result.second.find(" not supported") == std::string::npos);
  }
  return 0;
}
