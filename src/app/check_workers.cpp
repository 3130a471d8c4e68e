#include "app/check_workers.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "report/com_error.h"
#include "report/fault_guard.h"

namespace cc {
namespace {

using Clock = std::chrono::steady_clock;
using Watches = std::array<std::shared_ptr<CheckWatch>, kCheckCount>;

// The names the checks' guards carry.
const char* const kCheckNames[kCheckCount] = {
    "check_hardware_decoder_capability", "check_supported_video_card",
    "check_hardware_encoder_capability", "check_uvc11_camera_capability"};

// Calls check `index`, if this build has it, inside its guard.
void run_check(int index, const CheckSet& checks, CheckWatch& watch) {
  ReportSection& section = watch.section();
  WatchedFlags& flags = watch.flags;
  const char* name = kCheckNames[index];
  if (index == kDecoderCheck && checks.decoder)
    run_guarded(section, name, [&] { checks.decoder(section, flags.first); });
  else if (index == kGpuDetailsCheck && checks.gpu_details)
    run_guarded(section, name, [&] { checks.gpu_details(section); });
  else if (index == kEncoderCheck && checks.encoder)
    run_guarded(section, name, [&] { checks.encoder(section, flags.first, flags.second); });
  else if (index == kCameraCheck && checks.camera)
    run_guarded(section, name, [&] { checks.camera(section, flags.first, flags.second); });
}

// Runs the checks from `first` on the calling thread, inside COM that the
// caller set up; false when the watchdog gave one up meanwhile.
bool run_checks_from(int first, const CheckSet& checks, const Watches& watches) {
  for (int index = first; index < kCheckCount; ++index) {
    if (!watches[index]->begin())
      return false;  // given up before it started
    set_thread_check_watch(watches[index].get());
    bool ended = false;
    try {
      run_check(index, checks, *watches[index]);
    } catch (const CheckGivenUp&) {
      ended = true;  // it woke after it was given up, and went no further
    }
    set_thread_check_watch(nullptr);
    if (ended || !watches[index]->finish())
      return false;
  }
  return true;
}

// Where a thread that runs checks stands.
enum class Stage { kWaiting, kComStart, kChecks, kComEnd, kDone };

// The threads that run checks: the calling thread, and the spare that waits
// for the checks a stall leaves.
enum LaneIndex { kCallerLane, kSpareLane, kLaneCount };

struct Lane {
  Stage stage = Stage::kWaiting;
  int first = 0;  // the first check it runs
  HRESULT com_result = S_OK;
  bool com_up = false;    // its CoInitialize answered, and succeeded
  bool given_up = false;  // the watchdog let it go: it makes no more calls
};

// Who ends the run: the calling thread when it got through, else the watchdog.
enum class Owner { kNobody, kCaller, kWatchdog };

// What the spare is told: nothing yet, the first check to run, or to end.
constexpr int kNoOrder = -1;
constexpr int kQuit = -2;

// How often a run's progress is looked at.
std::chrono::milliseconds tick(std::chrono::milliseconds limit) {
  return std::clamp(limit / 10, std::chrono::milliseconds(1), std::chrono::milliseconds(1000));
}

// One run, shared by the threads that run its checks and the watchdog; each
// holds it, so that a thread left behind can wake up late without harm.
struct WatchedRun {
  WatchedRun(DriverPlatform& platform, const CheckSet& checks, std::chrono::milliseconds limit)
      : platform(platform), checks(checks), limit(limit), deadline(Clock::now() + 2 * limit) {
    for (auto& watch : watches)
      watch = std::make_shared<CheckWatch>();
  }

  DriverPlatform& platform;
  const CheckSet checks;
  const std::chrono::milliseconds limit;
  // Whatever the drivers do, the report is written by then.
  const Clock::time_point deadline;
  Watches watches;
  std::function<void(const CheckRun&)> end;

  // The watchdog's alone.
  std::array<std::optional<GivenUp>, kCheckCount> given_up;
  bool com_start_stalled = false;
  bool com_end_stalled = false;

