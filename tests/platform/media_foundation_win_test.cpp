// The Media Foundation binding against the real platform (run under Wine by
// tests/wine/win_unit_test.sh): values reach the platform objects unchanged,
// platform strings and arrays are taken over, foreign seam objects refused.
#include "platform/media_foundation_win.h"

#include <gtest/gtest.h>

#include <mferror.h>

#include "platform/attribute_string.h"
#include "encode/encoder_constants.h"

using Microsoft::WRL::ComPtr;

namespace cc {
namespace {

class MediaFoundationWinTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }

  WinMediaFoundation mf;
};

// A seam object that does not come from the binding.
class ForeignMediaType : public MediaType {
 public:
  HRESULT get_major_type(GUID*) override { return S_OK; }
  HRESULT get_guid(const GUID&, GUID*) override { return S_OK; }
  HRESULT set_guid(const GUID&, const GUID&) override { return S_OK; }
  HRESULT get_uint32(const GUID&, std::uint32_t*) override { return S_OK; }
  HRESULT set_uint32(const GUID&, std::uint32_t) override { return S_OK; }
  HRESULT set_uint64(const GUID&, std::uint64_t) override { return S_OK; }
};

class ForeignAttributes : public Attributes {
 public:
  HRESULT set_uint32(const GUID&, std::uint32_t) override { return S_OK; }
  HRESULT set_guid(const GUID&, const GUID&) override { return S_OK; }
};

TEST_F(MediaFoundationWinTest, MediaTypeValuesReachThePlatformType) {
  std::unique_ptr<MediaType> type;
  ASSERT_EQ(mf.create_media_type(&type), S_OK);
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->set_guid(kMtMajorType, kMediaTypeVideo), S_OK);
  EXPECT_EQ(type->set_guid(kMtSubtype, kVideoFormatH264), S_OK);
  EXPECT_EQ(type->set_uint64(kMtFrameSize, (std::uint64_t{1920} << 32) | 1080), S_OK);
  EXPECT_EQ(type->set_uint32(kTransformAsyncUnlock, 7), S_OK);

  IMFMediaType* platform = static_cast<WinMediaType&>(*type).get();
  UINT32 width = 0;
  UINT32 height = 0;
  EXPECT_EQ(MFGetAttributeSize(platform, MF_MT_FRAME_SIZE, &width, &height), S_OK);
  EXPECT_EQ(width, 1920u);
  EXPECT_EQ(height, 1080u);
  GUID major = GUID_NULL;
  EXPECT_EQ(type->get_major_type(&major), S_OK);
  EXPECT_TRUE(IsEqualGUID(major, MFMediaType_Video));
  GUID subtype = GUID_NULL;
  EXPECT_EQ(type->get_guid(kMtSubtype, &subtype), S_OK);
  EXPECT_TRUE(IsEqualGUID(subtype, MFVideoFormat_H264));
  std::uint32_t value = 0;
  EXPECT_EQ(type->get_uint32(kTransformAsyncUnlock, &value), S_OK);
  EXPECT_EQ(value, 7u);
}

TEST_F(MediaFoundationWinTest, MissingAttributeReadGivesThePlatformCodeAndNoValue) {
  std::unique_ptr<MediaType> type;
  ASSERT_EQ(mf.create_media_type(&type), S_OK);
  std::uint32_t value = 42;
  EXPECT_EQ(type->get_uint32(kMtFrameSize, &value), MF_E_ATTRIBUTENOTFOUND);
  EXPECT_EQ(value, 42u);
  GUID guid = kMediaTypeVideo;
  EXPECT_EQ(type->get_guid(kMtSubtype, &guid), MF_E_ATTRIBUTENOTFOUND);
}

TEST_F(MediaFoundationWinTest, AttributeStoreValuesReachThePlatformStore) {
  std::unique_ptr<Attributes> attributes;
  ASSERT_EQ(mf.create_attributes(1, &attributes), S_OK);
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(attributes->set_uint32(kTransformAsyncUnlock, 1), S_OK);
  EXPECT_EQ(attributes->set_guid(kMtSubtype, kVideoFormatH264), S_OK);
  IMFAttributes* platform = static_cast<WinAttributes&>(*attributes).get();
  EXPECT_EQ(MFGetAttributeUINT32(platform, MF_TRANSFORM_ASYNC_UNLOCK, 0), 1u);
  GUID subtype = GUID_NULL;
  EXPECT_EQ(platform->GetGUID(MF_MT_SUBTYPE, &subtype), S_OK);
  EXPECT_TRUE(IsEqualGUID(subtype, MFVideoFormat_H264));
}

