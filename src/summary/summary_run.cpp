#include "summary/summary_run.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <string_view>
#include <utility>

#include "summary/csv_output.h"
#include "summary/fleet.h"
#include "summary/html_output.h"
#include "summary/json_output.h"
#include "summary/report_parser.h"
#include "summary/text_summary.h"

namespace cc::summary {
namespace fs = std::filesystem;
namespace {

bool is_txt(const fs::path& path) {
  std::string ext = path.extension().u8string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return ext == ".txt";
}

std::size_t name_at(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string_view stem_of(const std::string& path) {
  const std::string_view name = std::string_view(path).substr(name_at(path));
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

void add_folder(const fs::path& root, std::vector<ReportFile>& found) {
  const std::string named = root.u8string();
  const bool ends_in_separator = !named.empty() && (named.back() == '/' || named.back() == '\\');
  const std::size_t relative_at = named.size() + (ends_in_separator ? 0 : 1);
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_regular_file(type_ec) && is_txt(it->path()))
      found.push_back({it->path().u8string(), relative_at, false});
  }
}

// Sorted by path; files whose names clash marked as such.
void mark_clashes(std::vector<ReportFile>& files) {
  std::sort(files.begin(), files.end(),
            [](const ReportFile& a, const ReportFile& b) { return a.path < b.path; });
  std::vector<std::pair<std::string_view, std::size_t>> stems;
  stems.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i)
    stems.emplace_back(stem_of(files[i].path), i);
  std::sort(stems.begin(), stems.end());
  for (std::size_t i = 0; i < stems.size(); ++i) {
    const bool clash = (i > 0 && stems[i - 1].first == stems[i].first) ||
                       (i + 1 < stems.size() && stems[i + 1].first == stems[i].first);
    files[stems[i].second].name_clash = clash;
  }
}

// Up to one byte past the limit, so that a larger file shows as such.
bool read_capped(const fs::path& path, std::string& buffer) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  buffer.resize(kMaxReportBytes + 1);
  in.read(&buffer[0], static_cast<std::streamsize>(buffer.size()));
  buffer.resize(static_cast<std::size_t>(in.gcount()));
  return !in.bad();
}

struct Outputs {
  std::ofstream csv, json, html;
  std::unique_ptr<JsonWriter> json_writer;
  HtmlPage page;
};

bool open_output(const std::string& name, std::ofstream& file, std::ostream& err) {
  if (name.empty())
    return true;
  file.open(fs::u8path(name), std::ios::binary | std::ios::trunc);
  if (!file)
    err << "Can't create " << name << "\n";
  return static_cast<bool>(file);
}

}  // namespace

std::string endpoint_name(const ReportFile& file) {
  if (!file.name_clash)
    return std::string(stem_of(file.path));
  std::string relative = file.path.substr(std::min(file.relative_at, file.path.size()));
  std::replace(relative.begin(), relative.end(), '\\', '/');
  return relative;
}

FoundFiles find_report_files(const std::vector<std::string>& paths) {
  FoundFiles result;
  for (const std::string& name : paths) {
    const fs::path path = fs::u8path(name);
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      add_folder(path, result.files);
    } else if (fs::exists(path, ec)) {
      const std::string text = path.u8string();
      result.files.push_back({text, name_at(text), false});
    } else {
      result.missing.push_back(name);
    }
  }
  mark_clashes(result.files);
  return result;
}

int run_summary(const SummaryOptions& options, std::ostream& out, std::ostream& err) {
  Outputs outputs;
  if (!open_output(options.csv, outputs.csv, err) ||
      !open_output(options.json, outputs.json, err) ||
      !open_output(options.html, outputs.html, err))
    return kUsageError;
  if (outputs.csv.is_open())
    write_csv_header(outputs.csv);
  if (outputs.json.is_open())
    outputs.json_writer = std::make_unique<JsonWriter>(outputs.json);

  FleetTotals totals;
  const FoundFiles found = find_report_files(options.paths);
  for (const std::string& missing : found.missing)
    totals.add_unreadable({missing, "not found"});
  std::string buffer;
  for (const ReportFile& file : found.files) {
    const std::string& shown = file.path;
    if (!read_capped(fs::u8path(file.path), buffer)) {
      totals.add_unreadable({shown, "cannot be opened"});
      continue;
    }
    ParseOutcome outcome = parse_report(buffer);
    if (!outcome.endpoint) {
      totals.add_unreadable({shown, outcome.reason});
      continue;
    }
    Endpoint& endpoint = *outcome.endpoint;
    endpoint.endpoint = endpoint_name(file);
    endpoint.file = shown;
    totals.add(endpoint);
    if (outputs.csv.is_open())
      write_csv_row(outputs.csv, endpoint);
    if (outputs.json_writer)
      outputs.json_writer->add(endpoint);
    if (outputs.html.is_open())
      outputs.page.add(endpoint);
  }
  if (outputs.json_writer)
    outputs.json_writer->finish(totals.unreadable());
  if (outputs.html.is_open())
    outputs.page.write(outputs.html, totals);

  write_text_summary(out, totals);
  for (const Unreadable& file : totals.unreadable())
    err << "not read: " << file.file << ": " << file.reason << "\n";
  bool written = true;
  for (std::ofstream* file : {&outputs.csv, &outputs.json, &outputs.html}) {
    if (file->is_open()) {
      file->close();
      written = written && !file->fail();
    }
  }
  if (!written)
    err << "An output file could not be written completely\n";
  return !written || !totals.unreadable().empty() ? kSomeNotRead : kAllRead;
}

}  // namespace cc::summary
