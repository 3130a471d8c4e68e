#include "summary/input_file.h"

#include <windows.h>

#include <filesystem>
#include <string>

#include "summary/wide_win.h"

namespace cc::summary {
namespace {

// FILETIME counts 100 ns from 1601.
constexpr std::int64_t kTicksTo1970 = 116444736000000000LL;

}  // namespace

std::error_code list_folder(const std::string& path,
                            const std::function<void(const char* name, EntryKind kind)>& each) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(fs::u8path(path), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code type_ec;
    const fs::directory_entry& entry = *it;
    const EntryKind kind = entry.is_symlink(type_ec)        ? EntryKind::kLink
                           : entry.is_directory(type_ec)    ? EntryKind::kFolder
                           : entry.is_regular_file(type_ec) ? EntryKind::kFile
                                                            : EntryKind::kOther;
    each(entry.path().filename().u8string().c_str(), kind);
  }
  return ec;
}

InputFolder::~InputFolder() = default;

// Files go by their whole path here.
bool InputFolder::open(const std::string&) {
  return false;
}

InputFile::~InputFile() {
  if (handle_ != -1)
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool InputFile::open(const InputFolder&, const char*, const std::string& path) {
  return open(path);
}

bool InputFile::open(const std::string& path) {
  // Shared every way: a checker may be appending to the file as it is read.
  const HANDLE file =
      CreateFileW(wide(path).c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  BY_HANDLE_FILE_INFORMATION facts{};
  if (!GetFileInformationByHandle(file, &facts))
    return false;
  size_ = (static_cast<std::uint64_t>(facts.nFileSizeHigh) << 32) | facts.nFileSizeLow;
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(facts.ftLastWriteTime.dwHighDateTime) << 32) |
      facts.ftLastWriteTime.dwLowDateTime) - kTicksTo1970;
  const std::int64_t seconds = ticks >= 0 ? ticks / 10000000 : (ticks - 9999999) / 10000000;
  modified_ = nearest_second(seconds, (ticks - seconds * 10000000) * 100);
  return true;
}

std::int64_t InputFile::read_at(std::uint64_t at, char* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>((at + got) & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>((at + got) >> 32);
    const std::size_t left = size - got;
    const DWORD want = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
    DWORD n = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), data + got, want, &n, &where)) {
      if (GetLastError() == ERROR_HANDLE_EOF)
        break;
      return -1;
    }
    if (n == 0)
      break;
    got += n;
  }
  return static_cast<std::int64_t>(got);
}

}  // namespace cc::summary
