// The gate before each platform call of a check: a check given up goes no
// further, but what it holds is still released while it unwinds.
#include "platform/seam_gate.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace cc {
namespace {

struct Gate final : SeamGate {
  bool closed = false;
  bool given_up() override { return closed; }
};

struct Seam {
  int calls = 0;
  int call() { return ++calls; }
};

// The gate of the calling thread for the test's length.
class ThreadGate {
 public:
  explicit ThreadGate(SeamGate* gate) { set_thread_seam_gate(gate); }
  ~ThreadGate() { set_thread_seam_gate(nullptr); }
};

struct GateRow {
  const char* name;
  bool has_gate;
  bool given_up;
  bool calls;  // the call goes through
};

class SeamGateTest : public ::testing::TestWithParam<GateRow> {};

TEST_P(SeamGateTest, OnlyAGivenUpCheckIsStopped) {
  Gate gate;
  gate.closed = GetParam().given_up;
  const ThreadGate scope(GetParam().has_gate ? &gate : nullptr);
  Seam seam;
  auto owned = std::make_unique<Seam>();
  if (GetParam().calls) {
    EXPECT_EQ(gated(seam).call(), 1);
    EXPECT_EQ(gated(owned).call(), 1);
  } else {
    EXPECT_THROW(gated(seam).call(), CheckGivenUp);
    EXPECT_THROW(gated(owned).call(), CheckGivenUp);
    EXPECT_EQ(seam.calls + owned->calls, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows,
                         SeamGateTest,
                         ::testing::Values(GateRow{"NoWatchedCheck", false, false, true},
                                           GateRow{"Watched", true, false, true},
                                           GateRow{"GivenUp", true, true, false}),
                         [](const auto& row) { return std::string(row.param.name); });

// A release on the way out of a given-up check: the gate lets it be, rather
// than throw a second exception (which would end the process).
TEST(SeamGateTest, ReleasesGoOnWhileTheCheckUnwinds) {
  Gate gate;
  gate.closed = true;
  const ThreadGate scope(&gate);
  Seam seam;
  struct Releaser {
    Seam& seam;
    ~Releaser() { gated(seam).call(); }
  };
  EXPECT_THROW(
      {
        const Releaser releaser{seam};
        throw std::runtime_error("stuck driver");
      },
      std::runtime_error);
  EXPECT_EQ(seam.calls, 1);
}

}  // namespace
}  // namespace cc
