// The short plain-text summary for standard output.
#pragma once

#include <ostream>

#include "summary/compare.h"
#include "summary/fleet.h"
#include "summary/fleet_profile.h"

namespace cc::summary {

// How many blockers the text names; the JSON and HTML have them all.
inline constexpr int kLeadingBlockers = 5;
// How many moved, new, vanished and unread endpoints the text names; the
// JSON has them all.
inline constexpr int kNamedChanges = 20;
// Said instead of the headline when no file held a report.
inline constexpr char kNothingFoundText[] = "No report found: nothing to summarise.";

// "since 2026-12-08T20:20:40Z (prev.json, 3 endpoints)", or without the time
// for a summary from before JSONs carried it.
std::string since_text(const Comparison& comparison);

// Every status with its endpoints, in the order of Status.
std::vector<std::pair<std::string, int>> status_counts(const FleetTotals& totals);

// Reports per checker version, as the text and the page name them.
std::vector<std::pair<std::string, int>> checker_version_counts(const FleetTotals& totals);

// The headline first, then what to do, then the counts; what changed since the earlier
// summary when there is one to compare with.
void write_text_summary(std::ostream& out,
                        const FleetTotals& totals,
                        const Comparison* comparison = nullptr,
                        const FleetProfile* profile = nullptr);

}  // namespace cc::summary
