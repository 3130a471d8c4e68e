#include "platform/attribute_string.h"

#include "platform/com_error.h"
#include "platform/seam_gate.h"

namespace cc {

std::string read_attribute_string(AttributeStore& store, const GUID& key, MediaFoundation& mf) {
  // The wide string is owned by value here, so it is freed on every path,
  // including the two that raise.
  std::optional<std::u16string> wide;
  if (FAILED(gated(store).get_allocated_string(key, &wide)) || !wide)
    return std::string();
  std::u16string copy;
  if (!gated(mf).sys_alloc_string(*wide, &copy))
    raise_com_error(E_OUTOFMEMORY);
  std::string ansi;
  if (gated(mf).wide_to_ansi(copy, &ansi) == 0)
    raise_com_error(hresult_from_win32(static_cast<std::uint32_t>(last_error_code())));
  return ansi;
}

}  // namespace cc
