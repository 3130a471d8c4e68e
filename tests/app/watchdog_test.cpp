// The watchdog around the check driver, with checks of the test's own that
// block where the test says: what a stalled check keeps and loses, the fresh
// workers that take the remaining checks, and the limit an administrator sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
  milliseconds to_report{-1};

  void go(const CheckSet& checks, milliseconds limit = kLimit) {
    const char* argv[] = {"CapabilityChecker.exe", "r.txt"};
    const auto start = std::chrono::steady_clock::now();
    status = run_checker(2, argv, platform, os, checks, limit);
    to_report = std::chrono::duration_cast<milliseconds>(platform.stdout_at - start);
    platform.join_released_threads();
    EXPECT_EQ(platform.files["r.txt"], platform.out);
  }
  // The calls from the output on: the report out, the file closed, the
  // pause, and the end of the process without unloading a driver.
  std::vector<std::string> ending() const {
    const auto& calls = platform.calls;
    return {std::find(calls.begin(), calls.end(), "stdout"), calls.end()};
  }
};

const std::vector<std::string> kEnding = {"stdout", "file", "pause", "end process 0"};

// The decoder stalls on the calling thread with a partial line written; the
// encoder stalls on the spare inside a nested step, after it raised a flag,
// and the deadline cuts it and the camera, which never began. When the
// decoder wakes it goes no further: its next guarded step ends it.
TEST(WatchdogTest, StalledChecksKeepCompletedLinesAndRaisedFlagsOnly) {
  Gate decoder_gate;
  Gate encoder_gate;
  int late_steps = 0;
  CheckSet checks;
  checks.decoder = [&](ReportSection& s, bool& available) {
    s << "\tbefore\n\tpartial";
    decoder_gate.wait();
    available = true;
    run_guarded(s, "late", [&] { ++late_steps; });
    s << " line\n\tlate\n";
  };
  checks.gpu_details = [](ReportSection& s) { s << "\tName=GPU\n\n"; };
  checks.encoder = [&](ReportSection& s, bool& available, bool&) {
    available = true;
    s << "\tencoder\n";
    run_guarded(s, "check_encoder_io_media_types",
                [&] { run_guarded(s, "in resolutions", [&] { encoder_gate.wait(); }); });
  };
  checks.camera = [](ReportSection& s, bool& uvc15, bool&) {
    uvc15 = true;
    s << "\tcamera\n";
  };
  WatchedRun run;
  run.platform.on_end_process = [&] {
    decoder_gate.open();
    encoder_gate.open();
  };
  run.go(checks);
  EXPECT_EQ(run.platform.out,
            "Capability Checker v2.4.0.1233\n\n"
            "H.264 Encoding: \t Software*\n"
            "\t *Onboard encoding is supported by the GPU but a supported GPU driver version is "
            "not installed\n"
            "H.264 Decoding: \t Software\n\n"
            "On-board GPU H.264 Encoding Capabilities:\n\n\tencoder\n"
            "\t\t*** Error: in resolutions was still running at the deadline of 1 seconds!\n\n"
            "On-board GPU H.264 Decoding Capabilities:\n\n\tbefore\n"
            "\t\t*** Error: check_hardware_decoder_capability did not answer within 1 seconds!\n\n"
            "GPU details:\n\n\tName=GPU\n\n"
            "Camera Built-in H.264 Encoding Details:\n\n"
            "\t\t*** Error: check_uvc11_camera_capability did not begin: an earlier check did "
            "not answer!\n\n"
            "Endpoint OS\n\t Windows 10 Pro\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(late_steps, 0);
  EXPECT_LT(run.to_report, 2 * kLimit + kLimit / 2);
  // The calling thread and the spare opened COM; neither got to close it.
  const std::vector<std::string>& calls = run.platform.calls;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "CoInitialize"), 2);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "CoUninitialize"), 0);
  EXPECT_EQ(run.ending(), kEnding);
}

// The helpers have run before the first driver call, however slowly they get
// going, and neither ends before the process does: a thread's end runs every
// DLL's detach code, drivers' too.
TEST(WatchdogTest, HelpersRunBeforeTheFirstCallAndStayToTheEnd) {
  Gate gate;
  CheckSet checks;
  checks.decoder = [&](ReportSection&, bool&) { gate.wait(); };
  checks.gpu_details = [](ReportSection& s) { s << "\tName=GPU\n\n"; };
  WatchedRun run;
  run.platform.trace_threads = true;
  run.platform.on_end_process = [&] { gate.open(); };
  run.go(checks);
  const std::vector<std::string>& calls = run.platform.calls;
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
            (std::vector<std::string>{"thread runs", "thread runs", "CoInitialize"}));
  const auto end = std::find(calls.begin(), calls.end(), "end process 0");
  EXPECT_EQ(std::find(calls.begin(), end, "thread ends"), end);
  EXPECT_EQ(std::count(end, calls.end(), "thread ends"), 2);
  // The spare ran the checks after the stalled one.
  EXPECT_NE(run.platform.out.find("\tName=GPU\n"), std::string::npos);
}

