#include "decode/decoder_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decode/fake_decoder_platform.h"
#include "support/fake_system_errors.h"
#include "support/media_guids.h"

namespace cc {
namespace {

using testing::FakeAdapter;
using testing::FakeDecoderPlatform;
using testing::FakeScript;
using testing::FakeSystemErrors;

// Platform constants as these tests spell them (support/media_guids.h), never
// taken from the code under test.
const GUID kH264E = testing::kDxva2H264E;
const GUID kH264F = testing::kDxva2H264F;
const GUID kMpeg2Vld = testing::kDxva2Mpeg2;
const std::uint32_t kNv12 = testing::kNv12Fourcc;
const std::uint32_t kYuy2 = testing::kYuy2Fourcc;
const std::uint32_t kX8R8G8B8 = 22;  // D3DFMT_X8R8G8B8

// An adapter that decodes: H.264 VLD listed among others, NV12 among the
// targets, one raw configuration after a non-raw one.
FakeAdapter decoding_adapter(const std::string& name) {
  return FakeAdapter{name, {kMpeg2Vld, kH264E}, {kYuy2, kNv12}, {{{0}, {1}}}};
}

struct DecoderCheckTest : ::testing::Test {
  // Runs the check and proves nothing it created outlived it.
  std::string run() {
    check_hardware_decoder_capability(section, available, platform);
    EXPECT_EQ(script.live_objects, 0);
    return section_text(section);
  }

