#include "report/com_error.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <stdexcept>

#include "support/fake_system_errors.h"

namespace cc {
namespace {

using testing::FakeSystemErrors;

struct FallbackCase {
  std::uint32_t hr;
  const char* text;
};

class FallbackTextTest : public ::testing::TestWithParam<FallbackCase> {};

TEST_P(FallbackTextTest, UsedWhenSystemHasNoText) {
  FakeSystemErrors errors;
  EXPECT_STREQ(ComError(static_cast<HRESULT>(GetParam().hr)).error_message(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Ranges,
                         FallbackTextTest,
                         ::testing::Values(FallbackCase{0x80040201u, "IDispatch error #1"},
                                           FallbackCase{0x80040210u, "IDispatch error #16"},
                                           FallbackCase{0x8004FFFFu, "IDispatch error #65023"},
                                           FallbackCase{0x80040200u, "Unknown error 0x80040200"},
                                           FallbackCase{0x80050000u, "Unknown error 0x80050000"},
                                           FallbackCase{0x00000001u, "Unknown error 0x1"},
                                           FallbackCase{0x00000000u, "Unknown error 0x0"},
                                           FallbackCase{0xFFFFFFFFu, "Unknown error 0xFFFFFFFF"}),
                         [](const ::testing::TestParamInfo<FallbackCase>& info) {
                           char name[16];
                           std::snprintf(name, sizeof(name), "hr_%08X", info.param.hr);
                           return std::string(name);
                         });

TEST(FallbackTextTest, NoServicesInstalledMeansFallback) {
  EXPECT_STREQ(ComError(E_FAIL).error_message(), "Unknown error 0x80004005");
  EXPECT_EQ(last_error_code(), 0);
}

struct TrimCase {
  const char* system_text;
  const char* expected;
};

class SystemTextTrimTest : public ::testing::TestWithParam<TrimCase> {};

TEST_P(SystemTextTrimTest, OnlyOneTrailingLineEndIsRemoved) {
  FakeSystemErrors errors;
  errors.texts[E_FAIL] = GetParam().system_text;
  EXPECT_EQ(std::string(ComError(E_FAIL).error_message()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(LineEnds,
                         SystemTextTrimTest,
                         ::testing::Values(TrimCase{"Unspecified error\r\n", "Unspecified error"},
                                           TrimCase{"Unspecified error\n", "Unspecified error"},
                                           TrimCase{"Unspecified error.\r", "Unspecified error.\r"},
                                           TrimCase{"\n", "\n"},
                                           TrimCase{"\r\n", ""},
                                           TrimCase{"Two\r\nlines.\r\n\r\n", "Two\r\nlines.\r\n"},
                                           TrimCase{"No line end.", "No line end."},
                                           TrimCase{"", ""}),
                         // The texts hold line ends, so the cases are named by position.
                         [](const ::testing::TestParamInfo<TrimCase>& info) {
                           return "case" + std::to_string(info.index);
                         });

TEST(ComErrorTest, MessageIsAskedOnceAndCached) {
  FakeSystemErrors errors;
  errors.texts[E_FAIL] = "Unspecified error\r\n";
  ComError error(E_FAIL);
  const char* first = error.error_message();
  const char* second = error.error_message();
  EXPECT_EQ(first, second);
  EXPECT_EQ(errors.format_calls, 1);
}

TEST(ComErrorTest, CopyKeepsCodeButNotCachedText) {
  FakeSystemErrors errors;
  errors.texts[E_FAIL] = "first\n";
  ComError original(E_FAIL);
  original.error_message();
  errors.texts[E_FAIL] = "second\n";
  ComError copy(original);
  EXPECT_EQ(copy.hresult(), E_FAIL);
  EXPECT_STREQ(copy.error_message(), "second");
  EXPECT_STREQ(original.error_message(), "first");
}

class FakeErrorInfo : public ErrorInfo {
 public:
  FakeErrorInfo(HRESULT result, std::string text) : result_(result), text_(std::move(text)) {}
  HRESULT get_description(std::string* description) override {
    *description = text_;
    return result_;
  }

 private:
  HRESULT result_;
  std::string text_;
};

TEST(ComErrorTest, DescriptionComesFromErrorInfo) {
  EXPECT_FALSE(ComError(E_FAIL).error_description());
  EXPECT_EQ(ComError(E_FAIL, std::make_shared<FakeErrorInfo>(S_OK, "Device lost"))
                .error_description()
                .value_or("none"),
            "Device lost");
  EXPECT_FALSE(
      ComError(E_FAIL, std::make_shared<FakeErrorInfo>(E_FAIL, "ignored")).error_description());
}

TEST(ComErrorTest, CopyTakesItsOwnErrorInfoReference) {
  auto info = std::make_shared<FakeErrorInfo>(S_OK, "kept");
  std::weak_ptr<ErrorInfo> watch = info;
  auto copy = std::make_unique<ComError>(ComError(E_FAIL, std::move(info)));
  EXPECT_FALSE(watch.expired());
  copy.reset();
  EXPECT_TRUE(watch.expired());
}

TEST(HresultMessageTest, UsesSystemTextOrFallback) {
  FakeSystemErrors errors;
  errors.texts[E_INVALIDARG] = "The parameter is incorrect.\r\n";
  EXPECT_EQ(hresult_message(E_INVALIDARG), "The parameter is incorrect.");
  EXPECT_EQ(hresult_message(static_cast<HRESULT>(0xC00D36B9u)), "Unknown error 0xC00D36B9");
}

TEST(RaiseComErrorTest, ThrowsComErrorWithoutErrorInfo) {
  try {
    raise_com_error(E_OUTOFMEMORY);
    FAIL() << "raise_com_error returned";
  } catch (const ComError& error) {
    EXPECT_EQ(error.hresult(), E_OUTOFMEMORY);
    EXPECT_FALSE(error.error_description());
  }
}

TEST(RunGuardedTest, NormalReturnWritesNothing) {
  ReportSection section;
  bool ran = false;
  run_guarded(section, "step", [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(section_text(section), "");
}

TEST(RunGuardedTest, ComErrorLineWithFallbackAndLastError) {
  FakeSystemErrors errors;
  errors.last_error_code = 5;
  ReportSection section;
  run_guarded(section, "check_uvc11_camera_capability",
              [] { raise_com_error(static_cast<HRESULT>(0x80040210u)); });
  EXPECT_EQ(section_text(section),
            "\t\t*** Error: check_uvc11_camera_capability catch com error: IDispatch error #16. "
            "Description: (null). LastError: 5\n");
}

TEST(RunGuardedTest, ComErrorLineCarriesDescription) {
  FakeSystemErrors errors;
  errors.texts[E_FAIL] = "Unspecified error\r\n";
  ReportSection section;
  run_guarded(section, "main", [] {
    throw ComError(E_FAIL, std::make_shared<FakeErrorInfo>(S_OK, "Driver said no"));
  });
  EXPECT_EQ(section_text(section),
            "\t\t*** Error: main catch com error: Unspecified error. Description: Driver said "
            "no. LastError: 0\n");
}

TEST(RunGuardedTest, StandardExceptionLine) {
  FakeSystemErrors errors;
  errors.last_error_code = -3;
  ReportSection section;
  run_guarded(section, "check_supported_video_card",
              [] { throw std::runtime_error("bad allocation"); });
  EXPECT_EQ(section_text(section),
            "\t\t*** Error: check_supported_video_card catch std::exception: bad allocation. "
            "LastError: -3\n");
}

TEST(RunGuardedTest, BadAllocIsAStandardException) {
  ReportSection section;
  run_guarded(section, "x", [] { throw std::bad_alloc(); });
  EXPECT_NE(section_text(section).find("x catch std::exception: "), std::string::npos);
}

TEST(RunGuardedTest, AnyOtherTypeIsUndefined) {
  FakeSystemErrors errors;
  errors.last_error_code = 87;
  struct Unrelated {};
  ReportSection int_section;
  run_guarded(int_section, "in resolutions", [] { throw 42; });
  EXPECT_EQ(section_text(int_section),
            "\t\t*** Error: in resolutions catch undefined exception! LastError: 87\n");
  ReportSection class_section;
  run_guarded(class_section, "in resolutions", [] { throw Unrelated{}; });
  EXPECT_EQ(section_text(class_section), section_text(int_section));
}

TEST(RunGuardedTest, KeepsTextAndOutValuesWrittenBeforeTheThrow) {
  ReportSection section;
  bool flag = false;
  run_guarded(section, "check", [&] {
    flag = true;
    section << "\tpartial\n";
    throw 1;
  });
  EXPECT_TRUE(flag);
  EXPECT_EQ(section_text(section),
            "\tpartial\n\t\t*** Error: check catch undefined exception! "
            "LastError: 0\n");
}

TEST(RunGuardedTest, NestedGuardConsumesInnerException) {
  ReportSection section;
  bool after = false;
  run_guarded(section, "outer", [&] {
    run_guarded(section, "inner", [] { throw 1; });
    after = true;
  });
  EXPECT_TRUE(after);
  EXPECT_EQ(section_text(section),
            "\t\t*** Error: inner catch undefined exception! LastError: 0\n");
}

}  // namespace
}  // namespace cc
