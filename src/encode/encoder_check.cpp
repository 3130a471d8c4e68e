#include "encode/encoder_check.h"

#include "platform/attribute_string.h"
#include "encode/encoder_constants.h"
#include "encode/encoder_probes.h"
#include "platform/seam_gate.h"
#include "report/com_error.h"
#include "report/report_texts.h"

namespace cc {
namespace {

bool starts_with(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

struct AdapterMatch {
  bool supported = false;
  std::string reason;
};

// The first adapter of the vendor that the policy accepts settles it; until
// then each refusal of that vendor's adapters replaces the reason.
AdapterMatch match_adapter(ReportSection& section,
                           const std::string& vendor,
                           const VideoCardEnumerator& enumerate_video_cards,
                           const VideoCardPolicy& check_video_card_support) {
  AdapterMatch match{false, texts::kNoVideoCardPrefix + vendor + texts::kNoVideoCardSuffix};
  const VideoCardCallback callback = [&](const VideoCardInfo& card) {
    if (match.supported || card.vendorId != vendor)
      return;
    CheckResult verdict = check_video_card_support(card);
    match.supported = verdict.first;
    match.reason = match.supported ? std::string() : std::move(verdict.second);
  };
  const CheckResult walk = enumerate_video_cards(callback);
  if (!walk.first)
    append_error(section, "%s", walk.second.c_str());
  return match;
}

struct Verdicts {
  bool& available;
  bool& driver_supported;
};

void write_encoder_line(ReportSection& section,
                        Activate& encoder,
                        MediaFoundation& mf,
                        const std::string& name,
                        const AdapterMatch& match,
                        Verdicts& verdicts) {
  const bool usable = check_encoder_io_media_types(section, &encoder, mf);
  section << "\t" << (name.empty() ? std::string(texts::kUnknownEncoderName) : name);
  if (usable && match.supported) {
    verdicts.available = true;
    verdicts.driver_supported = true;
    section << texts::kEncoderSupported << "\n";
  } else if (usable) {
    verdicts.available = true;
    section << texts::kEncoderNotSupported << "\n";
    append_info(section, "%s", match.reason.c_str());
  } else {
    section << texts::kEncoderNotSupported << "\n";
  }
}

void check_encoder(ReportSection& section,
                   Activate& encoder,
                   MediaFoundation& mf,
                   const VideoCardEnumerator& enumerate_video_cards,
                   const VideoCardPolicy& check_video_card_support,
                   Verdicts& verdicts) {
  const std::string name = read_attribute_string(encoder, kMftFriendlyName, mf);
  std::string vendor = parse_vendor_id(read_attribute_string(encoder, kMftHardwareVendorId, mf));
  if (vendor.empty())
    vendor = vendor_id_from_friendly_name(read_attribute_string(encoder, kMftFriendlyName, mf));
  const AdapterMatch match =
      match_adapter(section, vendor, enumerate_video_cards, check_video_card_support);
  run_guarded(section, "check_encoder_io_media_types",
              [&] { write_encoder_line(section, encoder, mf, name, match, verdicts); });
  run_guarded(section, texts::kFeatureProbeStep,
              [&] { check_codec_capabilities(section, &encoder, mf); });
  gated(encoder).shutdown_object();
}

}  // namespace

void note_emulation_on_arm64(ReportSection& section, OsPlatform& os, std::uint16_t own_machine) {
  const std::optional<std::string> build = emulated_on_arm64(os, own_machine);
  if (build)
    append_info(section, texts::kEmulatedOnArm64Format, build->c_str());
}

std::string parse_vendor_id(const std::string& text) {
  if (starts_with(text, "VEN_"))
    return text.substr(4);
  if (text == "AMD")
    return "1002";
  return text;
}

std::string vendor_id_from_friendly_name(const std::string& name) {
  if (starts_with(name, "Intel"))
    return "8086";
  if (starts_with(name, "AMD"))
    return "1002";
  return std::string();
}

void check_hardware_encoder_capability(ReportSection& section,
                                       bool& encoder_available,
                                       bool& encoder_driver_supported,
                                       MediaFoundation& mf,
                                       const VideoCardEnumerator& enumerate_video_cards,
                                       const VideoCardPolicy& check_video_card_support) {
  encoder_available = false;
  encoder_driver_supported = false;
  // Each encoder is released when its turn ends, and the ones not yet
  // examined are released with the list if an attribute read raises.
  ActivateList encoders;
  const HRESULT hr = gated(mf).enum_hardware_h264_encoders(&encoders);
  if (FAILED(hr)) {
    append_error(section, "Failed to enumerate hardware encoders, error = %s",
                 hresult_message(hr).c_str());
    return;
  }
  if (encoders.empty()) {
    section << texts::kNoEncoders << "\n";
    return;
  }
  Verdicts verdicts{encoder_available, encoder_driver_supported};
  for (std::unique_ptr<Activate>& encoder : encoders) {
    if (encoder)
      check_encoder(section, *encoder, mf, enumerate_video_cards, check_video_card_support,
                    verdicts);
    encoder.reset();
  }
}

}  // namespace cc
