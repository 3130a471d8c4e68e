// A small program that faults on purpose, inside and outside a guard, so the
// fault guard is tested against the platform's real exception dispatch.
//   fault_probe guarded     : a null write inside run_guarded; prints the report
//   fault_probe nested      : the fault inside an inner guard of an outer guard
//   fault_probe divide      : an integer division by zero inside a guard
//   fault_probe worker      : guarded and nested faults on a thread of their
//                             own (checks after a stalled one run on workers)
//   fault_probe release     : a null write in a destructor (noexcept) that runs
//                             as its scope ends
//   fault_probe cleanup     : a null write in a destructor that runs while a
//                             first fault's exception unwinds
//   fault_probe own         : a null write by the program's own code, not a
//                             call, with an object alive in its frame
//   fault_probe givenup     : a check given up on whose way out (CheckGivenUp
//                             unwinding) crashes in a destructor: it must
//                             stay given up
//   fault_probe unguarded   : a null write outside every guard (must crash)
//   fault_probe chained     : as unguarded, with a filter installed before the
//                             guard's; that filter must see the fault (exit 3)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include "platform/seam_gate.h"
#include "report/com_error.h"
#include "report/com_error_win.h"
#include "report/fault_guard_win.h"

namespace {

int g_released = 0;
// Access violations the system dispatched: one per fault, or the guard faulted
// again while it threw.
LONG g_dispatched = 0;

LONG WINAPI count_access_violations(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
    InterlockedIncrement(&g_dispatched);
  return EXCEPTION_CONTINUE_SEARCH;
}

// Stands in for whatever filter the process had before the guard: the guard
// must hand it every fault that no guard claims, and only those.
LONG WINAPI previous_filter(EXCEPTION_POINTERS* info) {
  std::printf("previous filter: %08lx\n",
              static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_CONTINUE_SEARCH;
}

struct Owned {
  ~Owned() { ++g_released; }
};

volatile int* volatile g_null = nullptr;
volatile int g_zero = 0;

// The faulting store sits in a frame of its own without objects, as in a
// driver; the objects live in the frames that called it. (Clang's unwind
// tables cover calls only, so a frame that faults at an instruction of its
// own is passed without its cleanups.) Called through a pointer, as a driver
// is, so the compiler cannot conclude that the call never throws.
void store_through_null() {
  *g_null = 1;
}
void (*volatile g_store)() = &store_through_null;

__attribute__((noinline)) void write_through_null() {
  Owned owned;
  g_store();
}

// A release that crashes, as a driver's Release called from ComPtr's
// destructor does.
struct CrashingRelease {
  ~CrashingRelease() { g_store(); }
};

__attribute__((noinline)) void crash_in_own_code() {
  Owned owned;
  *g_null = 1;
}

__attribute__((noinline)) void crash_in_destructor() {
  CrashingRelease object;
}

// What the watchdog's gate says of a check it gave up on.
struct GivenUpGate : cc::SeamGate {
  bool given_up() override { return true; }
};

__attribute__((noinline)) void crash_while_given_up() {
  CrashingRelease object;
  cc::stop_if_given_up();
}

__attribute__((noinline)) void crash_then_crash_in_cleanup() {
  CrashingRelease object;
  g_store();
}

__attribute__((noinline)) int divide_by_zero() {
#if defined(__aarch64__)
  // ARM64 division by zero does not trap: Windows compilers (MSVC, which
  // builds drivers) test the divisor and break with 0xF004, which Windows
  // dispatches as an integer divide by zero. (0xF003 is __fastfail, which
  // ends the process without any handler seeing it.)
  if (g_zero == 0)
    __asm__ volatile("brk #0xf004");
#endif
  return 10 / g_zero;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  cc::WinSystemErrors errors;
  cc::set_system_errors(&errors);
  if (mode == "chained")
    SetUnhandledExceptionFilter(&previous_filter);
  cc::WinFaultGuard guard;
  cc::ReportSection section;
  AddVectoredExceptionHandler(1, &count_access_violations);

  if (mode == "chained") {
    cc::run_guarded(section, "probe", [] { write_through_null(); });
    std::printf("guarded fault kept from the previous filter\n");
    std::fflush(stdout);
  }
  if (mode == "unguarded" || mode == "chained") {
    write_through_null();
    std::puts("survived");  // must not be reached
    return 0;
  }
  bool after = false;
  if (mode == "guarded") {
    cc::run_guarded(section, "probe", [] { write_through_null(); });
  } else if (mode == "nested") {
    cc::run_guarded(section, "outer", [&] {
      cc::run_guarded(section, "inner", [] { write_through_null(); });
      after = true;
    });
  } else if (mode == "worker") {
    std::thread([&] {
      cc::run_guarded(section, "worker", [] { write_through_null(); });
      cc::run_guarded(section, "worker outer", [&] {
        cc::run_guarded(section, "worker inner", [] { write_through_null(); });
        after = true;
      });
    }).join();
  } else if (mode == "release") {
    cc::run_guarded(section, "release", [] { crash_in_destructor(); });
  } else if (mode == "own") {
    cc::run_guarded(section, "own", [] { crash_in_own_code(); });
  } else if (mode == "cleanup") {
    cc::run_guarded(section, "cleanup", [] { crash_then_crash_in_cleanup(); });
  } else if (mode == "givenup") {
    GivenUpGate gate;
    bool stopped = false;
    try {
      cc::run_guarded(section, "givenup", [&] {
        cc::set_thread_seam_gate(&gate);
        crash_while_given_up();
      });
    } catch (const cc::CheckGivenUp&) {
      stopped = true;
    }
    bool stays = false;
    try {
      cc::stop_if_given_up();
    } catch (const cc::CheckGivenUp&) {
      stays = true;
    }
    cc::set_thread_seam_gate(nullptr);
    std::printf("stopped=%d stays=%d\n", stopped ? 1 : 0, stays ? 1 : 0);
  } else if (mode == "divide") {
    cc::run_guarded(section, "divide", [] { std::printf("%d\n", divide_by_zero()); });
  }
  // A second fault after the first proves the guard state was restored.
  cc::run_guarded(section, "again", [] { write_through_null(); });
  std::fputs(cc::section_text(section).c_str(), stdout);
  std::printf("after=%d released=%d dispatched=%ld uncaught=%d\n", after ? 1 : 0, g_released,
              g_dispatched, std::uncaught_exceptions());
  return 0;
}
