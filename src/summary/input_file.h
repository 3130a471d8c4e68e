// A report file opened for reading. Its size and modification time come from
// the open file, so a file costs one look-up of its path; reads go straight
// into the caller's buffer. A fleet is mostly a hundred thousand small
// files, and the summary should take no longer than reading them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <system_error>

namespace cc::summary {

// What a folder's listing tells of an entry, without a further look.
enum class EntryKind { kFile, kFolder, kLink, kOther, kUnknown };

// Calls `each` with the name (UTF-8 on Windows, the bytes as found
// elsewhere) and kind of every entry of the folder at `path` but "." and
// "..". The error that stopped the listing, if any: the folder could not be
// opened, or its listing broke off. A million files are listed in a few
// hundred calls, with no path made for an entry.
std::error_code list_folder(const std::string& path,
                            const std::function<void(const char* name, EntryKind kind)>& each);

// A folder held open while its files are read, so that each of them is
// found by its name alone instead of by its whole path again. Where the
// platform has no such look-up, it holds nothing and files go by path.
class InputFolder {
 public:
  InputFolder() = default;
  ~InputFolder();
  InputFolder(InputFolder&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
  InputFolder(const InputFolder&) = delete;
  InputFolder& operator=(const InputFolder&) = delete;
  InputFolder& operator=(InputFolder&&) = delete;

  bool open(const std::string& path);
  bool is_open() const { return handle_ != -1; }

 private:
  friend class InputFile;
  std::intptr_t handle_ = -1;
};

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False when the file cannot be opened or its size and time not read.
  // `path` is UTF-8 on Windows and the bytes as found elsewhere.
  bool open(const std::string& path);
  // The same, found by `name` in `folder` when it is open.
  bool open(const InputFolder& folder, const char* name, const std::string& path);
  std::uint64_t size() const { return size_; }
  std::int64_t modified() const { return modified_; }  // seconds since 1970, UTC
  // Up to `size` bytes from `at` (fewer at the end); -1 on a read error.
  std::int64_t read_at(std::uint64_t at, char* data, std::size_t size);

 private:
  std::intptr_t handle_ = -1;
  std::uint64_t size_ = 0;
  std::int64_t modified_ = 0;
};

// Nanoseconds since 1970 to the nearest second.
inline std::int64_t nearest_second(std::int64_t seconds, std::int64_t nanoseconds) {
  return seconds + (nanoseconds >= 500000000 ? 1 : 0);
}

}  // namespace cc::summary
