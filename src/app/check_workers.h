// Runs the four checks, one after another, under a watchdog. The calling
// thread runs them inside its COM apartment, as a run without a watchdog
// would, while a watchdog thread follows their progress. When a check makes
// none for the limit, the watchdog gives it up and takes the rest of the run
// over: the checks that remain run on a fresh worker thread with COM of its
// own (each worker followed the same way), and the watchdog thread finishes
// the run. The thread that was stuck is left where it is.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "app/check_driver.h"
#include "report/watchdog.h"

namespace cc {

// The checks in the order they run.
enum CheckIndex { kDecoderCheck, kGpuDetailsCheck, kEncoderCheck, kCameraCheck, kCheckCount };

// One check's turn, as the driver assembles its section.
struct CheckOutcome {
  // COM was initialised for it, so it had its turn (a missing check too).
  bool ran = false;
  // Its section's text; when it was given up, the lines it completed.
  std::string text;
  // Set when it was given up: the innermost guarded step that was running.
  std::optional<std::string> unanswered_step;
  // Decoder: decoder_available. Encoder: encoder_available and
  // encoder_driver_supported. Camera: camera_uvc15 and camera_uvc11.
  WatchedFlags flags;
};

struct CheckRun {
  std::array<CheckOutcome, kCheckCount> checks;
  // CoInitialize failed; the checks that had not run yet did not.
  std::optional<HRESULT> com_failure;
};

// Runs the checks. Returns their outcomes when the calling thread got
// through them; else (nullopt) the watchdog gave one up and has called, or is
// calling, take_over_end with the outcomes on its own thread.
std::optional<CheckRun> run_checks_watched(DriverPlatform& platform,
                                           const CheckSet& checks,
                                           std::chrono::milliseconds limit,
                                           std::function<void(const CheckRun&)> take_over_end);

}  // namespace cc
