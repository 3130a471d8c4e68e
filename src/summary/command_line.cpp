#include "summary/command_line.h"

#include <CLI/CLI.hpp>

#include <iostream>

#include "summary/summary_run.h"

namespace cc::summary {

int run_command_line(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  const int argc = static_cast<int>(argv.size());
  argv.push_back(nullptr);
  SummaryOptions options;
  CLI::App app{"Summarises a fleet's CapabilityChecker reports.", "CapabilitySummary"};
  app.add_option("--csv", options.csv, "Write one CSV row per endpoint to FILE")->type_name("FILE");
  app.add_option("--json", options.json, "Write the fleet as JSON to FILE")->type_name("FILE");
  app.add_option("--html", options.html, "Write a self-contained HTML page to FILE")
      ->type_name("FILE");
  app.add_option("--compare", options.compare,
                 "Say what changed since PREVIOUS, a JSON this program wrote earlier")
      ->type_name("PREVIOUS.json");
  app.add_option("--stale-days", options.stale_days,
                 "Count and list endpoints whose newest report is older than N days")
      ->type_name("N")
      ->check(CLI::Range(0, 36500))
      ->capture_default_str();
  app.add_option("PATH", options.paths, "Report files, or folders searched for *.txt")->required();
  app.footer(
      "Exit status: 0 every input read and every output written; 1 some inputs not read\n"
      "(each named on standard error with its reason); 2 usage error, or no report found;\n"
      "3 an output could not be written (named on standard error; no part of it is left).");
  try {
    app.parse(argc, argv.data());
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    std::cerr << error.what() << "\n\n" << app.help();
    return kUsageError;
  }
  return run_summary(options, std::cout, std::cerr);
}

}  // namespace cc::summary
