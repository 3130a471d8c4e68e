#include "app/check_driver.h"

#include <thread>

#include "app/check_workers.h"
#include "report/com_error.h"
#include "report/watchdog.h"

namespace cc {

namespace {

struct Sections {
  ReportSection summary;
  ReportSection decoding;
  ReportSection encoding;
  ReportSection gpu_details;
  ReportSection camera;
};

// A value echoed on standard error, with control characters made visible.
std::string printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = '?';
  }
  return text;
}

// A whole number of seconds in range, digits only; else nullopt and why.
std::optional<int> parse_limit_seconds(const std::string& text, std::string* why) {
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  if (!digits) {
    *why = "is not a whole number of seconds";
    return std::nullopt;
  }
  const std::size_t significant = text.find_first_not_of('0');
  const std::string number = significant == std::string::npos ? "0" : text.substr(significant);
  const int seconds = number.size() > 4 ? kMaxStallLimitSeconds + 1 : std::stoi(number);
  if (seconds < 1 || seconds > kMaxStallLimitSeconds) {
    *why = "is outside 1 to " + std::to_string(kMaxStallLimitSeconds) + " seconds";
    return std::nullopt;
  }
  return seconds;
}

void write_banner(ReportSection& summary) {
  summary << texts::kBanner << 2 << '.' << 4 << '.' << 0 << '.' << 1233 << '\n' << '\n';
}

// The seconds a report names for a limit; only tests use limits that are not
// whole seconds.
int limit_seconds(std::chrono::milliseconds limit) {
  return static_cast<int>((limit.count() + 999) / 1000);
}

// The line that stands for the rest of a check that was cut short.
void write_cut_short(ReportSection& section,
                     const CheckOutcome& outcome,
                     std::chrono::milliseconds limit) {
  const char* step = outcome.unanswered_step->c_str();
  switch (outcome.cut) {
    case CutShort::kNoAnswer:
      append_error(section, texts::kNoAnswerFormat, step, limit_seconds(limit));
      break;
    case CutShort::kAtDeadline:
      append_error(section, texts::kCutAtDeadlineFormat, step, limit_seconds(2 * limit));
      break;
    case CutShort::kNeverBegan:
      append_error(section, texts::kNeverBeganFormat, step);
      break;
    case CutShort::kCrashed:
      append_error(section, texts::kGuardUndefined, step, outcome.last_error);
      break;
  }
}

// Heading, what the check wrote (for a check given up, the lines it completed
// and the line that stands for the rest), and the closing empty line where
// the section has one. A check that had no turn leaves its section empty.
void write_section(ReportSection& section, const char* heading, const CheckOutcome& outcome,
                   bool closing_line, std::chrono::milliseconds limit) {
  if (!outcome.ran)
    return;
  write_heading(section, heading);
  section << outcome.text;
  if (outcome.unanswered_step)
    write_cut_short(section, outcome, limit);
  if (closing_line)
    section << '\n';
}

void write_com_failure(ReportSection& summary, HRESULT hr) {
  append_error(summary, texts::kComInitFailed, "main",
               hresult_message(hr).c_str());
  summary << '\n';
}

// COM's start or end that did not answer, one line each and an empty line.
void write_com_stalls(ReportSection& summary, const CheckRun& run,
                      std::chrono::milliseconds limit) {
  if (run.com_start_stalled)
    append_error(summary, texts::kNoAnswerFormat, texts::kComStartStep, limit_seconds(limit));
  if (run.com_end_stalled)
    append_error(summary, texts::kNoAnswerFormat, texts::kComEndStep, limit_seconds(limit));
  if (run.com_start_stalled || run.com_end_stalled)
    summary << '\n';
}

// Turns the checks' outcomes into sections and flags.
void write_checks(Sections& sections, VerdictFlags& flags, const CheckRun& run,
                  std::chrono::milliseconds limit) {
  write_com_stalls(sections.summary, run, limit);
  if (run.com_failure)
    write_com_failure(sections.summary, *run.com_failure);
  const auto& outcome = run.checks;
  write_section(sections.decoding, kDecodingHeading, outcome[kDecoderCheck], true, limit);
  write_section(sections.gpu_details, kGpuDetailsHeading, outcome[kGpuDetailsCheck], false, limit);
  write_section(sections.encoding, kEncodingHeading, outcome[kEncoderCheck], true, limit);
  write_section(sections.camera, kCameraHeading, outcome[kCameraCheck], true, limit);
  flags.decoder_available = outcome[kDecoderCheck].flags.first;
  flags.encoder_available = outcome[kEncoderCheck].flags.first;
  flags.encoder_driver_supported = outcome[kEncoderCheck].flags.second;
  flags.camera_uvc15 = outcome[kCameraCheck].flags.first;
  flags.camera_uvc11 = outcome[kCameraCheck].flags.second;
}

