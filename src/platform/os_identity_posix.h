// OsPlatform off Windows: the product name from /etc/os-release; no Windows
// version is ever reached.
#pragma once

#include <optional>
#include <string>

#include "platform/os_identity.h"

namespace cc {

class PosixOsPlatform : public OsPlatform {
 public:
  explicit PosixOsPlatform(std::string os_release_path = "/etc/os-release")
      : os_release_path_(std::move(os_release_path)) {}
  std::string read_registry_string(const std::string& key_path, const std::string& value_name,
                                   const std::string& default_value) override;
  bool is_windows_version_or_greater(unsigned, unsigned, unsigned) override { return false; }
  bool has_is_wow64_process2() override { return false; }
  int is_wow64_process2(std::uint16_t*, std::uint16_t*) override { return 0; }

 private:
  std::string os_release_path_;
};

// PRETTY_NAME of an os-release text, unquoted; nullopt when absent.
std::optional<std::string> os_release_pretty_name(const std::string& text);

}  // namespace cc