  std::mutex mutex;
  std::condition_variable changed;
  // Under the mutex.
  std::array<Lane, kLaneCount> lanes;
  int followed = kCallerLane;  // the lane the watchdog follows
  bool spare_started = false;
  int spare_order = kNoOrder;
  Owner owner = Owner::kNobody;
  bool spare_running = false;     // the spare reported that it runs
  bool watchdog_running = false;  // so did the watchdog
  // The last cut came after the followed lane stood still for the limit (else
  // the deadline, or a crash, cut a check that still moved).
  bool stall_cut = false;
  bool ending = false;  // a thread is ending the run
  bool ended = false;   // the run has been ended: the helpers may go
};

// The run under way, for the terminate handler.
std::atomic<WatchedRun*> g_run{nullptr};
// The lane the calling thread runs checks in (-1: none), and whether it is
// the thread that ends the run.
thread_local int t_lane = -1;
thread_local bool t_ending = false;

// A helper says so once it runs: a thread that has only been created runs no
// code of ours before the loader lets it (its DLL_THREAD_ATTACH calls).
void report_running(WatchedRun& run, bool WatchedRun::*running) {
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    run.*running = true;
  }
  run.changed.notify_all();
}

// A thread that runs checks, or was given up, stays until the run has been
// ended: a thread's exit runs every DLL's DLL_THREAD_DETACH, drivers' too.
void wait_for_take_over(WatchedRun& run) {
  std::unique_lock<std::mutex> lock(run.mutex);
  run.changed.wait(lock, [&] { return run.ended; });
}

// Moves a lane on; false when the watchdog let it go meanwhile, in which case
// its thread makes no further call.
bool enter(WatchedRun& run, int lane, Stage stage, HRESULT com_result = S_OK) {
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    Lane& state = run.lanes[lane];
    if (state.given_up)
      return false;
    state.stage = stage;
    if (stage == Stage::kChecks)
      state.com_up = true;
    state.com_result = com_result;
  }
  run.changed.notify_all();
  return true;
}

// The checks from `first` under COM of the thread's own; false when the
// watchdog let the lane go.
bool run_lane(WatchedRun& run, int lane, int first) {
  t_lane = lane;
  if (!enter(run, lane, Stage::kComStart))
    return false;
  const HRESULT hr = run.platform.co_initialize();
  if (FAILED(hr))
    return enter(run, lane, Stage::kDone, hr);
  if (!enter(run, lane, Stage::kChecks) || !run_checks_from(first, run.checks, run.watches) ||
      !enter(run, lane, Stage::kComEnd))
    return false;
  run.platform.co_uninitialize();
  return enter(run, lane, Stage::kDone);
}

// The spare: waits, from before COM starts, for the checks a stall leaves.
void serve_as_spare(const std::shared_ptr<WatchedRun>& run) {
  report_running(*run, &WatchedRun::spare_running);
  int first;
  {
    std::unique_lock<std::mutex> lock(run->mutex);
    run->changed.wait(lock, [&] { return run->spare_order != kNoOrder; });
    first = run->spare_order;
  }
  if (first != kQuit)
    run_lane(*run, kSpareLane, first);
  wait_for_take_over(*run);
}

// Why check `index`, found unfinished when the run ended, was cut short.
CutShort cut_short(const WatchedRun& run, const GivenUp& given_up) {
  if (!given_up.began)
    return CutShort::kNeverBegan;
  if (given_up.crashed)
    return CutShort::kCrashed;
  return run.stall_cut ? CutShort::kNoAnswer : CutShort::kAtDeadline;
}

