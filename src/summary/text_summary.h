// The short plain-text summary for standard output.
#pragma once

#include <ostream>

#include "summary/compare.h"
#include "summary/fleet.h"

namespace cc::summary {

// How many blockers the text names; the JSON and HTML have them all.
inline constexpr int kLeadingBlockers = 5;
// How many new and vanished endpoints the text names; the JSON has them all.
inline constexpr int kNamedChanges = 10;

// Every status with its endpoints, in the order of Status.
std::vector<std::pair<std::string, int>> status_counts(const FleetTotals& totals);

// Reports per checker version, as the text and the page name them.
std::vector<std::pair<std::string, int>> checker_version_counts(const FleetTotals& totals);

// The headline first, then what to do, then the counts; what changed since the earlier
// summary when there is one to compare with.
void write_text_summary(std::ostream& out,
                        const FleetTotals& totals,
                        const Comparison* comparison = nullptr);

}  // namespace cc::summary
