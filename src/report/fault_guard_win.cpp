#include "report/fault_guard_win.h"

#include <windows.h>

#include <csetjmp>
#include <vector>

namespace cc {
namespace {

// Not a std::exception and not a ComError: the guard reports it as an
// undefined exception, which is what a driver crash is.
struct HardwareFault {};

thread_local int t_active_guards = 0;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;

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
      return true;
    default:
      return false;
  }
}

#if defined(_M_X64) || defined(__x86_64__)

// Entered as if called from the faulting instruction: the unwinder walks the
// foreign frames by their unwind tables and reaches the guard's landing pad,
// running destructors on the way.
[[noreturn]] void throw_hardware_fault() {
  throw HardwareFault{};
}

void redirect_to_guard(CONTEXT& context) {
  // The return address points one past the fault so that the unwinder, which
  // looks up (return address - 1), finds the faulting function.
  context.Rsp -= sizeof(DWORD64);
  *reinterpret_cast<DWORD64*>(context.Rsp) = context.Rip + 1;
  context.Rip = reinterpret_cast<DWORD64>(&throw_hardware_fault);
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

void redirect_to_guard(CONTEXT& context) {
  t_fault_context = context;
  context.Pc = reinterpret_cast<DWORD64>(&cc_fault_trampoline);
}

#else

// MinGW's x86 unwinder cannot pass frames without DWARF data (system and
// driver code), so a fault resumes at the innermost guard itself; objects of
// the aborted probe are abandoned, not released.
thread_local std::vector<std::jmp_buf*> t_resume_points;

[[noreturn]] void resume_at_innermost_guard() {
  std::longjmp(*t_resume_points.back(), 1);
}

void redirect_to_guard(CONTEXT& context) {
  context.Eip = reinterpret_cast<DWORD>(&resume_at_innermost_guard);
}

#endif

LONG WINAPI fault_filter(EXCEPTION_POINTERS* info) {
  if (t_active_guards > 0 && is_recoverable(*info->ExceptionRecord)) {
    redirect_to_guard(*info->ContextRecord);
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return g_previous_filter ? g_previous_filter(info) : EXCEPTION_CONTINUE_SEARCH;
}

// Keeps the count right however the operation leaves.
struct ActiveGuard {
  ActiveGuard() { ++t_active_guards; }
  ~ActiveGuard() { --t_active_guards; }
};

}  // namespace

WinFaultGuard::WinFaultGuard() {
  g_previous_filter = SetUnhandledExceptionFilter(&fault_filter);
  previous_guard_ = set_fault_guard(this);
}

WinFaultGuard::~WinFaultGuard() {
  set_fault_guard(previous_guard_);
  SetUnhandledExceptionFilter(g_previous_filter);
}

#if defined(_M_X64) || defined(__x86_64__) || defined(_M_ARM64) || defined(__aarch64__)

void WinFaultGuard::run(const std::function<void()>& operation) {
  ActiveGuard active;
  operation();
}

#else

void WinFaultGuard::run(const std::function<void()>& operation) {
  std::jmp_buf resume;
  ActiveGuard active;
  t_resume_points.push_back(&resume);
  struct PopResumePoint {
    ~PopResumePoint() { t_resume_points.pop_back(); }
  } pop;
  if (setjmp(resume) != 0)
    throw HardwareFault{};
  operation();
}

#endif

}  // namespace cc
