#include "app/driver_platform_win.h"

#include <objbase.h>
#include <share.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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

bool WinDriverPlatform::get_stdin_console_mode(std::uint32_t* mode) {
  DWORD value = 0;
  const BOOL ok = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &value);
  *mode = value;
  return ok != FALSE;
}

bool WinDriverPlatform::get_window_station_flags(std::uint32_t* flags) {
  const HWINSTA station = GetProcessWindowStation();  // not to be closed
  USEROBJECTFLAGS info = {};
  if (station == nullptr ||
      !GetUserObjectInformationW(station, UOI_FLAGS, &info, sizeof(info), nullptr))
    return false;
  *flags = info.dwFlags;
  return true;
}

namespace {

// Ctrl+C, Ctrl+Break or a closed console while the process waits at its
// pause: the run is over, so the process ends as it does on every path, with
// status 0 and no library unloaded. The default handler's ExitProcess would
// end it with STATUS_CONTROL_C_EXIT and run every driver's unload code.
BOOL WINAPI end_at_console_event(DWORD) {
  TerminateProcess(GetCurrentProcess(), 0);
  return TRUE;
}

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

void WinDriverPlatform::pause() {
  // cmd and this process both get the console's Ctrl+C.
  SetConsoleCtrlHandler(end_at_console_event, TRUE);
  std::system("pause");
}

// cmd's "pause" without starting cmd. Console reads and mode changes load no
// library and start no thread.
void WinDriverPlatform::console_pause(const std::string& prompt) {
  SetConsoleCtrlHandler(end_at_console_event, TRUE);  // Ctrl+Break, a closed console
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  const bool console = GetConsoleMode(input, &mode) != FALSE;
  std::fwrite(prompt.data(), 1, prompt.size(), stdout);
  std::fflush(stdout);
  if (console) {
    // Without processed input Ctrl+C arrives as a key, not as a signal.
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT));
    FlushConsoleInputBuffer(input);  // a key pressed while the checks ran is no answer
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputW(input, &record, 1, &read) && read == 1 && !is_key_press(record)) {
    }
    SetConsoleMode(input, mode);  // the console goes back to whoever started the checker
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
