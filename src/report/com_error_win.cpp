#include "report/com_error_win.h"

#include <windows.h>

namespace cc {

std::optional<std::string> WinSystemErrors::format_message(HRESULT hr) {
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0 || !text) {
    if (text)
      LocalFree(text);
    return std::nullopt;
  }
  std::string result(text, length);
  LocalFree(text);
  return result;
}

int WinSystemErrors::last_error() {
  return static_cast<int>(GetLastError());
}

}  // namespace cc
