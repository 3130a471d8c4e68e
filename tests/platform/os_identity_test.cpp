#include "platform/os_identity.h"

#include <gtest/gtest.h>

#include "platform/os_identity_posix.h"
#include "support/fake_driver_platform.h"

namespace cc {
namespace {

struct VersionCase {
  unsigned major, minor;
  bool win7, win8;
};

class VersionPredicateTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionPredicateTest, ThresholdsAre61And62) {
  testing::FakeOs os;
  os.version_major = GetParam().major;
  os.version_minor = GetParam().minor;
  EXPECT_EQ(IsWindows7OrGreater(os), GetParam().win7);
  EXPECT_EQ(IsWindows8OrGreater(os), GetParam().win8);
}

INSTANTIATE_TEST_SUITE_P(Versions,
                         VersionPredicateTest,
                         ::testing::Values(VersionCase{5, 1, false, false},
                                           VersionCase{6, 0, false, false},
                                           VersionCase{6, 1, true, false},
                                           VersionCase{6, 2, true, true},
                                           VersionCase{6, 3, true, true},
                                           VersionCase{10, 0, true, true}),
                         [](const ::testing::TestParamInfo<VersionCase>& info) {
                           return "v" + std::to_string(info.param.major) + "_" +
                                  std::to_string(info.param.minor);
                         });

TEST(VersionPredicateTest, AskedAfreshEachCall) {
  testing::FakeOs os;
  IsWindows8OrGreater(os);
  IsWindows8OrGreater(os);
  EXPECT_EQ(os.version_queries, 2);
}

TEST(ProductNameTest, DefaultIsUnknownOs) {
  testing::FakeOs os;
  os.product_name.reset();
  EXPECT_EQ(get_os_product_name(os), "Unknown OS");
  os.product_name = "";
  EXPECT_EQ(get_os_product_name(os), "");
}

TEST(OsReleaseTest, PrettyNameUnquoted) {
  EXPECT_EQ(os_release_pretty_name("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12\"\n"),
            "Debian GNU/Linux 12");
  EXPECT_EQ(os_release_pretty_name("PRETTY_NAME=Plain"), "Plain");
  EXPECT_FALSE(os_release_pretty_name("NAME=x\n"));
}

TEST(OsReleaseTest, MissingFileGivesDefault) {
  PosixOsPlatform os("/nonexistent/os-release");
  EXPECT_EQ(get_os_product_name(os), "Unknown OS");
  EXPECT_FALSE(IsWindows7OrGreater(os));
}

}  // namespace
}  // namespace cc
