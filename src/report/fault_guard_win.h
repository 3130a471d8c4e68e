// The Windows fault guard: while a guard is active on the thread, a hardware
// fault that nothing else handles (a crashing driver inside a probe) becomes
// a C++ exception consumed by the innermost guard. Outside every guard the
// platform's default behaviour stays.
#pragma once

#include "report/fault_guard.h"

namespace cc {

class WinFaultGuard : public FaultGuard {
 public:
  // Installs the unhandled-exception filter and this guard; the destructor
  // restores both.
  WinFaultGuard();
  ~WinFaultGuard() override;
  WinFaultGuard(const WinFaultGuard&) = delete;
  WinFaultGuard& operator=(const WinFaultGuard&) = delete;

  void run(const std::function<void()>& operation) override;
  void resume_after_terminate() override;

 private:
  FaultGuard* previous_guard_;
};

}  // namespace cc
