// The script behind every fake platform: logs each call by name, makes chosen
// calls fail, throw or block, and counts the fake objects still alive so that
// tests can prove everything was released on every path. Calls may come from
// several threads (the checks' workers).
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "report/com_error.h"

namespace cc::testing {

class FakeScript {
 public:
  enum class Action { kFail, kThrowComError, kThrowUndefined };

  // The occurrence-th call (0-based) named `call`, or every such call when
  // occurrence is nullopt, returns hr / throws.
  void fail(const std::string& call, HRESULT hr, std::optional<int> occurrence = std::nullopt) {
    rules_[call].push_back({Action::kFail, hr, occurrence});
  }
  void raise(const std::string& call,
             std::optional<int> occurrence = std::nullopt,
             Action action = Action::kThrowComError) {
    rules_[call].push_back({action, E_FAIL, occurrence});
  }
  // The index-th call overall (0-based) fails or throws; for fault sweeps.
  void fault_at(int index, Action action, HRESULT hr = E_FAIL) {
    sweep_index_ = index;
    sweep_action_ = action;
    sweep_hr_ = hr;
  }

  // The index-th release of a fake object (0-based) crashes: it throws from
  // the object's destructor, which std::terminate ends, as a driver's
  // Release that faults inside ComPtr's noexcept destructor does.
  void fault_at_release(int index) { release_fault_ = index; }
  // The first release after the call at index (made while that call's
  // failure unwinds, or later) crashes.
  void fault_release_after_call(int index) { release_fault_after_call_ = index; }
  void on_release() {
    const int release = releases++;
    const bool after_call =
        release_fault_after_call_ && static_cast<int>(calls.size()) > *release_fault_after_call_;
    if (release == release_fault_ || after_call) {
      release_fault_ = -1;
      release_fault_after_call_.reset();
      throw 7;
    }
  }
  std::atomic<int> releases{0};

  // The index-th call overall (0-based) does not return until release_hang;
  // for hang sweeps. Set before the run. Holding the loader lock (a driver
  // stuck while its library loads or unloads), it also blocks every later
  // call, any of which may load a library, and every thread start.
  void hang_at(int index, bool holds_loader_lock = false) {
    hang_indices_.push_back(index);
    holds_loader_lock_ = holds_loader_lock;
  }
  // A thread start: blocks while a blocked call holds the loader lock.
  void on_thread_start() {
    std::unique_lock<std::mutex> lock(mutex_);
    released_changed_.wait(lock, [this] { return !loader_locked_ || released_; });
  }
  void release_hang() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released_ = true;
    }
    released_changed_.notify_all();
  }

  // Called by the fakes at each platform call; returns the HRESULT the call
  // answers (success unless scripted), or throws.
  HRESULT on(const std::string& call, HRESULT success = S_OK) {
    if (hang_indices_.empty())
      return answer(call, log(call), success);
    // Only a script with blocking calls has calls from several threads.
    std::unique_lock<std::mutex> lock(mutex_);
    if (released_)
      calls_after_release.push_back(call);  // only a thread that woke can make these
    const Logged logged = log(call);
    if (std::find(hang_indices_.begin(), hang_indices_.end(), logged.index) !=
            hang_indices_.end() ||
        loader_locked_) {
      loader_locked_ = loader_locked_ || holds_loader_lock_;
      released_changed_.wait(lock, [this] { return released_; });
    }
    return answer(call, logged, success);
  }

  // Logs a call that cannot fail (a release, say), which may come from a
  // check given up while the spare makes calls of its own.
  void note(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back(call);
  }

  int count(const std::string& call) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(call);
    return it == counts_.end() ? 0 : it->second;
  }

  // Every call logged, and the indices of those that went through on() (the
  // ones a fault can be injected at).
  std::vector<std::string> calls;
  std::vector<int> injection_points;
  // The calls through on() that began after release_hang.
  std::vector<std::string> calls_after_release;
  // Atomic: a check given up may wake and release its objects while the
  // spare creates its own.
  std::atomic<int> live_objects{0};
  // Told each call's index before the call answers, on the calling thread.
  std::function<void(int index)> before_call;

 private:
  struct Logged {
    int index;
    int occurrence;
  };

  Logged log(const std::string& call) {
    const Logged logged{static_cast<int>(calls.size()), counts_[call]++};
    calls.push_back(call);
    injection_points.push_back(logged.index);
    if (before_call)
      before_call(logged.index);
    return logged;
  }

  HRESULT answer(const std::string& call, const Logged& logged, HRESULT success) {
    if (sweep_index_ && *sweep_index_ == logged.index)
      return act(sweep_action_, sweep_hr_);
    auto it = rules_.find(call);
    if (it != rules_.end()) {
      for (const Rule& rule : it->second) {
        if (!rule.occurrence || *rule.occurrence == logged.occurrence)
          return act(rule.action, rule.hr);
      }
    }
    return success;
  }

  struct Rule {
    Action action;
    HRESULT hr;
    std::optional<int> occurrence;
  };

  static HRESULT act(Action action, HRESULT hr) {
    if (action == Action::kThrowComError)
      raise_com_error(hr);
    if (action == Action::kThrowUndefined)
      throw 7;
    return hr;
  }

  std::map<std::string, std::vector<Rule>> rules_;
  std::map<std::string, int> counts_;
  std::optional<int> sweep_index_;
  Action sweep_action_ = Action::kFail;
  HRESULT sweep_hr_ = E_FAIL;
  int release_fault_ = -1;
  std::optional<int> release_fault_after_call_;
  std::vector<int> hang_indices_;
  bool released_ = false;
  bool holds_loader_lock_ = false;
  bool loader_locked_ = false;  // a blocked call holds it
  mutable std::mutex mutex_;
  std::condition_variable released_changed_;
};

// Base of every fake platform object: alive from construction to destruction.
class Counted {
 public:
  explicit Counted(FakeScript& script) : script_(script) { ++script_.live_objects; }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
  virtual ~Counted() {
    --script_.live_objects;
    script_.on_release();
  }

 protected:
  FakeScript& script_;
};

}  // namespace cc::testing
