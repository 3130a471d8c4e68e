// An output file's own stream buffer: what it is given goes to the file in
// one call (BatchBuffer gives it a megabyte at a time). On Linux what is
// written is handed to the disk as the run goes on: a gigabyte JSON left
// dirty until it replaces the last run's would be written back all at once
// then, and the run would wait seconds on it.
#pragma once

#include <cstdint>
#include <streambuf>
#include <string>
#include <system_error>

namespace cc::summary {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or empties the file; `path` is UTF-8 on Windows and the bytes
  // as given elsewhere.
  std::error_code open(const std::string& path);
  bool is_open() const { return handle_ != -1; }
  // Up to `size` bytes written; fewer when the file took no more, the
  // first error kept for error().
  std::size_t write(const char* data, std::size_t size);
  // Closes the file: the first error of its writes or of its closing.
  std::error_code close();
  std::error_code error() const { return error_; }

 private:
  void opened(std::intptr_t handle) {
    handle_ = handle;
    written_ = handed_ = 0;
    error_.clear();
  }
  // POSIX only: Windows' lazy writer writes back as the file grows.
  void hand_to_disk();

  std::intptr_t handle_ = -1;
  // POSIX only: what was written, and from where the system writes it back
  // when it chooses.
  std::uint64_t written_ = 0;
  std::uint64_t handed_ = 0;
  std::error_code error_;
};

// An OutputFile as a stream's buffer, without one of its own.
class OutputFileBuffer : public std::streambuf {
 public:
  explicit OutputFileBuffer(OutputFile& file) : file_(file) {}

 protected:
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    return static_cast<std::streamsize>(file_.write(data, static_cast<std::size_t>(size)));
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof()))
      return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return file_.write(&byte, 1) == 1 ? c : traits_type::eof();
  }

 private:
  OutputFile& file_;
};

}  // namespace cc::summary
