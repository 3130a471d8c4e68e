// Where an endpoint stands with hardware H.264 encoding, read from its
// report's own lines, and what an administrator can do about it.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "summary/endpoint.h"

namespace cc::summary {

enum class Status {
  kHardwareGpu,     // an on-board encoder is supported
  kHardwareCamera,  // only a camera encodes
  kDriverUpdate,    // a usable encoder waits for a driver the support list accepts
  kCannot,          // no hardware encoder, or vendor or device off the support list
  kUnknown,         // the report cannot answer: a check failed, no vendor driver, ...
};
inline constexpr int kStatusCount = 5;

// The status as every output writes it.
const char* status_name(Status status);

struct Assessment {
  Status status = Status::kUnknown;
  std::string action;  // empty when an on-board encoder is supported
};

// What the fleet shows about adapter models: reports carry no device ID, so
// an AMD model that the support list refuses by device shows only on the
// endpoints whose driver passed. Keeps one count per model and Windows case.
class FleetDevices {
 public:
  // Notes the endpoint's refusals by device ID.
  void see(const Endpoint& endpoint);
  // Endpoints on which this adapter model was refused by device ID in this
  // Windows case (the int of a WindowsCase).
  int refused_by_device(const std::string& adapter, int windows) const;

 private:
  std::map<std::pair<std::string, int>, int> refused_;
};

// fleet: what the other endpoints show; without it, no model is known to be
// refused by device.
Assessment assess(const Endpoint& endpoint, const FleetDevices* fleet = nullptr);

// The story of the GPU alone, as if no camera encoded.
Assessment assess_gpu(const Endpoint& endpoint, const FleetDevices* fleet = nullptr);

// The reason a blocker counts under: an AMD refusal by driver version whose
// model the fleet shows refused by device ID counts as that refusal.
std::string blocker_reason(const std::string& reason,
                           const std::vector<Adapter>& adapters,
                           const FleetDevices* fleet);

// True when the assessment may change with what the rest of the fleet shows
// (an AMD driver update, whose device the fleet may show refused).
bool waits_for_fleet(const Endpoint& endpoint);

// An adapter that runs without its vendor's driver: Windows' own Microsoft
// Basic Display Adapter, or an adapter whose driver version is empty.
bool lacks_vendor_driver(const Endpoint& endpoint);

// The Error line that leaves the status open (kept as in errors), or empty.
const std::string& deciding_error(const Endpoint& endpoint);

// The adapters a support-policy reason is about: those of the vendor it
// names (by their names), those of no known vendor for an unknown one, and
// all where that finds none.
std::vector<const Adapter*> adapters_of(const std::string& reason,
                                        const std::vector<Adapter>& all);

// True for the two hardware statuses.
inline bool in_hardware(Status status) {
  return status == Status::kHardwareGpu || status == Status::kHardwareCamera;
}

inline constexpr char kInstallVendorDriver[] =
    "install the graphics vendor's display driver, then run the checker again";
inline constexpr char kBasicDisplayAdapter[] = "Microsoft Basic Display Adapter";
inline constexpr char kThroughCamera[] = "encodes through its camera";

}  // namespace cc::summary
