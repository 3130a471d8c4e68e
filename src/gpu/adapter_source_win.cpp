#include "gpu/adapter_source_win.h"

#include <windows.h>

#include <setupapi.h>

#include <initguid.h>

#include <devguid.h>
#include <devpkey.h>

#include "platform/seam_gate.h"

namespace cc {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text passes through unchanged");

using GetClassDevsA = decltype(&SetupDiGetClassDevsA);
using EnumDeviceInfo = decltype(&SetupDiEnumDeviceInfo);
using GetDeviceRegistryPropertyA = decltype(&SetupDiGetDeviceRegistryPropertyA);
using GetDevicePropertyW = decltype(&SetupDiGetDevicePropertyW);
using DestroyDeviceInfoList = decltype(&SetupDiDestroyDeviceInfoList);

// Each look-up passes the check's gate before and after: GetProcAddress may
// wait for the loader lock, and a check given up meanwhile goes no further.
template <typename Function>
Function resolve(HMODULE module, const char* name) {
  stop_if_given_up();
  const FARPROC proc = GetProcAddress(module, name);
  stop_if_given_up();
  return reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

struct SetupFunctions {
  EnumDeviceInfo enum_device_info = nullptr;
  GetDeviceRegistryPropertyA get_registry_property = nullptr;
  DestroyDeviceInfoList destroy = nullptr;
};

class WinDeviceInfoSet : public DeviceInfoSet {
 public:
  WinDeviceInfoSet(HDEVINFO handle, const SetupFunctions& functions)
      : handle(handle), functions(functions) {}
  ~WinDeviceInfoSet() override { functions.destroy(handle); }

  const HDEVINFO handle;
  const SetupFunctions functions;
};

WinDeviceInfoSet& win(DeviceInfoSet& set) {
  return static_cast<WinDeviceInfoSet&>(set);  // only this binding makes sets
}

SP_DEVINFO_DATA to_platform(const DeviceInfoData& device) {
  SP_DEVINFO_DATA data = {};
  data.cbSize = sizeof(data);
  data.ClassGuid = device.class_guid;
  data.DevInst = device.dev_inst;
  data.Reserved = device.reserved;
  return data;
}

}  // namespace

// The check's next call is gated, and its guard frees the library.
ModuleHandle WinAdapterSource::load_library() {
  return LoadLibraryW(L"SetupAPI.dll");
}

ProcAddress WinAdapterSource::get_proc_address(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(resolve<FARPROC>(static_cast<HMODULE>(module), name));
}

std::unique_ptr<DeviceInfoSet> WinAdapterSource::get_class_devs(ModuleHandle module) {
  const HMODULE setupapi = static_cast<HMODULE>(module);
  const auto get_class_devs = resolve<GetClassDevsA>(setupapi, "SetupDiGetClassDevsA");
  SetupFunctions functions;
  functions.enum_device_info = resolve<EnumDeviceInfo>(setupapi, "SetupDiEnumDeviceInfo");
  functions.get_registry_property =
      resolve<GetDeviceRegistryPropertyA>(setupapi, "SetupDiGetDeviceRegistryPropertyA");
  functions.destroy = resolve<DestroyDeviceInfoList>(setupapi, "SetupDiDestroyDeviceInfoList");
  if (!get_class_devs || !functions.enum_device_info || !functions.get_registry_property ||
      !functions.destroy)
    return nullptr;  // a library without them cannot list devices at all
  const HDEVINFO handle = get_class_devs(&GUID_DEVCLASS_DISPLAY, nullptr, nullptr, DIGCF_PRESENT);
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  return std::make_unique<WinDeviceInfoSet>(handle, functions);
}

bool WinAdapterSource::enum_device_info(DeviceInfoSet& set,
                                        std::uint32_t index,
                                        DeviceInfoData* device) {
  SP_DEVINFO_DATA data = {};
  data.cbSize = sizeof(data);
  const BOOL found = win(set).functions.enum_device_info(win(set).handle, index, &data);
  device->size = data.cbSize;
  device->class_guid = data.ClassGuid;
  device->dev_inst = data.DevInst;
  device->reserved = data.Reserved;
  return found != FALSE;
}

bool WinAdapterSource::get_device_registry_property(DeviceInfoSet& set,
                                                    DeviceInfoData& device,
                                                    std::uint32_t property,
                                                    std::uint8_t* buffer,
                                                    std::uint32_t size) {
  SP_DEVINFO_DATA data = to_platform(device);
  DWORD type = 0;
  DWORD required = 0;
  return win(set).functions.get_registry_property(win(set).handle, &data, property, &type, buffer,
                                                  size, &required) != FALSE;
}

bool WinAdapterSource::get_driver_version_property(ProcAddress reader,
                                                   DeviceInfoSet& set,
                                                   DeviceInfoData& device,
                                                   std::uint8_t* buffer,
                                                   std::uint32_t size) {
  const auto get_property = reinterpret_cast<GetDevicePropertyW>(reader);
  SP_DEVINFO_DATA data = to_platform(device);
  DEVPROPTYPE type = 0;
  return get_property(win(set).handle, &data, &DEVPKEY_Device_DriverVersion, &type, buffer, size,
                      nullptr, 0) != FALSE;
}

int WinAdapterSource::wide_char_to_multi_byte(const char16_t* text, char* out, int out_size) {
  return WideCharToMultiByte(CP_THREAD_ACP, 0, reinterpret_cast<const wchar_t*>(text), -1, out,
                             out_size, nullptr, nullptr);
}

bool WinAdapterSource::free_library(ModuleHandle module) {
  return FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

}  // namespace cc
