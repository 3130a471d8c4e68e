// What the fleet adds up to: endpoints per verdict, and what stands in the
// way of hardware encoding on the endpoints that do not have it. Holds
// counts and the distinct names seen, never the endpoints themselves, so it
// stays small however many reports pass through.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "summary/endpoint.h"
#include "summary/endpoint_status.h"

namespace cc::summary {

struct Unreadable {
  std::string file;
  std::string reason;
};

// Driver versions by their numbers: 9.18 before 10.18.
struct VersionOrder {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct Blocker {
  std::string reason;
  int endpoints = 0;
  std::map<std::string, int> adapters;               // adapter (or camera) name -> endpoints
  std::map<std::string, int, VersionOrder> drivers;  // driver version -> endpoints
};

// One endpoint's blocker: the reason and the devices it concerns.
struct BlockerHit {
  std::string reason;
  std::vector<Adapter> devices;
};

inline constexpr char kBlockerNoEncoder[] = "No hardware H.264 encoder";
// The media-type probe fails only when the encoder cannot be activated or
// set up (its Error line says which step); a refused frame size is no failure.
inline constexpr char kBlockerEncoderSetup[] = "Hardware encoder could not be activated or set up";
inline constexpr char kBlockerCheckFailed[] = "The check failed (Error line, stall or crash)";
inline constexpr char kBlockerEmulated[] = "x64 or x86 build ran emulated on ARM64";
inline constexpr char kBlockerNoVendorDriver[] =
    "No graphics vendor's display driver (Microsoft Basic Display Adapter or no driver version)";
inline constexpr char kBlockerCutAtDeadline[] = "The check was still running at the run's deadline";
inline constexpr char kBlockerNeverBegan[] =
    "The check did not begin: an earlier check did not answer";
inline constexpr char kBlockerC920[] =
    "Logitech C920 needs its driver and a registry change for UVC 1.1";

// Empty when an on-board encoder is supported; for an endpoint that encodes
// through its camera only, the GPU's. Takes the endpoint's status when the
// run has set it, else assesses it.
// fleet: as for assess.
std::vector<BlockerHit> blockers_of(const Endpoint& endpoint, const FleetDevices* fleet = nullptr);

// The status the run set on the endpoint, or its assessment.
Status status_of(const Endpoint& endpoint);

class FleetTotals {
 public:
  void add(const Endpoint& endpoint);
  // The same, with its blockers already worked out (blockers_of).
  void add(const Endpoint& endpoint, const std::vector<BlockerHit>& blockers);
  void add_unreadable(Unreadable file) { unreadable_.push_back(std::move(file)); }
  // A report of an endpoint that a newer one (or a later run in the same
  // file) stands for.
  void add_older_report() { ++older_reports_; }

  int endpoints() const { return endpoints_; }
  int older_reports() const { return older_reports_; }
  int with_status(Status status) const { return statuses_[static_cast<int>(status)]; }
  // "N of M endpoints (x%) encode H.264 in hardware; K more would after a
  // driver update; L cannot; U unknown"
  std::string headline() const;
  int endpoints_with_errors() const { return with_errors_; }
  // Largest count first, then by name.
  std::vector<std::pair<std::string, int>> encoding() const { return ranked(encoding_); }
  std::vector<std::pair<std::string, int>> decoding() const { return ranked(decoding_); }
  std::vector<Blocker> blockers() const;  // most endpoints first
  // Each distinct action with its endpoints, most first.
  std::vector<std::pair<std::string, int>> actions() const { return ranked(actions_); }
  // Reports per checker version (as the banner gives it), most first.
  std::vector<std::pair<std::string, int>> checker_versions() const { return ranked(versions_); }
  const std::vector<Unreadable>& unreadable() const { return unreadable_; }

 private:
  static std::vector<std::pair<std::string, int>> ranked(const std::map<std::string, int>& counts);

  int endpoints_ = 0;
  int with_errors_ = 0;
  int older_reports_ = 0;
  std::array<int, kStatusCount> statuses_{};
  std::map<std::string, int> encoding_;
  std::map<std::string, int> decoding_;
  std::map<std::string, Blocker> blockers_;
  std::map<std::string, int> actions_;
  std::map<std::string, int> versions_;
  std::vector<Unreadable> unreadable_;
};

// The checker version whose lines this summary knows.
inline constexpr char kKnownCheckerVersion[] = "2.4.0.1233";
// True for a version above the known one (by its numbers).
bool newer_checker(const std::string& version);

// "\t Software*" -> "Software*": the verdict as the summary names it.
std::string_view verdict_name(const std::string& verdict_text);

}  // namespace cc::summary
