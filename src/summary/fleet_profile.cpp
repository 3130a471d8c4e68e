#include "summary/fleet_profile.h"

#include <algorithm>

namespace cc::summary {

FleetProfile::FleetProfile(std::int64_t now, int stale_days, std::size_t names_kept)
    : limit_(now - static_cast<std::int64_t>(stale_days) * 86400),
      stale_days_(stale_days),
      names_kept_(names_kept) {}

void FleetProfile::add(const std::string& endpoint,
                       const std::string& os,
                       std::int64_t report_time) {
  ++systems_[os.empty() ? "(not named)" : os];
  if (report_time < limit_ && ++stale_ <= static_cast<int>(names_kept_))
    stale_names_.push_back(endpoint);
  oldest_ = any_ ? std::min(oldest_, report_time) : report_time;
  newest_ = any_ ? std::max(newest_, report_time) : report_time;
  any_ = true;
}

std::vector<std::pair<std::string, int>> FleetProfile::systems() const {
  std::vector<std::pair<std::string, int>> list(systems_.begin(), systems_.end());
  std::stable_sort(list.begin(), list.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return list;
}

}  // namespace cc::summary
