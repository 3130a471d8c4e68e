// The check driver: runs the four checks in their fixed order under COM,
// derives the verdict summary and writes the one report.
#pragma once

#include <functional>
#include <string>

#include "platform/os_identity.h"
#include "platform/com_types.h"
#include "report/report_section.h"
#include "report/report_texts.h"

namespace cc {

struct VerdictFlags {
  bool decoder_available = false;
  bool encoder_available = false;
  bool encoder_driver_supported = false;
  bool camera_uvc15 = false;
  bool camera_uvc11 = false;
};

// The four check entry points, bound to their platforms by the composition
// root. An unset entry is a check this build does not have: its heading is
// still written, and nothing else.
struct CheckSet {
  std::function<void(ReportSection&, bool& decoder_available)> decoder;
  std::function<void(ReportSection&)> gpu_details;
  std::function<void(ReportSection&, bool& encoder_available, bool& encoder_driver_supported)>
      encoder;
  std::function<void(ReportSection&, bool& camera_uvc15, bool& camera_uvc11)> camera;
};

// The process services the driver itself uses.
class DriverPlatform {
 public:
  virtual ~DriverPlatform() = default;
  virtual HRESULT co_initialize() = 0;
  virtual void co_uninitialize() = 0;
  // Writes text to standard output in text mode, in one piece.
  virtual void write_stdout(const std::string& text) = 0;
  virtual void write_stderr(const std::string& text) = 0;
  // Creates or empties the file at path in text mode with shared access and
  // writes text into it; false when it cannot be opened.
  virtual bool write_report_file(const std::string& path, const std::string& text) = 0;
  virtual void pause() = 0;
};

using texts::kCameraHeading;
using texts::kDecodingHeading;
using texts::kEncodingHeading;
using texts::kGpuDetailsHeading;

// The text after "H.264 Encoding: " / "H.264 Decoding: ", line ends included.
std::string encoding_verdict(const VerdictFlags& flags);
std::string decoding_verdict(const VerdictFlags& flags);

// The whole run; returns the exit status, which is always 0.
int run_checker(int argc,
                const char* const* argv,
                DriverPlatform& platform,
                OsPlatform& os,
                const CheckSet& checks);

}  // namespace cc
