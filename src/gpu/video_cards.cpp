#include "gpu/video_cards.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/seam_gate.h"

namespace cc {
namespace {

// Frees the library on every way out of the walk, exceptions included.
class LibraryGuard {
 public:
  LibraryGuard(AdapterSource& source, ModuleHandle module) : source_(source), module_(module) {}
  LibraryGuard(const LibraryGuard&) = delete;
  LibraryGuard& operator=(const LibraryGuard&) = delete;
  ~LibraryGuard() { source_.free_library(module_); }

 private:
  AdapterSource& source_;
  ModuleHandle module_;
};

// A property that fills the whole buffer has no terminator of its own, so the
// text stops at the buffer's end rather than reading beyond it.
std::string registry_property(AdapterSource& source,
                              DeviceInfoSet& set,
                              DeviceInfoData& device,
                              std::uint32_t property) {
  std::array<std::uint8_t, kRegistryPropertyBytes> buffer{};
  gated(source).get_device_registry_property(set, device, property, buffer.data(),
                                             static_cast<std::uint32_t>(buffer.size()));
  const auto end = std::find(buffer.begin(), buffer.end(), 0);
  return std::string(buffer.begin(), end);
}

std::u16string driver_version_text(AdapterSource& source,
                                   ProcAddress reader,
                                   DeviceInfoSet& set,
                                   DeviceInfoData& device) {
  std::array<std::uint8_t, kDriverVersionBytes> buffer{};
  gated(source).get_driver_version_property(reader, set, device, buffer.data(),
                                            static_cast<std::uint32_t>(buffer.size()));
  std::u16string text;
  for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == 0)
      break;
    text.push_back(unit);
  }
  return text;
}

// The converted text up to its terminator, never past the buffer; a failed
// conversion leaves no half-converted text behind.
std::string to_thread_ansi(AdapterSource& source, const std::u16string& text) {
  std::vector<char> out(2 * (text.size() + 1), '\0');
  const int written =
      gated(source).wide_char_to_multi_byte(text.c_str(), out.data(), static_cast<int>(out.size()));
  if (written <= 0)
    return std::string();
  const auto end = std::find(out.begin(), out.end(), '\0');
  return std::string(out.begin(), end);
}

VideoCardInfo read_card(AdapterSource& source,
                        ProcAddress reader,
                        DeviceInfoSet& set,
                        DeviceInfoData& device) {
  const std::string hardware_id = registry_property(source, set, device, kHardwareId);
  const std::u16string version = driver_version_text(source, reader, set, device);
  VideoCardInfo card;
  card.name = registry_property(source, set, device, kDeviceDescription);
  card.vendorId = hardware_id_field(hardware_id, "VEN_");
  card.deviceId = hardware_id_field(hardware_id, "DEV_");
  card.driverVersion = to_thread_ansi(source, version);
  card.locationInfo = registry_property(source, set, device, kLocationInformation);
  return card;
}

}  // namespace

std::string hardware_id_field(const std::string& hardware_id, const char* marker) {
  const std::string needle(marker);
  const std::size_t at = hardware_id.find(needle);
  if (at == std::string::npos)
    return std::string();
  return hardware_id.substr(at + needle.size(), 4);
}

CheckResult enumerate_video_cards(AdapterSource& source, const VideoCardCallback& callback) {
  const ModuleHandle module = gated(source).load_library();
  if (!module)
    return {false, "Can't load SetupAPI.dll"};
  LibraryGuard library(source, module);

  const ProcAddress reader = gated(source).get_proc_address(module, "SetupDiGetDevicePropertyW");
  if (!reader)
    return {false, "Can't get address \"SetupDiGetDevicePropertyW\""};

  // Declared after the guard, so the set is destroyed before the library goes.
  const std::unique_ptr<DeviceInfoSet> set = gated(source).get_class_devs(module);
  if (!set)
    return {false, "Can't retrieve Device Info"};

  for (std::uint32_t index = 0;; ++index) {
    DeviceInfoData device;
    if (!gated(source).enum_device_info(*set, index, &device))
      break;
    callback(read_card(source, reader, *set, device));
  }
  return {true, std::string()};
}

}  // namespace cc
