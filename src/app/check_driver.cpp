#include "app/check_driver.h"

#include "report/com_error.h"

namespace cc {

namespace {

struct Sections {
  ReportSection summary;
  ReportSection decoding;
  ReportSection encoding;
  ReportSection gpu_details;
  ReportSection camera;
};

void write_banner(ReportSection& summary) {
  summary << texts::kBanner << 2 << '.' << 4 << '.' << 0 << '.' << 1233 << '\n' << '\n';
}

void run_checks(Sections& sections, VerdictFlags& flags, const CheckSet& checks) {
  write_heading(sections.decoding, kDecodingHeading);
  if (checks.decoder)
    run_guarded(sections.decoding, "check_hardware_decoder_capability",
                [&] { checks.decoder(sections.decoding, flags.decoder_available); });
  sections.decoding << '\n';

  write_heading(sections.gpu_details, kGpuDetailsHeading);
  if (checks.gpu_details)
    run_guarded(sections.gpu_details, "check_supported_video_card",
                [&] { checks.gpu_details(sections.gpu_details); });

  write_heading(sections.encoding, kEncodingHeading);
  if (checks.encoder)
    run_guarded(sections.encoding, "check_hardware_encoder_capability", [&] {
      checks.encoder(sections.encoding, flags.encoder_available, flags.encoder_driver_supported);
    });
  sections.encoding << '\n';

  write_heading(sections.camera, kCameraHeading);
  if (checks.camera)
    run_guarded(sections.camera, "check_uvc11_camera_capability",
                [&] { checks.camera(sections.camera, flags.camera_uvc15, flags.camera_uvc11); });
  sections.camera << '\n';
}

void assemble(Sections& sections, const VerdictFlags& flags, OsPlatform& os) {
  ReportSection& summary = sections.summary;
  summary << texts::kEncodingLabel << encoding_verdict(flags);
  summary << texts::kDecodingLabel << decoding_verdict(flags) << '\n';
  summary << section_text(sections.encoding) << section_text(sections.decoding)
          << section_text(sections.gpu_details) << section_text(sections.camera);
  summary << texts::kEndpointOs << '\n' << texts::kOsIndent << get_os_product_name(os) << '\n';
}

}  // namespace

std::string encoding_verdict(const VerdictFlags& flags) {
  if (flags.camera_uvc15)
    return std::string(texts::kVerdictCameraUvc15) + "\n";
  if (flags.camera_uvc11)
    return std::string(texts::kVerdictCameraUvc11) + "\n";
  if (!flags.encoder_available)
    return std::string(texts::kVerdictSoftware) + "\n";
  if (flags.encoder_driver_supported)
    return std::string(texts::kVerdictOnboard) + "\n";
  return std::string(texts::kVerdictSoftwareDriver) + "\n" + texts::kVerdictFootnote + "\n";
}

std::string decoding_verdict(const VerdictFlags& flags) {
  return std::string(flags.decoder_available ? texts::kVerdictOnboard : texts::kVerdictSoftware) +
         "\n";
}

int run_checker(int argc,
                const char* const* argv,
                DriverPlatform& platform,
                OsPlatform& os,
                const CheckSet& checks) {
  std::string report_path;
  if (argc > 1 && argv[1])
    report_path = argv[1];

  Sections sections;
  VerdictFlags flags;
  write_banner(sections.summary);

  const HRESULT hr = platform.co_initialize();
  if (FAILED(hr)) {
    append_error(sections.summary, texts::kComInitFailed, "main", hresult_message(hr).c_str());
    sections.summary << '\n';
  } else {
    run_checks(sections, flags, checks);
    platform.co_uninitialize();
  }

  assemble(sections, flags, os);
  const std::string report = section_text(sections.summary);
  platform.write_stdout(report);
  if (!report_path.empty() && !platform.write_report_file(report_path, report))
    platform.write_stderr("Can't open " + report_path);
  platform.pause();
  return 0;
}

}  // namespace cc
