// Scripted system message tables and last-error code, installed for the
// lifetime of the object.
#pragma once

#include <map>

#include "report/com_error.h"

namespace cc::testing {

class FakeSystemErrors : public SystemErrors {
 public:
  FakeSystemErrors() { previous_ = set_system_errors(this); }
  ~FakeSystemErrors() override { set_system_errors(previous_); }

  std::optional<std::string> format_message(HRESULT hr) override {
    ++format_calls;
    auto it = texts.find(hr);
    if (it == texts.end())
      return std::nullopt;
    return it->second;
  }
  int last_error() override { return last_error_code; }

  std::map<HRESULT, std::string> texts;
  int last_error_code = 0;
  int format_calls = 0;

 private:
  SystemErrors* previous_ = nullptr;
};

}  // namespace cc::testing
