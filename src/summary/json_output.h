// The fleet as JSON, written endpoint by endpoint so that memory does not
// grow with the fleet: {"schema": 1, "written": "<UTC>", "endpoints": [...], "unreadable": [...],
// "older_reports": N, "compare": {...}} (compare only with --compare).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "summary/compare.h"
#include "summary/endpoint.h"
#include "summary/fleet.h"

namespace cc::summary {

// Now as "2026-12-08T20:20:40Z".
std::string utc_now();

class JsonWriter {
 public:
  // written: when, as ISO 8601 UTC; a later --compare says "since" then.
  explicit JsonWriter(std::ostream& out, const std::string& written = utc_now());
  void add(const Endpoint& endpoint);
  // The same with the endpoint's object already written (endpoint_json).
  void add_object(const std::string& object);
  void finish(const FleetTotals& totals, const Comparison* comparison = nullptr);

 private:
  std::ostream& out_;
  bool first_ = true;
};

// One endpoint as its JSON object, compact.
std::string endpoint_json(const Endpoint& endpoint);

}  // namespace cc::summary
