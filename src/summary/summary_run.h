// The whole CapabilitySummary run, apart from reading the command line.
#pragma once

#include <cstdint>
#include <limits>
#include <filesystem>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "summary/fleet.h"
#include "summary/fleet_profile.h"
#include "summary/input_file.h"
#include "summary/report_parser.h"

namespace cc::summary {

struct SummaryOptions {
  std::vector<std::string> paths;  // report files, or folders searched for *.txt
  std::string csv;                 // output files; empty means none
  std::string json;
  std::string html;
  std::string compare;  // a JSON this program wrote earlier; empty means none
  int stale_days = kDefaultStaleDays;  // a newest report older than this is stale
};

// Exit statuses, the worst that happened: every input read and every output
// written; some inputs not read (listed on standard error); a usage error or
// no report at all; an output not written (named on standard error).
inline constexpr int kAllRead = 0;
inline constexpr int kSomeNotRead = 1;
inline constexpr int kUsageError = 2;
inline constexpr int kNothingFound = 2;
inline constexpr int kNotWritten = 3;

inline constexpr std::int64_t kTimeUnknown = std::numeric_limits<std::int64_t>::min();

// One file to read, kept small: a fleet has many of them. Where it really
// is, so that a file named twice is read once: the real path of the PATH it
// was found under, then its path from the separator at relative_at on.
struct ReportFile {
  std::string path;               // as found (UTF-8 on Windows, the bytes elsewhere)
  std::uint32_t root = 0;         // the PATH it was found under (FoundFiles::roots)
  std::uint32_t relative_at = 0;  // where the part below that PATH starts
  std::uint32_t name_at = 0;      // where the file name starts
  std::uint32_t stem_size = 0;    // its length without the extension
  std::int64_t time = 0;          // modification time, seconds since 1970 (UTC),
                                  // or kTimeUnknown until it is needed
  std::string endpoint_key;       // the name without extension, case folded
};

// The endpoint a file speaks for: its name without extension. Computer names
// ignore case, so the comparison does too.
std::string endpoint_name(const ReportFile& file);

struct FoundFiles {
  std::vector<ReportFile> files;
  std::vector<std::string> roots;      // the real path of each PATH named
  std::vector<Unreadable> unreadable;  // paths that name nothing, folders that cannot be read
};

// Every file named, and every *.txt under the folders named, each once and
// none of `skip` (the run's own outputs): grouped by endpoint, the newest
// file of each first.
FoundFiles find_report_files(const std::vector<std::string>& paths,
                             const std::vector<std::string>& skip = {});

// The file's newest complete report, or why there is none. A file up to
// kTailBytes is read whole in one read (the buffer is kept at that size
// from file to file); a longer one
// from its end, a growing part at a time, until a complete report shows,
// and the runs before it are counted by their banners only: no file is
// refused for its size alone.
// Its modification time goes to `modified` once the file is open.
ParseOutcome read_newest_report(const std::string& path,
                                std::string& buffer,
                                std::int64_t* modified = nullptr);
// The same from a file already open.
ParseOutcome read_newest_report(InputFile& in, std::string& buffer, std::int64_t* modified);

inline constexpr char kReasonCannotOpen[] = "cannot be opened";
inline constexpr char kReasonCannotRead[] = "cannot be read";

// Seconds since 1970 as "2026-12-08T20:20:40Z".
std::string iso8601_utc(std::int64_t seconds);

int run_summary(const SummaryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cc::summary
