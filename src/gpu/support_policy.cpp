#include "gpu/support_policy.h"

#include <limits>

#include "report/report_texts.h"

namespace cc {

const std::set<std::string> amd_vendor_ids = {"1002", "1022"};
const std::set<std::string> intel_vendor_ids = {"8086", "8087"};
const std::set<std::string> nvidia_vendor_ids = {"10DE"};
// The 985x run skips 9852 on purpose: do not "complete" it.
const std::set<std::string> amd_windows7_device_ids = {
    "9874", "9851", "9853", "9854", "9855", "9856", "9857", "9858", "9859", "985A",
    "985B", "985C", "985D", "985E", "985F", "98E4", "67DF", "67C0", "67C2", "67C4",
    "67C7", "67D0", "67EF", "67FF", "67E0", "67E1", "67E8", "67E9", "67EB"};
const std::set<std::string> amd_excluded_device_ids = {"674A"};
const std::string amd_excluded_device_first = "9900";
const std::string amd_excluded_device_last = "99FF";

const std::vector<std::string> amd_windows8_thresholds = {"13.301", "15.200", "16.100"};
const std::vector<std::string> amd_windows7_thresholds = {"16.200"};
const std::vector<std::string> intel_general_thresholds = {"8.15.10.2696", "8.15.10.2752",
                                                           "9.17.10.2849", "9.17.10.9999",
                                                           "9.18.10.3222", "20.19.15.4308"};
const std::vector<std::string> intel_windows7_thresholds = {"10.18.10.3412", "10.18.10.4226",
                                                            "10.18.14.4264"};

namespace {

constexpr std::size_t kMaxComponents = 10;

const char* const kNotByDriver = texts::kPolicyNotByDriver;
const char* const kNotByPid = texts::kPolicyNotByPid;

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One integer as a stream extraction reads it: blanks, a sign, digits.
// False when there are no digits or the value leaves the signed 32-bit range.
bool read_int(const std::string& text, std::size_t& pos, std::int32_t& value) {
  while (pos < text.size() && is_space(text[pos]))
    ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
    negative = text[pos++] == '-';
  const std::int64_t limit =
      negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
               : std::numeric_limits<std::int32_t>::max();
  std::int64_t magnitude = 0;
  bool digits = false;
  bool overflow = false;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    digits = true;
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > limit) {
      overflow = true;
      magnitude = limit;
    }
  }
  if (!digits || overflow)
    return false;
  value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

bool in_range(const DriverVersion& v, const std::string& low, const std::string& high) {
  return !version_less(v, parse_driver_version(low)) &&
         version_less_or_equal(v, parse_driver_version(high));
}

bool equals(const DriverVersion& v, const std::string& threshold) {
  return version_equal(v, parse_driver_version(threshold));
}

bool below(const DriverVersion& v, const std::string& threshold) {
  return version_less(v, parse_driver_version(threshold));
}

bool excluded_on_windows8(const std::string& device_id) {
  const bool in_text_range =
      device_id >= amd_excluded_device_first && device_id <= amd_excluded_device_last;
  return in_text_range || amd_excluded_device_ids.count(device_id) != 0;
}

void judge_amd_windows8(const VideoCardInfo& card, const DriverVersion& v, CheckResult& result) {
  const std::vector<std::string>& t = amd_windows8_thresholds;
  bool driver_refused = below(v, t[0]);
  if (!driver_refused && !below(v, t[1]))
    driver_refused = version_less_or_equal(v, parse_driver_version(t[2]));
  const char* refusal = driver_refused                        ? kNotByDriver
                        : excluded_on_windows8(card.deviceId) ? kNotByPid
                                                              : nullptr;
  if (refusal) {
    result.first = false;
    result.second += refusal;
  }
}

void judge_amd_windows7(const VideoCardInfo& card, const DriverVersion& v, CheckResult& result) {
  const char* refusal = below(v, amd_windows7_thresholds[0])                ? kNotByDriver
                        : amd_windows7_device_ids.count(card.deviceId) == 0 ? kNotByPid
                                                                            : nullptr;
  if (refusal) {
    result.first = false;
    result.second += refusal;
  }
}

CheckResult judge_amd(const VideoCardInfo& card, const DriverVersion& v, OsPlatform& os) {
  CheckResult result{true, texts::kPolicyAmd};
  if (IsWindows8OrGreater(os)) {
    result.second += texts::kPolicyOnWindows8;
    judge_amd_windows8(card, v, result);
  } else if (IsWindows7OrGreater(os)) {
    result.second += texts::kPolicyOnWindows7;
    judge_amd_windows7(card, v, result);
  }
  return result;
}

CheckResult judge_intel(const DriverVersion& v, OsPlatform& os) {
  CheckResult result{true, texts::kPolicyIntel};
  const std::vector<std::string>& g = intel_general_thresholds;
  if (in_range(v, g[0], g[1]) || in_range(v, g[2], g[3]) || equals(v, g[4]) || equals(v, g[5])) {
    result.first = false;
    result.second += kNotByDriver;
  }
  if (IsWindows7OrGreater(os) && !IsWindows8OrGreater(os)) {
    result.second += texts::kPolicyOnWindows7;
    const std::vector<std::string>& w = intel_windows7_thresholds;
    if (in_range(v, w[0], w[1]) || equals(v, w[2])) {
      result.first = false;
      result.second += kNotByDriver;
    }
  }
  return result;
}

}  // namespace

DriverVersion parse_driver_version(const std::string& text) {
  DriverVersion version;
  std::size_t pos = 0;
  std::int32_t value = 0;
  while (read_int(text, pos, value) && version.size() < kMaxComponents) {
    version.push_back(value);
    if (pos < text.size())
      ++pos;  // the separator, whatever it is
  }
  return version;
}

bool version_less(const DriverVersion& v, const DriverVersion& t) {
  for (std::size_t i = 0; i < v.size() && i < t.size(); ++i) {
    if (v[i] != t[i])
      return v[i] < t[i];
  }
  return false;
}

bool version_equal(const DriverVersion& v, const DriverVersion& t) {
  for (std::size_t i = 0; i < v.size() && i < t.size(); ++i) {
    if (v[i] != t[i])
      return false;
  }
  return true;
}

bool version_less_or_equal(const DriverVersion& v, const DriverVersion& t) {
  return version_less(v, t) || version_equal(v, t);
}

CheckResult check_video_card_support(const VideoCardInfo& card, OsPlatform& os) {
  const DriverVersion v = parse_driver_version(card.driverVersion);
  if (amd_vendor_ids.count(card.vendorId))
    return judge_amd(card, v, os);
  if (intel_vendor_ids.count(card.vendorId))
    return judge_intel(v, os);
  if (nvidia_vendor_ids.count(card.vendorId))
    return {false, texts::kPolicyNvidiaRefused};
  return {false, texts::kPolicyUnknownVendor};
}

}  // namespace cc
