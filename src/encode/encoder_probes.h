// The two probes run on each hardware H.264 encoder: can it produce H.264 at
// the usual frame sizes, and which optional encoding features does it lack.
#pragma once

#include "platform/media_foundation.h"
#include "report/report_section.h"

namespace cc {

// Activates the encoder as a transform, unlocks it and offers an H.264 output
// type at eleven frame sizes; writes the accepted sizes. True when the
// encoder could be set up, however many sizes it accepted. Failing platform
// calls become lines in the section; only text handling can throw out of it.
bool check_encoder_io_media_types(ReportSection& section, Activate* encoder, MediaFoundation& mf);

// One Info line per missing optional feature; silence when the encoder has
// no codec property interface.
void check_codec_capabilities(ReportSection& section, Activate* encoder, MediaFoundation& mf);

}  // namespace cc
