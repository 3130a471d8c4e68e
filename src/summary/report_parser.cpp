#include "summary/report_parser.h"

#include <cstring>

#include "report/report_texts.h"
#include "summary/text_encoding.h"

namespace cc::summary {
namespace {

using std::string_view;

bool starts_with(string_view text, string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(string_view text, string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "\t" + name + suffix: the name, when the line has that shape.
std::optional<string_view> item_name(string_view line, string_view suffix) {
  if (!starts_with(line, "\t") || starts_with(line, "\t\t") || !ends_with(line, suffix))
    return std::nullopt;
  return line.substr(1, line.size() - 1 - suffix.size());
}

enum class Section { kHeader, kEncoding, kDecoding, kGpuDetails, kCamera, kOs, kDone };

class Parser {
 public:
  explicit Parser(Endpoint& endpoint) : e_(endpoint) {}

  void line(string_view raw);
  bool complete() const { return section_ == Section::kDone; }
  void finish();

 private:
  void keep_orphan_resolutions();
  bool frame_line(string_view line);
  bool message_line(string_view line);
  void encoding_line(string_view line);
  void decoding_line(string_view line);
  void gpu_line(string_view line);
  void camera_line(string_view line);
  void unrecognised(string_view line) { e_.unrecognised.emplace_back(line); }

  Endpoint& e_;
  Section section_ = Section::kHeader;
  bool encoder_open_ = false;  // Info lines after an encoder's line are its own
  std::optional<std::string> resolutions_;
  std::vector<std::string> camera_notes_;
};

bool is_feature_text(string_view text) {
  for (const char* feature : {texts::kNoLowLatency, texts::kNoMaxRefFrames,
                              texts::kNoTemporalScalability, texts::kLayersNotConfigurable})
    if (text == feature)
      return true;
  return false;
}

bool Parser::frame_line(string_view line) {
  const std::pair<const char*, Section> headings[] = {
      {texts::kEncodingHeading, Section::kEncoding},
      {texts::kDecodingHeading, Section::kDecoding},
      {texts::kGpuDetailsHeading, Section::kGpuDetails},
      {texts::kCameraHeading, Section::kCamera},
      {texts::kEndpointOs, Section::kOs}};
  for (const auto& [heading, section] : headings) {
    if (line == heading) {
      finish();
      section_ = section;
      e_.checks_ran = e_.checks_ran || section != Section::kOs;
      encoder_open_ = false;
      return true;
    }
  }
  if (section_ == Section::kHeader && starts_with(line, texts::kEncodingLabel)) {
    e_.encoding = std::string(line.substr(std::strlen(texts::kEncodingLabel)));
  } else if (section_ == Section::kHeader && starts_with(line, texts::kDecodingLabel)) {
    e_.decoding = std::string(line.substr(std::strlen(texts::kDecodingLabel)));
  } else if (section_ == Section::kHeader && line == texts::kVerdictFootnote) {
    e_.footnote = true;
  } else {
    return false;
  }
  return true;
}

bool Parser::message_line(string_view line) {
  static const std::string error =
      std::string(texts::kMessagePrefix) + texts::kLevelError + texts::kLevelSeparator;
  static const std::string info =
      std::string(texts::kMessagePrefix) + texts::kLevelInfo + texts::kLevelSeparator;
  // Kept without their indent; the text tells which indent it had.
  if (starts_with(line, error)) {
    e_.errors.emplace_back(line.substr(2));
    // Only the feature probe writes after an encoder's line; any other
    // Error belongs to the next encoder, whose line may never come.
    if (!starts_with(line.substr(error.size()), texts::kFeatureProbeStep))
      encoder_open_ = false;
    return true;
  }
  if (!starts_with(line, info))
    return false;
  const string_view text = line.substr(info.size());
  if (section_ == Section::kEncoding && encoder_open_) {
    Encoder& encoder = e_.encoders.back();
    if (!encoder.supported && encoder.reason.empty() && encoder.info.empty() &&
        !is_feature_text(text))
      encoder.reason = std::string(text);
    else
      encoder.info.emplace_back(text);
  } else if (section_ == Section::kCamera) {
    camera_notes_.emplace_back(line.substr(2));
  } else {
    e_.infos.emplace_back(line.substr(2));
  }
  return true;
}

void Parser::encoding_line(string_view line) {
  if (line == texts::kNoEncoders) {
    e_.no_encoders = true;
  } else if (starts_with(line, texts::kResolutions)) {
    keep_orphan_resolutions();
    resolutions_ = std::string(line.substr(std::strlen(texts::kResolutions)));
    encoder_open_ = false;
  } else if (auto name = item_name(line, texts::kEncoderSupported)) {
    e_.encoders.push_back({std::string(*name), true, {}, std::move(resolutions_), {}});
    resolutions_.reset();
    encoder_open_ = true;
  } else if (auto name = item_name(line, texts::kEncoderNotSupported)) {
    e_.encoders.push_back({std::string(*name), false, {}, std::move(resolutions_), {}});
    resolutions_.reset();
    encoder_open_ = true;
  } else {
    unrecognised(line);
  }
}

void Parser::decoding_line(string_view line) {
  if (starts_with(line, texts::kGpuNameErrorPrefix) &&
      ends_with(line, texts::kGpuNameErrorSuffix)) {
    e_.errors.emplace_back(line.substr(1));
    return;
  }
  for (const char* result :
       {texts::kDecodeSupported, texts::kDecodeNoHardware, texts::kDecodeNoSuitableH264}) {
    if (auto name = item_name(line, result)) {
      e_.decoders.push_back({std::string(*name), std::string(result + 3)});  // past " - "
      return;
    }
  }
  unrecognised(line);
}

void Parser::gpu_line(string_view line) {
  if (starts_with(line, texts::kAdapterName)) {
    e_.adapters.push_back({std::string(line.substr(std::strlen(texts::kAdapterName))), {}});
  } else if (starts_with(line, texts::kAdapterDriver) && !e_.adapters.empty()) {
    e_.adapters.back().driver = std::string(line.substr(std::strlen(texts::kAdapterDriver)));
  } else {
    unrecognised(line);
  }
}

// "UVC 1.x acceleration is [not ]supported": the flag, or nothing.
std::optional<bool> uvc_flag(string_view line, const char* prefix) {
  if (!starts_with(line, prefix))
    return std::nullopt;
  const string_view rest = line.substr(std::strlen(prefix));
  if (rest == texts::kUvcSupported)
    return true;
  if (rest == std::string(texts::kUvcNot) + texts::kUvcSupported)
    return false;
  return std::nullopt;
}

void Parser::camera_line(string_view line) {
  const bool has_camera = !e_.cameras.empty();
  if (line == texts::kNoCameras) {
    e_.no_cameras = true;
  } else if (line == texts::kUcConfigNotConfigurable ||
             line == texts::kCameraNoTemporalScalability) {
    camera_notes_.emplace_back(line);
  } else if (auto name = item_name(line, texts::kCameraHasH264)) {
    e_.cameras.push_back({std::string(*name), true, false, false, false, std::move(camera_notes_)});
    camera_notes_.clear();
  } else if (auto name = item_name(line, texts::kCameraNoH264)) {
    e_.cameras.push_back(
        {std::string(*name), false, false, false, false, std::move(camera_notes_)});
    camera_notes_.clear();
  } else if (auto flag = has_camera ? uvc_flag(line, texts::kUvc15Line) : std::nullopt) {
    e_.cameras.back().uvc15 = *flag;
  } else if (auto flag = has_camera ? uvc_flag(line, texts::kUvc11Line) : std::nullopt) {
    e_.cameras.back().uvc11 = *flag;
  } else if (line == texts::kC920Note && has_camera) {
    e_.cameras.back().c920_note = true;
  } else {
    unrecognised(line);
  }
}

// A resolutions line whose encoder line never came (its probe was cut
// short) stays with the endpoint.
void Parser::keep_orphan_resolutions() {
  if (resolutions_)
    e_.infos.push_back(std::string(texts::kResolutions + 2) + *resolutions_);
  resolutions_.reset();
}

// Lines that no item line followed stay with the endpoint.
void Parser::finish() {
  keep_orphan_resolutions();
  for (std::string& note : camera_notes_)
    e_.infos.push_back(std::move(note));
  camera_notes_.clear();
}

void Parser::line(string_view line) {
  if (section_ == Section::kDone)
    return;  // the pause prompt and whatever a console added
  if (section_ == Section::kOs) {
    if (starts_with(line, texts::kOsIndent)) {
      e_.os = std::string(line.substr(std::strlen(texts::kOsIndent)));
      section_ = Section::kDone;
    } else {
      unrecognised(line);
    }
    return;
  }
  if (line.empty() || frame_line(line) || message_line(line))
    return;
  switch (section_) {
    case Section::kEncoding:
      return encoding_line(line);
    case Section::kDecoding:
      return decoding_line(line);
    case Section::kGpuDetails:
      return gpu_line(line);
    case Section::kCamera:
      return camera_line(line);
    default:
      return unrecognised(line);
  }
}

// The next line without its end (LF or CRLF); advances pos past it.
string_view next_line(string_view text, std::size_t& pos) {
  const std::size_t end = text.find('\n', pos);
  string_view line = text.substr(pos, end == string_view::npos ? string_view::npos : end - pos);
  pos = end == string_view::npos ? text.size() : end + 1;
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  return line;
}

}  // namespace

ParseOutcome parse_report(string_view bytes) {
  if (bytes.size() > kMaxReportBytes)
    return {std::nullopt, kReasonTooLarge};
  if (starts_with(bytes, "\xEF\xBB\xBF"))
    bytes.remove_prefix(3);
  if (bytes.empty())
    return {std::nullopt, kReasonEmpty};
  if (bytes.find('\0') != string_view::npos)
    return {std::nullopt, kReasonBinary};
  std::size_t pos = 0;
  const string_view banner = next_line(bytes, pos);
  if (!starts_with(banner, texts::kBanner))
    return {std::nullopt, kReasonNoBanner};
  Endpoint endpoint;
  endpoint.checker_version = to_utf8(banner.substr(std::strlen(texts::kBanner)));
  Parser parser(endpoint);
  std::string utf8;
  while (pos < bytes.size() && !parser.complete()) {
    const string_view raw = next_line(bytes, pos);
    if (is_valid_utf8(raw)) {
      parser.line(raw);
    } else {
      utf8 = windows1252_to_utf8(raw);
      parser.line(utf8);
    }
  }
  if (!parser.complete())
    return {std::nullopt, kReasonTruncated};
  parser.finish();
  return {std::move(endpoint), {}};
}

}  // namespace cc::summary
