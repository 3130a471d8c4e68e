// A hook through which run_guarded runs its operation, so that a platform can
// turn a hardware fault inside a probe (a crashing driver) into a C++
// exception that the innermost guard consumes like any other.
#pragma once

#include <functional>

namespace cc {

class FaultGuard {
 public:
  virtual ~FaultGuard() = default;
  // Runs operation; a hardware fault inside it leaves as an exception of a
  // type outside the standard family.
  virtual void run(const std::function<void()>& operation) = 0;
  // Called by the terminate handler: when a guard is active on the calling
  // thread (an exception could not leave a destructor, say), resumes at the
  // innermost one, which reports it as a fault, and does not return.
  virtual void resume_after_terminate() {}
};

// Installs the process's guard (nullptr: operations run directly); returns
// the previous one.
FaultGuard* set_fault_guard(FaultGuard* guard);

// The installed guard's resume_after_terminate; returns when there is none, or
// no guard is active on the calling thread.
void resume_guard_after_terminate();

}  // namespace cc
