#include "platform/attribute_string.h"

#include <gtest/gtest.h>

#include "support/fake_media_foundation.h"
#include "support/fake_system_errors.h"

namespace cc {
namespace {

using testing::DeviceDescription;
using testing::FakeActivate;
using testing::FakeMediaFoundation;
using testing::FakeScript;
using testing::u16;

const GUID kName = {0x314ffbae, 0x5b41, 0x4c95, {0x9c, 0x19, 0x4e, 0x7d, 0x58, 0x6f, 0xac, 0xe3}};

struct AttributeStringTest : ::testing::Test {
  FakeScript script;
  FakeMediaFoundation mf{script};
  DeviceDescription device;
};

TEST_F(AttributeStringTest, ReadsAndConvertsToAnsi) {
  device.strings[kName] = u16("Intel(R) Quick Sync Video H.264 Encoder MFT");
  FakeActivate activate(script, "encoder0", device);
  EXPECT_EQ(read_attribute_string(activate, kName, mf),
            "Intel(R) Quick Sync Video H.264 Encoder MFT");
}

TEST_F(AttributeStringTest, UnmappableCharactersBecomeDefaultCharacter) {
  device.strings[kName] = u"Caf\u00e9 \u4e2d";
  FakeActivate activate(script, "encoder0", device);
  EXPECT_EQ(read_attribute_string(activate, kName, mf), "Caf? ?");
}

TEST_F(AttributeStringTest, MissingOrFailingReadIsEmptyNotError) {
  FakeActivate activate(script, "encoder0", device);
  EXPECT_EQ(read_attribute_string(activate, kName, mf), "");
  device.strings[kName] = u16("x");
  script.fail("encoder0.GetAllocatedString", E_OUTOFMEMORY);
  EXPECT_EQ(read_attribute_string(activate, kName, mf), "");
}

TEST_F(AttributeStringTest, AllocationFailureRaisesOutOfMemory) {
  device.strings[kName] = u16("x");
  FakeActivate activate(script, "encoder0", device);
  script.fail("SysAllocString", E_OUTOFMEMORY);
  try {
    read_attribute_string(activate, kName, mf);
    FAIL() << "no exception";
  } catch (const ComError& error) {
    EXPECT_EQ(error.hresult(), E_OUTOFMEMORY);
  }
}

TEST_F(AttributeStringTest, ConversionFailureRaisesLastErrorAsHresult) {
  testing::FakeSystemErrors errors;
  errors.last_error_code = 1113;  // ERROR_NO_UNICODE_TRANSLATION
  device.strings[kName] = u16("x");
  FakeActivate activate(script, "encoder0", device);
  script.fail("WideCharToMultiByte", E_FAIL);
  try {
    read_attribute_string(activate, kName, mf);
    FAIL() << "no exception";
  } catch (const ComError& error) {
    EXPECT_EQ(hex(error.hresult()), 0x80070459u);
  }
}

}  // namespace
}  // namespace cc
