// What blocks hardware encoding, per endpoint and added up over a fleet.
#include "summary/fleet.h"
#include "summary/fleet_profile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "report/report_texts.h"
#include "summary/report_parser.h"

#include <cstdio>

namespace cc::summary {
namespace {

Encoder encoder(const char* name, bool supported, const char* reason) {
  Encoder e;
  e.name = name;
  e.supported = supported;
  e.reason = reason;
  return e;
}

Endpoint endpoint(const char* encoding, std::vector<Encoder> encoders) {
  Endpoint e;
  e.checks_ran = true;
  e.encoding = encoding;
  e.decoding = "\t Software";
  e.encoders = std::move(encoders);
  e.adapters = {{"Intel(R) HD Graphics 4600", "9.18.10.3222"},
                {"AMD Radeon RX 580", "13.250.0.0"},
                {"Matrox G200eR", "2.4.1.0"}};
  return e;
}

struct BlockerCase {
  const char* name;
  Endpoint endpoint;
  std::vector<std::string> reasons;
  std::vector<std::string> first_devices;  // the devices of the first blocker
};

TEST(FleetTest, BlockersNameTheAdaptersOfTheirVendor) {
  const Encoder usable_intel =
      encoder("Intel MFT", false, "Intel graphics card not supported by driver version");
  const Encoder usable_other =
      encoder("Matrox MFT", false, "Unknown vendor graphics card not supported by VID");
  const Encoder unusable = encoder("Broken MFT", false, "");
  const Encoder supported = encoder("AMD MFT", true, "");
  Endpoint c920 = endpoint("\t Software", {});
  c920.no_encoders = true;
  c920.cameras = {{"Logitech HD Pro Webcam C920", true, false, true, true, {}}};
  const BlockerCase cases[] = {
      {"hardware", endpoint("\t Onboard hardware", {supported, usable_intel}), {}, {}},
      {"refused",
       endpoint("\t Software*", {usable_intel, usable_intel}),
       {"Intel graphics card not supported by driver version"},
       {"Intel(R) HD Graphics 4600"}},
      {"unknown vendor",
       endpoint("\t Software*", {usable_other}),
       {"Unknown vendor graphics card not supported by VID"},
       {"Matrox G200eR"}},
      {"unusable",
       endpoint("\t Software", {unusable}),
       {kBlockerEncoderSetup},
       {"Intel(R) HD Graphics 4600", "AMD Radeon RX 580", "Matrox G200eR"}},
      {"none and a C920",
       c920,
       {kBlockerNoEncoder, kBlockerC920},
       {"Intel(R) HD Graphics 4600", "AMD Radeon RX 580", "Matrox G200eR"}},
  };
  for (const BlockerCase& c : cases) {
    const std::vector<BlockerHit> hits = blockers_of(c.endpoint);
    std::vector<std::string> reasons, devices;
    for (const BlockerHit& hit : hits)
      reasons.push_back(hit.reason);
    if (!hits.empty())
      for (const Adapter& device : hits[0].devices)
        devices.push_back(device.name);
    EXPECT_EQ(reasons, c.reasons) << c.name;
    EXPECT_EQ(devices, c.first_devices) << c.name;
  }
}

TEST(FleetTest, TotalsCountEndpointsOnceAndRankThem) {
  FleetTotals totals;
  const Encoder refused =
      encoder("Intel MFT", false, "Intel graphics card not supported by driver version");
  for (int i = 0; i < 3; ++i) {
    Endpoint e = endpoint("\t Software*", {refused, refused});
    e.errors.assign(i, "*** Error: x");  // Error lines on two of them
    if (i == 2)  // two of one model: the model and its driver count once
      e.adapters.push_back(e.adapters[0]);
    totals.add(e);
  }
  Endpoint onboard = endpoint("\t Onboard hardware", {encoder("AMD MFT", true, "")});
  onboard.decoding = "\t Onboard hardware";
  totals.add(onboard);
  EXPECT_EQ(totals.endpoints(), 4);
  EXPECT_EQ(totals.endpoints_with_errors(), 2);
  EXPECT_EQ(totals.encoding(),
            (std::vector<std::pair<std::string, int>>{{"Software*", 3}, {"Onboard hardware", 1}}));
  EXPECT_EQ(totals.decoding(),
            (std::vector<std::pair<std::string, int>>{{"Software", 3}, {"Onboard hardware", 1}}));
  const std::vector<Blocker> blockers = totals.blockers();
  ASSERT_EQ(blockers.size(), 1u);
  EXPECT_EQ(blockers[0].endpoints, 3);
  EXPECT_EQ(blockers[0].adapters, (std::map<std::string, int>{{"Intel(R) HD Graphics 4600", 3}}));
  EXPECT_EQ(blockers[0].drivers, (std::map<std::string, int, VersionOrder>{{"9.18.10.3222", 3}}));
  EXPECT_EQ(totals.with_status(Status::kDriverUpdate), 3);
  EXPECT_EQ(totals.headline(),
            "1 of 4 endpoints (25%) encode H.264 in hardware; 3 more would after a driver "
            "update; 0 cannot; 0 unknown");
}

TEST(FleetTest, HeadlineCutsItsPercentage) {
  FleetTotals totals;
  EXPECT_EQ(totals.headline(),
            "0 of 0 endpoints (0%) encode H.264 in hardware; 0 more would after a driver update; "
            "0 cannot; 0 unknown");
  Endpoint onboard = endpoint("\t Onboard hardware", {});
  for (int i = 0; i < 399; ++i)
    totals.add(onboard);
  totals.add(endpoint("\t Software", {}));  // no encoder line: unknown
  EXPECT_EQ(totals.headline(),
            "399 of 400 endpoints (99.7%) encode H.264 in hardware; 0 more would after a driver "
            "update; 0 cannot; 1 unknown");
}

// Driver versions are listed by their numbers, not as text.
TEST(FleetTest, DriverVersionsSortAsNumbers) {
  const std::vector<std::string> sorted = {"",
                                           "8.15.10.2696",
                                           "9.18.10.3222",
                                           "9.18.10.10000",
                                           "10.18.10.4226",
                                           "10.18.10.4226a",
                                           "26.20.100.7262",
                                           "x"};
  for (std::size_t i = 0; i < sorted.size(); ++i)
    for (std::size_t j = 0; j < sorted.size(); ++j)
      EXPECT_EQ(VersionOrder()(sorted[i], sorted[j]), i < j) << sorted[i] << " " << sorted[j];
  EXPECT_TRUE(VersionOrder()("1", "01") != VersionOrder()("01", "1"));  // distinct stay distinct
}

const char kIntelAdapter[] = "\tName=Intel(R) HD Graphics 4600\n\tDriver=10.18.10.4000\n";

// A report around the encoding section and cameras given.
std::string report(const char* encoding_verdict,
                   const std::string& encoding_lines,
                   const std::string& adapters =
                       "\tName=Intel(R) HD Graphics 4600\n"
                       "\tDriver=10.18.10.4000\n",
                   const std::string& camera_lines = "\tThere are no video capture devices\n",
                   const char* os = "Windows 7 Professional") {
  return std::string("Capability Checker v2.4.0.1233\n\nH.264 Encoding: ") + encoding_verdict +
         "\nH.264 Decoding: \t Software\n\n"
         "On-board GPU H.264 Encoding Capabilities:\n\n" +
         encoding_lines +
         "\nOn-board GPU H.264 Decoding Capabilities:\n\n"
         "\nGPU details:\n\n" +
         adapters + "\nCamera Built-in H.264 Encoding Details:\n\n" + camera_lines +
         "\nEndpoint OS\n\t " + os + "\n";
}

const char kFootnote[] =
    "\t Software*\n\t *Onboard encoding is supported by the GPU but a supported GPU driver "
    "version is not installed";
const std::string kIntelRefused =
    "\t\tSupports output resolutions: 320x180\n"
    "\tIntel(R) Quick Sync Video H.264 Encoder MFT - Not supported\n"
    "\t\t*** Info: Intel graphics card on Windows 7 not supported by driver version\n";
const std::string kNvidiaRefused =
    "\t\tSupports output resolutions: 320x180\n"
    "\tNVIDIA H.264 Encoder MFT - Not supported\n"
    "\t\t*** Info: NVIDIA graphics card not supported by VID\n";
const std::string kSupported =
    "\t\tSupports output resolutions: 320x180\n\tIntel MFT - Supported\n";
const std::string kUvc11Camera =
    "\tLogitech Webcam C930e - Has built-in H.264 encoding\n"
    "\t\tUVC 1.5 acceleration is not supported\n\t\tUVC 1.1 acceleration is supported\n";

struct StatusCase {
  const char* name;
  std::string report;
  Status status;
  std::string action;
  std::vector<std::string> blockers;
  std::string fleet_report = {};  // another endpoint of the fleet, seen first
};

// The report with a line after its banner, where COM's stalls stand.
std::string after_banner(std::string report, const std::string& line) {
  return report.insert(report.find('\n') + 2, line);
}

const std::string kIntelUpdate =
    "update the driver of Intel(R) HD Graphics 4600 from 10.18.10.4000 to 10.18.10.4227 or later, "
    "except 10.18.14.4264 and 20.19.15.4308";
const char kIntelWin7[] = "Intel graphics card on Windows 7 not supported by driver version";
const std::string kAmd7660 = "\tName=AMD Radeon HD 7660D\n\tDriver=";
std::string amd_refused(const char* by) {
  return std::string(
             "\tAMDh264Encoder - Not supported\n\t\t*** Info: AMD graphics card on Windows "
             "7 not supported by ") +
         by + "\n";
}

// The status, the action and the blockers come from the report's own lines:
// a check that failed is no finding about the hardware.
TEST(FleetTest, StatusAndActionFromTheReportsOwnLines) {
  const std::string unknown = "re-run the checker; first Error line: ";
  const StatusCase cases[] = {
      {"on-board", report("\t Onboard hardware", kSupported), Status::kHardwareGpu, "", {}},
      {"camera only: the GPU's fix stays",
       report("\t Camera ( UVC 1.1 )", kIntelRefused, kIntelAdapter, kUvc11Camera),
       Status::kHardwareCamera,
       "encodes through its camera; for the GPU: " + kIntelUpdate,
       {kIntelWin7}},
      {"camera and GPU",
       report("\t Camera ( UVC 1.1 )", kSupported, "", kUvc11Camera),
       Status::kHardwareGpu,
       "",
       {}},
      {"Intel driver on Windows 7",
       report(kFootnote, kIntelRefused + kNvidiaRefused,
              "\tName=NVIDIA GeForce GTX 1060\n\tDriver=23.21.13.8813\n"
              "\tName=Intel(R) HD Graphics 4600\n\tDriver=10.18.10.4000\n"),
       Status::kDriverUpdate,
       kIntelUpdate,
       {"Intel graphics card on Windows 7 not supported by driver version",
        "NVIDIA graphics card not supported by VID"}},
      {"AMD driver on Windows 8",
       report(kFootnote,
              "\tAMDh264Encoder - Not supported\n\t\t*** Info: AMD graphics card on Windows 8 "
              "or greater not supported by driver version\n",
              "\tName=AMD Radeon RX 580\n\tDriver=15.200.1062.1004\n"),
       Status::kDriverUpdate,
       "update the driver of AMD Radeon RX 580 from 15.200.1062.1004 to 16.101.0.0 or later (AMD "
       "also checks the device ID: on Windows 8 and later the devices on its exclusion list are "
       "refused)",
       {"AMD graphics card on Windows 8 or greater not supported by driver version"}},
      {"vendor refused",
       report(kFootnote, kNvidiaRefused + kNvidiaRefused),  // named once
       Status::kCannot,
       "the vendor is not on the support list (NVIDIA graphics card not supported by VID): no "
       "driver fixes it",
       {"NVIDIA graphics card not supported by VID"}},
      {"no encoder",
       report("\t Software", "\tThere are no hardware H.264 encoders\n"),
       Status::kCannot,
       "no hardware H.264 encoder: no driver fixes it",
       {kBlockerNoEncoder}},
      {"enumeration failed",
       report("\t Software",
              "\t\t*** Error: Failed to enumerate hardware encoders, error = Unknown error "
              "0x80070005\n"),
       Status::kUnknown,
       unknown + "Failed to enumerate hardware encoders, error = Unknown error 0x80070005",
       {kBlockerCheckFailed}},
      {"encoder not set up",
       report("\t Software",
              "\t\t*** Error: Failed to check encoder input media type (error = x)!\n"
              "\tIntel MFT - Not supported\n"),
       Status::kUnknown,
       unknown + "Failed to check encoder input media type (error = x)!",
       {kBlockerEncoderSetup}},
      {"stalled after a refusal: the update stands",
       report(kFootnote, kIntelRefused +
                             "\t\t*** Error: check_codec_capabilities did not answer within 30 "
                             "seconds!\n"),
       Status::kDriverUpdate,
       kIntelUpdate,
       {kIntelWin7}},
      {"second encoder not set up after a refusal",
       report(kFootnote,
              kIntelRefused + "\t\t*** Error: Failed to activate encoder (error = x)!\n"),
       Status::kDriverUpdate,
       kIntelUpdate,
       {kIntelWin7}},
      {"camera probe failed",
       report(kFootnote, kIntelRefused, kIntelAdapter,
              "\t\t*** Error: KsProperty is empty!\n\tCam - Does not have built-in H.264 "
              "encoding\n\t\tUVC 1.5 acceleration is not supported\n\t\tUVC 1.1 acceleration is "
              "not supported\n"),
       Status::kDriverUpdate,
       kIntelUpdate,
       {kIntelWin7}},
      {"COM's end stalled after every section",
       after_banner(report(kFootnote, kIntelRefused),
                    "\t\t*** Error: CoUninitialize did not answer within 30 seconds!\n"),
       Status::kDriverUpdate,
       kIntelUpdate + "; look into the stall: CoUninitialize did not answer within 30 seconds!",
       {kIntelWin7}},
      {"Intel series closed",
       report(kFootnote,
              "\tIntel MFT - Not supported\n\t\t*** Info: Intel graphics card not supported by "
              "driver version\n",
              "\tName=Intel(R) HD Graphics 4600\n\tDriver=9.17.10.4229\n",
              "\tThere are no video "
              "capture devices\n",
              "Windows 10 Pro"),
       Status::kDriverUpdate,
       "update the driver of Intel(R) HD Graphics 4600 from 9.17.10.4229: no driver of the 9.17.10 "
       "series is accepted; install 9.17.11.0 or later, except 9.18.10.3222 and 20.19.15.4308, if "
       "the vendor offers one for this adapter",
       {"Intel graphics card not supported by driver version"}},
      {"AMD on Windows 7, the fleet shows no refusal by device",
       report(kFootnote, amd_refused("driver version"), kAmd7660 + "13.301.1005.0\n"),
       Status::kDriverUpdate,
       "update the driver of AMD Radeon HD 7660D from 13.301.1005.0 to 16.200.0.0 or later (AMD "
       "also checks the device ID: on Windows 7 only the devices on its list are accepted)",
       {"AMD graphics card on Windows 7 not supported by driver version"},
       // The model's driver passed there; another adapter's did not.
       report(kFootnote, amd_refused("driver version"),
              kAmd7660 + "22.19.162.4\n\tName=AMD Radeon RX 580\n\tDriver=13.250.0.0\n")},
      {"AMD on Windows 7, the fleet shows the model refused by device",
       report(kFootnote, amd_refused("driver version"),  // (the RX 580's driver passes)
              "\tName=AMD Radeon RX 580\n\tDriver=22.19.162.4\n" + kAmd7660 + "13.301.1005.0\n"),
       Status::kCannot,
       "the device is not on the support list: 1 endpoint with AMD Radeon HD 7660D showed it "
       "refused by device ID (AMD graphics card on Windows 7 not supported by PID): no driver "
       "fixes it",
       {"AMD graphics card on Windows 7 not supported by PID"},
       // The device refused is the one whose driver passed (after another
       // vendor's encoder).
       report(kFootnote, kIntelRefused + amd_refused("PID"),
              kAmd7660 + "22.19.162.4\n\tName=AMD Radeon RX 580\n\tDriver=13.250.0.0\n")},
      {"Microsoft Basic Display Adapter",
       report("\t Software", "\tThere are no hardware H.264 encoders\n",
              "\tName=Microsoft Basic Display Adapter\n\tDriver=10.0.19041.1\n"),
       Status::kUnknown,
       kInstallVendorDriver,
       {kBlockerNoVendorDriver}},
      {"the vendor's second adapter has a driver to update",
       report(kFootnote, kIntelRefused,
              "\tName=Intel(R) UHD Graphics 620\n\tDriver=\n"
              "\tName=Intel(R) HD Graphics 4600\n\tDriver=10.18.10.4000\n"),
       Status::kDriverUpdate,
       kIntelUpdate,
       {"Intel graphics card on Windows 7 not supported by driver version"}},
      {"refused adapter without a driver version",
       report(kFootnote, kIntelRefused, "\tName=Intel(R) HD Graphics 4600\n\tDriver=\n"),
       Status::kUnknown,
       kInstallVendorDriver,
       {kBlockerNoVendorDriver}},
      {"encoding check cut at the deadline",
       report("\t Software",
              "\t\t*** Error: check_hardware_encoder_capability was still running at the deadline "
              "of 60 seconds!\n"),
       Status::kUnknown,
       unknown + "check_hardware_encoder_capability was still running at the deadline of 60 "
                 "seconds!",
       {kBlockerCutAtDeadline}},
      {"camera check never began",
       report("\t Software", "\tThere are no hardware H.264 encoders\n", kIntelAdapter,
              "\t\t*** Error: check_uvc11_camera_capability did not begin: an earlier check did "
              "not answer!\n"),
       Status::kUnknown,
       unknown + "check_uvc11_camera_capability did not begin: an earlier check did not answer!",
       {kBlockerNeverBegan}},
      {"feature probe failed after a refusal: the refusal stands",
       report("\t Software", kNvidiaRefused + "\t\t*** Error: check_codec_capabilities catch "
                                              "undefined exception! LastError: 5\n"),
       Status::kCannot,
       "the vendor is not on the support list (NVIDIA graphics card not supported by VID): no "
       "driver fixes it",
       {"NVIDIA graphics card not supported by VID"}},
      {"feature probe stalled after a refusal",
       report("\t Software", kNvidiaRefused + "\t\t*** Error: check_codec_capabilities did not "
                                              "answer within 30 seconds!\n"),
       Status::kUnknown,
       unknown + "check_codec_capabilities did not answer within 30 seconds!",
       {kBlockerCheckFailed}},
      {"a refusal by driver version whose driver the policy accepts",
       report(kFootnote, kNvidiaRefused + kIntelRefused,
              "\tName=Intel(R) HD Graphics 4600\n\tDriver=10.18.10.4300\n"),
       Status::kUnknown,
       "re-run the checker",
       {kBlockerCheckFailed}},
      {"camera check crashed",
       report("\t Software", "\tThere are no hardware H.264 encoders\n", "",
              "\t\t*** Error: check_uvc11_camera_capability catch undefined exception! "
              "LastError: 0\n"),
       Status::kUnknown,
       unknown + "check_uvc11_camera_capability catch undefined exception! LastError: 0",
       {kBlockerCheckFailed}},
      {"COM failed",
       "Capability Checker v2.4.0.1233\n\n\t\t*** Error: main: failed to intialized COM, error "
       "= Unknown error 0x80004005\n\nH.264 Encoding: \t Software\nH.264 Decoding: \t "
       "Software\n\nEndpoint OS\n\t Windows 10 Pro\n",
       Status::kUnknown,
       unknown + "main: failed to intialized COM, error = Unknown error 0x80004005",
       {kBlockerCheckFailed}},
      {"x64 build emulated on ARM64",
       report("\t Software",
              "\t\t*** Info: This x64 build runs emulated on an ARM64 machine; the ARM64 build "
              "sees the machine's own hardware encoders\n"
              "\tThere are no hardware H.264 encoders\n"),
       Status::kUnknown,
       "run the ARM64 build",
       {kBlockerEmulated}},
  };
  for (const StatusCase& c : cases) {
    FleetDevices fleet;
    if (!c.fleet_report.empty())
      fleet.see(*parse_report(c.fleet_report).endpoint);
    const ParseOutcome parsed = parse_report(c.report);
    ASSERT_TRUE(parsed.endpoint) << c.name << ": " << parsed.reason;
    EXPECT_EQ(parsed.endpoint->unrecognised, std::vector<std::string>{}) << c.name;
    const Assessment assessment = assess(*parsed.endpoint, &fleet);
    EXPECT_EQ(status_name(assessment.status), std::string(status_name(c.status))) << c.name;
    EXPECT_EQ(assessment.action, c.action) << c.name;
    std::vector<std::string> reasons;
    for (const BlockerHit& hit :
         blockers_of(*parsed.endpoint, c.fleet_report.empty() ? nullptr : &fleet))
      reasons.push_back(hit.reason);
    EXPECT_EQ(reasons, c.blockers) << c.name;
  }
}

// Every report older than the limit is counted; the first names_kept are named.
TEST(FleetTest, ProfileNamesTheFirstStaleEndpoints) {
  const std::int64_t day = 86400, now = 100 * day;
  FleetProfile profile(now, 30, 2);
  profile.add("fresh", "Windows 10", now - 30 * day);  // just inside the limit
  profile.add("a", "Windows 10", now - 30 * day - 1);
  profile.add("b", "", 5);
  profile.add("c", "Windows 10", 7);
  EXPECT_EQ(profile.stale(), 3);
  EXPECT_EQ(profile.stale_names(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(profile.systems(), (std::vector<std::pair<std::string, int>>{{"Windows 10", 3},
                                                                         {"(not named)", 1}}));
  EXPECT_EQ(profile.oldest(), 5);
  EXPECT_EQ(profile.newest(), now - 30 * day);
}

// The Info line an emulated build writes, made from its format, with each
// machine name it takes.
TEST(FleetTest, EmulatedBuildIsReadFromItsFormat) {
  // A build's name is short; a longer or empty one is no such line.
  for (const char* build : {"x64", "x86", "12345678", "123456789", ""}) {
    const bool named = std::strlen(build) > 0 && std::strlen(build) <= 8;
    char line[256];
    std::snprintf(line, sizeof(line), texts::kEmulatedOnArm64Format, build);
    const ParseOutcome parsed =
        parse_report(report("\t Software", std::string("\t\t*** Info: ") + line +
                                               "\n"
                                               "\tThere are no hardware H.264 encoders\n"));
    ASSERT_TRUE(parsed.endpoint);
    EXPECT_EQ(parsed.endpoint->emulated_build, named ? build : "") << build;
    EXPECT_EQ(parsed.endpoint->infos, std::vector<std::string>{std::string("*** Info: ") + line});
  }
  const ParseOutcome plain = parse_report(report(
      "\t Software", "\t\t*** Info: This build runs\n\tThere are no hardware H.264 encoders\n"));
  ASSERT_TRUE(plain.endpoint);
  EXPECT_EQ(plain.endpoint->emulated_build, "");
}

}  // namespace
}  // namespace cc::summary
