#include "summary/json_output.h"

#include <nlohmann/json.hpp>

#include "summary/endpoint_status.h"

namespace cc::summary {
namespace {

using Json = nlohmann::ordered_json;

// Texts are UTF-8 by the time they get here; replace guards against any
// invalid sequence rather than throwing.
std::string dump(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json encoders_json(const std::vector<Encoder>& encoders) {
  Json list = Json::array();
  for (const Encoder& encoder : encoders)
    list.push_back({{"name", encoder.name},
                    {"supported", encoder.supported},
                    {"reason", encoder.reason},
                    {"resolutions", encoder.resolutions ? Json(*encoder.resolutions) : Json()},
                    {"info", encoder.info}});
  return list;
}

Json cameras_json(const std::vector<Camera>& cameras) {
  Json list = Json::array();
  for (const Camera& camera : cameras)
    list.push_back({{"name", camera.name},
                    {"h264", camera.h264},
                    {"uvc15", camera.uvc15},
                    {"uvc11", camera.uvc11},
                    {"c920_note", camera.c920_note},
                    {"notes", camera.notes}});
  return list;
}

}  // namespace

std::string endpoint_json(const Endpoint& e) {
  Json decoders = Json::array();
  for (const Decoder& decoder : e.decoders)
    decoders.push_back({{"adapter", decoder.adapter}, {"result", decoder.result}});
  Json adapters = Json::array();
  for (const Adapter& adapter : e.adapters)
    adapters.push_back({{"name", adapter.name}, {"driver", adapter.driver}});
  Json object = {{"endpoint", e.endpoint},
                 {"file", e.file},
                 {"checker_version", e.checker_version},
                 {"os", e.os},
                 {"encoding", {{"verdict", verdict_name(e.encoding)}, {"footnote", e.footnote}}},
                 {"decoding", {{"verdict", verdict_name(e.decoding)}}},
                 {"encoders", encoders_json(e.encoders)},
                 {"decoders", decoders},
                 {"adapters", adapters},
                 {"cameras", cameras_json(e.cameras)},
                 {"errors", e.errors},
                 {"unrecognised", e.unrecognised},
                 {"infos", e.infos},
                 {"no_encoders", e.no_encoders},
                 {"no_cameras", e.no_cameras},
                 {"status", e.status >= 0 ? status_name(static_cast<Status>(e.status)) : ""},
                 {"action", e.action},
                 {"report_time", e.report_time}};
  return dump(object);
}

JsonWriter::JsonWriter(std::ostream& out) : out_(out) {
  out_ << "{\"schema\": 1, \"endpoints\": [";
}

void JsonWriter::add(const Endpoint& endpoint) {
  out_ << (first_ ? "\n" : ",\n") << endpoint_json(endpoint);
  first_ = false;
}

namespace {

Json comparison_json(const Comparison& comparison) {
  Json moved = Json::array();
  for (const StatusMove& move : comparison.moved())
    moved.push_back({{"endpoint", move.endpoint}, {"from", move.from}, {"to", move.to}});
  return {{"previous", comparison.previous_file()},
          {"previous_endpoints", comparison.previous_endpoints()},
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
  if (comparison)
    out_ << ", \"compare\": " << dump(comparison_json(*comparison));
  out_ << "}\n";
}

}  // namespace cc::summary
