// Reads one checker report back into an Endpoint, or says why the bytes are
// not a report. Every line the checker writes is known by its shared text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "summary/endpoint.h"

namespace cc::summary {

// Reports are a few KiB. A longer file (a daily task appending with ">>")
// is read from its end, this much at a time, until a complete report shows.
inline constexpr std::size_t kTailBytes = 1024 * 1024;

struct ParseOutcome {
  std::optional<Endpoint> endpoint;
  std::string reason;  // why it is not a report, when endpoint is empty
};

// Takes the whole file. Accepts CRLF or LF, a UTF-8 byte-order mark, UTF-16
// with its byte-order mark (Windows PowerShell 5.1's ">"), and the pause
// prompt of a captured console after the report, in any language. A file
// that several runs appended to holds several reports, each in UTF-8 or in
// UTF-16 LE (PowerShell 5.1's ">>" appends that without a mark), the next
// banner at a line start or right after the prompt: the last complete one
// counts, and says how many came before it.
ParseOutcome parse_report(std::string_view bytes);

// Where each run appended to a file begins, in order.
struct RunStart {
  std::size_t at = 0;
  bool utf16 = false;
};
std::vector<RunStart> find_runs(std::string_view bytes);
// How many runs begin at [from, to) of the bytes (a part of a long file
// read in pieces; a piece starts a little before `from` and ends a little
// after `to`, so that a banner across the seam is seen once).
std::size_t count_runs(std::string_view bytes, std::size_t from, std::size_t to);

// The same as parse_report on a file's last part (file_start false: the
// bytes begin somewhere inside it) with `earlier` runs counted before them.
ParseOutcome parse_newest(std::string_view bytes, bool file_start, int earlier);

// UTF-16 code units (little-endian unless said) as UTF-8; half a surrogate
// pair becomes U+FFFD, an odd last byte is dropped.
std::string utf16_to_utf8(std::string_view bytes, bool big_endian = false);

// Reasons given for files that are not reports.
inline constexpr char kReasonEmpty[] = "empty";
inline constexpr char kReasonBinary[] = "binary (contains NUL bytes)";
inline constexpr char kReasonNoBanner[] = "no banner";
inline constexpr char kReasonTruncated[] = "truncated before \"Endpoint OS\"";

}  // namespace cc::summary
