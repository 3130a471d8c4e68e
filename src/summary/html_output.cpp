#include "summary/html_output.h"

#include <algorithm>

#include "summary/csv_output.h"
#include "summary/endpoint_status.h"
#include "summary/summary_run.h"
#include "summary/text_summary.h"

namespace cc::summary {
namespace {

const char kStyle[] =
    "body{font:14px/1.4 system-ui,sans-serif;margin:24px;color:#1b1b1b}"
    "h1{font-size:22px}h2{font-size:17px;margin-top:28px}"
    "table{border-collapse:collapse;margin:8px 0}"
    "th,td{border:1px solid #c8c8c8;padding:3px 8px;text-align:left;vertical-align:top}"
    "th{background:#eef1f5}td.n{text-align:right}"
    ".charts{display:flex;flex-wrap:wrap;gap:24px}"
    ".chart text{font:12px system-ui,sans-serif}.note{color:#555}"
    "#headline{font-size:17px;font-weight:600}summary{cursor:pointer}"
    "ul.held{margin:4px 0;padding-left:18px;max-height:320px;overflow:auto}";

constexpr int kBarHeight = 22;
constexpr int kLabelWidth = 470;
// Longer labels are cut with an ellipsis; the bar's title has them whole.
constexpr std::size_t kLabelChars = 72;
constexpr int kBarWidth = 260;

std::string shortened(const std::string& label) {
  if (label.size() <= kLabelChars)
    return label;
  std::size_t cut = kLabelChars - 1;
  while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80)
    --cut;  // not inside a UTF-8 sequence
  return label.substr(0, cut) + "\xE2\x80\xA6";
}

// One horizontal bar per entry, the count written beside it.
void write_chart(std::ostream& out,
                 const std::string& id,
                 const std::string& title,
                 const std::vector<std::pair<std::string, int>>& entries) {
  int top = 1;
  for (const auto& entry : entries)
    top = std::max(top, entry.second);
  const int height = static_cast<int>(entries.size()) * kBarHeight + 8;
  out << "<figure><figcaption>" << html_escape(title) << "</figcaption>\n"
      << "<svg class=\"chart\" id=\"" << id << "\" xmlns=\"http://www.w3.org/2000/svg\" width=\""
      << kLabelWidth + kBarWidth + 70 << "\" height=\"" << height << "\">\n";
  int y = 4;
  for (const auto& [label, count] : entries) {
    const int width = std::max(1, count * kBarWidth / top);
    out << "<g class=\"bar\" data-label=\"" << html_escape(label) << "\" data-count=\"" << count
        << "\"><title>" << html_escape(label) << ": " << count << "</title>"
        << "<text x=\"0\" y=\"" << y + 15 << "\">" << html_escape(shortened(label)) << "</text>"
        << "<rect x=\"" << kLabelWidth << "\" y=\"" << y << "\" width=\"" << width << "\" height=\""
        << kBarHeight - 6 << "\" fill=\"#3b6ea8\"/>"
        << "<text class=\"count\" x=\"" << kLabelWidth + width + 6 << "\" y=\"" << y + 15 << "\">"
        << count << "</text></g>\n";
    y += kBarHeight;
  }
  out << "</svg></figure>\n";
}

template <typename Map>
std::string seen_list(const Map& seen) {
  std::string text;
  for (const auto& [name, count] : seen)
    text += (text.empty() ? "" : "<br>") + html_escape(name) + " (" + std::to_string(count) + ")";
  return text;
}

// The endpoints a blocker holds back, folded away until opened (no script).
void write_held_back(std::ostream& out,
                     const std::vector<std::string>& names,
                     int endpoints,
                     const std::string& rest = "the CSV (column status)") {
  out << "<details><summary>" << endpoints << " endpoint" << (endpoints == 1 ? "" : "s")
      << "</summary><ul class=\"held\">";
  for (const std::string& name : names)
    out << "<li>" << html_escape(name) << "</li>";
  if (static_cast<int>(names.size()) < endpoints)
    out << "<li class=\"note\">and " << endpoints - static_cast<int>(names.size())
        << " more: see " << rest << "</li>";
  out << "</ul></details>";
}

// Each from -> to with the endpoints that moved so, folded away by name.
void write_moves(std::ostream& out, const Comparison& comparison) {
  std::map<std::pair<std::string, std::string>, std::vector<std::string>> names;
  for (const StatusMove& move : comparison.moved()) {
    std::vector<std::string>& list = names[{move.from, move.to}];
    if (list.size() < static_cast<std::size_t>(kHtmlTableLimit))
      list.push_back(move.endpoint);
  }
  out << "<table id=\"moves\"><tr><th>From</th><th>To</th><th>Endpoints</th></tr>\n";
  for (const auto& [move, count] : comparison.transitions()) {
    out << "<tr><td>" << html_escape(move.first.empty() ? "(no status)" : move.first)
        << "</td><td>" << html_escape(move.second) << "</td><td class=\"held-back\">";
    write_held_back(out, names[move], count, "the JSON (compare, moved)");
    out << "</td></tr>\n";
  }
  out << "</table>\n";
}

void write_comparison(std::ostream& out, const Comparison& comparison) {
  std::string since = since_text(comparison);
  since[0] = 'S';
  out << "<h2>Since the previous summary</h2>\n<p id=\"compare\">" << html_escape(since)
      << ": " << comparison.moved().size() << " moved, " << comparison.added().size() << " new, "
      << comparison.vanished().size() << " vanished, " << comparison.unread().size()
      << " not read this time.</p>\n";
  if (!comparison.moved().empty())
    write_moves(out, comparison);
  for (const auto& [title, names] :
       {std::make_pair("New endpoints", &comparison.added()),
        std::make_pair("Vanished endpoints", &comparison.vanished()),
        std::make_pair("Not read this time", &comparison.unread())}) {
    std::vector<std::string> shown(
        names->begin(), names->begin() + std::min<std::size_t>(names->size(), kHtmlTableLimit));
    out << "<p>" << title << ": ";
    write_held_back(out, shown, static_cast<int>(names->size()), "the JSON (compare)");
    out << "</p>\n";
  }
}

void write_freshness(std::ostream& out, const FleetProfile& profile) {
  out << "<p id=\"freshness\">Reports from " << iso8601_utc(profile.oldest()) << " to "
      << iso8601_utc(profile.newest()) << " (each endpoint's in column report_time). Older than "
      << profile.stale_days() << " days: ";
  write_held_back(out, profile.stale_names(), profile.stale(), "the CSV (column report_time)");
  out << "</p>\n";
}

void write_unreadable(std::ostream& out, const std::vector<Unreadable>& unreadable) {
  out << "<h2>Files not read (" << unreadable.size() << ")</h2>\n";
  if (unreadable.empty())
    return;
  out << "<table id=\"unreadable\"><tr><th>File</th><th>Reason</th></tr>\n";
  for (const Unreadable& file : unreadable)
    out << "<tr><td>" << html_escape(file.file) << "</td><td>" << html_escape(file.reason)
        << "</td></tr>\n";
  out << "</table>\n";
}

}  // namespace

