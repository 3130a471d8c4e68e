// The COM error exception and the text of an HRESULT: what raises a COM
// failure, from a check or from a platform helper, and what tells it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/com_types.h"

namespace cc {

// An error-information object that came with a COM error (IErrorInfo).
class ErrorInfo {
 public:
  virtual ~ErrorInfo() = default;
  // GetDescription, already converted to the system ANSI code page.
  virtual HRESULT get_description(std::string* description) = 0;
};

// The process-wide services behind error texts: system message tables and the
// thread's last-error code. Unset, there is no system text and the code is 0.
class SystemErrors {
 public:
  virtual ~SystemErrors() = default;
  // FormatMessageA(FROM_SYSTEM | IGNORE_INSERTS) of hr, untrimmed; nullopt when
  // the system has no text.
  virtual std::optional<std::string> format_message(HRESULT hr) = 0;
  virtual int last_error() = 0;
};

// Installs the services (nullptr removes them); returns the previous ones.
SystemErrors* set_system_errors(SystemErrors* errors);
int last_error_code();

// Thrown by value, caught by reference; not a std::exception.
class ComError {
 public:
  explicit ComError(HRESULT hr, std::shared_ptr<ErrorInfo> info = nullptr)
      : hresult_(hr), info_(std::move(info)) {}
  ComError(const ComError& other) : hresult_(other.hresult_), info_(other.info_) {}
  ComError& operator=(const ComError& other) {
    hresult_ = other.hresult_;
    info_ = other.info_;
    message_.reset();
    return *this;
  }

  HRESULT hresult() const { return hresult_; }
  // The system text of the HRESULT, or its fallback; valid while this lives.
  const char* error_message() const;
  // The error-info object's description, or nullopt.
  std::optional<std::string> error_description() const;

 private:
  HRESULT hresult_;
  std::shared_ptr<ErrorInfo> info_;
  mutable std::optional<std::string> message_;
};

// The text of hr as a message's "error = %s" shows it.
std::string hresult_message(HRESULT hr);

// The fallback text for an HRESULT the system has no text for.
std::string fallback_error_text(HRESULT hr);

// Removes the one trailing line end a system message carries.
std::string trim_system_text(std::string text);

[[noreturn]] void raise_com_error(HRESULT hr);

}  // namespace cc
