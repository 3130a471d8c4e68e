#include "encode/encoder_check.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "encoder_test_support.h"

namespace cc {
namespace {

using testing::capable_encoder;
using testing::com_guard_line;
using testing::DeviceDescription;
using testing::failed_line;
using testing::FakeMediaFoundation;
using testing::FakeScript;
using testing::FakeSystemErrors;
using testing::kAllSizes;
using testing::sizes_line;

VideoCardInfo card(const std::string& vendor,
                   const std::string& device,
                   const std::string& driver = "1.0") {
  VideoCardInfo info;
  info.name = "Card " + vendor + ":" + device;
  info.vendorId = vendor;
  info.deviceId = device;
  info.driverVersion = driver;
  return info;
}

class EncoderCheckTest : public ::testing::Test {
 protected:
  EncoderCheckTest() { testing::install_system_texts(errors); }

  // Runs the check; whatever it ends with, every platform object is gone.
  void run() {
    try {
      check_hardware_encoder_capability(section, available, driver_supported, mf, enumerate,
                                        policy);
    } catch (...) {
      EXPECT_EQ(script.live_objects, 0);
      throw;
    }
    EXPECT_EQ(script.live_objects, 0);
  }

  void add_encoder(DeviceDescription device) { mf.encoders.push_back(std::move(device)); }

  FakeSystemErrors errors;
  FakeScript script;
  FakeMediaFoundation mf{script};
  ReportSection section;
  bool available = true;  // the check must clear both itself
  bool driver_supported = true;

  std::vector<VideoCardInfo> adapters;
  CheckResult walk_result{true, ""};
  int walks = 0;
  // Policy verdict per device ID; devices not listed are refused.
  std::map<std::string, CheckResult> verdicts;
  std::vector<std::string> asked;  // device IDs the policy was asked about