TEST_F(MediaFoundationWinTest, ForeignSeamObjectsAreRefusedNotCast) {
  ForeignAttributes foreign;
  ActivateList devices;
  EXPECT_EQ(mf.enum_device_sources(foreign, &devices), E_INVALIDARG);
  EXPECT_TRUE(devices.empty());
}

TEST_F(MediaFoundationWinTest, EncoderEnumerationOfACleanSystemFindsNoHardwareEncoder) {
  ActivateList encoders;
  EXPECT_TRUE(SUCCEEDED(mf.enum_hardware_h264_encoders(&encoders)));
  EXPECT_TRUE(encoders.empty());
}

// An activation object of the platform's own, carrying string attributes.
class ActivateTest : public MediaFoundationWinTest {
 protected:
  void SetUp() override {
    MediaFoundationWinTest::SetUp();
    ComPtr<IMFActivate> platform;
    ASSERT_EQ(MFCreateTransformActivate(&platform), S_OK);
    raw_ = platform.Get();
    activate_ = std::make_unique<WinActivate>(std::move(platform));
  }
  void TearDown() override {
    activate_.reset();
    MediaFoundationWinTest::TearDown();
  }

  IMFActivate* raw_ = nullptr;  // owned by activate_
  std::unique_ptr<WinActivate> activate_;
};

TEST_F(ActivateTest, AllocatedStringIsCopiedWithItsLength) {
  ASSERT_EQ(raw_->SetString(MFT_FRIENDLY_NAME_Attribute, L"Quick Sync \u00e9"), S_OK);
  std::optional<std::u16string> value;
  EXPECT_EQ(activate_->get_allocated_string(kMftFriendlyName, &value), S_OK);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, u"Quick Sync \u00e9");
}

TEST_F(ActivateTest, MissingStringIsTheFailureCodeAndNoValue) {
  std::optional<std::u16string> value;
  EXPECT_EQ(activate_->get_allocated_string(kMftHardwareVendorId, &value), MF_E_ATTRIBUTENOTFOUND);
  EXPECT_FALSE(value.has_value());
}

TEST_F(ActivateTest, AttributeStringReadsThroughTheBinding) {
  ASSERT_EQ(raw_->SetString(kMftHardwareVendorId, L"VEN_8086"), S_OK);
  EXPECT_EQ(read_attribute_string(*activate_, kMftHardwareVendorId, mf), "VEN_8086");
  EXPECT_EQ(read_attribute_string(*activate_, kMftFriendlyName, mf), "");
}

TEST_F(ActivateTest, FailedActivationHandsOutNoObject) {
  // The activation object names no class, so nothing can be created.
  std::unique_ptr<Transform> transform;
  EXPECT_TRUE(FAILED(activate_->activate_transform(&transform)));
  EXPECT_EQ(transform, nullptr);
  std::unique_ptr<CodecApi> codec;
  EXPECT_TRUE(FAILED(activate_->activate_codec_api(&codec)));
  EXPECT_EQ(codec, nullptr);
}

TEST_F(MediaFoundationWinTest, WideToAnsiIncludesTheTerminatorInItsCount) {
  std::string ansi;
  EXPECT_EQ(mf.wide_to_ansi(u"H.264 Encoder", &ansi), 14);
  EXPECT_EQ(ansi, "H.264 Encoder");
  EXPECT_EQ(mf.wide_to_ansi(u"", &ansi), 1);
  EXPECT_EQ(ansi, "");
}

TEST_F(MediaFoundationWinTest, UnmappableCharacterBecomesTheDefaultCharacter) {
  std::string ansi;
  EXPECT_GT(mf.wide_to_ansi(u"A\u4e2dB", &ansi), 0);
  EXPECT_EQ(ansi, "A?B");
}

TEST_F(MediaFoundationWinTest, SysAllocStringCopiesTheText) {
  std::u16string copy;
  EXPECT_TRUE(mf.sys_alloc_string(u"Encoder \u00e9", &copy));
  EXPECT_EQ(copy, u"Encoder \u00e9");
  EXPECT_TRUE(mf.sys_alloc_string(u"", &copy));
  EXPECT_EQ(copy, u"");
}

TEST_F(MediaFoundationWinTest, VariantClearEmptiesAUi4AndReportsBadTypes) {
  Variant value;
  value.vt = Variant::kUi4;
  value.ulVal = 2;
  EXPECT_EQ(mf.variant_clear(&value), S_OK);
  EXPECT_EQ(value.vt, Variant::kEmpty);
  Variant bad;
  bad.vt = 0x0FFF;
  EXPECT_EQ(mf.variant_clear(&bad), DISP_E_BADVARTYPE);
}

}  // namespace
}  // namespace cc