void append_html_escaped(std::string& out, std::string_view text) {
  for (std::size_t plain = 0;;) {
    const std::size_t at = text.find_first_of("&<>\"'", plain);
    out.append(text.data() + plain, (at == std::string_view::npos ? text.size() : at) - plain);
    if (at == std::string_view::npos)
      return;
    switch (text[at]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += "&#39;";
    }
    plain = at + 1;
  }
}

std::string html_escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  append_html_escaped(out, text);
  return out;
}

void HtmlPage::add(const Endpoint& endpoint) {
  add(endpoint, blockers_of(endpoint));
}

// The rows are made here, for the endpoints the page keeps: past the limit
// most endpoints are only counted.
void HtmlPage::add(const Endpoint& endpoint, const std::vector<BlockerHit>& blockers) {
  ++endpoints_;
  for (const BlockerHit& hit : blockers) {
    std::vector<std::string>& names = held_back_[hit.reason];
    if (names.size() < static_cast<std::size_t>(kHtmlTableLimit))
      names.push_back(endpoint.endpoint);
  }
  const bool action_row = !in_hardware(status_of(endpoint)) &&
                          action_rows_.size() < static_cast<std::size_t>(kHtmlTableLimit);
  const bool row = endpoints_ <= kHtmlTableLimit;
  if (action_row || row) {
    std::vector<std::string> cells = endpoint_cells(endpoint);
    if (action_row)
      action_rows_.push_back(cells);
    if (row)
      rows_.push_back(std::move(cells));
  }
  if (!endpoint.action.empty()) {
    std::vector<std::string>& names = acting_[endpoint.action];
    if (names.size() < static_cast<std::size_t>(kHtmlTableLimit))
      names.push_back(endpoint.endpoint);
  }
  if (!endpoint.errors.empty() && ++with_errors_ <= kHtmlTableLimit)
    error_rows_.push_back({endpoint.endpoint, endpoint.errors});
}

