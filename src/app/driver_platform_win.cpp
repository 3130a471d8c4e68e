#include "app/driver_platform_win.h"

#include <objbase.h>
#include <share.h>

#include <cstdio>
#include <cstdlib>

namespace cc {

HRESULT WinDriverPlatform::co_initialize() {
  return CoInitialize(nullptr);
}

void WinDriverPlatform::co_uninitialize() {
  CoUninitialize();
}

void WinDriverPlatform::write_stdout(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void WinDriverPlatform::write_stderr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool WinDriverPlatform::write_report_file(const std::string& path, const std::string& text) {
  FILE* file = _fsopen(path.c_str(), "wt", _SH_DENYNO);
  if (!file)
    return false;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return true;
}

void WinDriverPlatform::pause() {
  std::system("pause");
}

}  // namespace cc
