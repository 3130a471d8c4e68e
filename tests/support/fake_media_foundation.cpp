#include "support/fake_media_foundation.h"

#include "support/media_guids.h"

namespace cc::testing {
namespace {

template <typename Map, typename Value>
HRESULT read_value(const Map& map, const GUID& key, Value* value) {
  auto it = map.find(key);
  if (it == map.end())
    return static_cast<HRESULT>(0xC00D36E6u);  // MF_E_ATTRIBUTENOTFOUND
  *value = it->second;
  return S_OK;
}

}  // namespace

std::u16string u16(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

HRESULT FakeMediaType::get_major_type(GUID* major_type) {
  HRESULT hr = script_.on(name_ + ".GetMajorType");
  if (FAILED(hr))
    return hr;
  return read_value(values.guids, kMajorType, major_type);
}

HRESULT FakeMediaType::get_guid(const GUID& key, GUID* value) {
  HRESULT hr = script_.on(name_ + ".GetGUID");
  return FAILED(hr) ? hr : read_value(values.guids, key, value);
}

HRESULT FakeMediaType::set_guid(const GUID& key, const GUID& value) {
  HRESULT hr = script_.on(name_ + ".SetGUID");
  if (SUCCEEDED(hr))
    values.guids[key] = value;
  return hr;
}

HRESULT FakeMediaType::get_uint32(const GUID& key, std::uint32_t* value) {
  HRESULT hr = script_.on(name_ + ".GetUINT32");
  return FAILED(hr) ? hr : read_value(values.uint32s, key, value);
}

HRESULT FakeMediaType::set_uint32(const GUID& key, std::uint32_t value) {
  HRESULT hr = script_.on(name_ + ".SetUINT32");
  if (SUCCEEDED(hr))
    values.uint32s[key] = value;
  return hr;
}

HRESULT FakeMediaType::set_uint64(const GUID& key, std::uint64_t value) {
  HRESULT hr = script_.on(name_ + ".SetUINT64");
  if (SUCCEEDED(hr))
    values.uint64s[key] = value;
  return hr;
}

HRESULT FakeAttributes::set_uint32(const GUID& key, std::uint32_t value) {
  HRESULT hr = script_.on(name_ + ".SetUINT32");
  if (SUCCEEDED(hr))
    store_->uint32s[key] = value;
  return hr;
}

HRESULT FakeAttributes::set_guid(const GUID& key, const GUID& value) {
  HRESULT hr = script_.on(name_ + ".SetGUID");
  if (SUCCEEDED(hr))
    store_->guids[key] = value;
  return hr;
}

HRESULT FakeTransform::get_attributes(std::unique_ptr<Attributes>* attributes) {
  HRESULT hr = script_.on(name_ + ".GetAttributes");
  if (SUCCEEDED(hr))
    *attributes = std::make_unique<FakeAttributes>(script_, name_ + ".attributes",
                                                   behaviour_.attributes.get());
  return hr;
}

HRESULT FakeTransform::get_stream_count(std::uint32_t* inputs, std::uint32_t* outputs) {
  HRESULT hr = script_.on(name_ + ".GetStreamCount");
  if (SUCCEEDED(hr)) {
    *inputs = behaviour_.inputs;
    *outputs = behaviour_.outputs;
  }
  return hr;
}

HRESULT FakeTransform::get_output_available_type(std::uint32_t stream,
                                                 std::uint32_t index,
                                                 std::unique_ptr<MediaType>* type) {
  HRESULT hr = script_.on(name_ + ".GetOutputAvailableType");
  if (FAILED(hr))
    return hr;
  if (stream >= behaviour_.available_types.size())
    return static_cast<HRESULT>(0xC00D36B3u);  // MF_E_INVALIDSTREAMNUMBER
  const auto& types = behaviour_.available_types[stream];
  if (index >= types.size())
    return static_cast<HRESULT>(0xC00D36B9u);  // MF_E_NO_MORE_TYPES
  *type = std::make_unique<FakeMediaType>(
      script_, name_ + ".type" + std::to_string(stream) + "." + std::to_string(index),
      types[index]);
  return hr;
}

HRESULT FakeTransform::set_output_type(std::uint32_t stream, MediaType& type, std::uint32_t flags) {
  HRESULT hr = script_.on(name_ + ".SetOutputType");
  if (FAILED(hr) || !behaviour_.accept)
    return hr;
  return behaviour_.accept(stream, dynamic_cast<FakeMediaType&>(type).values, flags);
}

HRESULT FakeCodecApi::is_supported(const GUID& property) {
  HRESULT hr = script_.on(name_ + ".IsSupported");
  if (FAILED(hr))
    return hr;
  auto it = behaviour_.supported.find(property);
  return it == behaviour_.supported.end() ? E_NOTIMPL : it->second;
}

HRESULT FakeCodecApi::set_value(const GUID& property, Variant* value) {
  HRESULT hr = script_.on(name_ + ".SetValue");
  set_calls.emplace_back(property, value->ulVal);
  if (FAILED(hr))
    return hr;
  if (value->vt != 19)  // VT_UI4, the one type the properties set here take
    return E_INVALIDARG;
  if (behaviour_.change_type_to)
    value->vt = *behaviour_.change_type_to;
  auto it = behaviour_.set_results.find({property, value->ulVal});
  return it == behaviour_.set_results.end() ? E_INVALIDARG : it->second;
}

HRESULT FakeActivate::get_allocated_string(const GUID& key, std::optional<std::u16string>* value) {
  HRESULT hr = script_.on(name_ + ".GetAllocatedString");
  if (FAILED(hr))
    return hr;
  auto it = device_.strings.find(key);
  if (it == device_.strings.end())
    return static_cast<HRESULT>(0xC00D36E6u);  // MF_E_ATTRIBUTENOTFOUND
  *value = it->second;
  return hr;
}

HRESULT FakeActivate::activate_transform(std::unique_ptr<Transform>* transform) {
  HRESULT hr = script_.on(name_ + ".ActivateObject(IMFTransform)");
  if (FAILED(hr))
    return hr;
  if (!device_.has_transform)
    return device_.absent_answer;
  *transform = std::make_unique<FakeTransform>(script_, name_ + ".transform", device_.transform);
  return hr;
}

HRESULT FakeActivate::activate_codec_api(std::unique_ptr<CodecApi>* codec) {
  HRESULT hr = script_.on(name_ + ".ActivateObject(ICodecAPI)");
  if (FAILED(hr))
    return hr;
  if (!device_.has_codec_api)
    return device_.absent_answer;
  *codec = std::make_unique<FakeCodecApi>(script_, name_ + ".codec", device_.codec);
  return hr;
}

HRESULT FakeActivate::detach_object() {
  return script_.on(name_ + ".DetachObject");
}

HRESULT FakeActivate::shutdown_object() {
  return script_.on(name_ + ".ShutdownObject");
}

HRESULT FakeMediaFoundation::enum_hardware_h264_encoders(ActivateList* encoders) {
  HRESULT hr = script_.on("MFTEnumEx");
  if (FAILED(hr))
    return hr;
  for (std::size_t i = 0; i < this->encoders.size(); ++i)
    encoders->push_back(
        std::make_unique<FakeActivate>(script_, "encoder" + std::to_string(i), this->encoders[i]));
  return hr;
}

HRESULT FakeMediaFoundation::create_media_type(std::unique_ptr<MediaType>* type) {
  HRESULT hr = script_.on("MFCreateMediaType");
  if (SUCCEEDED(hr))
    *type = std::make_unique<FakeMediaType>(script_, "mediatype");
  return hr;
}

HRESULT FakeMediaFoundation::create_attributes(std::uint32_t,
                                               std::unique_ptr<Attributes>* attributes) {
  HRESULT hr = script_.on("MFCreateAttributes");
  if (SUCCEEDED(hr))
    *attributes = std::make_unique<FakeAttributes>(script_, "attributes");
  return hr;
}

HRESULT FakeMediaFoundation::enum_device_sources(Attributes&, ActivateList* devices) {
  HRESULT hr = script_.on("MFEnumDeviceSources");
  if (FAILED(hr))
    return hr;
  for (std::size_t i = 0; i < cameras.size(); ++i)
    devices->push_back(
        std::make_unique<FakeActivate>(script_, "camera" + std::to_string(i), cameras[i]));
  return hr;
}

HRESULT FakeMediaFoundation::variant_clear(Variant* value) {
  HRESULT hr = script_.on("VariantClear");
  if (SUCCEEDED(hr))
    *value = Variant{};
  return hr;
}

bool FakeMediaFoundation::sys_alloc_string(const std::u16string& text, std::u16string* copy) {
  if (FAILED(script_.on("SysAllocString")))
    return false;
  *copy = text;
  return true;
}

int FakeMediaFoundation::wide_to_ansi(const std::u16string& text, std::string* ansi) {
  if (FAILED(script_.on("WideCharToMultiByte"))) {
    if (on_conversion_failure)
      on_conversion_failure();
    return 0;
  }
  ansi->clear();
  for (char16_t c : text)
    ansi->push_back(c < 0x80 ? static_cast<char>(c) : '?');  // the code page's default character
  return static_cast<int>(ansi->size()) + 1;
}

}  // namespace cc::testing