// What the checks left: each check whose lane had COM had its turn; one that
// has not finished by now is given up (named after itself if it never began).
// So is each check handed to a spare that never got to begin: it had its
// turn, and no COM failure or COM stall stands for it.
CheckRun collect(WatchedRun& run) {
  std::array<Lane, kLaneCount> lanes;
  int spare_first;
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    lanes = run.lanes;
    spare_first = run.spare_order >= 0 ? run.spare_order : kCheckCount;
  }
  // Given up by the watchdog before: the check stood still for the limit.
  std::array<bool, kCheckCount> stalled;
  for (int index = 0; index < kCheckCount; ++index)
    stalled[index] = run.given_up[index].has_value();
  CheckRun outcome;
  outcome.com_start_stalled = run.com_start_stalled;
  outcome.com_end_stalled = run.com_end_stalled;
  for (int index = 0; index < kCheckCount; ++index) {
    const Lane& lane = lanes[index < spare_first ? kCallerLane : kSpareLane];
    if (FAILED(lane.com_result))
      outcome.com_failure = lane.com_result;
    const bool never_began = index >= spare_first && lane.stage == Stage::kWaiting;
    if (!lane.com_up && !never_began)
      continue;
    CheckOutcome& check = outcome.checks[index];
    check.ran = true;
    std::optional<GivenUp>& given_up = run.given_up[index];
    if (!given_up)
      given_up = run.watches[index]->give_up(std::nullopt);
    if (!given_up) {
      check.text = run.watches[index]->finished_text();
      check.flags = run.watches[index]->finished_flags();
      continue;
    }
    check.text = given_up->text;
    check.unanswered_step = given_up->step.empty() ? kCheckNames[index] : given_up->step;
    check.cut = stalled[index] ? CutShort::kNoAnswer : cut_short(run, *given_up);
    check.last_error = given_up->last_error;
    check.flags = given_up->flags;
  }
  return outcome;
}

// The watchdog's end of a run: the report from what the checks left, and the
// end of the process. Nothing that throws here may cost the report.
void finish(WatchedRun& run) {
  t_ending = true;
  set_thread_check_watch(nullptr);  // ended from a check's thread, the report is no check's
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    run.ending = true;
  }
  CheckRun outcome;
  try {
    outcome = collect(run);
  } catch (...) {
    outcome = CheckRun();  // the report's frame at least
  }
  try {
    run.end(outcome);
  } catch (...) {
  }
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    run.ended = true;
    if (run.spare_order == kNoOrder)
      run.spare_order = kQuit;  // it has nothing to do
  }
  run.changed.notify_all();
}

// Takes the run from the calling thread while it stands at `stage`; false
// when it got through, or moved on, meanwhile.
bool take_from_caller(WatchedRun& run, Stage stage) {
  std::lock_guard<std::mutex> lock(run.mutex);
  if (run.owner != Owner::kNobody || run.lanes[kCallerLane].stage != stage)
    return false;
  run.owner = Owner::kWatchdog;
  run.lanes[kCallerLane].given_up = true;
  return true;
}

// Every check that has not finished is given up at once, and the run ends;
// false when the calling thread got through first.
bool cut(WatchedRun& run, bool stalled) {
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    if (run.owner == Owner::kCaller)
      return false;
    run.owner = Owner::kWatchdog;
    run.stall_cut = stalled;
    const Stage stage = run.lanes[run.followed].stage;
    run.com_start_stalled = run.com_start_stalled || stage == Stage::kComStart;
    run.com_end_stalled = run.com_end_stalled || stage == Stage::kComEnd;
    for (Lane& lane : run.lanes)
      lane.given_up = true;
  }
  run.changed.notify_all();
  finish(run);
  return true;
}

// After the calling thread was let go: the checks from `first` go to the
// spare, or, with none left or no spare, the run ends.
bool hand_over(WatchedRun& run, int first) {
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    if (first < kCheckCount && run.spare_started) {
      run.lanes[kSpareLane].first = first;
      run.spare_order = first;
      run.followed = kSpareLane;
      first = kNoOrder;
    }
  }
  if (first == kNoOrder) {
    run.changed.notify_all();
    return false;
  }
  return cut(run, true);
}

