// Reads a string attribute of a Media Foundation object as narrow text in the
// system ANSI code page.
#pragma once

#include <string>

#include "platform/media_foundation.h"

namespace cc {

// Empty when the attribute is missing or the read fails. Raises a ComError
// with E_OUTOFMEMORY when the copy cannot be allocated, and with the
// HRESULT of the last-error code when the conversion fails.
std::string read_attribute_string(AttributeStore& store, const GUID& key, MediaFoundation& mf);

}  // namespace cc
