#include "app/driver_platform_posix.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace cc {

void PosixDriverPlatform::write_stdout(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void PosixDriverPlatform::write_stderr(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool PosixDriverPlatform::write_report_file(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file)
    return false;
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return true;
}

bool PosixDriverPlatform::get_stdin_console_mode(std::uint32_t* mode) {
  *mode = 0;
  return isatty(STDIN_FILENO) == 1;
}

bool PosixDriverPlatform::get_window_station_flags(std::uint32_t*) {
  return false;  // none here: the terminal alone tells
}

void PosixDriverPlatform::pause() {
  std::fputs("Press Enter to continue . . . ", stdout);
  std::fflush(stdout);
  int c;
  do {
    c = std::getchar();
  } while (c != '\n' && c != EOF);
  if (c == EOF)
    std::fputs("\n", stdout);  // no Enter echoed the line's end
  std::fflush(stdout);
}

void PosixDriverPlatform::console_pause(const std::string&) {
  tcflush(STDIN_FILENO, TCIFLUSH);  // what was typed during the run is no answer
  pause();
}

std::optional<std::string> PosixDriverPlatform::environment_variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::optional<std::string>(value) : std::nullopt;
}

bool PosixDriverPlatform::start_thread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void PosixDriverPlatform::end_process(int status) {
  std::_Exit(status);  // the output is flushed already; nothing waits for the threads
}

}  // namespace cc