// Where the watchdog saw the lane it follows, and since when.
struct Sighting {
  int lane = kCallerLane;
  Stage stage = Stage::kWaiting;
  int check = 0;  // the first check of the lane's that has not finished
  std::uint64_t progress = 0;
  Clock::time_point since;

  bool same_place(const Sighting& other) const {
    return lane == other.lane && stage == other.stage && check == other.check &&
           progress == other.progress;
  }
};

Sighting sight(WatchedRun& run) {
  Sighting now;
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    now.lane = run.followed;
    now.stage = run.lanes[now.lane].stage;
    now.check = run.lanes[now.lane].first;
  }
  std::optional<std::uint64_t> progress;
  while (now.check < kCheckCount && !(progress = run.watches[now.check]->progress()))
    ++now.check;
  now.progress = progress.value_or(0);
  now.since = Clock::now();
  return now;
}

// The calling thread stood still at `at` for the limit: its check is given
// up, or COM's start or end is named, and the rest goes on elsewhere.
bool caller_stalled(WatchedRun& run, const Sighting& at) {
  switch (at.stage) {
    case Stage::kComStart:
      if (!take_from_caller(run, at.stage))
        return false;
      run.com_start_stalled = true;
      return hand_over(run, 0);
    case Stage::kChecks: {
      if (at.check == kCheckCount)
        return false;  // on its way to COM's end
      std::optional<GivenUp> given_up = run.watches[at.check]->give_up(at.progress);
      if (!given_up)
        return false;  // it moved on just now
      // With its check unfinished, the calling thread cannot have ended the
      // run, nor left the checks.
      take_from_caller(run, at.stage);
      run.given_up[at.check] = std::move(given_up);
      return hand_over(run, at.check + 1);
    }
    case Stage::kComEnd:
      if (!take_from_caller(run, at.stage))
        return false;
      run.com_end_stalled = true;
      finish(run);
      return true;
    default:
      return false;  // not started yet, or done and about to end the run
  }
}

// One look at the run; true once the watchdog has ended it.
bool look(WatchedRun& run, Sighting& last) {
  const Sighting now = sight(run);
  if (now.since >= run.deadline)
    return cut(run, now.same_place(last) && now.since - last.since >= run.limit);
  if (now.lane == kSpareLane && now.stage == Stage::kDone) {
    finish(run);
    return true;
  }
  if (!now.same_place(last)) {
    last = now;
    return false;
  }
  if (now.since - last.since < run.limit)
    return false;
  const bool over = now.lane == kSpareLane ? cut(run, true) : caller_stalled(run, now);
  last = sight(run);
  return over;
}

// The watchdog's thread: follows the run until the calling thread gets
// through, or ends the run itself.
void watch(const std::shared_ptr<WatchedRun>& run) {
  report_running(*run, &WatchedRun::watchdog_running);
  Sighting last = sight(*run);
  std::unique_lock<std::mutex> lock(run->mutex);
  // Woken early only when there is something to do: the calling thread got
  // through, or the spare did.
  const auto woken = [&] {
    return run->owner == Owner::kCaller || run->lanes[kSpareLane].stage == Stage::kDone;
  };
  for (;;) {
    const auto left = std::max(run->deadline - Clock::now(), Clock::duration::zero());
    run->changed.wait_for(lock, std::min<Clock::duration>(tick(run->limit), left), woken);
    if (run->owner == Owner::kCaller) {
      run->changed.wait(lock, [&] { return run->ended; });
      return;
    }
    lock.unlock();
    bool over;
    try {
      over = look(*run, last);
    } catch (...) {
      over = cut(*run, false);  // whatever failed, the report still comes
    }
    lock.lock();
    if (over)
      return;
  }
}

// The calling thread got through: it ends the run.
bool claim_for_caller(WatchedRun& run) {
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    if (run.owner != Owner::kNobody)
      return false;
    run.owner = Owner::kCaller;
  }
  run.changed.notify_all();
  return true;
}

// After the calling thread ended the run: the spare and the watchdog go.
void release_helpers(WatchedRun& run) {
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    run.ended = true;
    if (run.spare_order == kNoOrder)
      run.spare_order = kQuit;
  }
  run.changed.notify_all();
}

