#include "platform/os_identity.h"

#include "platform/seam_gate.h"

namespace cc {

std::string get_os_product_name(OsPlatform& os) {
  return gated(os).read_registry_string("Software\\Microsoft\\Windows NT\\CurrentVersion",
                                        "ProductName", "Unknown OS");
}

bool IsWindows7OrGreater(OsPlatform& os) {
  return gated(os).is_windows_version_or_greater(6, 1, 0);
}

bool IsWindows8OrGreater(OsPlatform& os) {
  return gated(os).is_windows_version_or_greater(6, 2, 0);
}

std::optional<std::string> emulated_on_arm64(OsPlatform& os, std::uint16_t own_machine) {
  if (own_machine == kMachineArm64 || !gated(os).has_is_wow64_process2())
    return std::nullopt;
  std::uint16_t process_machine = kMachineUnknown;
  std::uint16_t native_machine = kMachineUnknown;
  if (!gated(os).is_wow64_process2(&process_machine, &native_machine) ||
      native_machine != kMachineArm64)
    return std::nullopt;
  if (own_machine == kMachineAmd64)
    return std::string("x64");
  if (own_machine == kMachineI386)
    return std::string("x86");
  return std::nullopt;
}

}  // namespace cc
