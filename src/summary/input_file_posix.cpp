#include "summary/input_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace cc::summary {

namespace {

EntryKind kind_of(unsigned char type) {
  switch (type) {
    case DT_REG:
      return EntryKind::kFile;
    case DT_DIR:
      return EntryKind::kFolder;
    case DT_LNK:
      return EntryKind::kLink;
    case DT_UNKNOWN:  // some file systems do not say
      return EntryKind::kUnknown;
    default:
      return EntryKind::kOther;
  }
}

}  // namespace

std::error_code list_folder(const std::string& path,
                            const std::function<void(const char* name, EntryKind kind)>& each) {
  DIR* const dir = ::opendir(path.c_str());
  if (!dir)
    return {errno, std::system_category()};
  int error = 0;
  while (true) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      error = errno;
      break;
    }
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
      continue;
    each(name, kind_of(entry->d_type));
  }
  ::closedir(dir);
  return {error, std::system_category()};
}

InputFolder::~InputFolder() {
  if (handle_ >= 0)
    ::close(static_cast<int>(handle_));
}

bool InputFolder::open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  handle_ = fd;
  return fd >= 0;
}

InputFile::~InputFile() {
  if (handle_ >= 0)
    ::close(static_cast<int>(handle_));
}

bool InputFile::open(const std::string& path) {
  return open(InputFolder(), path.c_str(), path);
}

bool InputFile::open(const InputFolder& folder, const char* name, const std::string& path) {
  // Non-blocking: a FIFO put in a report's place must not stop the run.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  const int fd = folder.is_open() ? ::openat(static_cast<int>(folder.handle_), name, flags)
                                  : ::open(path.c_str(), flags);
  if (fd < 0)
    return false;
  handle_ = fd;
  struct stat facts {};
  if (::fstat(fd, &facts) != 0)
    return false;
  size_ = static_cast<std::uint64_t>(facts.st_size);
  modified_ = nearest_second(facts.st_mtim.tv_sec, facts.st_mtim.tv_nsec);
  return true;
}

std::int64_t InputFile::read_at(std::uint64_t at, char* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(static_cast<int>(handle_), data + got, size - got,
                              static_cast<off_t>(at + got));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return -1;
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(got);
}

}  // namespace cc::summary