  VideoCardEnumerator enumerate = [this](const VideoCardCallback& callback) {
    ++walks;
    if (!walk_result.first)
      return walk_result;
    for (const VideoCardInfo& info : adapters)
      callback(info);
    return walk_result;
  };
  VideoCardPolicy policy = [this](const VideoCardInfo& info) {
    asked.push_back(info.deviceId);
    auto it = verdicts.find(info.deviceId);
    return it == verdicts.end() ? CheckResult{false, "refused " + info.deviceId} : it->second;
  };
};

std::string info_line(const std::string& text) {
  return "\t\t*** Info: " + text + "\n";
}

const char kNoTemporal[] = "Temporal scalability is not supported";

// --- enumeration -----------------------------------------------------------

TEST_F(EncoderCheckTest, EnumerationFailureIsAnErrorLineAndClearsFlags) {
  script.fail("MFTEnumEx", E_OUTOFMEMORY);
  run();
  EXPECT_EQ(section.text(),
            "\t\t*** Error: Failed to enumerate hardware encoders, error = Not enough memory "
            "resources are available.\n");
  EXPECT_FALSE(available);
  EXPECT_FALSE(driver_supported);
  EXPECT_EQ(walks, 0);
}

TEST_F(EncoderCheckTest, NoEncoderIsAPlainLine) {
  run();
  EXPECT_EQ(section.text(), "\tThere are no hardware H.264 encoders\n");
  EXPECT_FALSE(available);
  EXPECT_FALSE(driver_supported);
}

TEST_F(EncoderCheckTest, SupportedIntelEncoderLackingTemporalLayers) {
  DeviceDescription device =
      capable_encoder("Intel(R) Quick Sync Video H.264 Encoder MFT", "VEN_8086");
  device.codec.supported.erase(kCodecTemporalLayerCount);
  add_encoder(device);
  adapters = {card("8086", "0412")};
  verdicts["0412"] = {true, "Intel graphics card"};
  run();
  EXPECT_EQ(section.text(), sizes_line(kAllSizes) +
                                "\tIntel(R) Quick Sync Video H.264 Encoder MFT - Supported\n" +
                                info_line(kNoTemporal));
  EXPECT_TRUE(available);
  EXPECT_TRUE(driver_supported);
}

TEST_F(EncoderCheckTest, EachEncoderIsShutDownAfterItsProbesAndReleased) {
  add_encoder(capable_encoder("A", "VEN_8086"));
  add_encoder(capable_encoder("B", "VEN_8086"));
  run();
  std::vector<std::string> encoder0_calls;
  for (const std::string& call : script.calls) {
    if (call.rfind("encoder0.", 0) == 0 && call.find("GetAllocatedString") == std::string::npos)
      encoder0_calls.push_back(call);
  }
  ASSERT_FALSE(encoder0_calls.empty());
  EXPECT_EQ(encoder0_calls.back(), "encoder0.ShutdownObject");
  EXPECT_EQ(script.count("encoder0.ShutdownObject"), 1);
  EXPECT_EQ(script.count("encoder1.ShutdownObject"), 1);
  EXPECT_EQ(walks, 2) << "a fresh adapter walk per encoder";
}

// --- vendor resolution -------------------------------------------------------

struct VendorCase {
  const char* label;
  std::optional<std::string> attribute;
  std::optional<std::string> name;
  std::string vendor;
};

class VendorTest : public EncoderCheckTest, public ::testing::WithParamInterface<VendorCase> {};

TEST_P(VendorTest, ReasonNamesTheResolvedVendor) {
  const VendorCase& c = GetParam();
  DeviceDescription device = capable_encoder();
  if (c.attribute)
    device.strings[kMftHardwareVendorId] = testing::u16(*c.attribute);
  if (c.name)
    device.strings[kMftFriendlyName] = testing::u16(*c.name);
  add_encoder(device);
  run();
  const std::string shown = c.name && !c.name->empty() ? *c.name : "<Unknown device name>";
  EXPECT_EQ(section.text(), sizes_line(kAllSizes) + "\t" + shown + " - Not supported\n" +
                                info_line("Can't find video card ( [" + c.vendor + "] vendor )"));
  EXPECT_TRUE(available);
  EXPECT_FALSE(driver_supported);
}

INSTANTIATE_TEST_SUITE_P(
    Resolution,
    VendorTest,
    ::testing::Values(VendorCase{"ven_prefix", "VEN_8086", "X", "8086"},
                      VendorCase{"ven_nvidia", "VEN_10DE", "X", "10DE"},
                      VendorCase{"ven_keeps_whole_rest", "VEN_1002&SUBSYS", "X", "1002&SUBSYS"},
                      VendorCase{"amd_whole_text", "AMD", "X", "1002"},
                      VendorCase{"amd_lower_case_kept", "amd", "X", "amd"},
                      VendorCase{"amd_prefix_only_kept", "AMDX", "Intel", "AMDX"},
                      VendorCase{"attribute_wins_over_name", "VEN_10DE", "Intel HD", "10DE"},
                      VendorCase{"empty_attribute_intel_name", "", "Intel(R) Quick Sync", "8086"},
                      VendorCase{"missing_attribute_amd_name", std::nullopt, "AMD H.264 Encoder",
                                 "1002"},
                      VendorCase{"lower_case_intel_name", std::nullopt, "intel encoder", ""},
                      VendorCase{"bare_ven_falls_back_to_name", "VEN_", "Intel encoder", "8086"},
                      VendorCase{"nothing_known", std::nullopt, "NVIDIA NVENC", ""},
                      VendorCase{"no_name_no_vendor", std::nullopt, std::nullopt, ""}),
    [](const auto& info) { return std::string(info.param.label); });

struct TextCase {
  std::string in;
  std::string out;
};

TEST(VendorIdTest, FromAttributeText) {
  for (const TextCase& c :
       {TextCase{"VEN_8086", "8086"}, TextCase{"VEN_", ""}, TextCase{"AMD", "1002"},
        TextCase{"AMD ", "AMD "}, TextCase{"ven_8086", "ven_8086"}, TextCase{"", ""},
        TextCase{"VE", "VE"}})
    EXPECT_EQ(parse_vendor_id(c.in), c.out) << c.in;
}

TEST(VendorIdTest, FromFriendlyName) {
  for (const TextCase& c :
       {TextCase{"Intel", "8086"}, TextCase{"Intel(R) QSV", "8086"}, TextCase{"AMD", "1002"},
        TextCase{"AMDx", "1002"}, TextCase{"intel", ""}, TextCase{"Int", ""},
        TextCase{" Intel", ""}, TextCase{"", ""}})
    EXPECT_EQ(vendor_id_from_friendly_name(c.in), c.out) << c.in;
}

// --- adapter matching ----------------------------------------------------------

struct AdapterCase {
  const char* label;
  std::vector<VideoCardInfo> adapters;
  std::map<std::string, CheckResult> verdicts;
  std::string tail;  // the name line's ending and what follows it
  std::vector<std::string> asked;
  bool driver_supported;
};

class AdapterTest : public EncoderCheckTest, public ::testing::WithParamInterface<AdapterCase> {};

TEST_P(AdapterTest, FirstAcceptedAdapterOfTheVendorSettlesIt) {
  const AdapterCase& c = GetParam();
  add_encoder(capable_encoder("Enc", "VEN_1002"));
  adapters = c.adapters;
  verdicts = c.verdicts;
  run();
  EXPECT_EQ(section.text(), sizes_line(kAllSizes) + "\tEnc" + c.tail);
  EXPECT_EQ(asked, c.asked);
  EXPECT_TRUE(available);
  EXPECT_EQ(driver_supported, c.driver_supported);
}

const CheckResult kAmdOk{true, "AMD graphics card on Windows 8 or greater"};
const CheckResult kAmdOldDriver{
    false, "AMD graphics card on Windows 8 or greater not supported by driver version"};
const CheckResult kAmdPid{false, "AMD graphics card on Windows 8 or greater not supported by PID"};

INSTANTIATE_TEST_SUITE_P(
    Matching,
    AdapterTest,
    ::testing::Values(
        AdapterCase{"refused_then_supported",
                    {card("1002", "A"), card("1002", "B")},
                    {{"A", kAmdOldDriver}, {"B", kAmdOk}},
                    " - Supported\n",
                    {"A", "B"},
                    true},
        AdapterCase{"supported_then_refused",
                    {card("1002", "B"), card("1002", "A")},
                    {{"A", kAmdOldDriver}, {"B", kAmdOk}},
                    " - Supported\n",
                    {"B"},
                    true},
        AdapterCase{"both_refused_last_reason_wins",
                    {card("1002", "A"), card("1002", "C")},
                    {{"A", kAmdOldDriver}, {"C", kAmdPid}},
                    " - Not supported\n" + info_line(kAmdPid.second),
                    {"A", "C"},
                    false},
        AdapterCase{"other_vendors_never_asked",
                    {card("8086", "X"), card("10DE", "Y"), card("1022", "Z")},
                    {{"X", kAmdOk}, {"Y", kAmdOk}, {"Z", kAmdOk}},
                    " - Not supported\n" + info_line("Can't find video card ( [1002] vendor )"),
                    {},
                    false},
        AdapterCase{"vendor_compared_case_sensitively",
                    {card("1002 ", "X"), card("100", "Y")},
                    {{"X", kAmdOk}, {"Y", kAmdOk}},
                    " - Not supported\n" + info_line("Can't find video card ( [1002] vendor )"),
                    {},
                    false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(EncoderCheckTest, ReasonIsWrittenVerbatimNeverAsFormat) {
  add_encoder(capable_encoder("Enc", "VEN_8086"));
  adapters = {card("8086", "A")};
  verdicts["A"] = {false, "100% refused %s %d"};
  run();
  EXPECT_EQ(section.text(),
            sizes_line(kAllSizes) + "\tEnc - Not supported\n" + info_line("100% refused %s %d"));
}

TEST_F(EncoderCheckTest, FailedAdapterWalkIsAnErrorLinePerEncoder) {
  add_encoder(capable_encoder("One", "VEN_8086"));
  add_encoder(capable_encoder("Two", "VEN_8086"));
  walk_result = {false, "Can't load SetupAPI.dll"};
  run();
  const auto block = [](const std::string& name) {
    return "\t\t*** Error: Can't load SetupAPI.dll\n" + sizes_line(kAllSizes) + "\t" + name +
           " - Not supported\n" + info_line("Can't find video card ( [8086] vendor )");
  };
  EXPECT_EQ(section.text(), block("One") + block("Two"));
  EXPECT_TRUE(available);
  EXPECT_FALSE(driver_supported);
}

TEST_F(EncoderCheckTest, WalkFailureMessageIsAnArgumentNotAFormat) {
  add_encoder(capable_encoder("One", "VEN_8086"));
  walk_result = {false, "Can't get address \"SetupDiGetDevicePropertyW\" %s"};
  run();
  EXPECT_EQ(section.text().rfind(
                "\t\t*** Error: Can't get address \"SetupDiGetDevicePropertyW\" %s\n", 0),
            0u);
}

// --- media-type probe outcome -------------------------------------------------

TEST_F(EncoderCheckTest, UnusableEncoderIsNotSupportedWithoutReasonOrFlag) {
  add_encoder(capable_encoder("Enc", "VEN_8086"));
  adapters = {card("8086", "A")};
  verdicts["A"] = {true, "Intel graphics card"};
  script.fail("encoder0.transform.attributes.SetUINT32", E_ACCESSDENIED);  // unlock refused
  run();
  EXPECT_EQ(section.text(), failed_line("Unknown error 0x80070005") + "\tEnc - Not supported\n");
  EXPECT_FALSE(available);
  EXPECT_FALSE(driver_supported);
  EXPECT_EQ(script.count("encoder0.ActivateObject(ICodecAPI)"), 1) << "features still probed";
}

TEST_F(EncoderCheckTest, EncoderRefusingEverySizeStillCountsAsPresent) {
  DeviceDescription device = capable_encoder("Enc", "VEN_8086");
  device.transform.accept = [](std::uint32_t, const testing::AttributeValues&, std::uint32_t) {
    return E_INVALIDARG;
  };
  add_encoder(device);
  adapters = {card("8086", "A")};
  verdicts["A"] = {true, "Intel graphics card"};
  run();
  EXPECT_EQ(section.text(), sizes_line("") + "\tEnc - Supported\n");
  EXPECT_TRUE(available);
  EXPECT_TRUE(driver_supported);
}

// --- flags over several encoders -------------------------------------------------

struct FlagsCase {
  const char* label;
  std::vector<std::pair<bool, bool>> encoders;  // (usable, card supported)
  bool available;
  bool driver_supported;
};

class FlagsTest : public EncoderCheckTest, public ::testing::WithParamInterface<FlagsCase> {};

TEST_P(FlagsTest, FlagsAreTheOrOfEveryEncoder) {
  const FlagsCase& c = GetParam();
  adapters = {card("8086", "GOOD"), card("10DE", "BAD")};
  verdicts["GOOD"] = {true, "Intel graphics card"};
  for (std::size_t i = 0; i < c.encoders.size(); ++i) {
    add_encoder(capable_encoder("E", c.encoders[i].second ? "VEN_8086" : "VEN_10DE"));
    if (!c.encoders[i].first)
      script.fail("encoder" + std::to_string(i) + ".ActivateObject(IMFTransform)", E_FAIL);
  }
  run();
  EXPECT_EQ(available, c.available);
  EXPECT_EQ(driver_supported, c.driver_supported);
}

INSTANTIATE_TEST_SUITE_P(
    Or,
    FlagsTest,
    ::testing::Values(
        FlagsCase{"supported_then_unusable", {{true, true}, {false, true}}, true, true},
        FlagsCase{"unusable_then_supported", {{false, true}, {true, true}}, true, true},
        FlagsCase{"unsupported_then_unusable", {{true, false}, {false, true}}, true, false},
        FlagsCase{"unusable_card_ok_then_usable_card_refused",
                  {{false, true}, {true, false}},
                  true,
                  false},
        FlagsCase{"all_unusable", {{false, true}, {false, true}}, false, false},
        FlagsCase{"refused_then_supported", {{true, false}, {true, true}}, true, true}),
    [](const auto& info) { return std::string(info.param.label); });

// --- exceptions --------------------------------------------------------------------

TEST_F(EncoderCheckTest, ExceptionOutOfTheMediaTypeStepDropsTheNameLineOnly) {
  for (const char* name : {"Enc", "Next"}) {
    DeviceDescription device = capable_encoder(name, "VEN_8086");
    device.codec.supported.erase(kCodecTemporalLayerCount);
    add_encoder(device);
  }
  script.raise("encoder0.DetachObject", 0);  // the media-type probe's closing call
  run();
  EXPECT_EQ(section.text(),
            sizes_line(kAllSizes) +
                com_guard_line("check_encoder_io_media_types", "Unspecified error") +
                info_line(kNoTemporal) +  // the feature probe still runs
                sizes_line(kAllSizes) + "\tNext - Not supported\n" +
                info_line("Can't find video card ( [8086] vendor )") + info_line(kNoTemporal));
  EXPECT_TRUE(available) << "set by the second encoder only";
  EXPECT_EQ(script.count("encoder0.ShutdownObject"), 1);
}

TEST_F(EncoderCheckTest, ExceptionOutOfTheFeatureProbeIsGuardedAndTheNextEncoderRuns) {
  add_encoder(capable_encoder("Enc", "VEN_8086"));
  add_encoder(capable_encoder("Next", "VEN_8086"));
  script.raise("encoder0.codec.IsSupported", 0, FakeScript::Action::kThrowUndefined);
  run();
  EXPECT_EQ(section.text(),
            sizes_line(kAllSizes) + "\tEnc - Not supported\n" +
                info_line("Can't find video card ( [8086] vendor )") +
                "\t\t*** Error: check_codec_capabilities catch undefined exception! LastError: "
                "0\n" +
                sizes_line(kAllSizes) + "\tNext - Not supported\n" +
                info_line("Can't find video card ( [8086] vendor )"));
  EXPECT_EQ(script.count("encoder0.ShutdownObject"), 1);
  EXPECT_EQ(script.count("encoder1.ShutdownObject"), 1);
}

TEST_F(EncoderCheckTest, AttributeReadRaisingLeavesTheCheckAndReleasesTheRest) {
  for (int i = 0; i < 3; ++i)
    add_encoder(capable_encoder("Enc", "VEN_8086"));
  adapters = {card("8086", "A")};
  verdicts["A"] = {true, "Intel graphics card"};
  // Two reads per encoder: the second encoder's name read runs out of memory.
  script.fail("SysAllocString", E_OUTOFMEMORY, 2);
  try {
    run();
    FAIL() << "the exception must leave the check";
  } catch (const ComError& error) {
    EXPECT_EQ(error.hresult(), E_OUTOFMEMORY);
  }
  EXPECT_TRUE(available) << "flags keep what the first encoder set";
  EXPECT_TRUE(driver_supported);
  EXPECT_EQ(script.count("encoder1.ActivateObject(IMFTransform)"), 0);
  EXPECT_EQ(script.count("encoder2.GetAllocatedString"), 0) << "the rest is not examined";
  EXPECT_EQ(section.text(), sizes_line(kAllSizes) + "\tEnc - Supported\n");
}

TEST_F(EncoderCheckTest, ConversionFailureOfTheVendorReadLeavesTheCheck) {
  add_encoder(capable_encoder("Enc", "VEN_8086"));
  add_encoder(capable_encoder("Enc", "VEN_8086"));
  script.fail("WideCharToMultiByte", E_FAIL, 1);
  EXPECT_THROW(run(), ComError);
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(walks, 0);
}

TEST_F(EncoderCheckTest, PolicyExceptionLeavesTheCheckAndReleasesEverything) {
  add_encoder(capable_encoder("Enc", "VEN_8086"));
  add_encoder(capable_encoder("Enc", "VEN_8086"));
  adapters = {card("8086", "A")};
  policy = [](const VideoCardInfo&) -> CheckResult { throw std::bad_alloc(); };
  EXPECT_THROW(run(), std::bad_alloc);
}

}  // namespace
}  // namespace cc
