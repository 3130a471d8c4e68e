// error_message through the real FormatMessageA.
#include "report/com_error_win.h"

#include <gtest/gtest.h>

#include "report/com_error.h"

namespace cc {
namespace {

class SystemErrorsWinTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = set_system_errors(&errors_); }
  void TearDown() override { set_system_errors(previous_); }
  WinSystemErrors errors_;
  SystemErrors* previous_ = nullptr;
};

TEST_F(SystemErrorsWinTest, SystemTextLosesOnlyItsTrailingLineEnd) {
  const std::string text = ComError(E_INVALIDARG).error_message();
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  const std::optional<std::string> raw = errors_.format_message(E_INVALIDARG);
  ASSERT_TRUE(raw);
  EXPECT_EQ(trim_system_text(*raw), text);
}

TEST_F(SystemErrorsWinTest, UnknownCodeFallsBack) {
  EXPECT_STREQ(ComError(static_cast<HRESULT>(0x80040210u)).error_message(),
               "IDispatch error #16");
  EXPECT_STREQ(ComError(static_cast<HRESULT>(0xA1B2C3D4u)).error_message(),
               "Unknown error 0xA1B2C3D4");
}

TEST_F(SystemErrorsWinTest, LastErrorIsTheThreads) {
  SetLastError(1234);
  EXPECT_EQ(errors_.last_error(), 1234);
  // The unwinder itself may change the code between throw and catch, so the
  // guard's line is only checked for its shape here.
  ReportSection section;
  run_guarded(section, "x", [] { throw 1; });
  EXPECT_EQ(section_text(section).rfind("\t\t*** Error: x catch undefined exception! LastError: ", 0),
            0u);
}

}  // namespace
}  // namespace cc