void HtmlPage::write_blockers(std::ostream& out, const std::vector<Blocker>& blockers) const {
  out << "<h2>What blocks hardware encoding</h2>\n";
  if (endpoints_ == 0) {
    out << "<p id=\"nothing-found\">" << kNothingFoundText << "</p>\n";
    return;
  }
  if (blockers.empty()) {
    out << "<p>Nothing: every endpoint encodes in hardware.</p>\n";
    return;
  }
  out << "<table id=\"blockers\"><tr><th>Reason</th><th>Endpoints held back</th><th>Adapters "
         "(endpoints)</th><th>Driver versions seen (endpoints)</th></tr>\n";
  static const std::vector<std::string> none;
  for (const Blocker& b : blockers) {
    const auto names = held_back_.find(b.reason);
    out << "<tr><td>" << html_escape(b.reason) << "</td><td class=\"held-back\">";
    write_held_back(out, names == held_back_.end() ? none : names->second, b.endpoints,
                    full_list() + " (column status)");
    out << "</td><td>" << seen_list(b.adapters) << "</td><td>" << seen_list(b.drivers)
        << "</td></tr>\n";
  }
  out << "</table>\n";
}

// What to do, first: each distinct action, its endpoints folded away.
void HtmlPage::write_actions(std::ostream& out, const FleetTotals& totals) const {
  out << "<h2>What to do first</h2>\n";
  if (endpoints_ == 0) {
    out << "<p>" << kNothingFoundText << "</p>\n";
    return;
  }
  const std::vector<std::pair<std::string, int>> actions = totals.actions();
  if (actions.empty()) {
    out << "<p>Nothing: every endpoint encodes on its GPU.</p>\n";
    return;
  }
  out << "<table id=\"actions\"><tr><th>Action</th><th>Endpoints</th></tr>\n";
  static const std::vector<std::string> none;
  for (const auto& [action, count] : actions) {
    const auto names = acting_.find(action);
    out << "<tr><td>" << html_escape(action) << "</td><td class=\"held-back\">";
    write_held_back(out, names == acting_.end() ? none : names->second, count);
    out << "</td></tr>\n";
  }
  out << "</table>\n";
}

void HtmlPage::write_error_rows(std::ostream& out) const {
  out << "<h2>Endpoints with Error lines (" << with_errors_ << ")</h2>\n";
  if (with_errors_ > kHtmlTableLimit)
    out << "<p class=\"note\">The first " << kHtmlTableLimit << " are listed; " << full_list()
        << " counts them for every endpoint (column errors).</p>\n";
  if (error_rows_.empty())
    return;
  out << "<table id=\"errors\"><tr><th>Endpoint</th><th>Error lines</th></tr>\n";
  for (const ErrorRow& row : error_rows_) {
    out << "<tr><td>" << html_escape(row.endpoint) << "</td><td>";
    for (std::size_t i = 0; i < row.errors.size(); ++i)
      out << (i ? "<br>" : "") << html_escape(row.errors[i]);
    out << "</td></tr>\n";
  }
  out << "</table>\n";
}

