// CapabilitySummary's report parser with any bytes: it must never crash or
// read out of bounds, must say why it refuses, must keep only UTF-8 text,
// and must read CRLF line ends as it reads LF.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "summary/csv_output.h"
#include "summary/html_output.h"
#include "summary/json_output.h"
#include "summary/report_parser.h"
#include "summary/text_encoding.h"

using cc::fuzz::require;
using namespace cc::summary;

namespace {

void require_utf8(const Endpoint& e) {
  for (const std::string* text : {&e.checker_version, &e.os, &e.encoding, &e.decoding})
    require(is_valid_utf8(*text));
  for (const Adapter& adapter : e.adapters)
    require(is_valid_utf8(adapter.name) && is_valid_utf8(adapter.driver));
  for (const Encoder& encoder : e.encoders)
    require(is_valid_utf8(encoder.name) && is_valid_utf8(encoder.reason));
  for (const std::string& line : e.errors)
    require(is_valid_utf8(line));
}

std::string with_crlf(const std::string& text) {
  std::string out;
  for (char c : text)
    out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const ParseOutcome parsed = parse_report(bytes);
  require(parsed.endpoint.has_value() == parsed.reason.empty());
  if (!parsed.endpoint)
    return 0;
  const Endpoint& e = *parsed.endpoint;
  require_utf8(e);
  const std::string json = endpoint_json(e);
  require(is_valid_utf8(json));
  require(csv_cell(e.os).find('\n') == std::string::npos || csv_cell(e.os)[0] == '"');
  require(html_escape(e.os).find('<') == std::string::npos);
  if (bytes.find('\r') == std::string::npos && bytes.size() < 64 * 1024) {
    const ParseOutcome crlf = parse_report(with_crlf(bytes));
    require(crlf.endpoint && endpoint_json(*crlf.endpoint) == json);
  }
  return 0;
}
