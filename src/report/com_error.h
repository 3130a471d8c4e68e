// The guarded call that turns any exception into one Error line. COM errors
// themselves, and their texts, come from platform/com_error.h.
#pragma once

#include <functional>
#include <string>

#include "platform/com_error.h"
#include "report/report_section.h"

namespace cc {

// Runs operation; any exception that leaves it becomes one Error line named
// after name, and run_guarded returns normally.
void run_guarded(ReportSection& section, const std::string& name,
                 const std::function<void()>& operation);

}  // namespace cc
