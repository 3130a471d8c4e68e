// The "GPU details:" section: each display adapter's name and driver version.
#pragma once

#include "gpu/video_card_info.h"
#include "report/report_section.h"

namespace cc {

// One adapter's block: its name, its driver version and an empty line.
void list_video_card(ReportSection& section, const VideoCardInfo& card);

// Lists every adapter `enumerate` finds; a walk that cannot start becomes an
// Error line with its message.
void check_supported_video_card(ReportSection& section, const VideoCardEnumerator& enumerate);

}  // namespace cc
