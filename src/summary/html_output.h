// The fleet as one self-contained HTML page: inline style and SVG charts,
// no script, nothing fetched; every text from a report is escaped.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "summary/compare.h"
#include "summary/endpoint.h"
#include "summary/fleet.h"

namespace cc::summary {

// Past this many endpoints the page leaves the full table (and the list of
// endpoints with Error lines) to the CSV, so that it stays quick to open.
inline constexpr int kHtmlTableLimit = 5000;

std::string html_escape(const std::string& text);

class HtmlPage {
 public:
  // Keeps what the page shows of the endpoint, up to the table limit.
  void add(const Endpoint& endpoint);
  // The same with the endpoint's blockers and cells already worked out.
  void add(const Endpoint& endpoint,
           const std::vector<BlockerHit>& blockers,
           std::vector<std::string> cells);
  void write(std::ostream& out,
             const FleetTotals& totals,
             const Comparison* comparison = nullptr) const;

 private:
  void write_error_rows(std::ostream& out) const;
  void write_table(std::ostream& out) const;
  void write_blockers(std::ostream& out, const std::vector<Blocker>& blockers) const;
  void write_actions(std::ostream& out, const FleetTotals& totals) const;

  struct ErrorRow {
    std::string endpoint;
    std::vector<std::string> errors;
  };
  std::vector<std::vector<std::string>> rows_;
  std::vector<ErrorRow> error_rows_;
  // Blocker -> the endpoints it holds back, each list up to the table limit.
  std::map<std::string, std::vector<std::string>> held_back_;
  // Action -> the endpoints it is for, each list up to the table limit.
  std::map<std::string, std::vector<std::string>> acting_;
  int endpoints_ = 0;
  int with_errors_ = 0;
};

}  // namespace cc::summary
