#include "report/com_error.h"

#include <exception>

#include "report/fault_guard.h"
#include "report/report_texts.h"
#include "report/watchdog.h"

namespace cc {
namespace {

FaultGuard* g_fault_guard = nullptr;

// A step starting or finishing is progress that the watchdog sees, and the
// innermost running step names a check that stopped answering.
class WatchedStep {
 public:
  explicit WatchedStep(const std::string& name) : watch_(thread_check_watch()) {
    if (watch_)
      watch_->step_started(name);
  }
  ~WatchedStep() {
    if (watch_)
      watch_->step_finished();
  }
  WatchedStep(const WatchedStep&) = delete;
  WatchedStep& operator=(const WatchedStep&) = delete;

 private:
  CheckWatch* watch_;
};

}  // namespace

FaultGuard* set_fault_guard(FaultGuard* guard) {
  FaultGuard* previous = g_fault_guard;
  g_fault_guard = guard;
  return previous;
}

void resume_guard_after_terminate() {
  if (g_fault_guard)
    g_fault_guard->resume_after_terminate();
}

void run_guarded(ReportSection& section,
                 const std::string& name,
                 const std::function<void()>& operation) {
  stop_if_given_up();  // the check goes no further, and makes no more calls
  const WatchedStep step(name);
  try {
    if (g_fault_guard)
      g_fault_guard->run(operation);
    else
      operation();
  } catch (const CheckGivenUp&) {
    throw;  // not the check's failure: it is ended, and its line is the watchdog's
  } catch (const ComError& error) {
    stop_if_given_up();  // given up meanwhile: no message lookup reaches the system
    const std::optional<std::string> description = error.error_description();
    const int last_error = last_error_code();
    append_error(section, texts::kGuardComError, name.c_str(), error.error_message(),
                 description ? description->c_str() : "(null)", last_error);
  } catch (const std::exception& error) {
    stop_if_given_up();
    const int last_error = last_error_code();
    append_error(section, texts::kGuardStdException, name.c_str(), error.what(), last_error);
  } catch (...) {
    stop_if_given_up();
    const int last_error = last_error_code();
    append_error(section, texts::kGuardUndefined, name.c_str(), last_error);
  }
}

}  // namespace cc
