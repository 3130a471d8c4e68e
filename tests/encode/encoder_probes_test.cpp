#include "encode/encoder_probes.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "encoder_test_support.h"
#include "support/media_guids.h"

namespace cc {
namespace {

using testing::AttributeValues;
using testing::com_guard_line;
using testing::failed_line;
using testing::FakeActivate;
using testing::FakeMediaFoundation;
using testing::FakeScript;
using testing::FakeSystemErrors;
using testing::kAllSizes;
using testing::sizes_line;

std::uint32_t frame_width(const AttributeValues& type) {
  return static_cast<std::uint32_t>(type.uint64s.at(kMtFrameSize) >> 32);
}

std::uint32_t frame_height(const AttributeValues& type) {
  return static_cast<std::uint32_t>(type.uint64s.at(kMtFrameSize) & 0xFFFFFFFFu);
}

class ProbeTest : public ::testing::Test {
 protected:
  ProbeTest() { testing::install_system_texts(errors); }

  bool probe_media_types() {
    FakeActivate encoder(script, "encoder0", device);
    const bool result = check_encoder_io_media_types(section, &encoder, mf);
    EXPECT_EQ(script.live_objects, 1) << "only the caller's activation object may remain";
    return result;
  }

  void probe_features() {
    {
      FakeActivate encoder(script, "encoder0", device);
      check_codec_capabilities(section, &encoder, mf);
    }
    EXPECT_EQ(script.live_objects, 0);
  }

