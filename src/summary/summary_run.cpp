#include "summary/summary_run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#include "summary/compare.h"
#include "summary/csv_output.h"
#include "summary/endpoint_status.h"
#include "summary/html_output.h"
#include "summary/json_output.h"
#include "summary/report_parser.h"
#include "summary/text_encoding.h"
#include "summary/text_summary.h"

namespace cc::summary {
namespace fs = std::filesystem;
namespace {

bool is_txt(const fs::path& path) {
  return folded(path.extension().u8string()) == ".txt";
}

std::size_t name_at(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

std::size_t stem_size(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

std::string_view stem_of(const ReportFile& file) {
  return std::string_view(file.path).substr(file.name_at, file.stem_size);
}

// File times to seconds since 1970: the file clock's distance from now, laid
// on the system clock's now (C++17 has no clock_cast).
class FileTimes {
 public:
  std::int64_t seconds(const fs::path& path) const {
    std::error_code ec;
    const fs::file_time_type time = fs::last_write_time(path, ec);
    if (ec)
      return 0;
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
        time - file_now_ + (system_now_ - std::chrono::system_clock::time_point()));
    const std::int64_t ms = since.count();
    return (ms >= 0 ? ms + 500 : ms - 500) / 1000;  // the nearest second
  }

 private:
  fs::file_time_type file_now_ = fs::file_time_type::clock::now();
  std::chrono::system_clock::time_point system_now_ = std::chrono::system_clock::now();
};

// A named path made absolute and free of "." and ".." and links, so that
// overlapping paths find each file under one key.
std::string real_key(const fs::path& path) {
  std::error_code ec;
  fs::path real = fs::weakly_canonical(path, ec);
  if (ec)
    real = fs::absolute(path, ec).lexically_normal();
  return real.u8string();
}

// Compares a + b with c + d, as if each pair were one text.
int compare_joined(std::string_view a, std::string_view b, std::string_view c, std::string_view d) {
  while (true) {
    if (a.empty()) {
      a = b;
      b = {};
    }
    if (c.empty()) {
      c = d;
      d = {};
    }
    if (a.empty() || c.empty())
      return a.empty() ? (c.empty() ? 0 : -1) : 1;
    const std::size_t n = std::min(a.size(), c.size());
    if (const int order = std::memcmp(a.data(), c.data(), n))
      return order;
    a.remove_prefix(n);
    c.remove_prefix(n);
  }
}

// Endpoint names compared without case.
int compare_stems(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i]);
    const auto y = static_cast<unsigned char>(b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i]);
    if (x != y)
      return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

class Walk {
 public:
  Walk(FoundFiles& found, const FileTimes& times) : found_(found), times_(times) {}
  // A PATH named: a folder walked, or a file.
  void named(const fs::path& path, bool folder);

 private:
  void folder(const fs::path& dir);
  void file(const fs::path& path) {
    std::string text = path.u8string();
    const auto relative_at = static_cast<std::uint32_t>(std::min(relative_at_, text.size()));
    const auto name = static_cast<std::uint32_t>(name_at(text));
    const auto stem = static_cast<std::uint32_t>(stem_size(std::string_view(text).substr(name)));
    found_.files.push_back({std::move(text), root_, relative_at, name, stem, times_.seconds(path)});
  }

  FoundFiles& found_;
  const FileTimes& times_;
  std::uint32_t root_ = 0;
  std::size_t relative_at_ = 0;
};

void Walk::named(const fs::path& path, bool is_folder) {
  root_ = static_cast<std::uint32_t>(found_.roots.size());
  found_.roots.push_back(real_key(path));
  const std::string text = path.u8string();
  const bool separator_last = !text.empty() && (text.back() == '/' || text.back() == '\\');
  // Below a folder the path goes on from the separator after its name.
  relative_at_ = is_folder ? text.size() - (separator_last ? 1 : 0) : text.size();
  if (is_folder)
    folder(path);
  else
    file(path);
}

// Every folder is opened and walked by hand: one that cannot be read, or
// whose listing breaks off, is named with its reason instead of left out.
void Walk::folder(const fs::path& dir) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    std::error_code type_ec;
    if (entry.is_directory(type_ec) && !entry.is_symlink(type_ec))
      folder(entry.path());
    else if (entry.is_regular_file(type_ec) && is_txt(entry.path()))
      file(entry.path());
  }
  if (ec)
    found_.unreadable.push_back({dir.u8string(), "folder cannot be read: " + ec.message()});
}

std::string_view relative_of(const ReportFile& file) {
  return std::string_view(file.path).substr(file.relative_at);
}

