#include "encode/encoder_probes.h"

#include <functional>
#include <string>

#include "encode/encoder_constants.h"
#include "platform/seam_gate.h"
#include "report/com_error.h"
#include "report/report_texts.h"

namespace cc {
namespace {

struct FrameSize {
  std::uint32_t width;
  std::uint32_t height;
};

// The sizes a conferencing client is likely to ask for, smallest first.
constexpr FrameSize kFrameSizes[] = {
    {320, 180}, {424, 240},  {480, 270},  {640, 360},  {800, 448},   {848, 480},
    {960, 540}, {1024, 576}, {1280, 720}, {1600, 896}, {1920, 1080},
};

// What one media-type probe holds while it runs. The transform and its store
// are released when this goes, after the encoder has been detached.
struct MediaTypeProbe {
  MediaTypeProbe(ReportSection& section, MediaFoundation& mf) : section(section), mf(mf) {}
  ReportSection& section;
  MediaFoundation& mf;
  HRESULT status = S_OK;
  std::unique_ptr<Transform> transform;
  std::unique_ptr<Attributes> attributes;
  std::string accepted;
  bool result = false;
};

void run_step(MediaTypeProbe& probe, const char* step, const std::function<void()>& operation) {
  run_guarded(probe.section, std::string("check_encoder_io_media_types: ") + step, operation);
}

// A call that claims success but hands back no object is treated as a
// failure, so the next step never reaches through a null object.
HRESULT require_object(HRESULT hr, bool present) {
  return SUCCEEDED(hr) && !present ? E_POINTER : hr;
}

bool set_up_transform(MediaTypeProbe& probe, Activate& encoder) {
  probe.status = E_UNEXPECTED;
  run_step(probe, "ActivateObject", [&] {
    HRESULT hr = gated(encoder).activate_transform(&probe.transform);
    probe.status = require_object(hr, probe.transform != nullptr);
  });
  if (FAILED(probe.status))
    return false;
  probe.status = E_UNEXPECTED;
  run_step(probe, "GetAttributes", [&] {
    HRESULT hr = gated(probe.transform).get_attributes(&probe.attributes);
    probe.status = require_object(hr, probe.attributes != nullptr);
  });
  if (FAILED(probe.status))
    return false;
  run_step(probe, "SetUINT32",
           [&] { probe.status = gated(probe.attributes).set_uint32(kTransformAsyncUnlock, 1); });
  if (FAILED(probe.status))
    return false;
  run_step(probe, "GetStreamCount", [&] {
    std::uint32_t inputs = 0;
    std::uint32_t outputs = 0;
    probe.status = gated(probe.transform).get_stream_count(&inputs, &outputs);
  });
  return SUCCEEDED(probe.status);
}

void try_frame_size(MediaTypeProbe& probe, MediaType& type, const FrameSize& size) {
  const std::uint64_t packed = (static_cast<std::uint64_t>(size.width) << 32) | size.height;
  if (FAILED(gated(type).set_uint64(kMtFrameSize, packed)))
    return;
  if (FAILED(gated(probe.transform).set_output_type(0, type, 0)))
    return;
  if (!probe.accepted.empty())
    probe.accepted += ", ";
  probe.accepted += std::to_string(size.width) + "x" + std::to_string(size.height);
}

// A refused size is a finding, so nothing in the loop touches the status.
void probe_frame_sizes(MediaTypeProbe& probe) {
  std::unique_ptr<MediaType> type;
  HRESULT hr = gated(probe.mf).create_media_type(&type);
  probe.status = require_object(hr, type != nullptr);
  if (FAILED(probe.status))
    return;
  run_step(probe, "SetGUID with MFMediaType_Video",
           [&] { probe.status = gated(type).set_guid(kMtMajorType, kMediaTypeVideo); });
  if (FAILED(probe.status))
    return;
  run_step(probe, "SetGUID with MFVideoFormat_H264",
           [&] { probe.status = gated(type).set_guid(kMtSubtype, kVideoFormatH264); });
  if (FAILED(probe.status))
    return;
  for (const FrameSize& size : kFrameSizes)
    run_guarded(probe.section, "in resolutions", [&] { try_frame_size(probe, *type, size); });
  probe.section << texts::kResolutions << probe.accepted << "\n";
  probe.result = true;
}

struct FeatureProbe {
  const GUID& property;
  const char* missing;
};

const FeatureProbe kFeatureProbes[] = {
    {kCodecLowLatencyMode, texts::kNoLowLatency},
    {kCodecMaxNumRefFrame, texts::kNoMaxRefFrames},
    {kCodecTemporalLayerCount, texts::kNoTemporalScalability},
};

void probe_features(ReportSection& section, CodecApi& codec, MediaFoundation& mf) {
  bool layers_supported = false;
  for (const FeatureProbe& probe : kFeatureProbes) {
    const bool supported = SUCCEEDED(gated(codec).is_supported(probe.property));
    if (!supported)
      append_info(section, "%s", probe.missing);
    layers_supported = supported;  // the last row is the temporal layer count
  }
  if (!layers_supported)
    return;
  Variant value;
  value.vt = Variant::kUi4;
  value.ulVal = 2;
  if (FAILED(gated(codec).set_value(kCodecTemporalLayerCount, &value)))
    append_info(section, "%s", texts::kLayersNotConfigurable);
  gated(mf).variant_clear(&value);
}

}  // namespace

bool check_encoder_io_media_types(ReportSection& section, Activate* encoder, MediaFoundation& mf) {
  MediaTypeProbe probe(section, mf);
  if (!encoder)
    probe.status = E_INVALIDARG;
  else if (set_up_transform(probe, *encoder))
    probe_frame_sizes(probe);
  if (FAILED(probe.status)) {
    append_error(section, "Failed to check encoder input media type (error = %s)!",
                 hresult_message(probe.status).c_str());
  }
  if (encoder)
    gated(*encoder).detach_object();
  return probe.result;
}

void check_codec_capabilities(ReportSection& section, Activate* encoder, MediaFoundation& mf) {
  if (!encoder)
    return;
  std::unique_ptr<CodecApi> codec;
  if (SUCCEEDED(gated(*encoder).activate_codec_api(&codec)) && codec)
    probe_features(section, *codec, mf);
  gated(*encoder).detach_object();
}

}  // namespace cc
