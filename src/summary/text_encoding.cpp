#include "summary/text_encoding.h"

#include <cstdint>
#include <cstring>

namespace cc::summary {
namespace {

// Code points of 0x80..0x9F in Windows-1252.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void append_code_point(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The lower-case letter of a capital beyond ASCII in the scripts computer
// names use (fold_case folds ASCII itself).
std::uint32_t lower(std::uint32_t c) {
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F)
    return c + 0x50;
  if (c == 0x178)
    return 0xFF;
  // Latin Extended-A pairs: capital even, small odd, except in the runs
  // 0139..0148 and 0179..017E, where the capital is odd.
  const bool odd_capitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F &&
      (c % 2 == 1) == odd_capitals)
    return c + 1;
  return c;
}

}  // namespace

std::string fold_case(std::string_view text) {
  const std::string utf8 = to_utf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
      ++i;
      continue;
    }
    const int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    if (more == 3) {  // outside the scripts folded: as it is
      out.append(utf8, i, 4);
      i += 4;
      continue;
    }
    std::uint32_t c = b & (more == 2 ? 0x0F : 0x1F);
    for (int k = 1; k <= more; ++k)
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    append_code_point(out, lower(c));
    i += more + 1;
  }
  return out;
}

bool is_valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Reports are mostly ASCII: eight bytes at a time while no high bit is set.
    if (i + 8 <= text.size()) {
      std::uint64_t word = 0;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        i += 8;
        continue;
      }
    }
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    int more = 0;
    std::uint32_t min = 0;
    if ((c & 0xE0) == 0xC0)
      more = 1, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
      more = 2, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
      more = 3, min = 0x10000;
    else
      return false;
    if (text.size() - i <= static_cast<std::size_t>(more))
      return false;
    std::uint32_t value = c & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        return false;
      value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      return false;
    i += more + 1;
  }
  return true;
}

std::string windows1252_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x80 && c < 0xA0)
      append_code_point(out, kHighControls[c - 0x80]);
    else
      append_code_point(out, c);
  }
  return out;
}

std::string to_utf8(std::string_view text) {
  return is_valid_utf8(text) ? std::string(text) : windows1252_to_utf8(text);
}

}  // namespace cc::summary
