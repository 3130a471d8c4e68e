// The device-setup library as the adapter walk sees it (Windows).
#pragma once

#include "gpu/video_cards.h"

namespace cc {

// SetupAPI is loaded at run time and every SetupDi function comes from the
// loaded module, so the executable imports nothing from it.
class WinAdapterSource : public AdapterSource {
 public:
  ModuleHandle load_library() override;
  ProcAddress get_proc_address(ModuleHandle module, const char* name) override;
  std::unique_ptr<DeviceInfoSet> get_class_devs(ModuleHandle module) override;
  bool enum_device_info(DeviceInfoSet& set, std::uint32_t index, DeviceInfoData* device) override;
  bool get_device_registry_property(DeviceInfoSet& set,
                                    DeviceInfoData& device,
                                    std::uint32_t property,
                                    std::uint8_t* buffer,
                                    std::uint32_t size) override;
  bool get_driver_version_property(ProcAddress reader,
                                   DeviceInfoSet& set,
                                   DeviceInfoData& device,
                                   std::uint8_t* buffer,
                                   std::uint32_t size) override;
  int wide_char_to_multi_byte(const char16_t* text, char* out, int out_size) override;
  bool free_library(ModuleHandle module) override;
};

}  // namespace cc
