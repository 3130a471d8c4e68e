#include "app/check_workers.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

// What one worker thread shares with the watchdog besides the checks' watches.
struct Worker {
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
  HRESULT com_result = S_OK;
};

// A worker's life: COM up, the checks from `first` on while the watchdog
// keeps them, COM down. Everything it touches is shared, so that a worker left
// behind can wake up late without harm.
void work(DriverPlatform& platform,
          const std::shared_ptr<const CheckSet>& checks,
          const Watches& watches,
          int first,
          const std::shared_ptr<Worker>& worker) {
  const HRESULT hr = platform.co_initialize();
  if (SUCCEEDED(hr)) {
    for (int index = first; index < kCheckCount; ++index) {
      set_thread_check_watch(watches[index].get());
      run_check(index, *checks, *watches[index]);
      set_thread_check_watch(nullptr);
      if (!watches[index]->finish())
        break;  // given up: a fresh worker has the remaining checks
    }
    platform.co_uninitialize();
  }
  {
    std::lock_guard<std::mutex> lock(worker->mutex);
    worker->com_result = hr;
    worker->done = true;
  }
  worker->done_changed.notify_one();
}

// Where the watchdog stands: the check it follows (kCheckCount once all have
// finished), the progress it last saw there, and since when.
struct Sighting {
  int check;
  std::uint64_t progress;
  Clock::time_point since;
};

// What watching one worker came to.
struct Watched {
  bool done = false;        // the worker ended by itself
  int check = kCheckCount;  // else: the check given up (kCheckCount: stuck after the last)
  std::optional<GivenUp> given_up;
};

// One look at the worker's progress; true when it has stalled for the limit,
// with `result` saying where.
bool stalled(Sighting& last,
             const Watches& watches,
             std::chrono::milliseconds limit,
             Watched& result) {
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
  result.check = now.check;
  if (now.check == kCheckCount)
    return true;  // stuck after its checks, in COM's shutdown
  result.given_up = watches[now.check]->give_up(now.progress);
  return result.given_up.has_value();  // else it moved on just now
}

Watched watch_worker(Worker& worker,
                     const Watches& watches,
                     int first,
                     std::chrono::milliseconds limit) {
  // Progress is looked at a few times per limit; only the end is signalled.
  const std::chrono::milliseconds tick =
      std::clamp(limit / 10, std::chrono::milliseconds(1), std::chrono::milliseconds(1000));
  Sighting last{first, 0, Clock::now()};
  Watched result;
  std::unique_lock<std::mutex> lock(worker.mutex);
  while (!worker.done_changed.wait_for(lock, tick, [&] { return worker.done; })) {
    lock.unlock();
    if (stalled(last, watches, limit, result))
      return result;
    lock.lock();
  }
  result.done = true;
  return result;
}

// Starts a worker thread; where the system cannot start one, the checks run
// on the calling thread without a watchdog, as a run without threads would.
std::optional<std::thread> start_worker(DriverPlatform& platform,
                                        const std::shared_ptr<const CheckSet>& checks,
                                        const Watches& watches,
                                        int first,
                                        const std::shared_ptr<Worker>& worker) {
  try {
    return std::thread(work, std::ref(platform), checks, watches, first, worker);
  } catch (const std::system_error&) {
    work(platform, checks, watches, first, worker);
    return std::nullopt;
  }
}

void collect_finished(const Watches& watches, CheckRun& run) {
  for (int index = 0; index < kCheckCount; ++index) {
    CheckOutcome& outcome = run.checks[index];
    if (outcome.ran && !outcome.unanswered_step) {
      outcome.text = watches[index]->finished_text();
      outcome.flags = watches[index]->finished_flags();
    }
  }
}

}  // namespace

CheckRun run_checks_on_workers(DriverPlatform& platform,
                               const CheckSet& checks,
                               std::chrono::milliseconds limit) {
  CheckRun run;
  const auto shared_checks = std::make_shared<const CheckSet>(checks);
  Watches watches;
  for (auto& watch : watches)
    watch = std::make_shared<CheckWatch>();
  int first = 0;
  while (first < kCheckCount) {
    const auto worker = std::make_shared<Worker>();
    std::optional<std::thread> thread =
        start_worker(platform, shared_checks, watches, first, worker);
    Watched watched = thread ? watch_worker(*worker, watches, first, limit) : Watched{true};
    if (watched.done) {
      if (thread)
        thread->join();
      if (FAILED(worker->com_result))
        run.com_failure = worker->com_result;
      else
        for (int index = first; index < kCheckCount; ++index)
          run.checks[index].ran = true;
      break;
    }
    platform.abandon_thread(std::move(*thread));
    run.abandoned_thread = true;
    for (int index = first; index < watched.check; ++index)
      run.checks[index].ran = true;
    if (watched.given_up) {
      CheckOutcome& outcome = run.checks[watched.check];
      outcome.ran = true;
      outcome.text = std::move(watched.given_up->text);
      // Stuck before its own guard was entered, it is named after itself.
      outcome.unanswered_step =
          watched.given_up->step.empty() ? kCheckNames[watched.check] : watched.given_up->step;
      outcome.flags = watched.given_up->flags;
    }
    first = watched.check + 1;
  }
  collect_finished(watches, run);
  return run;
}

}  // namespace cc
