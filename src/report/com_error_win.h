// Windows binding of SystemErrors: FormatMessageA and GetLastError.
#pragma once

#include "platform/com_error.h"

namespace cc {

class WinSystemErrors : public SystemErrors {
 public:
  std::optional<std::string> format_message(HRESULT hr) override;
  int last_error() override;
};

}  // namespace cc
