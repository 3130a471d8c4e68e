// The whole checker against a scripted machine, then once more for every
// platform call that run makes, with that one call failing and with it
// throwing. Every run must keep the report's frame, exit with 0, release
// every platform object, and show the failure as its prescribed line.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/jump_fault_guard.h"
#include "support/machine_calls.h"
#include "support/report_round_trip.h"
#include "support/scripted_machine.h"

namespace cc {
namespace {

using testing::FakeScript;
using testing::ScriptedMachine;

constexpr HRESULT kInjected = static_cast<HRESULT>(0x80070005u);  // E_ACCESSDENIED
const std::string kCode = "0x80070005";
const std::string kText = "Unknown error 0x80070005";  // no system message tables here

using Call = testing::MachineCall;

std::string error(const std::string& text) {
  return "\t\t*** Error: " + text + "\n";
}
std::string info(const std::string& text) {
  return "\t\t*** Info: " + text + "\n";
}

// The line a failing call must produce, where it has one of its own.
std::optional<std::string> line_for_failure(const Call& call) {
  const std::string& s = call.shape;
  const int n = call.occurrence;
  const std::map<std::string, std::string> fixed = {
      {"DirectNDCreateNEx", error("Couldn't create Direct3D object (error = " + kCode + ")!")},
      {"adapterN.GetAdapterIdentifier", "\t<Error: Couldn't define GPU name. Error: -2147024891>"},
      {"adapterN.CreateDevice", error("Couldn't create Direct3D device (error = " + kCode + ")!")},
      {"adapterN.DXVANCreateVideoService",
       error("Couldn't create VideoDecoderService (error = " + kCode + ")!")},
      {"adapterN.GetDecoderDeviceGuids",
       error("Couldn't get decoder device GUIDs (error = " + kCode + ")!")},
      {"adapterN.GetDecoderRenderTargets", error("Couldn't get decoder renderer targets (code = " +
                                                 kCode + ", message = " + kText + ")!")},
      {"adapterN.GetDecoderConfigurations", error("Couldn't get decoder configurations (code = " +
                                                  kCode + ", message = " + kText + ")!")},
      {"LoadLibraryW", error("Can't load SetupAPI.dll")},
      {"GetProcAddress", error("Can't get address \"SetupDiGetDevicePropertyW\"")},
      {"SetupDiGetClassDevsA", error("Can't retrieve Device Info")},
      {"MFTEnumEx", error("Failed to enumerate hardware encoders, error = " + kText)},
      {"encoderN.codec.SetValue", info("Temporal layers count is not configurable")},
      {"MFEnumDeviceSources", error("Couldn't enumerate device sources (error = " + kCode + ")!")},
      {"cameraN.ActivateObject(ICodecAPI)",
       info("Failed to activate ICodecAPI interface, error = " + kText)},
      {"cameraN.ActivateObject(IMFTransform)",
       error("Failed to activate IMFTransform interface (error = " + kCode + ")!")},
      {"cameraN.transform.GetStreamCount",
       error("Couldn't get stream count (error = " + kCode + ")")},
      {"cameraN.transform.typeN.N.GetGUID",
       error("Couldn't get video format type (error = " + kCode + ")!")},
      {"CoCreateInstance(SystemDeviceEnum)",
       error("Failed to CoCreateInstance CLSID_SystemDeviceEnum (error = " + kCode + ")!")},
      {"CreateClassEnumerator",
       error("Failed to CreateClassEnumerator of CLSID_VideoInputDeviceCategory class (error = " +
             kCode + ")!")},
      {"monikerN.BindToObject", error("Could not BindToObject (error = " + kCode + ")!")},
      {"monikerN.filter.QueryInterface(IKsTopologyInfo)",
       error("Could not get the IKsTopologyInfo interface from the camera (error = " + kCode +
             ")!")},
      {"monikerN.topology.get_NumNodes",
       error("Cannot get the number of IKsTopology nodes (error = " + kCode + ")!")},
      {"monikerN.topology.get_NodeType",
       error("Cannot get the node type (error = " + kCode + ")!")},
      {"monikerN.topology.CreateNodeInstance",
       error("Could not create the IKsControl (error = " + kCode + ")!")}};
  auto it = fixed.find(s);
  if (it != fixed.end())
    return it->second;
  const std::string media_type_failure =
      error("Failed to check encoder input media type (error = " + kText + ")!");
  for (const char* step :
       {"encoderN.ActivateObject(IMFTransform)", "encoderN.transform.GetAttributes",
        "encoderN.transform.attributes.SetUINTN", "encoderN.transform.GetStreamCount",
        "MFCreateMediaType", "mediatype.SetGUID"})
    if (s == step)
      return media_type_failure;
  if (s == "encoderN.codec.IsSupported") {
    const char* texts[] = {
        "Low latency mode is not supported (supported only from Windows 8 with a proper driver "
        "version)",
        "Reference frame number configuration is not supported (supported only from Windows 8.1 "
        "with a proper driver version)",
        "Temporal scalability is not supported"};
    return info(texts[n % 3]);
  }
  if (s == "attributes.SetGUID")
    return error(n == 0 ? "Couldn't set MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID atribute "
                          "value (error = " +
                              kCode + ")!"
                        : "Couldn't set CLSID_VideoInputDeviceCategory atribute value (error = " +
                              kCode + ")!");
  if (s == "cameraN.codec.SetValue") {
    const char* texts[] = {"\t\t*** Info: Constant Bitrate Mode is not supported\n",
                           "UCConfig mode is not configurable\n",
                           "Temporal scalability is not supported\n"};
    return std::string(texts[n % 3]);
  }
  if (s == "cameraN.transform.GetOutputAvailableType")
    return error("Couldn't get output type (output type index = " + std::to_string(n) +
                 ", error = " + kCode + ")!");
  if (s == "cameraN.transform.typeN.N.GetMajorType") {
    const std::string index = call.name.substr(call.name.rfind('.', call.name.size() - 14) + 1);
    return error("Couldn't get major type from a MediaType object (output type index = " +
                 index.substr(0, index.find('.')) + ", error = " + kCode + ")!");
  }
  if (s == "cameraN.transform.typeN.N.SetUINTN")
    return error(n == 0 ? "Couldn't set MF_MT_H264_SUPPORTED_SLICE_MODES attribute to 0!"
                        : "Couldn't set MF_MT_INTERLACE_MODE attribute to "
                          "MFVideoInterlace_Progressive!");
  if (s == "monikerN.nodeN.KsProperty" && n % 2 == 1)
    return error("Calling KsProperty on node failed (error = " + kCode + ")!");
  return std::nullopt;
}

// Banner, both verdict lines, the four headings in order, the OS lines.
void expect_frame(const std::string& report, const std::string& context) {
  const char* frame[] = {"Capability Checker v2.4.0.1233\n\n",
                         "H.264 Encoding: ",
                         "H.264 Decoding: ",
                         "\nOn-board GPU H.264 Encoding Capabilities:\n\n",
                         "\nOn-board GPU H.264 Decoding Capabilities:\n\n",
                         "\nGPU details:\n\n",
                         "\nCamera Built-in H.264 Encoding Details:\n\n",
                         "\nEndpoint OS\n\t Windows 10 Pro\n"};
  std::size_t at = 0;
  for (const char* piece : frame) {
    const std::size_t found = report.find(piece, at);
    ASSERT_NE(found, std::string::npos) << context << ": missing or out of order: " << piece;
    at = found + 1;
  }
  EXPECT_EQ(report.compare(0, 16, "Capability Check"), 0) << context;
}

struct SweepRun {
  int status;
  std::string report;
  int live_objects;
};

SweepRun run_with_fault(int index, FakeScript::Action action) {
  ScriptedMachine machine;
  machine.script.fault_at(index, action, kInjected);
  const int status = machine.run();
  return {status, machine.driver.out, machine.script.live_objects};
}

TEST(FaultSweepTest, BaselineIsTheExpectedMachine) {
  ScriptedMachine machine;
  EXPECT_EQ(machine.run(), 0);
  const std::string& report = machine.driver.out;
  EXPECT_NE(report.find("H.264 Encoding: \t Camera ( UVC 1.5 )\n"), std::string::npos);
  EXPECT_NE(report.find("H.264 Decoding: \t Onboard hardware\n"), std::string::npos);
  EXPECT_NE(report.find("\tIntel(R) Quick Sync Video H.264 Encoder MFT - Supported\n"),
            std::string::npos);
  EXPECT_NE(report.find("\tLogitech Webcam C930e - Has built-in H.264 encoding\n"
                        "\t\tUVC 1.5 acceleration is not supported\n"
                        "\t\tUVC 1.1 acceleration is supported\n"),
            std::string::npos);
  EXPECT_EQ(report.find("*** Error"), std::string::npos) << report;
  EXPECT_EQ(machine.script.live_objects, 0);
}

// FreeLibrary is made on the way out of the adapter walk, from a destructor:
// a C function that can only fail, never throw.
bool can_throw(const Call& call) {
  return call.name != "FreeLibrary";
}

TEST(FaultSweepTest, EveryCallFailingOrThrowingCostsOnlyItsLine) {
  const std::vector<Call> calls = testing::machine_calls();
  ASSERT_GT(calls.size(), 150u);
  int prescribed_failures = 0;
  int runs = 0;
  for (const Call& call : calls) {
    const std::string context = "call " + std::to_string(call.index) + " " + call.name;
    for (auto action : {FakeScript::Action::kFail, FakeScript::Action::kThrowComError}) {
      const bool throws = action == FakeScript::Action::kThrowComError;
      if (throws && !can_throw(call))
        continue;
      const SweepRun run = run_with_fault(call.index, action);
      ++runs;
      const std::string what = context + (throws ? " throwing" : " failing");
      EXPECT_EQ(run.status, 0) << what;
      EXPECT_EQ(run.live_objects, 0) << what << ": platform objects left alive";
      expect_frame(run.report, what);
      EXPECT_TRUE(testing::report_round_trips(run.report)) << what << "\n" << run.report;
      if (throws) {
        const std::string line =
            "\t\t*** Error: " + testing::innermost_guard(call) + " catch com error: " + kText;
        EXPECT_NE(run.report.find(line), std::string::npos) << what << ": no line " << line << "\n"
                                                            << run.report;
      } else if (const std::optional<std::string> line = line_for_failure(call)) {
        ++prescribed_failures;
        EXPECT_NE(run.report.find(*line), std::string::npos)
            << what << ": no line " << *line << "\n"
            << run.report;
      }
    }
  }
  std::printf(
      "fault sweep: %zu injection points covered, %d runs (each call failing, and "
      "throwing where it can); %d failures checked against a line of their own\n",
      calls.size(), runs, prescribed_failures);
}

// A driver's Release that crashes inside a noexcept destructor (ComPtr's),
// alone or while a crash in an earlier call unwinds, ends in std::terminate;
// the guard resumes at its innermost guard from there. Every such run keeps
// the whole report, with one line for the crash, and exits 0.
TEST(FaultSweepTest, EveryReleaseCrashingAloneOrAfterACrashingCallCostsALine) {
  testing::JumpFaultGuard guard;
  ScriptedMachine baseline;
  baseline.run();
  const int releases = baseline.script.releases;
  ASSERT_GT(releases, 30);
  const std::vector<Call> calls = testing::machine_calls();
  const std::string crash_line = " catch undefined exception! LastError: ";
  for (int row = 0; row < releases + static_cast<int>(calls.size()); ++row) {
    ScriptedMachine machine;
    std::string what;
    if (row < releases) {
      machine.script.fault_at_release(row);
      what = "release " + std::to_string(row) + " crashing";
    } else {
      const Call& call = calls[row - releases];
      machine.script.fault_at(call.index, FakeScript::Action::kThrowUndefined);
      machine.script.fault_release_after_call(call.index);
      what = "call " + std::to_string(call.index) + " " + call.name + " and a release crashing";
    }
    EXPECT_EQ(machine.run(), 0) << what;
    const std::string& report = machine.driver.out;
    expect_frame(report, what);
    EXPECT_NE(report.find(crash_line), std::string::npos) << what << "\n" << report;
    // The run went on: no check after it was cut short.
    EXPECT_EQ(report.find("did not begin"), std::string::npos) << what << "\n" << report;
    EXPECT_TRUE(testing::report_round_trips(report)) << what << "\n" << report;
    EXPECT_EQ(machine.driver.calls.back(), "end process 0") << what;
  }
}

TEST(FaultSweepTest, InjectionPointsAreEveryCallTheRunMakes) {
  ScriptedMachine machine;
  machine.run();
  // Only the device-set destruction is logged without being injectable: it
  // is a destructor, which cannot report failure.
  int logged_only = 0;
  for (const std::string& name : machine.script.calls)
    logged_only += name == "SetupDiDestroyDeviceInfoList";
  EXPECT_EQ(machine.script.injection_points.size() + logged_only, machine.script.calls.size());
}

}  // namespace
}  // namespace cc
