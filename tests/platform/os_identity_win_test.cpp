// The registry reader, version predicates and conversions against the real
// APIs (run under Wine by tests/wine/win_unit_test.sh).
#include "platform/os_identity_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/text_conversion_win.h"

namespace cc {
namespace {

const wchar_t kTestKey[] = L"Software\\CapabilityCheckerTest";
const char kTestKeyUtf8[] = "Software\\CapabilityCheckerTest";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestKey);
  }
  // Stores raw bytes, so a value can lack its terminator.
  void set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    ASSERT_EQ(RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
  }
  std::string read(const char* name) { return read_registry_string(kTestKeyUtf8, name, "dflt"); }

  HKEY key_ = nullptr;
};

TEST_F(RegistryTest, PlainStringIsReturned) {
  const wchar_t text[] = L"Windows 7 Professional";
  set(L"ProductName", REG_SZ, text, sizeof(text));
  EXPECT_EQ(read("ProductName"), "Windows 7 Professional");
}

TEST_F(RegistryTest, MissingValueOrKeyGivesDefault) {
  EXPECT_EQ(read("Absent"), "dflt");
  EXPECT_EQ(read_registry_string("Software\\NoSuchKeyAtAll", "X", "Unknown OS"), "Unknown OS");
}

TEST_F(RegistryTest, ExpandAndMultiStringsAreRefused) {
  const wchar_t text[] = L"%SystemRoot%";
  set(L"Expand", REG_EXPAND_SZ, text, sizeof(text));
  set(L"Multi", REG_MULTI_SZ, L"a\0b\0", 10);
  EXPECT_EQ(read("Expand"), "dflt");
  EXPECT_EQ(read("Multi"), "dflt");
}

TEST_F(RegistryTest, StringWithoutTerminatorEndsAtStoredLength) {
  const wchar_t text[] = L"Windows 10 Pro";
  set(L"NoTerm", REG_SZ, text, 7 * sizeof(wchar_t));
  EXPECT_EQ(read("NoTerm"), "Windows");
}

TEST_F(RegistryTest, EmptyStringIsNotTheDefault) {
  set(L"Empty", REG_SZ, L"", sizeof(wchar_t));
  EXPECT_EQ(read("Empty"), "");
  set(L"ZeroBytes", REG_SZ, L"", 0);
  EXPECT_EQ(read("ZeroBytes"), "");
}

TEST_F(RegistryTest, NonAsciiComesBackAsUtf8) {
  const wchar_t text[] = L"Windows \u00e9\u4e2d";
  set(L"Intl", REG_SZ, text, sizeof(text));
  EXPECT_EQ(read("Intl"), "Windows \xc3\xa9\xe4\xb8\xad");
}

TEST_F(RegistryTest, OddByteCountIsRoundedDown) {
  const wchar_t text[] = L"abc";
  set(L"Odd", REG_SZ, text, 5);
  EXPECT_EQ(read("Odd"), "ab");
}

TEST(TextConversionTest, RoundTripsAndAbsentInput) {
  EXPECT_FALSE(utf8_to_utf16(nullptr));
  EXPECT_FALSE(utf16_to_utf8(nullptr));
  EXPECT_EQ(utf8_to_utf16("\xc3\xa9x").value(), std::wstring(L"\u00e9x"));
  EXPECT_EQ(utf16_to_utf8(L"\\\\?\\usb#vid_046d").value(), "\\\\?\\usb#vid_046d");
  EXPECT_EQ(utf16_to_utf8(L"").value(), "");
}

TEST(TextConversionTest, InvalidUtf16BecomesReplacementNotCrash) {
  const wchar_t lone_surrogate[] = {0xD800, L'a', 0};
  std::optional<std::string> text = utf16_to_utf8(lone_surrogate);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->back(), 'a');
}

// CC_EXPECT_WINVER is set by the script after `winecfg -v`; without it the
// test only checks that the two predicates are consistent.
TEST(VersionPredicateWinTest, MatchesConfiguredWineVersion) {
  const bool win7 = IsWindowsVersionOrGreater(6, 1, 0);
  const bool win8 = IsWindowsVersionOrGreater(6, 2, 0);
  EXPECT_TRUE(win7 || !win8);
  const char* expected = std::getenv("CC_EXPECT_WINVER");
  if (!expected)
    GTEST_SKIP() << "no configured version";
  const std::string version = expected;
  if (version == "vista") {
    EXPECT_FALSE(win7);
    EXPECT_FALSE(win8);
  } else if (version == "win7") {
    EXPECT_TRUE(win7);
    EXPECT_FALSE(win8);
  } else {
    EXPECT_TRUE(win7);
    EXPECT_TRUE(win8);
  }
  EXPECT_FALSE(IsWindowsVersionOrGreater(99, 0, 0));
  EXPECT_TRUE(IsWindowsVersionOrGreater(5, 9, 0));
}

}  // namespace
}  // namespace cc
