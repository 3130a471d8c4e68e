#if !defined(_M_IX86) && !defined(__i386__)
// Resuming at a guard must not unwind: the frames it leaves behind may be in
// the middle of an unwind already. Without a frame, the C runtime's longjmp
// (x64) and MinGW's own (ARM64) restore the registers and nothing else.
#define __USE_MINGW_SETJMP_NON_SEH
#endif
#include "report/fault_guard_win.h"

#include <windows.h>

#include <cxxabi.h>

#include <setjmp.h>

#include <cstdlib>
#include <exception>

namespace cc {
namespace {

// Not a std::exception and not a ComError: the guard reports it as an
// undefined exception, which is what a driver crash is.
struct HardwareFault {};

// The C++ runtime's per-thread exception state (the Itanium C++ ABI's
// __cxa_eh_globals, the same in libstdc++ and libc++abi): the exceptions
// being handled and the count std::uncaught_exceptions() reads.
struct ExceptionState {
  void* caught;
  unsigned int uncaught;
};

#if defined(_LIBCPP_VERSION)
}  // namespace
}  // namespace cc
// libc++abi exports it, but its header keeps it to itself.
extern "C" void* __cxa_get_globals() noexcept;
namespace cc {
namespace {
void* exception_globals() {
  return __cxa_get_globals();
}
#else
void* exception_globals() {
  return abi::__cxa_get_globals();
}
#endif

ExceptionState& exception_state() {
  return *static_cast<ExceptionState*>(exception_globals());
}

// x86: the C runtime's longjmp also drops the SEH registrations of the
// frames it leaves (driver and system code register them on the stack).
// x64 and ARM64: no unwinding (see the top of this file). Either way every
// callee-saved register is restored, which the guard's callers rely on.
using ResumePoint = jmp_buf;
#define CC_SET_RESUME_POINT(point) setjmp(point)
#define CC_RESUME(point) longjmp(point, 1)

// One active guard on the thread: where a fault that cannot be thrown
// resumes, and the exception state to restore there.
struct GuardFrame {
  ResumePoint resume;
  ExceptionState state;
  GuardFrame* outer;
};

thread_local GuardFrame* t_innermost = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;
std::terminate_handler g_previous_terminate = nullptr;

// Faults a probe can survive. A stack overflow is not among them: there is no
// stack left to throw on.
bool is_recoverable(const EXCEPTION_RECORD& record) {
  if (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE)
    return false;
  switch (record.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_IN_PAGE_ERROR:
    // ARM64 raises it for a misaligned access to device memory.
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return true;
    default:
      return false;
  }
}

// Leaves everything between the fault and the innermost guard as it stands:
// the exceptions in flight there are forgotten (their objects leak), so that
// the thread's count of uncaught exceptions is the guard's again and the gate
// before each platform call works on.
extern "C" [[noreturn, gnu::used]] void cc_resume_at_innermost_guard() {
  GuardFrame* frame = t_innermost;
  exception_state() = frame->state;
  CC_RESUME(frame->resume);
}

// True when the thread is unwinding past the innermost guard's entry: a throw
// from here would leave a destructor or cleanup, which ends in std::terminate.
bool unwinding() {
  return exception_state().uncaught != t_innermost->state.uncaught;
}

#if defined(_M_X64) || defined(__x86_64__)

extern "C" [[noreturn, gnu::used]] void cc_throw_hardware_fault() {
  throw HardwareFault{};
}

// Entered from the filter with rsp at the fault, rcx one past the faulting
// instruction (the unwinder looks up return address - 1, which must lie in
// the faulting function). It pushes a machine frame as the processor does
// for an interrupt, on a 16-byte aligned stack, and throws with the ABI's
// alignment; its unwind codes say exactly that (.seh_pushframe), so the
// exception unwinds through the faulting frames as they stood, once.
extern "C" void cc_fault_trampoline();
asm(R"(
  .text
  .p2align 4
  .def cc_fault_trampoline
  .scl 2
  .type 32
  .endef
  .globl cc_fault_trampoline
cc_fault_trampoline:
  .seh_proc cc_fault_trampoline
  movq %rsp, %rax
  andq $-16, %rsp
  pushq $0
  pushq %rax
  pushfq
  pushq $0
  pushq %rcx
  .seh_pushframe
  subq $40, %rsp
  .seh_stackalloc 40
  .seh_endprologue
  call cc_throw_hardware_fault
  int3
  .seh_endproc
)");

void redirect_to_throw(CONTEXT& context) {
  context.Rcx = context.Rip + 1;  // a volatile register: no unwinder reads it
  context.Rip = reinterpret_cast<DWORD64>(&cc_fault_trampoline);
}

void redirect_to_resume(CONTEXT& context) {
  // As if just called, on the ABI's alignment.
  context.Rsp = (context.Rsp & ~DWORD64{15}) - 8;
  context.Rip = reinterpret_cast<DWORD64>(&cc_resume_at_innermost_guard);
}

#elif defined(_M_ARM64) || defined(__aarch64__)

// ARM64 keeps the return address in a register, so a call cannot be faked
// from the filter without losing the faulting function's own return address
// (a leaf function, or a fault in a prologue, has not saved it yet). Instead
// the fault resumes in cc_fault_trampoline, which copies the faulting CONTEXT
// onto the stack just below the fault and throws from there. Its unwind code
// MSFT_OP_CONTEXT tells the unwinder to restore that CONTEXT whole, so the
// exception unwinds through the faulting frames exactly as they stood, and
// their objects are released as on x64.
thread_local CONTEXT t_fault_context;

extern "C" [[gnu::used]] void cc_copy_fault_context(CONTEXT* destination) {
  *destination = t_fault_context;
}

extern "C" [[noreturn, gnu::used]] void cc_throw_hardware_fault() {
  throw HardwareFault{};
}

extern "C" void cc_fault_trampoline();
static_assert(sizeof(CONTEXT) == 0x390, "the trampoline reserves 0x390 bytes");
// The prologue is empty on purpose: from the throw's return address on, the
// unwind codes say "the CONTEXT is at sp", and the body makes that true.
asm(R"(
  .text
  .p2align 2
  .def cc_fault_trampoline
  .scl 2
  .type 32
  .endef
  .globl cc_fault_trampoline
cc_fault_trampoline:
  .seh_proc cc_fault_trampoline
  .seh_context
  .seh_endprologue
  sub sp, sp, #0x390
  mov x0, sp
  bl cc_copy_fault_context
  bl cc_throw_hardware_fault
  brk #0xf000
  .seh_endproc
)");

void redirect_to_throw(CONTEXT& context) {
  t_fault_context = context;
  context.Pc = reinterpret_cast<DWORD64>(&cc_fault_trampoline);
}

void redirect_to_resume(CONTEXT& context) {
  context.Sp &= ~DWORD64{15};
  context.Pc = reinterpret_cast<DWORD64>(&cc_resume_at_innermost_guard);
}

#else

// MinGW's x86 unwinder cannot pass frames without DWARF data (system and
// driver code), so a fault always resumes at the innermost guard itself;
// objects of the aborted probe are abandoned, not released.
void redirect_to_throw(CONTEXT& context) {
  context.Eip = reinterpret_cast<DWORD>(&cc_resume_at_innermost_guard);
}

void redirect_to_resume(CONTEXT& context) {
  redirect_to_throw(context);
}

#endif

LONG WINAPI fault_filter(EXCEPTION_POINTERS* info) {
  if (t_innermost && is_recoverable(*info->ExceptionRecord)) {
    // A fault while an exception unwinds (a release in a destructor, say)
    // cannot be thrown: it resumes at the guard, leaving the frames between.
    if (unwinding())
      redirect_to_resume(*info->ContextRecord);
    else
      redirect_to_throw(*info->ContextRecord);
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return g_previous_filter ? g_previous_filter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// A crash that could not leave as an exception (it left a noexcept
// destructor, a driver's Release inside ComPtr's) resumes at the innermost
// guard; without one the handler installed before decides.
[[noreturn]] void resume_on_terminate() {
  if (t_innermost)
    cc_resume_at_innermost_guard();
  if (g_previous_terminate)
    g_previous_terminate();
  std::abort();
}

// Pops the guard however the operation leaves.
struct PopGuard {
  GuardFrame& frame;
  ~PopGuard() { t_innermost = frame.outer; }
};

}  // namespace

WinFaultGuard::WinFaultGuard() {
  g_previous_filter = SetUnhandledExceptionFilter(&fault_filter);
  g_previous_terminate = std::set_terminate(&resume_on_terminate);
  previous_guard_ = set_fault_guard(this);
}

WinFaultGuard::~WinFaultGuard() {
  set_fault_guard(previous_guard_);
  std::set_terminate(g_previous_terminate);
  SetUnhandledExceptionFilter(g_previous_filter);
}

// The resume point is set in this frame, which stays until the operation
// has left; a fault resumes here and leaves as HardwareFault.
void WinFaultGuard::run(const std::function<void()>& operation) {
  GuardFrame frame;
  frame.state = exception_state();
  frame.outer = t_innermost;
  PopGuard pop{frame};
  if (CC_SET_RESUME_POINT(frame.resume) != 0) {
    t_innermost = frame.outer;
    throw HardwareFault{};
  }
  t_innermost = &frame;
  operation();
}

void WinFaultGuard::resume_after_terminate() {
  if (t_innermost)
    cc_resume_at_innermost_guard();
}

}  // namespace cc
