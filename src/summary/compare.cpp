#include "summary/compare.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "summary/endpoint_status.h"
#include "summary/text_encoding.h"

namespace cc::summary {
namespace {

using Json = nlohmann::json;

// Takes "endpoint" and "status" of each object in the top-level
// "endpoints" array and skips everything else, so that memory follows the
// number of endpoints, not the size of the file.
class EndpointReader : public nlohmann::json_sax<Json> {
 public:
  EndpointReader(std::vector<std::pair<std::string, std::string>>& out, std::string& written)
      : out_(out), written_(written) {}

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t value) override { return number(value); }
  bool number_unsigned(number_unsigned_t value) override {
    return number(static_cast<long long>(value));
  }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool string(string_t& value) override {
    if (depth_ == 3 && in_endpoints_ && key_ == "endpoint")
      out_.back().first = value;
    else if (depth_ == 3 && in_endpoints_ && key_ == "status")
      out_.back().second = value;
    else if (depth_ == 1 && key_ == "written")
      written_ = value;
    return true;
  }
  bool start_object(std::size_t) override {
    ++depth_;
    if (depth_ == 3 && in_endpoints_)
      out_.emplace_back();
    return true;
  }
  bool end_object() override {
    --depth_;
    return true;
  }
  bool key(string_t& value) override {
    if (depth_ == 1)
      top_key_ = value;
    key_ = value;
    return true;
  }
  bool start_array(std::size_t) override {
    ++depth_;
    in_endpoints_ = in_endpoints_ || (depth_ == 2 && top_key_ == "endpoints");
    return true;
  }
  bool end_array() override {
    if (depth_ == 2)
      in_endpoints_ = false;
    --depth_;
    return true;
  }
  bool parse_error(std::size_t,
                   const std::string&,
                   const nlohmann::detail::exception& error) override {
    error_ = error.what();
    return false;
  }
  bool schema_one() const { return schema_one_; }
  const std::string& error() const { return error_; }

 private:
  bool number(long long value) {
    if (depth_ == 1 && key_ == "schema")
      schema_one_ = value == 1;
    return true;
  }

  std::vector<std::pair<std::string, std::string>>& out_;
  std::string& written_;
  std::string error_;
  int depth_ = 0;
  bool in_endpoints_ = false;
  bool schema_one_ = false;
  std::string key_, top_key_;
};

}  // namespace

std::string folded(const std::string& name) {
  return fold_case(name);
}

bool Comparison::load(const std::string& path, std::string& error) {
  file_ = path;
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) {
    error = "cannot be opened";
    return false;
  }
  std::vector<std::pair<std::string, std::string>> endpoints;
  EndpointReader reader(endpoints, written_);
  const bool parsed = Json::sax_parse(in, &reader);
  if (!parsed) {
    // Cut short or corrupt: the parser's own words say where.
    error = reader.error().empty() ? "cannot be parsed" : reader.error();
    return false;
  }
  if (!reader.schema_one()) {
    error = "not a JSON written by CapabilitySummary (schema 1)";
    return false;
  }
  for (auto& [name, status] : endpoints)
    previous_[folded(name)] = {name, status, false};
  return true;
}

const std::string* Comparison::see(const Endpoint& e) {
  auto it = previous_.find(folded(e.endpoint));
  if (it == previous_.end()) {
    added_.push_back(e.endpoint);
    return nullptr;
  }
  it->second.seen = true;
  const std::string now = status_name(static_cast<Status>(e.status));
  if (it->second.status != now)
    moved_.push_back({e.endpoint, it->second.status, now});
  return &it->second.status;
}

void Comparison::not_read(const std::string& name) {
  auto it = previous_.find(folded(name));
  if (it == previous_.end() || it->second.seen)
    return;
  it->second.seen = true;
  unread_.push_back(it->second.name);
}

void Comparison::finish() {
  for (const auto& entry : previous_)
    if (!entry.second.seen)
      vanished_.push_back(entry.second.name);
  std::sort(vanished_.begin(), vanished_.end());
  std::sort(unread_.begin(), unread_.end());
}

std::vector<std::pair<std::pair<std::string, std::string>, int>> Comparison::transitions() const {
  std::map<std::pair<std::string, std::string>, int> counts;
  for (const StatusMove& move : moved_)
    ++counts[{move.from, move.to}];
  std::vector<std::pair<std::pair<std::string, std::string>, int>> list(counts.begin(),
                                                                        counts.end());
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return list;
}

}  // namespace cc::summary
