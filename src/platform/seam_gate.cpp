#include "platform/seam_gate.h"

#include <exception>

namespace cc {
namespace {

thread_local SeamGate* t_seam_gate = nullptr;

}  // namespace

void set_thread_seam_gate(SeamGate* gate) {
  t_seam_gate = gate;
}

void stop_if_given_up() {
  if (t_seam_gate && t_seam_gate->given_up() && std::uncaught_exceptions() == 0)
    throw CheckGivenUp{};
}

}  // namespace cc
