#include "summary/text_summary.h"

#include <iomanip>

namespace cc::summary {
namespace {

void write_counts(std::ostream& out,
                  const char* title,
                  const std::vector<std::pair<std::string, int>>& counts) {
  out << title << "\n";
  for (const auto& [verdict, count] : counts)
    out << "  " << std::setw(8) << count << "  " << verdict << "\n";
}

}  // namespace

void write_text_summary(std::ostream& out, const FleetTotals& totals) {
  out << "Endpoints read: " << totals.endpoints() << "\n\n";
  write_counts(out, "H.264 encoding:", totals.encoding());
  write_counts(out, "H.264 decoding:", totals.decoding());
  const std::vector<Blocker> blockers = totals.blockers();
  out << "\nLeading blockers of hardware encoding (endpoints):\n";
  if (blockers.empty())
    out << "  none\n";
  for (std::size_t i = 0; i < blockers.size() && i < kLeadingBlockers; ++i)
    out << "  " << std::setw(8) << blockers[i].endpoints << "  " << blockers[i].reason << "\n";
  if (blockers.size() > kLeadingBlockers)
    out << "  (" << blockers.size() - kLeadingBlockers << " more)\n";
  out << "\nEndpoints with Error lines: " << totals.endpoints_with_errors() << "\n";
  out << "Files not read: " << totals.unreadable().size();
  out << (totals.unreadable().empty() ? "\n" : " (listed on standard error)\n");
}

}  // namespace cc::summary
