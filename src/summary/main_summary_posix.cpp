// CapabilitySummary: reads a folder of checker reports and summarises the
// fleet. Arguments are taken as the bytes they are (UTF-8 on a usual system).
#include "summary/command_line.h"

int main(int argc, char** argv) {
  return cc::summary::run_command_line(std::vector<std::string>(argv, argv + argc));
}
