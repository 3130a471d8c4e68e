// Runs the four checks, one after another, under a watchdog. The calling
// thread runs them inside its COM apartment, as a run without a watchdog
// would, while a watchdog thread follows their progress. Before COM starts,
// the run starts every thread it may need: the watchdog, which also finishes
// the run after a stall, and one spare worker that waits. A driver stuck while
// its library loads or unloads holds the loader lock, and no thread could
// start after that.
//
// When the calling thread makes no progress for the limit, the watchdog gives
// its check up (or names COM's start or end) and hands the checks that remain
// to the spare, with COM of its own. When the spare makes none for the limit,
// or the run's deadline (twice the limit after its start) comes first, every
// check that has not finished is given up at once. No thread is joined: one
// that was given up may never return.
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

// Why a check was cut short, and so the line that stands for the rest of it.
enum class CutShort {
  kNoAnswer,    // no progress for the limit
  kAtDeadline,  // still moving when the run's deadline came
  kNeverBegan,  // an earlier check held the way
  kCrashed,     // its thread met an exception nothing could handle
};

// One check's turn, as the driver assembles its section.
struct CheckOutcome {
  // COM was initialised for it, so it had its turn (a missing check too).
  bool ran = false;
  // Its section's text; when it was given up, the lines it completed.
  std::string text;
  // Set when it was cut short: the innermost guarded step that was running
  // (the check's own name when none was), and what its line says.
  std::optional<std::string> unanswered_step;
  CutShort cut = CutShort::kNoAnswer;
  int last_error = 0;  // for kCrashed
  // Decoder: decoder_available. Encoder: encoder_available and
  // encoder_driver_supported. Camera: camera_uvc15 and camera_uvc11.
  WatchedFlags flags;
};

struct CheckRun {
  std::array<CheckOutcome, kCheckCount> checks;
  // CoInitialize failed; the checks that had not run yet did not.
  std::optional<HRESULT> com_failure;
  // CoInitialize did not answer within the limit; the checks it was for had
  // no turn on that thread.
  bool com_start_stalled = false;
  // CoUninitialize did not answer within the limit, after every check ended.
  bool com_end_stalled = false;
};

// Runs the checks and ends the run: calls `end` with their outcomes, on the
// calling thread when it got through them, else on the watchdog's. Returns
// once the run has been ended, where ending the process returns at all; the
// helper threads stay until then, so that none exits (which takes the loader
// lock) while the report is written. `end` must not throw.
void run_checks_watched(DriverPlatform& platform,
                        const CheckSet& checks,
                        std::chrono::milliseconds limit,
                        std::function<void(const CheckRun&)> end);

}  // namespace cc
