// A scripted device-setup library: display devices described as raw property
// bytes, every call routed through a FakeScript under its Windows name
// ("LoadLibraryW", "SetupDiEnumDeviceInfo", ...).
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gpu/video_cards.h"
#include "support/fake_script.h"

namespace cc::testing {

using Bytes = std::vector<std::uint8_t>;

// ANSI text as a registry property stores it: the text and its terminator.
inline Bytes ansi(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// UTF-16LE text with its terminator, as the driver-version property holds it.
inline Bytes utf16(const std::u16string& text) {
  Bytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

struct FakeDisplayDevice {
  std::map<std::uint32_t, Bytes> properties;  // SPDRP number -> raw value
  std::optional<Bytes> driver_version;
};

inline FakeDisplayDevice pci_device(const std::string& name,
                                    const std::string& hardware_ids,
                                    const std::u16string& driver_version) {
  FakeDisplayDevice device;
  device.properties[kDeviceDescription] = ansi(name);
  Bytes ids(hardware_ids.begin(), hardware_ids.end());
  ids.insert(ids.end(), {0, 0});  // a multi-string ends with an empty string
  device.properties[kHardwareId] = ids;
  device.properties[kLocationInformation] = ansi("PCI bus 1, device 0, function 0");
  device.driver_version = utf16(driver_version);
  return device;
}

class FakeDeviceInfoSet : public DeviceInfoSet, public Counted {
 public:
  explicit FakeDeviceInfoSet(FakeScript& script) : Counted(script) {}
  ~FakeDeviceInfoSet() override { script_.note("SetupDiDestroyDeviceInfoList"); }
};

class FakeAdapterSource : public AdapterSource {
 public:
  explicit FakeAdapterSource(FakeScript& script) : script_(script) {}

  ModuleHandle load_library() override { return ok("LoadLibraryW") ? &module_token_ : nullptr; }
  ProcAddress get_proc_address(ModuleHandle module, const char* name) override {
    record([&] { requested_procs.push_back(name); });
    expect_module(module);
    return ok("GetProcAddress") ? &reader_token_ : nullptr;
  }
  std::unique_ptr<DeviceInfoSet> get_class_devs(ModuleHandle module) override {
    expect_module(module);
    if (!ok("SetupDiGetClassDevsA"))
      return nullptr;
    return std::make_unique<FakeDeviceInfoSet>(script_);
  }
  bool enum_device_info(DeviceInfoSet&, std::uint32_t index, DeviceInfoData* device) override {
    const bool found = ok("SetupDiEnumDeviceInfo") && index < devices.size();
    if (found)
      device->dev_inst = index + 100;
    return found;
  }
  bool get_device_registry_property(DeviceInfoSet&,
                                    DeviceInfoData& device,
                                    std::uint32_t property,
                                    std::uint8_t* buffer,
                                    std::uint32_t size) override {
    note_buffer(buffer, size, kRegistryPropertyBytes);
    const FakeDisplayDevice& source = devices.at(device.dev_inst - 100);
    auto it = source.properties.find(property);
    if (!ok("SetupDiGetDeviceRegistryPropertyA") || it == source.properties.end())
      return false;
    return fill(it->second, buffer, size);
  }
  bool get_driver_version_property(ProcAddress reader,
                                   DeviceInfoSet&,
                                   DeviceInfoData& device,
                                   std::uint8_t* buffer,
                                   std::uint32_t size) override {
    if (reader != &reader_token_)
      record([&] { wrong_handles++; });
    note_buffer(buffer, size, kDriverVersionBytes);
    const FakeDisplayDevice& source = devices.at(device.dev_inst - 100);
    if (!ok("SetupDiGetDevicePropertyW") || !source.driver_version)
      return false;
    return fill(*source.driver_version, buffer, size);
  }
  // Stands in for a single-byte code page: ASCII stays, the rest becomes '?'.
  int wide_char_to_multi_byte(const char16_t* text, char* out, int out_size) override {
    record([&] { conversion_sizes.push_back(out_size); });
    if (!ok("WideCharToMultiByte"))
      return 0;
    if (convert)
      return convert(text, out, out_size);
    std::string converted;
    for (const char16_t* p = text; *p; ++p)
      converted.push_back(*p < 0x80 ? static_cast<char>(*p) : '?');
    if (converted.size() + 1 > static_cast<std::size_t>(out_size))
      return 0;
    std::memcpy(out, converted.c_str(), converted.size() + 1);
    return static_cast<int>(converted.size() + 1);
  }
  bool free_library(ModuleHandle module) override {
    expect_module(module);
    return ok("FreeLibrary");
  }

  std::vector<FakeDisplayDevice> devices;
  std::function<int(const char16_t*, char*, int)> convert;
  std::vector<std::string> requested_procs;
  std::vector<int> conversion_sizes;
  int dirty_buffers = 0;  // buffers handed over with content left in them
  int wrong_sizes = 0;    // buffers whose declared size is not the agreed one
  int wrong_handles = 0;

 private:
  bool ok(const char* call) { return SUCCEEDED(script_.on(call)); }
  // The GPU details check and the encoding check both walk the adapters;
  // after a stall, a check given up may wake while the other runs.
  template <typename Record>
  void record(Record what) {
    std::lock_guard<std::mutex> lock(record_mutex_);
    what();
  }
  void expect_module(ModuleHandle module) {
    if (module != &module_token_)
      record([&] { wrong_handles++; });
  }
  void note_buffer(const std::uint8_t* buffer, std::uint32_t size, std::size_t agreed) {
    const bool dirty = std::any_of(buffer, buffer + size, [](std::uint8_t b) { return b != 0; });
    record([&] {
      dirty_buffers += dirty ? 1 : 0;
      wrong_sizes += size != agreed ? 1 : 0;
    });
  }
  // Like the platform: a value that does not fit is refused, nothing written.
  static bool fill(const Bytes& value, std::uint8_t* buffer, std::uint32_t size) {
    if (value.size() > size)
      return false;
    std::copy(value.begin(), value.end(), buffer);
    return true;
  }

  FakeScript& script_;
  std::mutex record_mutex_;
  int module_token_ = 0;
  int reader_token_ = 0;
};

}  // namespace cc::testing
