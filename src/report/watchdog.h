// What a watchdog on another thread sees of one check that a worker thread
// runs: each guarded step that the check starts or finishes, and each line
// that it completes in its section, is progress. A check that shows none for
// the limit is given up: its completed lines and the flags it raised before
// count, and nothing it does afterwards reaches the report.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/seam_gate.h"
#include "report/report_section.h"

namespace cc {

// A check's flags as the watchdog counts them.
struct WatchedFlags {
  bool first = false;
  bool second = false;
};

// What counts of a check that was given up.
struct GivenUp {
  std::string step;  // innermost guarded step running; empty when none was
  WatchedFlags flags;
  std::string text;    // the lines the section completed before
  bool began = false;  // its thread had started it
  // Its thread met an exception that nothing could handle (std::terminate),
  // with this last-error code.
  bool crashed = false;
  int last_error = 0;
};

// One check's section, flags and progress, shared by the thread that runs the
// check and the watchdog. Writes into the section and the progress calls are
// made under one mutex; nothing in it blocks while holding it.
class CheckWatch final : public SectionWatch, public SeamGate {
 public:
  CheckWatch() { section_.watch_by(this); }
  CheckWatch(const CheckWatch&) = delete;
  CheckWatch& operator=(const CheckWatch&) = delete;
  ~CheckWatch() = default;

  // --- The check's thread.
  ReportSection& section() { return section_; }
  // The check's own flags, written only by the thread that runs it. Their
  // raised values are published at each progress, so that the watchdog never
  // reads them while they may change.
  WatchedFlags flags;
  // Before the check starts; false when it was given up already, in which
  // case it must not start.
  bool begin();
  // The check's thread is ending in std::terminate: the check counts as
  // crashed when it is given up.
  void crashed(int last_error);
  // name must live until the matching step_finished.
  void step_started(const std::string& name);
  void step_finished();
  void line_completed() override;
  // After the check returned: false when it had been given up already, in
  // which case its thread must leave the remaining checks alone.
  bool finish();
  // True once the watchdog gave the check up (possibly before it started).
  bool given_up() override;

  // --- The watchdog's thread.
  // The progress so far, or nullopt once the check has finished.
  std::optional<std::uint64_t> progress();
  // Gives the check up if it is unfinished and its progress is still `seen`
  // (any progress when nullopt: the run's deadline has come); from then on
  // its next write or guarded step ends it. nullopt when it finished, or
  // moved on, meanwhile.
  std::optional<GivenUp> give_up(std::optional<std::uint64_t> seen);
  // After the check finished: its whole section text and flags.
  std::string finished_text() const { return section_.text(); }
  WatchedFlags finished_flags() const { return flags; }

 private:
  void note_progress();  // mutex held

  ReportSection section_;
  std::uint64_t progress_ = 0;
  bool finished_ = false;
  bool began_ = false;
  bool crashed_ = false;
  int last_error_ = 0;
  std::vector<const std::string*> steps_;
  WatchedFlags published_;
  // Mirrors !open for the gate before each platform call, which must not
  // cost a lock.
  std::atomic<bool> given_up_{false};
};

// The watch of the check that runs on the calling thread (nullptr: none);
// run_guarded reports its steps to it, and it gates the thread's platform
// calls.
void set_thread_check_watch(CheckWatch* watch);
CheckWatch* thread_check_watch();

}  // namespace cc
