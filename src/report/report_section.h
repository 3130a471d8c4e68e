// A report section: an in-memory text stream that one check writes into, plus
// the two kinds of line that have a fixed layout (heading and message line).
#pragma once

#include <cstring>
#include <exception>
#include <locale>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/seam_gate.h"

#if defined(__MINGW32__) && !defined(__clang__)
#define CC_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define CC_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define CC_PRINTF_FORMAT(fmt, args)
#endif

namespace cc {

// Lets a watchdog on another thread follow a section that a check writes
// (report/watchdog.h). Each write into a watched section is made under the
// mutex, and only while the section is open.
class SectionWatch {
 public:
  std::mutex mutex;
  // Cleared by the watchdog, under the mutex, when it gives the check up.
  bool open = true;
  // Told under the mutex each time a write has completed a line.
  virtual void line_completed() = 0;

 protected:
  ~SectionWatch() = default;
};

class ReportSection {
 public:
  ReportSection() { stream_.imbue(std::locale::classic()); }
  ReportSection(const ReportSection&) = delete;
  ReportSection& operator=(const ReportSection&) = delete;

  template <typename T>
  ReportSection& operator<<(const T& value) {
    if (!watch_) {
      stream_ << value;
      return *this;
    }
    std::lock_guard<std::mutex> lock(watch_->mutex);
    if (watch_->open) {
      stream_ << value;
      if (completes_line(value))
        watch_->line_completed();
    } else if (std::uncaught_exceptions() == 0) {
      throw CheckGivenUp{};  // a write while unwinding is only dropped
    }
    return *this;
  }

  // From now on every write goes through watch, which must outlive this.
  void watch_by(SectionWatch* watch) { watch_ = watch; }

  std::string text() const { return stream_.str(); }

 private:
  template <typename T>
  static bool completes_line(const T& value) {
    if constexpr (std::is_same_v<T, char>) {
      return value == '\n';
    } else if constexpr (std::is_convertible_v<const T&, const char*>) {
      const char* text = value;
      return text && std::strchr(text, '\n');
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
      return std::string_view(value).find('\n') != std::string_view::npos;
    } else {
      return false;  // numbers
    }
  }

  std::ostringstream stream_;
  SectionWatch* watch_ = nullptr;
};

// The title, a line end and an empty line.
void write_heading(ReportSection& section, const std::string& title);

std::string section_text(const ReportSection& section);

// "\t\t*** <level>: <printf text>\n"; the text is cut at 4,095 characters.
void append_message(ReportSection& section, const char* level, const char* format, ...)
    CC_PRINTF_FORMAT(3, 4);
void append_error(ReportSection& section, const char* format, ...) CC_PRINTF_FORMAT(2, 3);
void append_info(ReportSection& section, const char* format, ...) CC_PRINTF_FORMAT(2, 3);

}  // namespace cc
