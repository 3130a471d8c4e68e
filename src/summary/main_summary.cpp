// CapabilitySummary: reads a folder of checker reports and summarises the
// fleet. CapabilitySummary [--csv FILE] [--json FILE] [--html FILE] PATH...
#include <CLI/CLI.hpp>

#include <iostream>

#include "summary/summary_run.h"

int main(int argc, char** argv) {
  cc::summary::SummaryOptions options;
  CLI::App app{"Summarises a fleet's CapabilityChecker reports.", "CapabilitySummary"};
  app.add_option("--csv", options.csv, "Write one CSV row per endpoint to FILE")->type_name("FILE");
  app.add_option("--json", options.json, "Write the fleet as JSON to FILE")->type_name("FILE");
  app.add_option("--html", options.html, "Write a self-contained HTML page to FILE")
      ->type_name("FILE");
  app.add_option("PATH", options.paths, "Report files, or folders searched for *.txt")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    std::cerr << error.what() << "\n\n" << app.help();
    return cc::summary::kUsageError;
  }
  return cc::summary::run_summary(options, std::cout, std::cerr);
}
