#include "gpu/video_cards.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "gpu/fake_adapter_source.h"

namespace cc {
namespace {

using testing::Bytes;
using testing::FakeAdapterSource;
using testing::FakeScript;
using testing::pci_device;

const char kRadeonIds[] = "PCI\\VEN_1002&DEV_67DF&SUBSYS_0B311002&REV_C7";

struct VideoCardsTest : ::testing::Test {
  FakeScript script;
  FakeAdapterSource source{script};
  std::vector<VideoCardInfo> seen;

  CheckResult walk() {
    return enumerate_video_cards(source,
                                 [this](const VideoCardInfo& card) { seen.push_back(card); });
  }
  // The library is freed exactly once and nothing platform-side is left open.
  void expect_released(int frees = 1) {
    EXPECT_EQ(script.count("FreeLibrary"), frees);
    EXPECT_EQ(script.live_objects, 0);
    EXPECT_EQ(source.wrong_handles, 0);
  }
};

// --- Walk ------------------------------------------------------------------

TEST_F(VideoCardsTest, ReadsEveryFieldOfAnAdapter) {
  source.devices.push_back(pci_device("AMD Radeon RX 480", kRadeonIds, u"22.19.162.4"));
  EXPECT_EQ(walk(), CheckResult(true, ""));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].name, "AMD Radeon RX 480");
  EXPECT_EQ(seen[0].vendorId, "1002");
  EXPECT_EQ(seen[0].deviceId, "67DF");
  EXPECT_EQ(seen[0].driverVersion, "22.19.162.4");
  EXPECT_EQ(seen[0].locationInfo, "PCI bus 1, device 0, function 0");
  EXPECT_EQ(source.requested_procs, std::vector<std::string>{"SetupDiGetDevicePropertyW"});
  EXPECT_EQ(source.dirty_buffers, 0);
  EXPECT_EQ(source.wrong_sizes, 0);
  expect_released();
}

TEST_F(VideoCardsTest, NoAdapterIsASuccessfulEmptyWalk) {
  EXPECT_EQ(walk(), CheckResult(true, ""));
  EXPECT_TRUE(seen.empty());
  expect_released();
}

TEST_F(VideoCardsTest, AnyFetchFailureEndsTheWalkWithoutError) {
  source.devices.push_back(pci_device("first", kRadeonIds, u"1"));
  source.devices.push_back(pci_device("second", kRadeonIds, u"2"));
  script.fail("SetupDiEnumDeviceInfo", E_FAIL, 1);
  EXPECT_EQ(walk(), CheckResult(true, ""));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].name, "first");

  seen.clear();
  script.fail("SetupDiEnumDeviceInfo", E_FAIL);
  EXPECT_EQ(walk(), CheckResult(true, ""));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(script.live_objects, 0);
}

TEST_F(VideoCardsTest, AdaptersArriveInPlatformOrderAndTwinsTwice) {
  source.devices.push_back(
      pci_device("Intel(R) HD Graphics 530", "PCI\\VEN_8086&DEV_1912&SUBSYS_1", u"20.19.15.4531"));
  source.devices.push_back(
      pci_device("NVIDIA GeForce GTX 1060", "PCI\\VEN_10DE&DEV_1C03", u"23.21.13.8813"));
  source.devices.push_back(
      pci_device("NVIDIA GeForce GTX 1060", "PCI\\VEN_10DE&DEV_1C03", u"23.21.13.8813"));
  walk();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].vendorId, "8086");
  EXPECT_EQ(seen[1].name, "NVIDIA GeForce GTX 1060");
  auto fields = [](const VideoCardInfo& c) {
    return std::tie(c.name, c.vendorId, c.deviceId, c.driverVersion, c.locationInfo);
  };
  EXPECT_EQ(fields(seen[1]), fields(seen[2]));
}

TEST_F(VideoCardsTest, EachCallIsAFreshWalk) {
  walk();
  source.devices.push_back(pci_device("hot-plugged", kRadeonIds, u"1"));
  walk();
  EXPECT_EQ(script.count("LoadLibraryW"), 2);
  EXPECT_EQ(script.count("SetupDiGetClassDevsA"), 2);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].name, "hot-plugged");
}

// --- Failures before the walk ------------------------------------------------

struct StartFailure {
  const char* call;
  const char* message;
  int frees;
};

class StartFailureTest : public VideoCardsTest,
                         public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailureTest, ReturnsItsMessageAndCallsNoCallback) {
  source.devices.push_back(pci_device("never seen", kRadeonIds, u"1"));
  script.fail(GetParam().call, E_FAIL);
  EXPECT_EQ(walk(), CheckResult(false, GetParam().message));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(script.count("SetupDiEnumDeviceInfo"), 0);
  expect_released(GetParam().frees);
}

