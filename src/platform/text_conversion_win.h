// UTF-8 <-> UTF-16 conversions for registry texts and device paths (Windows).
#pragma once

#include <optional>
#include <string>

namespace cc {

// nullopt when the input is absent or the conversion fails.
std::optional<std::wstring> utf8_to_utf16(const char* text);
std::optional<std::string> utf16_to_utf8(const wchar_t* text);

}  // namespace cc
