// A fault guard for the native suite that behaves as the Windows one does
// where a crash cannot be thrown (a release that faults inside a noexcept
// destructor, or a second crash while the first one unwinds): the terminate
// handler resumes at the innermost guard, whose line stands for the crash;
// the objects of the frames it leaves are abandoned.
#pragma once

#include <cxxabi.h>

#include <csetjmp>

#include "report/fault_guard.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CC_JUMP_GUARD_LSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CC_JUMP_GUARD_LSAN 1
#endif
#ifdef CC_JUMP_GUARD_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace cc::testing {

class JumpFaultGuard : public FaultGuard {
 public:
  // The abandoned objects are the point, not a leak: LeakSanitizer is told
  // to ignore what this thread allocates while the guard stands.
  JumpFaultGuard() : previous_(set_fault_guard(this)) {
#ifdef CC_JUMP_GUARD_LSAN
    __lsan_disable();
#endif
  }
  ~JumpFaultGuard() override {
#ifdef CC_JUMP_GUARD_LSAN
    __lsan_enable();
#endif
    set_fault_guard(previous_);
  }
  JumpFaultGuard(const JumpFaultGuard&) = delete;
  JumpFaultGuard& operator=(const JumpFaultGuard&) = delete;

  void run(const std::function<void()>& operation) override {
    Frame frame;
    frame.state = state();
    frame.outer = innermost();
    struct Pop {
      Frame& frame;
      ~Pop() { innermost() = frame.outer; }
    } pop{frame};
    if (setjmp(frame.resume) != 0) {
      innermost() = frame.outer;
      throw Crash{};
    }
    innermost() = &frame;
    operation();
  }

  void resume_after_terminate() override {
    if (Frame* frame = innermost()) {
      state() = frame->state;  // the exceptions in flight are forgotten
      std::longjmp(frame->resume, 1);
    }
  }

 private:
  struct Crash {};
  // The C++ ABI's per-thread exception state.
  struct ExceptionState {
    void* caught;
    unsigned int uncaught;
  };
  struct Frame {
    std::jmp_buf resume;
    ExceptionState state;
    Frame* outer;
  };
  static ExceptionState& state() {
    return *reinterpret_cast<ExceptionState*>(abi::__cxa_get_globals());
  }
  static Frame*& innermost() {
    thread_local Frame* frame = nullptr;
    return frame;
  }

  FaultGuard* previous_;
};

}  // namespace cc::testing
