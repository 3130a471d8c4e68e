// Which bytes are kept as UTF-8: each boundary of the encoding, on both sides.
#include "summary/text_encoding.h"

#include <gtest/gtest.h>

#include <utility>

namespace cc::summary {
namespace {

TEST(Utf8Test, ValidOnlyInsideEveryBoundary) {
  const std::pair<std::string_view, bool> cases[] = {
      {"\x7F", true},
      {"\x80", false},  // a continuation byte alone
      {"\xC3", false},  // a sequence cut short
      // The smallest value of each length, and the overlong form just below it.
      {"\xC2\x80", true},
      {"\xC1\xBF", false},
      {"\xE0\xA0\x80", true},
      {"\xE0\x9F\xBF", false},
      {"\xF0\x90\x80\x80", true},
      {"\xF0\x8F\xBF\xBF", false},
      // Around the surrogates D800..DFFF.
      {"\xED\x9F\xBF", true},
      {"\xED\xA0\x80", false},
      {"\xED\xBF\xBF", false},
      {"\xEE\x80\x80", true},
      // U+10FFFF, the last code point, and U+110000.
      {"\xF4\x8F\xBF\xBF", true},
      {"\xF4\x90\x80\x80", false},
      {"\xF8\x88\x80\x80\x80", false},
      // A view ends where it ends, whatever the bytes after it.
      {std::string_view("a\xC3\xA9", 1), true},
  };
  for (const auto& [text, valid] : cases)
    EXPECT_EQ(is_valid_utf8(text), valid) << ::testing::PrintToString(std::string(text));
}

// Computer names compare without case in every script they are written in,
// whichever encoding the file name came in; each bound of a run of capitals.
TEST(FoldCaseTest, CapitalsOfEachScript) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"M\xDCLLER-PC", "m\xC3\xBCller-pc"},          // Windows-1252
      {"M\xC3\x9CLLER-PC", "m\xC3\xBCller-pc"},      // UTF-8
      {"@AZ[`\xC3\x80\xC3\x9E\xC3\x97\xC3\x9F", "@az[`\xC3\xA0\xC3\xBE\xC3\x97\xC3\x9F"},
      {"\xC4\x80\xC4\xAE\xC4\xB0\xC4\xB1", "\xC4\x81\xC4\xAF\xC4\xB0\xC4\xB1"},
      {"\xC4\xB9\xC5\x87\xC5\x8A\xC5\xB8\xC5\xB9\xC5\xBD\xC5\xBF",
       "\xC4\xBA\xC5\x88\xC5\x8B\xC3\xBF\xC5\xBA\xC5\xBE\xC5\xBF"},
      {"\xCE\x91\xCE\xA9\xCE\xA2\xCE\xAB", "\xCE\xB1\xCF\x89\xCE\xA2\xCF\x8B"},  // Greek
      {"\xD0\x80\xD0\x8F\xD0\x90\xD0\xAF\xD0\xB0", "\xD1\x90\xD1\x9F\xD0\xB0\xD1\x8F\xD0\xB0"},
      {"\xF0\x9F\x98\x80" "A", "\xF0\x9F\x98\x80" "a"},
      {"\xDF\xBF\xE0\xA0\x80" "A", "\xDF\xBF\xE0\xA0\x80" "a"},  // U+07FF, U+0800 as they are
  };
  for (const auto& [text, lower] : cases)
    EXPECT_EQ(fold_case(text), lower) << ::testing::PrintToString(std::string(text));
}

}  // namespace
}  // namespace cc::summary
