// Encoders as the encoder tests describe them, and the system texts their
// error lines quote.
#pragma once

#include <string>

#include "encode/encoder_constants.h"
#include "support/fake_media_foundation.h"
#include "support/fake_system_errors.h"

namespace cc::testing {

// An encoder that accepts every output type and has every optional feature.
inline DeviceDescription capable_encoder(const std::string& name = "",
                                         const std::string& vendor = "") {
  DeviceDescription device;
  if (!name.empty())
    device.strings[kMftFriendlyName] = u16(name);
  if (!vendor.empty())
    device.strings[kMftHardwareVendorId] = u16(vendor);
  device.codec.supported[kCodecLowLatencyMode] = S_OK;
  device.codec.supported[kCodecMaxNumRefFrame] = S_OK;
  device.codec.supported[kCodecTemporalLayerCount] = S_OK;
  device.codec.set_results[{kCodecTemporalLayerCount, 2}] = S_OK;
  return device;
}

// System texts as FormatMessage returns them, line end included.
inline void install_system_texts(FakeSystemErrors& errors) {
  errors.texts[E_FAIL] = "Unspecified error\r\n";
  errors.texts[E_UNEXPECTED] = "Catastrophic failure\r\n";
  errors.texts[E_INVALIDARG] = "The parameter is incorrect.\r\n";
  errors.texts[E_NOINTERFACE] = "No such interface supported\r\n";
  errors.texts[E_POINTER] = "Invalid pointer\r\n";
  errors.texts[E_OUTOFMEMORY] = "Not enough memory resources are available.\r\n";
}

inline std::string com_guard_line(const std::string& name, const std::string& message) {
  return "\t\t*** Error: " + name + " catch com error: " + message +
         ". Description: (null). LastError: 0\n";
}

const char kAllSizes[] =
    "320x180, 424x240, 480x270, 640x360, 800x448, 848x480, 960x540, 1024x576, 1280x720, "
    "1600x896, 1920x1080";

inline std::string sizes_line(const std::string& sizes) {
  return "\t\tSupports output resolutions: " + sizes + "\n";
}

inline std::string failed_line(const std::string& message) {
  return "\t\t*** Error: Failed to check encoder input media type (error = " + message + ")!\n";
}

}  // namespace cc::testing
