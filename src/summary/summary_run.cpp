#include "summary/summary_run.h"

#include <algorithm>
#include <cstring>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>

#include "summary/batch_buffer.h"
#include "summary/compare.h"
#include "summary/csv_output.h"
#include "summary/endpoint_status.h"
#include "summary/html_output.h"
#include "summary/input_file.h"
#include "summary/json_output.h"
#include "summary/ordered_work.h"
#include "summary/output_file.h"
#include "summary/report_parser.h"
#include "summary/text_encoding.h"
#include "summary/text_summary.h"

namespace cc::summary {
namespace fs = std::filesystem;
namespace {

constexpr char kSeparator = static_cast<char>(fs::path::preferred_separator);

bool is_separator(char c) {
  return c == '/' || c == kSeparator;
}

// A name ending in ".txt" in any case, with something before it: what
// path::extension() calls ".txt" (a file named ".txt" has none). Read off
// the path's own text: no folder holds few files.
bool is_txt(std::string_view text) {
  const std::size_t n = text.size();
  if (n < 5)
    return false;
  if (is_separator(text[n - 5]))
    return false;
  const std::string_view ext = text.substr(n - 4);
  return std::equal(ext.begin(), ext.end(), ".txt", [](char c, char lower) {
    return (c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) == lower;
  });
}

std::size_t name_at(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? 0 : slash + 1;
}

std::size_t stem_size(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name.size() : dot;
}

std::string_view stem_of(const ReportFile& file) {
  return std::string_view(file.path).substr(file.name_at, file.stem_size);
}

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

// Why a file named *.txt, or a PATH, that is no regular file is not read;
// empty for a regular file. Nothing that could block (a FIFO) is opened.
std::string not_regular(const fs::directory_entry& entry) {
  std::error_code ec;
  const fs::file_status status = entry.status(ec);
  if (fs::is_regular_file(status))
    return {};
  if (entry.is_symlink(ec) && !fs::exists(status))
    return "link leads nowhere";
  if (fs::is_fifo(status))
    return "not a regular file (FIFO)";
  if (fs::is_socket(status))
    return "not a regular file (socket)";
  if (fs::is_block_file(status) || fs::is_character_file(status))
    return "not a regular file (device)";
  return ec ? "cannot be read: " + ec.message() : "not a regular file";
}

// Deeper than this, a folder is taken for a loop that no link showed (a
// junction on Windows) and reported, not followed.
constexpr int kMaxFolderDepth = 64;

class Walk {
 public:
  explicit Walk(FoundFiles& found) : found_(found) {}
  // A PATH named: a folder walked, or a file.
  void named(const fs::path& path, bool folder);

 private:
  void folder(const fs::path& dir, std::string real, int depth);
  bool enter(const fs::path& dir, const std::string& real, int depth);
  // real: where it is, unless it is a link.
  void entry(const std::string& path, const std::string& real, int depth);
  // real: where the file really is (empty: under the folder being walked).
  void file(std::string text, const std::string& real = {}) {
    const auto name = static_cast<std::uint32_t>(name_at(text));
    const auto stem = static_cast<std::uint32_t>(stem_size(std::string_view(text).substr(name)));
    std::uint32_t root = root_, relative_at = static_cast<std::uint32_t>(relative_at_);
    if (!real.empty()) {  // a link, or a PATH: its own real path is the key
      root = static_cast<std::uint32_t>(found_.roots.size());
      found_.roots.push_back(real);
      relative_at = static_cast<std::uint32_t>(text.size());
    }
    std::string key = fold_case(std::string_view(text).substr(name, stem));
    found_.files.push_back(
        {std::move(text), root, relative_at, name, stem, kTimeUnknown, std::move(key)});
  }
  // A *.txt in a folder: read, or named with why not.
  void listed_file(const fs::directory_entry& entry, bool link) {
    std::error_code ec;
    std::string why = link || !entry.is_regular_file(ec) ? not_regular(entry) : "";
    if (!why.empty())
      not_read(entry.path(), std::move(why));
    else
      file(entry.path().u8string(), link ? real_key(entry.path()) : std::string());
  }
  void not_read(const fs::path& path, std::string reason) {
    found_.unreadable.push_back({path.u8string(), std::move(reason)});
  }

