// How fresh the fleet's reports are and which systems they come from: the
// endpoints per operating system name, and those whose newest report is
// older than the freshness limit (the run's own time minus --stale-days).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace cc::summary {

inline constexpr int kDefaultStaleDays = 30;

class FleetProfile {
 public:
  // now: seconds since 1970 (UTC); names_kept: how many stale endpoints to
  // name (the rest are counted).
  FleetProfile(std::int64_t now, int stale_days, std::size_t names_kept);
  void add(const std::string& endpoint, const std::string& os, std::int64_t report_time);

  int stale_days() const { return stale_days_; }
  int stale() const { return stale_; }
  const std::vector<std::string>& stale_names() const { return stale_names_; }
  // Endpoints per operating system name, most first.
  std::vector<std::pair<std::string, int>> systems() const;
  // The oldest and newest report time seen (0 before any).
  std::int64_t oldest() const { return oldest_; }
  std::int64_t newest() const { return newest_; }

 private:
  std::int64_t limit_;
  int stale_days_;
  std::size_t names_kept_;
  int stale_ = 0;
  std::vector<std::string> stale_names_;
  std::map<std::string, int> systems_;
  std::int64_t oldest_ = 0, newest_ = 0;
  bool any_ = false;
};

}  // namespace cc::summary
