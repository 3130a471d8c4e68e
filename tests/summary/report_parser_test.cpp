// Reading reports back: every kind of line the checker writes, the forms a
// report takes on its way to the collection folder, and what is not one.
#include "summary/report_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "summary/json_output.h"

namespace cc::summary {
namespace {

// One endpoint with a line of every kind, in the order the checker writes
// them, including a crash guard line and a watchdog line.
const char kFullReport[] =
    "Capability Checker v2.4.0.1233\n"
    "\n"
    "H.264 Encoding: \t Software*\n"
    "\t *Onboard encoding is supported by the GPU but a supported GPU driver version is not "
    "installed\n"
    "H.264 Decoding: \t Software\n"
    "\n"
    "On-board GPU H.264 Encoding Capabilities:\n"
    "\n"
    "\t\tSupports output resolutions: 320x180, 640x360\n"
    "\tIntel(R) Quick Sync Video H.264 Encoder MFT - Not supported\n"
    "\t\t*** Info: Intel graphics card not supported by driver version\n"
    "\t\t*** Info: Temporal scalability is not supported\n"
    "\t\t*** Error: check_codec_capabilities catch undefined exception! LastError: 5\n"
    "\t\t*** Error: Failed to check encoder input media type (error = Unknown error 0x80070005)!\n"
    "\t - Not supported\n"
    "\t\t*** Info: Low latency mode is not supported (supported only from Windows 8 with a "
    "proper driver version)\n"
    "\t\t*** Error: check_hardware_encoder_capability did not answer within 30 seconds!\n"
    "\n"
    "On-board GPU H.264 Decoding Capabilities:\n"
    "\n"
    "\t<Error: Couldn't define GPU name. Error: -2147024891>\n"
    "\t<Unknown GPU name> - No video decoding hardware\n"
    "\n"
    "GPU details:\n"
    "\n"
    "\tName=Intel(R) HD Graphics 4600\n"
    "\tDriver=9.18.10.3222\n"
    "\n"
    "Camera Built-in H.264 Encoding Details:\n"
    "\n"
    "\t\t*** Info: Constant Bitrate Mode is not supported\n"
    "UCConfig mode is not configurable\n"
    "\tLogitech HD Pro Webcam C920 - Has built-in H.264 encoding\n"
    "\t\tUVC 1.5 acceleration is not supported\n"
    "\t\tUVC 1.1 acceleration is supported\n"
    "\t\tThe Logitech C920 camera can be enabled for UVC 1.1 with the correct drivers installed "
    "and a registry key change. See release notes for details.\n"
    "\n"
    "Endpoint OS\n"
    "\t Windows 7 Professional\n";

TEST(ReportParserTest, KnowsEveryLine) {
  const ParseOutcome parsed = parse_report(kFullReport);
  ASSERT_TRUE(parsed.endpoint) << parsed.reason;
  const Endpoint& e = *parsed.endpoint;
  EXPECT_EQ(e.unrecognised, std::vector<std::string>{});
  EXPECT_EQ(e.checker_version, "2.4.0.1233");
  EXPECT_EQ(e.encoding, "\t Software*");
  EXPECT_TRUE(e.footnote);
  EXPECT_EQ(e.decoding, "\t Software");
  EXPECT_EQ(e.os, "Windows 7 Professional");
  ASSERT_EQ(e.encoders.size(), 2u);
  EXPECT_EQ(e.encoders[0].resolutions, "320x180, 640x360");
  EXPECT_EQ(e.encoders[0].reason, "Intel graphics card not supported by driver version");
  EXPECT_EQ(e.encoders[0].info, std::vector<std::string>{"Temporal scalability is not supported"});
  // The second encoder's probe failed: no resolutions, no reason, its
  // feature line is its own and not the first encoder's.
  EXPECT_EQ(e.encoders[1].name, "");
  EXPECT_EQ(e.encoders[1].resolutions, std::nullopt);
  EXPECT_EQ(e.encoders[1].reason, "");
  EXPECT_EQ(e.encoders[1].info.size(), 1u);
  ASSERT_EQ(e.decoders.size(), 1u);
  EXPECT_EQ(e.decoders[0].adapter, "<Unknown GPU name>");
  EXPECT_EQ(e.decoders[0].result, "No video decoding hardware");
  ASSERT_EQ(e.adapters.size(), 1u);
  EXPECT_EQ(e.adapters[0].driver, "9.18.10.3222");
  ASSERT_EQ(e.cameras.size(), 1u);
  const Camera& c920 = e.cameras[0];
  EXPECT_TRUE(c920.h264 && !c920.uvc15 && c920.uvc11 && c920.c920_note);
  EXPECT_EQ(c920.notes,
            (std::vector<std::string>{"*** Info: Constant Bitrate Mode is not supported",
                                      "UCConfig mode is not configurable"}));
  EXPECT_EQ(e.errors, (std::vector<std::string>{
                          "*** Error: check_codec_capabilities catch undefined exception! "
                          "LastError: 5",
                          "*** Error: Failed to check encoder input media type (error = Unknown "
                          "error 0x80070005)!",
                          "*** Error: check_hardware_encoder_capability did not answer within 30 "
                          "seconds!",
                          "<Error: Couldn't define GPU name. Error: -2147024891>"}));
  // A decoding line that only ends as the GPU-name error does is no error;
  // a line that a later checker may add before the OS is kept as unknown.
  std::string odd = kFullReport;
  odd.insert(odd.find("\t<Unknown GPU name>"), "\tOdd <GPU>\n");
  odd.insert(odd.find("\t Windows 7"), "(build 7601)\n");
  const ParseOutcome stray = parse_report(odd);
  ASSERT_TRUE(stray.endpoint) << stray.reason;
  EXPECT_EQ(stray.endpoint->errors, e.errors);
  EXPECT_EQ(stray.endpoint->unrecognised.back(), "(build 7601)");
}

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text)
    out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// UTF-8 (up to U+FFFF) as UTF-16 with its byte-order mark.
std::string utf16(const std::string& utf8, bool big_endian = false) {
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const int more = c < 0x80 ? 0 : c < 0xE0 ? 1 : 2;
    unsigned unit = more == 0 ? c : more == 1 ? c & 0x1F : c & 0x0F;
    for (int k = 1; k <= more; ++k)
      unit = (unit << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += more + 1;
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

// A report copied from a console, saved by an editor, written by Windows
// PowerShell's ">" (UTF-16), or sent through a Windows share reads the same
// as the checker's own file.
TEST(ReportParserTest, ConsoleAndEditorFormsReadTheSame) {
  const std::string plain = endpoint_json(*parse_report(kFullReport).endpoint);
  const std::string forms[] = {
      crlf(kFullReport),
      "\xEF\xBB\xBF" + crlf(kFullReport),
      std::string(kFullReport) + "Press any key to continue . . . ",
      crlf(kFullReport) + "Press any key to continue . . . \r\n\r\n",
      utf16(crlf(kFullReport)),
      utf16(crlf(kFullReport) + "Press any key to continue . . . \r\n"),
      utf16(kFullReport, true),
  };
  for (const std::string& form : forms) {
    const ParseOutcome parsed = parse_report(form);
    ASSERT_TRUE(parsed.endpoint) << parsed.reason;
    EXPECT_EQ(endpoint_json(*parsed.endpoint), plain);
    EXPECT_TRUE(parsed.endpoint->unrecognised.empty());
  }
}

// Names come in the endpoint's ANSI code page, the OS name in UTF-8; a line
// that is not UTF-8 is read as Windows-1252, line by line.
TEST(ReportParserTest, AnsiNamesBecomeUtf8) {
  std::string report = kFullReport;
  report.replace(report.find("Intel(R) HD Graphics 4600"), 25, "Caf\xE9 \x80\x99 GPU");
  report.replace(report.find("Windows 7 Professional"), 22,
                 "Windows 10 Pro f\xC3\xBCr Workstations");
  const ParseOutcome parsed = parse_report(report);
  ASSERT_TRUE(parsed.endpoint);
  EXPECT_EQ(parsed.endpoint->adapters[0].name, "Caf\xC3\xA9 \xE2\x82\xAC\xE2\x84\xA2 GPU");
  EXPECT_EQ(parsed.endpoint->os, "Windows 10 Pro f\xC3\xBCr Workstations");
  // Through PowerShell the names arrive as Unicode already.
  report.replace(report.find("Caf\xE9 \x80\x99 GPU"), 11, "Caf\xC3\xA9 \xE2\x82\xAC GPU");
  const ParseOutcome wide = parse_report(utf16(report));
  ASSERT_TRUE(wide.endpoint) << wide.reason;
  EXPECT_EQ(wide.endpoint->adapters[0].name, "Caf\xC3\xA9 \xE2\x82\xAC GPU");
  EXPECT_EQ(wide.endpoint->os, "Windows 10 Pro f\xC3\xBCr Workstations");
  // Each bound of a surrogate pair: a pair, then half of one; the first and
  // last pair; a low surrogate with no high one before it.
  const std::pair<std::string, std::string> units[] = {
      {std::string("\x3D\xD8\x00\xDE\x00\xD8x\x00", 8), "\xF0\x9F\x98\x80\xEF\xBF\xBDx"},
      {std::string("\x00\xD8\x00\xDC", 4), "\xF0\x90\x80\x80"},
      {std::string("\xFF\xDB\xFF\xDF", 4), "\xF4\x8F\xBF\xBF"},
      {std::string("\x00\xDC\x00\xDC", 4), "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::string("\xFF\xD7\x00\xE0", 4), "\xED\x9F\xBF\xEE\x80\x80"},
      {std::string("\xFF\xDF\x00\xD8\x00\xE0", 6), "\xEF\xBF\xBD\xEF\xBF\xBD\xEE\x80\x80"},
  };
  for (const auto& [wide, utf8] : units)
    EXPECT_EQ(utf16_to_utf8(wide), utf8) << ::testing::PrintToString(wide);
  EXPECT_EQ(utf16_to_utf8(std::string("A\0B", 3)), "A");  // an odd last byte is dropped
}

// A file written with ">>" by several runs: the last complete report counts,
// and the runs before it are counted.
TEST(ReportParserTest, AppendedRunsTheLastCompleteOneCounts) {
  const std::string first = kFullReport;
  std::string second = kFullReport;
  second.replace(second.find("Windows 7 Professional"), 22, "Windows 10 Pro");
  second.replace(second.find("1233"), 4, "1239");  // every digit of a version line
  const std::string any_version = "Capability Checker v2.5 beta" + second.substr(second.find('\n'));
  std::string quoting = second;  // a line that names the checker is no run of it
  quoting.insert(quoting.find("\t\t*** Info: Temporal"), "\t\t*** Info: see Capability Checker v2 notes\n");
  const std::string prompt = "Press any key to continue . . . \n";
  // A pause that did not end its line: the next run's banner follows it.
  const std::string open_prompt = "Press any key to continue . . . ";
  const std::string german = "Dr\xC3\xBC" "cken Sie eine beliebige Taste . . . ";
  const std::string wide_second = utf16(crlf(second)).substr(2);  // PowerShell 5.1's ">>"
  const struct {
    const char* name;
    std::string bytes;
    const char* os;
    int earlier;
  } cases[] = {
      {"two runs", first + second, "Windows 10 Pro", 1},
      {"two runs with prompts", first + prompt + second + prompt, "Windows 10 Pro", 1},
      {"an empty line between runs", first + "\n" + second, "Windows 10 Pro", 1},
      {"an empty line after the prompt", first + prompt + "\n" + second, "Windows 10 Pro", 1},
      {"three runs, CRLF", crlf(first + prompt + first + prompt + second), "Windows 10 Pro", 2},
      {"last one cut short", first + second.substr(0, second.find("GPU details")),
       "Windows 7 Professional", 0},
      {"banner on the prompt's line", crlf(first) + open_prompt + crlf(second), "Windows 10 Pro",
       1},
      {"localized prompt", first + german + "\n" + first + german + second, "Windows 10 Pro", 2},
      {"UTF-16 run after UTF-8", crlf(first) + prompt + wide_second, "Windows 10 Pro", 1},
      {"UTF-16 run at an odd offset", crlf(first) + open_prompt + " " + wide_second,
       "Windows 10 Pro", 1},
      {"UTF-8 run after UTF-16", utf16(first) + second, "Windows 10 Pro", 1},
      {"UTF-16 run cut short", first + wide_second.substr(0, 200), "Windows 7 Professional", 0},
      {"a banner at a line start, any version", first + any_version, "Windows 10 Pro", 1},
      {"a banner inside a line, no version after it", first + quoting, "Windows 10 Pro", 1},
      {"the same in UTF-16", utf16(crlf(first)) + utf16(crlf(any_version)).substr(2),
       "Windows 10 Pro", 1},
      {"followed by 1 MiB of blanks", first + std::string(kTailBytes, ' '),
       "Windows 7 Professional", 0},
  };
  for (const auto& c : cases) {
    const ParseOutcome parsed = parse_report(c.bytes);
    ASSERT_TRUE(parsed.endpoint) << c.name << ": " << parsed.reason;
    EXPECT_EQ(parsed.endpoint->os, c.os) << c.name;
    EXPECT_EQ(parsed.endpoint->earlier_in_file, c.earlier) << c.name;
    EXPECT_EQ(parsed.endpoint->unrecognised, std::vector<std::string>{}) << c.name;
  }
}

// A system message with a line break of its own, written in text mode,
// ends its first part in CR CR LF: the next line carries on the Error line.
// A CR alone inside a line is no line end either.
TEST(ReportParserTest, LineBreaksInsideAnErrorMessageStayInIt) {
  const std::string report = std::string("Capability Checker v1\r\n\r\n") +
                             "H.264 Encoding: \t Software\r\nH.264 Decoding: \t Software\r\n" +
                             "On-board GPU H.264 Encoding Capabilities:\r\n\r\n" +
                             "\t\t*** Error: Failed to enumerate hardware encoders, error = The "
                             "service\r\r\nis not started.\r\r\n\r\n" +
                             "\t\t*** Error: step catch com error: a\rb. Description: . "
                             "LastError: 0\r\n" +
                             "\t\tA later checker's line\r\n" +  // after a plain line end
                             "Endpoint OS\r\n\t Windows 10\r\n";
  const ParseOutcome parsed = parse_report(report);
  ASSERT_TRUE(parsed.endpoint) << parsed.reason;
  const Endpoint& e = *parsed.endpoint;
  EXPECT_EQ(e.errors, (std::vector<std::string>{
                          "*** Error: Failed to enumerate hardware encoders, error = The service "
                          "is not started.",
                          "*** Error: step catch com error: a b. Description: . LastError: 0"}));
  EXPECT_EQ(e.encoding_error, e.errors[0]);
  EXPECT_EQ(e.unrecognised, std::vector<std::string>{"\t\tA later checker's line"});
}

// A camera's flags are its own lines' only: none is set before they come.
TEST(ReportParserTest, CameraFlagsComeFromTheirLines) {
  const std::string heading = "Camera Built-in H.264 Encoding Details:\n";
  for (const char* line : {"\tCam - Has built-in H.264 encoding\n",
                           "\tCam - Does not have built-in H.264 encoding\n"}) {
    const ParseOutcome parsed = parse_report("Capability Checker v1\n" + heading + line +
                                             "\t\tA later checker's line\n" +
                                             "Endpoint OS\n\t Windows 10\n");
    ASSERT_TRUE(parsed.endpoint && parsed.endpoint->cameras.size() == 1) << line;
    const Camera& camera = parsed.endpoint->cameras[0];
    EXPECT_EQ(camera.h264, std::string(line).find("Has") != std::string::npos) << line;
    EXPECT_FALSE(camera.uvc15 || camera.uvc11 || camera.c920_note) << line;
    EXPECT_EQ(parsed.endpoint->unrecognised.size(), 1u) << line;
  }
}

struct OwnerCase {
  const char* name;
  std::string encoding_lines;
  std::vector<std::string> encoder_info;
  std::vector<std::string> endpoint_infos;
};

// An Info line belongs to the encoder whose line it follows, until the next
// encoder's resolutions or a heading.
TEST(ReportParserTest, InfoLinesBelongToTheEncoderBeforeThem) {
  const std::string heading = "On-board GPU H.264 Encoding Capabilities:\n";
  const std::string supported = "\tAMD H.264 Encoder MFT - Supported\n";
  const std::string info = "\t\t*** Info: Low latency mode is not supported\n";
  const OwnerCase cases[] = {
      {"after its line", supported + info, {"Low latency mode is not supported"}, {}},
      {"after the next one's resolutions",
       supported + "\t\tSupports output resolutions: 320x180\n" + info,
       {},
       {"*** Info: Low latency mode is not supported", "Supports output resolutions: 320x180"}},
      {"after a heading",
       supported + heading + info,
       {},
       {"*** Info: Low latency mode is not supported"}},
      {"after resolutions that a heading left without their encoder",
       supported + "\t\tSupports output resolutions: 320x180\n" +
           "On-board GPU H.264 Decoding Capabilities:\n" + info,
       {},
       {"Supports output resolutions: 320x180", "*** Info: Low latency mode is not supported"}},
  };
  for (const OwnerCase& c : cases) {
    const ParseOutcome parsed = parse_report("Capability Checker v1\n" + heading +
                                             c.encoding_lines + "Endpoint OS\n\t Windows 10\n");
    ASSERT_TRUE(parsed.endpoint) << c.name;
    const Endpoint& e = *parsed.endpoint;
    ASSERT_EQ(e.encoders.size(), 1u) << c.name;
    EXPECT_EQ(e.encoders[0].info, c.encoder_info) << c.name;
    EXPECT_EQ(e.infos, c.endpoint_infos) << c.name;
    EXPECT_EQ(e.unrecognised, std::vector<std::string>{}) << c.name;
  }
}

struct Rejection {
  const char* name;
  std::string bytes;
  const char* reason;
};

TEST(ReportParserTest, NonReportsAreRejectedWithTheirReason) {
  const std::string full = kFullReport;
  const Rejection cases[] = {
      {"empty", "", kReasonEmpty},
      {"only a byte-order mark", "\xEF\xBB\xBF", kReasonEmpty},
      {"binary", std::string("Capability Checker v2\n\0\x01", 25), kReasonBinary},
      {"UTF-16 without its mark", std::string("C\0a\0", 4), kReasonBinary},
      {"UTF-16, no banner",
       std::string("\xFF\xFE"
                   "C\0a\0",
                   6),
       kReasonNoBanner},
      {"UTF-16 cut short", utf16(full.substr(0, full.find("Endpoint OS"))), kReasonTruncated},
      {"other text", "Hello\nEndpoint OS\n\t Windows\n", kReasonNoBanner},
      {"banner not first", "\n" + full, kReasonNoBanner},
      {"banner not first, UTF-16 big-endian", utf16("\n" + full, true), kReasonNoBanner},
      {"cut before Endpoint OS", full.substr(0, full.find("Endpoint OS")), kReasonTruncated},
      {"cut after Endpoint OS", full.substr(0, full.find("\t Windows 7")), kReasonTruncated},
  };
  for (const Rejection& c : cases) {
    const ParseOutcome parsed = parse_report(c.bytes);
    EXPECT_FALSE(parsed.endpoint) << c.name;
    EXPECT_EQ(parsed.reason, c.reason) << c.name;
  }
}

// Every cut of a report, at every byte, is either a report or truncated.
TEST(ReportParserTest, EveryPrefixIsReadOrCalledTruncated) {
  const std::string full = kFullReport;
  const std::size_t os_line = full.find("\t Windows 7");
  const std::size_t banner = std::string("Capability Checker v").size();
  for (std::size_t size = 1; size <= full.size(); ++size) {
    const ParseOutcome parsed = parse_report(full.substr(0, size));
    if (size < banner)
      EXPECT_EQ(parsed.reason, kReasonNoBanner) << size;
    else if (size < os_line + 2)  // the OS line's indent is there from os_line + 2 on
      EXPECT_EQ(parsed.reason, kReasonTruncated) << size;
    else
      EXPECT_TRUE(parsed.endpoint) << size;
  }
}

}  // namespace
}  // namespace cc::summary
