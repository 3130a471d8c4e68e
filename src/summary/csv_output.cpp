#include "summary/csv_output.h"

#include <cstring>
#include <functional>
#include <vector>

#include "summary/endpoint_status.h"
#include "summary/fleet.h"

namespace cc::summary {
namespace {

template <typename Item>
std::string joined(const std::vector<Item>& items,
                   const std::function<std::string(const Item&)>& text) {
  std::string cell;
  for (const Item& item : items) {
    if (&item != &items.front())  // a blank item keeps its place
      cell += kItemSeparator;
    cell += text(item);
  }
  return cell;
}

std::string encoder_text(const Encoder& encoder) {
  if (encoder.supported)
    return encoder.name + " (supported)";
  return encoder.name +
         (encoder.reason.empty() ? " (not supported)" : " (not supported: " + encoder.reason + ")");
}

std::string camera_text(const Camera& camera) {
  if (camera.uvc15)
    return camera.name + " (UVC 1.5)";
  if (camera.uvc11)
    return camera.name + " (UVC 1.1)";
  return camera.name + (camera.h264 ? " (H.264)" : " (no H.264)");
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
          verdict_name(e.encoding),
          verdict_name(e.decoding),
          joined<Adapter>(e.adapters, [](const Adapter& a) { return a.name; }),
          joined<Adapter>(e.adapters, [](const Adapter& a) { return a.driver; }),
          joined<Encoder>(e.encoders, encoder_text),
          joined<Camera>(e.cameras, camera_text),
          std::to_string(e.errors.size()),
          e.status >= 0 ? status_name(static_cast<Status>(e.status)) : "",
          e.action,
          e.report_time,
          joined<std::string>(e.infos, [](const std::string& line) { return line; }),
          e.checker_version};
}

void write_csv_row(std::ostream& out, const Endpoint& e) {
  write_csv_row(out, endpoint_cells(e));
}

std::string csv_row(const std::vector<std::string>& cells) {
  std::string row;
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
