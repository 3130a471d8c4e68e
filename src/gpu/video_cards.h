// The walk over the present display adapters, and the device-setup seam it
// reaches the system through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gpu/video_card_info.h"
#include "platform/com_types.h"

namespace cc {

// HMODULE and the resolved SetupDiGetDevicePropertyW address, opaque here.
using ModuleHandle = void*;
using ProcAddress = void*;

// SP_DEVINFO_DATA, field for field; the binding fills in the size.
struct DeviceInfoData {
  std::uint32_t size = 0;
  GUID class_guid = {};
  std::uint32_t dev_inst = 0;
  std::uintptr_t reserved = 0;
};

// A display-class device information set; destroying it destroys the set.
class DeviceInfoSet {
 public:
  virtual ~DeviceInfoSet() = default;
};

// SPDRP_* numbers of the registry properties the walk reads.
constexpr std::uint32_t kDeviceDescription = 0;     // SPDRP_DEVICEDESC
constexpr std::uint32_t kHardwareId = 1;            // SPDRP_HARDWAREID
constexpr std::uint32_t kLocationInformation = 13;  // SPDRP_LOCATION_INFORMATION

constexpr std::size_t kRegistryPropertyBytes = 1024;
constexpr std::size_t kDriverVersionBytes = 128;

// One method per device-setup call of the walk; results as the platform gives them.
class AdapterSource {
 public:
  virtual ~AdapterSource() = default;
  // LoadLibraryW(L"SetupAPI.dll"); null on failure.
  virtual ModuleHandle load_library() = 0;
  // GetProcAddress(module, name); null on failure.
  virtual ProcAddress get_proc_address(ModuleHandle module, const char* name) = 0;
  // SetupDiGetClassDevsA(GUID_DEVCLASS_DISPLAY, nullptr, nullptr, DIGCF_PRESENT);
  // null for INVALID_HANDLE_VALUE.
  virtual std::unique_ptr<DeviceInfoSet> get_class_devs(ModuleHandle module) = 0;
  // SetupDiEnumDeviceInfo.
  virtual bool enum_device_info(DeviceInfoSet& set,
                                std::uint32_t index,
                                DeviceInfoData* device) = 0;
  // SetupDiGetDeviceRegistryPropertyA into `size` bytes at `buffer`.
  virtual bool get_device_registry_property(DeviceInfoSet& set,
                                            DeviceInfoData& device,
                                            std::uint32_t property,
                                            std::uint8_t* buffer,
                                            std::uint32_t size) = 0;
  // SetupDiGetDevicePropertyW through `reader`, DEVPKEY_Device_DriverVersion, flags 0.
  virtual bool get_driver_version_property(ProcAddress reader,
                                           DeviceInfoSet& set,
                                           DeviceInfoData& device,
                                           std::uint8_t* buffer,
                                           std::uint32_t size) = 0;
  // WideCharToMultiByte(CP_THREAD_ACP, 0, text, -1, out, out_size, nullptr, nullptr).
  virtual int wide_char_to_multi_byte(const char16_t* text, char* out, int out_size) = 0;
  // FreeLibrary.
  virtual bool free_library(ModuleHandle module) = 0;
};

// Hands each present display adapter to `callback`, in the platform's order.
// (true, "") when the walk ran to its end; (false, message) when it could not
// start. Exceptions from the callback reach the caller.
CheckResult enumerate_video_cards(AdapterSource& source, const VideoCardCallback& callback);

// The at most four characters after the first `marker` in `hardware_id`;
// empty when the marker is absent.
std::string hardware_id_field(const std::string& hardware_id, const char* marker);

}  // namespace cc
