#include "summary/output_file.h"

#include <windows.h>

#include "summary/wide_win.h"

namespace cc::summary {
namespace {

std::error_code last_error() {
  return {static_cast<int>(GetLastError()), std::system_category()};
}

}  // namespace

OutputFile::~OutputFile() {
  if (is_open())
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

std::error_code OutputFile::open(const std::string& path) {
  const HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return last_error();
  opened(reinterpret_cast<std::intptr_t>(file));
  return {};
}

std::size_t OutputFile::write(const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size && !error_) {
    const std::size_t left = size - done;
    const DWORD want = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
    DWORD n = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle_), data + done, want, &n, nullptr))
      error_ = last_error();
    else if (n == 0)
      error_ = std::make_error_code(std::errc::no_space_on_device);
    done += n;
  }
  return done;
}

std::error_code OutputFile::close() {
  if (!is_open())
    return error_;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  handle_ = -1;
  if (!CloseHandle(file) && !error_)
    error_ = last_error();
  return error_;
}

}  // namespace cc::summary
