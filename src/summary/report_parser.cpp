#include "summary/report_parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

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

  // cut: the line ended in CR CR LF, a message's own line break written in
  // text mode, so that the next line carries on the message.
  void line(string_view raw, bool cut);
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
  void unrecognised(string_view line);
  void error_line(string_view line);
  void info_outside_encoder(string_view line);

  Endpoint& e_;
  Section section_ = Section::kHeader;
  bool encoder_open_ = false;  // Info lines after an encoder's line are its own
  std::optional<std::string> resolutions_;
  std::vector<std::string> camera_notes_;
  bool cut_ = false;      // the current line ended in a message's own line break
  bool joining_ = false;  // the line before was an Error line cut that way
  bool continues_ = false;
  std::string* decisive_ = nullptr;  // the first Error line of its part, when the last was one
};

// "prefix%ssuffix": the text in place of %s, when the line has that shape.
std::optional<string_view> filled(string_view text, string_view format) {
  const std::size_t at = format.find("%s");
  const string_view prefix = format.substr(0, at), suffix = format.substr(at + 2);
  if (text.size() < prefix.size() + suffix.size() || !starts_with(text, prefix) ||
      !ends_with(text, suffix))
    return std::nullopt;
  return text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
}

// "%s did not answer within %d seconds!" -> " did not answer within ".
std::string after_name(const char* format) {
  const std::string text = format;
  return text.substr(2, text.find('%', 2) - 2);
}

// An Error line of an encoder's feature probe, which runs after the encoder
// was judged: unless the probe stalled or was cut at the deadline (the
// encoders after it were never judged), the verdict stands.
bool is_feature_probe_error(string_view text) {
  static const std::string no_answer = after_name(texts::kNoAnswerFormat);
  static const std::string cut = after_name(texts::kCutAtDeadlineFormat);
  return starts_with(text, texts::kFeatureProbeStep) && text.find(no_answer) == string_view::npos &&
         text.find(cut) == string_view::npos;
}

bool is_feature_text(string_view text) {
  for (const char* feature : {texts::kNoLowLatency, texts::kNoMaxRefFrames,
                              texts::kNoTemporalScalability, texts::kLayersNotConfigurable})
    if (text == feature)
      return true;
  return false;
}

bool Parser::frame_line(string_view line) {
  // Headings and labels start at the margin; most lines are indented.
  if (line[0] == '\t' && section_ != Section::kHeader)
    return false;
  static const std::pair<string_view, Section> headings[] = {
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
    error_line(line);
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
    info_outside_encoder(line);
  }
  return true;
}

void Parser::error_line(string_view line) {
  static const std::size_t text_at = std::strlen(texts::kMessagePrefix) +
                                     std::strlen(texts::kLevelError) +
                                     std::strlen(texts::kLevelSeparator);
  const string_view text = line.substr(text_at);
  e_.errors.emplace_back(line.substr(2));
  // Only the feature probe writes after an encoder's line; any other
  // Error belongs to the next encoder, whose line may never come.
  if (!starts_with(text, texts::kFeatureProbeStep))
    encoder_open_ = false;
  std::string* first = section_ == Section::kHeader   ? &e_.header_error
                       : section_ == Section::kCamera ? &e_.camera_error
                       : section_ == Section::kEncoding && !is_feature_probe_error(text)
                           ? &e_.encoding_error
                           : nullptr;
  decisive_ = first && first->empty() ? first : nullptr;
  if (decisive_)
    *decisive_ = e_.errors.back();
  continues_ = cut_;
}

void Parser::info_outside_encoder(string_view line) {
  e_.infos.emplace_back(line.substr(2));
  static const std::size_t text_at = std::strlen(texts::kMessagePrefix) +
                                     std::strlen(texts::kLevelInfo) +
                                     std::strlen(texts::kLevelSeparator);
  if (section_ != Section::kEncoding)
    return;
  const auto build = filled(line.substr(text_at), texts::kEmulatedOnArm64Format);
  if (build && !build->empty() && build->size() <= 8)
    e_.emulated_build = std::string(*build);
}

// A line that carries on an Error line's message joins it; any other stays
// as written among the lines not understood.
void Parser::unrecognised(string_view line) {
  if (joining_ && !e_.errors.empty()) {
    e_.errors.back().append(" ").append(line);
    if (decisive_)
      *decisive_ = e_.errors.back();
    continues_ = cut_;
    return;
  }
  e_.unrecognised.emplace_back(line);
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

void Parser::line(string_view line, bool cut) {
  if (section_ == Section::kDone)
    return;  // the pause prompt and whatever a console added
  cut_ = cut;
  joining_ = continues_;
  continues_ = false;
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

// The next line without its end (LF, CRLF, or the CR CR LF of a line break
// inside a message written in text mode); advances pos past it.
string_view next_line(string_view text, std::size_t& pos, bool& cut) {
  const std::size_t end = text.find('\n', pos);
  string_view line = text.substr(pos, end == string_view::npos ? string_view::npos : end - pos);
  pos = end == string_view::npos ? text.size() : end + 1;
  int crs = 0;
  while (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
    ++crs;
  }
  cut = crs > 1;
  return line;
}

// Feeds the lines of the report that starts at `start` to the parser, up to
// its end; true when it came to its end ("Endpoint OS" and the name). The
// bytes hold one run: find_runs split the file at each banner.
bool parse_lines(string_view bytes, std::size_t start, Endpoint& endpoint) {
  std::size_t pos = start;
  bool cut = false;
  const string_view banner = next_line(bytes, pos, cut);
  endpoint.checker_version = to_utf8(banner.substr(std::strlen(texts::kBanner)));
  Parser parser(endpoint);
  std::string utf8;
  while (pos < bytes.size() && !parser.complete()) {
    const string_view raw = next_line(bytes, pos, cut);
    if (raw.find('\r') != string_view::npos || !is_valid_utf8(raw)) {
      utf8 = to_utf8(raw);
      std::replace(utf8.begin(), utf8.end(), '\r', ' ');  // a CR alone is no line end
      parser.line(utf8, cut);
    } else {
      parser.line(raw, cut);
    }
  }
  if (!parser.complete())
    return false;
  parser.finish();
  return true;
}

void append_utf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string utf16_to_utf8(string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size() / 2 + bytes.size() / 8);
  auto unit = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<std::uint32_t>(big_endian ? (a << 8) | b : (b << 8) | a);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::uint32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // half a pair
    }
    append_utf8(out, c);
  }
  return out;
}

