// The Windows binding of OsPlatform: registry and VerifyVersionInfoW.
#pragma once

#include "platform/os_identity.h"

namespace cc {

class WinOsPlatform : public OsPlatform {
 public:
  std::string read_registry_string(const std::string& key_path, const std::string& value_name,
                                   const std::string& default_value) override;
  bool is_windows_version_or_greater(unsigned major, unsigned minor,
                                     unsigned service_pack_major) override;
  bool has_is_wow64_process2() override;
  int is_wow64_process2(std::uint16_t* process_machine, std::uint16_t* native_machine) override;
};

// The free functions behind WinOsPlatform, for callers without an object.
std::string read_registry_string(const std::string& key_path, const std::string& value_name,
                                 const std::string& default_value);
bool IsWindowsVersionOrGreater(unsigned major, unsigned minor, unsigned service_pack_major);

}  // namespace cc
