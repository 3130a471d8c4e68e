#include "summary/text_summary.h"

#include <algorithm>
#include <iomanip>

#include "summary/summary_run.h"

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

const std::string& plain(const std::string& name) {
  return name;
}

// The first kNamedChanges of a group by name, then how many more.
template <typename Item, typename Show>
void write_names(std::ostream& out,
                 const char* title,
                 const std::vector<Item>& names,
                 Show show) {
  out << title << names.size() << (names.empty() ? "" : ":");
  for (std::size_t i = 0; i < names.size() && i < kNamedChanges; ++i)
    out << (i ? ", " : " ") << show(names[i]);
  if (names.size() > kNamedChanges)
    out << " (" << names.size() - kNamedChanges << " more in the JSON)";
  out << "\n";
}

std::string move_text(const StatusMove& move) {
  return move.endpoint + " (" + (move.from.empty() ? "(no status)" : move.from) + " -> " +
         move.to + ")";
}

void write_comparison(std::ostream& out, const Comparison& comparison) {
  std::string since = since_text(comparison);
  since[0] = 'S';
  out << "\n" << since << ": " << comparison.moved().size() << " moved, "
      << comparison.added().size() << " new, " << comparison.vanished().size() << " vanished, "
      << comparison.unread().size() << " not read this time\n";
  for (const auto& [move, count] : comparison.transitions())
    out << "  " << std::setw(8) << count << "  "
        << (move.first.empty() ? "(no status)" : move.first) << " -> " << move.second << "\n";
  write_names(out, "Moved endpoints: ", comparison.moved(), move_text);
  write_names(out, "New endpoints: ", comparison.added(), plain);
  write_names(out, "Vanished endpoints: ", comparison.vanished(), plain);
  write_names(out, "Not read this time: ", comparison.unread(), plain);
}

void write_profile(std::ostream& out, const FleetProfile& profile) {
  write_counts(out, "Operating systems:", profile.systems());
  out << "Reports from " << iso8601_utc(profile.oldest()) << " to "
      << iso8601_utc(profile.newest()) << " (each endpoint's in the CSV, column report_time)\n";
  const std::string title =
      "Reports older than " + std::to_string(profile.stale_days()) + " days: ";
  std::vector<std::string> names = profile.stale_names();
  names.resize(std::min<std::size_t>(names.size(), kNamedChanges));
  out << title << profile.stale() << (names.empty() ? "" : ":");
  for (std::size_t i = 0; i < names.size(); ++i)
    out << (i ? ", " : " ") << names[i];
  if (profile.stale() > static_cast<int>(names.size()))
    out << " (" << profile.stale() - static_cast<int>(names.size()) << " more)";
  out << "\n";
}

}  // namespace

std::string since_text(const Comparison& comparison) {
  const std::string endpoints = std::to_string(comparison.previous_endpoints()) + " endpoints)";
  if (comparison.previous_time().empty())
    return "since " + comparison.previous_file() + " (" + endpoints;
  return "since " + comparison.previous_time() + " (" + comparison.previous_file() + ", " +
         endpoints;
}

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
                        const Comparison* comparison,
                        const FleetProfile* profile) {
  if (totals.endpoints() == 0) {
    out << kNothingFoundText << "\n";
    out << "Files not read: " << totals.unreadable().size();
    out << (totals.unreadable().empty() ? "\n" : " (listed on standard error)\n");
    return;
  }
  out << totals.headline() << "\n\n";
  write_actions(out, totals.actions());
  out << "Endpoints read: " << totals.endpoints() << "\n";
  out << "Older reports of them: " << totals.older_reports() << "\n";
  write_counts(out, "Checker versions (reports):", checker_version_counts(totals));
  out << "\n";
  write_counts(out, "Status:", status_counts(totals));
  write_counts(out, "H.264 encoding:", totals.encoding());
  write_counts(out, "H.264 decoding:", totals.decoding());
  if (profile)
    write_profile(out, *profile);
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
