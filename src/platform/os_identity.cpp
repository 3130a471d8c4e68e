#include "platform/os_identity.h"

namespace cc {

std::string get_os_product_name(OsPlatform& os) {
  return os.read_registry_string("Software\\Microsoft\\Windows NT\\CurrentVersion", "ProductName",
                                 "Unknown OS");
}

bool IsWindows7OrGreater(OsPlatform& os) {
  return os.is_windows_version_or_greater(6, 1, 0);
}

bool IsWindows8OrGreater(OsPlatform& os) {
  return os.is_windows_version_or_greater(6, 2, 0);
}

}  // namespace cc
