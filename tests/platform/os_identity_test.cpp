#include "platform/os_identity.h"

#include <gtest/gtest.h>

#include "platform/os_identity_posix.h"
#include "support/fake_driver_platform.h"
#include "support/scripted_machine.h"

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

struct EmulationCase {
  const char* name;
  bool present;     // kernel32 exports IsWow64Process2
  int result;       // what it returns
  std::uint16_t process, native;
  std::uint16_t own;  // the build's machine
  std::optional<std::string> expected;
};

class EmulationTest : public ::testing::TestWithParam<EmulationCase> {};

TEST_P(EmulationTest, OnlyAnX64OrX86BuildOnArm64IsEmulated) {
  const EmulationCase& row = GetParam();
  testing::FakeOs os;
  os.wow64_process2_present = row.present;
  os.wow64_result = row.result;
  os.wow64_process_machine = row.process;
  os.wow64_native_machine = row.native;
  EXPECT_EQ(emulated_on_arm64(os, row.own), row.expected);
  // A missing function is never called; the ARM64 build asks nothing.
  EXPECT_EQ(os.wow64_calls, row.present && row.own != kMachineArm64 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Machines,
    EmulationTest,
    ::testing::Values(
        EmulationCase{"Missing", false, 1, kMachineUnknown, kMachineArm64, kMachineAmd64, {}},
        EmulationCase{"CallFails", true, 0, kMachineUnknown, kMachineArm64, kMachineAmd64, {}},
        EmulationCase{"X64OnX64", true, 1, kMachineUnknown, kMachineAmd64, kMachineAmd64, {}},
        EmulationCase{"X86OnX64", true, 1, kMachineI386, kMachineAmd64, kMachineI386, {}},
        EmulationCase{"X64OnArm64", true, 1, kMachineUnknown, kMachineArm64, kMachineAmd64, "x64"},
        EmulationCase{"X86OnArm64", true, 1, kMachineI386, kMachineArm64, kMachineI386, "x86"},
        EmulationCase{"Arm64Build", true, 1, kMachineUnknown, kMachineArm64, kMachineArm64, {}}),
    [](const ::testing::TestParamInfo<EmulationCase>& info) { return info.param.name; });

// The whole report of an emulated x64 or x86 build is the native one with the
// Info line opening the encoding section, and nothing else changed.
TEST(EmulationTest, InfoLineOpensEncodingSectionOnly) {
  testing::ScriptedMachine native;
  native.run();
  const std::string heading = "On-board GPU H.264 Encoding Capabilities:\n\n";
  for (const auto& [own, name] : {std::pair<std::uint16_t, std::string>{kMachineAmd64, "x64"},
                                  {kMachineI386, "x86"}}) {
    testing::ScriptedMachine emulated;
    emulated.own_machine = own;
    emulated.os.wow64_process2_present = true;
    emulated.os.wow64_native_machine = kMachineArm64;
    emulated.run();
    std::string expected = native.driver.out;
    expected.insert(expected.find(heading) + heading.size(),
                    "\t\t*** Info: This " + name +
                        " build runs emulated on an ARM64 machine; the ARM64 build sees the "
                        "machine's own hardware encoders\n");
    EXPECT_EQ(emulated.driver.out, expected) << name;
  }
}

TEST(EmulationTest, ArmBuildOnArmMachineReportsAsNative) {
  testing::ScriptedMachine native;
  native.run();
  testing::ScriptedMachine arm;
  arm.own_machine = kMachineArm64;
  arm.os.wow64_process2_present = true;
  arm.os.wow64_native_machine = kMachineArm64;
  arm.run();
  EXPECT_EQ(arm.driver.out, native.driver.out);
  EXPECT_EQ(arm.os.wow64_lookups, 0);
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
  EXPECT_FALSE(emulated_on_arm64(os, kMachineAmd64));
}

}  // namespace
}  // namespace cc
