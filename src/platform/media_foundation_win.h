// Windows binding of the Media Foundation seam: each method is one platform
// call, results and out-values handed through unchanged. Every COM reference
// is held by a ComPtr, so destroying a wrapper releases what it wraps.
#pragma once

#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>
#include <mftransform.h>
#include <strmif.h>
#include <wrl/client.h>

#include "platform/media_foundation.h"
#include "platform/system_library_win.h"

namespace cc {

class WinMediaType : public MediaType {
 public:
  explicit WinMediaType(Microsoft::WRL::ComPtr<IMFMediaType> type) : type_(std::move(type)) {}
  HRESULT get_major_type(GUID* major_type) override;
  HRESULT get_guid(const GUID& key, GUID* value) override;
  HRESULT set_guid(const GUID& key, const GUID& value) override;
  HRESULT get_uint32(const GUID& key, std::uint32_t* value) override;
  HRESULT set_uint32(const GUID& key, std::uint32_t value) override;
  HRESULT set_uint64(const GUID& key, std::uint64_t value) override;
  IMFMediaType* get() const { return type_.Get(); }

 private:
  Microsoft::WRL::ComPtr<IMFMediaType> type_;
};

class WinAttributes : public Attributes {
 public:
  explicit WinAttributes(Microsoft::WRL::ComPtr<IMFAttributes> attributes)
      : attributes_(std::move(attributes)) {}
  HRESULT set_uint32(const GUID& key, std::uint32_t value) override;
  HRESULT set_guid(const GUID& key, const GUID& value) override;
  IMFAttributes* get() const { return attributes_.Get(); }

 private:
  Microsoft::WRL::ComPtr<IMFAttributes> attributes_;
};

class WinTransform : public Transform {
 public:
  explicit WinTransform(Microsoft::WRL::ComPtr<IMFTransform> transform)
      : transform_(std::move(transform)) {}
  HRESULT get_attributes(std::unique_ptr<Attributes>* attributes) override;
  HRESULT get_stream_count(std::uint32_t* inputs, std::uint32_t* outputs) override;
  HRESULT get_output_available_type(std::uint32_t stream,
                                    std::uint32_t index,
                                    std::unique_ptr<MediaType>* type) override;
  // A type that did not come from this binding is refused with E_INVALIDARG.
  HRESULT set_output_type(std::uint32_t stream, MediaType& type, std::uint32_t flags) override;

 private:
  Microsoft::WRL::ComPtr<IMFTransform> transform_;
};

class WinCodecApi : public CodecApi {
 public:
  explicit WinCodecApi(Microsoft::WRL::ComPtr<ICodecAPI> codec) : codec_(std::move(codec)) {}
  HRESULT is_supported(const GUID& property) override;
  HRESULT set_value(const GUID& property, Variant* value) override;

 private:
  Microsoft::WRL::ComPtr<ICodecAPI> codec_;
};

class WinActivate : public Activate {
 public:
  explicit WinActivate(Microsoft::WRL::ComPtr<IMFActivate> activate)
      : activate_(std::move(activate)) {}
  HRESULT get_allocated_string(const GUID& key, std::optional<std::u16string>* value) override;
  HRESULT activate_transform(std::unique_ptr<Transform>* transform) override;
  HRESULT activate_codec_api(std::unique_ptr<CodecApi>* codec) override;
  HRESULT detach_object() override;
  HRESULT shutdown_object() override;

 private:
  Microsoft::WRL::ComPtr<IMFActivate> activate_;
};

class WinMediaFoundation : public MediaFoundation {
 public:
  HRESULT enum_hardware_h264_encoders(ActivateList* encoders) override;
  HRESULT create_media_type(std::unique_ptr<MediaType>* type) override;
  HRESULT create_attributes(std::uint32_t initial_size,
                            std::unique_ptr<Attributes>* attributes) override;
  // A store that did not come from create_attributes is refused with E_INVALIDARG.
  HRESULT enum_device_sources(Attributes& attributes, ActivateList* devices) override;
  HRESULT variant_clear(Variant* value) override;
  bool sys_alloc_string(const std::u16string& text, std::u16string* copy) override;
  int wide_to_ansi(const std::u16string& text, std::string* ansi) override;

 private:
  // Resolved at run time: Windows 7 N editions have no Media Foundation
  // until the Media Feature Pack is installed.
  SystemLibrary mfplat_{L"mfplat.dll"};
  SystemLibrary mf_{L"mf.dll"};
};

}  // namespace cc
