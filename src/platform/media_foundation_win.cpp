#include "platform/media_foundation_win.h"

#include <objbase.h>
#include <oleauto.h>

#include <vector>

#include "platform/co_task_memory_win.h"

using Microsoft::WRL::ComPtr;

namespace cc {
namespace {

// Takes over an array of IMFActivate that the platform allocated: each
// element moves into a wrapper, and whatever was not moved (because a wrapper
// could not be allocated) is released before the array itself is freed.
class ActivateArray {
 public:
  ActivateArray(IMFActivate** items, UINT32 count) : items_(items), count_(items ? count : 0) {}
  ActivateArray(const ActivateArray&) = delete;
  ActivateArray& operator=(const ActivateArray&) = delete;
  ~ActivateArray() {
    for (UINT32 i = 0; i < count_; ++i) {
      if (items_.get()[i])
        items_.get()[i]->Release();
    }
  }

  void move_into(ActivateList* list) {
    for (UINT32 i = 0; i < count_; ++i) {
      ComPtr<IMFActivate> item;
      item.Attach(items_.get()[i]);
      items_.get()[i] = nullptr;
      list->push_back(std::make_unique<WinActivate>(std::move(item)));
    }
  }

 private:
  CoTaskMemory<IMFActivate*> items_;
  UINT32 count_;
};

HRESULT take_over(HRESULT hr, IMFActivate** items, UINT32 count, ActivateList* list) {
  // A failed call hands out nothing we may trust but the array pointer.
  ActivateArray array(items, SUCCEEDED(hr) ? count : 0);
  array.move_into(list);
  return hr;
}

const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

HRESULT WinMediaType::get_major_type(GUID* major_type) {
  return type_->GetMajorType(major_type);
}

HRESULT WinMediaType::get_guid(const GUID& key, GUID* value) {
  return type_->GetGUID(key, value);
}

HRESULT WinMediaType::set_guid(const GUID& key, const GUID& value) {
  return type_->SetGUID(key, value);
}

HRESULT WinMediaType::get_uint32(const GUID& key, std::uint32_t* value) {
  UINT32 read = 0;
  HRESULT hr = type_->GetUINT32(key, &read);
  if (SUCCEEDED(hr))
    *value = read;
  return hr;
}

HRESULT WinMediaType::set_uint32(const GUID& key, std::uint32_t value) {
  return type_->SetUINT32(key, value);
}

HRESULT WinMediaType::set_uint64(const GUID& key, std::uint64_t value) {
  return type_->SetUINT64(key, value);
}

HRESULT WinAttributes::set_uint32(const GUID& key, std::uint32_t value) {
  return attributes_->SetUINT32(key, value);
}

HRESULT WinAttributes::set_guid(const GUID& key, const GUID& value) {
  return attributes_->SetGUID(key, value);
}

HRESULT WinTransform::get_attributes(std::unique_ptr<Attributes>* attributes) {
  ComPtr<IMFAttributes> store;
  HRESULT hr = transform_->GetAttributes(&store);
  if (SUCCEEDED(hr) && store)
    *attributes = std::make_unique<WinAttributes>(std::move(store));
  return hr;
}

HRESULT WinTransform::get_stream_count(std::uint32_t* inputs, std::uint32_t* outputs) {
  DWORD in = 0;
  DWORD out = 0;
  HRESULT hr = transform_->GetStreamCount(&in, &out);
  if (SUCCEEDED(hr)) {
    *inputs = in;
    *outputs = out;
  }
  return hr;
}

HRESULT WinTransform::get_output_available_type(std::uint32_t stream,
                                                std::uint32_t index,
                                                std::unique_ptr<MediaType>* type) {
  ComPtr<IMFMediaType> available;
  HRESULT hr = transform_->GetOutputAvailableType(stream, index, &available);
  if (SUCCEEDED(hr) && available)
    *type = std::make_unique<WinMediaType>(std::move(available));
  return hr;
}

HRESULT WinTransform::set_output_type(std::uint32_t stream, MediaType& type, std::uint32_t flags) {
  auto* platform_type = dynamic_cast<WinMediaType*>(&type);
  if (!platform_type)
    return E_INVALIDARG;
  return transform_->SetOutputType(stream, platform_type->get(), flags);
}

HRESULT WinCodecApi::is_supported(const GUID& property) {
  return codec_->IsSupported(&property);
}

HRESULT WinCodecApi::set_value(const GUID& property, Variant* value) {
  VARIANT variant{};
  VariantInit(&variant);
  variant.vt = value->vt;
  if (value->vt == VT_UI4)
    variant.ulVal = value->ulVal;
  HRESULT hr = codec_->SetValue(&property, &variant);
  value->vt = variant.vt;
  if (variant.vt == VT_UI4) {
    value->ulVal = variant.ulVal;
  } else if (variant.vt != VT_EMPTY) {
    // Our Variant cannot carry what the platform put there; free it now so
    // that nothing leaks. The changed type still goes back to the caller.
    VariantClear(&variant);
  }
  return hr;
}

HRESULT WinActivate::get_allocated_string(const GUID& key, std::optional<std::u16string>* value) {
  LPWSTR text = nullptr;
  UINT32 length = 0;
  HRESULT hr = activate_->GetAllocatedString(key, &text, &length);
  // Owned from here, so the copy below may throw without leaking it.
  CoTaskMemory<wchar_t> owned(text);
  if (SUCCEEDED(hr) && text)
    *value = std::u16string(reinterpret_cast<const char16_t*>(text), length);
  return hr;
}

HRESULT WinActivate::activate_transform(std::unique_ptr<Transform>* transform) {
  ComPtr<IMFTransform> object;
  HRESULT hr =
      activate_->ActivateObject(IID_IMFTransform, reinterpret_cast<void**>(object.GetAddressOf()));
  if (SUCCEEDED(hr) && object)
    *transform = std::make_unique<WinTransform>(std::move(object));
  return hr;
}

HRESULT WinActivate::activate_codec_api(std::unique_ptr<CodecApi>* codec) {
  ComPtr<ICodecAPI> object;
  HRESULT hr =
      activate_->ActivateObject(IID_ICodecAPI, reinterpret_cast<void**>(object.GetAddressOf()));
  if (SUCCEEDED(hr) && object)
    *codec = std::make_unique<WinCodecApi>(std::move(object));
  return hr;
}

HRESULT WinActivate::detach_object() {
  return activate_->DetachObject();
}

HRESULT WinActivate::shutdown_object() {
  return activate_->ShutdownObject();
}

using MFTEnumExFn = HRESULT(WINAPI*)(GUID,
                                     UINT32,
                                     const MFT_REGISTER_TYPE_INFO*,
                                     const MFT_REGISTER_TYPE_INFO*,
                                     IMFActivate***,
                                     UINT32*);
using MFCreateMediaTypeFn = HRESULT(WINAPI*)(IMFMediaType**);
using MFCreateAttributesFn = HRESULT(WINAPI*)(IMFAttributes**, UINT32);
using MFEnumDeviceSourcesFn = HRESULT(WINAPI*)(IMFAttributes*, IMFActivate***, UINT32*);

HRESULT WinMediaFoundation::enum_hardware_h264_encoders(ActivateList* encoders) {
  MFTEnumExFn enumerate = nullptr;
  HRESULT hr = mfplat_.resolve("MFTEnumEx", &enumerate);
  if (FAILED(hr))
    return hr;
  MFT_REGISTER_TYPE_INFO output = {MFMediaType_Video, MFVideoFormat_H264};
  IMFActivate** items = nullptr;
  UINT32 count = 0;
  hr = enumerate(MFT_CATEGORY_VIDEO_ENCODER, MFT_ENUM_FLAG_HARDWARE, nullptr, &output, &items,
                 &count);
  return take_over(hr, items, count, encoders);
}

HRESULT WinMediaFoundation::create_media_type(std::unique_ptr<MediaType>* type) {
  MFCreateMediaTypeFn create = nullptr;
  HRESULT hr = mfplat_.resolve("MFCreateMediaType", &create);
  if (FAILED(hr))
    return hr;
  ComPtr<IMFMediaType> created;
  hr = create(&created);
  if (SUCCEEDED(hr) && created)
    *type = std::make_unique<WinMediaType>(std::move(created));
  return hr;
}

HRESULT WinMediaFoundation::create_attributes(std::uint32_t initial_size,
                                              std::unique_ptr<Attributes>* attributes) {
  MFCreateAttributesFn create = nullptr;
  HRESULT hr = mfplat_.resolve("MFCreateAttributes", &create);
  if (FAILED(hr))
    return hr;
  ComPtr<IMFAttributes> created;
  hr = create(&created, initial_size);
  if (SUCCEEDED(hr) && created)
    *attributes = std::make_unique<WinAttributes>(std::move(created));
  return hr;
}

HRESULT WinMediaFoundation::enum_device_sources(Attributes& attributes, ActivateList* devices) {
  auto* store = dynamic_cast<WinAttributes*>(&attributes);
  if (!store)
    return E_INVALIDARG;
  MFEnumDeviceSourcesFn enumerate = nullptr;
  HRESULT hr = mf_.resolve("MFEnumDeviceSources", &enumerate);
  if (FAILED(hr))
    return hr;
  IMFActivate** items = nullptr;
  UINT32 count = 0;
  hr = enumerate(store->get(), &items, &count);
  return take_over(hr, items, count, devices);
}

HRESULT WinMediaFoundation::variant_clear(Variant* value) {
  // Only a VT_UI4 value is carried; any other type has no payload left to
  // free (set_value already released it), so its union stays zero.
  VARIANT variant{};
  VariantInit(&variant);
  variant.vt = value->vt;
  if (value->vt == VT_UI4)
    variant.ulVal = value->ulVal;
  HRESULT hr = VariantClear(&variant);
  value->vt = variant.vt;
  value->ulVal = variant.vt == VT_UI4 ? variant.ulVal : 0;
  return hr;
}

bool WinMediaFoundation::sys_alloc_string(const std::u16string& text, std::u16string* copy) {
  BSTR allocated = SysAllocString(wide(text));
  if (!allocated)
    return false;
  std::unique_ptr<OLECHAR, decltype(&SysFreeString)> owned(allocated, &SysFreeString);
  copy->assign(reinterpret_cast<const char16_t*>(allocated), SysStringLen(allocated));
  return true;
}

int WinMediaFoundation::wide_to_ansi(const std::u16string& text, std::string* ansi) {
  int size = WideCharToMultiByte(CP_ACP, 0, wide(text), -1, nullptr, 0, nullptr, nullptr);
  if (size == 0)
    return 0;
  std::vector<char> buffer(static_cast<std::size_t>(size));
  int written =
      WideCharToMultiByte(CP_ACP, 0, wide(text), -1, buffer.data(), size, nullptr, nullptr);
  if (written == 0)
    return 0;
  ansi->assign(buffer.data());
  return written;
}

}  // namespace cc