// Where every endpoint is listed: the CSV of this run, or how to get one.
std::string HtmlPage::full_list() const {
  return csv_.empty() ? "a CSV (not written this time: run again with --csv FILE)"
                      : "the CSV " + html_escape(csv_);
}

// Past the limit the page stays quick to open: it lists the endpoints that
// need action and leaves the rest to the CSV.
void HtmlPage::write_table(std::ostream& out) const {
  out << "<h2>Endpoints (" << endpoints_ << ")</h2>\n";
  const bool large = endpoints_ > kHtmlTableLimit;
  if (large)
    out << "<p class=\"note\" id=\"table-in-csv\">" << endpoints_ << " endpoints are more than "
        << kHtmlTableLimit << ": listed below are " << action_rows_.size()
        << " that do not encode in hardware" << (action_rows_.size() < static_cast<std::size_t>(kHtmlTableLimit) ? "" : " (the first ones)")
        << "; every endpoint is in " << full_list() << ".</p>\n";
  out << "<table id=\"endpoints\"><tr>";
  std::string header = kCsvHeader;
  for (std::size_t at = 0; at != std::string::npos;) {
    const std::size_t comma = header.find(',', at);
    out << "<th>" << header.substr(at, comma == std::string::npos ? comma : comma - at) << "</th>";
    at = comma == std::string::npos ? comma : comma + 1;
  }
  out << "</tr>\n";
  std::string line;  // one row, kept from row to row
  for (const std::vector<std::string>& row : large ? action_rows_ : rows_) {
    line = "<tr>";
    for (const std::string& cell : row) {
      line += "<td>";
      append_html_escaped(line, cell);
      line += "</td>";
    }
    line += "</tr>\n";
    out << line;
  }
  out << "</table>\n";
}

void HtmlPage::write(std::ostream& out,
                     const FleetTotals& totals,
                     const Comparison* comparison,
                     const FleetProfile* profile) const {
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
      << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "style-src 'unsafe-inline'\">\n"
      << "<title>H.264 capability of " << totals.endpoints() << " endpoints</title>\n"
      << "<style>" << kStyle << "</style></head><body>\n"
      << "<h1>H.264 capability: " << totals.endpoints() << " endpoints</h1>\n<p id=\"headline\">"
      << html_escape(totals.endpoints() ? totals.headline() : kNothingFoundText) << "</p>\n";
  write_actions(out, totals);
  out << "<p class=\"note\">Older reports of these endpoints, not counted: "
      << totals.older_reports()
      << "</p>\n<p class=\"note\" id=\"versions\">Checker versions (reports): ";
  const std::vector<std::pair<std::string, int>> versions = checker_version_counts(totals);
  for (std::size_t i = 0; i < versions.size(); ++i)
    out << (i ? ", " : "") << html_escape(versions[i].first) << " (" << versions[i].second << ")";
  out << "</p>\n<div class=\"charts\">\n";
  write_chart(out, "chart-status", "Status (endpoints)", status_counts(totals));
  write_chart(out, "chart-encoding", "H.264 encoding", totals.encoding());
  write_chart(out, "chart-decoding", "H.264 decoding", totals.decoding());
  std::vector<std::pair<std::string, int>> blocker_counts;
  for (const Blocker& blocker : totals.blockers())
    blocker_counts.emplace_back(blocker.reason, blocker.endpoints);
  write_chart(out, "chart-blockers", "Blockers of hardware encoding (endpoints)", blocker_counts);
  if (profile)
    write_chart(out, "chart-systems", "Operating systems (endpoints)", profile->systems());
  out << "</div>\n";
  if (profile)
    write_freshness(out, *profile);
  write_blockers(out, totals.blockers());
  if (comparison)
    write_comparison(out, *comparison);
  write_error_rows(out);
  write_table(out);
  write_unreadable(out, totals.unreadable());
  out << "</body></html>\n";
}

}  // namespace cc::summary
