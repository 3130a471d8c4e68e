// A system DLL loaded on first use, from the system folder only, and unloaded
// with its owner. Entry points that not every Windows 7 machine has (Media
// Foundation is missing from N editions without the Media Feature Pack; Server
// Core lacks Direct3D) are resolved through it, so such a machine gets a
// failure line in the report instead of an executable that cannot start.
#pragma once

#include <windows.h>

#include "platform/com_types.h"
#include "platform/seam_gate.h"

namespace cc {

// The HRESULT of a failed load or lookup: the last-error code's HRESULT, or
// E_FAIL when the code reads 0 (not every failure path sets one), so that a
// failure never passes for success.
HRESULT load_failure(DWORD last_error);

class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name) : name_(name) {}
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  ~SystemLibrary();

  // Loads the library if needed and finds the entry point; a failure
  // HRESULT (see load_failure) when either fails, and then *function is
  // left as it was. The load and the look-up each pass the calling check's
  // gate before and after: a thread waits in them while another holds the
  // loader lock, and a check given up meanwhile must not go on to call the
  // function it found (throws CheckGivenUp).
  template <typename Function>
  HRESULT resolve(const char* name, Function* function) {
    FARPROC proc = nullptr;
    HRESULT hr = find(name, &proc);
    stop_if_given_up();
    if (SUCCEEDED(hr))
      *function = reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
    return hr;
  }

 private:
  HRESULT load();
  HRESULT find(const char* name, FARPROC* proc);

  const wchar_t* name_;
  HMODULE module_ = nullptr;
};

}  // namespace cc
