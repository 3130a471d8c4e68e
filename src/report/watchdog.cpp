#include "report/watchdog.h"

namespace cc {
namespace {

thread_local CheckWatch* t_check_watch = nullptr;

}  // namespace

void set_thread_check_watch(CheckWatch* watch) {
  t_check_watch = watch;
  set_thread_seam_gate(watch);
}

CheckWatch* thread_check_watch() {
  return t_check_watch;
}

void CheckWatch::note_progress() {
  ++progress_;
  published_.first = published_.first || flags.first;
  published_.second = published_.second || flags.second;
}

bool CheckWatch::begin() {
  std::lock_guard<std::mutex> lock(mutex);
  began_ = open;
  return began_;
}

void CheckWatch::crashed(int last_error) {
  std::lock_guard<std::mutex> lock(mutex);
  crashed_ = true;
  last_error_ = last_error;
}

void CheckWatch::step_started(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex);
  steps_.push_back(&name);
  note_progress();
}

void CheckWatch::step_finished() {
  std::lock_guard<std::mutex> lock(mutex);
  if (!steps_.empty())
    steps_.pop_back();
  note_progress();
}

void CheckWatch::line_completed() {
  note_progress();  // the section holds the mutex
}

bool CheckWatch::finish() {
  std::lock_guard<std::mutex> lock(mutex);
  finished_ = open;
  return finished_;
}

bool CheckWatch::given_up() {
  return given_up_.load(std::memory_order_acquire);
}

std::optional<std::uint64_t> CheckWatch::progress() {
  std::lock_guard<std::mutex> lock(mutex);
  if (finished_)
    return std::nullopt;
  return progress_;
}

std::optional<GivenUp> CheckWatch::give_up(std::optional<std::uint64_t> seen) {
  std::lock_guard<std::mutex> lock(mutex);
  if (finished_ || !open || (seen && progress_ != *seen))
    return std::nullopt;
  open = false;
  given_up_.store(true, std::memory_order_release);
  GivenUp given_up;
  // The step's name lives while the step runs, and it cannot finish while
  // the mutex is held here.
  if (!steps_.empty())
    given_up.step = *steps_.back();
  given_up.flags = published_;
  given_up.began = began_;
  given_up.crashed = crashed_;
  given_up.last_error = last_error_;
  // Closed, the section takes no more writes: its text is settled.
  std::string text = section_.text();
  text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
  given_up.text = std::move(text);
  return given_up;
}

}  // namespace cc
