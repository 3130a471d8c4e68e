#include "camera/camera_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "camera/fake_directshow.h"
#include "report/com_error.h"
#include "support/fake_media_foundation.h"
#include "support/media_guids.h"
#include "support/fake_system_errors.h"

namespace cc {
namespace {

using testing::AttributeValues;
using testing::DeviceDescription;
using testing::FakeCaptureDevice;
using testing::FakeDirectShow;
using testing::FakeKsNode;
using testing::FakeMediaFoundation;
using testing::FakeScript;
using testing::u16;

using testing::kAudio;
using testing::kFriendlyName;
using testing::kH264;
using testing::kInterlace;
using testing::kLevel;
using testing::kMajorType;
using testing::kNv12;
using testing::kProfile;
using testing::kRateControlMode;
using testing::kRateModes;
using testing::kSliceModes;
using testing::kSubtype;
using testing::kSymbolicLink;
using testing::kTemporalLayers;
using testing::kUsages;
using testing::kVideo;
using testing::kVideoUsage;
using testing::kYuy2;

const char kC920Link[] =
    "\\\\?\\usb#vid_046d&pid_082d&mi_00#6&2f3c#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global";
const char kOtherLink[] =
    "\\\\?\\usb#vid_1234&pid_5678&mi_00#7&1a2b#{e5323777-f976-4f5b-9b55-b94699c46e44}\\global";
const char kC920Note[] =
    "\t\tThe Logitech C920 camera can be enabled for UVC 1.1 with the correct drivers installed "
    "and a registry key change. See release notes for details.\n";

AttributeValues video_type(const GUID& subtype) {
  AttributeValues type;
  type.guids[kMajorType] = kVideo;
  type.guids[kSubtype] = subtype;
  return type;
}

AttributeValues uvc15_h264() {
  AttributeValues type = video_type(kH264);
  type.uint32s[kUsages] = 0x3;
  type.uint32s[kRateModes] = 0x2;
  type.uint32s[kLevel] = 40;
  type.uint32s[kProfile] = 257;
  return type;
}

// A camera whose codec interface takes everything and that offers YUY2 and a
// qualifying H.264 type on one stream: UVC 1.5 unless a test spoils it.
DeviceDescription uvc15_camera(const std::string& name, const std::string& link) {
  DeviceDescription camera;
  if (!name.empty())
    camera.strings[kFriendlyName] = u16(name);
  camera.strings[kSymbolicLink] = u16(link);
  camera.codec.set_results[{kRateControlMode, 0}] = S_OK;
  camera.codec.set_results[{kVideoUsage, 1}] = S_OK;
  camera.codec.set_results[{kTemporalLayers, 2}] = S_OK;
  camera.transform.available_types = {{video_type(kYuy2), uvc15_h264()}};
  return camera;
}

DeviceDescription plain_camera(const std::string& name, const std::string& link) {
  DeviceDescription camera = uvc15_camera(name, link);
  camera.has_codec_api = false;
  return camera;
}

FakeCaptureDevice capture_device(const std::string& path, bool h264_unit) {
  FakeKsNode node;
  node.sets = {h264_unit ? testing::kH264UnitSet : testing::kOtherSet};
  return {path, true, {node}};
}

std::string camera_lines(const std::string& name, bool uvc15, bool uvc11) {
  return "\t" + name +
         (uvc15 || uvc11 ? " - Has built-in H.264 encoding\n"
                         : " - Does not have built-in H.264 encoding\n") +
         "\t\tUVC 1.5 acceleration is " + (uvc15 ? "" : "not ") + "supported\n" +
         "\t\tUVC 1.1 acceleration is " + (uvc11 ? "" : "not ") + "supported\n";
}

struct CameraCheckTest : ::testing::Test {
  FakeScript script;
  FakeMediaFoundation mf{script};
  FakeDirectShow directshow{script};
  ReportSection section;
  bool uvc15 = false;
  bool uvc11 = false;

