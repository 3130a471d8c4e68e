// The Direct3D 9Ex / DXVA2 binding against the real APIs. Direct3D needs a
// display: tests/wine/decode_test.sh runs these under Xvfb with
// CC_EXPECT_DIRECT3D=1; elsewhere the display-bound tests skip.
#include "decode/decoder_platform_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace cc {
namespace {

class ForeignDevice : public Direct3DDevice {};

DeviceParameters probe_parameters(std::uint32_t adapter) {
  DeviceParameters parameters;
  parameters.adapter = adapter;
  parameters.device_type = 1;
  parameters.behavior_flags = 0x26;
  parameters.present = {1, 1, 0x10};
  return parameters;
}

class WinDecoderPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const HRESULT hr = platform.create_direct3d(32, &d3d);
    if (!std::getenv("CC_EXPECT_DIRECT3D") && FAILED(hr))
      GTEST_SKIP() << "no display for Direct3D";
    ASSERT_EQ(hr, S_OK);
    ASSERT_NE(d3d, nullptr);
  }

  WinDecoderPlatform platform;
  std::unique_ptr<Direct3D> d3d;
};

TEST(WinDecoderPlatformNoDevice, ForeignDeviceIsRefusedWithoutService) {
  WinDecoderPlatform platform;
  ForeignDevice device;
  std::unique_ptr<DecoderService> service;
  EXPECT_EQ(platform.create_video_decoder_service(device, &service), E_INVALIDARG);
  EXPECT_EQ(service, nullptr);
}

TEST_F(WinDecoderPlatformTest, DescriptionOfEveryAdapter) {
  const std::uint32_t count = d3d->get_adapter_count();
  ASSERT_GE(count, 1u);
  for (std::uint32_t adapter = 0; adapter < count; ++adapter) {
    std::string description;
    EXPECT_EQ(d3d->get_adapter_identifier(adapter, 0, &description), S_OK);
    EXPECT_FALSE(description.empty());
    EXPECT_EQ(description.find('\0'), std::string::npos);
  }
}

TEST_F(WinDecoderPlatformTest, AdapterPastTheEndLeavesDescriptionAlone) {
  std::string description = "unchanged";
  EXPECT_TRUE(FAILED(d3d->get_adapter_identifier(d3d->get_adapter_count(), 0, &description)));
  EXPECT_EQ(description, "unchanged");
  std::unique_ptr<Direct3DDevice> device;
  EXPECT_TRUE(FAILED(d3d->create_device(probe_parameters(d3d->get_adapter_count()), &device)));
  EXPECT_EQ(device, nullptr);
}

TEST_F(WinDecoderPlatformTest, DecoderServiceOnProbeDevice) {
  std::unique_ptr<Direct3DDevice> device;
  ASSERT_EQ(d3d->create_device(probe_parameters(0), &device), S_OK);
  ASSERT_NE(device, nullptr);
  std::unique_ptr<DecoderService> service;
  ASSERT_EQ(platform.create_video_decoder_service(*device, &service), S_OK);
  ASSERT_NE(service, nullptr);
  // Whatever the driver answers, a failing call hands back no list.
  std::vector<GUID> profiles;
  const HRESULT hr = service->get_decoder_device_guids(&profiles);
  EXPECT_TRUE(SUCCEEDED(hr) || profiles.empty()) << std::hex << hr;
}

}  // namespace
}  // namespace cc