// The clocks and timed waits that the helpers use resolve system functions
// on first use (the precise system time through GetProcAddress, which takes
// the loader lock on Windows 7): resolved here, before any driver runs.
void prime_clocks(WatchedRun& run) {
  Clock::now();
  std::chrono::system_clock::now();
  std::unique_lock<std::mutex> lock(run.mutex);
  run.changed.wait_for(lock, std::chrono::microseconds(1));
}

// How long the run waits for its helpers to run: on Windows a thread runs in
// microseconds (Wine takes milliseconds), unless another holds the loader.
std::chrono::milliseconds helper_start_bound(std::chrono::milliseconds limit) {
  return std::min<std::chrono::milliseconds>(limit / 2, std::chrono::seconds(2));
}

// Starts the spare and the watchdog and waits (bounded) until both run. A
// spare that is late still takes the checks a stall leaves; should it never
// run, the deadline cuts them. False when there is no watchdog.
bool start_helpers(const std::shared_ptr<WatchedRun>& run) {
  prime_clocks(*run);
  const bool spare = run->platform.start_thread([run] { serve_as_spare(run); });
  const bool watchdog = run->platform.start_thread([run] { watch(run); });
  {
    std::unique_lock<std::mutex> lock(run->mutex);
    run->changed.wait_for(lock, helper_start_bound(run->limit), [&] {
      return (!spare || run->spare_running) && (!watchdog || run->watchdog_running);
    });
    run->spare_started = spare;
  }
  if (watchdog)
    return true;
  claim_for_caller(*run);  // the run goes unwatched, as it would without a watchdog
  return false;
}

// The terminate handler's side of a run: whether the calling thread may end
// it. Not when another thread ends it already, nor when the calling thread
// was given up (the run goes on without it).
bool take_for_terminate(WatchedRun& run) {
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    if (run.ending || (t_lane >= 0 && run.lanes[t_lane].given_up))
      return false;
    run.owner = Owner::kNobody;  // an unwatched run's caller has not ended it yet
  }
  if (CheckWatch* watch = thread_check_watch())
    watch->crashed(last_error_code());
  return true;
}

// Reached when an exception could not be handled (one leaving a destructor,
// say). A guard on the thread reports it as a fault and the run goes on;
// otherwise the run ends here, with its report, as after a stall.
[[noreturn]] void end_run_on_terminate() {
  resume_guard_after_terminate();
  WatchedRun* run = g_run.load();
  if (!run)
    std::abort();
  if (t_ending)
    run->platform.end_process(0);  // ending the run failed: what was written stays
  else if (take_for_terminate(*run))
    cut(*run, false);
  // Another thread ends the run and the process.
  for (;;)
    std::this_thread::sleep_for(std::chrono::hours(1));
}

}  // namespace

void run_checks_watched(DriverPlatform& platform,
                        const CheckSet& checks,
                        std::chrono::milliseconds limit,
                        std::function<void(const CheckRun&)> end) {
  const auto run = std::make_shared<WatchedRun>(platform, checks, limit);
  run->end = std::move(end);
  g_run.store(run.get());
  const std::terminate_handler previous = std::set_terminate(&end_run_on_terminate);
  const bool watched = start_helpers(run);
  const bool through = run_lane(*run, kCallerLane, 0);
  if (!through || (watched && !claim_for_caller(*run))) {
    wait_for_take_over(*run);  // the watchdog gave a check up and ended the run
    std::set_terminate(previous);
    g_run.store(nullptr);
    return;
  }
  t_ending = true;
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    run->ending = true;
  }
  CheckRun outcome;
  try {
    outcome = collect(*run);
  } catch (...) {
    outcome = CheckRun();  // the report's frame at least
  }
  run->end(outcome);
  release_helpers(*run);
  t_ending = false;
  std::set_terminate(previous);
  g_run.store(nullptr);
}

}  // namespace cc
