// A report section: an in-memory text stream that one check writes into, plus
// the two kinds of line that have a fixed layout (heading and message line).
#pragma once

#include <locale>
#include <sstream>
#include <string>

#if defined(__MINGW32__)
#define CC_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define CC_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define CC_PRINTF_FORMAT(fmt, args)
#endif

namespace cc {

class ReportSection {
 public:
  ReportSection() { stream_.imbue(std::locale::classic()); }
  ReportSection(const ReportSection&) = delete;
  ReportSection& operator=(const ReportSection&) = delete;

  template <typename T>
  ReportSection& operator<<(const T& value) {
    stream_ << value;
    return *this;
  }

  std::string text() const { return stream_.str(); }

 private:
  std::ostringstream stream_;
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
