// Runs the four checks one after another on a worker thread, with COM
// initialised there, while the calling thread watches their progress. A check
// that makes none for the limit is given up: its worker is abandoned and a
// fresh worker, with COM of its own, runs the checks that remain.
#pragma once

#include <array>
#include <chrono>
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
  // CoInitialize failed on a worker; the checks that had not run yet did not.
  std::optional<HRESULT> com_failure;
  // A worker was left behind: the process must end without waiting for it.
  bool abandoned_thread = false;
};

CheckRun run_checks_on_workers(DriverPlatform& platform,
                               const CheckSet& checks,
                               std::chrono::milliseconds limit);

}  // namespace cc
