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

// What to do, first: each distinct action with its endpoints, most first.
void write_actions(std::ostream& out, const std::vector<std::pair<std::string, int>>& actions) {
  out << "What to do first (endpoints):\n";
  if (actions.empty())
    out << "  nothing: every endpoint encodes on its GPU\n";
  for (const auto& [action, count] : actions)
    out << "  " << std::setw(8) << count << "  " << action << "\n";
  out << "\n";
}

void write_names(std::ostream& out, const char* title, const std::vector<std::string>& names) {
  out << title << names.size() << (names.empty() ? "" : ":");
  for (std::size_t i = 0; i < names.size() && i < kNamedChanges; ++i)
    out << (i ? ", " : " ") << names[i];
  if (names.size() > kNamedChanges)
    out << " (" << names.size() - kNamedChanges << " more in the JSON)";
  out << "\n";
}

void write_comparison(std::ostream& out, const Comparison& comparison) {
  out << "\nSince " << comparison.previous_file() << " (" << comparison.previous_endpoints()
      << " endpoints): " << comparison.moved().size() << " moved, " << comparison.added().size()
      << " new, " << comparison.vanished().size() << " vanished\n";
  for (const auto& [move, count] : comparison.transitions())
    out << "  " << std::setw(8) << count << "  "
        << (move.first.empty() ? "(no status)" : move.first) << " -> " << move.second << "\n";
  write_names(out, "New endpoints: ", comparison.added());
  write_names(out, "Vanished endpoints: ", comparison.vanished());
}

}  // namespace

std::vector<std::pair<std::string, int>> status_counts(const FleetTotals& totals) {
  std::vector<std::pair<std::string, int>> counts;
  for (int i = 0; i < kStatusCount; ++i)
    counts.emplace_back(status_name(static_cast<Status>(i)),
                        totals.with_status(static_cast<Status>(i)));
  return counts;
}

std::vector<std::pair<std::string, int>> checker_version_counts(const FleetTotals& totals) {
  std::vector<std::pair<std::string, int>> counts = totals.checker_versions();
  for (auto& [version, count] : counts) {
    if (version.empty())
      version = "(none)";
    else if (newer_checker(version))
      version += " (newer than this summary knows)";
  }
  return counts;
}

void write_text_summary(std::ostream& out,
                        const FleetTotals& totals,
                        const Comparison* comparison) {
  out << totals.headline() << "\n\n";
  write_actions(out, totals.actions());
  out << "Endpoints read: " << totals.endpoints() << "\n";
  out << "Older reports of them: " << totals.older_reports() << "\n";
  write_counts(out, "Checker versions (reports):", checker_version_counts(totals));
  out << "\n";
  write_counts(out, "Status:", status_counts(totals));
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
  if (comparison)
    write_comparison(out, *comparison);
  out << "\nEndpoints with Error lines: " << totals.endpoints_with_errors() << "\n";
  out << "Files not read: " << totals.unreadable().size();
  out << (totals.unreadable().empty() ? "\n" : " (listed on standard error)\n");
}

}  // namespace cc::summary