// An exception that nothing can handle (one leaving a destructor) ends the
// run where it happens: the whole report with a line for it, the file, the
// pause and the end with 0, never an abort.
TEST(WatchdogDeathTest, TerminateEndsTheRunWithItsReport) {
  struct ExitingPlatform : FakeDriverPlatform {
    void end_process(int status) override {
      std::fputs((out + "|" + files["r.txt"]).c_str(), stderr);
      std::fflush(stderr);
      std::_Exit(status);
    }
  };
  const auto run = [] {
    CheckSet checks;
    checks.decoder = [](ReportSection& s, bool& available) {
      available = true;
      s << "\tdecoder\n";
    };
    checks.gpu_details = [](ReportSection& s) {
      s << "\tName=GPU\n";
      run_guarded(s, "walk", [] { std::terminate(); });
    };
    ExitingPlatform platform;
    FakeOs os;
    const char* argv[] = {"CapabilityChecker.exe", "r.txt"};
    run_checker(2, argv, platform, os, checks, kLimit);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(0),
              "H.264 Decoding: \t Onboard hardware\n.*"
              "GPU details:\n\n\tName=GPU\n"
              "\t\t\\*\\*\\* Error: walk catch undefined exception! LastError: 0\n"
              "Camera Built-in H.264 Encoding Details:\n\n"
              "\t\t\\*\\*\\* Error: check_uvc11_camera_capability did not begin: .*"
              "Endpoint OS\n\t Windows 10 Pro\n\\|Capability Checker");
}

TEST(WatchdogTest, SpareWithoutComEndsTheChecks) {
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
  EXPECT_EQ(run.ending(), kEnding);
}

// Without a spare (no thread could be had for it, or the one started never
// got to run), a stall gives up every check that has not finished at once.
class NoSpareTest : public ::testing::TestWithParam<bool> {};

TEST_P(NoSpareTest, AStallGivesUpTheRestAtOnce) {
  Gate gate;
  CheckSet checks;
  checks.decoder = [&](ReportSection& s, bool&) {
    s << "\tdecoder\n";
    gate.wait();
  };
  checks.gpu_details = [](ReportSection& s) { s << "\tName=GPU\n\n"; };
  WatchedRun run;
  // The spare's start.
  (GetParam() ? run.platform.held_thread_start : run.platform.failing_thread_start) = 0;
  run.platform.on_end_process = [&] { gate.open(); };
  run.go(checks);
  EXPECT_EQ(run.platform.out,
            "Capability Checker v2.4.0.1233\n\n"
            "H.264 Encoding: \t Software\n"
            "H.264 Decoding: \t Software\n\n"
            "On-board GPU H.264 Encoding Capabilities:\n\n"
            "\t\t*** Error: check_hardware_encoder_capability did not begin: an earlier check did "
            "not answer!\n\n"
            "On-board GPU H.264 Decoding Capabilities:\n\n\tdecoder\n"
            "\t\t*** Error: check_hardware_decoder_capability did not answer within 1 seconds!\n\n"
            "GPU details:\n\n"
            "\t\t*** Error: check_supported_video_card did not begin: an earlier check did not "
            "answer!\n"
            "Camera Built-in H.264 Encoding Details:\n\n"
            "\t\t*** Error: check_uvc11_camera_capability did not begin: an earlier check did not "
            "answer!\n\n"
            "Endpoint OS\n\t Windows 10 Pro\n");
  EXPECT_LT(run.to_report, 2 * kLimit + kLimit / 2);
  EXPECT_EQ(run.ending(), kEnding);
}

INSTANTIATE_TEST_SUITE_P(Spare, NoSpareTest, ::testing::Values(false, true), [](const auto& row) {
  return row.param ? "StartedButNeverRuns" : "CannotStart";
});

// Building the report after a stall fails: the process still ends, after
// the pause, instead of aborting.
TEST(WatchdogTest, FailingTakeOverStillEndsTheProcess) {
  Gate gate;
  CheckSet checks;
  checks.camera = [&](ReportSection&, bool&, bool&) { gate.wait(); };
  WatchedRun run;
  run.os.throws = true;
  run.platform.on_end_process = [&] { gate.open(); };
  run.go(checks);
  EXPECT_EQ(run.platform.calls.back(), "end process 0");
}

// A slow check moves, so the limit never cuts it; the run's deadline, twice
// the limit, does, with the lines it completed by then.
struct SlowRow {
  const char* name;
  int lines;
  bool cut;
};

class SlowWriterTest : public ::testing::TestWithParam<SlowRow> {};

