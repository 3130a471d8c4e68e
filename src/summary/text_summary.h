// The short plain-text summary for standard output.
#pragma once

#include <ostream>

#include "summary/fleet.h"

namespace cc::summary {

// How many blockers the text names; the JSON and HTML have them all.
inline constexpr int kLeadingBlockers = 5;

void write_text_summary(std::ostream& out, const FleetTotals& totals);

}  // namespace cc::summary
