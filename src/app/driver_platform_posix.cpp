#include "app/driver_platform_posix.h"

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

void PosixDriverPlatform::pause() {
  if (!isatty(STDIN_FILENO))
    return;  // nobody to press a key: go on at once
  std::fputs("Press Enter to continue . . . ", stdout);
  std::fflush(stdout);
  int c;
  do {
    c = std::getchar();
  } while (c != '\n' && c != EOF);
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
