// The driver update that would put a refused adapter on the support list:
// the lowest driver version above the installed one that the support policy
// itself accepts. Asks check_video_card_support with candidate versions, so
// the answer can never drift from the policy's own tables.
#pragma once

#include <optional>
#include <string>

namespace cc {

// The operating-system case a refusal's reason names.
enum class WindowsCase {
  kWindows7,           // " on Windows 7"
  kWindows8OrGreater,  // " on Windows 8 or greater"
  kOther,              // neither named: Intel off Windows 7, or older than Windows 7
};

// The case a support-policy reason text names.
WindowsCase windows_case_of(const std::string& reason);

// The lowest version above `installed`, compared component by component with
// missing components as 0, that the policy accepts for an adapter of this
// vendor and device ID in that case; none when no version above it is
// accepted (a refusal by device or vendor). Written with as many components
// as the installed version has, and at least four. Reports do not carry the
// device ID: an empty one stands for a device on the support list.
std::optional<std::string> lowest_accepted_driver_above(const std::string& vendor_id,
                                                        const std::string& device_id,
                                                        const std::string& installed,
                                                        WindowsCase windows);

// Whether the policy accepts that adapter and driver in that case.
bool driver_accepted(const std::string& vendor_id,
                     const std::string& device_id,
                     const std::string& driver,
                     WindowsCase windows);

}  // namespace cc
