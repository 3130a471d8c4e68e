// The fleet as JSON, written endpoint by endpoint so that memory does not
// grow with the fleet: {"schema": 1, "endpoints": [...], "unreadable": [...],
// "older_reports": N, "compare": {...}} (compare only with --compare).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "summary/compare.h"
#include "summary/endpoint.h"
#include "summary/fleet.h"

namespace cc::summary {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out);
  void add(const Endpoint& endpoint);
  void finish(const FleetTotals& totals, const Comparison* comparison = nullptr);

 private:
  std::ostream& out_;
  bool first_ = true;
};

// One endpoint as its JSON object, compact.
std::string endpoint_json(const Endpoint& endpoint);

}  // namespace cc::summary
