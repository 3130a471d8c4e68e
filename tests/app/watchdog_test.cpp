// The watchdog around the check driver, with checks of the test's own that
// block where the test says: what a stalled check keeps and loses, the fresh
// workers that take the remaining checks, and the limit an administrator sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/check_driver.h"
#include "report/com_error.h"
#include "support/fake_driver_platform.h"
#include "support/fake_system_errors.h"

namespace cc {
namespace {

using std::chrono::milliseconds;
using testing::FakeDriverPlatform;
using testing::FakeOs;
using testing::FakeSystemErrors;

constexpr milliseconds kLimit{200};

// A point a check waits at until the test opens it.
class Gate {
 public:
  void open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

struct WatchedRun {
  FakeDriverPlatform platform;
  FakeOs os;
  int status = -1;

  void go(const CheckSet& checks, milliseconds limit = kLimit) {
    const char* argv[] = {"CapabilityChecker.exe"};
    status = run_checker(1, argv, platform, os, checks, limit);
    platform.join_released_threads();
  }
};

// The decoder stalls on the calling thread with a partial line written; the
// encoder stalls on the first fresh worker inside a nested step, after it
// raised a flag. While the camera runs on a second worker, the decoder wakes
// up and writes and raises what it would have: none of it counts.
TEST(WatchdogTest, StalledChecksKeepCompletedLinesAndRaisedFlagsOnly) {
  Gate decoder_gate;
  Gate decoder_done;
  Gate encoder_gate;
  CheckSet checks;
  checks.decoder = [&](ReportSection& s, bool& available) {
    s << "\tbefore\n\tpartial";
    decoder_gate.wait();
    s << " line\n\tlate\n";
    available = true;
    decoder_done.open();
  };
  checks.gpu_details = [](ReportSection& s) { s << "\tName=GPU\n\n"; };
  checks.encoder = [&](ReportSection& s, bool& available, bool&) {
    available = true;
    s << "\tencoder\n";
    run_guarded(s, "check_encoder_io_media_types",
                [&] { run_guarded(s, "in resolutions", [&] { encoder_gate.wait(); }); });
  };
  checks.camera = [&](ReportSection& s, bool&, bool&) {
    decoder_gate.open();
    decoder_done.wait();
    s << "\tcamera\n";
  };
  WatchedRun run;
  run.platform.on_end_process = [&] { encoder_gate.open(); };
  run.go(checks);
  EXPECT_EQ(run.platform.out,
            "Capability Checker v2.4.0.1233\n\n"
            "H.264 Encoding: \t Software*\n"
            "\t *Onboard encoding is supported by the GPU but a supported GPU driver version is "
            "not installed\n"
            "H.264 Decoding: \t Software\n\n"
            "On-board GPU H.264 Encoding Capabilities:\n\n\tencoder\n"
            "\t\t*** Error: in resolutions did not answer within 1 seconds!\n\n"
            "On-board GPU H.264 Decoding Capabilities:\n\n\tbefore\n"
            "\t\t*** Error: check_hardware_decoder_capability did not answer within 1 seconds!\n\n"
            "GPU details:\n\n\tName=GPU\n\n"
            "Camera Built-in H.264 Encoding Details:\n\n\tcamera\n\n"
            "Endpoint OS\n\t Windows 10 Pro\n");
  EXPECT_EQ(run.status, 0);
  // The calling thread and two workers opened COM, and each closed it; the
  // process ends after the output and the pause.
  const std::vector<std::string>& calls = run.platform.calls;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "CoInitialize"), 3);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "CoUninitialize"), 3);
  const auto out = std::find(calls.begin(), calls.end(), "stdout");
  ASSERT_LT(out + 2, calls.end());
  EXPECT_EQ(*(out + 1), "pause");
  EXPECT_EQ(*(out + 2), "end process 0");
}

