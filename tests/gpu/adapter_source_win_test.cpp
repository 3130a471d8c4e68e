// The SetupAPI binding against the real library (run under Wine by
// tests/wine/win_unit_test.sh).
#include "gpu/adapter_source_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cc {
namespace {

TEST(WinAdapterSourceTest, ResolvesTheDevicePropertyReaderAndFreesTheLibrary) {
  WinAdapterSource source;
  const ModuleHandle module = source.load_library();
  ASSERT_NE(module, nullptr);
  EXPECT_NE(source.get_proc_address(module, "SetupDiGetDevicePropertyW"), nullptr);
  EXPECT_EQ(source.get_proc_address(module, "SetupDiNoSuchFunction"), nullptr);
  EXPECT_TRUE(source.free_library(module));
}

TEST(WinAdapterSourceTest, WalkMatchesTheDisplayDevicesUser32Reports) {
  WinAdapterSource source;
  std::vector<VideoCardInfo> cards;
  const CheckResult result =
      enumerate_video_cards(source, [&cards](const VideoCardInfo& card) { cards.push_back(card); });
  EXPECT_EQ(result, CheckResult(true, ""));
  ASSERT_FALSE(cards.empty());

  // An independent view of the first adapter: its PnP ID "PCI\VEN_xxxx&DEV_xxxx...".
  DISPLAY_DEVICEA display = {};
  display.cb = sizeof(display);
  ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 0, &display, 0));
  const std::string id = display.DeviceID;
  ASSERT_NE(id.find("VEN_"), std::string::npos) << id;
  bool found = false;
  for (const VideoCardInfo& card : cards) {
    found = found || (card.vendorId == id.substr(id.find("VEN_") + 4, 4) &&
                      card.deviceId == id.substr(id.find("DEV_") + 4, 4) &&
                      card.name == display.DeviceString);
  }
  EXPECT_TRUE(found) << id << " " << display.DeviceString;
}

TEST(WinAdapterSourceTest, ConvertsThroughTheThreadCodePage) {
  const LCID saved = GetThreadLocale();
  ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT)));
  WinAdapterSource source;
  char out[8] = {};
  const int written = source.wide_char_to_multi_byte(u"1.\u0416", out, sizeof(out));
  SetThreadLocale(saved);
  EXPECT_EQ(written, 4);
  EXPECT_EQ(std::string(out), "1.\xC6");  // Cyrillic Zhe in code page 1251
}

TEST(WinAdapterSourceTest, ConversionIntoTooSmallABufferFails) {
  WinAdapterSource source;
  char out[4] = {};
  EXPECT_EQ(source.wide_char_to_multi_byte(u"22.19", out, sizeof(out)), 0);
}

}  // namespace
}  // namespace cc