TEST_P(SlowWriterTest, OnlyTheDeadlineCutsACheckThatKeepsWriting) {
  const milliseconds limit(400);
  int written = 0;
  CheckSet checks;
  checks.gpu_details = [&](ReportSection& s) {
    for (int i = 0; i < GetParam().lines; ++i) {
      std::this_thread::sleep_for(milliseconds(40));
      s << "\tName=" << i << "\n";
      ++written;
    }
  };
  WatchedRun run;
  run.go(checks, limit);
  const std::string& out = run.platform.out;
  const std::string last = "\tName=" + std::to_string(GetParam().lines - 1) + "\n";
  EXPECT_EQ(out.find(last) == std::string::npos, GetParam().cut) << out;
  EXPECT_EQ(
      out.find("check_supported_video_card was still running at the deadline of 1 seconds!") !=
          std::string::npos,
      GetParam().cut)
      << out;
  EXPECT_NE(out.find("\tName=0\n"), std::string::npos) << out;
  EXPECT_LT(run.to_report, 2 * limit + limit / 2);
  // Cut, it went no further than its next write.
  EXPECT_EQ(written < GetParam().lines, GetParam().cut);
  const std::vector<std::string> calls =
      GetParam().cut
          ? std::vector<std::string>{"CoInitialize", "stdout", "file", "pause", "end process 0"}
          : std::vector<std::string>{"CoInitialize", "CoUninitialize", "stdout",
                                     "file",         "pause",          "end process 0"};
  EXPECT_EQ(run.platform.calls, calls);
}

INSTANTIATE_TEST_SUITE_P(Rows,
                         SlowWriterTest,
                         ::testing::Values(SlowRow{"within_the_deadline", 8, false},
                                           SlowRow{"past_the_deadline", 40, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// COM's start or end that does not answer is named as such, after the
// banner, and costs no check its line: the checks go to the spare.
struct ComStallRow {
  const char* name;
  const char* stuck;  // "CoInitialize" or "CoUninitialize"
  int occurrence;     // which of those calls blocks
  bool decoder_stalls;
  std::string head;  // after the banner
  std::string body;  // from the verdicts on
};

class ComStallTest : public ::testing::TestWithParam<ComStallRow> {};

const char kWholeBody[] =
    "H.264 Encoding: \t Software\nH.264 Decoding: \t Software\n\n"
    "On-board GPU H.264 Encoding Capabilities:\n\n\tencoder\n\n"
    "On-board GPU H.264 Decoding Capabilities:\n\n\tdecoder\n\n"
    "GPU details:\n\n\tName=GPU\n\n"
    "Camera Built-in H.264 Encoding Details:\n\n\tcamera\n\n"
    "Endpoint OS\n\t Windows 10 Pro\n";

TEST_P(ComStallTest, ComThatDoesNotAnswerIsNamed) {
  const ComStallRow& row = GetParam();
  Gate gate;
  std::atomic<int> calls{0};  // from the calling thread and the spare
  const auto block = [&] {
    if (calls++ == row.occurrence)
      gate.wait();
  };
  CheckSet checks;
  checks.decoder = [&](ReportSection& s, bool&) {
    s << "\tdecoder\n";
    if (row.decoder_stalls)
      gate.wait();
  };
  checks.gpu_details = [](ReportSection& s) { s << "\tName=GPU\n\n"; };
  checks.encoder = [](ReportSection& s, bool&, bool&) { s << "\tencoder\n"; };
  checks.camera = [](ReportSection& s, bool&, bool&) { s << "\tcamera\n"; };
  WatchedRun run;
  (std::string(row.stuck) == "CoInitialize" ? run.platform.on_co_initialize
                                            : run.platform.on_co_uninitialize) = block;
  run.platform.on_end_process = [&] { gate.open(); };
  run.go(checks);
  EXPECT_EQ(run.platform.out, "Capability Checker v2.4.0.1233\n\n" + row.head + row.body);
  EXPECT_LT(run.to_report, 2 * kLimit + kLimit / 2);
  EXPECT_EQ(run.ending(), kEnding);
}

INSTANTIATE_TEST_SUITE_P(
    Rows,
    ComStallTest,
    ::testing::Values(
        ComStallRow{"start", "CoInitialize", 0, false,
                    "\t\t*** Error: CoInitialize did not answer within 1 seconds!\n\n", kWholeBody},
        ComStallRow{"end", "CoUninitialize", 0, false,
                    "\t\t*** Error: CoUninitialize did not answer within 1 seconds!\n\n",
                    kWholeBody},
        ComStallRow{"spare_start", "CoInitialize", 1, true,
                    "\t\t*** Error: CoInitialize did not answer within 1 seconds!\n\n",
                    "H.264 Encoding: \t Software\nH.264 Decoding: \t Software\n\n"
                    "On-board GPU H.264 Decoding Capabilities:\n\n\tdecoder\n"
                    "\t\t*** Error: check_hardware_decoder_capability did not answer within 1 "
                    "seconds!\n\n"
                    "Endpoint OS\n\t Windows 10 Pro\n"}),
    [](const auto& info) { return std::string(info.param.name); });

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
