#include "app/check_driver.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "report/com_error.h"
#include "support/fake_driver_platform.h"
#include "support/fake_system_errors.h"

namespace cc {
namespace {

using testing::FakeDriverPlatform;
using testing::FakeOs;
using testing::FakeSystemErrors;

const char kFootnote[] =
    "\t *Onboard encoding is supported by the GPU but a supported GPU driver version is not "
    "installed\n";

struct EncodingRow {
  bool uvc15, uvc11, available, driver_supported;
  std::string text;
};

class EncodingVerdictTest : public ::testing::TestWithParam<EncodingRow> {};

TEST_P(EncodingVerdictTest, FirstMatchingRowWins) {
  const EncodingRow& row = GetParam();
  VerdictFlags flags;
  flags.camera_uvc15 = row.uvc15;
  flags.camera_uvc11 = row.uvc11;
  flags.encoder_available = row.available;
  flags.encoder_driver_supported = row.driver_supported;
  EXPECT_EQ(encoding_verdict(flags), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    EncodingVerdictTest,
    ::testing::Values(EncodingRow{true, false, false, false, "\t Camera ( UVC 1.5 )\n"},
                      EncodingRow{true, true, true, true, "\t Camera ( UVC 1.5 )\n"},
                      EncodingRow{false, true, false, false, "\t Camera ( UVC 1.1 )\n"},
                      EncodingRow{false, true, true, false, "\t Camera ( UVC 1.1 )\n"},
                      EncodingRow{false, false, false, false, "\t Software\n"},
                      EncodingRow{false, false, false, true, "\t Software\n"},
                      EncodingRow{false, false, true, true, "\t Onboard hardware\n"},
                      EncodingRow{false, false, true, false,
                                  std::string("\t Software*\n") + kFootnote}),
    [](const ::testing::TestParamInfo<EncodingRow>& info) {
      const EncodingRow& row = info.param;
      return std::string(row.uvc15 ? "uvc15" : "no15") + (row.uvc11 ? "_uvc11" : "_no11") +
             (row.available ? "_encoder" : "_noencoder") +
             (row.driver_supported ? "_driver" : "_nodriver");
    });

TEST(DecodingVerdictTest, FollowsDecoderFlag) {
  VerdictFlags flags;
  EXPECT_EQ(decoding_verdict(flags), "\t Software\n");
  flags.decoder_available = true;
  EXPECT_EQ(decoding_verdict(flags), "\t Onboard hardware\n");
}

// A check set whose checks write a marker line and set flags as scripted.
CheckSet scripted_checks(VerdictFlags set) {
  CheckSet checks;
  checks.decoder = [set](ReportSection& s, bool& decoder) {
    decoder = false;
    s << "\tdecoder\n";
    decoder = set.decoder_available;
  };
  checks.gpu_details = [](ReportSection& s) { s << "\tName=GPU\n\tDriver=1.2\n\n"; };
  checks.encoder = [set](ReportSection& s, bool& available, bool& supported) {
    available = set.encoder_available;
    supported = set.encoder_driver_supported;
    s << "\tencoder\n";
  };
  checks.camera = [set](ReportSection& s, bool& uvc15, bool& uvc11) {
    uvc15 = uvc15 || set.camera_uvc15;
    uvc11 = uvc11 || set.camera_uvc11;
    s << "\tcamera\n";
  };
  return checks;
}

struct DriverRun {
  FakeDriverPlatform platform;
  FakeOs os;
  int status = -1;

  void go(std::vector<const char*> args, const CheckSet& checks) {
    // As the C runtime hands it over: argv[argc] is a null pointer.
    args.insert(args.begin(), "CapabilityChecker.exe");
    const int argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    status = run_checker(argc, args.data(), platform, os, checks);
  }
};

TEST(CheckDriverTest, AssembledReportForScriptedRun) {
  VerdictFlags set;
  set.decoder_available = true;
  set.encoder_available = true;
  set.encoder_driver_supported = true;
  DriverRun run;
  run.go({}, scripted_checks(set));
  EXPECT_EQ(run.platform.out,
            "Capability Checker v2.4.0.1233\n"
            "\n"
            "H.264 Encoding: \t Onboard hardware\n"
            "H.264 Decoding: \t Onboard hardware\n"
            "\n"
            "On-board GPU H.264 Encoding Capabilities:\n\n\tencoder\n\n"
            "On-board GPU H.264 Decoding Capabilities:\n\n\tdecoder\n\n"
            "GPU details:\n\n\tName=GPU\n\tDriver=1.2\n\n"
            "Camera Built-in H.264 Encoding Details:\n\n\tcamera\n\n"
            "Endpoint OS\n"
            "\t Windows 10 Pro\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.os.last_key, "Software\\Microsoft\\Windows NT\\CurrentVersion");
  EXPECT_EQ(run.os.last_value, "ProductName");
}

TEST(CheckDriverTest, CallsHappenInOrderAndOutputOnlyAfterCom) {
  DriverRun run;
  run.go({"report.txt"}, scripted_checks({}));
  EXPECT_EQ(run.platform.calls, (std::vector<std::string>{"CoInitialize", "CoUninitialize",
                                                          "stdout", "file", "pause",
                                                          "end process 0"}));
}

TEST(CheckDriverTest, ChecksRunInFixedOrder) {
  std::vector<std::string> order;
  CheckSet checks;
  checks.decoder = [&](ReportSection&, bool&) { order.push_back("decoder"); };
  checks.gpu_details = [&](ReportSection&) { order.push_back("gpu"); };
  checks.encoder = [&](ReportSection&, bool&, bool&) { order.push_back("encoder"); };
  checks.camera = [&](ReportSection&, bool&, bool&) { order.push_back("camera"); };
  DriverRun run;
  run.go({}, checks);
  EXPECT_EQ(order, (std::vector<std::string>{"decoder", "gpu", "encoder", "camera"}));
}

TEST(CheckDriverTest, FootnoteVerdictTakesTwoLines) {
  VerdictFlags set;
  set.encoder_available = true;
  DriverRun run;
  run.go({}, scripted_checks(set));
  EXPECT_NE(run.platform.out.find(std::string("\n\nH.264 Encoding: \t Software*\n") + kFootnote +
                                  "H.264 Decoding: \t Software\n\n"),
            std::string::npos);
}

TEST(CheckDriverTest, MissingChecksLeaveHeadingsOnly) {
  DriverRun run;
  run.platform.co_initialize_result = S_FALSE;  // already initialised counts as success
  run.go({}, CheckSet{});
  EXPECT_EQ(run.platform.out,
            "Capability Checker v2.4.0.1233\n\n"
            "H.264 Encoding: \t Software\n"
            "H.264 Decoding: \t Software\n\n"
            "On-board GPU H.264 Encoding Capabilities:\n\n\n"
            "On-board GPU H.264 Decoding Capabilities:\n\n\n"
            "GPU details:\n\n"
            "Camera Built-in H.264 Encoding Details:\n\n\n"
            "Endpoint OS\n\t Windows 10 Pro\n");
}

TEST(CheckDriverTest, ComFailureSkipsChecksAndUninitialize) {
  FakeSystemErrors errors;
  errors.texts[E_OUTOFMEMORY] = "Not enough memory resources are available.\r\n";
  bool any_check_ran = false;
  CheckSet checks;
  checks.decoder = [&](ReportSection&, bool&) { any_check_ran = true; };
  checks.camera = [&](ReportSection&, bool&, bool&) { any_check_ran = true; };
  DriverRun run;
  run.platform.co_initialize_result = E_OUTOFMEMORY;
  run.os.product_name.reset();
  run.go({}, checks);
  EXPECT_FALSE(any_check_ran);
  EXPECT_EQ(run.platform.out,
            "Capability Checker v2.4.0.1233\n\n"
            "\t\t*** Error: main: failed to intialized COM, error = Not enough memory resources "
            "are available.\n\n"
            "H.264 Encoding: \t Software\n"
            "H.264 Decoding: \t Software\n\n"
            "Endpoint OS\n\t Unknown OS\n");
  EXPECT_EQ(run.platform.calls, (std::vector<std::string>{"CoInitialize", "stdout", "pause",
                                                          "end process 0"}));
  EXPECT_EQ(run.status, 0);
}

TEST(CheckDriverTest, ThrowingCheckKeepsItsFlagAndOthersStillRun) {
  FakeSystemErrors errors;
  errors.last_error_code = 2;
  CheckSet checks = scripted_checks({});
  checks.decoder = [](ReportSection& s, bool& decoder) {
    decoder = true;
    s << "\tpartial\n";
    throw std::runtime_error("boom");
  };
  DriverRun run;
  run.go({}, checks);
  EXPECT_NE(run.platform.out.find("H.264 Decoding: \t Onboard hardware\n"), std::string::npos);
  EXPECT_NE(run.platform.out.find("On-board GPU H.264 Decoding Capabilities:\n\n\tpartial\n"
                                  "\t\t*** Error: check_hardware_decoder_capability catch "
                                  "std::exception: boom. LastError: 2\n\nGPU details:"),
            std::string::npos);
  EXPECT_NE(run.platform.out.find("\tcamera\n"), std::string::npos);
}

TEST(CheckDriverTest, GuardNamesEachCheck) {
  CheckSet checks;
  checks.decoder = [](ReportSection&, bool&) { throw 1; };
  checks.gpu_details = [](ReportSection&) { throw 1; };
  checks.encoder = [](ReportSection&, bool&, bool&) { throw 1; };
  checks.camera = [](ReportSection&, bool&, bool&) { throw 1; };
  DriverRun run;
  run.go({}, checks);
  for (const char* name : {"check_hardware_decoder_capability", "check_supported_video_card",
                           "check_hardware_encoder_capability", "check_uvc11_camera_capability"})
    EXPECT_NE(run.platform.out.find(std::string(name) + " catch undefined exception!"),
              std::string::npos)
        << name;
}

TEST(CheckDriverTest, CameraFlagsAreOnlyRaisedByCamera) {
  VerdictFlags set;
  set.camera_uvc11 = true;
  set.encoder_available = true;
  set.encoder_driver_supported = true;
  DriverRun run;
  run.go({}, scripted_checks(set));
  EXPECT_NE(run.platform.out.find("H.264 Encoding: \t Camera ( UVC 1.1 )\n"), std::string::npos);
}

struct PauseRow {
  const char* name;
  bool console;
  std::optional<std::uint32_t> station_flags;
  bool stall;
  std::vector<std::string> pauses;
  bool prompt_written;  // the prompt and its line end follow the report
};

class PauseTest : public ::testing::TestWithParam<PauseRow> {};

// Asked before COM starts; the platform's pause on a plain run, the console
// pause after a stall, none with nobody to answer; the process ends last.
TEST_P(PauseTest, PathFollowsWhoCanAnswerAndWhetherADriverStalled) {
  const PauseRow& row = GetParam();
  std::promise<void> ended;
  CheckSet checks = scripted_checks({});
  if (row.stall)  // the camera check answers once the process ends
    checks.camera = [woken = ended.get_future().share()](ReportSection&, bool&, bool&) {
      woken.wait();
    };
  FakeDriverPlatform platform;
  platform.console_input = row.console;
  platform.station_flags = row.station_flags;
  platform.on_end_process = [&] { ended.set_value(); };
  FakeOs os;
  const char* argv[] = {"CapabilityChecker.exe"};
  EXPECT_EQ(run_checker(1, argv, platform, os, checks, std::chrono::milliseconds(50)), 0);
  platform.join_released_threads();
  EXPECT_EQ(platform.answer_asked_at, std::vector<std::size_t>{0});
  EXPECT_EQ(platform.pauses, row.pauses);
  const std::string tail = "\t Windows 10 Pro\n" +
                           (row.prompt_written ? std::string(kPausePrompt) + "\n" : "");
  EXPECT_EQ(platform.out.substr(platform.out.size() - tail.size()), tail);
  EXPECT_EQ(platform.calls.back(), "end process 0");
}

const std::vector<std::string> kPlatformPause = {"platform"};
const std::vector<std::string> kConsolePause = {"console: Press any key to continue . . . "};

INSTANTIATE_TEST_SUITE_P(
    Paths, PauseTest,
    ::testing::Values(
        PauseRow{"console_plain", true, kWindowStationVisible, false, kPlatformPause, false},
        PauseRow{"console_after_stall", true, kWindowStationVisible, true, kConsolePause, false},
        PauseRow{"console_visible_among_others", true, 0x3u, false, kPlatformPause, false},
        PauseRow{"station_unknown", true, std::nullopt, false, kPlatformPause, false},
        PauseRow{"hidden_station", true, 0x0u, false, {}, true},
        PauseRow{"no_console_plain", false, kWindowStationVisible, false, {}, true},
        PauseRow{"no_console_station_unknown", false, std::nullopt, false, {}, true},
        PauseRow{"no_console_after_stall", false, kWindowStationVisible, true, {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportFileTest, NoArgumentTouchesNoFile) {
  DriverRun run;
  run.go({}, scripted_checks({}));
  EXPECT_TRUE(run.platform.files.empty());
  EXPECT_EQ(run.platform.err, "");
}

TEST(ReportFileTest, EmptyArgumentMeansNoFile) {
  DriverRun run;
  run.go({""}, scripted_checks({}));
  EXPECT_TRUE(run.platform.files.empty());
  EXPECT_EQ(run.platform.err, "");
}

TEST(ReportFileTest, FileGetsExactlyWhatStdoutGets) {
  DriverRun run;
  run.go({"C:\\reports\\out.txt"}, scripted_checks({}));
  ASSERT_EQ(run.platform.files.count("C:\\reports\\out.txt"), 1u);
  EXPECT_EQ(run.platform.files["C:\\reports\\out.txt"], run.platform.out);
  EXPECT_EQ(run.platform.err, "");
}

TEST(ReportFileTest, OnlyFirstOfSeveralArgumentsIsUsed) {
  DriverRun run;
  run.go({"first.txt", "second.txt", "third.txt"}, scripted_checks({}));
  EXPECT_EQ(run.platform.files.size(), 1u);
  EXPECT_EQ(run.platform.files.count("first.txt"), 1u);
}

TEST(ReportFileTest, UnopenablePathGoesToStderrWithoutLineEnd) {
  DriverRun run;
  run.platform.unwritable["Z:\\missing\\dir\\r.txt"] = true;
  run.go({"Z:\\missing\\dir\\r.txt"}, scripted_checks({}));
  EXPECT_EQ(run.platform.err, "Can't open Z:\\missing\\dir\\r.txt");
  EXPECT_NE(run.platform.out.find("Endpoint OS"), std::string::npos);
  EXPECT_EQ(run.platform.calls, (std::vector<std::string>{"CoInitialize", "CoUninitialize",
                                                          "stdout", "file", "stderr", "pause",
                                                          "end process 0"}));
  EXPECT_EQ(run.status, 0);
}

}  // namespace
}  // namespace cc
