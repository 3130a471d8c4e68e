#include "app/driver_platform_win.h"

#include <objbase.h>
#include <share.h>
#include <windows.h>

#include <cstdio>
#include <system_error>
#include <thread>

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

namespace {

// What cmd's "pause" shows.
constexpr char kPausePrompt[] = "Press any key to continue . . . ";

// A key that cmd's "pause" goes on at: any key pressed, save a modifier alone.
bool is_key_press(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown)
    return false;
  switch (record.Event.KeyEvent.wVirtualKeyCode) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LWIN:
    case VK_RWIN:
      return false;
    default:
      return true;
  }
}

}  // namespace

// cmd's "pause", without starting cmd: after a stall a driver may hold the
// loader lock for good, and starting a process may need it. Console reads
// load no library. With no console on standard input nobody can answer, so
// the run goes on at once. Either way the prompt's line ends, as cmd ends it:
// a run appended to the same file (">>") then starts on a line of its own.
void WinDriverPlatform::pause() {
  std::fputs(kPausePrompt, stdout);
  std::fflush(stdout);
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1 && !is_key_press(record)) {
    }
  }
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

std::optional<std::string> WinDriverPlatform::environment_variable(const std::string& name) {
  std::string value(64, '\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableA(name.c_str(), &value[0], static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
      return std::string();  // set, and empty
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // the size it asks for, terminator included
  }
}

bool WinDriverPlatform::start_thread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void WinDriverPlatform::end_process(int status) {
  // Unlike ExitProcess, no DLL is notified or unloaded, so nothing waits for
  // a lock that a thread given up on may hold.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
}

}  // namespace cc
