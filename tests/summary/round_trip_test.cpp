// The checker's own reports, read back: every scripted machine's report, and
// every report of the hang sweep, parses into exactly the verdicts and items
// that produced it.
#include <gtest/gtest.h>

#include "summary/endpoint_status.h"
#include "summary/fleet.h"
#include "summary/report_parser.h"
#include "support/hang_sweep.h"
#include "support/report_round_trip.h"
#include "support/scripted_machine.h"

namespace cc {
namespace {

using testing::MachineShape;
using testing::ScriptedMachine;

struct ShapeCase {
  const char* name;
  MachineShape shape;
  HRESULT co_initialize;
};

class RoundTripTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(RoundTripTest, ReportReadsBackExactly) {
  ScriptedMachine machine(GetParam().shape);
  machine.driver.co_initialize_result = GetParam().co_initialize;
  machine.run();
  EXPECT_TRUE(testing::report_round_trips(machine.driver.out)) << machine.driver.out;
}

INSTANTIATE_TEST_SUITE_P(
    ScriptedMachines,
    RoundTripTest,
    ::testing::Values(ShapeCase{"Empty", {0, 0, 0}, S_OK},
                      ShapeCase{"IntelOnly", {1, 1, 1}, S_OK},
                      ShapeCase{"Mixed", {2, 2, 2}, S_OK},
                      ShapeCase{"NvidiaEncoderOnly", {2, 2, 0}, S_OK},
                      ShapeCase{"Large", {16, 8, 8}, S_OK},
                      ShapeCase{"ComFailed", {2, 2, 2}, static_cast<HRESULT>(0x80004005u)}),
    [](const auto& info) { return std::string(info.param.name); });

// A check given up on keeps its completed lines and one Error line; what it
// wrote before the stall must still read back into its items and verdicts.
TEST(RoundTripTest, EveryHangSweepReportReadsBack) {
  const auto& runs = testing::hang_sweep_runs();
  ASSERT_FALSE(runs.empty());
  for (const testing::HangRun& run : runs)
    EXPECT_TRUE(testing::report_round_trips(run.report)) << run.call.name << "\n" << run.report;
}

// The statuses and actions of a few machines, spelled out rather than derived.
TEST(RoundTripTest, ScriptedMachinesStatuses) {
  using summary::Status;
  const struct {
    const char* name;
    MachineShape shape;
    const char16_t* intel_driver;
    HRESULT co_initialize;
    Status status;
    std::string action;
  } cases[] = {
      {"baseline", {}, nullptr, S_OK, Status::kHardwareGpu, ""},
      {"cameras only",
       {0, 0, 2},
       nullptr,
       S_OK,
       Status::kHardwareCamera,
       "encodes through its camera; for the GPU: no hardware H.264 encoder: no driver fixes it"},
      {"no encoder",
       {1, 0, 0},
       nullptr,
       S_OK,
       Status::kCannot,
       "no hardware H.264 encoder: no driver fixes it"},
      {"no vendor driver", {1, 0, 0}, u"", S_OK, Status::kUnknown, summary::kInstallVendorDriver},
      {"NVIDIA only",
       {2, 2, 0},
       u"20.19.15.4308",
       S_OK,
       Status::kDriverUpdate,
       "update the driver of Intel(R) HD Graphics 530 #0 from 20.19.15.4308 to 20.19.15.4309 or "
       "later"},
      {"COM failed",
       {1, 1, 0},
       nullptr,
       static_cast<HRESULT>(0x80004005u),
       Status::kUnknown,
       "re-run the checker; first Error line: main: failed to intialized COM, error = Unknown "
       "error 0x80004005"},
  };
  for (const auto& c : cases) {
    ScriptedMachine machine(c.shape);
    if (c.intel_driver)
      machine.adapters.devices[0].driver_version = testing::utf16(c.intel_driver);
    machine.driver.co_initialize_result = c.co_initialize;
    machine.run();
    EXPECT_TRUE(testing::report_round_trips(machine.driver.out)) << c.name;
    const summary::ParseOutcome parsed = summary::parse_report(machine.driver.out);
    ASSERT_TRUE(parsed.endpoint) << c.name;
    const summary::Assessment assessment = summary::assess(*parsed.endpoint);
    EXPECT_EQ(summary::status_name(assessment.status), std::string(summary::status_name(c.status)))
        << c.name << "\n"
        << machine.driver.out;
    EXPECT_EQ(assessment.action, c.action) << c.name;
  }
}

// The items of the baseline machine, spelled out rather than derived.
TEST(RoundTripTest, BaselineItems) {
  ScriptedMachine machine;
  machine.run();
  const summary::ParseOutcome parsed = summary::parse_report(machine.driver.out);
  ASSERT_TRUE(parsed.endpoint) << parsed.reason;
  const summary::Endpoint& e = *parsed.endpoint;
  EXPECT_EQ(e.checker_version, summary::kKnownCheckerVersion);
  EXPECT_EQ(e.os, "Windows 10 Pro");
  EXPECT_EQ(e.encoding, "\t Camera ( UVC 1.5 )");
  EXPECT_EQ(e.decoding, "\t Onboard hardware");
  ASSERT_EQ(e.encoders.size(), 2u);
  EXPECT_EQ(e.encoders[0].name, "Intel(R) Quick Sync Video H.264 Encoder MFT");
  EXPECT_TRUE(e.encoders[0].supported);
  EXPECT_EQ(e.encoders[1].name, "NVIDIA H.264 Encoder MFT");
  EXPECT_FALSE(e.encoders[1].supported);
  EXPECT_EQ(e.encoders[1].reason, "NVIDIA graphics card not supported by VID");
  EXPECT_EQ(e.encoders[1].info, std::vector<std::string>{"Temporal scalability is not supported"});
  ASSERT_EQ(e.adapters.size(), 2u);
  EXPECT_EQ(e.adapters[1].name, "NVIDIA GeForce GTX 1060 #1");
  EXPECT_EQ(e.adapters[1].driver, "23.21.13.8813");
  ASSERT_EQ(e.decoders.size(), 2u);
  EXPECT_EQ(e.decoders[0].result, "Supported");
  ASSERT_EQ(e.cameras.size(), 2u);
  EXPECT_TRUE(e.cameras[0].uvc15);
  EXPECT_TRUE(e.cameras[1].uvc11);
  EXPECT_TRUE(e.errors.empty());
}

}  // namespace
}  // namespace cc
