// The driver update that would put a refused adapter on the support list:
// the lowest driver version above the installed one that the support policy
// itself accepts. Asks check_video_card_support with candidate versions, so
// the answer can never drift from the policy's own tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cc {

// The operating-system case a refusal's reason names.
enum class WindowsCase {
  kWindows7,           // " on Windows 7"
  kWindows8OrGreater,  // " on Windows 8 or greater"
  kOther,              // neither named: Intel off Windows 7, or older than Windows 7
};

// The case a support-policy reason text names.
WindowsCase windows_case_of(const std::string& reason);

// A fourth component past this does not exist: the vendors' four-part driver
// versions end their build number at 9999, so a refused range that ends
// there closes its series.
inline constexpr std::int32_t kLastBuild = 9999;

// What a driver update can do for a refused adapter, asked of the policy.
// Versions are compared component by component with missing components as
// 0, and carry as many components as the installed version, at least four.
struct DriverAdvice {
  // The lowest existing version above the installed one that the policy
  // accepts; none when no version above it is (a refusal by device or vendor).
  std::optional<std::vector<std::int32_t>> lowest;
  // The versions above `lowest` that the policy refuses, each [first, end).
  std::vector<std::pair<std::vector<std::int32_t>, std::vector<std::int32_t>>> exceptions;
  // The first three components of the installed version when the policy
  // refuses every later version of that series ("9.17.10"); else empty.
  std::string closed_series;

  // "10.18.10.4227 or later, except 10.18.14.4264 and 20.19.15.4308";
  // empty without `lowest`.
  std::string versions_text() const;
};

// Reports do not carry the device ID: an empty one stands for a device the
// policy accepts, so the advice is about the driver alone.
DriverAdvice driver_advice(const std::string& vendor_id,
                           const std::string& device_id,
                           const std::string& installed,
                           WindowsCase windows);

// driver_advice's `lowest`, as text.
std::optional<std::string> lowest_accepted_driver_above(const std::string& vendor_id,
                                                        const std::string& device_id,
                                                        const std::string& installed,
                                                        WindowsCase windows);

// A refused range [first, end) as the advice names it: "9.18.10.3222" for a
// single version, "9.17.10.2849 to 9.17.10.9999", "15.200.0.0 to 16.100.*"
// (any version that starts with 16.100).
std::string range_text(const std::vector<std::int32_t>& first,
                       const std::vector<std::int32_t>& end);

// Whether the policy accepts that adapter and driver in that case.
bool driver_accepted(const std::string& vendor_id,
                     const std::string& device_id,
                     const std::string& driver,
                     WindowsCase windows);

}  // namespace cc
