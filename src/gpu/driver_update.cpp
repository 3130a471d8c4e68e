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

std::optional<std::string> lowest_accepted_driver_above(const std::string& vendor_id,
                                                        const std::string& device_id,
                                                        const std::string& installed,
                                                        WindowsCase windows) {
  // Reports do not carry the device ID: an empty one stands for a device on
  // the support list.
  const std::string device =
      device_id.empty() && amd_vendor_ids.count(vendor_id) && windows == WindowsCase::kWindows7
          ? *amd_windows7_device_ids.begin()
          : device_id;
  const DriverVersion have = parse_driver_version(installed);
  const std::size_t size = std::max<std::size_t>(have.size(), 4);
  std::optional<DriverVersion> best;
  for (const DriverVersion& v : candidates(size)) {
    if (!numerically_less(have, v) || (best && !numerically_less(v, *best)))
      continue;
    if (driver_accepted(vendor_id, device, version_text(v), windows))
      best = v;
  }
  if (!best)
    return std::nullopt;
  return version_text(*best);
}

}  // namespace cc
