// Whether an adapter, with the driver installed on it, is on the support list
// for hardware encoding, and why.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "gpu/video_card_info.h"
#include "platform/os_identity.h"

namespace cc {

// At most ten components; empty when the text does not start with a number.
using DriverVersion = std::vector<std::int32_t>;

extern const std::set<std::string> amd_vendor_ids;
extern const std::set<std::string> intel_vendor_ids;
extern const std::set<std::string> nvidia_vendor_ids;
extern const std::set<std::string> amd_windows7_device_ids;
extern const std::set<std::string> amd_excluded_device_ids;
// Both ends included, compared as texts.
extern const std::string amd_excluded_device_first;
extern const std::string amd_excluded_device_last;

// Driver-version thresholds, parsed where they are used.
extern const std::vector<std::string> amd_windows8_thresholds;    // 13.301, 15.200, 16.100
extern const std::vector<std::string> amd_windows7_thresholds;    // 16.200
extern const std::vector<std::string> intel_general_thresholds;   // two ranges, two singles
extern const std::vector<std::string> intel_windows7_thresholds;  // one range, one single

DriverVersion parse_driver_version(const std::string& text);

// Compared over the components both versions have; an empty v is never less
// than t and always equal to it.
bool version_less(const DriverVersion& v, const DriverVersion& t);
bool version_equal(const DriverVersion& v, const DriverVersion& t);
bool version_less_or_equal(const DriverVersion& v, const DriverVersion& t);

// (supported, reason); the reason names the vendor and the OS case also when
// the adapter is supported. Asks the OS version tests at each call.
CheckResult check_video_card_support(const VideoCardInfo& card, OsPlatform& os);

}  // namespace cc
