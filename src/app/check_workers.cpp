#include "app/check_workers.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "report/com_error.h"

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
    if (watches[index]->given_up())
      return false;  // stuck before it started (in COM's start-up)
    set_thread_check_watch(watches[index].get());
    run_check(index, checks, *watches[index]);
    set_thread_check_watch(nullptr);
    if (!watches[index]->finish())
      return false;
  }
  return true;
}

// Where the watchdog stands on a run: the check it follows (kCheckCount once
// all have finished), the progress it last saw there, and since when.
struct Sighting {
  int check;
  std::uint64_t progress;
  Clock::time_point since;
};

// Where a thread stalled: the check given up, or kCheckCount when it stalled
// after its last check (in COM's shutdown), with what counts of that check.
struct Stall {
  int check = kCheckCount;
  std::optional<GivenUp> given_up;
};

// One look at the progress; true when it has stood still for the limit, with
// `stall` saying where.
bool stalled(Sighting& last,
             const Watches& watches,
             std::chrono::milliseconds limit,
             Stall& stall) {
  Sighting now{last.check, 0, Clock::now()};
  std::optional<std::uint64_t> progress;
  while (now.check < kCheckCount && !(progress = watches[now.check]->progress()))
    ++now.check;
  now.progress = progress.value_or(0);
  if (now.check != last.check || now.progress != last.progress) {
    last = now;
    return false;
  }
  if (now.since - last.since < limit)
    return false;
  stall.check = now.check;
  if (now.check == kCheckCount)
    return true;
  stall.given_up = watches[now.check]->give_up(now.progress);
  return stall.given_up.has_value();  // else it moved on just now
}

// How often a run's progress is looked at.
std::chrono::milliseconds tick(std::chrono::milliseconds limit) {
  return std::clamp(limit / 10, std::chrono::milliseconds(1), std::chrono::milliseconds(1000));
}

// One run, shared by the thread that runs its checks, the watchdog, and the
// threads that take over after a stall; each holds it, so that a thread left
// behind can wake up late without harm.
struct WatchedRun {
  WatchedRun(DriverPlatform& platform, const CheckSet& checks, std::chrono::milliseconds limit)
      : platform(platform), checks(checks), limit(limit) {
    for (auto& watch : watches)
      watch = std::make_shared<CheckWatch>();
  }

  DriverPlatform& platform;
  const CheckSet checks;
  const std::chrono::milliseconds limit;
  Watches watches;
  std::function<void(const CheckRun&)> take_over_end;
  Sighting last{0, 0, Clock::now()};  // the watchdog's alone

  std::mutex mutex;
  std::condition_variable ended_changed;
  // Whoever ends the run has claimed it: the thread that got through the
  // checks, or the watchdog after a stall.
  bool claimed = false;
  // The watchdog's side has ended the run (where ending the process returns).
  bool ended = false;
};

bool claim(WatchedRun& run) {
  std::lock_guard<std::mutex> lock(run.mutex);
  if (run.claimed)
    return false;
  run.claimed = true;
  return true;
}

// A thread that was given up and woke up late: what its caller holds must
// stay until the run has been ended for it.
void wait_for_take_over(WatchedRun& run) {
  std::unique_lock<std::mutex> lock(run.mutex);
  run.ended_changed.wait(lock, [&] { return run.ended; });
}

void record_turns(int first, int end, CheckRun& outcome) {
  for (int index = first; index < std::min<int>(end, kCheckCount); ++index)
    outcome.checks[index].ran = true;
}

void record_given_up(const Stall& stall, CheckRun& outcome) {
  if (!stall.given_up)
    return;
  CheckOutcome& check = outcome.checks[stall.check];
  check.ran = true;
  check.text = stall.given_up->text;
  // Stuck before its own guard was entered, a check is named after itself.
  check.unanswered_step =
      stall.given_up->step.empty() ? kCheckNames[stall.check] : stall.given_up->step;
  check.flags = stall.given_up->flags;
}

void collect_finished(const Watches& watches, CheckRun& outcome) {
  for (int index = 0; index < kCheckCount; ++index) {
    CheckOutcome& check = outcome.checks[index];
    if (check.ran && !check.unanswered_step) {
      check.text = watches[index]->finished_text();
      check.flags = watches[index]->finished_flags();
    }
  }
}

// What one worker thread shares with the thread that follows it.
struct Worker {
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
  HRESULT com_result = S_OK;
};

void work(const std::shared_ptr<WatchedRun>& run,
          int first,
          const std::shared_ptr<Worker>& worker) {
  const HRESULT hr = run->platform.co_initialize();
  if (SUCCEEDED(hr)) {
    run_checks_from(first, run->checks, run->watches);
    run->platform.co_uninitialize();
  }
  {
    std::lock_guard<std::mutex> lock(worker->mutex);
    worker->com_result = hr;
    worker->done = true;
  }
  worker->done_changed.notify_one();
}

// Follows a worker until it is done (false) or stalls (true, with `stall`).
bool follow(Worker& worker, const WatchedRun& run, int first, Stall& stall) {
  Sighting last{first, 0, Clock::now()};
  std::unique_lock<std::mutex> lock(worker.mutex);
  while (!worker.done_changed.wait_for(lock, tick(run.limit), [&] { return worker.done; })) {
    lock.unlock();
    const bool stopped = stalled(last, run.watches, run.limit, stall);
    lock.lock();
    if (stopped)
      return true;
  }
  return false;
}

