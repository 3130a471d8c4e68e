// The Media Foundation seam shared by the encoder and camera checks: one
// method per platform call, HRESULTs and out-values as the platform gives them.
// Objects handed out are owned by the caller; destroying one releases the
// platform object behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com_types.h"

namespace cc {

// The VT_UI4 VARIANT the codec probes pass to ICodecAPI::SetValue.
struct Variant {
  static constexpr std::uint16_t kEmpty = 0;  // VT_EMPTY
  static constexpr std::uint16_t kUi4 = 19;   // VT_UI4
  std::uint16_t vt = kEmpty;
  std::uint32_t ulVal = 0;
};

// IMFMediaType.
class MediaType {
 public:
  virtual ~MediaType() = default;
  virtual HRESULT get_major_type(GUID* major_type) = 0;
  virtual HRESULT get_guid(const GUID& key, GUID* value) = 0;
  virtual HRESULT set_guid(const GUID& key, const GUID& value) = 0;
  virtual HRESULT get_uint32(const GUID& key, std::uint32_t* value) = 0;
  virtual HRESULT set_uint32(const GUID& key, std::uint32_t value) = 0;
  virtual HRESULT set_uint64(const GUID& key, std::uint64_t value) = 0;
};

// IMFAttributes (a transform's attribute store, or a store of our own).
class Attributes {
 public:
  virtual ~Attributes() = default;
  virtual HRESULT set_uint32(const GUID& key, std::uint32_t value) = 0;
  virtual HRESULT set_guid(const GUID& key, const GUID& value) = 0;
};

// IMFTransform.
class Transform {
 public:
  virtual ~Transform() = default;
  virtual HRESULT get_attributes(std::unique_ptr<Attributes>* attributes) = 0;
  virtual HRESULT get_stream_count(std::uint32_t* inputs, std::uint32_t* outputs) = 0;
  virtual HRESULT get_output_available_type(std::uint32_t stream, std::uint32_t index,
                                            std::unique_ptr<MediaType>* type) = 0;
  virtual HRESULT set_output_type(std::uint32_t stream, MediaType& type, std::uint32_t flags) = 0;
};

// ICodecAPI.
class CodecApi {
 public:
  virtual ~CodecApi() = default;
  virtual HRESULT is_supported(const GUID& property) = 0;
  // The platform may change the VARIANT; it is handed back as it leaves.
  virtual HRESULT set_value(const GUID& property, Variant* value) = 0;
};

// An IMFAttributes whose string attributes can be read (every IMFActivate).
class AttributeStore {
 public:
  virtual ~AttributeStore() = default;
  // GetAllocatedString; value is nullopt when the platform gave no string.
  virtual HRESULT get_allocated_string(const GUID& key, std::optional<std::u16string>* value) = 0;
};

// IMFActivate.
class Activate : public AttributeStore {
 public:
  virtual HRESULT activate_transform(std::unique_ptr<Transform>* transform) = 0;  // IID_IMFTransform
  virtual HRESULT activate_codec_api(std::unique_ptr<CodecApi>* codec) = 0;       // IID_ICodecAPI
  virtual HRESULT detach_object() = 0;
  virtual HRESULT shutdown_object() = 0;
};

using ActivateList = std::vector<std::unique_ptr<Activate>>;

// Process-level Media Foundation, OLE automation and text services.
class MediaFoundation {
 public:
  virtual ~MediaFoundation() = default;
  // MFTEnumEx(MFT_CATEGORY_VIDEO_ENCODER, MFT_ENUM_FLAG_HARDWARE, no input
  // filter, output Video/H264). The platform array is taken over and freed.
  virtual HRESULT enum_hardware_h264_encoders(ActivateList* encoders) = 0;
  virtual HRESULT create_media_type(std::unique_ptr<MediaType>* type) = 0;
  virtual HRESULT create_attributes(std::uint32_t initial_size,
                                    std::unique_ptr<Attributes>* attributes) = 0;
  // MFEnumDeviceSources over a store made by create_attributes.
  virtual HRESULT enum_device_sources(Attributes& attributes, ActivateList* devices) = 0;
  // VariantClear.
  virtual HRESULT variant_clear(Variant* value) = 0;
  // SysAllocString copy; false when it could not be allocated.
  virtual bool sys_alloc_string(const std::u16string& text, std::u16string* copy) = 0;
  // WideCharToMultiByte(CP_ACP) of text with its terminator; the result of the
  // call (0 on failure, the last-error code then tells why).
  virtual int wide_to_ansi(const std::u16string& text, std::string* ansi) = 0;
};

}  // namespace cc
