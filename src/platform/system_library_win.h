// A system DLL loaded on first use, from the system folder only, and unloaded
// with its owner. Entry points that not every Windows 7 machine has (Media
// Foundation is missing from N editions without the Media Feature Pack; Server
// Core lacks Direct3D) are resolved through it, so such a machine gets a
// failure line in the report instead of an executable that cannot start.
#pragma once

#include <windows.h>

#include "platform/com_types.h"

namespace cc {

class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name) : name_(name) {}
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  ~SystemLibrary();

  // Loads the library if needed and finds the entry point; the HRESULT of
  // the last-error code when either fails.
  template <typename Function>
  HRESULT resolve(const char* name, Function* function) {
    FARPROC proc = nullptr;
    HRESULT hr = find(name, &proc);
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
