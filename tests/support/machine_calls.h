// The platform calls of one run of the default scripted machine, as the
// sweeps see them: each call's name, shape, and the guard innermost around it.
#pragma once

#include <string>
#include <vector>

namespace cc::testing {

struct MachineCall {
  int index;
  std::string name;   // as logged, e.g. "encoder1.codec.IsSupported"
  std::string shape;  // digits folded, e.g. "encoderN.codec.IsSupported"
  int occurrence;     // how many calls of the same name came before
  std::string check;  // the check whose guard surrounds it
};

// Every injectable call of a whole run of the default machine.
std::vector<MachineCall> machine_calls();

// The name of the innermost guard running around the call: the one whose
// line a throw from it produces, and the one a stall in it is named after.
std::string innermost_guard(const MachineCall& call);

}  // namespace cc::testing
