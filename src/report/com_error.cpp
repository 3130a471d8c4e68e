#include "report/com_error.h"

#include <cstdio>
#include <exception>

#include "report/fault_guard.h"
#include "report/report_texts.h"
#include "report/watchdog.h"

namespace cc {
namespace {

SystemErrors* g_system_errors = nullptr;
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

SystemErrors* set_system_errors(SystemErrors* errors) {
  SystemErrors* previous = g_system_errors;
  g_system_errors = errors;
  return previous;
}

int last_error_code() {
  return g_system_errors ? g_system_errors->last_error() : 0;
}

std::string trim_system_text(std::string text) {
  if (text.size() >= 2 && text.back() == '\n') {
    text.pop_back();
    if (text.back() == '\r')
      text.pop_back();
  }
  return text;
}

std::string fallback_error_text(HRESULT hr) {
  const auto code = static_cast<std::uint32_t>(hr);
  char text[32];
  if (code >= 0x80040201u && code <= 0x8004FFFFu)
    std::snprintf(text, sizeof(text), "IDispatch error #%d", static_cast<int>(code - 0x80040200u));
  else
    std::snprintf(text, sizeof(text), "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  return text;
}

const char* ComError::error_message() const {
  if (!message_) {
    std::optional<std::string> text;
    if (g_system_errors)
      text = g_system_errors->format_message(hresult_);
    message_ = text ? trim_system_text(std::move(*text)) : fallback_error_text(hresult_);
  }
  return message_->c_str();
}

std::optional<std::string> ComError::error_description() const {
  if (!info_)
    return std::nullopt;
  std::string description;
  if (FAILED(info_->get_description(&description)))
    return std::nullopt;
  return description;
}

std::string hresult_message(HRESULT hr) {
  return ComError(hr).error_message();
}

void raise_com_error(HRESULT hr) {
  throw ComError(hr);
}

void run_guarded(ReportSection& section,
                 const std::string& name,
                 const std::function<void()>& operation) {
  CheckWatch* const watch = thread_check_watch();
  if (watch && watch->given_up())
    throw CheckGivenUp{};  // the check goes no further, and makes no more calls
  const WatchedStep step(name);
  try {
    if (g_fault_guard)
      g_fault_guard->run(operation);
    else
      operation();
  } catch (const CheckGivenUp&) {
    throw;  // not the check's failure: it is ended, and its line is the watchdog's
  } catch (const ComError& error) {
    const std::optional<std::string> description = error.error_description();
    const int last_error = last_error_code();
    append_error(section, texts::kGuardComError, name.c_str(), error.error_message(),
                 description ? description->c_str() : "(null)", last_error);
  } catch (const std::exception& error) {
    const int last_error = last_error_code();
    append_error(section, texts::kGuardStdException, name.c_str(), error.what(), last_error);
  } catch (...) {
    const int last_error = last_error_code();
    append_error(section, texts::kGuardUndefined, name.c_str(), last_error);
  }
}

}  // namespace cc
