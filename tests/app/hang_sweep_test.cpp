// The whole checker against the scripted machine, once for every platform
// call its run makes, with that call never answering until the run has been
// ended for it. Each run must write the report the checker writes without the
// stall, except for the stuck check: its lines before the stall, one line
// naming the innermost running step, and the flags it had raised by then.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "support/hang_sweep.h"

namespace cc {
namespace {

using testing::HangRun;

TEST(HangSweepTest, EveryCallNeverAnsweringCostsOnlyItsLine) {
  const std::vector<HangRun>& runs = testing::hang_sweep_runs();
  ASSERT_GT(runs.size(), 150u);
  for (const HangRun& run : runs) {
    const std::string what = "call " + std::to_string(run.call.index) + " " + run.call.name;
    EXPECT_EQ(run.status, 0) << what;
    EXPECT_EQ(run.report, run.expected_report) << what;
    // Output, pause, and only then the end of the process.
    const auto& calls = run.driver_calls;
    const auto out = std::find(calls.begin(), calls.end(), "stdout");
    const auto end = std::find(calls.begin(), calls.end(), "end process 0");
    EXPECT_TRUE(out < end && end != calls.end() && *(end - 1) == "pause") << what;
    // COM is opened by the thread that ran the checks, and by one fresh worker
    // only when checks remained after the stuck one; each closed it once the
    // blocked call went on, and every platform object was released.
    const auto opened = std::count(calls.begin(), calls.end(), "CoInitialize");
    EXPECT_EQ(opened, run.call.check == "check_uvc11_camera_capability" ? 1 : 2) << what;
    EXPECT_EQ(opened, std::count(calls.begin(), calls.end(), "CoUninitialize")) << what;
    EXPECT_EQ(run.live_objects, 0) << what;
  }
  std::printf("hang sweep: %zu injection points, each blocking once\n", runs.size());
}

}  // namespace
}  // namespace cc
