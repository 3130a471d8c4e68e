#include "summary/csv_output.h"

#include <cstring>
#include <vector>

#include "summary/endpoint_status.h"
#include "summary/fleet.h"

namespace cc::summary {
namespace {

// Each item's text, appended by `text(cell, item)`, between separators.
template <typename Item, typename Text>
std::string joined(const std::vector<Item>& items, Text text) {
  std::string cell;
  for (const Item& item : items) {
    if (&item != &items.front())  // a blank item keeps its place
      cell += kItemSeparator;
    text(cell, item);
  }
  return cell;
}

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

void append_csv_cell(std::string& out, const std::string& text) {
  const bool formula = !text.empty() && std::strchr("=+-@\t\r", text[0]) != nullptr;
  const bool quote = text.find_first_of(",\"\r\n") != std::string::npos;
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

std::vector<std::string> endpoint_cells(const Endpoint& e) {
  return {e.endpoint,
          e.os,
          std::string(verdict_name(e.encoding)),
          std::string(verdict_name(e.decoding)),
          joined(e.adapters, [](std::string& out, const Adapter& a) { out += a.name; }),
          joined(e.adapters, [](std::string& out, const Adapter& a) { out += a.driver; }),
          joined(e.encoders, encoder_text),
          joined(e.cameras, camera_text),
          std::to_string(e.errors.size()),
          e.status >= 0 ? status_name(static_cast<Status>(e.status)) : "",
          e.action,
          e.report_time,
          joined(e.infos, [](std::string& out, const std::string& line) { out += line; }),
          e.checker_version};
}

void write_csv_row(std::ostream& out, const Endpoint& e) {
  write_csv_row(out, endpoint_cells(e));
}

std::string csv_row(const std::vector<std::string>& cells) {
  std::size_t size = 0;
  for (const std::string& cell : cells)
    size += cell.size() + 4;  // a comma, quotes, one doubled quote or a formula's mark
  std::string row;
  row.reserve(size);
  for (const std::string& cell : cells) {
    if (&cell != &cells.front())
      row += ',';
    append_csv_cell(row, cell);
  }
  return row;
}

void write_csv_row(std::ostream& out, const std::vector<std::string>& cells) {
  out << csv_row(cells) << "\r\n";
}

}  // namespace cc::summary
