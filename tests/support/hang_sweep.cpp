#include "support/hang_sweep.h"

#include <algorithm>
#include <array>
#include <future>
#include <map>

#include "report/report_texts.h"
#include "report/watchdog.h"
#include "support/scripted_machine.h"

namespace cc::testing {
namespace {

constexpr int kChecks = 4;  // decoder, GPU details, encoder, camera: the order they run in
constexpr int kParallelRuns = 12;

// What a check had when a call was made, and what it had at its end.
struct CheckState {
  std::string kept;  // its section's completed lines
  bool first = false;
  bool second = false;
};

struct Baseline {
  std::array<CheckState, kChecks> final;
  std::map<int, std::pair<int, CheckState>> at_call;    // call index -> (check, state)
  std::array<int, kChecks> first_call{-1, -1, -1, -1};  // each check's first call
};

const char* const kGuardNames[kChecks] = {
    "check_hardware_decoder_capability", "check_supported_video_card",
    "check_hardware_encoder_capability", "check_uvc11_camera_capability"};

// Follows the default machine's checks through one unblocked run and notes,
// at every platform call, what the running check had written and raised.
class Recorder {
 public:
  Baseline record() {
    ScriptedMachine machine;
    machine.script.before_call = [&](int index) {
      baseline_.at_call[index] = {check_, now()};
      if (baseline_.first_call[check_] < 0)
        baseline_.first_call[check_] = index;
    };
    const CheckSet inner = machine.checks();
    CheckSet checks;
    checks.decoder = [&](ReportSection& s, bool& a) {
      follow(0, s, &a, nullptr, [&] { inner.decoder(s, a); });
    };
    checks.gpu_details = [&](ReportSection& s) {
      follow(1, s, nullptr, nullptr, [&] { inner.gpu_details(s); });
    };
    checks.encoder = [&](ReportSection& s, bool& a, bool& b) {
      follow(2, s, &a, &b, [&] { inner.encoder(s, a, b); });
    };
    checks.camera = [&](ReportSection& s, bool& a, bool& b) {
      follow(3, s, &a, &b, [&] { inner.camera(s, a, b); });
    };
    const char* argv[] = {"CapabilityChecker.exe"};
    run_checker(1, argv, machine.driver, machine.os, checks);
    return baseline_;
  }

 private:
  template <typename Body>
  void follow(int check, ReportSection& section, bool* first, bool* second, Body body) {
    check_ = check;
    section_ = &section;
    first_ = first;
    second_ = second;
    body();
    baseline_.final[check] = now();
    baseline_.final[check].kept = section.text();
  }

  CheckState now() const {
    std::string text = section_->text();
    text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    return {text, first_ && *first_, second_ && *second_};
  }

  Baseline baseline_;
  int check_ = 0;
  ReportSection* section_ = nullptr;
  bool* first_ = nullptr;
  bool* second_ = nullptr;
};

// The state kept and the line a check cut short gets: `format` filled with
// the step and the seconds (the limit, or the deadline, twice the limit).
CheckState given_up_at(const CheckState& state,
                       const std::string& step,
                       const char* format = texts::kNoAnswerFormat,
                       int limits = 1) {
  CheckState given_up = state;
  char line[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // one of the report's own formats
  std::snprintf(line, sizeof(line), format, step.c_str(),
                static_cast<int>((limits * kHangSweepLimit.count() + 999) / 1000));
#pragma GCC diagnostic pop
  given_up.kept += "\t\t*** Error: " + std::string(line) + "\n";
  return given_up;
}

// The report of a run whose call `index` never answered: every other check
// as in the baseline, the stuck one with the lines and flags it had then.
// Holding the loader lock, the call also stops the check after it at its
// first call, still running at the deadline, and the ones after that before
// they begin.
std::string expected_report(const Baseline& baseline,
                            const std::vector<MachineCall>& calls,
                            const HangRun& run) {
  const auto& [stuck, then] = baseline.at_call.at(run.call.index);
  std::array<CheckState, kChecks> checks = baseline.final;
  checks[stuck] = given_up_at(then, run.step);
  for (int check = stuck + 1; run.holds_loader_lock && check < kChecks; ++check) {
    const int first = baseline.first_call[check];
    checks[check] = check == stuck + 1
                        ? given_up_at(baseline.at_call.at(first).second,
                                      innermost_guard(calls[first]), texts::kCutAtDeadlineFormat, 2)
                        : given_up_at(CheckState(), kGuardNames[check], texts::kNeverBeganFormat);
  }
  VerdictFlags flags;
  flags.decoder_available = checks[0].first;
  flags.encoder_available = checks[2].first;
  flags.encoder_driver_supported = checks[2].second;
  flags.camera_uvc15 = checks[3].first;
  flags.camera_uvc11 = checks[3].second;
  return std::string("Capability Checker v2.4.0.1233\n\n") +
         "H.264 Encoding: " + encoding_verdict(flags) +
         "H.264 Decoding: " + decoding_verdict(flags) + "\n" + kEncodingHeading + "\n\n" +
         checks[2].kept + "\n" + kDecodingHeading + "\n\n" + checks[0].kept + "\n" +
         kGpuDetailsHeading + "\n\n" + checks[1].kept + kCameraHeading + "\n\n" + checks[3].kept +
         "\n" + "Endpoint OS\n\t Windows 10 Pro\n";
}

HangRun run_blocked(const MachineCall& call, bool holds_loader_lock) {
  HangRun run;
  run.call = call;
  run.holds_loader_lock = holds_loader_lock;
  run.step = innermost_guard(call);
  ScriptedMachine machine;
  machine.script.hang_at(call.index, holds_loader_lock);
  // Should the watchdog never end the run, the call is let go after a while,
  // so that the sweep fails instead of hanging.
  std::promise<void> returned;
  std::thread backstop([&, done = returned.get_future()] {
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
      machine.script.release_hang();
  });
  const auto start = std::chrono::steady_clock::now();
  run.status = machine.run(kHangSweepLimit);
  returned.set_value();
  backstop.join();
  machine.driver.join_released_threads();
  run.report = machine.driver.out;
  run.driver_calls = machine.driver.calls;
  run.live_objects = machine.script.live_objects;
  run.calls_after_release = machine.script.calls_after_release;
  run.thread_starts = machine.driver.thread_starts;
  run.to_report =
      std::chrono::duration_cast<std::chrono::milliseconds>(machine.driver.stdout_at - start);
  return run;
}

std::vector<HangRun> sweep() {
  const std::vector<MachineCall> calls = machine_calls();
  const Baseline baseline = Recorder().record();
  std::vector<HangRun> runs(2 * calls.size());
  // The runs mostly wait for the limit, so several go at once.
  std::vector<std::future<void>> lanes;
  for (int lane = 0; lane < kParallelRuns; ++lane) {
    lanes.push_back(std::async(std::launch::async, [&, lane] {
      for (std::size_t i = lane; i < runs.size(); i += kParallelRuns)
        runs[i] = run_blocked(calls[i / 2], i % 2 == 1);
    }));
  }
  for (auto& lane : lanes)
    lane.get();
  for (HangRun& run : runs)
    run.expected_report = expected_report(baseline, calls, run);
  return runs;
}

}  // namespace

const std::vector<HangRun>& hang_sweep_runs() {
  static const std::vector<HangRun> runs = sweep();
  return runs;
}

}  // namespace cc::testing
