#include "platform/os_identity_posix.h"

#include <fstream>
#include <optional>
#include <sstream>

namespace cc {

std::optional<std::string> os_release_pretty_name(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  const std::string key = "PRETTY_NAME=";
  while (std::getline(lines, line)) {
    if (line.compare(0, key.size(), key) != 0)
      continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return std::nullopt;
}

std::string PosixOsPlatform::read_registry_string(const std::string& key_path,
                                                  const std::string& value_name,
                                                  const std::string& default_value) {
  // Only the product name has a counterpart here.
  if (value_name != "ProductName" || key_path != "Software\\Microsoft\\Windows NT\\CurrentVersion")
    return default_value;
  std::ifstream file(os_release_path_);
  if (!file)
    return default_value;
  std::stringstream text;
  text << file.rdbuf();
  return os_release_pretty_name(text.str()).value_or(default_value);
}

}  // namespace cc
