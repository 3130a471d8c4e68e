#include "platform/com_error.h"

#include <cstdint>
#include <cstdio>

namespace cc {
namespace {

SystemErrors* g_system_errors = nullptr;

}  // namespace

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

}  // namespace cc
