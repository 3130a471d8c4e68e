// Reads one checker report back into an Endpoint, or says why the bytes are
// not a report. Every line the checker writes is known by its shared text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "summary/endpoint.h"

namespace cc::summary {

// Reports are a few KiB; anything past this is not one.
inline constexpr std::size_t kMaxReportBytes = 1024 * 1024;

struct ParseOutcome {
  std::optional<Endpoint> endpoint;
  std::string reason;  // why it is not a report, when endpoint is empty
};

// Takes the whole file. Accepts CRLF or LF, a UTF-8 byte-order mark, UTF-16
// with its byte-order mark (Windows PowerShell 5.1's ">"), and the "Press any
// key to continue" prompt of a captured console after the report. A file
// that several runs appended to holds several reports: the last complete
// one counts, and says how many came before it.
ParseOutcome parse_report(std::string_view bytes);

// UTF-16 code units (little-endian unless said) as UTF-8; half a surrogate
// pair becomes U+FFFD, an odd last byte is dropped.
std::string utf16_to_utf8(std::string_view bytes, bool big_endian = false);

// Reasons given for files that are not reports.
inline constexpr char kReasonEmpty[] = "empty";
inline constexpr char kReasonTooLarge[] = "larger than 1 MiB";
inline constexpr char kReasonBinary[] = "binary (contains NUL bytes)";
inline constexpr char kReasonNoBanner[] = "no banner";
inline constexpr char kReasonTruncated[] = "truncated before \"Endpoint OS\"";

}  // namespace cc::summary
