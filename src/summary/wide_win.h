// A UTF-8 path as the wide string Windows' file functions take: the summary
// carries every path as UTF-8.
#pragma once

#include <windows.h>

#include <string>

namespace cc::summary {

inline std::wstring wide(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                       nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], size);
  return out;
}

}  // namespace cc::summary
