// Composition root off Windows: none of the graphics, multimedia or device
// interfaces exist here, so the report carries its frame and the OS name only.
#include "app/check_driver.h"
#include "app/driver_platform_posix.h"
#include "platform/os_identity_posix.h"

int main(int argc, char** argv) {
  cc::PosixDriverPlatform platform;
  cc::PosixOsPlatform os;
  try {
    return cc::run_checker(argc, argv, platform, os, cc::CheckSet{});
  } catch (...) {
    platform.end_process(0);  // no driver's unload code runs, on this path either
    return 0;
  }
}
