// CapabilitySummary on Windows: the arguments arrive as UTF-16 (wmain), so a
// folder or file name outside the ANSI code page still reaches the summary
// intact, as UTF-8.
#include <windows.h>

#include <string>
#include <vector>

#include "summary/command_line.h"

namespace {

std::string utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1)
    return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(size) - 1);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(utf8(argv[i]));
  return cc::summary::run_command_line(arguments);
}