  FoundFiles& found_;
  std::uint32_t root_ = 0;  // the real path of the folder being walked
  std::size_t relative_at_ = 0;
  std::vector<std::string> open_;  // real paths of the folders being walked
  std::vector<std::string> walked_;
};

void Walk::named(const fs::path& path, bool is_folder) {
  if (is_folder)
    folder(path, real_key(path), 0);
  else
    file(path.u8string(), real_key(path));
}

// False for a folder already walked (named twice, or reached by a link) or
// one that leads back into a folder being walked (a link loop: reported).
bool Walk::enter(const fs::path& dir, const std::string& real, int depth) {
  for (const std::string& open : open_) {
    if (open == real) {
      not_read(dir, "link loop: leads back to " + real);
      return false;
    }
  }
  if (depth > kMaxFolderDepth) {
    not_read(dir, "folders nested deeper than " + std::to_string(kMaxFolderDepth) +
                      " (a loop?): not followed");
    return false;
  }
  if (std::find(walked_.begin(), walked_.end(), real) != walked_.end())
    return false;  // its files are read under the path it was first found by
  walked_.push_back(real);
  return true;
}

// `folder` + `name`, with one separator between.
std::string joined(const std::string& folder, const char* name) {
  std::string path = folder;
  if (path.empty() || !is_separator(path.back()))
    path += kSeparator;
  return path += name;
}

// Every folder is walked by hand: one that cannot be read, or whose listing
// breaks off, is named with its reason instead of left out. Links are
// followed once; files are known by their real path.
void Walk::folder(const fs::path& dir, std::string real, int depth) {
  if (!enter(dir, real, depth))
    return;
  open_.push_back(real);
  const std::uint32_t outer_root = root_;
  const std::size_t outer_relative_at = relative_at_;
  // Below the folder a file's path goes on from the separator after its name.
  const std::string text = dir.u8string();
  const bool separator_last = !text.empty() && is_separator(text.back());
  root_ = static_cast<std::uint32_t>(found_.roots.size());
  found_.roots.push_back(real);
  relative_at_ = text.size() - (separator_last ? 1 : 0);
  std::string path = separator_last || text.empty() ? text : text + kSeparator;
  const std::size_t name_at = path.size();
  const std::error_code ec = list_folder(text, [&](const char* name, EntryKind kind) {
    path.resize(name_at);
    path += name;
    if (kind == EntryKind::kFile) {  // most entries: nothing more to look at
      if (is_txt(path))
        file(path);
    } else if (kind == EntryKind::kFolder) {
      folder(fs::u8path(path), joined(real, name), depth + 1);
    } else {
      entry(path, joined(real, name), depth);
    }
  });
  if (ec)
    not_read(dir, "folder cannot be read: " + ec.message());
  open_.pop_back();
  root_ = outer_root;
  relative_at_ = outer_relative_at;
}

// A link, or what the listing did not tell: looked at closer.
void Walk::entry(const std::string& path, const std::string& real, int depth) {
  const fs::directory_entry entry(fs::u8path(path));
  std::error_code ec;
  const bool link = entry.is_symlink(ec);
  if (entry.is_directory(ec))
    folder(entry.path(), link ? real_key(entry.path()) : real, depth + 1);
  else if (is_txt(path))
    listed_file(entry, link);
}

std::string_view relative_of(const ReportFile& file) {
  return std::string_view(file.path).substr(file.relative_at);
}

// Up to eight bytes of `key` from `at` as one number that orders as the
// bytes do (missing bytes count as zero: a name has no NUL).
std::uint64_t prefix_number(const std::string& key, std::size_t at) {
  std::uint64_t number = 0;
  for (std::size_t i = at; i < at + 8; ++i)
    number = (number << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  return number;
}

// Orders the files by endpoint, then by `where`. A fleet has up to a million
// files: each is sorted as a number made of its name's first bytes past
// what all names share ("desktop-"), which decides most comparisons
// without reading the names, and the files are moved once at the end.
template <typename Where>
void sort_by_endpoint(std::vector<ReportFile>& files, const Where& where) {
  if (files.empty())
    return;
  const std::string& first = files.front().endpoint_key;
  std::size_t shared = first.size();
  for (const ReportFile& file : files) {
    const std::string& key = file.endpoint_key;
    shared = std::mismatch(first.begin(), first.begin() + std::min(shared, key.size()),
                           key.begin()).first - first.begin();
  }
  struct Entry {
    std::uint64_t prefix;
    std::uint32_t index;
  };
  std::vector<Entry> order(files.size());
  for (std::size_t i = 0; i < files.size(); ++i)
    order[i] = {prefix_number(files[i].endpoint_key, shared), static_cast<std::uint32_t>(i)};
  std::sort(order.begin(), order.end(), [&](const Entry& a, const Entry& b) {
    if (a.prefix != b.prefix)
      return a.prefix < b.prefix;
    const ReportFile& x = files[a.index];
    const ReportFile& y = files[b.index];
    const int by_name = x.endpoint_key.compare(y.endpoint_key);
    return by_name != 0 ? by_name < 0 : where(x, y) < 0;
  });
  std::vector<ReportFile> sorted;
  sorted.reserve(files.size());
  for (const Entry& entry : order)
    sorted.push_back(std::move(files[entry.index]));
  files.swap(sorted);
}

// Whether a file known by its own real path (a link, a PATH named) goes by
// another name than the file it is: a link "same.txt" to "PC-01.txt".
bool renamed(const ReportFile& file, const std::vector<std::string>& roots) {
  if (!relative_of(file).empty())
    return false;
  const std::string_view real = roots[file.root];
  const std::string_view name = real.substr(name_at(real));
  return fold_case(name.substr(0, stem_size(name))) != file.endpoint_key;
}

// A file found under another name as well (a link "same.txt" to a
// "PC-01.txt" also found) is read once, under its own name; two such links
// alone, under the first name in order. Rare: the rest pay one look.
void drop_renamed(FoundFiles& found) {
  std::vector<ReportFile>& files = found.files;
  std::unordered_set<std::string> taken;
  for (const ReportFile& file : files)
    if (renamed(file, found.roots))
      taken.insert(found.roots[file.root]);
  if (taken.empty())
    return;
  std::unordered_set<std::string> kept;
  auto where = [&](const ReportFile& file) {
    return found.roots[file.root] + std::string(relative_of(file));
  };
  for (const ReportFile& file : files)
    if (!renamed(file, found.roots) && taken.count(where(file)))
      kept.insert(where(file));
  files.erase(std::remove_if(files.begin(), files.end(),
                             [&](const ReportFile& file) {
                               return renamed(file, found.roots) &&
                                      !kept.insert(where(file)).second;
                             }),
              files.end());
}

// The newest file of each endpoint first; one file named twice, once. Only
// an endpoint with several files needs their times to order them; the rest
// are timed as they are read, on the reading threads.
void order_and_dedupe(FoundFiles& found) {
  std::vector<ReportFile>& files = found.files;
  const std::vector<std::string>& roots = found.roots;
  auto where = [&roots](const ReportFile& a, const ReportFile& b) {
    if (a.root == b.root)  // most files: the same folder's path before both
      return relative_of(a).compare(relative_of(b));
    return compare_joined(roots[a.root], relative_of(a), roots[b.root], relative_of(b));
  };
  sort_by_endpoint(files, where);
  // A file found twice by one name lies next to itself.
  files.erase(std::unique(files.begin(), files.end(),
                          [&where](const ReportFile& a, const ReportFile& b) {
                            return a.endpoint_key == b.endpoint_key && where(a, b) == 0;
                          }),
              files.end());
  drop_renamed(found);
  for (auto group = files.begin(); group != files.end();) {
    const auto end = std::find_if(group, files.end(), [&](const ReportFile& file) {
      return file.endpoint_key != group->endpoint_key;
    });
    if (end - group > 1) {
      for (auto file = group; file != end; ++file) {
        InputFile in;
        file->time = in.open(file->path) ? in.modified() : kTimeUnknown;
      }
      std::stable_sort(group, end,
                       [](const ReportFile& a, const ReportFile& b) { return a.time > b.time; });
    }
    group = end;
  }
}

// One output, written under a temporary name beside its own and renamed
// only when complete, so that a failed run never leaves half a JSON for the
// next --compare. A device or pipe (/dev/stdout) is written as it is.
struct Output {
  std::string name;
  std::string temp;  // empty: written in place
  OutputFile file;
  OutputFileBuffer unbuffered{file};
  // Outputs run to a gigabyte: written a megabyte at a time, in whole pages
  // the file system need not fill in first.
  BatchBuffer batch{&unbuffered};
  std::ostream stream{&batch};
  bool is_open() const { return file.is_open(); }
};

struct Outputs {
  Output csv, json, html;
  std::unique_ptr<JsonWriter> json_writer;
  HtmlPage page;
};

bool open_output(const std::string& name, Output& file, std::ostream& err) {
  if (name.empty())
    return true;
  file.name = name;
  const fs::path path = fs::u8path(name);
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  file.temp = fs::exists(status) && !fs::is_regular_file(status) ? "" : name + ".tmp";
  if (const std::error_code failed = file.file.open(file.temp.empty() ? name : file.temp)) {
    err << "Can't create " << name << ": " << failed.message() << "\n";
    return false;
  }
  return true;
}

// Closes the output and gives it its own name; false, with the output
// named, when it was not written completely (nothing is left behind then).
bool finish_output(Output& file, std::ostream& err) {
  if (!file.is_open())
    return true;
  file.stream.flush();
  const std::error_code error = file.file.close();
  std::error_code ec;
  if (error || !file.stream) {
    err << "Can't write " << file.name << ": "
        << (error ? error.message() : std::string("not written completely")) << "\n";
    if (!file.temp.empty())
      fs::remove(fs::u8path(file.temp), ec);
    return false;
  }
  if (file.temp.empty())
    return true;
  fs::rename(fs::u8path(file.temp), fs::u8path(file.name), ec);
  if (ec) {
    // Some platforms do not rename onto an existing file.
    std::error_code removed;
    if (fs::is_regular_file(fs::u8path(file.name), removed) &&
        fs::remove(fs::u8path(file.name), removed))
      fs::rename(fs::u8path(file.temp), fs::u8path(file.name), ec);
  }
  if (ec) {
    err << "Can't write " << file.name << ": " << ec.message() << "\n";
    fs::remove(fs::u8path(file.temp), ec);
    return false;
  }
  return true;
}

// Abandons outputs already opened when another cannot be.
void drop_outputs(Outputs& outputs) {
  for (Output* file : {&outputs.csv, &outputs.json, &outputs.html}) {
    if (file->is_open() && !file->temp.empty()) {
      file->file.close();
      std::error_code ec;
      fs::remove(fs::u8path(file->temp), ec);
    }
  }
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
// One file read, parsed and, for a report, assessed and written out as its
// outputs will take it: the part of the work that needs no other file.
struct Prepared {
  std::int64_t time = 0;  // the file's modification time
  ParseOutcome outcome;
  bool waits = false;  // assessed once the whole fleet is read
  std::vector<BlockerHit> blockers;
  std::string csv_row, json;
};

// What the outputs asked for need of each endpoint.
struct Needs {
  bool csv, json;
};

// Assesses the endpoint and writes it out as its outputs will take it.
void render(Prepared& out, const Needs& needs, const FleetDevices* fleet) {
  Endpoint& endpoint = *out.outcome.endpoint;
  Assessment assessment = assess(endpoint, fleet);
  endpoint.status = static_cast<int>(assessment.status);
  endpoint.action = std::move(assessment.action);
  out.blockers = blockers_of(endpoint, fleet);
  if (needs.csv) {
    out.csv_row.reserve(1024);
    append_csv_row(out.csv_row, endpoint);
  }
  if (needs.json)
    out.json = endpoint_json(endpoint);
}

// What the rest of the fleet shows changes only an AMD driver update: every
// other endpoint is assessed here, on the worker thread.
void prepare(const ReportFile& file,
             const InputFolder& folder,
             const Needs& needs,
             Prepared& out,
             std::string& buffer) {
  std::int64_t modified = 0;
  InputFile in;
  out.outcome = in.open(folder, file.path.c_str() + file.name_at, file.path)
                    ? read_newest_report(in, buffer, &modified)
                    : ParseOutcome{std::nullopt, kReasonCannotOpen};
  out.time = file.time != kTimeUnknown ? file.time : modified;
  if (!out.outcome.endpoint)
    return;
  Endpoint& endpoint = *out.outcome.endpoint;
  endpoint.endpoint = to_utf8(endpoint_name(file));
  endpoint.file = to_utf8(file.path);
  endpoint.report_time = iso8601_utc(out.time);
  out.waits = waits_for_fleet(endpoint);
  if (!out.waits)
    render(out, needs, nullptr);
}

// The folders whose files are read, held open (the first few hundred: each
// costs a file handle), by the index of their real path.
std::vector<InputFolder> open_folders(const FoundFiles& found) {
  constexpr std::size_t kMostFolders = 256;
  std::vector<bool> walked(found.roots.size());
  for (const ReportFile& file : found.files)
    if (file.relative_at < file.path.size())
      walked[file.root] = true;
  std::vector<InputFolder> folders;
  folders.reserve(std::min(found.roots.size(), kMostFolders));
  for (std::size_t root = 0; root < walked.size() && root < kMostFolders; ++root) {
    folders.emplace_back();
    if (walked[root])
      folders.back().open(found.roots[root]);
  }
  return folders;
}

// A worker that keeps nothing from item to item.
struct Idle {};

// Reads the files, the newest report of each endpoint counting and the
// others counted as older reports of it, and feeds every output as it goes.
class Run {
 public:
  Run(Outputs& outputs, Comparison* comparison, bool previous_column, FleetProfile profile)
      : outputs_(outputs),
        comparison_(comparison),
        previous_column_(previous_column),
        profile_(std::move(profile)) {}
  void read_all(const FoundFiles& found);
  const FleetTotals& totals() const { return totals_; }
  const FleetProfile& profile() const { return profile_; }
  void add_unreadable(Unreadable input) { totals_.add_unreadable(std::move(input)); }

 private:
  // True when the file held a report.
  bool read(const ReportFile& file, Prepared& prepared, bool newer_taken);
  void take(Prepared& prepared);

  Outputs& outputs_;
  Comparison* comparison_;
  bool previous_column_;  // the CSV's previous_status (--compare given)
  FleetTotals totals_;
  FleetProfile profile_;
  // An AMD driver update waits until the whole fleet has shown which models
  // the support list refuses by device ID; those endpoints come last.
  FleetDevices devices_;
  std::vector<Prepared> waiting_;
};

void Run::read_all(const FoundFiles& found) {
  for (const Unreadable& file : found.unreadable)
    totals_.add_unreadable({to_utf8(file.file), file.reason});
  const ReportFile* group = nullptr;  // the newest file of the endpoint being read
  bool taken = false;
  // An endpoint none of whose files held a report was not read this time;
  // it has not vanished.
  auto close_group = [&] {
    if (group && !taken && comparison_)
      comparison_->not_read(to_utf8(endpoint_name(*group)));
  };
  const Needs needs{outputs_.csv.is_open(), static_cast<bool>(outputs_.json_writer)};
  const std::vector<ReportFile>& files = found.files;
  const std::vector<InputFolder> folders = open_folders(found);
  const InputFolder by_path;
  ordered_work<Prepared, std::string>(
      files.size(), std::thread::hardware_concurrency(),
      [&](std::size_t i, Prepared& out, std::string& buffer) {
        const ReportFile& file = files[i];
        const bool in_folder = file.relative_at < file.path.size() && file.root < folders.size();
        prepare(file, in_folder ? folders[file.root] : by_path, needs, out, buffer);
      },
      [&](std::size_t i, Prepared& prepared) {
        const ReportFile& file = files[i];
        if (!group || group->endpoint_key != file.endpoint_key) {
          close_group();
          group = &file;
          taken = false;
        }
        taken = read(file, prepared, taken) || taken;
      });
  close_group();
  // The fleet is whole now: the waiting endpoints are assessed side by side
  // too, and taken in the order they were read.
  // Each is moved to the thread that renders it, which frees it later too.
  ordered_work<Prepared, Idle>(
      waiting_.size(), std::thread::hardware_concurrency(),
      [&](std::size_t i, Prepared& out, Idle&) {
        out = std::move(waiting_[i]);
        render(out, needs, &devices_);
      },
      [&](std::size_t, Prepared& prepared) { take(prepared); });
  waiting_.clear();
}

bool Run::read(const ReportFile& file, Prepared& prepared, bool newer_taken) {
  const ParseOutcome& outcome = prepared.outcome;
  if (!outcome.endpoint) {
    // Outputs are UTF-8 whatever the name was.
    totals_.add_unreadable({to_utf8(file.path), outcome.reason});
    return false;
  }
  for (int i = 0; i < outcome.endpoint->earlier_in_file; ++i)
    totals_.add_older_report();
  if (newer_taken) {
    totals_.add_older_report();
  } else {
    devices_.see(*outcome.endpoint);
    if (prepared.waits)
      waiting_.push_back(std::move(prepared));
    else
      take(prepared);
  }
  return true;
}

void Run::take(Prepared& prepared) {
  const Endpoint& endpoint = *prepared.outcome.endpoint;
  totals_.add(endpoint, prepared.blockers);
  profile_.add(endpoint.endpoint, endpoint.os, prepared.time);
  const std::string* previous = comparison_ ? comparison_->see(endpoint) : nullptr;
  if (outputs_.csv.is_open()) {
    std::ostream& csv = outputs_.csv.stream;
    csv.write(prepared.csv_row.data(), static_cast<std::streamsize>(prepared.csv_row.size()));
    if (previous_column_)
      csv << ',' << csv_cell(previous ? *previous : std::string());
    csv << "\r\n";
  }
  if (outputs_.json_writer)
    outputs_.json_writer->add_object(prepared.json);
  if (outputs_.html.is_open())
    outputs_.page.add(endpoint, prepared.blockers);
}

// kAllRead when every output is open, else the exit status.
int start_outputs(const SummaryOptions& options, Outputs& outputs, std::ostream& err) {
  if (!outputs_distinct(options, err))
    return kUsageError;
  if (!open_output(options.csv, outputs.csv, err) ||
      !open_output(options.json, outputs.json, err) ||
      !open_output(options.html, outputs.html, err)) {
    drop_outputs(outputs);
    return kNotWritten;
  }
  if (outputs.csv.is_open())
    write_csv_header(outputs.csv.stream, !options.compare.empty());
  if (outputs.json.is_open())
    outputs.json_writer = std::make_unique<JsonWriter>(outputs.json.stream);
  return kAllRead;
}

// Closing an output that replaces a large file waits on the file system
// (the old file's pages dropped, the new one's written back): an output
// complete before the others is closed on a thread of its own meanwhile.
// What went wrong is told when the run's other messages have been.
class Closing {
 public:
  Closing() = default;
  // Closes `file` on another thread.
  void start(Output& file) { start(file, nullptr); }
  // The same, and lets go of `release` there too (a large list takes a while).
  template <typename Release>
  void start(Output& file, Release release) {
    done_ = std::async(std::launch::async, [this, &file, owned = std::move(release)]() mutable {
      { [[maybe_unused]] const Release gone = std::move(owned); }  // let go of here
      std::ostringstream err;
      const bool written = finish_output(file, err);
      error_ = err.str();
      return written;
    });
  }
  // Whether the output was written; its message, if any, goes to `err`.
  bool finish(std::ostream& err) {
    if (!done_.valid())
      return true;
    const bool written = done_.get();
    err << error_;
    return written;
  }

 private:
  std::future<bool> done_;
  std::string error_;
};

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
  Walk walk(found);
  for (const std::string& name : paths) {
    const fs::path path = fs::u8path(name);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status) || fs::is_regular_file(status))
      walk.named(path, fs::is_directory(status));
    else if (fs::exists(status))
      found.unreadable.push_back({name, not_regular(fs::directory_entry(path))});
    else if (std::error_code link_ec; fs::is_symlink(fs::symlink_status(path, link_ec)))
      found.unreadable.push_back({name, "link leads nowhere"});
    else if (ec && ec != std::errc::no_such_file_or_directory)
      found.unreadable.push_back({name, "cannot be read: " + ec.message()});
    else
      found.unreadable.push_back({name, "not found"});
  }
  // An input reached two ways (named, and in a folder named) is listed once.
  std::unordered_set<std::string> seen;
  std::vector<Unreadable> unreadable;
  for (Unreadable& input : found.unreadable)
    if (seen.insert(real_key(fs::u8path(input.file))).second)
      unreadable.push_back(std::move(input));
  found.unreadable.swap(unreadable);
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

namespace {

// `size` bytes of the file from `at` (fewer at its end); false on a read error.
bool read_part(InputFile& in, std::uint64_t at, std::size_t size, std::string& buffer) {
  buffer.resize(size);
  const std::int64_t got = in.read_at(at, &buffer[0], size);
  buffer.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  return got >= 0;
}

// A banner and its version line, and the bytes before it that tell a line
// start: what a piece of a long file must share with the next.
constexpr std::size_t kSeam = 128;

// The runs that begin in the file's first `end` bytes, read a piece at a
// time: only the banners are looked for.
int runs_before(InputFile& in, std::uint64_t end, std::string& piece) {
  int count = 0;
  for (std::uint64_t at = 0; at < end; at += kTailBytes) {
    const std::uint64_t from = at == 0 ? 0 : at - 2;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(end - at, kTailBytes) + (at - from));
    if (!read_part(in, from, want + kSeam, piece))
      return count;
    count += static_cast<int>(count_runs(piece, at - from, want));
  }
  return count;
}

}  // namespace

ParseOutcome read_newest_report(const std::string& path,
                                std::string& buffer,
                                std::int64_t* modified) {
  InputFile in;
  if (!in.open(path))
    return {std::nullopt, kReasonCannotOpen};
  return read_newest_report(in, buffer, modified);
}

ParseOutcome read_newest_report(InputFile& in, std::string& buffer, std::int64_t* modified) {
  if (modified)
    *modified = in.modified();
  // The usual report: one read into a buffer kept from file to file.
  if (buffer.size() != kTailBytes + 1)
    buffer.resize(kTailBytes + 1);
  const std::int64_t got =
      in.read_at(0, &buffer[0], static_cast<std::size_t>(std::min<std::uint64_t>(
                                    in.size(), kTailBytes + 1)));
  if (got < 0)
    return {std::nullopt, kReasonCannotRead};
  if (static_cast<std::uint64_t>(got) <= kTailBytes)
    return parse_report(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
  const std::uint64_t size = in.size();
  // A long file that holds no report from its first line on is none; its
  // head says what it is. A UTF-16 big-endian one is read whole (rare).
  if (!read_part(in, 0, 64, buffer))
    return {std::nullopt, kReasonCannotRead};
  if (buffer.compare(0, 2, "\xFE\xFF") == 0) {
    if (!read_part(in, 0, static_cast<std::size_t>(size), buffer))
      return {std::nullopt, kReasonCannotRead};
    return parse_report(buffer);
  }
  ParseOutcome head = parse_report(buffer);
  if (head.reason != kReasonTruncated)
    return head;
  // A long file (a daily task appending with ">>"): its newest complete
  // report is near its end. Read back from there, more at a time, until
  // one shows; the runs before it are counted, not parsed.
  for (std::uint64_t window = kTailBytes;; window *= 2) {
    const std::uint64_t from = window >= size ? 0 : size - window;
    if (!read_part(in, from, static_cast<std::size_t>(size - from), buffer))
      return {std::nullopt, kReasonCannotRead};
    if (from == 0)
      return parse_report(buffer);
    const std::vector<RunStart> runs = find_runs(buffer);
    if (runs.empty())
      continue;
    const std::size_t first = runs[0].at;
    ParseOutcome outcome = parse_newest(std::string_view(buffer).substr(first), false, 0);
    if (!outcome.endpoint)
      continue;
    std::string piece;
    outcome.endpoint->earlier_in_file += runs_before(in, from + first, piece);
    return outcome;
  }
}

namespace {

// The earlier summary, or nothing with its reason among the inputs not read:
// the rest of the run goes on without the comparison.
std::unique_ptr<Comparison> load_comparison(const std::string& file, Unreadable& failure) {
  if (file.empty())
    return nullptr;
  auto comparison = std::make_unique<Comparison>();
  std::string error;
  if (comparison->load(file, error))
    return comparison;
  failure = {file, "previous summary not compared: " + error};
  return nullptr;
}

// The worst of what happened, as one exit status.
int exit_status(bool written, const FleetTotals& totals) {
  if (!written)
    return kNotWritten;
  if (totals.endpoints() == 0)
    return kNothingFound;
  return totals.unreadable().empty() ? kAllRead : kSomeNotRead;
}

}  // namespace

int run_summary(const SummaryOptions& options, std::ostream& out, std::ostream& err) {
  Outputs outputs;
  if (const int status = start_outputs(options, outputs, err))
    return status;
  Unreadable compare_failure;
  std::unique_ptr<Comparison> comparison = load_comparison(options.compare, compare_failure);
  FoundFiles found = find_report_files(options.paths, {options.csv, options.json, options.html});
  const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
  outputs.page.set_csv(options.csv);
  Run run(outputs, comparison.get(), !options.compare.empty(),
          FleetProfile(now, options.stale_days, kHtmlTableLimit));
  if (!compare_failure.file.empty())
    run.add_unreadable(std::move(compare_failure));
  run.read_all(found);
  Closing csv, json;
  csv.start(outputs.csv, std::move(found));  // the CSV is whole once every file is read
  const FleetTotals& totals = run.totals();
  if (comparison)
    comparison->finish();
  if (outputs.json_writer) {
    outputs.json_writer->finish(totals, comparison.get());
    json.start(outputs.json);
  }
  if (outputs.html.is_open())
    outputs.page.write(outputs.html.stream, totals, comparison.get(), &run.profile());

  write_text_summary(out, totals, comparison.get(), &run.profile());
  for (const Unreadable& file : totals.unreadable())
    err << "not read: " << file.file << ": " << file.reason << "\n";
  if (totals.endpoints() == 0)
    err << "No report found in the paths given\n";
  // Read all the same: a newer checker writes the lines this one knows.
  for (const auto& [version, count] : totals.checker_versions())
    if (newer_checker(version))
      err << "note: " << count << " report" << (count == 1 ? "" : "s") << " of checker version "
          << version << ", newer than " << kKnownCheckerVersion
          << ": read with what this summary knows of its lines\n";
  bool written = csv.finish(err);
  written = json.finish(err) && written;
  written = finish_output(outputs.html, err) && written;
  return exit_status(written, totals);
}

}  // namespace cc::summary
