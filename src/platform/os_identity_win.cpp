#include "platform/os_identity_win.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>
#include <memory>
#include <new>

#include "platform/text_conversion_win.h"

namespace cc {
namespace {

// Closes the key exactly once on every path out of the reader.
struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using ScopedKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

}  // namespace

std::optional<std::wstring> utf8_to_utf16(const char* text) {
  if (!text)
    return std::nullopt;
  const std::size_t bytes = std::strlen(text) + 1;
  if (bytes > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return std::nullopt;
  std::wstring buffer(bytes + 1, L'\0');
  int units = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(bytes), &buffer[0],
                                  static_cast<int>(buffer.size()));
  if (units <= 0)
    return std::nullopt;
  buffer.resize(wcslen(buffer.c_str()));
  return buffer;
}

std::optional<std::string> utf16_to_utf8(const wchar_t* text) {
  if (!text)
    return std::nullopt;
  const std::size_t units = wcslen(text) + 1;
  if (units > static_cast<std::size_t>(std::numeric_limits<int>::max() / 3 - 1))
    return std::nullopt;
  std::string buffer(units * 3 + 3, '\0');
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), &buffer[0],
                                  static_cast<int>(buffer.size()), nullptr, nullptr);
  if (bytes <= 0)
    return std::nullopt;
  buffer.resize(std::strlen(buffer.c_str()));
  return buffer;
}

std::string read_registry_string(const std::string& key_path, const std::string& value_name,
                                 const std::string& default_value) {
  const std::optional<std::wstring> path = utf8_to_utf16(key_path.c_str());
  HKEY raw_key = nullptr;
  if (!path || RegOpenKeyExW(HKEY_LOCAL_MACHINE, path->c_str(), 0, KEY_READ, &raw_key) !=
                   ERROR_SUCCESS)
    return default_value;
  ScopedKey key(raw_key);

  const std::optional<std::wstring> name = utf8_to_utf16(value_name.c_str());
  DWORD type = 0;
  DWORD size = 0;
  if (!name || RegQueryValueExW(key.get(), name->c_str(), nullptr, &type, nullptr, &size) !=
                   ERROR_SUCCESS ||
      type != REG_SZ)
    return default_value;

  // (size + 2) UTF-16 units: room for a terminator the stored text may lack.
  if (size > std::numeric_limits<std::size_t>::max() / sizeof(wchar_t) - 2)
    return default_value;
  std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[size + 2]());
  if (!buffer)
    return default_value;

  DWORD returned = size;
  LONG status = RegQueryValueExW(key.get(), name->c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(buffer.get()), &returned);
  key.reset();
  if (status != ERROR_SUCCESS)
    return default_value;
  // A value read between the two queries may have grown; never index past the buffer.
  buffer[std::min<DWORD>(returned, size) / 2] = L'\0';
  return utf16_to_utf8(buffer.get()).value_or(std::string());
}

bool IsWindowsVersionOrGreater(unsigned major, unsigned minor, unsigned service_pack_major) {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wServicePackMajor = static_cast<WORD>(service_pack_major);
  DWORDLONG mask = 0;
  mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                            mask) != FALSE;
}

std::string WinOsPlatform::read_registry_string(const std::string& key_path,
                                                const std::string& value_name,
                                                const std::string& default_value) {
  return cc::read_registry_string(key_path, value_name, default_value);
}

namespace {

// IsWow64Process2 is missing before Windows 10 1709, so it is looked up
// rather than imported: the executable must still load on Windows 7.
using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);

IsWow64Process2Function is_wow64_process2_function() {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (!kernel32)
    return nullptr;
  return reinterpret_cast<IsWow64Process2Function>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "IsWow64Process2")));
}

}  // namespace

bool WinOsPlatform::has_is_wow64_process2() {
  return is_wow64_process2_function() != nullptr;
}

int WinOsPlatform::is_wow64_process2(std::uint16_t* process_machine,
                                     std::uint16_t* native_machine) {
  const IsWow64Process2Function function = is_wow64_process2_function();
  if (!function)
    return FALSE;
  return function(GetCurrentProcess(), process_machine, native_machine);
}

bool WinOsPlatform::is_windows_version_or_greater(unsigned major, unsigned minor,
                                                  unsigned service_pack_major) {
  return IsWindowsVersionOrGreater(major, minor, service_pack_major);
}

}  // namespace cc
