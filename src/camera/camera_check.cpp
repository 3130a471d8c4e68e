#include "camera/camera_check.h"

#include <array>

#include "platform/attribute_string.h"
#include "platform/seam_gate.h"
#include "report/com_error.h"
#include "report/report_texts.h"

namespace cc {
namespace {

constexpr GUID video_format(std::uint32_t fourcc) {
  return {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

const GUID kSourceType = {0xC60AC5FE,
                          0x252A,
                          0x478F,
                          {0xA0, 0xEF, 0xBC, 0x8F, 0xA5, 0xF7, 0xCA, 0xD3}};
const GUID kSourceTypeVidcap = {0x8AC3587A,
                                0x4AE7,
                                0x42D8,
                                {0x99, 0xE0, 0x0A, 0x60, 0x13, 0xEE, 0xF9, 0x0F}};
const GUID kVidcapCategory = {0x77F0AE69,
                              0xC3BD,
                              0x4509,
                              {0x94, 0x1D, 0x46, 0x7E, 0x4D, 0x24, 0x89, 0x9E}};
const GUID kVideoInputDeviceCategory = {0x860BB310,
                                        0x5D01,
                                        0x11D0,
                                        {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
const GUID kFriendlyName = {0x60D0E559,
                            0x52F8,
                            0x4FA2,
                            {0xBB, 0xCE, 0xAC, 0xDB, 0x34, 0xA8, 0xEC, 0x01}};
const GUID kSymbolicLink = {0x58F0AAD8,
                            0x22BF,
                            0x4F8A,
                            {0xBB, 0x3D, 0xD2, 0xC4, 0x97, 0x8C, 0x6E, 0x2F}};

const GUID kRateControlMode = {0x1C0608E9,
                               0x370C,
                               0x4710,
                               {0x8A, 0x58, 0xCB, 0x61, 0x81, 0xC4, 0x24, 0x23}};
const GUID kVideoUsage = {0x1F636849,
                          0x5DC1,
                          0x49F1,
                          {0xB1, 0xD8, 0xCE, 0x3C, 0xF6, 0x2E, 0xA3, 0x85}};
const GUID kTemporalLayerCount = {0x19CAEBFF,
                                  0xB74D,
                                  0x4CFD,
                                  {0x8C, 0x27, 0xC2, 0xF9, 0xD9, 0x7D, 0x5F, 0x52}};

const GUID kSupportedUsages = {0x60B1A998,
                               0xDC01,
                               0x40CE,
                               {0x97, 0x36, 0xAB, 0xA8, 0x45, 0xA2, 0xDB, 0xDC}};
const GUID kSupportedRateControlModes = {0x6A8AC47E,
                                         0x519C,
                                         0x4F18,
                                         {0x9B, 0xB3, 0x7E, 0xEA, 0xAE, 0xA5, 0x59, 0x4D}};
const GUID kMpeg2Level = {0x96F66574,
                          0x11C5,
                          0x4015,
                          {0x86, 0x66, 0xBF, 0xF5, 0x16, 0x43, 0x6D, 0xA7}};
const GUID kMpeg2Profile = {0xAD76A80B,
                            0x2D5C,
                            0x4E0B,
                            {0xB3, 0x75, 0x64, 0xE5, 0x20, 0x13, 0x70, 0x36}};
const GUID kSupportedSliceModes = {0xC8BE1937,
                                   0x4D64,
                                   0x4549,
                                   {0x83, 0x43, 0xA8, 0x08, 0x6C, 0x0B, 0xFD, 0xA5}};
const GUID kInterlaceMode = {0xE2724BB8,
                             0xE676,
                             0x4806,
                             {0xB4, 0xB2, 0xA8, 0xD6, 0xEF, 0xB4, 0x4C, 0xCD}};
const GUID kSubtype = {0xF7E34C9A,
                       0x42E8,
                       0x4714,
                       {0xB7, 0x4B, 0xCB, 0x29, 0xD7, 0x2C, 0x35, 0xE5}};
const GUID kMediaTypeVideo = video_format(0x73646976);  // 'vids'

const GUID kH264 = video_format(0x34363248);
const std::array<GUID, 5> kPlainFormats = {
    video_format(0x30323449),  // I420
    video_format(0x56555949),  // IYUV
    video_format(0x32315659),  // YV12
    video_format(0x32595559),  // YUY2
    video_format(0x47504A4D),  // MJPG
};

constexpr HRESULT kNoMoreTypes = static_cast<HRESULT>(0xC00D36B9u);  // MF_E_NO_MORE_TYPES
constexpr std::uint32_t kSetTypeTestOnly = 1;                        // MFT_SET_TYPE_TEST_ONLY
constexpr std::uint32_t kCapabilityBit1 = 2;  // bit 1 of the usage and rate-control masks
constexpr std::uint32_t kLevel40 = 40;
constexpr std::uint32_t kProfileUcConstrainedHigh = 257;
constexpr std::uint32_t kInterlaceProgressive = 2;
constexpr std::uint16_t kC920Vendor = 0x046D;
constexpr std::uint16_t kC920Product = 0x082D;

// The one VARIANT every SetValue call reuses, reset to VT_UI4 before each value.
class CodecValue {
 public:
  explicit CodecValue(MediaFoundation& mf) : mf_(mf) {}

  HRESULT set(CodecApi& codec, const GUID& property, std::uint32_t value) {
    if (value_.vt != Variant::kEmpty && value_.vt != Variant::kUi4) {
      HRESULT hr = gated(mf_).variant_clear(&value_);
      if (FAILED(hr))
        raise_com_error(hr);
    }
    value_.vt = Variant::kUi4;
    value_.ulVal = value;
    return gated(codec).set_value(property, &value_);
  }

 private:
  MediaFoundation& mf_;
  Variant value_;
};

bool set_either(CodecValue& value,
                CodecApi& codec,
                const GUID& property,
                std::uint32_t first,
                std::uint32_t second) {
  return SUCCEEDED(value.set(codec, property, first)) ||
         SUCCEEDED(value.set(codec, property, second));
}

bool read_uint32(MediaType& type, const GUID& key, std::uint32_t* value) {
  return SUCCEEDED(gated(type).get_uint32(key, value));
}

bool has_uvc15_capabilities(MediaType& type) {
  std::uint32_t value = 0;
  if (!read_uint32(type, kSupportedUsages, &value) || !(value & kCapabilityBit1))
    return false;
  if (!read_uint32(type, kSupportedRateControlModes, &value) || !(value & kCapabilityBit1))
    return false;
  if (!read_uint32(type, kMpeg2Level, &value) || value != kLevel40)
    return false;
  return read_uint32(type, kMpeg2Profile, &value) && value == kProfileUcConstrainedHigh;
}

void request_output_types(ReportSection& section,
                          Transform& transform,
                          std::uint32_t stream,
                          const OutputTypeCallback& callback) {
  for (std::uint32_t index = 0;; ++index) {
    std::unique_ptr<MediaType> type;
    HRESULT hr = gated(transform).get_output_available_type(stream, index, &type);
    if (FAILED(hr)) {
      if (hr != kNoMoreTypes)
        append_error(section, "Couldn't get output type (output type index = %d, error = 0x%08X)!",
                     static_cast<int>(index), hex(hr));
      return;
    }
    if (!type)
      return;
    GUID major{};
    hr = gated(type).get_major_type(&major);
    if (FAILED(hr)) {
      append_error(section,
                   "Couldn't get major type from a MediaType object (output type index = %d, "
                   "error = 0x%08X)!",
                   static_cast<int>(index), hex(hr));
    } else if (same_guid(major, kMediaTypeVideo)) {
      callback(*type, stream);
    }
  }
}

// Plain-format and H.264 flags of one camera; both needed for UVC 1.5.
bool probe_uvc15(ReportSection& section, Activate& camera, MediaFoundation& mf) {
  if (!probe_camera_codec_api(section, camera, mf))
    return false;
  bool plain_format = false;
  bool h264 = false;
  std::unique_ptr<Transform> transform;
  HRESULT hr = gated(camera).activate_transform(&transform);
  if (FAILED(hr) || !transform) {
    append_error(section, "Failed to activate IMFTransform interface (error = 0x%08X)!", hex(hr));
  } else {
    Transform& t = *transform;
    for_each_video_output_type(section, t, [&](MediaType& type, std::uint32_t stream) {
      classify_output_type(section, t, type, stream, plain_format, h264);
    });
  }
  gated(camera).detach_object();
  return plain_format && h264;
}

void write_camera_lines(ReportSection& section, const std::string& name, bool uvc15, bool uvc11) {
  section << "\t" << (name.empty() ? texts::kUnknownCamera : name)
          << (uvc15 || uvc11 ? texts::kCameraHasH264 : texts::kCameraNoH264) << "\n";
  section << texts::kUvc15Line << (uvc15 ? "" : texts::kUvcNot) << texts::kUvcSupported << "\n";
  section << texts::kUvc11Line << (uvc11 ? "" : texts::kUvcNot) << texts::kUvcSupported << "\n";
}

// The camera's own UVC 1.1 result decides the C920 note, so one camera's
// failing probe never takes away another camera's result.
void report_camera(ReportSection& section,
                   std::unique_ptr<Activate> camera,
                   bool& camera_uvc15,
                   bool& camera_uvc11,
                   MediaFoundation& mf,
                   DirectShow& directshow) {
  const std::string name = read_attribute_string(*camera, kFriendlyName, mf);
  const std::string link = read_attribute_string(*camera, kSymbolicLink, mf);
  const bool uvc15 = probe_uvc15(section, *camera, mf);
  camera.reset();
  bool uvc11 = false;
  probe_uvc11_extension_unit(section, link, uvc11, directshow);
  const UsbIds ids = parse_usb_ids(link);
  const bool c920 = uvc11 && ids.vendor == kC920Vendor && ids.product == kC920Product;
  // Raised before the camera's lines are written: a check given up later
  // counts the flags it raised as of its last completed line.
  camera_uvc15 = camera_uvc15 || uvc15;
  camera_uvc11 = camera_uvc11 || (uvc11 && !c920);
  write_camera_lines(section, name, uvc15, uvc11);
  if (c920) {
    section << texts::kC920Note << "\n";
  }
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// strtol(text, nullptr, 16) with Windows' 32-bit long, low 16 bits.
std::uint16_t read_hex_like_strtol(const std::string& text, std::size_t pos) {
  while (pos < text.size() && is_space(text[pos]))
    ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
    negative = text[pos++] == '-';
  if (pos + 2 < text.size() && text[pos] == '0' && (text[pos + 1] | 0x20) == 'x' &&
      hex_digit(text[pos + 2]) >= 0)
    pos += 2;
  constexpr std::int64_t kLimit = 0x80000000LL;  // -LONG_MIN
  std::int64_t value = 0;
  bool overflow = false;
  for (; pos < text.size() && hex_digit(text[pos]) >= 0; ++pos) {
    value = value * 16 + hex_digit(text[pos]);
    if (value > kLimit)
      overflow = true, value = kLimit;
  }
  std::int64_t result = negative ? -value : value;
  if (overflow || (!negative && value == kLimit))
    result = negative ? -kLimit : kLimit - 1;
  return static_cast<std::uint16_t>(static_cast<std::uint64_t>(result) & 0xFFFFu);
}

std::uint16_t id_after(const std::string& link, const char* marker) {
  const std::size_t at = link.find(marker);
  return at == std::string::npos ? 0 : read_hex_like_strtol(link, at + 4);
}

}  // namespace

UsbIds parse_usb_ids(const std::string& symbolic_link) {
  return {id_after(symbolic_link, "vid_"), id_after(symbolic_link, "pid_")};
}

bool probe_camera_codec_api(ReportSection& section, Activate& camera, MediaFoundation& mf) {
  std::unique_ptr<CodecApi> codec;
  HRESULT hr = gated(camera).activate_codec_api(&codec);
  if (FAILED(hr) || !codec) {
    if (hr != E_NOINTERFACE)
      append_info(section, "Failed to activate ICodecAPI interface, error = %s",
                  hresult_message(hr).c_str());
    return false;
  }
  CodecValue value(mf);
  if (FAILED(value.set(*codec, kRateControlMode, 0))) {
    append_info(section, "%s", texts::kNoConstantBitrate);
    return false;
  }
  if (!set_either(value, *codec, kVideoUsage, 1, 2)) {
    section << texts::kUcConfigNotConfigurable << "\n";
    return false;
  }
  if (!set_either(value, *codec, kTemporalLayerCount, 2, 3)) {
    section << texts::kCameraNoTemporalScalability << "\n";
    return false;
  }
  return true;
}

void for_each_video_output_type(ReportSection& section,
                                Transform& transform,
                                OutputTypeCallback callback) {
  std::uint32_t inputs = 0;
  std::uint32_t outputs = 0;
  HRESULT hr = gated(transform).get_stream_count(&inputs, &outputs);
  if (FAILED(hr)) {
    append_error(section, "Couldn't get stream count (error = 0x%08X)", hex(hr));
    return;
  }
  for (std::uint32_t stream = 0; stream < outputs; ++stream)
    request_output_types(section, transform, stream, callback);
}

void classify_output_type(ReportSection& section,
                          Transform& transform,
                          MediaType& type,
                          std::uint32_t stream,
                          bool& plain_format,
                          bool& h264) {
  GUID subtype{};
  HRESULT hr = gated(type).get_guid(kSubtype, &subtype);
  if (FAILED(hr)) {
    append_error(section, "Couldn't get video format type (error = 0x%08X)!", hex(hr));
    return;
  }
  if (same_guid(subtype, kH264)) {
    if (test_h264_output_type(section, transform, type, stream))
      h264 = true;
    return;
  }
  for (const GUID& plain : kPlainFormats) {
    if (same_guid(subtype, plain))
      plain_format = true;
  }
}

bool test_h264_output_type(ReportSection& section,
                           Transform& transform,
                           MediaType& type,
                           std::uint32_t stream) {
  if (!has_uvc15_capabilities(type))
    return false;
  if (FAILED(gated(type).set_uint32(kSupportedSliceModes, 0))) {
    append_error(section, "Couldn't set MF_MT_H264_SUPPORTED_SLICE_MODES attribute to 0!");
    return false;
  }
  if (FAILED(gated(transform).set_output_type(stream, type, kSetTypeTestOnly)))
    return false;
  if (FAILED(gated(type).set_uint32(kInterlaceMode, kInterlaceProgressive))) {
    append_error(section,
                 "Couldn't set MF_MT_INTERLACE_MODE attribute to MFVideoInterlace_Progressive!");
    return false;
  }
  return SUCCEEDED(gated(transform).set_output_type(stream, type, kSetTypeTestOnly));
}

void check_uvc11_camera_capability(ReportSection& section,
                                   bool& camera_uvc15,
                                   bool& camera_uvc11,
                                   MediaFoundation& mf,
                                   DirectShow& directshow) {
  std::unique_ptr<Attributes> attributes;
  if (FAILED(gated(mf).create_attributes(1, &attributes)) || !attributes)
    return;
  HRESULT hr = gated(attributes).set_guid(kSourceType, kSourceTypeVidcap);
  if (FAILED(hr)) {
    append_error(section,
                 "Couldn't set MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID atribute value "
                 "(error = 0x%08X)!",
                 hex(hr));
    return;
  }
  hr = gated(attributes).set_guid(kVidcapCategory, kVideoInputDeviceCategory);
  if (FAILED(hr)) {
    append_error(section,
                 "Couldn't set CLSID_VideoInputDeviceCategory atribute value (error = 0x%08X)!",
                 hex(hr));
    return;
  }
  ActivateList cameras;
  hr = gated(mf).enum_device_sources(*attributes, &cameras);
  if (FAILED(hr)) {
    append_error(section, "Couldn't enumerate device sources (error = 0x%08X)!", hex(hr));
    return;
  }
  if (cameras.empty()) {
    section << texts::kNoCameras << "\n";
    return;
  }
  for (auto& camera : cameras) {
    if (camera)
      report_camera(section, std::move(camera), camera_uvc15, camera_uvc11, mf, directshow);
  }
}

}  // namespace cc