  FakeSystemErrors errors;
  FakeScript script;
  FakeDecoderPlatform platform{script};
  ReportSection section;
  bool available = true;  // the check must clear it
};

// --- Verdict per adapter ---------------------------------------------------

struct VerdictCase {
  const char* label;
  FakeAdapter adapter;
  const char* text;
  bool available;
};

class DecoderVerdictTest : public DecoderCheckTest,
                           public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(DecoderVerdictTest, WritesOneResultLine) {
  platform.adapters = {GetParam().adapter};
  EXPECT_EQ(run(), GetParam().text);
  EXPECT_EQ(available, GetParam().available);
}

INSTANTIATE_TEST_SUITE_P(
    Adapters,
    DecoderVerdictTest,
    ::testing::Values(
        VerdictCase{"RawLongSlices",
                    {"GPU", {kH264E}, {kNv12}, {{{1}}}},
                    "\tGPU - Supported\n",
                    true},
        VerdictCase{"RawShortSlices",
                    {"GPU", {kH264E}, {kNv12}, {{{2}}}},
                    "\tGPU - Supported\n",
                    true},
        VerdictCase{"AmongOthers", decoding_adapter("Intel(R) HD Graphics 4600"),
                    "\tIntel(R) HD Graphics 4600 - Supported\n", true},
        VerdictCase{"OnlyNonRawConfigurations",
                    {"GPU", {kH264E}, {kNv12}, {{{0}, {0}}}},
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false},
        VerdictCase{"UnknownBitstreamMode",
                    {"GPU", {kH264E}, {kNv12}, {{{3}}}},
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false},
        VerdictCase{"NoConfigurations",
                    {"GPU", {kH264E}, {kNv12}, {}},
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false},
        VerdictCase{"NoNv12Target",
                    {"GPU", {kH264E}, {kYuy2, kX8R8G8B8}, {{{1}}}},
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false},
        VerdictCase{"NoTargets",
                    {"GPU", {kH264E}, {}, {{{1}}}},
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false},
        VerdictCase{"OtherH264ModesOnly",
                    {"GPU", {kH264F, kMpeg2Vld}, {kNv12}, {{{1}}}},
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false},
        VerdictCase{"NoProfiles",
                    {"GPU", {}, {kNv12}, {{{1}}}},
                    "\tGPU - No video decoding hardware\n",
                    false},
        VerdictCase{"EmptyDescription", {"", {kH264E}, {kNv12}, {{{1}}}}, "\t - Supported\n", true},
        VerdictCase{"SecondNv12EntryHasRawConfiguration",
                    {"GPU", {kH264E}, {kNv12, kYuy2, kNv12}, {{{0}}, {{2}}}},
                    "\tGPU - Supported\n",
                    true}),
    [](const auto& info) { return std::string(info.param.label); });

// --- Failing platform calls --------------------------------------------------

struct FailureCase {
  const char* label;
  const char* call;
  std::uint32_t code;
  const char* text;
  bool available;
};

class DecoderFailureTest : public DecoderCheckTest,
                           public ::testing::WithParamInterface<FailureCase> {};

// Failing calls here still hand back data that would decode, so any trust in
// a failed call's out-values shows up as a wrong verdict.
TEST_P(DecoderFailureTest, WritesItsLineAndGoesOn) {
  errors.texts[E_INVALIDARG] = "The parameter is incorrect.\r\n";
  platform.adapters = {FakeAdapter{"GPU", {kH264E}, {kNv12}, {{{1}}}}};
  platform.fill_on_failure = true;
  script.fail(GetParam().call, static_cast<HRESULT>(GetParam().code));
  EXPECT_EQ(run(), GetParam().text);
  EXPECT_EQ(available, GetParam().available);
}

INSTANTIATE_TEST_SUITE_P(
    Calls,
    DecoderFailureTest,
    ::testing::Values(
        FailureCase{"Direct3DCreate9Ex", "Direct3DCreate9Ex", 0x8876086Au,
                    "\t\t*** Error: Couldn't create Direct3D object (error = 0x8876086A)!\n",
                    false},
        FailureCase{"GetAdapterIdentifier", "adapter0.GetAdapterIdentifier", 0x80004005u,
                    "\t<Error: Couldn't define GPU name. Error: -2147467259>\n"
                    "\t<Unknown GPU name> - Supported\n",
                    true},
        FailureCase{"GetAdapterIdentifierInvalidCall", "adapter0.GetAdapterIdentifier", 0x8876086Cu,
                    "\t<Error: Couldn't define GPU name. Error: -2005530516>\n"
                    "\t<Unknown GPU name> - Supported\n",
                    true},
        FailureCase{"CreateDevice", "adapter0.CreateDevice", 0x8876086Cu,
                    "\t\t*** Error: Couldn't create Direct3D device (error = 0x8876086C)!\n",
                    false},
        FailureCase{"DXVA2CreateVideoService", "adapter0.DXVA2CreateVideoService", 0x80004002u,
                    "\t\t*** Error: Couldn't create VideoDecoderService (error = 0x80004002)!\n",
                    false},
        FailureCase{"GetDecoderDeviceGuidsEFail", "adapter0.GetDecoderDeviceGuids", 0x80004005u,
                    "\tGPU - No video decoding hardware\n", false},
        FailureCase{"GetDecoderDeviceGuids", "adapter0.GetDecoderDeviceGuids", 0x8007000Eu,
                    "\t\t*** Error: Couldn't get decoder device GUIDs (error = 0x8007000E)!\n"
                    "\tGPU - No video decoding hardware\n",
                    false},
        FailureCase{"GetDecoderRenderTargets", "adapter0.GetDecoderRenderTargets", 0x80070057u,
                    "\t\t*** Error: Couldn't get decoder renderer targets (code = 0x80070057, "
                    "message = The parameter is incorrect.)!\n"
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false},
        FailureCase{"GetDecoderConfigurations", "adapter0.GetDecoderConfigurations", 0x80040201u,
                    "\t\t*** Error: Couldn't get decoder configurations (code = 0x80040201, "
                    "message = IDispatch error #1)!\n"
                    "\tGPU - No suitable H.264 hardware decoding\n",
                    false}),
    [](const auto& info) { return std::string(info.param.label); });

// A success without an object must not be dereferenced; it reads as E_POINTER.
struct NullObjectCase {
  const char* call;
  const char* text;
};

class DecoderNullObjectTest : public DecoderCheckTest,
                              public ::testing::WithParamInterface<NullObjectCase> {};

TEST_P(DecoderNullObjectTest, ReportedAsInvalidPointer) {
  platform.adapters = {decoding_adapter("GPU")};
  platform.null_objects = {GetParam().call};
  EXPECT_EQ(run(), GetParam().text);
  EXPECT_FALSE(available);
}

INSTANTIATE_TEST_SUITE_P(
    Calls,
    DecoderNullObjectTest,
    ::testing::Values(
        NullObjectCase{"Direct3DCreate9Ex",
                       "\t\t*** Error: Couldn't create Direct3D object (error = 0x80004003)!\n"},
        NullObjectCase{"adapter0.CreateDevice",
                       "\t\t*** Error: Couldn't create Direct3D device (error = 0x80004003)!\n"},
        NullObjectCase{"adapter0.DXVA2CreateVideoService",
                       "\t\t*** Error: Couldn't create VideoDecoderService (error = "
                       "0x80004003)!\n"}));

// --- Walking profiles and targets -------------------------------------------

TEST_F(DecoderCheckTest, FailedConfigurationReadMovesToNextNv12Entry) {
  platform.adapters = {FakeAdapter{"GPU", {kH264E}, {kNv12, kNv12}, {{}, {{1}}}}};
  script.fail("adapter0.GetDecoderConfigurations", E_FAIL, 0);
  EXPECT_EQ(run(),
            "\t\t*** Error: Couldn't get decoder configurations (code = 0x80004005, message = "
            "Unknown error 0x80004005)!\n"
            "\tGPU - Supported\n");
  EXPECT_TRUE(available);
  EXPECT_EQ(script.count("adapter0.GetDecoderConfigurations"), 2);
}

TEST_F(DecoderCheckTest, StopsAtFirstSuitableNv12Entry) {
  platform.adapters = {FakeAdapter{"GPU", {kH264E}, {kNv12, kNv12, kNv12}, {{{1}}}}};
  run();
  EXPECT_EQ(script.count("adapter0.GetDecoderConfigurations"), 1);
}

TEST_F(DecoderCheckTest, OnlyFirstH264EntryIsExamined) {
  // The first entry's targets lack NV12; a second look would find them.
  platform.adapters = {FakeAdapter{"GPU", {kH264F, kH264E, kMpeg2Vld, kH264E}, {kYuy2}, {}}};
  EXPECT_EQ(run(), "\tGPU - No suitable H.264 hardware decoding\n");
  EXPECT_EQ(script.count("adapter0.GetDecoderRenderTargets"), 1);
}

TEST_F(DecoderCheckTest, AsksForH264ProfileWithNv12Description) {
  platform.adapters = {FakeAdapter{"GPU", {kMpeg2Vld, kH264F, kH264E}, {kYuy2, kNv12}, {{{1}}}}};
  run();
  ASSERT_EQ(platform.log.render_target_profiles.size(), 1u);
  EXPECT_TRUE(same_guid(platform.log.render_target_profiles[0], kH264E));
  ASSERT_EQ(platform.log.configuration_profiles.size(), 1u);
  EXPECT_TRUE(same_guid(platform.log.configuration_profiles[0], kH264E));
  EXPECT_EQ(platform.log.configuration_formats, std::vector<std::uint32_t>{kNv12});
}

TEST_F(DecoderCheckTest, DirectCallOfFindDecoderConfiguration) {
  platform.adapters = {FakeAdapter{"GPU", {kH264E}, {kYuy2, kNv12}, {{{2}}}}};
  std::unique_ptr<Direct3DDevice> device;
  std::unique_ptr<Direct3D> d3d;
  ASSERT_EQ(platform.create_direct3d(32, &d3d), S_OK);
  ASSERT_EQ(d3d->create_device(DeviceParameters{}, &device), S_OK);
  std::unique_ptr<DecoderService> service;
  ASSERT_EQ(platform.create_video_decoder_service(*device, &service), S_OK);
  EXPECT_TRUE(find_decoder_configuration(section, *service, kH264E));
  platform.adapters[0].render_targets = {kYuy2};
  EXPECT_FALSE(find_decoder_configuration(section, *service, kH264E));
  EXPECT_EQ(section_text(section), "");
}

// --- Adapters ----------------------------------------------------------------

TEST_F(DecoderCheckTest, NoAdaptersWritesNothing) {
  EXPECT_EQ(run(), "");
  EXPECT_FALSE(available);
  EXPECT_EQ(script.count("GetAdapterCount"), 1);
}

// Each adapter's line carries its own verdict, in adapter order; the flag
// rises when any adapter decodes.
struct TwoAdapterCase {
  const char* label;
  FakeAdapter first;
  FakeAdapter second;
  const char* text;
};

class TwoAdapterTest : public DecoderCheckTest,
                       public ::testing::WithParamInterface<TwoAdapterCase> {};

TEST_P(TwoAdapterTest, EachAdapterGetsItsOwnVerdict) {
  platform.adapters = {GetParam().first, GetParam().second};
  EXPECT_EQ(run(), GetParam().text);
  EXPECT_TRUE(available);
}

INSTANTIATE_TEST_SUITE_P(
    Adapters,
    TwoAdapterTest,
    ::testing::Values(
        TwoAdapterCase{"BothDecode", decoding_adapter("First"), decoding_adapter("Second"),
                       "\tFirst - Supported\n\tSecond - Supported\n"},
        TwoAdapterCase{"FirstDecodesSecondHasNoProfiles", decoding_adapter("First"),
                       FakeAdapter{"Second", {}, {}, {}},
                       "\tFirst - Supported\n\tSecond - No video decoding hardware\n"},
        TwoAdapterCase{"FirstDecodesSecondLacksNv12", decoding_adapter("First"),
                       FakeAdapter{"Second", {kH264E}, {kYuy2}, {}},
                       "\tFirst - Supported\n\tSecond - No suitable H.264 hardware decoding\n"},
        TwoAdapterCase{"OnlySecondDecodes", FakeAdapter{"First", {kH264E}, {kNv12}, {{{0}}}},
                       decoding_adapter("Second"),
                       "\tFirst - No suitable H.264 hardware decoding\n\tSecond - Supported\n"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DecoderCheckTest, FailedDeviceSkipsOnlyThatAdapter) {
  platform.adapters = {decoding_adapter("First"), decoding_adapter("Second")};
  script.fail("adapter0.GetAdapterIdentifier", E_FAIL);
  script.fail("adapter0.CreateDevice", static_cast<HRESULT>(0x88760868u));
  EXPECT_EQ(run(),
            "\t<Error: Couldn't define GPU name. Error: -2147467259>\n"
            "\t\t*** Error: Couldn't create Direct3D device (error = 0x88760868)!\n"
            "\tSecond - Supported\n");
  EXPECT_TRUE(available);
}

TEST_F(DecoderCheckTest, DeviceParametersForEveryAdapter) {
  platform.adapters = {decoding_adapter("First"), decoding_adapter("Second")};
  run();
  EXPECT_EQ(platform.log.sdk_versions, std::vector<std::uint32_t>{32});
  EXPECT_EQ(platform.log.identifier_flags, (std::vector<std::uint32_t>{0, 0}));
  ASSERT_EQ(platform.log.devices.size(), 2u);
  for (std::uint32_t i = 0; i < 2; ++i) {
    const DeviceParameters& device = platform.log.devices[i];
    EXPECT_EQ(device.adapter, i);
    EXPECT_EQ(device.device_type, 1u);        // HAL
    EXPECT_EQ(device.behavior_flags, 0x26u);  // software VP | multithreaded | FPU preserve
    EXPECT_EQ(device.present.swap_effect, 1u);
    EXPECT_EQ(device.present.windowed, 1u);
    EXPECT_EQ(device.present.flags, 0x10u);
  }
}

// --- Release on every path ---------------------------------------------------

// Each adapter's device and service are gone before the next adapter's
// device is made, whichever way the adapter ended.
TEST_F(DecoderCheckTest, AdapterObjectsReleasedBeforeNextAdapter) {
  platform.adapters = {decoding_adapter("First"), decoding_adapter("Second"),
                       decoding_adapter("Third")};
  script.fail("adapter1.DXVA2CreateVideoService", E_FAIL);
  run();
  EXPECT_EQ(platform.log.live_at_create_device, (std::vector<int>{1, 1, 1}));
}

// Fails, then throws, each platform call of a two-adapter run in turn.
TEST_F(DecoderCheckTest, EveryObjectReleasedWhicheverCallFailsOrThrows) {
  const auto adapters = std::vector<FakeAdapter>{
      FakeAdapter{"First", {kH264E}, {kNv12, kNv12}, {{{0}}, {{1}}}}, decoding_adapter("Second")};
  FakeScript reference;
  {
    FakeDecoderPlatform full(reference);
    full.adapters = adapters;
    bool flag = false;
    ReportSection ignored;
    check_hardware_decoder_capability(ignored, flag, full);
  }
  const int calls = static_cast<int>(reference.calls.size());
  ASSERT_EQ(calls, 15);
  for (auto action : {FakeScript::Action::kFail, FakeScript::Action::kThrowComError,
                      FakeScript::Action::kThrowUndefined}) {
    for (int index = 0; index < calls; ++index) {
      FakeScript script;
      FakeDecoderPlatform faulty(script);
      faulty.adapters = adapters;
      script.fault_at(index, action, static_cast<HRESULT>(0x80070005u));
      ReportSection out;
      bool flag = true;
      bool threw = false;
      try {
        check_hardware_decoder_capability(out, flag, faulty);
      } catch (...) {
        threw = true;
      }
      EXPECT_EQ(threw, action != FakeScript::Action::kFail) << reference.calls[index];
      EXPECT_EQ(script.live_objects, 0) << reference.calls[index];
    }
  }
}

}  // namespace
}  // namespace cc
