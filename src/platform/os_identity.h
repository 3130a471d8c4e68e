// Operating system identity: the product name for the report's last line and
// the two version tests the support policy asks.
#pragma once

#include <string>

namespace cc {

class OsPlatform {
 public:
  virtual ~OsPlatform() = default;
  // UTF-8 text of a REG_SZ value under HKEY_LOCAL_MACHINE, or a copy of
  // default_value on any failure.
  virtual std::string read_registry_string(const std::string& key_path,
                                           const std::string& value_name,
                                           const std::string& default_value) = 0;
  // VerifyVersionInfoW over (major, minor, service pack major), >= each.
  virtual bool is_windows_version_or_greater(unsigned major, unsigned minor,
                                             unsigned service_pack_major) = 0;
};

std::string get_os_product_name(OsPlatform& os);

// Asked afresh at each call; nothing is cached.
bool IsWindows7OrGreater(OsPlatform& os);
bool IsWindows8OrGreater(OsPlatform& os);

}  // namespace cc