// Runs the checks from `first` on fresh workers with COM of their own, each
// followed under the limit; a worker that stalls is let go and the checks
// after it get a new one.
void run_on_workers(const std::shared_ptr<WatchedRun>& run, int first, CheckRun& outcome) {
  while (first < kCheckCount) {
    const auto worker = std::make_shared<Worker>();
    std::thread thread;
    try {
      thread = std::thread(work, run, first, worker);
    } catch (const std::system_error&) {
      work(run, first, worker);  // no thread to be had: run them here, unfollowed
    }
    Stall stall;
    if (!thread.joinable() || !follow(*worker, *run, first, stall)) {
      if (thread.joinable())
        thread.join();
      if (FAILED(worker->com_result))
        outcome.com_failure = worker->com_result;
      else
        record_turns(first, kCheckCount, outcome);
      return;
    }
    run->platform.release_thread(std::move(thread));
    record_turns(first, stall.check, outcome);
    record_given_up(stall, outcome);
    first = stall.check + 1;
  }
}

// After a stall of the thread that ran the checks: the rest of the run, on a
// thread of its own.
void take_over(const std::shared_ptr<WatchedRun>& run, const Stall& stall) {
  {
    // Taken while the watchdog hands this thread to the platform: the run,
    // and with it the platform, must not end before that.
    std::lock_guard<std::mutex> lock(run->mutex);
  }
  CheckRun outcome;
  record_turns(0, stall.check, outcome);
  record_given_up(stall, outcome);
  run_on_workers(run, stall.check + 1, outcome);
  collect_finished(run->watches, outcome);
  run->take_over_end(outcome);
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    run->ended = true;
  }
  run->ended_changed.notify_all();
}

// The process's watchdog: one thread, started with the first run, that looks
// at the progress of every run being watched a few times per limit. Starting
// a thread per run would cost more than the rest of the watching together.
// It lives as long as the process, so it is never destroyed.
class Watchdog {
 public:
  // nullptr when no thread could be started.
  static Watchdog* instance() {
    static Watchdog* const watchdog = start();
    return watchdog;
  }

  void watch(const std::shared_ptr<WatchedRun>& run) {
    std::lock_guard<std::mutex> lock(mutex_);
    runs_.push_back(run);
    if (tick(run->limit) < period_)
      changed_.notify_one();  // it looks more often from now on
  }

  void forget(const WatchedRun* run) {
    std::lock_guard<std::mutex> lock(mutex_);
    runs_.erase(std::remove_if(runs_.begin(), runs_.end(),
                               [&](const auto& watched) { return watched.get() == run; }),
                runs_.end());
  }

 private:
  static Watchdog* start() {
    auto* watchdog = new Watchdog;
    try {
      std::thread(&Watchdog::loop, watchdog).detach();
    } catch (const std::system_error&) {
      delete watchdog;
      return nullptr;  // runs go unwatched, as they would without a watchdog
    }
    return watchdog;
  }

  void loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      period_ = std::chrono::milliseconds(1000);
      for (const auto& run : runs_)
        period_ = std::min(period_, tick(run->limit));
      changed_.wait_for(lock, period_);
      const std::vector<std::shared_ptr<WatchedRun>> runs = runs_;
      lock.unlock();
      for (const auto& run : runs)
        look_at(run);
      lock.lock();
    }
  }

  void look_at(const std::shared_ptr<WatchedRun>& run) {
    Stall stall;
    if (!stalled(run->last, run->watches, run->limit, stall) || !claim(*run))
      return;
    forget(run.get());
    // Ending the run may take long (the other checks, the pause), and other
    // runs are still to be watched meanwhile.
    try {
      std::lock_guard<std::mutex> lock(run->mutex);
      run->platform.release_thread(std::thread(take_over, run, stall));
    } catch (const std::system_error&) {
      take_over(run, stall);
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<WatchedRun>> runs_;
  std::chrono::milliseconds period_{1000};
};

}  // namespace

std::optional<CheckRun> run_checks_watched(DriverPlatform& platform,
                                           const CheckSet& checks,
                                           std::chrono::milliseconds limit,
                                           std::function<void(const CheckRun&)> take_over_end) {
  const auto run = std::make_shared<WatchedRun>(platform, checks, limit);
  run->take_over_end = std::move(take_over_end);
  Watchdog* const watchdog = Watchdog::instance();
  if (watchdog)
    watchdog->watch(run);
  CheckRun outcome;
  const HRESULT hr = platform.co_initialize();
  bool kept = true;
  if (FAILED(hr)) {
    outcome.com_failure = hr;
  } else {
    kept = run_checks_from(0, run->checks, run->watches);
    platform.co_uninitialize();
    record_turns(0, kCheckCount, outcome);
  }
  if (!kept || !claim(*run)) {
    wait_for_take_over(*run);  // the watchdog gave a check up and ended the run
    return std::nullopt;
  }
  if (watchdog)
    watchdog->forget(run.get());
  collect_finished(run->watches, outcome);
  return outcome;
}

}  // namespace cc
