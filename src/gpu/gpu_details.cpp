#include "gpu/gpu_details.h"
#include "report/report_texts.h"

namespace cc {

void list_video_card(ReportSection& section, const VideoCardInfo& card) {
  section << texts::kAdapterName << card.name << '\n';
  section << texts::kAdapterDriver << card.driverVersion << '\n';
  section << '\n';
}

void check_supported_video_card(ReportSection& section, const VideoCardEnumerator& enumerate) {
  const CheckResult result =
      enumerate([&section](const VideoCardInfo& card) { list_video_card(section, card); });
  if (!result.first)
    append_error(section, "%s", result.second.c_str());
}

}  // namespace cc
