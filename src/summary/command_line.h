// CapabilitySummary's command line:
//   CapabilitySummary [--csv FILE] [--json FILE] [--html FILE] [--compare PREVIOUS.json]
//                     [--stale-days N] PATH...
#pragma once

#include <string>
#include <vector>

namespace cc::summary {

// The arguments in UTF-8, the program name first; returns the exit status.
int run_command_line(std::vector<std::string> arguments);

}  // namespace cc::summary
