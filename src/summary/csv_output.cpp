#include "summary/csv_output.h"

#include <cstring>
#include <vector>

#include "summary/endpoint_status.h"
#include "summary/fleet.h"

namespace cc::summary {
namespace {

void encoder_text(std::string& out, const Encoder& encoder) {
  out += encoder.name;
  if (encoder.supported)
    out += " (supported)";
  else if (encoder.reason.empty())
    out += " (not supported)";
  else
    out.append(" (not supported: ").append(encoder.reason).append(")");
}

void camera_text(std::string& out, const Camera& camera) {
  out += camera.name;
  out += camera.uvc15 ? " (UVC 1.5)"
         : camera.uvc11 ? " (UVC 1.1)"
         : camera.h264  ? " (H.264)"
                        : " (no H.264)";
}

}  // namespace

std::string csv_cell(const std::string& text) {
  std::string cell;
  append_csv_cell(cell, text);
  return cell;
}

void append_csv_cell(std::string& out, std::string_view text) {
  const bool formula = !text.empty() && std::strchr("=+-@\t\r", text[0]) != nullptr;
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos;
  if (quote)
    out += '"';
  if (formula)
    out += '\'';
  for (std::size_t plain = 0, at = 0;; plain = at) {
    at = quote ? text.find('"', plain) : std::string::npos;
    if (at == std::string::npos) {
      out.append(text, plain, std::string::npos);
      break;
    }
    out.append(text, plain, ++at - plain);  // the quote, doubled below
    out += '"';
  }
  if (quote)
    out += '"';
}

void write_csv_header(std::ostream& out, bool previous_status) {
  out << kUtf8Bom << kCsvHeader;
  if (previous_status)
    out << ',' << kPreviousStatusColumn;
  out << "\r\n";
}

// Each cell's text in header order, handed to `cell` one at a time; a
// joined cell is built in `scratch`, kept from call to call.
template <typename Cell>
void each_cell(const Endpoint& e, std::string& scratch, Cell cell) {
  auto join = [&scratch](const auto& items, auto text) -> const std::string& {
    scratch.clear();
    for (const auto& item : items) {
      if (&item != &items.front())  // a blank item keeps its place
        scratch += kItemSeparator;
      text(scratch, item);
    }
    return scratch;
  };
  cell(e.endpoint);
  cell(e.os);
  cell(verdict_name(e.encoding));
  cell(verdict_name(e.decoding));
  cell(join(e.adapters, [](std::string& out, const Adapter& a) { out += a.name; }));
  cell(join(e.adapters, [](std::string& out, const Adapter& a) { out += a.driver; }));
  cell(join(e.encoders, encoder_text));
  cell(join(e.cameras, camera_text));
  cell(std::to_string(e.errors.size()));
  cell(e.status != kNotAssessed ? status_name(static_cast<Status>(e.status)) : "");
  cell(e.action);
  cell(e.report_time);
  cell(join(e.infos, [](std::string& out, const std::string& line) { out += line; }));
  cell(e.checker_version);
}

std::vector<std::string> endpoint_cells(const Endpoint& e) {
  std::vector<std::string> cells;
  cells.reserve(14);
  std::string scratch;
  each_cell(e, scratch, [&cells](std::string_view text) { cells.emplace_back(text); });
  return cells;
}

void append_csv_row(std::string& row, const Endpoint& e) {
  static thread_local std::string scratch;
  bool first = true;
  each_cell(e, scratch, [&](std::string_view text) {
    if (!first)
      row += ',';
    first = false;
    append_csv_cell(row, text);
  });
}

void write_csv_row(std::ostream& out, const Endpoint& e) {
  std::string row;
  append_csv_row(row, e);
  out << row << "\r\n";
}

}  // namespace cc::summary
