#include "report/report_section.h"

#include <gtest/gtest.h>

#include <string>

namespace cc {
namespace {

TEST(ReportSectionTest, HeadingIsTitleAndEmptyLine) {
  ReportSection section;
  write_heading(section, "GPU details:");
  EXPECT_EQ(section_text(section), "GPU details:\n\n");
}

TEST(ReportSectionTest, SectionTextLeavesSectionUnchanged) {
  ReportSection section;
  section << "a" << 1 << '\n';
  EXPECT_EQ(section_text(section), "a1\n");
  EXPECT_EQ(section_text(section), "a1\n");
}

TEST(ReportSectionTest, NumbersUseClassicFormatting) {
  std::locale::global(std::locale::classic());
  ReportSection section;
  section << 1920 << 'x' << 1080 << ' ' << 1234567;
  EXPECT_EQ(section_text(section), "1920x1080 1234567");
}

TEST(MessageLineTest, InfoWithoutArgumentsHasExactLayout) {
  ReportSection section;
  append_info(section, "Constant Bitrate Mode is not supported");
  EXPECT_EQ(section_text(section), "\t\t*** Info: Constant Bitrate Mode is not supported\n");
}

TEST(MessageLineTest, ErrorFormatsPrintfArguments) {
  ReportSection section;
  append_error(section, "Couldn't create Direct3D device (error = 0x%08X)!", 0x8876086Cu);
  EXPECT_EQ(section_text(section),
            "\t\t*** Error: Couldn't create Direct3D device (error = 0x8876086C)!\n");
}

TEST(MessageLineTest, AppendsAfterExistingTextWithoutExtraLines) {
  ReportSection section;
  section << "\tName=x\n";
  append_message(section, "Info", "%s and %d", "text", -5);
  EXPECT_EQ(section_text(section), "\tName=x\n\t\t*** Info: text and -5\n");
}

TEST(MessageLineTest, NullStringArgumentPrintsNull) {
  ReportSection section;
  const char* absent = nullptr;
  append_error(section, "Description: %s.", absent);
  EXPECT_EQ(section_text(section), "\t\t*** Error: Description: (null).\n");
}

TEST(MessageLineTest, PercentSignInArgumentIsPrintedUnchanged) {
  ReportSection section;
  append_error(section, "%s", "100% sure %d %s");
  EXPECT_EQ(section_text(section), "\t\t*** Error: 100% sure %d %s\n");
}

TEST(MessageLineTest, LongTextIsCutAt4095Characters) {
  ReportSection section;
  const std::string long_text(10000, 'a');
  append_info(section, "%s", long_text.c_str());
  const std::string expected = "\t\t*** Info: " + std::string(4095, 'a') + "\n";
  EXPECT_EQ(section_text(section), expected);
}

}  // namespace
}  // namespace cc
