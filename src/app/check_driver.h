// The check driver: runs the four checks in their fixed order under COM,
// derives the verdict summary and writes the one report.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/os_identity.h"
#include "platform/com_types.h"
#include "report/report_section.h"
#include "report/report_texts.h"

namespace cc {

struct VerdictFlags {
  bool decoder_available = false;
  bool encoder_available = false;
  bool encoder_driver_supported = false;
  bool camera_uvc15 = false;
  bool camera_uvc11 = false;
};

// The four check entry points, bound to their platforms by the composition
// root. An unset entry is a check this build does not have: its heading is
// still written, and nothing else.
struct CheckSet {
  std::function<void(ReportSection&, bool& decoder_available)> decoder;
  std::function<void(ReportSection&)> gpu_details;
  std::function<void(ReportSection&, bool& encoder_available, bool& encoder_driver_supported)>
      encoder;
  std::function<void(ReportSection&, bool& camera_uvc15, bool& camera_uvc11)> camera;
};

// The process services the driver itself uses.
class DriverPlatform {
 public:
  virtual ~DriverPlatform() = default;
  virtual HRESULT co_initialize() = 0;
  virtual void co_uninitialize() = 0;
  // Writes text to standard output in text mode, in one piece.
  virtual void write_stdout(const std::string& text) = 0;
  virtual void write_stderr(const std::string& text) = 0;
  // Creates or empties the file at path in text mode with shared access and
  // writes text into it; false when it cannot be opened.
  virtual bool write_report_file(const std::string& path, const std::string& text) = 0;
  // Standard input's console mode (GetConsoleMode); false when standard
  // input is not a console.
  virtual bool get_stdin_console_mode(std::uint32_t* mode) = 0;
  // The flags of the process's window station (GetProcessWindowStation, then
  // GetUserObjectInformation with UOI_FLAGS); false when they cannot be read.
  virtual bool get_window_station_flags(std::uint32_t* flags) = 0;
  // The platform's own pause: "pause" through the command processor, waiting
  // for it to end (its prompt in the system's language, keys typed ahead and
  // Ctrl+C as the platform treats them). Ctrl+C or closing the console while
  // it waits ends the process as end_process(0) would.
  virtual void pause() = 0;
  // The checker's own pause, for after a stall, when starting the command
  // processor may wait for the loader lock a stuck driver holds: drops the
  // keys typed ahead, shows prompt, waits for a key (Ctrl+C counts as one),
  // and ends the prompt's line.
  virtual void console_pause(const std::string& prompt) = 0;
  // The value of an environment variable; nullopt when it is not set.
  virtual std::optional<std::string> environment_variable(const std::string& name) = 0;
  // Starts a thread running body and lets it go: the driver never waits for
  // it. The driver starts every thread its run may need before the first
  // call into a driver, since a driver stuck while its library loads or
  // unloads holds the loader lock, and no thread can start after that.
  // False when no thread could be started.
  virtual bool start_thread(std::function<void()> body) = 0;
  // Ends the process at once with status, without waiting for other threads
  // and without unloading libraries, so that no driver's unload code runs:
  // it could wait for what a thread given up on holds, or never return.
  // Called last on every path, after the report is out and the pause.
  virtual void end_process(int status) = 0;
};

using texts::kCameraHeading;
using texts::kDecodingHeading;
using texts::kEncodingHeading;
using texts::kGpuDetailsHeading;

// The prompt of the checker's own pause, as the command processor words it.
using texts::kPausePrompt;
// WSF_VISIBLE: the window station has a display a person can see.
inline constexpr std::uint32_t kWindowStationVisible = 0x0001;

// Whether anyone can answer the pause: standard input is a console, and the
// window station is visible (a service, or a task run as SYSTEM or whether a
// user is logged on or not, has an invisible one, though it may have a
// console). Station flags that cannot be read leave it to the console.
bool anyone_to_answer(bool console_input, std::optional<std::uint32_t> station_flags);
// The same, asked of the platform; the driver asks before the first driver
// call, so that no stuck driver stands in the way of the answer.
bool anyone_to_answer(DriverPlatform& platform);

// The pause after the report. With nobody to answer, the prompt and its line
// end, and on at once; after a stall, the checker's own console pause; else
// the platform's own. The prompt's line always ends, so that a run appended
// to the same file starts on a line of its own.
void pause_after_report(DriverPlatform& platform, bool anyone, bool stalled);

// The text after "H.264 Encoding: " / "H.264 Decoding: ", line ends included.
std::string encoding_verdict(const VerdictFlags& flags);
std::string decoding_verdict(const VerdictFlags& flags);

// How long a check may go without progress before it is given up, and the
// environment variable through which an administrator changes it.
inline constexpr char kStallLimitVariable[] = "CAPABILITY_CHECKER_TIMEOUT";
inline constexpr int kDefaultStallLimitSeconds = 30;
inline constexpr int kMaxStallLimitSeconds = 3600;

// The limit that kStallLimitVariable sets: a whole number of seconds from 1
// to kMaxStallLimitSeconds. Any other value is ignored with one line on
// standard error, and the default applies.
std::chrono::milliseconds stall_limit_from_environment(DriverPlatform& platform);

// The whole run; returns the exit status, which is always 0.
int run_checker(int argc,
                const char* const* argv,
                DriverPlatform& platform,
                OsPlatform& os,
                const CheckSet& checks);
// The same with the stall limit given (tests use limits below a second; the
// report names the limit in whole seconds, rounded up).
int run_checker(int argc, const char* const* argv, DriverPlatform& platform, OsPlatform& os,
                const CheckSet& checks, std::chrono::milliseconds stall_limit);

}  // namespace cc
