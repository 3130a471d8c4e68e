// The endpoint table as CSV (RFC 4180), one row per endpoint.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "summary/endpoint.h"

namespace cc::summary {

// Later columns are added after the earlier ones, which keep their places.
inline constexpr char kCsvHeader[] =
    "endpoint,os,encoding,decoding,adapters,drivers,encoders,cameras,errors,status,action,"
    "report_time,notes,checker_version";
// Written before the header, so that Excel reads the file as UTF-8.
inline constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// One cell: a leading =, +, -, @, tab or carriage return gets a "'" in front
// so that a spreadsheet shows it instead of running it as a formula; then
// quoted when it holds a comma, quote, CR or LF.
std::string csv_cell(const std::string& text);
void append_csv_cell(std::string& out, std::string_view text);

// The row's texts in header order, before quoting (the HTML table shows them too).
std::vector<std::string> endpoint_cells(const Endpoint& endpoint);

// The column after today's last, with --compare: each endpoint's status in
// the earlier summary (empty for a new one).
inline constexpr char kPreviousStatusColumn[] = "previous_status";

void write_csv_header(std::ostream& out, bool previous_status = false);
void write_csv_row(std::ostream& out, const Endpoint& endpoint);
// The endpoint's cells, quoted and joined, without the line end.
void append_csv_row(std::string& row, const Endpoint& endpoint);

// Several items in one cell are joined by this.
inline constexpr char kItemSeparator[] = " | ";

}  // namespace cc::summary
