// The DirectShow binding against a registered test capture filter (run for
// real by tests/wine/camera_test.sh, which registers it; skipped elsewhere).
#include "camera/directshow_win.h"

#include <windows.h>

#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "camera/camera_check.h"

namespace cc {
namespace {

const wchar_t kInstanceKey[] =
    L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance\\CcTestMatch";

bool test_filter_registered() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kInstanceKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// Objects of the test server still alive; -1 when the server is not loaded,
// so a probe that never bound the filter cannot pass a leak check.
long live_filter_objects() {
  HMODULE module = GetModuleHandleW(L"cc_test_capture_filter.dll");
  if (!module)
    return -1;
  using LiveObjects = long (*)();
  auto live = reinterpret_cast<LiveObjects>(
      reinterpret_cast<void*>(GetProcAddress(module, "cc_test_live_objects")));
  return live ? live() : -1;
}

class DirectShowBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test_filter_registered())
      GTEST_SKIP() << "test capture filter not registered";
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    initialised_ = true;
  }
  void TearDown() override {
    if (initialised_)
      CoUninitialize();
  }
  void probe(const std::string& link) {
    probe_uvc11_extension_unit(section, link, flag, directshow);
  }

  WinDirectShow directshow;
  ReportSection section;
  bool flag = false;
  bool initialised_ = false;
};

TEST_F(DirectShowBindingTest, FindsTheH264UnitInATopologyNode) {
  probe("\\\\?\\cc-test#match");
  EXPECT_TRUE(flag);
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(live_filter_objects(), 0);
}

TEST_F(DirectShowBindingTest, DevicePathArrivesAsUtf8) {
  probe("\\\\?\\cc-test#caf\xc3\xa9");
  EXPECT_TRUE(flag);
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(live_filter_objects(), 0);
}

TEST_F(DirectShowBindingTest, CameraWithoutExtensionUnitWritesNothing) {
  probe("\\\\?\\cc-test#nounit");
  EXPECT_FALSE(flag);
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(live_filter_objects(), 0);
}

TEST_F(DirectShowBindingTest, FailingNodesAreReportedOneByOne) {
  probe("\\\\?\\cc-test#failing");
  EXPECT_FALSE(flag);
  EXPECT_EQ(section.text(),
            "\t\t*** Error: Cannot get the node type (error = 0x80004005)!\n"
            "\t\t*** Error: Could not create the IKsControl (error = 0x80004002)!\n"
            "\t\t*** Error: KsProperty is empty!\n"
            "\t\t*** Error: Calling KsProperty on node failed (error = 0x80070490)!\n");
  EXPECT_EQ(live_filter_objects(), 0);
}

TEST_F(DirectShowBindingTest, FilterWithoutTopologyIsReported) {
  probe("\\\\?\\cc-test#notopology");
  EXPECT_FALSE(flag);
  EXPECT_EQ(section.text(),
            "\t\t*** Error: Could not get the IKsTopologyInfo interface from the camera (error = "
            "0x80004002)!\n");
  EXPECT_EQ(live_filter_objects(), 0);
}

TEST_F(DirectShowBindingTest, PathDifferingInCaseIsNotBound) {
  probe("\\\\?\\CC-TEST#MATCH");
  EXPECT_FALSE(flag);
  EXPECT_EQ(section.text(), "");
}

}  // namespace
}  // namespace cc

namespace cc {
namespace {

TEST_F(DirectShowBindingTest, DeviceThatCannotBeBoundIsReportedAndTheNextProbed) {
  probe("\\\\?\\cc-test#twice");
  EXPECT_TRUE(flag);
  const std::string text = section.text();
  EXPECT_EQ(text.rfind("\t\t*** Error: Could not BindToObject (error = 0x", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  EXPECT_EQ(live_filter_objects(), 0);
}

}  // namespace
}  // namespace cc
