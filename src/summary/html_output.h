// The fleet as one self-contained HTML page: inline style and SVG charts,
// no script, nothing fetched; every text from a report is escaped.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "summary/compare.h"
#include "summary/endpoint.h"
#include "summary/fleet.h"
#include "summary/fleet_profile.h"

namespace cc::summary {

// Past this many endpoints the page leaves the full table (and the list of
// endpoints with Error lines) to the CSV, so that it stays quick to open.
inline constexpr int kHtmlTableLimit = 5000;

// Text made safe inside an element or a quoted attribute value.
std::string html_escape(const std::string& text);
void append_html_escaped(std::string& out, std::string_view text);

class HtmlPage {
 public:
  // Keeps what the page shows of the endpoint, up to the table limit.
  void add(const Endpoint& endpoint);
  // The same with the endpoint's blockers already worked out.
  void add(const Endpoint& endpoint, const std::vector<BlockerHit>& blockers);
  void write(std::ostream& out,
             const FleetTotals& totals,
             const Comparison* comparison = nullptr,
             const FleetProfile* profile = nullptr) const;
  // The CSV written beside the page, which holds what a large fleet's page
  // leaves out; empty when none was asked for.
  void set_csv(std::string name) { csv_ = std::move(name); }

 private:
  void write_error_rows(std::ostream& out) const;
  void write_table(std::ostream& out) const;
  std::string full_list() const;
  void write_blockers(std::ostream& out, const std::vector<Blocker>& blockers) const;
  void write_actions(std::ostream& out, const FleetTotals& totals) const;

  struct ErrorRow {
    std::string endpoint;
    std::vector<std::string> errors;
  };
  std::vector<std::vector<std::string>> rows_;
  // Past the table limit the page lists the endpoints that need action.
  std::vector<std::vector<std::string>> action_rows_;
  std::string csv_;
  std::vector<ErrorRow> error_rows_;
  // Blocker -> the endpoints it holds back, each list up to the table limit.
  std::map<std::string, std::vector<std::string>> held_back_;
  // Action -> the endpoints it is for, each list up to the table limit.
  std::map<std::string, std::vector<std::string>> acting_;
  int endpoints_ = 0;
  int with_errors_ = 0;
};

}  // namespace cc::summary
