// A scripted process for the check driver: records what it writes and the
// order of the platform calls.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/check_driver.h"
#include "platform/os_identity.h"

namespace cc::testing {

class FakeDriverPlatform : public DriverPlatform {
 public:
  HRESULT co_initialize() override {
    calls.push_back("CoInitialize");
    return co_initialize_result;
  }
  void co_uninitialize() override { calls.push_back("CoUninitialize"); }
  void write_stdout(const std::string& text) override {
    calls.push_back("stdout");
    out += text;
  }
  void write_stderr(const std::string& text) override {
    calls.push_back("stderr");
    err += text;
  }
  bool write_report_file(const std::string& path, const std::string& text) override {
    calls.push_back("file");
    if (unwritable.count(path))
      return false;
    files[path] = text;
    return true;
  }
  void pause() override { calls.push_back("pause"); }

  HRESULT co_initialize_result = S_OK;
  std::vector<std::string> calls;
  std::string out;
  std::string err;
  std::map<std::string, std::string> files;
  std::map<std::string, bool> unwritable;
};

class FakeOs : public OsPlatform {
 public:
  std::string read_registry_string(const std::string& key_path, const std::string& value_name,
                                   const std::string& default_value) override {
    last_key = key_path;
    last_value = value_name;
    return product_name ? *product_name : default_value;
  }
  bool is_windows_version_or_greater(unsigned major, unsigned minor, unsigned) override {
    ++version_queries;
    return major < version_major || (major == version_major && minor <= version_minor);
  }

  std::optional<std::string> product_name = std::string("Windows 10 Pro");
  unsigned version_major = 6;
  unsigned version_minor = 2;
  int version_queries = 0;
  std::string last_key;
  std::string last_value;
};

}  // namespace cc::testing