namespace {

// The banner as Windows PowerShell 5.1's ">>" appends it: UTF-16 LE, no mark.
const std::string& utf16_banner() {
  static const std::string banner = [] {
    std::string wide;
    for (const char* c = texts::kBanner; *c; ++c)
      wide += std::string{*c, '\0'};
    return wide;
  }();
  return banner;
}

// After a banner's text: the version, then the line end. A banner that a
// run writes on the prompt line of the run before it (a pause that did not
// end its line) is known by this, whatever language the prompt was in.
bool version_line_follows(string_view bytes, std::size_t at, std::size_t step) {
  std::size_t digits = 0;
  for (; at < bytes.size(); at += step, ++digits) {
    const char c = bytes[at];
    if (step == 2 && (at + 1 >= bytes.size() || bytes[at + 1] != '\0'))
      return false;
    if (c == '\r' || c == '\n')
      return digits > 0;
    if (!(c >= '0' && c <= '9') && c != '.')
      return false;
  }
  return false;
}

bool line_starts_at(string_view bytes, std::size_t at, std::size_t step) {
  if (at < step)
    return true;
  return bytes[at - step] == '\n' && (step == 1 || bytes[at - 1] == '\0');
}

void add_runs(string_view bytes, const std::string& banner, bool utf16, std::vector<RunStart>& runs) {
  const std::size_t step = utf16 ? 2 : 1;
  for (std::size_t at = bytes.find(banner); at != string_view::npos;
       at = bytes.find(banner, at + 1)) {
    if (line_starts_at(bytes, at, step) ||
        version_line_follows(bytes, at + banner.size(), step))
      runs.push_back({at, utf16});
  }
}

}  // namespace

std::vector<RunStart> find_runs(string_view bytes) {
  std::vector<RunStart> runs;
  add_runs(bytes, texts::kBanner, false, runs);
  if (bytes.find('\0') != string_view::npos) {  // only then can a UTF-16 run be there
    add_runs(bytes, utf16_banner(), true, runs);
    std::sort(runs.begin(), runs.end(),
              [](const RunStart& a, const RunStart& b) { return a.at < b.at; });
  }
  return runs;
}

ParseOutcome parse_newest(string_view bytes, bool file_start, int earlier) {
  bool leading_utf16 = false;
  if (file_start) {
    // Windows PowerShell's ">" writes UTF-16 with a byte-order mark.
    if (starts_with(bytes, "\xFE\xFF")) {
      const std::string utf8 = utf16_to_utf8(bytes.substr(2), true);
      if (starts_with(utf8, "\xEF\xBB\xBF"))
        return {std::nullopt, kReasonNoBanner};  // no second mark
      return parse_newest(utf8, true, earlier);
    }
    if (starts_with(bytes, "\xFF\xFE")) {
      bytes.remove_prefix(2);
      leading_utf16 = true;
    } else if (starts_with(bytes, "\xEF\xBB\xBF")) {
      bytes.remove_prefix(3);
    }
    if (bytes.empty())
      return {std::nullopt, kReasonEmpty};
  }
  std::vector<RunStart> runs = find_runs(bytes);
  if (file_start && (runs.empty() || runs[0].at != 0)) {
    // A report begins on the file's first line; a banner cut within its
    // version still marks one (cut short).
    const bool cut_banner = leading_utf16 ? starts_with(bytes, utf16_banner())
                                          : starts_with(bytes, texts::kBanner);
    if (!cut_banner)
      return {std::nullopt, !leading_utf16 && bytes.find('\0') != string_view::npos
                                ? kReasonBinary
                                : kReasonNoBanner};
    runs.insert(runs.begin(), {0, leading_utf16});
  }
  // The newest complete run counts; one cut short (a run still writing, or
  // killed) gives way to the one before it. Earlier runs are not parsed.
  bool binary = false;
  for (std::size_t i = runs.size(); i-- > 0;) {
    const std::size_t end = i + 1 < runs.size() ? runs[i + 1].at : bytes.size();
    const string_view run = bytes.substr(runs[i].at, end - runs[i].at);
    std::string wide;
    if (runs[i].utf16)
      wide = utf16_to_utf8(run);
    else if (run.find('\0') != string_view::npos) {
      binary = true;  // NUL bytes in a UTF-8 run: not text
      continue;
    }
    Endpoint endpoint;
    if (parse_lines(runs[i].utf16 ? string_view(wide) : run, 0, endpoint)) {
      endpoint.earlier_in_file = earlier + static_cast<int>(i);
      return {std::move(endpoint), {}};
    }
  }
  return {std::nullopt, binary && runs.size() == 1 ? kReasonBinary : kReasonTruncated};
}

ParseOutcome parse_report(string_view bytes) {
  return parse_newest(bytes, true, 0);
}

std::size_t count_runs(string_view bytes, std::size_t from, std::size_t to) {
  std::size_t count = 0;
  for (const RunStart& run : find_runs(bytes))
    count += run.at >= from && run.at < to ? 1 : 0;
  return count;
}

}  // namespace cc::summary