  void add(DeviceDescription camera, bool h264_unit = false) {
    const std::u16string& link = camera.strings[kSymbolicLink];
    directshow.devices.push_back(capture_device(std::string(link.begin(), link.end()), h264_unit));
    mf.cameras.push_back(std::move(camera));
  }
  void check() { check_uvc11_camera_capability(section, uvc15, uvc11, mf, directshow); }
};

// ---- Failures: each line of the table, and nothing left alive.

struct FailureCase {
  const char* name;
  std::function<void(CameraCheckTest&)> setup;
  const char* probe_lines;  // before the camera's lines; nullptr: the check ends there
  const char* ended_text;   // the whole section when the check ends early
};

class CameraFailureTest : public CameraCheckTest,
                          public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CameraFailureTest, WritesItsLineAndLosesOnlyUvc15) {
  add(uvc15_camera("Cam", kOtherLink));
  GetParam().setup(*this);
  check();
  if (GetParam().probe_lines)
    EXPECT_EQ(section.text(), GetParam().probe_lines + camera_lines("Cam", false, false));
  else
    EXPECT_EQ(section.text(), GetParam().ended_text);
  EXPECT_FALSE(uvc15);
  EXPECT_FALSE(uvc11);
  EXPECT_EQ(script.live_objects, 0);
}

FailureCase ended(const char* name, std::function<void(CameraCheckTest&)> setup, const char* text) {
  return {name, std::move(setup), nullptr, text};
}
FailureCase probed(const char* name,
                   std::function<void(CameraCheckTest&)> setup,
                   const char* lines) {
  return {name, std::move(setup), lines, nullptr};
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    CameraFailureTest,
    ::testing::Values(
        ended(
            "AttributeStore",
            [](auto& t) { t.script.fail("MFCreateAttributes", E_OUTOFMEMORY); },
            ""),
        ended(
            "SourceType",
            [](auto& t) { t.script.fail("attributes.SetGUID", E_FAIL, 0); },
            "\t\t*** Error: Couldn't set MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID atribute "
            "value (error = 0x80004005)!\n"),
        ended(
            "Category",
            [](auto& t) { t.script.fail("attributes.SetGUID", E_INVALIDARG, 1); },
            "\t\t*** Error: Couldn't set CLSID_VideoInputDeviceCategory atribute value (error = "
            "0x80070057)!\n"),
        ended(
            "Enumeration",
            [](auto& t) { t.script.fail("MFEnumDeviceSources", E_FAIL); },
            "\t\t*** Error: Couldn't enumerate device sources (error = 0x80004005)!\n"),
        ended(
            "NoDevices",
            [](auto& t) { t.mf.cameras.clear(); },
            "\tThere are no video capture devices\n"),
        probed(
            "CodecNoInterfaceIsSilent",
            [](auto& t) { t.mf.cameras[0].has_codec_api = false; },
            ""),
        probed(
            "CodecOtherCode",
            [](auto& t) { t.script.fail("camera0.ActivateObject(ICodecAPI)", E_FAIL); },
            "\t\t*** Info: Failed to activate ICodecAPI interface, error = Unknown error "
            "0x80004005\n"),
        probed(
            "CodecSuccessWithoutAnObject",
            [](auto& t) {
              t.mf.cameras[0].has_codec_api = false;
              t.mf.cameras[0].absent_answer = S_OK;
            },
            "\t\t*** Info: Failed to activate ICodecAPI interface, error = Unknown error 0x0\n"),
        probed(
            "RateControl",
            [](auto& t) {
              t.mf.cameras[0].codec.set_results.erase({kRateControlMode, 0});
            },
            "\t\t*** Info: Constant Bitrate Mode is not supported\n"),
        probed(
            "UsageBothValues",
            [](auto& t) {
              t.mf.cameras[0].codec.set_results.erase({kVideoUsage, 1});
            },
            "UCConfig mode is not configurable\n"),
        probed(
            "TemporalLayersBothValues",
            [](auto& t) {
              t.mf.cameras[0].codec.set_results.erase({kTemporalLayers, 2});
            },
            "Temporal scalability is not supported\n"),
        probed(
            "StreamCount",
            [](auto& t) { t.script.fail("camera0.transform.GetStreamCount", E_NOTIMPL); },
            "\t\t*** Error: Couldn't get stream count (error = 0x80004001)\n"),
        probed(
            "OutputTypeEndsTheStream",
            [](auto& t) {
              t.script.fail("camera0.transform.GetOutputAvailableType", E_UNEXPECTED, 1);
            },
            "\t\t*** Error: Couldn't get output type (output type index = 1, error = "
            "0x8000FFFF)!\n"),
        probed(
            "SubtypeSkipsThatType",
            [](auto& t) { t.script.fail("camera0.transform.type0.1.GetGUID", E_FAIL); },
            "\t\t*** Error: Couldn't get video format type (error = 0x80004005)!\n"),
        probed(
            "SliceModeWrite",
            [](auto& t) { t.script.fail("camera0.transform.type0.1.SetUINT32", E_FAIL, 0); },
            "\t\t*** Error: Couldn't set MF_MT_H264_SUPPORTED_SLICE_MODES attribute to 0!\n"),
        probed(
            "InterlaceWrite",
            [](auto& t) { t.script.fail("camera0.transform.type0.1.SetUINT32", E_FAIL, 1); },
            "\t\t*** Error: Couldn't set MF_MT_INTERLACE_MODE attribute to "
            "MFVideoInterlace_Progressive!\n")),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CameraCheckTest, FailingVariantClearLeavesThroughTheGuardAndReleasesAll) {
  DeviceDescription camera = uvc15_camera("Cam", kOtherLink);
  camera.codec.change_type_to = 8;  // VT_BSTR
  add(camera);
  script.fail("VariantClear", E_FAIL);
  uvc15 = true;
  run_guarded(section, "check_uvc11_camera_capability", [&] { check(); });
  EXPECT_EQ(section.text(),
            "\t\t*** Error: check_uvc11_camera_capability catch com error: Unknown error "
            "0x80004005. Description: (null). LastError: 0\n");
  EXPECT_TRUE(uvc15);
  EXPECT_EQ(script.live_objects, 0);
}

TEST_F(CameraCheckTest, VariantIsClearedOnlyWhenACallChangedItsType) {
  DeviceDescription camera = uvc15_camera("Cam", kOtherLink);
  add(camera);
  check();
  EXPECT_EQ(script.count("VariantClear"), 0);
  camera.codec.change_type_to = 8;
  mf.cameras[0] = camera;
  check();
  EXPECT_EQ(script.count("VariantClear"), 2);  // before the 2nd and 3rd of three values
  EXPECT_TRUE(uvc15);
}

// ---- The UVC 1.5 decision.

struct Uvc15Case {
  const char* name;
  std::function<void(DeviceDescription&)> change;
  bool uvc15;
};

class Uvc15Test : public CameraCheckTest, public ::testing::WithParamInterface<Uvc15Case> {};

TEST_P(Uvc15Test, NeedsAPlainFormatAndAQualifyingH264Type) {
  DeviceDescription camera = uvc15_camera("Cam", kOtherLink);
  GetParam().change(camera);
  add(camera);
  check();
  EXPECT_EQ(uvc15, GetParam().uvc15);
  EXPECT_EQ(section.text(), camera_lines("Cam", GetParam().uvc15, false));
  EXPECT_EQ(script.live_objects, 0);
}

void set_h264(DeviceDescription& c, const GUID& key, std::uint32_t value) {
  c.transform.available_types[0][1].uint32s[key] = value;
}

INSTANTIATE_TEST_SUITE_P(
    Decision,
    Uvc15Test,
    ::testing::Values(
        Uvc15Case{"PlainAndH264", [](auto&) {}, true},
        Uvc15Case{"H264Only", [](auto& c) { c.transform.available_types = {{uvc15_h264()}}; },
                  false},
        Uvc15Case{"PlainOnly", [](auto& c) { c.transform.available_types = {{video_type(kYuy2)}}; },
                  false},
        Uvc15Case{
            "UnrecognisedOrNullSubtypeIsNotPlain",
            [](auto& c) {
              c.transform.available_types = {{video_type(kNv12), video_type(GUID{}), uvc15_h264()}};
            },
            false},
        Uvc15Case{"AudioMajorTypeIsIgnored",
                  [](auto& c) { c.transform.available_types[0][0].guids[kMajorType] = kAudio; },
                  false},
        Uvc15Case{"MjpgCountsAsPlain",
                  [](auto& c) {
                    c.transform.available_types[0][0] =
                        video_type(testing::video_format(0x47504A4D));
                  },
                  true},
        Uvc15Case{"PlainOnSecondStream",
                  [](auto& c) {
                    c.transform.outputs = 2;
                    c.transform.available_types = {{uvc15_h264()}, {video_type(kYuy2)}};
                  },
                  true},
        Uvc15Case{"Level41", [](auto& c) { set_h264(c, kLevel, 41); }, false},
        Uvc15Case{"Profile100", [](auto& c) { set_h264(c, kProfile, 100); }, false},
        Uvc15Case{"NoUsagesAttribute",
                  [](auto& c) { c.transform.available_types[0][1].uint32s.erase(kUsages); }, false},
        Uvc15Case{"UsagesWithoutBit1", [](auto& c) { set_h264(c, kUsages, 0x5); }, false},
        Uvc15Case{"RateModesWithoutBit1", [](auto& c) { set_h264(c, kRateModes, 0x1); }, false},
        Uvc15Case{"NoRateModesAttribute",
                  [](auto& c) { c.transform.available_types[0][1].uint32s.erase(kRateModes); },
                  false},
        Uvc15Case{"UsageFallsBackTo2",
                  [](auto& c) {
                    c.codec.set_results.erase({kVideoUsage, 1});
                    c.codec.set_results[{kVideoUsage, 2}] = S_OK;
                  },
                  true},
        Uvc15Case{"TemporalLayersFallBackTo3",
                  [](auto& c) {
                    c.codec.set_results.erase({kTemporalLayers, 2});
                    c.codec.set_results[{kTemporalLayers, 3}] = S_OK;
                  },
                  true},
        Uvc15Case{"RejectedAsOutputType",
                  [](auto& c) {
                    c.transform.accept = [](std::uint32_t, const AttributeValues&, std::uint32_t) {
                      return static_cast<HRESULT>(0xC00D36B4u);  // MF_E_INVALIDMEDIATYPE
                    };
                  },
                  false},
        Uvc15Case{"RejectedInProgressiveForm",
                  [](auto& c) {
                    c.transform.accept = [](std::uint32_t, const AttributeValues& type,
                                            std::uint32_t) {
                      return type.uint32s.count(kInterlace) ? E_FAIL : S_OK;
                    };
                  },
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

struct OutputTypeTest {
  std::uint32_t stream;
  std::uint32_t flags;
  std::optional<std::uint32_t> slice_modes;
  std::optional<std::uint32_t> interlace;
};

std::optional<std::uint32_t> value_of(const AttributeValues& type, const GUID& key) {
  auto it = type.uint32s.find(key);
  return it == type.uint32s.end() ? std::nullopt : std::optional<std::uint32_t>(it->second);
}

TEST_F(CameraCheckTest, H264TypeIsTestedOnlyThenTestedAgainAsProgressive) {
  DeviceDescription camera = uvc15_camera("Cam", kOtherLink);
  camera.transform.outputs = 2;
  camera.transform.available_types = {{video_type(kYuy2)}, {uvc15_h264()}};
  std::vector<OutputTypeTest> tests;
  camera.transform.accept = [&](std::uint32_t stream, const AttributeValues& type,
                                std::uint32_t flags) {
    tests.push_back({stream, flags, value_of(type, kSliceModes), value_of(type, kInterlace)});
    return S_OK;
  };
  add(camera);
  check();
  ASSERT_EQ(tests.size(), 2u);
  EXPECT_TRUE(uvc15);
  for (const OutputTypeTest& test : tests) {
    EXPECT_EQ(test.stream, 1u);
    EXPECT_EQ(test.flags, 1u);  // MFT_SET_TYPE_TEST_ONLY
    EXPECT_EQ(test.slice_modes, std::optional<std::uint32_t>(0));
  }
  EXPECT_EQ(tests[0].interlace, std::nullopt);
  EXPECT_EQ(tests[1].interlace, std::optional<std::uint32_t>(2));
}

// An unreadable major type costs only that type, a failing type request only
// the rest of its stream: the H.264 type after the first and the plain type
// on the next stream still make the camera UVC 1.5.
TEST_F(CameraCheckTest, FailedTypeReadsCostOnlyThatTypeOrTheRestOfItsStream) {
  DeviceDescription camera = uvc15_camera("Cam", kOtherLink);
  camera.transform.outputs = 2;
  camera.transform.available_types = {{video_type(kYuy2), uvc15_h264(), video_type(kYuy2)},
                                      {video_type(kYuy2)}};
  add(camera);
  script.fail("camera0.transform.type0.0.GetMajorType", E_FAIL);
  script.fail("camera0.transform.GetOutputAvailableType", E_UNEXPECTED, 2);
  check();
  EXPECT_TRUE(uvc15);
  EXPECT_EQ(section.text(),
            "\t\t*** Error: Couldn't get major type from a MediaType object (output type index "
            "= 0, error = 0x80004005)!\n"
            "\t\t*** Error: Couldn't get output type (output type index = 2, error = "
            "0x8000FFFF)!\n" +
                camera_lines("Cam", true, false));
  EXPECT_EQ(script.live_objects, 0);
}

// The activation object is detached whether the transform came out of it, its
// activation failed, or it claimed success and handed out nothing.
TEST_F(CameraCheckTest, TransformActivationIsAlwaysDetached) {
  add(uvc15_camera("Used", kOtherLink));
  add(uvc15_camera("Failed", kOtherLink));
  DeviceDescription empty = uvc15_camera("Empty", kOtherLink);
  empty.has_transform = false;
  empty.absent_answer = S_OK;
  add(empty);
  script.fail("camera1.ActivateObject(IMFTransform)", E_FAIL);
  check();
  EXPECT_EQ(section.text(), camera_lines("Used", true, false) +
                                "\t\t*** Error: Failed to activate IMFTransform interface (error = "
                                "0x80004005)!\n" +
                                camera_lines("Failed", false, false) +
                                "\t\t*** Error: Failed to activate IMFTransform interface (error = "
                                "0x00000000)!\n" +
                                camera_lines("Empty", false, false));
  for (const char* camera : {"camera0", "camera1", "camera2"})
    EXPECT_EQ(script.count(std::string(camera) + ".DetachObject"), 1) << camera;
  EXPECT_EQ(script.live_objects, 0);
}

// ---- The camera's lines and the flags.

TEST_F(CameraCheckTest, CameraWithoutANameIsUnknown) {
  add(plain_camera("", kOtherLink));
  check();
  EXPECT_EQ(section.text(), camera_lines("<Unknown camera>", false, false));
}

TEST_F(CameraCheckTest, Uvc11OnlyCamera) {
  add(plain_camera("Cam", kOtherLink), true);
  check();
  EXPECT_EQ(section.text(), camera_lines("Cam", false, true));
  EXPECT_FALSE(uvc15);
  EXPECT_TRUE(uvc11);
}

TEST_F(CameraCheckTest, OnlyTheSecondOfTwoCamerasIsUvc15) {
  add(plain_camera("First", kOtherLink));
  add(uvc15_camera("Second", kC920Link));
  check();
  EXPECT_TRUE(uvc15);
  EXPECT_EQ(section.text(),
            camera_lines("First", false, false) + camera_lines("Second", true, false));
  EXPECT_EQ(script.live_objects, 0);
}

TEST_F(CameraCheckTest, FlagsAreNeverLowered) {
  uvc15 = uvc11 = true;
  add(plain_camera("Cam", kOtherLink));
  check();
  EXPECT_TRUE(uvc15);
  EXPECT_TRUE(uvc11);
}

TEST_F(CameraCheckTest, Uvc11ProbeLinesStandBeforeTheCameraLine) {
  add(plain_camera("Cam", kOtherLink));
  directshow.devices.clear();
  check();
  EXPECT_EQ(section.text(),
            "\t\t*** Error: Failed to CreateClassEnumerator of CLSID_VideoInputDeviceCategory "
            "class (error = 0x00000001)!\n" +
                camera_lines("Cam", false, false));
}

// The activation object is gone before the DirectShow walk starts; only the
// attribute store is still alive then.
class LiveCountingDirectShow : public DirectShow {
 public:
  LiveCountingDirectShow(FakeScript& script, DirectShow& inner) : script_(script), inner_(inner) {}
  HRESULT create_system_device_enum(std::unique_ptr<DeviceEnumerator>* enumerator) override {
    live_at_probe.push_back(script_.live_objects);
    return inner_.create_system_device_enum(enumerator);
  }
  std::vector<int> live_at_probe;

 private:
  FakeScript& script_;
  DirectShow& inner_;
};

TEST_F(CameraCheckTest, CameraObjectsAreReleasedBeforeTheUvc11Probe) {
  add(uvc15_camera("Cam", kOtherLink));
  LiveCountingDirectShow counting(script, directshow);
  check_uvc11_camera_capability(section, uvc15, uvc11, mf, counting);
  EXPECT_EQ(counting.live_at_probe, std::vector<int>{1});
  EXPECT_EQ(script.live_objects, 0);
}

// ---- The C920 rule, applied to each camera's own result.

struct C920Case {
  const char* name;
  std::vector<std::pair<std::string, bool>> cameras;  // link, passes UVC 1.1
  const char* expected_lines;                         // per camera: "N" note, "-" none
  bool uvc11;
};

class C920Test : public CameraCheckTest, public ::testing::WithParamInterface<C920Case> {};

TEST_P(C920Test, NoteOnlyForAC920ThatPassesAndOthersKeepTheirResult) {
  std::string expected;
  for (std::size_t i = 0; i < GetParam().cameras.size(); ++i) {
    const auto& [link, passes] = GetParam().cameras[i];
    const std::string name = "Cam" + std::to_string(i);
    add(plain_camera(name, link), passes);
    expected += camera_lines(name, false, passes);
    if (GetParam().expected_lines[i] == 'N')
      expected += kC920Note;
  }
  check();
  EXPECT_EQ(section.text(), expected);
  EXPECT_EQ(uvc11, GetParam().uvc11);
  EXPECT_EQ(script.live_objects, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rule,
    C920Test,
    ::testing::Values(C920Case{"LoneC920Passing", {{kC920Link, true}}, "N", false},
                      C920Case{"LoneC920Failing", {{kC920Link, false}}, "-", false},
                      C920Case{"OtherPassingThenC920Failing",
                               {{kOtherLink, true}, {kC920Link, false}},
                               "--",
                               true},
                      C920Case{"C920FailingThenOtherPassing",
                               {{kC920Link, false}, {kOtherLink, true}},
                               "--",
                               true},
                      C920Case{"C920PassingThenOtherPassing",
                               {{kC920Link, true}, {kOtherLink, true}},
                               "N-",
                               true},
                      C920Case{"OtherPassingThenC920Passing",
                               {{kOtherLink, true}, {kC920Link, true}},
                               "-N",
                               true},
                      C920Case{"UpperCaseMarkersAreNotAC920",
                               {{"\\\\?\\usb#VID_046D&PID_082D&MI_00#6&2f3c#{e5323777}", true}},
                               "-",
                               true},
                      C920Case{"OtherLogitechModel",
                               {{"\\\\?\\usb#vid_046d&pid_0843&mi_00#1", true}},
                               "-",
                               true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- USB IDs from the symbolic link.

struct UsbIdCase {
  const char* link;
  std::uint16_t vendor;
  std::uint16_t product;
};

class UsbIdTest : public ::testing::TestWithParam<UsbIdCase> {};

TEST_P(UsbIdTest, ReadsHexAfterTheLowerCaseMarkers) {
  const UsbIds ids = parse_usb_ids(GetParam().link);
  EXPECT_EQ(ids.vendor, GetParam().vendor) << GetParam().link;
  EXPECT_EQ(ids.product, GetParam().product) << GetParam().link;
}

INSTANTIATE_TEST_SUITE_P(Parsing,
                         UsbIdTest,
                         ::testing::Values(UsbIdCase{kC920Link, 0x046D, 0x082D},
                                           UsbIdCase{"\\\\?\\usb#VID_046D&PID_082D&mi_00", 0, 0},
                                           UsbIdCase{"", 0, 0},
                                           UsbIdCase{"pid_082d only", 0, 0x082D},
                                           UsbIdCase{"vid_AbCd&pid_eF01", 0xABCD, 0xEF01},
                                           UsbIdCase{"vid_0x46d&pid_0X82d", 0x046D, 0x082D},
                                           UsbIdCase{"vid_0xg&pid_", 0, 0},
                                           UsbIdCase{"vid_ \t46d&pid_+82d", 0x046D, 0x082D},
                                           UsbIdCase{"vid_-1&pid_-0x10", 0xFFFF, 0xFFF0},
                                           UsbIdCase{"vid_12345&pid_fffff", 0x2345, 0xFFFF},
                                           UsbIdCase{"vid_100000000&pid_-100000000", 0xFFFF,
                                                     0x0000},
                                           UsbIdCase{"vid_80000000&pid_-80000000", 0xFFFF, 0x0000},
                                           UsbIdCase{"x vid_1 vid_2 pid_3 pid_4", 0x0001, 0x0003}));

}  // namespace
}  // namespace cc

namespace cc {
namespace {

// ---- Every platform call failing or throwing in turn: nothing stays alive,
// and the guard is the only thing that sees an exception.

int count_of(const std::string& text, const std::string& part) {
  int count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

class CameraFaultSweepTest : public CameraCheckTest,
                             public ::testing::WithParamInterface<testing::FakeScript::Action> {};

TEST_P(CameraFaultSweepTest, EveryPathReleasesEverything) {
  add(uvc15_camera("First", kOtherLink), true);
  add(uvc15_camera("Second", kC920Link), true);
  check();
  const int calls = static_cast<int>(script.calls.size());
  ASSERT_GT(calls, 40);
  const int enumeration =
      static_cast<int>(std::find(script.calls.begin(), script.calls.end(), "MFEnumDeviceSources") -
                       script.calls.begin());
  for (int index = 0; index < calls; ++index) {
    FakeScript sweep;
    FakeMediaFoundation sweep_mf{sweep};
    FakeDirectShow sweep_directshow{sweep};
    sweep_mf.cameras = mf.cameras;
    sweep_directshow.devices = directshow.devices;
    sweep.fault_at(index, GetParam());
    ReportSection sweep_section;
    bool sweep_uvc15 = false;
    bool sweep_uvc11 = false;
    run_guarded(sweep_section, "check_uvc11_camera_capability", [&] {
      check_uvc11_camera_capability(sweep_section, sweep_uvc15, sweep_uvc11, sweep_mf,
                                    sweep_directshow);
    });
    EXPECT_EQ(sweep.live_objects, 0) << "fault at call " << index << ": " << script.calls[index];
    // A failing call after the enumeration costs at most one camera's result;
    // only a string that cannot be copied or converted ends the check.
    const std::string& call = script.calls[index];
    const bool raises = call == "SysAllocString" || call == "WideCharToMultiByte";
    if (GetParam() == testing::FakeScript::Action::kFail && index > enumeration && !raises) {
      EXPECT_EQ(count_of(sweep_section.text(), "\t\tUVC 1.1 acceleration is "), 2)
          << "fault at call " << index << ": " << call;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Faults,
                         CameraFaultSweepTest,
                         ::testing::Values(testing::FakeScript::Action::kFail,
                                           testing::FakeScript::Action::kThrowComError,
                                           testing::FakeScript::Action::kThrowUndefined));

}  // namespace
}  // namespace cc
