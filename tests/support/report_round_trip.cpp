#include "support/report_round_trip.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "report/report_texts.h"
#include "summary/endpoint_status.h"
#include "summary/report_parser.h"

namespace cc::testing {
namespace {

using summary::Camera;
using summary::Encoder;
using summary::Endpoint;

// Kept lines lost their leading tabs; message lines had two, the GPU name
// error one, the camera's plain lines none; a resolutions line whose
// encoder line never came keeps two.
std::string retabbed(const std::string& line) {
  if (line.rfind("*** ", 0) == 0 || line.rfind(texts::kResolutions + 2, 0) == 0)
    return "\t\t" + line;
  if (line.rfind("<Error: ", 0) == 0)
    return "\t" + line;
  return line;
}

std::string info(const std::string& text) {
  return std::string(texts::kMessagePrefix) + texts::kLevelInfo + texts::kLevelSeparator + text;
}

std::string uvc(const char* prefix, bool supported) {
  return std::string(prefix) + (supported ? "" : texts::kUvcNot) + texts::kUvcSupported;
}

void add_encoder(std::vector<std::string>& lines, const Encoder& encoder) {
  if (encoder.resolutions)
    lines.push_back(texts::kResolutions + *encoder.resolutions);
  lines.push_back("\t" + encoder.name +
                  (encoder.supported ? texts::kEncoderSupported : texts::kEncoderNotSupported));
  if (!encoder.reason.empty())
    lines.push_back(info(encoder.reason));
  for (const std::string& text : encoder.info)
    lines.push_back(info(text));
}

void add_camera(std::vector<std::string>& lines, const Camera& camera) {
  for (const std::string& note : camera.notes)
    lines.push_back(retabbed(note));
  lines.push_back("\t" + camera.name +
                  (camera.h264 ? texts::kCameraHasH264 : texts::kCameraNoH264));
  lines.push_back(uvc(texts::kUvc15Line, camera.uvc15));
  lines.push_back(uvc(texts::kUvc11Line, camera.uvc11));
  if (camera.c920_note)
    lines.emplace_back(texts::kC920Note);
}

void add_frame(std::vector<std::string>& lines, const Endpoint& e) {
  lines.push_back(texts::kBanner + e.checker_version);
  lines.push_back(texts::kEncodingLabel + e.encoding);
  if (e.footnote)
    lines.emplace_back(texts::kVerdictFootnote);
  lines.push_back(texts::kDecodingLabel + e.decoding);
  if (e.checks_ran)
    for (const char* heading : {texts::kEncodingHeading, texts::kDecodingHeading,
                                texts::kGpuDetailsHeading, texts::kCameraHeading})
      lines.emplace_back(heading);
  lines.emplace_back(texts::kEndpointOs);
  lines.push_back(texts::kOsIndent + e.os);
}

bool any_camera(const Endpoint& e, bool (*test)(const Camera&)) {
  return std::any_of(e.cameras.begin(), e.cameras.end(), test);
}

// The verdict rules read backwards: each verdict must be borne out by the
// items the report lists.
std::string verdict_disagreement(const Endpoint& e) {
  const bool uvc15 = any_camera(e, [](const Camera& c) { return c.uvc15; });
  const bool uvc11 = any_camera(e, [](const Camera& c) { return c.uvc11 && !c.c920_note; });
  const auto& encoders = e.encoders;
  const bool supported =
      std::any_of(encoders.begin(), encoders.end(), [](const Encoder& x) { return x.supported; });
  const bool usable = std::any_of(encoders.begin(), encoders.end(),
                                  [](const Encoder& x) { return !x.reason.empty(); });
  const char* encoding = uvc15       ? texts::kVerdictCameraUvc15
                         : uvc11     ? texts::kVerdictCameraUvc11
                         : supported ? texts::kVerdictOnboard
                         : usable    ? texts::kVerdictSoftwareDriver
                                     : texts::kVerdictSoftware;
  const bool decodes = std::any_of(e.decoders.begin(), e.decoders.end(), [](const auto& d) {
    return d.result == std::string(texts::kDecodeSupported).substr(3);
  });
  const char* decoding = decodes ? texts::kVerdictOnboard : texts::kVerdictSoftware;
  if (e.encoding != encoding || e.footnote != (encoding == texts::kVerdictSoftwareDriver))
    return "encoding verdict \"" + e.encoding + "\" but the items say \"" + encoding + "\"";
  if (e.decoding != decoding)
    return "decoding verdict \"" + e.decoding + "\" but the items say \"" + decoding + "\"";
  return {};
}

// "%s did not answer within %d seconds!" -> " did not answer within ".
std::string before_next(const std::string& format) {
  return format.substr(2, format.find('%', 2) - 2);
}

// The fixed text after a format's "%s".
std::string after_s(const std::string& format) {
  return format.substr(format.find("%s") + 2);
}

bool starts(const std::string& line, const std::string& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}

// Whether the Error line leaves the status open: one of the encoding check,
// except an encoder's feature probe that ran to its end (it runs after the
// encoder was judged); or one that stopped the camera check.
bool casts_doubt(const std::string& line, const std::string& section) {
  const std::string error =
      std::string(texts::kMessagePrefix) + texts::kLevelError + texts::kLevelSeparator;
  if (!starts(line, error))
    return false;
  const std::string text = line.substr(error.size());
  const bool stops = text.find(before_next(texts::kNoAnswerFormat)) != std::string::npos ||
                     text.find(before_next(texts::kCutAtDeadlineFormat)) != std::string::npos ||
                     text.find(before_next(texts::kNeverBeganFormat)) != std::string::npos;
  if (section == texts::kCameraHeading)
    return stops;
  return section == texts::kEncodingHeading && (!starts(text, texts::kFeatureProbeStep) || stops);
}

// The status a report's raw lines call for: the verdict its flags wrote,
// then a driver refusal (a finding whatever failed besides), an adapter
// without its vendor's driver, whether a check that decides the status
// failed, then what the encoding section found. Read from the text, not
// from the parse.
summary::Status status_from_lines(const std::vector<std::string>& lines) {
  using summary::Status;
  std::string verdict, section;
  bool doubt = false, supported = false, no_encoders = false, driver_refusal = false;
  bool no_vendor_driver = false, cameras_listed = false, emulated = false;
  const std::string info =
      std::string(texts::kMessagePrefix) + texts::kLevelInfo + texts::kLevelSeparator;
  for (const std::string& line : lines) {
    for (const char* heading : {texts::kEncodingHeading, texts::kDecodingHeading,
                                texts::kGpuDetailsHeading, texts::kCameraHeading})
      if (line == heading)
        section = heading;
    if (starts(line, texts::kEncodingLabel))
      verdict = line.substr(std::strlen(texts::kEncodingLabel));
    doubt = doubt || casts_doubt(line, section);
    const bool encoding = section == texts::kEncodingHeading;
    supported = supported || (encoding && line.size() > std::strlen(texts::kEncoderSupported) &&
                              line.compare(line.size() - std::strlen(texts::kEncoderSupported),
                                           std::string::npos, texts::kEncoderSupported) == 0);
    no_encoders = no_encoders || (encoding && line == texts::kNoEncoders);
    driver_refusal = driver_refusal || (encoding && starts(line, info) &&
                                        line.find(texts::kPolicyNotByDriver) != std::string::npos);
    emulated = emulated || (encoding && starts(line, info) &&
                            line.find(after_s(texts::kEmulatedOnArm64Format)) != std::string::npos);
    no_vendor_driver = no_vendor_driver || line == texts::kAdapterDriver ||
                       line == std::string(texts::kAdapterName) + summary::kBasicDisplayAdapter;
    cameras_listed =
        cameras_listed || (section == texts::kCameraHeading &&
                           (line == texts::kNoCameras || line.find(" - ") != std::string::npos));
  }
  if (verdict == texts::kVerdictOnboard)
    return Status::kHardwareGpu;
  if (verdict == texts::kVerdictCameraUvc15 || verdict == texts::kVerdictCameraUvc11)
    return supported ? Status::kHardwareGpu : Status::kHardwareCamera;
  if (emulated || section.empty())
    return Status::kUnknown;
  if (driver_refusal && !no_vendor_driver)
    return Status::kDriverUpdate;
  if (no_vendor_driver || doubt || !cameras_listed)
    return Status::kUnknown;
  if (verdict == texts::kVerdictSoftwareDriver)
    return Status::kCannot;
  return no_encoders ? Status::kCannot : Status::kUnknown;
}

std::vector<std::string> report_lines(const std::string& report) {
  std::vector<std::string> lines;
  std::istringstream in(report);
  for (std::string line; std::getline(in, line);)
    if (!line.empty())
      lines.push_back(line);
  return lines;
}

std::string listed(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += "\n  [" + line + "]";
  return text;
}

}  // namespace

std::vector<std::string> lines_of(const Endpoint& e) {
  std::vector<std::string> lines;
  add_frame(lines, e);
  if (e.no_encoders)
    lines.emplace_back(texts::kNoEncoders);
  for (const Encoder& encoder : e.encoders)
    add_encoder(lines, encoder);
  for (const auto& decoder : e.decoders)
    lines.push_back("\t" + decoder.adapter + " - " + decoder.result);
  for (const auto& adapter : e.adapters) {
    lines.push_back(texts::kAdapterName + adapter.name);
    lines.push_back(texts::kAdapterDriver + adapter.driver);
  }
  if (e.no_cameras)
    lines.emplace_back(texts::kNoCameras);
  for (const Camera& camera : e.cameras)
    add_camera(lines, camera);
  for (const std::string& line : e.errors)
    lines.push_back(retabbed(line));
  for (const std::string& line : e.infos)
    lines.push_back(retabbed(line));
  return lines;
}

::testing::AssertionResult report_round_trips(const std::string& report) {
  const summary::ParseOutcome outcome = summary::parse_report(report);
  if (!outcome.endpoint)
    return ::testing::AssertionFailure() << "not read as a report: " << outcome.reason;
  const Endpoint& e = *outcome.endpoint;
  if (!e.unrecognised.empty())
    return ::testing::AssertionFailure() << "lines not understood:" << listed(e.unrecognised);
  std::vector<std::string> expected = report_lines(report);
  std::vector<std::string> given = lines_of(e);
  std::sort(expected.begin(), expected.end());
  std::sort(given.begin(), given.end());
  if (expected != given) {
    std::vector<std::string> lost, invented;
    std::set_difference(expected.begin(), expected.end(), given.begin(), given.end(),
                        std::back_inserter(lost));
    std::set_difference(given.begin(), given.end(), expected.begin(), expected.end(),
                        std::back_inserter(invented));
    return ::testing::AssertionFailure()
           << "lost:" << listed(lost) << "\ninvented:" << listed(invented);
  }
  const std::string disagreement = verdict_disagreement(e);
  if (!disagreement.empty())
    return ::testing::AssertionFailure() << disagreement;
  const summary::Assessment assessment = summary::assess(e);
  const summary::Status status = status_from_lines(report_lines(report));
  if (assessment.status != status)
    return ::testing::AssertionFailure()
           << "status \"" << summary::status_name(assessment.status) << "\" but the lines say \""
           << summary::status_name(status) << "\"";
  if ((status == summary::Status::kHardwareGpu) != assessment.action.empty())
    return ::testing::AssertionFailure() << "action \"" << assessment.action << "\" for \""
                                         << summary::status_name(status) << "\"";
  return ::testing::AssertionSuccess();
}

}  // namespace cc::testing