TEST(WatchdogTest, FreshWorkerWithoutComEndsTheChecks) {
  FakeSystemErrors errors;
  errors.texts[E_OUTOFMEMORY] = "Not enough memory resources are available.\r\n";
  Gate gate;
  CheckSet checks;
  checks.decoder = [&](ReportSection&, bool&) { gate.wait(); };
  checks.gpu_details = [](ReportSection& s) { s << "\tName=GPU\n\n"; };
  WatchedRun run;
  run.platform.co_initialize_results = {S_OK, E_OUTOFMEMORY};
  run.platform.on_end_process = [&] { gate.open(); };
  run.go(checks);
  EXPECT_EQ(run.platform.out,
            "Capability Checker v2.4.0.1233\n\n"
            "\t\t*** Error: main: failed to intialized COM, error = Not enough memory resources "
            "are available.\n\n"
            "H.264 Encoding: \t Software\n"
            "H.264 Decoding: \t Software\n\n"
            "On-board GPU H.264 Decoding Capabilities:\n\n"
            "\t\t*** Error: check_hardware_decoder_capability did not answer within 1 seconds!\n\n"
            "Endpoint OS\n\t Windows 10 Pro\n");
}

// Many slow lines: the check moves, so it is never cut off, however long it
// takes as a whole.
TEST(WatchdogTest, CheckThatKeepsWritingIsNeverCutOff) {
  CheckSet checks;
  checks.gpu_details = [](ReportSection& s) {
    for (int i = 0; i < 8; ++i) {
      std::this_thread::sleep_for(milliseconds(60));
      s << "\tName=" << i << "\n";
    }
  };
  WatchedRun run;
  run.go(checks, milliseconds(300));
  EXPECT_NE(run.platform.out.find("\tName=7\n"), std::string::npos) << run.platform.out;
  EXPECT_EQ(run.platform.out.find("did not answer"), std::string::npos) << run.platform.out;
  EXPECT_EQ(run.platform.calls,
            (std::vector<std::string>{"CoInitialize", "CoUninitialize", "stdout", "pause"}));
}

struct LimitRow {
  const char* name;
  std::optional<std::string> value;
  int seconds;
  std::string err;
};

class StallLimitTest : public ::testing::TestWithParam<LimitRow> {};

TEST_P(StallLimitTest, WholeSecondsInRangeElseDefaultWithOneLine) {
  const LimitRow& row = GetParam();
  FakeDriverPlatform platform;
  if (row.value)
    platform.environment[kStallLimitVariable] = *row.value;
  EXPECT_EQ(stall_limit_from_environment(platform), std::chrono::seconds(row.seconds));
  EXPECT_EQ(platform.err, row.err);
}

std::string ignored(const std::string& value, const std::string& why) {
  return "CAPABILITY_CHECKER_TIMEOUT is ignored: \"" + value + "\" " + why +
         "; the limit stays 30 seconds\n";
}

const char kNotWhole[] = "is not a whole number of seconds";
const char kOutside[] = "is outside 1 to 3600 seconds";

INSTANTIATE_TEST_SUITE_P(
    Values,
    StallLimitTest,
    ::testing::Values(LimitRow{"unset", std::nullopt, 30, ""},
                      LimitRow{"one", "1", 1, ""},
                      LimitRow{"most", "3600", 3600, ""},
                      LimitRow{"leading_zeros", "0045", 45, ""},
                      LimitRow{"zero", "0", 30, ignored("0", kOutside)},
                      LimitRow{"above", "3601", 30, ignored("3601", kOutside)},
                      LimitRow{"huge", "99999999999999999999", 30,
                               ignored("99999999999999999999", kOutside)},
                      LimitRow{"empty", "", 30, ignored("", kNotWhole)},
                      LimitRow{"negative", "-5", 30, ignored("-5", kNotWhole)},
                      LimitRow{"fraction", "1.5", 30, ignored("1.5", kNotWhole)},
                      LimitRow{"blank", " 5", 30, ignored(" 5", kNotWhole)},
                      LimitRow{"unit", "5s", 30, ignored("5s", kNotWhole)},
                      LimitRow{"control", "\x1b[2J", 30, ignored("?[2J", kNotWhole)}),
    [](const ::testing::TestParamInfo<LimitRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cc
