// The hang sweep: the default scripted machine, run twice for every platform
// call of its baseline run with that call blocking until the run has been
// ended for it, under a short stall limit: once blocking alone, and once
// holding the loader lock as a driver stuck in its library's load or unload
// does, so that every later call and thread start blocks too. Each run's report is kept, with
// the report the driver must have written, so that checks of other kinds
// (a parser's round trip, say) can walk the same reports.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "support/machine_calls.h"

namespace cc::testing {

// Long enough that no check which still moves is cut off on a busy machine.
inline constexpr std::chrono::milliseconds kHangSweepLimit{250};

struct HangRun {
  MachineCall call;                       // the call that blocked
  bool holds_loader_lock = false;         // and every call and thread start after it
  std::string step;                       // the guard innermost around it
  int status = -1;                        // what run_checker returned
  std::string report;                     // standard output
  std::string expected_report;            // see expected_hang_report
  std::vector<std::string> driver_calls;  // once every thread has ended
  std::vector<std::string> calls_after_release;  // platform calls made after it was let go
  int live_objects = -1;                  // platform objects alive then
  std::vector<std::size_t> thread_starts;  // driver calls made before each start
  std::chrono::milliseconds to_report{-1};  // from the run's start to the report
};

// Every run of the sweep, in call order, each call blocking alone and then
// holding the loader lock; made once per process, on first use.
const std::vector<HangRun>& hang_sweep_runs();

}  // namespace cc::testing
