#include "gpu/gpu_details.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "gpu/fake_adapter_source.h"
#include "gpu/video_cards.h"

namespace cc {
namespace {

VideoCardInfo card(const std::string& name, const std::string& driver) {
  VideoCardInfo info;
  info.name = name;
  info.driverVersion = driver;
  info.vendorId = "10DE";
  info.deviceId = "1C03";
  info.locationInfo = "PCI bus 1";
  return info;
}

// An enumeration that reports `cards`, then returns `result`.
VideoCardEnumerator listing(std::vector<VideoCardInfo> cards, CheckResult result = {true, ""}) {
  return [cards, result](const VideoCardCallback& callback) {
    for (const VideoCardInfo& info : cards)
      callback(info);
    return result;
  };
}

std::string details(const VideoCardEnumerator& enumerate) {
  ReportSection section;
  check_supported_video_card(section, enumerate);
  return section_text(section);
}

struct DetailsCase {
  const char* title;
  std::vector<VideoCardInfo> cards;
  std::string expected;
};

class DetailsTest : public ::testing::TestWithParam<DetailsCase> {};

TEST_P(DetailsTest, OneBlockPerAdapter) {
  EXPECT_EQ(details(listing(GetParam().cards)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Gpu,
    DetailsTest,
    ::testing::Values(DetailsCase{"none", {}, ""},
                      DetailsCase{"one",
                                  {card("Intel(R) HD Graphics 530", "20.19.15.4531")},
                                  "\tName=Intel(R) HD Graphics 530\n\tDriver=20.19.15.4531\n\n"},
                      DetailsCase{"twins",
                                  {card("NVIDIA GeForce GTX 1060", "23.21.13.8813"),
                                   card("NVIDIA GeForce GTX 1060", "23.21.13.8813")},
                                  "\tName=NVIDIA GeForce GTX 1060\n\tDriver=23.21.13.8813\n\n"
                                  "\tName=NVIDIA GeForce GTX 1060\n\tDriver=23.21.13.8813\n\n"},
                      DetailsCase{"empty fields", {card("", "")}, "\tName=\n\tDriver=\n\n"},
                      DetailsCase{"kept as is",
                                  {card(" 100% %s Radeon ", " 1.0 ")},
                                  "\tName= 100% %s Radeon \n\tDriver= 1.0 \n\n"}),
    [](const ::testing::TestParamInfo<DetailsCase>& info) {
      std::string name = info.param.title;
      for (char& c : name)
        if (c == ' ')
          c = '_';
      return name;
    });

class DetailsFailureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(DetailsFailureTest, WalkThatCannotStartIsOneErrorLine) {
  EXPECT_EQ(details(listing({}, {false, GetParam()})),
            std::string("\t\t*** Error: ") + GetParam() + "\n");
}

INSTANTIATE_TEST_SUITE_P(Gpu,
                         DetailsFailureTest,
                         ::testing::Values("Can't load SetupAPI.dll",
                                           "Can't get address \"SetupDiGetDevicePropertyW\"",
                                           "Can't retrieve Device Info",
                                           "100% %s %n done"));

TEST(DetailsTest, WalksExactlyOnce) {
  int walks = 0;
  details([&walks](const VideoCardCallback&) {
    ++walks;
    return CheckResult(true, "");
  });
  EXPECT_EQ(walks, 1);
}

TEST(DetailsTest, BlocksWrittenBeforeAnExceptionStay) {
  ReportSection section;
  auto failing = [](const VideoCardCallback& callback) -> CheckResult {
    callback(card("first", "1.0"));
    throw std::runtime_error("out of memory");
  };
  EXPECT_THROW(check_supported_video_card(section, failing), std::runtime_error);
  EXPECT_EQ(section_text(section), "\tName=first\n\tDriver=1.0\n\n");
}

// The real walk over a scripted device-setup library.
TEST(DetailsTest, ListsWhatTheDeviceSetupLibraryHolds) {
  testing::FakeScript script;
  testing::FakeAdapterSource source(script);
  source.devices.push_back(
      testing::pci_device("Microsoft Basic Display Adapter", "ROOT\\BasicDisplay", u""));
  source.devices.push_back(
      testing::pci_device("AMD Radeon (TM) RX 480", "PCI\\VEN_1002&DEV_67DF", u"22.19.162.4"));
  const std::string text = details([&source](const VideoCardCallback& callback) {
    return enumerate_video_cards(source, callback);
  });
  EXPECT_EQ(text,
            "\tName=Microsoft Basic Display Adapter\n\tDriver=\n\n"
            "\tName=AMD Radeon (TM) RX 480\n\tDriver=22.19.162.4\n\n");
  EXPECT_EQ(script.live_objects, 0);
}

}  // namespace
}  // namespace cc
