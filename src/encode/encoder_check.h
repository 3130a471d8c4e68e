// The hardware H.264 encoder check: lists each hardware encoder with its
// probes and decides whether a supported graphics card of its vendor backs it.
#pragma once

#include <string>

#include "platform/media_foundation.h"
#include "platform/os_identity.h"
#include "gpu/video_card_info.h"
#include "report/report_section.h"

namespace cc {

// Sets both flags false, then raises encoder_available for each encoder that
// can be driven and encoder_driver_supported when its vendor's card also
// passes the policy. Attribute reads that raise leave the check.
void check_hardware_encoder_capability(ReportSection& section,
                                       bool& encoder_available,
                                       bool& encoder_driver_supported,
                                       MediaFoundation& mf,
                                       const VideoCardEnumerator& enumerate_video_cards,
                                       const VideoCardPolicy& check_video_card_support);

// Opens the section with one Info line when this build (own_machine) runs
// emulated on an ARM64 machine: there it sees only the encoders registered for
// its own machine, and the ARM64 build sees the machine's own.
void note_emulation_on_arm64(ReportSection& section, OsPlatform& os, std::uint16_t own_machine);

// The vendor ID in an encoder's hardware vendor attribute ("VEN_8086", "AMD").
std::string parse_vendor_id(const std::string& text);

// The vendor ID guessed from an encoder's friendly name; empty when unknown.
std::string vendor_id_from_friendly_name(const std::string& name);

}  // namespace cc
