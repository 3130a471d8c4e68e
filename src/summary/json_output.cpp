#include "summary/json_output.h"

#include <chrono>

#include <nlohmann/json.hpp>

#include "summary/endpoint_status.h"
#include "summary/summary_run.h"
#include "summary/text_encoding.h"

namespace cc::summary {
namespace {

using Json = nlohmann::ordered_json;

// Texts are UTF-8 by the time they get here; replace guards against any
// invalid sequence rather than throwing.
std::string dump(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Endpoints are written by hand rather than built as JSON values first: a
// fleet has a hundred thousand of them, and building each object cost more
// than reading its report.
void quoted(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  bool checked = false;  // the text is known to be valid UTF-8
  out += '"';
  std::size_t plain = 0;  // the start of the run of bytes that need no escape
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 && !checked) {
      // Everything before is ASCII: the rest decides whether the text is UTF-8.
      if (!is_valid_utf8(text.substr(i))) {
        out.resize(start);
        return quoted(out, to_utf8(text));
      }
      checked = true;
    }
    if (u >= 0x20 && c != '"' && c != '\\')
      continue;
    out.append(text.data() + plain, i - plain);
    plain = i + 1;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      static const char kHex[] = "0123456789abcdef";
      const char* named = c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : nullptr;
      if (named) {
        out += named;
      } else {
        out += "\\u00";
        out += kHex[u >> 4];
        out += kHex[u & 15];
      }
    }
  }
  out.append(text.data() + plain, text.size() - plain);
  out += '"';
}

class Object {
 public:
  explicit Object(std::string& out) : out_(out) { out_ += '{'; }
  ~Object() { out_ += '}'; }
  std::string& key(const char* name) {
    out_ += first_ ? "\"" : ",\"";
    first_ = false;
    out_ += name;
    out_ += "\":";
    return out_;
  }
  void text(const char* name, std::string_view value) { quoted(key(name), value); }
  void flag(const char* name, bool value) { key(name) += value ? "true" : "false"; }
  void texts(const char* name, const std::vector<std::string>& values) {
    std::string& out = key(name);
    out += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i)
        out += ',';
      quoted(out, values[i]);
    }
    out += ']';
  }

 private:
  std::string& out_;
  bool first_ = true;
};

// "[" + each item's object + "]".
template <typename Item, typename Write>
void list(std::string& out, const std::vector<Item>& items, Write write) {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i)
      out += ',';
    Object object(out);
    write(object, items[i]);
  }
  out += ']';
}

void encoder_fields(Object& o, const Encoder& encoder) {
  o.text("name", encoder.name);
  o.flag("supported", encoder.supported);
  o.text("reason", encoder.reason);
  if (encoder.resolutions)
    o.text("resolutions", *encoder.resolutions);
  else
    o.key("resolutions") += "null";
  o.texts("info", encoder.info);
}

void camera_fields(Object& o, const Camera& camera) {
  o.text("name", camera.name);
  o.flag("h264", camera.h264);
  o.flag("uvc15", camera.uvc15);
  o.flag("uvc11", camera.uvc11);
  o.flag("c920_note", camera.c920_note);
  o.texts("notes", camera.notes);
}

void verdict(Object& o, const char* name, const std::string& text, const bool* footnote) {
  Object inner(o.key(name));
  inner.text("verdict", verdict_name(text));
  if (footnote)
    inner.flag("footnote", *footnote);
}

}  // namespace

std::string endpoint_json(const Endpoint& e) {
  std::string out;
  out.reserve(2048);
  {
    Object o(out);
    o.text("endpoint", e.endpoint);
    o.text("file", e.file);
    o.text("checker_version", e.checker_version);
    o.text("os", e.os);
    verdict(o, "encoding", e.encoding, &e.footnote);
    verdict(o, "decoding", e.decoding, nullptr);
    list(o.key("encoders"), e.encoders, encoder_fields);
    list(o.key("decoders"), e.decoders, [](Object& d, const Decoder& decoder) {
      d.text("adapter", decoder.adapter);
      d.text("result", decoder.result);
    });
    list(o.key("adapters"), e.adapters, [](Object& a, const Adapter& adapter) {
      a.text("name", adapter.name);
      a.text("driver", adapter.driver);
    });
    list(o.key("cameras"), e.cameras, camera_fields);
    o.texts("errors", e.errors);
    o.texts("unrecognised", e.unrecognised);
    o.texts("infos", e.infos);
    o.flag("no_encoders", e.no_encoders);
    o.flag("no_cameras", e.no_cameras);
    o.text("status", e.status != kNotAssessed ? status_name(static_cast<Status>(e.status)) : "");
    o.text("action", e.action);
    o.text("report_time", e.report_time);
  }
  return out;
}

std::string utc_now() {
  return iso8601_utc(std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count());
}

JsonWriter::JsonWriter(std::ostream& out, const std::string& written) : out_(out) {
  out_ << "{\"schema\": 1, \"written\": " << dump(Json(written)) << ", \"endpoints\": [";
}

void JsonWriter::add(const Endpoint& endpoint) {
  add_object(endpoint_json(endpoint));
}

void JsonWriter::add_object(const std::string& object) {
  out_ << (first_ ? "\n" : ",\n");
  out_.write(object.data(), static_cast<std::streamsize>(object.size()));
  first_ = false;
}

namespace {

Json comparison_json(const Comparison& comparison) {
  Json moved = Json::array();
  for (const StatusMove& move : comparison.moved())
    moved.push_back({{"endpoint", move.endpoint}, {"from", move.from}, {"to", move.to}});
  return {{"previous", comparison.previous_file()},
          {"previous_written", comparison.previous_time()},
          {"previous_endpoints", comparison.previous_endpoints()},
          {"not_read", comparison.unread()},
          {"moved", moved},
          {"new", comparison.added()},
          {"vanished", comparison.vanished()}};
}

}  // namespace

void JsonWriter::finish(const FleetTotals& totals, const Comparison* comparison) {
  Json list = Json::array();
  for (const Unreadable& file : totals.unreadable())
    list.push_back({{"file", file.file}, {"reason", file.reason}});
  out_ << "\n], \"unreadable\": " << dump(list)
       << ", \"older_reports\": " << totals.older_reports();
  Json versions = Json::object();
  for (const auto& [version, count] : totals.checker_versions())
    versions[version] = count;
  out_ << ", \"checker_versions\": " << dump(versions);
  if (comparison)
    out_ << ", \"compare\": " << dump(comparison_json(*comparison));
  out_ << "}\n";
}

}  // namespace cc::summary
