// Where an endpoint stands with hardware H.264 encoding, read from its
// report's own lines, and what an administrator can do about it.
#pragma once

#include <string>
#include <vector>

#include "summary/endpoint.h"

namespace cc::summary {

enum class Status {
  kHardwareGpu,     // an on-board encoder is supported
  kHardwareCamera,  // only a camera encodes
  kDriverUpdate,    // a usable encoder waits for a driver the support list accepts
  kCannot,          // no hardware encoder, or vendor or device off the support list
  kUnknown,         // the check failed or could not see the hardware
};
inline constexpr int kStatusCount = 5;

// The status as every output writes it.
const char* status_name(Status status);

struct Assessment {
  Status status = Status::kUnknown;
  std::string action;  // empty when it encodes in hardware
};

Assessment assess(const Endpoint& endpoint);

// The adapters a support-policy reason is about: those of the vendor it
// names (by their names), those of no known vendor for an unknown one, and
// all where that finds none.
std::vector<Adapter> adapters_for(const std::string& reason, const std::vector<Adapter>& all);

// True for the two hardware statuses.
inline bool in_hardware(Status status) {
  return status == Status::kHardwareGpu || status == Status::kHardwareCamera;
}

}  // namespace cc::summary
