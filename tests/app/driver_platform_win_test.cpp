// The process services of the Windows binding against the real APIs (run
// under Wine by tests/wine/win_unit_test.sh).
#include "app/driver_platform_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace cc {
namespace {

const char kName[] = "CC_DRIVER_PLATFORM_TEST";

struct EnvironmentRow {
  const char* name;
  const char* value;  // nullptr: not set
};

class EnvironmentVariableTest : public ::testing::TestWithParam<EnvironmentRow> {
 protected:
  void TearDown() override { SetEnvironmentVariableA(kName, nullptr); }
};

// Values shorter and longer than the first buffer come back whole; a missing
// variable is told apart from a set one.
TEST_P(EnvironmentVariableTest, ValueComesBackWholeOrMissing) {
  const EnvironmentRow& row = GetParam();
  if (row.value)
    ASSERT_TRUE(SetEnvironmentVariableA(kName, row.value));
  WinDriverPlatform platform;
  const std::optional<std::string> value = platform.environment_variable(kName);
  if (!row.value) {
    EXPECT_FALSE(value.has_value());
  } else {
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, row.value);
  }
}

const std::string kLong(300, '7');

INSTANTIATE_TEST_SUITE_P(Values,
                         EnvironmentVariableTest,
                         ::testing::Values(EnvironmentRow{"unset", nullptr},
                                           EnvironmentRow{"short", "45"},
                                           EnvironmentRow{"exactly_first_buffer",
                                                          "0123456789012345678901234567890123456789"
                                                          "012345678901234567890123"},
                                           EnvironmentRow{"long", kLong.c_str()}),
                         [](const ::testing::TestParamInfo<EnvironmentRow>& info) {
                           return std::string(info.param.name);
                         });

// Standard input from a pipe is no console; the process's window station is
// there to be asked, whoever runs the tests.
TEST(WinDriverPlatformTest, AnyoneToAnswerIsAskedOfStdinAndWindowStation) {
  HANDLE read_end = nullptr, write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  const HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
  SetStdHandle(STD_INPUT_HANDLE, read_end);
  WinDriverPlatform platform;
  std::uint32_t mode = 0, flags = 0xFFFF;
  EXPECT_FALSE(platform.get_stdin_console_mode(&mode));
  SetStdHandle(STD_INPUT_HANDLE, saved);
  CloseHandle(read_end);
  CloseHandle(write_end);
  EXPECT_TRUE(platform.get_window_station_flags(&flags));
  EXPECT_EQ(flags & ~kWindowStationVisible, 0u) << "no other station flag is defined";
}

}  // namespace
}  // namespace cc
