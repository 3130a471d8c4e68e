// The whole checker against the scripted machine, once for every platform
// call its run makes, with that call never answering until the run has been
// ended for it, and once more with the call holding the loader lock too. Each
// run must write the report the checker writes without the stall, except for
// the checks it stops: the stuck one's lines before the stall, one line naming
// the innermost running step, and the flags it had raised by then.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "support/hang_sweep.h"

namespace cc {
namespace {

using testing::HangRun;
using testing::kHangSweepLimit;

TEST(HangSweepTest, EveryCallNeverAnsweringCostsOnlyTheLinesOfWhatItStops) {
  const auto start = std::chrono::steady_clock::now();
  const std::vector<HangRun>& runs = testing::hang_sweep_runs();
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_GT(runs.size(), 300u);
  std::chrono::milliseconds slowest{0};
  for (const HangRun& run : runs) {
    const std::string what = "call " + std::to_string(run.call.index) + " " + run.call.name +
                             (run.holds_loader_lock ? " holding the loader lock" : "");
    EXPECT_EQ(run.status, 0) << what;
    EXPECT_EQ(run.report, run.expected_report) << what;
    // Output, pause, and only then the end of the process.
    const auto& calls = run.driver_calls;
    const auto out = std::find(calls.begin(), calls.end(), "stdout");
    const auto end = std::find(calls.begin(), calls.end(), "end process 0");
    EXPECT_TRUE(out < end && end != calls.end() && *(end - 1) == "pause") << what;
    // Every thread the run needs started before COM: the spare and the watchdog.
    EXPECT_EQ(run.thread_starts, (std::vector<std::size_t>{0, 0})) << what;
    // COM is opened by the thread that ran the checks, and by the spare only
    // when checks remained after the stuck one. A thread given up on makes no
    // further call, so only a spare that got through closes COM.
    const bool spare = run.call.check != "check_uvc11_camera_capability";
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "CoInitialize"), spare ? 2 : 1) << what;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "CoUninitialize"),
              spare && !run.holds_loader_lock ? 1 : 0)
        << what;
    // Woken once the run was over, the stuck check and any check stopped with
    // it release what they hold (FreeLibrary too), and make no other call.
    std::vector<std::string> woken = run.calls_after_release;
    woken.erase(std::remove(woken.begin(), woken.end(), "FreeLibrary"), woken.end());
    EXPECT_EQ(woken, std::vector<std::string>()) << what;
    EXPECT_EQ(run.live_objects, 0) << what;
    // However many checks it stops, the report comes by twice the limit (and
    // one look, with room for a busy machine).
    EXPECT_LT(run.to_report, 2 * kHangSweepLimit + kHangSweepLimit / 2) << what;
    slowest = std::max(slowest, run.to_report);
  }
  std::printf(
      "hang sweep: %zu runs (%zu injection points, blocking alone and holding the loader "
      "lock), %lld ms in all, slowest report after %lld ms (limit %lld ms)\n",
      runs.size(), runs.size() / 2,
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()),
      static_cast<long long>(slowest.count()), static_cast<long long>(kHangSweepLimit.count()));
}

}  // namespace
}  // namespace cc
