// What changed since an earlier summary: endpoints whose status moved, new
// endpoints and vanished ones, against a JSON this program wrote before.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "summary/endpoint.h"

namespace cc::summary {

struct StatusMove {
  std::string endpoint;
  std::string from;  // empty when the earlier summary gave no status
  std::string to;
};

class Comparison {
 public:
  // Reads the endpoints and statuses of the earlier JSON, streaming (a
  // fleet's JSON is large); false with the reason when it is not one.
  bool load(const std::string& path, std::string& error);
  // Each endpoint of this run once, its status set; its earlier status,
  // or null for a new endpoint.
  const std::string* see(const Endpoint& endpoint);
  // An endpoint whose files were found but held no report this time.
  void not_read(const std::string& name);
  // The earlier endpoints neither seen nor named not read have vanished;
  // call once, at the end.
  void finish();

  const std::string& previous_file() const { return file_; }
  // When the earlier summary was written (UTC, ISO 8601); empty for a JSON
  // from before summaries said so.
  const std::string& previous_time() const { return written_; }
  int previous_endpoints() const { return static_cast<int>(previous_.size()); }
  const std::vector<StatusMove>& moved() const { return moved_; }
  const std::vector<std::string>& added() const { return added_; }
  const std::vector<std::string>& vanished() const { return vanished_; }
  const std::vector<std::string>& unread() const { return unread_; }
  // "from" -> "to" with the endpoints that moved so, most first.
  std::vector<std::pair<std::pair<std::string, std::string>, int>> transitions() const;

 private:
  struct Previous {
    std::string name;
    std::string status;
    bool seen = false;
  };
  std::string file_;
  std::string written_;
  std::unordered_map<std::string, Previous> previous_;  // by name, case folded
  std::vector<StatusMove> moved_;
  std::vector<std::string> added_;
  std::vector<std::string> vanished_;
  std::vector<std::string> unread_;
};

// Endpoint names compare without case, as Windows computer names do.
std::string folded(const std::string& name);

}  // namespace cc::summary