  FakeSystemErrors errors;
  FakeScript script;
  FakeMediaFoundation mf{script};
  testing::DeviceDescription device = testing::capable_encoder("Encoder", "VEN_8086");
  ReportSection section;
};

// --- media-type probe: which sizes make the list -------------------------

struct SizesCase {
  const char* label;
  std::function<bool(std::uint32_t width, std::uint32_t height)> accepts;
  std::string line;
};

class AcceptedSizesTest : public ProbeTest, public ::testing::WithParamInterface<SizesCase> {};

TEST_P(AcceptedSizesTest, ListsExactlyTheAcceptedSizesInTableOrder) {
  const SizesCase& c = GetParam();
  device.transform.accept = [&](std::uint32_t, const AttributeValues& type, std::uint32_t) {
    return c.accepts(frame_width(type), frame_height(type)) ? S_OK : E_INVALIDARG;
  };
  EXPECT_TRUE(probe_media_types());
  EXPECT_EQ(section.text(), sizes_line(c.line));
  EXPECT_EQ(script.count("encoder0.transform.SetOutputType"), 11) << "every size is tried";
  EXPECT_EQ(script.count("encoder0.DetachObject"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes,
    AcceptedSizesTest,
    ::testing::Values(
        SizesCase{"all", [](auto, auto) { return true; }, kAllSizes},
        SizesCase{"up_to_720p", [](auto w, auto h) { return w <= 1280 && h <= 720; },
                  "320x180, 424x240, 480x270, 640x360, 800x448, 848x480, 960x540, 1024x576, "
                  "1280x720"},
        SizesCase{"none", [](auto, auto) { return false; }, ""},
        SizesCase{"scattered", [](auto w, auto) { return w == 424 || w == 1600 || w == 1920; },
                  "424x240, 1600x896, 1920x1080"},
        // Catches a swapped packing of width and height.
        SizesCase{"width_is_upper_half", [](auto w, auto h) { return w == 640 && h == 360; },
                  "640x360"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProbeTest, OffersAnH264VideoTypeOnStreamZeroAsARealSet) {
  device.transform.accept = [](std::uint32_t stream, const AttributeValues& type,
                               std::uint32_t flags) {
    const bool right = stream == 0 && flags == 0 &&
                       same_guid(type.guids.at(kMtMajorType), kMediaTypeVideo) &&
                       same_guid(type.guids.at(kMtSubtype), kVideoFormatH264) &&
                       type.guids.size() == 2 && type.uint32s.empty() && type.uint64s.size() == 1;
    return right ? S_OK : E_INVALIDARG;
  };
  EXPECT_TRUE(probe_media_types());
  EXPECT_EQ(section.text(), sizes_line(kAllSizes));
  EXPECT_EQ(script.count("MFCreateMediaType"), 1) << "one type reused for every size";
  // The transform was unlocked for use first: MF_TRANSFORM_ASYNC_UNLOCK = TRUE.
  EXPECT_EQ(device.transform.attributes->uint32s,
            (std::map<GUID, std::uint32_t, testing::GuidLess>{{testing::kAsyncUnlock, 1}}));
}

TEST_F(ProbeTest, FailedFrameSizeWriteSkipsOnlyThatSize) {
  script.fail("mediatype.SetUINT64", E_FAIL, 0);
  EXPECT_TRUE(probe_media_types());
  EXPECT_EQ(section.text(), sizes_line(std::string(kAllSizes).substr(9)));
  EXPECT_EQ(script.count("encoder0.transform.SetOutputType"), 10);
}

TEST_F(ProbeTest, ExceptionInOneSizeIsGuardedAndTheLoopGoesOn) {
  script.raise("encoder0.transform.SetOutputType", 3);
  EXPECT_TRUE(probe_media_types());
  EXPECT_EQ(section.text(),
            com_guard_line("in resolutions", "Unspecified error") +
                sizes_line("320x180, 424x240, 480x270, 800x448, 848x480, 960x540, 1024x576, "
                           "1280x720, 1600x896, 1920x1080"));
}

// --- media-type probe: setup steps that fail ------------------------------

struct SetupFailure {
  const char* label;
  const char* call;
  std::optional<int> occurrence;
  HRESULT hr;
  std::string message;
};

class SetupFailureTest : public ProbeTest, public ::testing::WithParamInterface<SetupFailure> {};

TEST_P(SetupFailureTest, EndsWithTheErrorLineAndNoSizeTried) {
  const SetupFailure& c = GetParam();
  script.fail(c.call, c.hr, c.occurrence);
  EXPECT_FALSE(probe_media_types());
  EXPECT_EQ(section.text(), failed_line(c.message));
  EXPECT_EQ(script.count("encoder0.transform.SetOutputType"), 0);
  EXPECT_EQ(script.count("encoder0.DetachObject"), 1) << "detached on the failure path too";
}

INSTANTIATE_TEST_SUITE_P(
    Steps,
    SetupFailureTest,
    ::testing::Values(SetupFailure{"activate",
                                   "encoder0.ActivateObject(IMFTransform)",
                                   {},
                                   E_NOINTERFACE,
                                   "No such interface supported"},
                      SetupFailure{"attributes",
                                   "encoder0.transform.GetAttributes",
                                   {},
                                   E_OUTOFMEMORY,
                                   "Not enough memory resources are available."},
                      SetupFailure{"unlock",
                                   "encoder0.transform.attributes.SetUINT32",
                                   {},
                                   E_ACCESSDENIED,
                                   "Unknown error 0x80070005"},
                      SetupFailure{"stream_count",
                                   "encoder0.transform.GetStreamCount",
                                   {},
                                   E_NOTIMPL,
                                   "Unknown error 0x80004001"},
                      SetupFailure{"create_type",
                                   "MFCreateMediaType",
                                   {},
                                   E_OUTOFMEMORY,
                                   "Not enough memory resources are available."},
                      SetupFailure{"major_type", "mediatype.SetGUID", 0, E_INVALIDARG,
                                   "The parameter is incorrect."},
                      SetupFailure{"subtype", "mediatype.SetGUID", 1, E_FAIL, "Unspecified error"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProbeTest, AbsentActivationObjectIsInvalidArgument) {
  EXPECT_FALSE(check_encoder_io_media_types(section, nullptr, mf));
  EXPECT_EQ(section.text(), failed_line("The parameter is incorrect."));
  EXPECT_TRUE(script.calls.empty());
}

TEST_F(ProbeTest, MissingTransformInterfaceFailsWithItsCode) {
  device.has_transform = false;
  EXPECT_FALSE(probe_media_types());
  EXPECT_EQ(section.text(), failed_line("No such interface supported"));
}

// --- media-type probe: a platform that claims success but hands out nothing

// Answers S_OK everywhere; hands out a transform and a store only when told.
class HollowTransform : public Transform {
 public:
  explicit HollowTransform(bool gives_attributes) : gives_attributes_(gives_attributes) {}
  HRESULT get_attributes(std::unique_ptr<Attributes>* attributes) override {
    if (gives_attributes_)
      *attributes = std::make_unique<HollowAttributes>();
    return S_OK;
  }
  HRESULT get_stream_count(std::uint32_t*, std::uint32_t*) override { return S_OK; }
  HRESULT get_output_available_type(std::uint32_t,
                                    std::uint32_t,
                                    std::unique_ptr<MediaType>*) override {
    return S_OK;
  }
  HRESULT set_output_type(std::uint32_t, MediaType&, std::uint32_t) override { return S_OK; }

 private:
  struct HollowAttributes : Attributes {
    HRESULT set_uint32(const GUID&, std::uint32_t) override { return S_OK; }
    HRESULT set_guid(const GUID&, const GUID&) override { return S_OK; }
  };
  bool gives_attributes_;
};

class HollowActivate : public Activate {
 public:
  HollowActivate(bool gives_transform, bool gives_attributes)
      : gives_transform_(gives_transform), gives_attributes_(gives_attributes) {}
  HRESULT get_allocated_string(const GUID&, std::optional<std::u16string>*) override {
    return S_OK;
  }
  HRESULT activate_transform(std::unique_ptr<Transform>* transform) override {
    if (gives_transform_)
      *transform = std::make_unique<HollowTransform>(gives_attributes_);
    return S_OK;
  }
  HRESULT activate_codec_api(std::unique_ptr<CodecApi>*) override { return S_OK; }
  HRESULT detach_object() override { return S_OK; }
  HRESULT shutdown_object() override { return S_OK; }

 private:
  bool gives_transform_;
  bool gives_attributes_;
};

class NoMediaType : public FakeMediaFoundation {
 public:
  using FakeMediaFoundation::FakeMediaFoundation;
  HRESULT create_media_type(std::unique_ptr<MediaType>*) override { return S_OK; }
};

TEST_F(ProbeTest, SuccessWithoutAnObjectIsAFailureNotACrash) {
  struct Case {
    bool transform, attributes;
  };
  for (const Case& c : {Case{false, false}, Case{true, false}, Case{true, true}}) {
    HollowActivate encoder(c.transform, c.attributes);
    NoMediaType hollow_mf(script);
    ReportSection out;
    EXPECT_FALSE(check_encoder_io_media_types(out, &encoder, hollow_mf));
    EXPECT_EQ(out.text(), failed_line("Invalid pointer")) << c.transform << c.attributes;
  }
}

TEST_F(ProbeTest, FeatureProbeWithoutACodecObjectWritesNothing) {
  HollowActivate encoder(false, false);
  check_codec_capabilities(section, &encoder, mf);
  EXPECT_EQ(section.text(), "");
}

// --- media-type probe: exceptions inside guarded steps --------------------

struct StepException {
  const char* label;
  const char* call;
  std::optional<int> occurrence;
  std::string guard_name;
  bool continues;  // false: the probe ends with E_UNEXPECTED
};

class StepExceptionTest : public ProbeTest, public ::testing::WithParamInterface<StepException> {};

TEST_P(StepExceptionTest, GuardLineNamesTheStepAndStatusDecidesWhatFollows) {
  const StepException& c = GetParam();
  script.raise(c.call, c.occurrence);
  const bool result = probe_media_types();
  const std::string guard = com_guard_line(c.guard_name, "Unspecified error");
  if (c.continues) {
    EXPECT_TRUE(result);
    EXPECT_EQ(section.text(), guard + sizes_line(kAllSizes));
  } else {
    EXPECT_FALSE(result);
    EXPECT_EQ(section.text(), guard + failed_line("Catastrophic failure"));
    EXPECT_EQ(script.count("MFCreateMediaType"), 0);
  }
  EXPECT_EQ(script.count("encoder0.DetachObject"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps,
    StepExceptionTest,
    ::testing::Values(StepException{"activate",
                                    "encoder0.ActivateObject(IMFTransform)",
                                    {},
                                    "check_encoder_io_media_types: ActivateObject",
                                    false},
                      StepException{"attributes",
                                    "encoder0.transform.GetAttributes",
                                    {},
                                    "check_encoder_io_media_types: GetAttributes",
                                    false},
                      StepException{"unlock",
                                    "encoder0.transform.attributes.SetUINT32",
                                    {},
                                    "check_encoder_io_media_types: SetUINT32",
                                    true},
                      StepException{"stream_count",
                                    "encoder0.transform.GetStreamCount",
                                    {},
                                    "check_encoder_io_media_types: GetStreamCount",
                                    true},
                      StepException{"major_type", "mediatype.SetGUID", 0,
                                    "check_encoder_io_media_types: SetGUID with MFMediaType_Video",
                                    true},
                      StepException{"subtype", "mediatype.SetGUID", 1,
                                    "check_encoder_io_media_types: SetGUID with MFVideoFormat_H264",
                                    true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProbeTest, UndefinedExceptionGetsItsOwnGuardLine) {
  script.raise("encoder0.transform.GetStreamCount", {}, FakeScript::Action::kThrowUndefined);
  EXPECT_TRUE(probe_media_types());
  EXPECT_EQ(section.text(),
            "\t\t*** Error: check_encoder_io_media_types: GetStreamCount catch undefined "
            "exception! LastError: 0\n" +
                sizes_line(kAllSizes));
}

// Every platform call failing or throwing in turn: whatever happens, the
// probe releases what it obtained and detaches the encoder.
TEST_F(ProbeTest, FaultAtEveryCallReleasesEverything) {
  for (FakeScript::Action action :
       {FakeScript::Action::kFail, FakeScript::Action::kThrowComError}) {
    for (int index = 0; index < 20; ++index) {
      FakeScript sweep;
      FakeMediaFoundation sweep_mf(sweep);
      sweep.fault_at(index, action);
      {
        FakeActivate encoder(sweep, "encoder0", device);
        ReportSection out;
        try {
          check_encoder_io_media_types(out, &encoder, sweep_mf);
        } catch (const ComError&) {
          // Only the type creation and the final detach are outside a guard.
          const std::string& last = sweep.calls.back();
          EXPECT_TRUE(last == "MFCreateMediaType" || last == "encoder0.DetachObject") << last;
        }
      }
      EXPECT_EQ(sweep.live_objects, 0) << "fault at call " << index;
    }
  }
}

// --- feature probe ---------------------------------------------------------

struct FeatureCase {
  const char* label;
  HRESULT low_latency, ref_frames, temporal_layers, set_layers;
  std::vector<std::string> info;
  bool sets_value;
};

class FeatureTest : public ProbeTest, public ::testing::WithParamInterface<FeatureCase> {};

TEST_P(FeatureTest, OneInfoLinePerMissingFeature) {
  const FeatureCase& c = GetParam();
  device.codec.supported[kCodecLowLatencyMode] = c.low_latency;
  device.codec.supported[kCodecMaxNumRefFrame] = c.ref_frames;
  device.codec.supported[kCodecTemporalLayerCount] = c.temporal_layers;
  device.codec.set_results[{kCodecTemporalLayerCount, 2}] = c.set_layers;
  probe_features();
  std::string expected;
  for (const std::string& line : c.info)
    expected += "\t\t*** Info: " + line + "\n";
  EXPECT_EQ(section.text(), expected);
  EXPECT_EQ(script.count("encoder0.codec.SetValue"), c.sets_value ? 1 : 0);
  EXPECT_EQ(script.count("VariantClear"), c.sets_value ? 1 : 0);
  EXPECT_EQ(script.count("encoder0.DetachObject"), 1);
}

const char kLowLatency[] =
    "Low latency mode is not supported (supported only from Windows 8 with a proper driver "
    "version)";
const char kRefFrames[] =
    "Reference frame number configuration is not supported (supported only from Windows 8.1 "
    "with a proper driver version)";
const char kTemporal[] = "Temporal scalability is not supported";
const char kNotConfigurable[] = "Temporal layers count is not configurable";

INSTANTIATE_TEST_SUITE_P(
    Combinations,
    FeatureTest,
    ::testing::Values(
        FeatureCase{"all_present", S_OK, S_OK, S_OK, S_OK, {}, true},
        FeatureCase{"s_false_counts_as_supported", S_FALSE, S_FALSE, S_FALSE, S_FALSE, {}, true},
        FeatureCase{"no_low_latency", E_NOTIMPL, S_OK, S_OK, S_OK, {kLowLatency}, true},
        FeatureCase{"no_ref_frames", S_OK, E_INVALIDARG, S_OK, S_OK, {kRefFrames}, true},
        FeatureCase{"no_temporal_layers", S_OK, S_OK, E_NOTIMPL, S_OK, {kTemporal}, false},
        FeatureCase{"layers_not_settable",
                    S_OK,
                    S_OK,
                    S_OK,
                    E_INVALIDARG,
                    {kNotConfigurable},
                    true},
        FeatureCase{"nothing",
                    E_FAIL,
                    E_FAIL,
                    E_FAIL,
                    E_FAIL,
                    {kLowLatency, kRefFrames, kTemporal},
                    false},
        FeatureCase{"first_two_missing_layers_refused",
                    E_FAIL,
                    E_FAIL,
                    S_OK,
                    E_FAIL,
                    {kLowLatency, kRefFrames, kNotConfigurable},
                    true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ProbeTest, LayerCountSetIsTwo) {
  // Only the value 2 is accepted; any other value would read as refused.
  device.codec.set_results.clear();
  device.codec.set_results[{kCodecTemporalLayerCount, 2}] = S_OK;
  device.codec.set_results[{kCodecLowLatencyMode, 2}] = S_OK;
  probe_features();
  EXPECT_EQ(section.text(), "");
}

TEST_F(ProbeTest, FailedVariantClearIsNotExamined) {
  script.fail("VariantClear", E_FAIL);
  probe_features();
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(script.count("VariantClear"), 1);
}

TEST_F(ProbeTest, NoCodecInterfaceIsSilentButDetaches) {
  device.has_codec_api = false;
  probe_features();
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(script.count("encoder0.codec.IsSupported"), 0);
  EXPECT_EQ(script.count("encoder0.DetachObject"), 1);
}

TEST_F(ProbeTest, FailedCodecActivationIsSilentButDetaches) {
  script.fail("encoder0.ActivateObject(ICodecAPI)", E_FAIL);
  probe_features();
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(script.count("encoder0.DetachObject"), 1);
}

TEST_F(ProbeTest, AbsentActivationObjectWritesNothing) {
  check_codec_capabilities(section, nullptr, mf);
  EXPECT_EQ(section.text(), "");
  EXPECT_TRUE(script.calls.empty());
}

TEST_F(ProbeTest, ExceptionLeavesTheFeatureProbeKeepingEarlierLinesAndReleasing) {
  device.codec.supported[kCodecLowLatencyMode] = E_FAIL;
  script.raise("encoder0.codec.IsSupported", 1);
  {
    FakeActivate encoder(script, "encoder0", device);
    EXPECT_THROW(check_codec_capabilities(section, &encoder, mf), ComError);
  }
  EXPECT_EQ(section.text(), std::string("\t\t*** Info: ") + kLowLatency + "\n");
  EXPECT_EQ(script.live_objects, 0);
}

}  // namespace
}  // namespace cc
