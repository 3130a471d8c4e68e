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
};

// Installs the process's guard (nullptr: operations run directly); returns
// the previous one.
FaultGuard* set_fault_guard(FaultGuard* guard);

}  // namespace cc
