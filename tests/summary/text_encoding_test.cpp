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

}  // namespace
}  // namespace cc::summary
