// The DXVA2 H.264 decoding probe: one result line per Direct3D 9 adapter and
// the decoder_available verdict flag.
#pragma once

#include "decode/decoder_platform.h"
#include "platform/com_types.h"
#include "report/report_section.h"

namespace cc {

// Sets decoder_available to false, then to true once any adapter offers the
// H.264 VLD profile with an NV12 target and a raw-bitstream configuration.
void check_hardware_decoder_capability(ReportSection& section,
                                       bool& decoder_available,
                                       DecoderPlatform& platform);

// True when profile offers an NV12 render target with at least one
// configuration whose ConfigBitstreamRaw is 1 or 2.
bool find_decoder_configuration(ReportSection& section,
                                DecoderService& service,
                                const GUID& profile);

}  // namespace cc
