// One endpoint as its report describes it: the rows that CapabilitySummary
// keeps for each report it reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cc::summary {

struct Encoder {
  std::string name;
  bool supported = false;
  std::string reason;  // the Info line that says why a usable encoder is refused
  std::optional<std::string> resolutions;  // absent when the probe ended before listing them
  std::vector<std::string> info;           // the features it lacks
};

struct Decoder {
  std::string adapter;
  std::string result;  // "Supported", "No video decoding hardware", ...
};

struct Adapter {
  std::string name;
  std::string driver;
};

struct Camera {
  std::string name;
  bool h264 = false;
  bool uvc15 = false;
  bool uvc11 = false;
  bool c920_note = false;
  std::vector<std::string> notes;  // probe lines written before its own lines, untabbed
};

// An endpoint's status before the run has assessed it.
inline constexpr int kNotAssessed = -1;

struct Endpoint {
  std::string endpoint;  // the file name without extension, or its relative path
  std::string file;
  std::string checker_version;
  std::string os;
  std::string encoding;  // the verdict after the tab: "Software*", "Onboard hardware", ...
  std::string decoding;
  bool footnote = false;
  bool checks_ran = false;  // the section headings are there (not when COM failed)
  bool no_encoders = false;
  bool no_cameras = false;
  std::vector<Encoder> encoders;
  std::vector<Decoder> decoders;
  std::vector<Adapter> adapters;
  std::vector<Camera> cameras;
  // Lines below are kept as written, less their leading tabs.
  std::vector<std::string> errors;        // every Error line
  std::vector<std::string> infos;         // Info and plain lines that belong to no item
  std::vector<std::string> unrecognised;  // lines the parser could not place
  // The first Error line of each part that decides the status, kept as in
  // errors: before the first section (COM's start, or a stall in COM's start
  // or end), the encoding check (not an encoder's feature probe that ran to
  // its end: it runs after its encoder was judged), the camera check.
  std::string header_error;
  std::string encoding_error;
  std::string camera_error;
  std::string emulated_build;  // "x64" or "x86": the build ran emulated on ARM64
  int earlier_in_file = 0;     // reports before this one in the same file (">>")

  // Filled by the summary run, not the parser.
  std::string report_time;  // the file's modification time, UTC, ISO 8601
  int status = kNotAssessed;  // a Status (endpoint_status.h)
  std::string action;       // what to do when it does not encode in hardware
};

}  // namespace cc::summary