INSTANTIATE_TEST_SUITE_P(
    Walk,
    StartFailureTest,
    ::testing::Values(StartFailure{"LoadLibraryW", "Can't load SetupAPI.dll", 0},
                      StartFailure{"GetProcAddress",
                                   "Can't get address \"SetupDiGetDevicePropertyW\"", 1},
                      StartFailure{"SetupDiGetClassDevsA", "Can't retrieve Device Info", 1}));

// --- Release on every path ---------------------------------------------------

TEST_F(VideoCardsTest, ThrowingCallbackReachesCallerAfterRelease) {
  source.devices.push_back(pci_device("first", kRadeonIds, u"1"));
  source.devices.push_back(pci_device("second", kRadeonIds, u"2"));
  int calls = 0;
  auto throwing = [&calls](const VideoCardInfo&) {
    if (++calls == 2)
      throw std::runtime_error("callback failed");
  };
  EXPECT_THROW(enumerate_video_cards(source, throwing), std::runtime_error);
  EXPECT_EQ(calls, 2);
  expect_released();
}

TEST_F(VideoCardsTest, SetIsDestroyedBeforeTheLibraryIsFreed) {
  walk();
  auto at = [this](const char* call) {
    return std::find(script.calls.begin(), script.calls.end(), call) - script.calls.begin();
  };
  EXPECT_LT(at("SetupDiDestroyDeviceInfoList"), at("FreeLibrary"));
}

// Every platform call in turn fails, then throws: the walk never leaves the
// library loaded or the set open.
TEST_F(VideoCardsTest, FaultAtAnyCallReleasesEverything) {
  auto two_devices = [](FakeAdapterSource& fake) {
    fake.devices.push_back(pci_device("first", kRadeonIds, u"1"));
    fake.devices.push_back(pci_device("second", kRadeonIds, u"2"));
  };
  two_devices(source);
  walk();
  const std::vector<std::string> clean_calls = script.calls;
  ASSERT_GT(clean_calls.size(), 15u);

  for (FakeScript::Action action :
       {FakeScript::Action::kFail, FakeScript::Action::kThrowUndefined}) {
    for (std::size_t index = 0; index < clean_calls.size(); ++index) {
      // FreeLibrary cannot throw on the platform; a throwing fake there would
      // only test the language's terminate.
      if (action != FakeScript::Action::kFail && clean_calls[index] == "FreeLibrary")
        continue;
      SCOPED_TRACE(clean_calls[index] + " #" + std::to_string(index));
      FakeScript faulty;
      FakeAdapterSource faulty_source(faulty);
      two_devices(faulty_source);
      faulty.fault_at(static_cast<int>(index), action);
      try {
        enumerate_video_cards(faulty_source, [](const VideoCardInfo&) {});
      } catch (int) {
      }
      EXPECT_EQ(faulty.live_objects, 0);
      EXPECT_EQ(faulty.count("FreeLibrary"), index == 0 ? 0 : 1);
    }
  }
}

// --- Hardware IDs --------------------------------------------------------------

struct HardwareIdCase {
  const char* hardware_id;
  const char* vendor;
  const char* device;
};

class HardwareIdTest : public ::testing::TestWithParam<HardwareIdCase> {};

TEST_P(HardwareIdTest, TakesUpToFourCharactersAfterEachMarker) {
  EXPECT_EQ(hardware_id_field(GetParam().hardware_id, "VEN_"), GetParam().vendor);
  EXPECT_EQ(hardware_id_field(GetParam().hardware_id, "DEV_"), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Walk,
    HardwareIdTest,
    ::testing::Values(HardwareIdCase{"PCI\\VEN_1002&DEV_67DF&SUBSYS_0B311002", "1002", "67DF"},
                      HardwareIdCase{"PCI\\VEN_10", "10", ""},
                      HardwareIdCase{"PCI\\VEN_8086&DEV_19", "8086", "19"},
                      HardwareIdCase{"PCI\\ven_1002&dev_67df", "", ""},
                      HardwareIdCase{"PCI\\DEV_1234&VEN_ABCD", "ABCD", "1234"},
                      HardwareIdCase{"PCI\\VEN_8086&DEV_1912&VEN_9999", "8086", "1912"},
                      HardwareIdCase{"ROOT\\BasicDisplay", "", ""},
                      HardwareIdCase{"", "", ""}));

TEST_F(VideoCardsTest, BothMarkersAreSearchedFromTheStartOfTheId) {
  source.devices.push_back(pci_device("reordered", "PCI\\DEV_1234&VEN_ABCD&DEV_9999", u"1"));
  walk();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].vendorId, "ABCD");
  EXPECT_EQ(seen[0].deviceId, "1234");
}