// The newest file of each endpoint first; one file named twice, once.
void order_and_dedupe(FoundFiles& found) {
  std::vector<ReportFile>& files = found.files;
  const std::vector<std::string>& roots = found.roots;
  auto where = [&roots](const ReportFile& a, const ReportFile& b) {
    return compare_joined(roots[a.root], relative_of(a), roots[b.root], relative_of(b));
  };
  std::sort(files.begin(), files.end(),
            [&where](const ReportFile& a, const ReportFile& b) { return where(a, b) < 0; });
  files.erase(
      std::unique(files.begin(), files.end(),
                  [&where](const ReportFile& a, const ReportFile& b) { return where(a, b) == 0; }),
      files.end());
  std::stable_sort(files.begin(), files.end(), [](const ReportFile& a, const ReportFile& b) {
    const int order = compare_stems(stem_of(a), stem_of(b));
    return order != 0 ? order < 0 : a.time > b.time;
  });
}

struct Outputs {
  std::ofstream csv, json, html;
  std::unique_ptr<JsonWriter> json_writer;
  HtmlPage page;
};

bool open_output(const std::string& name, std::ofstream& file, std::ostream& err) {
  if (name.empty())
    return true;
  errno = 0;
  file.open(fs::u8path(name), std::ios::binary | std::ios::trunc);
  if (!file)
    err << "Can't create " << name << ": "
        << (errno ? std::generic_category().message(errno) : std::string("cannot be opened"))
        << "\n";
  return static_cast<bool>(file);
}

// Two outputs on one file would overwrite each other.
bool outputs_distinct(const SummaryOptions& options, std::ostream& err) {
  std::vector<std::string> keys;
  for (const std::string* name : {&options.csv, &options.json, &options.html}) {
    if (name->empty())
      continue;
    const std::string key = real_key(fs::u8path(*name));
    if (std::find(keys.begin(), keys.end(), key) != keys.end()) {
      err << "The same file is named for two outputs: " << *name << "\n";
      return false;
    }
    keys.push_back(key);
  }
  return true;
}

// Reads the files, the newest report of each endpoint counting and the
// others counted as older reports of it, and feeds every output as it goes.
class Run {
 public:
  Run(Outputs& outputs, Comparison* comparison) : outputs_(outputs), comparison_(comparison) {}
  void read_all(const FoundFiles& found);
  const FleetTotals& totals() const { return totals_; }

 private:
  // True when the file held a report.
  bool read(const ReportFile& file, bool newer_taken);
  void take(Endpoint& endpoint, const ReportFile& file);

  Outputs& outputs_;
  Comparison* comparison_;
  FleetTotals totals_;
  std::string buffer_;
  // An AMD driver update waits until the whole fleet has shown which models
  // the support list refuses by device ID; those endpoints come last.
  FleetDevices devices_;
  std::vector<std::pair<Endpoint, const ReportFile*>> waiting_;
};

void Run::read_all(const FoundFiles& found) {
  for (const Unreadable& file : found.unreadable)
    totals_.add_unreadable({to_utf8(file.file), file.reason});
  const ReportFile* group = nullptr;  // the newest file of the endpoint being read
  bool taken = false;
  for (const ReportFile& file : found.files) {
    if (!group || compare_stems(stem_of(*group), stem_of(file)) != 0) {
      group = &file;
      taken = false;
    }
    taken = read(file, taken) || taken;
  }
  for (auto& [endpoint, file] : waiting_)
    take(endpoint, *file);
  waiting_.clear();
}

bool Run::read(const ReportFile& file, bool newer_taken) {
  const std::string shown = to_utf8(file.path);  // outputs are UTF-8 whatever the name was
  if (!read_report_bytes(file.path, buffer_)) {
    totals_.add_unreadable({shown, "cannot be opened"});
    return false;
  }
  ParseOutcome outcome = parse_report(buffer_);
  if (!outcome.endpoint) {
    totals_.add_unreadable({shown, outcome.reason});
    return false;
  }
  for (int i = 0; i < outcome.endpoint->earlier_in_file; ++i)
    totals_.add_older_report();
  if (newer_taken) {
    totals_.add_older_report();
    return true;
  }
  devices_.see(*outcome.endpoint);
  if (waits_for_fleet(*outcome.endpoint))
    waiting_.emplace_back(std::move(*outcome.endpoint), &file);
  else
    take(*outcome.endpoint, file);
  return true;
}

void Run::take(Endpoint& endpoint, const ReportFile& file) {
  endpoint.endpoint = to_utf8(endpoint_name(file));
  endpoint.file = to_utf8(file.path);
  endpoint.report_time = iso8601_utc(file.time);
  Assessment assessment = assess(endpoint, &devices_);
  endpoint.status = static_cast<int>(assessment.status);
  endpoint.action = std::move(assessment.action);
  const std::vector<BlockerHit> blockers = blockers_of(endpoint, &devices_);
  totals_.add(endpoint, blockers);
  if (comparison_)
    comparison_->see(endpoint);
  std::vector<std::string> cells;
  if (outputs_.csv.is_open() || outputs_.html.is_open())
    cells = endpoint_cells(endpoint);
  if (outputs_.csv.is_open())
    write_csv_row(outputs_.csv, cells);
  if (outputs_.json_writer)
    outputs_.json_writer->add(endpoint);
  if (outputs_.html.is_open())
    outputs_.page.add(endpoint, blockers, std::move(cells));
}

