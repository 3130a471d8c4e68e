// Composition root of the Windows executable: binds each check to the
// platform services it reaches the system through.
#include "app/check_driver.h"
#include "app/driver_platform_win.h"
#include "camera/camera_check.h"
#include "camera/directshow_win.h"
#include "decode/decoder_check.h"
#include "decode/decoder_platform_win.h"
#include "encode/encoder_check.h"
#include "platform/media_foundation_win.h"
#include "gpu/adapter_source_win.h"
#include "gpu/gpu_details.h"
#include "gpu/support_policy.h"
#include "gpu/video_cards.h"
#include "platform/os_identity_win.h"
#include "report/com_error_win.h"
#include "report/fault_guard_win.h"

int main(int argc, char** argv) {
  cc::WinSystemErrors system_errors;
  cc::set_system_errors(&system_errors);
  // A driver that crashes inside a probe costs that probe's line, not the report.
  cc::WinFaultGuard fault_guard;
  cc::WinDriverPlatform platform;
  cc::WinOsPlatform os;
  cc::WinDecoderPlatform decoder_platform;
  cc::WinAdapterSource adapters;
  cc::WinMediaFoundation media_foundation;
  cc::WinDirectShow directshow;

  const cc::VideoCardEnumerator enumerate = [&](const cc::VideoCardCallback& callback) {
    return cc::enumerate_video_cards(adapters, callback);
  };
  const cc::VideoCardPolicy policy = [&](const cc::VideoCardInfo& card) {
    return cc::check_video_card_support(card, os);
  };
  cc::CheckSet checks;
  checks.decoder = [&](cc::ReportSection& section, bool& decoder_available) {
    cc::check_hardware_decoder_capability(section, decoder_available, decoder_platform);
  };
  checks.gpu_details = [&](cc::ReportSection& section) {
    cc::check_supported_video_card(section, enumerate);
  };
  checks.encoder = [&](cc::ReportSection& section, bool& available, bool& supported) {
    cc::note_emulation_on_arm64(section, os, cc::kBuildMachine);
    cc::check_hardware_encoder_capability(section, available, supported, media_foundation,
                                          enumerate, policy);
  };
  checks.camera = [&](cc::ReportSection& section, bool& uvc15, bool& uvc11) {
    cc::check_uvc11_camera_capability(section, uvc15, uvc11, media_foundation, directshow);
  };

  try {
    return cc::run_checker(argc, argv, platform, os, checks);
  } catch (...) {
    platform.end_process(0);  // no driver's unload code runs, on this path either
    return 0;  // the exit status is 0 whatever happened
  }
}