TEST_F(VideoCardsTest, OnlyTheFirstHardwareIdCounts) {
  std::string ids = "ROOT\\DISPLAY";
  ids.push_back('\0');
  ids += "PCI\\VEN_8086&DEV_0412";
  source.devices.push_back(pci_device("virtual", ids, u"1"));
  walk();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].vendorId, "");
  EXPECT_EQ(seen[0].deviceId, "");
}

// --- Properties ----------------------------------------------------------------

TEST_F(VideoCardsTest, MissingPropertiesAreEmptyAndTheAdapterStillCounts) {
  source.devices.emplace_back();
  EXPECT_EQ(walk(), CheckResult(true, ""));
  ASSERT_EQ(seen.size(), 1u);
  auto fields = [](const VideoCardInfo& c) {
    return std::tie(c.name, c.vendorId, c.deviceId, c.driverVersion, c.locationInfo);
  };
  const VideoCardInfo empty;
  EXPECT_EQ(fields(seen[0]), fields(empty));
}

TEST_F(VideoCardsTest, OversizedPropertyIsEmpty) {
  testing::FakeDisplayDevice device = pci_device("x", kRadeonIds, u"1");
  device.properties[kDeviceDescription] = testing::ansi(std::string(1024, 'N'));
  source.devices.push_back(device);
  walk();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].name, "");
  EXPECT_EQ(seen[0].vendorId, "1002");
}

TEST_F(VideoCardsTest, UnterminatedFullBuffersStopAtTheirEnd) {
  testing::FakeDisplayDevice device = pci_device("x", kRadeonIds, u"1");
  device.properties[kDeviceDescription] = Bytes(1024, 'N');
  device.properties[kLocationInformation] = Bytes(1024, 'L');
  // 64 little-endian units of U+3751, no terminator; both bytes of a unit count.
  Bytes units;
  for (int i = 0; i < 64; ++i)
    units.insert(units.end(), {0x51, 0x37});
  device.driver_version = units;
  source.devices.push_back(device);
  source.devices.push_back(pci_device("next", kRadeonIds, u"2"));
  std::vector<std::u16string> texts_seen;
  source.convert = [&texts_seen](const char16_t* text, char* out, int) {
    std::size_t units = 0;
    for (; text[units]; ++units)
      out[units] = 'v';  // one byte per unit, as a single-byte page gives
    out[units] = '\0';
    texts_seen.emplace_back(text, units);
    return static_cast<int>(units + 1);
  };
  walk();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].name, std::string(1024, 'N'));
  EXPECT_EQ(seen[0].locationInfo, std::string(1024, 'L'));
  EXPECT_EQ(seen[0].driverVersion, std::string(64, 'v'));
  EXPECT_EQ(texts_seen, (std::vector<std::u16string>{std::u16string(64, u'\u3751'), u"2"}));
  EXPECT_EQ(source.conversion_sizes, (std::vector<int>{130, 4}));
  EXPECT_EQ(seen[1].name, "next");
}

TEST_F(VideoCardsTest, ConversionNeverReadsPastItsBuffer) {
  source.devices.push_back(pci_device("x", kRadeonIds, u"1.2"));
  source.convert = [](const char16_t*, char* out, int out_size) {
    std::fill(out, out + out_size, 'z');  // filled to the brim, no terminator
    return out_size;
  };
  walk();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].driverVersion, "zzzzzzzz");
}

TEST_F(VideoCardsTest, FailedConversionLeavesTheVersionEmpty) {
  source.devices.push_back(pci_device("x", kRadeonIds, u"1.2"));
  source.convert = [](const char16_t*, char* out, int) {
    out[0] = '1';  // partial output of a conversion that then failed
    return 0;
  };
  walk();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].driverVersion, "");
}

TEST_F(VideoCardsTest, FailedPropertyReadsGiveEmptyFieldsAndTheWalkGoesOn) {
  source.devices.push_back(pci_device("x", kRadeonIds, u"1.2"));
  source.devices.push_back(pci_device("y", kRadeonIds, u"3.4"));
  script.fail("SetupDiGetDeviceRegistryPropertyA", E_FAIL, 1);  // first device's name
  script.fail("SetupDiGetDevicePropertyW", E_FAIL, 0);
  walk();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].name, "");
  EXPECT_EQ(seen[0].vendorId, "1002");
  EXPECT_EQ(seen[0].driverVersion, "");
  EXPECT_EQ(seen[1].name, "y");
  EXPECT_EQ(seen[1].driverVersion, "3.4");
}

}  // namespace
}  // namespace cc
