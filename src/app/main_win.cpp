// Composition root of the Windows executable: binds each check to the
// platform services it reaches the system through.
#include "app/check_driver.h"
#include "app/driver_platform_win.h"
#include "platform/os_identity_win.h"
#include "report/com_error_win.h"

int main(int argc, char** argv) {
  cc::WinSystemErrors system_errors;
  cc::set_system_errors(&system_errors);
  cc::WinDriverPlatform platform;
  cc::WinOsPlatform os;

  cc::CheckSet checks;
  // Checks are bound below as each subsystem provides its platform.

  try {
    return cc::run_checker(argc, argv, platform, os, checks);
  } catch (...) {
    return 0;  // the exit status is 0 whatever happened
  }
}
