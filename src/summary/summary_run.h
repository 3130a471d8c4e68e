// The whole CapabilitySummary run, apart from reading the command line.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace cc::summary {

struct SummaryOptions {
  std::vector<std::string> paths;  // report files, or folders searched for *.txt
  std::string csv;                 // output files; empty means none
  std::string json;
  std::string html;
};

// Exit statuses.
inline constexpr int kAllRead = 0;
inline constexpr int kSomeNotRead = 1;
inline constexpr int kUsageError = 2;  // also: an output file cannot be created

// One file to read, kept as a plain string: a fleet has many of them.
struct ReportFile {
  std::string path;             // UTF-8
  std::size_t relative_at = 0;  // where the part below the folder named starts
  bool name_clash = false;      // another file has the same name without extension
};

// The file name without extension; where several files share that name,
// the path below the folder named instead (with "/" between folders).
std::string endpoint_name(const ReportFile& file);

struct FoundFiles {
  std::vector<ReportFile> files;
  std::vector<std::string> missing;  // paths that name nothing
};

// Every file named, and every *.txt under the folders named, in path order.
FoundFiles find_report_files(const std::vector<std::string>& paths);

int run_summary(const SummaryOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cc::summary
