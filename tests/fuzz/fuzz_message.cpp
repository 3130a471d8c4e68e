// Message lines and error texts with hostile input: per cent signs, very long
// names, control bytes, any HRESULT.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "report/com_error.h"
#include "report/report_section.h"
#include "fuzz/fuzz_support.h"

using cc::fuzz::require;

namespace {

void check_message_line(const std::string& line, const char* level) {
  const std::string prefix = std::string("\t\t*** ") + level + ": ";
  require(line.compare(0, prefix.size(), prefix) == 0);
  require(!line.empty() && line.back() == '\n');
  require(line.size() <= prefix.size() + 4095 + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* c_text = text.c_str();  // stops at the first NUL, as the platform's would

  cc::ReportSection plain;
  cc::append_error(plain, "%s", c_text);
  check_message_line(cc::section_text(plain), "Error");
  require(cc::section_text(plain).find(c_text) != std::string::npos || std::strlen(c_text) > 4095);

  cc::ReportSection guarded;
  HRESULT hr = 0;
  std::memcpy(&hr, data, size < sizeof(hr) ? size : sizeof(hr));
  cc::run_guarded(guarded, c_text, [hr] { cc::raise_com_error(hr); });
  check_message_line(cc::section_text(guarded), "Error");

  const std::string fallback = cc::fallback_error_text(hr);
  require(!fallback.empty() && fallback.size() <= 31);

  const std::string trimmed = cc::trim_system_text(text);
  require(trimmed.size() <= text.size() && text.size() - trimmed.size() <= 2);
  require(text.compare(0, trimmed.size(), trimmed) == 0);
  return 0;
}
