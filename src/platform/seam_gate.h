// The gate every platform call of a check passes: once the watchdog has given
// the check up, the thread that runs it makes no further call. It lives here,
// beside the seams, so that the checks and the shared seam helpers in this
// folder can reach it without leaning on report/.
#pragma once

#include <memory>

namespace cc {

// Thrown into a check that was given up, at its next platform call, write or
// guarded step, so that it goes no further: no guard turns it into a line,
// and nothing it would still do reaches the report or the hardware.
struct CheckGivenUp {};

// Asked before each platform call of the check that a thread runs.
class SeamGate {
 public:
  // True once the watchdog has given the check up.
  virtual bool given_up() = 0;

 protected:
  ~SeamGate() = default;
};

// The gate of the check that runs on the calling thread (nullptr: none).
void set_thread_seam_gate(SeamGate* gate);

// Throws CheckGivenUp once the calling thread's check has been given up. It
// does nothing on a thread without a watched check, nor while an exception
// unwinds: what the check holds is still released on its way out.
void stop_if_given_up();

// The seam a check is about to call, once stop_if_given_up has let it go on.
template <typename Seam>
Seam& gated(Seam& seam) {
  stop_if_given_up();
  return seam;
}
template <typename Seam>
Seam& gated(std::unique_ptr<Seam>& seam) {
  stop_if_given_up();
  return *seam;
}

}  // namespace cc
