#include "platform/system_library_win.h"

#include <cwchar>

namespace cc {
namespace {

HRESULT last_error_result() {
  return load_failure(GetLastError());
}

}  // namespace

HRESULT load_failure(DWORD last_error) {
  return last_error == 0 ? E_FAIL : hresult_from_win32(last_error);
}

SystemLibrary::~SystemLibrary() {
  if (module_)
    FreeLibrary(module_);
}

// The system folder only, so that no DLL planted beside the executable is
// picked up.
HRESULT SystemLibrary::load() {
  if (module_)
    return S_OK;
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0)
    return last_error_result();
  if (length + 1 + std::wcslen(name_) >= MAX_PATH)
    return E_UNEXPECTED;
  path[length] = L'\\';
  std::wcscpy(path + length + 1, name_);
  stop_if_given_up();
  module_ = LoadLibraryW(path);
  return module_ ? S_OK : last_error_result();
}

HRESULT SystemLibrary::find(const char* name, FARPROC* proc) {
  HRESULT hr = load();
  if (FAILED(hr))
    return hr;
  stop_if_given_up();
  *proc = GetProcAddress(module_, name);
  return *proc ? S_OK : last_error_result();
}

}  // namespace cc
