// An output's stream buffer that hands its sink only whole batches. A file
// stream writes anything of a kilobyte or more straight through, and an
// endpoint's CSV row or JSON object is about that: a fleet's outputs would
// otherwise reach the file a million small writes at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <streambuf>

namespace cc::summary {

inline constexpr std::size_t kBatchBytes = 1 << 20;

class BatchBuffer : public std::streambuf {
 public:
  explicit BatchBuffer(std::streambuf* sink, std::size_t size = kBatchBytes)
      : sink_(sink), batch_(new char[size]), size_(size) {
    restart();
  }
  BatchBuffer(const BatchBuffer&) = delete;
  BatchBuffer& operator=(const BatchBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override {
    if (!pass_on())
      return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return pass_on() && sink_->pubsync() == 0 ? 0 : -1; }

 private:
  // Hands the batch so far to the sink; false when it took less.
  bool pass_on() {
    const std::streamsize size = pptr() - pbase();
    const bool taken = size == 0 || sink_->sputn(pbase(), size) == size;
    restart();
    return taken;
  }
  void restart() { setp(batch_.get(), batch_.get() + size_); }

  std::streambuf* sink_;
  std::unique_ptr<char[]> batch_;  // left unfilled: an output not asked for costs nothing
  std::size_t size_;
};

}  // namespace cc::summary