void assemble(Sections& sections, const VerdictFlags& flags, OsPlatform& os) {
  ReportSection& summary = sections.summary;
  summary << texts::kEncodingLabel << encoding_verdict(flags);
  summary << texts::kDecodingLabel << decoding_verdict(flags) << '\n';
  summary << section_text(sections.encoding) << section_text(sections.decoding)
          << section_text(sections.gpu_details) << section_text(sections.camera);
  summary << texts::kEndpointOs << '\n' << texts::kOsIndent << get_os_product_name(os) << '\n';
}

// Builds the report from the checks' outcomes and writes it out.
void write_report(const CheckRun& run, const std::string& report_path, DriverPlatform& platform,
                  OsPlatform& os, std::chrono::milliseconds limit) {
  Sections sections;
  VerdictFlags flags;
  write_banner(sections.summary);
  write_checks(sections, flags, run, limit);
  assemble(sections, flags, os);
  const std::string report = section_text(sections.summary);
  platform.write_stdout(report);
  if (!report_path.empty() && !platform.write_report_file(report_path, report))
    platform.write_stderr("Can't open " + report_path);
}

}  // namespace

std::string encoding_verdict(const VerdictFlags& flags) {
  if (flags.camera_uvc15)
    return std::string(texts::kVerdictCameraUvc15) + "\n";
  if (flags.camera_uvc11)
    return std::string(texts::kVerdictCameraUvc11) + "\n";
  if (!flags.encoder_available)
    return std::string(texts::kVerdictSoftware) + "\n";
  if (flags.encoder_driver_supported)
    return std::string(texts::kVerdictOnboard) + "\n";
  return std::string(texts::kVerdictSoftwareDriver) + "\n" + texts::kVerdictFootnote + "\n";
}

std::string decoding_verdict(const VerdictFlags& flags) {
  return std::string(flags.decoder_available ? texts::kVerdictOnboard : texts::kVerdictSoftware) +
         "\n";
}

bool anyone_to_answer(bool console_input, std::optional<std::uint32_t> station_flags) {
  return console_input && (!station_flags || (*station_flags & kWindowStationVisible) != 0);
}

bool anyone_to_answer(DriverPlatform& platform) {
  std::uint32_t mode = 0;
  if (!platform.get_stdin_console_mode(&mode))
    return false;
  std::uint32_t flags = 0;
  return anyone_to_answer(true, platform.get_window_station_flags(&flags)
                                    ? std::optional<std::uint32_t>(flags)
                                    : std::nullopt);
}

void pause_after_report(DriverPlatform& platform, bool anyone, bool stalled) {
  if (!anyone)
    platform.write_stdout(std::string(kPausePrompt) + "\n");
  else if (stalled)
    platform.console_pause(kPausePrompt);
  else
    platform.pause();
}

std::chrono::milliseconds stall_limit_from_environment(DriverPlatform& platform) {
  const std::chrono::milliseconds fallback = std::chrono::seconds(kDefaultStallLimitSeconds);
  const std::optional<std::string> value = platform.environment_variable(kStallLimitVariable);
  if (!value)
    return fallback;
  std::string why;
  const std::optional<int> seconds = parse_limit_seconds(*value, &why);
  if (!seconds) {
    platform.write_stderr(std::string(kStallLimitVariable) + " is ignored: \"" + printable(*value) +
                          "\" " + why + "; the limit stays " +
                          std::to_string(kDefaultStallLimitSeconds) + " seconds\n");
    return fallback;
  }
  return std::chrono::seconds(*seconds);
}

int run_checker(int argc, const char* const* argv, DriverPlatform& platform, OsPlatform& os,
                const CheckSet& checks) {
  return run_checker(argc, argv, platform, os, checks, stall_limit_from_environment(platform));
}

int run_checker(int argc, const char* const* argv, DriverPlatform& platform, OsPlatform& os,
                const CheckSet& checks, std::chrono::milliseconds stall_limit) {
  std::string report_path;
  if (argc > 1 && argv[1])
    report_path = argv[1];
  // Asked before any driver runs: after a stall a stuck driver may hold
  // what the answer needs.
  const bool anyone = anyone_to_answer(platform);
  // After a stall the watchdog's thread ends the run (the calling thread
  // when it got through), and the process with it. Either way the process
  // ends without unloading the drivers, whose unload code could wait for
  // what a thread given up on holds, or hang.
  const std::thread::id caller = std::this_thread::get_id();
  const auto end_run = [&](const CheckRun& run) {
    try {
      write_report(run, report_path, platform, os, stall_limit);
      pause_after_report(platform, anyone, std::this_thread::get_id() != caller);
    } catch (...) {
      // what was written stays; the process still ends
    }
    platform.end_process(0);
  };
  run_checks_watched(platform, checks, stall_limit, end_run);
  return 0;
}

}  // namespace cc
