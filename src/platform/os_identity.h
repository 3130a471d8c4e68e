// Operating system identity: the product name for the report's last line and
// the two version tests the support policy asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cc {

// IMAGE_FILE_MACHINE_* values, as IsWow64Process2 reports them.
inline constexpr std::uint16_t kMachineUnknown = 0;
inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

// The machine this build's code is for.
#if defined(__aarch64__) || defined(_M_ARM64)
inline constexpr std::uint16_t kBuildMachine = kMachineArm64;
#elif defined(__x86_64__) || defined(_M_X64)
inline constexpr std::uint16_t kBuildMachine = kMachineAmd64;
#else
inline constexpr std::uint16_t kBuildMachine = kMachineI386;
#endif

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
  // Whether kernel32 exports IsWow64Process2 (GetProcAddress; Windows 10 1709
  // and later).
  virtual bool has_is_wow64_process2() = 0;
  // IsWow64Process2 on the current process: its result and out-values as
  // returned. Called only when has_is_wow64_process2() is true.
  virtual int is_wow64_process2(std::uint16_t* process_machine, std::uint16_t* native_machine) = 0;
};

std::string get_os_product_name(OsPlatform& os);

// Asked afresh at each call; nothing is cached.
bool IsWindows7OrGreater(OsPlatform& os);
bool IsWindows8OrGreater(OsPlatform& os);

// "x64" or "x86" when a build for own_machine runs emulated on an ARM64
// machine, where it cannot load the vendors' ARM64 encoder DLLs; nullopt when
// it runs natively, and when the system cannot tell (IsWow64Process2 missing,
// as before Windows 10 1709, or failing).
std::optional<std::string> emulated_on_arm64(OsPlatform& os, std::uint16_t own_machine);

}  // namespace cc
