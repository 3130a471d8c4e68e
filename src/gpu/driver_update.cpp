#include "gpu/driver_update.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gpu/support_policy.h"
#include "report/report_texts.h"

namespace cc {
namespace {

// Answers the two version tests as the named case does.
class CaseOs : public OsPlatform {
 public:
  explicit CaseOs(WindowsCase windows) : windows_(windows) {}
  std::string read_registry_string(const std::string&,
                                   const std::string&,
                                   const std::string& default_value) override {
    return default_value;
  }
  bool is_windows_version_or_greater(unsigned major, unsigned minor, unsigned) override {
    // Windows 7 is 6.1, Windows 8 is 6.2; kOther stands for a newer system,
    // which the policy treats as Windows 8 for AMD and as not Windows 7
    // for Intel, as the reason without a case says.
    const unsigned have_minor = windows_ == WindowsCase::kWindows7 ? 1 : 2;
    return major < 6 || (major == 6 && minor <= have_minor);
  }
  bool has_is_wow64_process2() override { return false; }  // the policy never asks
  int is_wow64_process2(std::uint16_t*, std::uint16_t*) override { return 0; }

 private:
  WindowsCase windows_;
};

// Full comparison, missing components counting as 0: the order of versions
// an administrator installs, not the policy's prefix comparison.
bool numerically_less(const DriverVersion& a, const DriverVersion& b) {
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const std::int64_t x = i < a.size() ? a[i] : 0;
    const std::int64_t y = i < b.size() ? b[i] : 0;
    if (x != y)
      return x < y;
  }
  return false;
}

DriverVersion padded(DriverVersion v, std::size_t size) {
  v.resize(std::max(v.size(), size), 0);
  return v;
}

// The policy's verdict changes only where a version starts to agree with a
// threshold on a prefix, or stops agreeing with it: those points are the
// candidates (the version just past a refused one is always such a point).
std::vector<DriverVersion> candidates(std::size_t size) {
  std::vector<std::string> thresholds;
  for (const auto* list : {&amd_windows8_thresholds, &amd_windows7_thresholds,
                           &intel_general_thresholds, &intel_windows7_thresholds})
    thresholds.insert(thresholds.end(), list->begin(), list->end());
  std::vector<DriverVersion> points;
  auto add_around = [&](const DriverVersion& v) {
    for (std::size_t k = 1; k <= v.size(); ++k) {
      DriverVersion prefix(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k));
      points.push_back(padded(prefix, size));
      if (prefix.back() < INT32_MAX) {
        ++prefix.back();
        points.push_back(padded(prefix, size));
      }
    }
  };
  for (const std::string& threshold : thresholds)
    add_around(parse_driver_version(threshold));
  return points;
}

std::string version_text(const DriverVersion& v) {
  std::string text;
  for (std::int32_t component : v)
    text += (text.empty() ? "" : ".") + std::to_string(component);
  return text;
}

}  // namespace

WindowsCase windows_case_of(const std::string& reason) {
  if (reason.find(texts::kPolicyOnWindows8) != std::string::npos)
    return WindowsCase::kWindows8OrGreater;
  if (reason.find(texts::kPolicyOnWindows7) != std::string::npos)
    return WindowsCase::kWindows7;
  return WindowsCase::kOther;
}

bool driver_accepted(const std::string& vendor_id,
                     const std::string& device_id,
                     const std::string& driver,
                     WindowsCase windows) {
  CaseOs os(windows);
  return check_video_card_support({"", vendor_id, device_id, driver, ""}, os).first;
}

namespace {

bool exists(const DriverVersion& v) {
  return v.size() < 4 || v[3] <= kLastBuild;
}

bool same(const DriverVersion& a, const DriverVersion& b) {
  return !numerically_less(a, b) && !numerically_less(b, a);
}

// The candidate points above the installed version in numeric order: the
// verdict holds from each one up to the next.
std::vector<DriverVersion> points_above(const DriverVersion& have, std::size_t size) {
  std::vector<DriverVersion> points;
  for (DriverVersion& v : candidates(size))
    if (numerically_less(have, v))
      points.push_back(std::move(v));
  std::sort(points.begin(), points.end(), numerically_less);
  points.erase(std::unique(points.begin(), points.end(), same), points.end());
  return points;
}

}  // namespace

std::string range_text(const DriverVersion& first, const DriverVersion& end) {
  std::size_t i = end.size();
  while (i > 0 && end[i - 1] == 0)
    --i;
  if (i == 0)
    return version_text(first);
  DriverVersion last(end.begin(), end.begin() + static_cast<std::ptrdiff_t>(i));
  --last.back();
  if (same(last, first) && i == end.size())
    return version_text(first);
  std::string text = version_text(first) + " to " + version_text(last);
  if (i == 3) {
    text += "." + std::to_string(kLastBuild);  // the series' last build
    ++i;
  }
  return i < end.size() ? text + ".*" : text;
}

std::string DriverAdvice::versions_text() const {
  if (!lowest)
    return {};
  std::string text = version_text(*lowest) + " or later";
  for (std::size_t i = 0; i < exceptions.size(); ++i) {
    text += i == 0 ? ", except " : i + 1 == exceptions.size() ? " and " : ", ";
    const auto& [first, end] = exceptions[i];
    text += end.empty() ? version_text(first) + " and later" : range_text(first, end);
  }
  return text;
}

DriverAdvice driver_advice(const std::string& vendor_id,
                           const std::string& device_id,
                           const std::string& installed,
                           WindowsCase windows) {
  const std::string device =
      device_id.empty() && amd_vendor_ids.count(vendor_id) && windows == WindowsCase::kWindows7
          ? *amd_windows7_device_ids.begin()
          : device_id;
  const DriverVersion have = parse_driver_version(installed);
  const std::vector<DriverVersion> points =
      points_above(have, std::max<std::size_t>(have.size(), 4));
  std::vector<bool> accepted;
  for (const DriverVersion& v : points)
    accepted.push_back(driver_accepted(vendor_id, device, version_text(v), windows));
  DriverAdvice advice;
  std::size_t i = 0;
  for (; i < points.size() && !(accepted[i] && exists(points[i])); ++i)
    if (accepted[i] && advice.closed_series.empty())  // past the series' last build
      advice.closed_series = version_text(DriverVersion(points[i].begin(), points[i].begin() + 3));
  if (i == points.size())
    return advice;
  advice.lowest = points[i];
  // Refused runs above it; a version that does not exist ends a run as an
  // accepted one does (9.17.10.10000 ends 9.17.10.2849 to 9.17.10.9999).
  for (std::size_t j = i + 1; j < points.size(); ++j) {
    if (accepted[j])
      continue;
    std::size_t k = j;
    while (k < points.size() && !accepted[k])
      ++k;
    advice.exceptions.emplace_back(points[j], k < points.size() ? points[k] : DriverVersion{});
    j = k;
  }
  return advice;
}

std::optional<std::string> lowest_accepted_driver_above(const std::string& vendor_id,
                                                        const std::string& device_id,
                                                        const std::string& installed,
                                                        WindowsCase windows) {
  const DriverAdvice advice = driver_advice(vendor_id, device_id, installed, windows);
  if (!advice.lowest)
    return std::nullopt;
  return version_text(*advice.lowest);
}

}  // namespace cc
