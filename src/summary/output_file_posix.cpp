#include "summary/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace cc::summary {
namespace {

// Written back in pieces of this size as the file grows.
constexpr std::uint64_t kHandBytes = 8 << 20;

std::error_code last_error() {
  return {errno, std::system_category()};
}

}  // namespace

OutputFile::~OutputFile() {
  if (is_open())
    ::close(static_cast<int>(handle_));
}

std::error_code OutputFile::open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0)
    return last_error();
  opened(fd);
  return {};
}

std::size_t OutputFile::write(const char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size && !error_) {
    const ssize_t n = ::write(static_cast<int>(handle_), data + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      error_ = n < 0 ? last_error() : std::make_error_code(std::errc::no_space_on_device);
    else
      done += static_cast<std::size_t>(n);
  }
  written_ += done;
  if (written_ - handed_ >= kHandBytes)
    hand_to_disk();
  return done;
}

// Starts the write-back of what was written since last time, without
// waiting for it. A pipe or device has none: its error is no output's.
void OutputFile::hand_to_disk() {
#ifdef __linux__
  ::sync_file_range(static_cast<int>(handle_), static_cast<off_t>(handed_),
                    static_cast<off_t>(written_ - handed_), SYNC_FILE_RANGE_WRITE);
#endif
  handed_ = written_;
}

std::error_code OutputFile::close() {
  if (!is_open())
    return error_;
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (::close(fd) != 0 && !error_)
    error_ = last_error();
  return error_;
}

}  // namespace cc::summary
