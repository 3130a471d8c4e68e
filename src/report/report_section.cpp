#include "report/report_section.h"

#include <cstdarg>
#include <cstdio>
#include "report/report_texts.h"

namespace cc {
namespace {

constexpr std::size_t kMessageBufferSize = 4096;

CC_PRINTF_FORMAT(3, 0)
void append_message_v(ReportSection& section, const char* level, const char* format, va_list args) {
  char text[kMessageBufferSize];
  int written = std::vsnprintf(text, sizeof(text), format, args);
  if (written < 0)
    text[0] = '\0';  // an encoding error leaves the text empty, not undefined
  section << texts::kMessagePrefix << level << texts::kLevelSeparator << text << '\n';
}

}  // namespace

void write_heading(ReportSection& section, const std::string& title) {
  section << title << '\n' << '\n';
}

std::string section_text(const ReportSection& section) {
  return section.text();
}

void append_message(ReportSection& section, const char* level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  append_message_v(section, level, format, args);
  va_end(args);
}

void append_error(ReportSection& section, const char* format, ...) {
  va_list args;
  va_start(args, format);
  append_message_v(section, texts::kLevelError, format, args);
  va_end(args);
}

void append_info(ReportSection& section, const char* format, ...) {
  va_list args;
  va_start(args, format);
  append_message_v(section, texts::kLevelInfo, format, args);
  va_end(args);
}

}  // namespace cc
