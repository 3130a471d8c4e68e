// What the fleet adds up to: endpoints per verdict, and what stands in the
// way of hardware encoding on the endpoints that do not have it. Holds
// counts and the distinct names seen, never the endpoints themselves, so it
// stays small however many reports pass through.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "summary/endpoint.h"

namespace cc::summary {

struct Unreadable {
  std::string file;
  std::string reason;
};

struct Blocker {
  std::string reason;
  int endpoints = 0;
  std::map<std::string, int> adapters;  // adapter (or camera) name -> endpoints
  std::map<std::string, int> drivers;   // driver version -> endpoints
};

// One endpoint's blocker: the reason and the devices it concerns.
struct BlockerHit {
  std::string reason;
  std::vector<Adapter> devices;
};

inline constexpr char kBlockerNoEncoder[] = "No hardware H.264 encoder";
inline constexpr char kBlockerEncoderUnusable[] =
    "Hardware encoder does not take an H.264 output type";
inline constexpr char kBlockerC920[] =
    "Logitech C920 needs its driver and a registry change for UVC 1.1";

// Empty when the endpoint encodes in hardware (on-board or camera).
std::vector<BlockerHit> blockers_of(const Endpoint& endpoint);

class FleetTotals {
 public:
  void add(const Endpoint& endpoint);
  void add_unreadable(Unreadable file) { unreadable_.push_back(std::move(file)); }

  int endpoints() const { return endpoints_; }
  int endpoints_with_errors() const { return with_errors_; }
  // Largest count first, then by name.
  std::vector<std::pair<std::string, int>> encoding() const { return ranked(encoding_); }
  std::vector<std::pair<std::string, int>> decoding() const { return ranked(decoding_); }
  std::vector<Blocker> blockers() const;  // most endpoints first
  const std::vector<Unreadable>& unreadable() const { return unreadable_; }

 private:
  static std::vector<std::pair<std::string, int>> ranked(const std::map<std::string, int>& counts);

  int endpoints_ = 0;
  int with_errors_ = 0;
  std::map<std::string, int> encoding_;
  std::map<std::string, int> decoding_;
  std::map<std::string, Blocker> blockers_;
  std::vector<Unreadable> unreadable_;
};

// "\t Software*" -> "Software*": the verdict as the summary names it.
std::string verdict_name(const std::string& verdict_text);

}  // namespace cc::summary
