// Scripted Media Foundation: encoders and capture devices described as plain
// data, every call routed through a FakeScript under a "<object>.<Method>"
// name (for example "encoder0.ActivateObject", "camera1.type0.2.GetMajorType").
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/media_foundation.h"
#include "support/fake_script.h"

namespace cc::testing {

struct GuidLess {
  bool operator()(const GUID& a, const GUID& b) const {
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
  }
};

// An attribute bag shared by media types and attribute stores.
struct AttributeValues {
  std::map<GUID, GUID, GuidLess> guids;
  std::map<GUID, std::uint32_t, GuidLess> uint32s;
  std::map<GUID, std::uint64_t, GuidLess> uint64s;
};

class FakeMediaType : public MediaType, public Counted {
 public:
  FakeMediaType(FakeScript& script, std::string name, AttributeValues values = {})
      : Counted(script), name_(std::move(name)), values(std::move(values)) {}
  HRESULT get_major_type(GUID* major_type) override;
  HRESULT get_guid(const GUID& key, GUID* value) override;
  HRESULT set_guid(const GUID& key, const GUID& value) override;
  HRESULT get_uint32(const GUID& key, std::uint32_t* value) override;
  HRESULT set_uint32(const GUID& key, std::uint32_t value) override;
  HRESULT set_uint64(const GUID& key, std::uint64_t value) override;

 private:
  std::string name_;

 public:
  AttributeValues values;
};

class FakeAttributes : public Attributes, public Counted {
 public:
  // Writes go to `store` when given (a store that outlives this object).
  FakeAttributes(FakeScript& script, std::string name, AttributeValues* store = nullptr)
      : Counted(script), name_(std::move(name)), store_(store ? store : &values) {}
  HRESULT set_uint32(const GUID& key, std::uint32_t value) override;
  HRESULT set_guid(const GUID& key, const GUID& value) override;
  AttributeValues values;

 private:
  std::string name_;
  AttributeValues* store_;
};

// What a transform does; shared by every activation of the same device.
struct TransformBehaviour {
  std::uint32_t inputs = 1;
  std::uint32_t outputs = 1;
  // Output types per stream, handed out as fresh FakeMediaType copies.
  std::vector<std::vector<AttributeValues>> available_types;
  // Decides SetOutputType(stream, type, flags); default accepts everything.
  std::function<HRESULT(std::uint32_t stream, const AttributeValues& type, std::uint32_t flags)>
      accept;
  // What was written to the transform's attribute store, by every activation.
  std::shared_ptr<AttributeValues> attributes = std::make_shared<AttributeValues>();
};

class FakeTransform : public Transform, public Counted {
 public:
  FakeTransform(FakeScript& script, std::string name, const TransformBehaviour& behaviour)
      : Counted(script), name_(std::move(name)), behaviour_(behaviour) {}
  HRESULT get_attributes(std::unique_ptr<Attributes>* attributes) override;
  HRESULT get_stream_count(std::uint32_t* inputs, std::uint32_t* outputs) override;
  HRESULT get_output_available_type(std::uint32_t stream,
                                    std::uint32_t index,
                                    std::unique_ptr<MediaType>* type) override;
  HRESULT set_output_type(std::uint32_t stream, MediaType& type, std::uint32_t flags) override;

 private:
  std::string name_;
  const TransformBehaviour& behaviour_;
};

struct CodecBehaviour {
  // Properties IsSupported answers for, and with which code (S_OK, S_FALSE...).
  std::map<GUID, HRESULT, GuidLess> supported;
  // SetValue answers: (property, value) -> code; missing pairs answer E_INVALIDARG.
  std::map<std::pair<GUID, std::uint32_t>,
           HRESULT,
           std::function<bool(const std::pair<GUID, std::uint32_t>&,
                              const std::pair<GUID, std::uint32_t>&)>>
      set_results{[](const auto& a, const auto& b) {
        int c = std::memcmp(&a.first, &b.first, sizeof(GUID));
        return c < 0 || (c == 0 && a.second < b.second);
      }};
  // When set, SetValue changes the VARIANT's type to this (to test clearing).
  std::optional<std::uint16_t> change_type_to;
};

class FakeCodecApi : public CodecApi, public Counted {
 public:
  FakeCodecApi(FakeScript& script, std::string name, const CodecBehaviour& behaviour)
      : Counted(script), name_(std::move(name)), behaviour_(behaviour) {}
  HRESULT is_supported(const GUID& property) override;
  HRESULT set_value(const GUID& property, Variant* value) override;
  std::vector<std::pair<GUID, std::uint32_t>> set_calls;

 private:
  std::string name_;
  const CodecBehaviour& behaviour_;
};

// One encoder or capture device as its IMFActivate presents it.
struct DeviceDescription {
  std::map<GUID, std::u16string, GuidLess> strings;
  bool has_transform = true;
  bool has_codec_api = true;
  // What ActivateObject answers for an interface the device lacks; S_OK
  // plays a driver that claims success and hands out nothing.
  HRESULT absent_answer = E_NOINTERFACE;
  TransformBehaviour transform;
  CodecBehaviour codec;
};

class FakeActivate : public Activate, public Counted {
 public:
  FakeActivate(FakeScript& script, std::string name, const DeviceDescription& device)
      : Counted(script), name_(std::move(name)), device_(device) {}
  HRESULT get_allocated_string(const GUID& key, std::optional<std::u16string>* value) override;
  HRESULT activate_transform(std::unique_ptr<Transform>* transform) override;
  HRESULT activate_codec_api(std::unique_ptr<CodecApi>* codec) override;
  HRESULT detach_object() override;
  HRESULT shutdown_object() override;

 private:
  std::string name_;
  const DeviceDescription& device_;
};

class FakeMediaFoundation : public MediaFoundation {
 public:
  explicit FakeMediaFoundation(FakeScript& script) : script_(script) {}
  HRESULT enum_hardware_h264_encoders(ActivateList* encoders) override;
  HRESULT create_media_type(std::unique_ptr<MediaType>* type) override;
  HRESULT create_attributes(std::uint32_t initial_size,
                            std::unique_ptr<Attributes>* attributes) override;
  HRESULT enum_device_sources(Attributes& attributes, ActivateList* devices) override;
  HRESULT variant_clear(Variant* value) override;
  bool sys_alloc_string(const std::u16string& text, std::u16string* copy) override;
  int wide_to_ansi(const std::u16string& text, std::string* ansi) override;

  std::vector<DeviceDescription> encoders;  // "encoder<i>"
  std::vector<DeviceDescription> cameras;   // "camera<i>"
  // Last-error code installed by a failing wide_to_ansi (via FakeSystemErrors).
  std::function<void()> on_conversion_failure;

 private:
  FakeScript& script_;
};

// Narrow test text to the UTF-16 the platform hands out (ASCII only).
std::u16string u16(const std::string& text);

}  // namespace cc::testing