bool start_outputs(const SummaryOptions& options, Outputs& outputs, std::ostream& err) {
  if (!outputs_distinct(options, err) || !open_output(options.csv, outputs.csv, err) ||
      !open_output(options.json, outputs.json, err) ||
      !open_output(options.html, outputs.html, err))
    return false;
  if (outputs.csv.is_open())
    write_csv_header(outputs.csv);
  if (outputs.json.is_open())
    outputs.json_writer = std::make_unique<JsonWriter>(outputs.json);
  return true;
}

bool close_outputs(Outputs& outputs) {
  bool written = true;
  for (std::ofstream* file : {&outputs.csv, &outputs.json, &outputs.html}) {
    if (file->is_open()) {
      file->close();
      written = written && !file->fail();
    }
  }
  return written;
}

// Days since 1970-01-01 as a civil date (proleptic Gregorian).
void civil_from_days(std::int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

std::string endpoint_name(const ReportFile& file) {
  return std::string(stem_of(file));
}

std::string iso8601_utc(std::int64_t seconds) {
  std::int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0)
    rest += 86400, --days;
  int year = 0, month = 0, day = 0;
  civil_from_days(days, year, month, day);
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day,
                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                static_cast<int>(rest % 60));
  return text;
}

FoundFiles find_report_files(const std::vector<std::string>& paths,
                             const std::vector<std::string>& skip) {
  FoundFiles found;
  const FileTimes times;
  Walk walk(found, times);
  for (const std::string& name : paths) {
    const fs::path path = fs::u8path(name);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::exists(status))
      walk.named(path, fs::is_directory(status));
    else if (ec && ec != std::errc::no_such_file_or_directory)
      found.unreadable.push_back({name, "cannot be read: " + ec.message()});
    else
      found.unreadable.push_back({name, "not found"});
  }
  std::vector<std::string> skipped;
  for (const std::string& name : skip)
    if (!name.empty())
      skipped.push_back(real_key(fs::u8path(name)));
  // The run's own outputs are no reports.
  auto is_output = [&](const ReportFile& file) {
    return std::any_of(skipped.begin(), skipped.end(), [&](const std::string& output) {
      return compare_joined(found.roots[file.root], relative_of(file), output, {}) == 0;
    });
  };
  found.files.erase(std::remove_if(found.files.begin(), found.files.end(), is_output),
                    found.files.end());
  order_and_dedupe(found);
  return found;
}

bool read_report_bytes(const std::string& path, std::string& buffer) {
  std::ifstream in(fs::u8path(path), std::ios::binary | std::ios::ate);
  if (!in)
    return false;
  const std::streamoff size = in.tellg();
  in.seekg(0);
  const std::size_t want =
      size < 0 ? kMaxReportBytes + 1 : std::min<std::size_t>(size, kMaxReportBytes) + 1;
  buffer.resize(want);
  in.read(&buffer[0], static_cast<std::streamsize>(want));
  buffer.resize(static_cast<std::size_t>(in.gcount()));
  return !in.bad();
}

int run_summary(const SummaryOptions& options, std::ostream& out, std::ostream& err) {
  std::unique_ptr<Comparison> comparison;
  if (!options.compare.empty()) {
    comparison = std::make_unique<Comparison>();
    std::string error;
    if (!comparison->load(options.compare, error)) {
      err << "Can't compare with " << options.compare << ": " << error << "\n";
      return kUsageError;
    }
  }
  Outputs outputs;
  if (!start_outputs(options, outputs, err))
    return kUsageError;
  const FoundFiles found =
      find_report_files(options.paths, {options.csv, options.json, options.html});
  Run run(outputs, comparison.get());
  run.read_all(found);
  const FleetTotals& totals = run.totals();
  if (comparison)
    comparison->finish();
  if (outputs.json_writer)
    outputs.json_writer->finish(totals, comparison.get());
  if (outputs.html.is_open())
    outputs.page.write(outputs.html, totals, comparison.get());

  write_text_summary(out, totals, comparison.get());
  for (const Unreadable& file : totals.unreadable())
    err << "not read: " << file.file << ": " << file.reason << "\n";
  // Read all the same: a newer checker writes the lines this one knows.
  for (const auto& [version, count] : totals.checker_versions())
    if (newer_checker(version))
      err << "note: " << count << " report" << (count == 1 ? "" : "s") << " of checker version "
          << version << ", newer than " << kKnownCheckerVersion
          << ": read with what this summary knows of its lines\n";
  const bool written = close_outputs(outputs);
  if (!written)
    err << "An output file could not be written completely\n";
  return !written || !totals.unreadable().empty() ? kSomeNotRead : kAllRead;
}

}  // namespace cc::summary
