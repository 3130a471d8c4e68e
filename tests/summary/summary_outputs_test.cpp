// CapabilitySummary end to end on a folder: exit status, text summary,
// CSV, JSON and HTML, with a hostile name and a file that is no report.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef __linux__
#include <sys/fsuid.h>
#include <unistd.h>
#endif

#include "summary/batch_buffer.h"
#include "summary/csv_output.h"
#include "summary/endpoint_status.h"
#include "summary/html_output.h"
#include "summary/json_output.h"
#include "summary/ordered_work.h"
#include "summary/report_parser.h"
#include "summary/summary_run.h"
#include "summary/text_encoding.h"
#include "support/scripted_machine.h"

namespace cc::summary {
namespace {

namespace fs = std::filesystem;

TEST(CsvCellTest, QuotesAndNeutralisesFormulas) {
  const std::pair<std::string, std::string> cases[] = {
      {"Intel(R) HD Graphics 530", "Intel(R) HD Graphics 530"},
      {"a, b", "\"a, b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"+1", "'+1"},
      {"-2", "'-2"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tx", "'\tx"},
      {"\rx", "\"'\rx\""},
      {"a=b", "a=b"},
      {"", ""}};
  for (const auto& [text, cell] : cases)
    EXPECT_EQ(csv_cell(text), cell) << text;
}

// Cells in header order between commas; several items in one cell keep
// their places, so the n-th driver is the n-th adapter's even when one is blank.
TEST(CsvRowTest, CellsInHeaderOrder) {
  Endpoint e;
  e.endpoint = "PC-01";
  e.os = "Windows 10 Pro";
  e.encoding = "\t Software*";
  e.decoding = "\t Onboard hardware";
  e.adapters = {{"Microsoft Basic Display Adapter", ""}, {"Intel(R) HD Graphics 4600", "9.18"}};
  e.encoders = {
      {"Intel MFT", false, "Intel graphics card not supported by driver version", {}, {}}};
  e.cameras = {{"Cam, HD", true, false, true, false, {}}};
  e.errors = {"*** Error: x", "*** Error: y"};
  e.infos = {"Supports output resolutions: 320x180", "*** Info: a"};
  e.status = static_cast<int>(Status::kDriverUpdate);
  e.action = "update the driver of X from 9.18 to 9.19 or later";
  e.report_time = "2026-12-08T20:20:40Z";
  e.checker_version = "2.4.0.1233";
  std::ostringstream row;
  write_csv_row(row, e);
  EXPECT_EQ(row.str(),
            "PC-01,Windows 10 Pro,Software*,Onboard hardware,"
            "Microsoft Basic Display Adapter | Intel(R) HD Graphics 4600, | 9.18,"
            "Intel MFT (not supported: Intel graphics card not supported by driver version),"
            "\"Cam, HD (UVC 1.1)\",2,would encode after a driver update,"
            "update the driver of X from 9.18 to 9.19 or later,2026-12-08T20:20:40Z,"
            "Supports output resolutions: 320x180 | *** Info: a,2.4.0.1233\r\n");
}

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// Sets a file's modification time to whole seconds since 1970.
void set_time(const fs::path& path, std::int64_t seconds) {
  const auto now = std::chrono::system_clock::now();
  const auto target = std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
  fs::last_write_time(path,
                      fs::file_time_type::clock::now() +
                          std::chrono::duration_cast<fs::file_time_type::duration>(target - now));
}

std::string machine_report(testing::MachineShape shape, const char* gpu_name = nullptr) {
  testing::ScriptedMachine machine(shape);
  if (gpu_name)
    machine.adapters.devices[0].properties[kDeviceDescription] = testing::ansi(gpu_name);
  machine.run();
  return machine.driver.out;
}

class SummaryRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("summary_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int run(std::vector<std::string> paths) {
    SummaryOptions options{paths, (dir_ / "out.csv").string(), (dir_ / "out.json").string(),
                           (dir_ / "out.html").string(), ""};
    return run_summary(options, out_, err_);
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(SummaryRunTest, FolderWithReportsAndJunk) {
  const fs::path reports = dir_ / "reports";
  write(reports / "site1" / "PC-01.txt", machine_report({2, 2, 2}));
  write(reports / "site2" / "pc-01.TXT", machine_report({1, 1, 0}));
  write(reports / "PC-02.Txt", machine_report({1, 0, 0}));
  std::string newer = machine_report({1, 0, 0});
  write(reports / "PC-03.txt", newer.replace(newer.find("2.4.0.1233"), 10, "2.5.0.7"));
  set_time(reports / "site1" / "PC-01.txt", 1796750000);
  set_time(reports / "site2" / "pc-01.TXT", 1796761240);  // the newer run of PC-01 counts
  write(reports / "notes.txt", "minutes of the meeting\n");
  write(reports / "image.png", std::string("\x89PNG\0", 5));
  write(reports / "notes.txt.bak", "");  // no report by its name: not read
  write(reports / "x" / ".txt", "");
  // A folder named with a trailing separator names its endpoints the same.
  EXPECT_EQ(run({reports.string() + "/", (dir_ / "miss\xC3\xAFng").string()}), kSomeNotRead);

  const nlohmann::json json = nlohmann::json::parse(read(dir_ / "out.json"));
  EXPECT_EQ(json["schema"], 1);
  ASSERT_EQ(json["endpoints"].size(), 3u);
  EXPECT_EQ(json["endpoints"][0]["endpoint"], "pc-01");  // one endpoint, whatever the case
  EXPECT_EQ(json["endpoints"][0]["report_time"], "2026-12-08T20:20:40Z");
  EXPECT_EQ(json["endpoints"][0]["encoding"]["verdict"], "Onboard hardware");
  EXPECT_EQ(json["endpoints"][0]["status"], "encodes in hardware (GPU)");
  EXPECT_EQ(json["endpoints"][1]["endpoint"], "PC-02");
  EXPECT_EQ(json["endpoints"][1]["encoding"]["verdict"], "Software");
  EXPECT_EQ(json["endpoints"][1]["status"], "cannot encode in hardware");
  EXPECT_EQ(json["endpoints"][1]["action"], "no hardware H.264 encoder: no driver fixes it");
  EXPECT_EQ(json["endpoints"][2]["checker_version"], "2.5.0.7");  // read, not refused
  EXPECT_EQ(json["endpoints"][2]["status"], "cannot encode in hardware");
  EXPECT_EQ(json["checker_versions"], (nlohmann::json{{"2.4.0.1233", 2}, {"2.5.0.7", 1}}));
  EXPECT_EQ(json["older_reports"], 1);
  ASSERT_EQ(json["unreadable"].size(), 2u);
  EXPECT_EQ(json["unreadable"][0]["reason"], "not found");
  EXPECT_EQ(json["unreadable"][1]["reason"], "no banner");
  EXPECT_NE(read(dir_ / "out.json").find("miss\xC3\xAFng"), std::string::npos);  // not escaped

  const std::string csv = read(dir_ / "out.csv");
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")), std::string(kUtf8Bom) + kCsvHeader);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
  EXPECT_NE(csv.find(",2.5.0.7\r\n"), std::string::npos) << csv;

  const std::string text = out_.str();
  EXPECT_EQ(text.substr(0, text.find("Endpoints read")),
            "1 of 3 endpoints (33.3%) encode H.264 in hardware; 0 more would after a driver "
            "update; 2 cannot; 0 unknown\n\n"
            "What to do first (endpoints):\n"
            "         2  no hardware H.264 encoder: no driver fixes it\n\n");
  EXPECT_NE(
      text.find("Endpoints read: 3\nOlder reports of them: 1\nChecker versions (reports):\n"
                "         2  2.4.0.1233\n         1  2.5.0.7 (newer than this summary knows)\n"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("       1  Onboard hardware\n"), std::string::npos) << text;
  EXPECT_NE(text.find("       2  No hardware H.264 encoder\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Files not read: 2"), std::string::npos) << text;
  EXPECT_NE(text.find("Operating systems:\n         3  "), std::string::npos) << text;
  EXPECT_NE(text.find("\nReports from 2026-12-08T20:20:40Z to "), std::string::npos) << text;
  EXPECT_NE(err_.str().find("notes.txt: no banner\n"), std::string::npos) << err_.str();
  EXPECT_NE(read(dir_ / "out.html").find("no banner"), std::string::npos);  // listed there too
  EXPECT_NE(err_.str().find("note: 1 report of checker version 2.5.0.7, newer than 2.4.0.1233"),
            std::string::npos)
      << err_.str();
  const std::string html = read(dir_ / "out.html");
  EXPECT_NE(html.find("<table id=\"actions\"><tr><th>Action</th><th>Endpoints</th></tr>\n<tr><td>"
                      "no hardware H.264 encoder: no driver fixes it</td><td class=\"held-back\">"
                      "<details><summary>2 endpoints</summary><ul class=\"held\"><li>PC-02</li>"
                      "<li>PC-03</li></ul></details>"),
            std::string::npos);
  EXPECT_LT(html.find("id=\"actions\""), html.find("class=\"charts\""));
  EXPECT_NE(html.find("<table id=\"endpoints\"><tr><th>endpoint</th><th>os</th>"),
            std::string::npos);
  EXPECT_NE(html.find("<th>notes</th><th>checker_version</th></tr>"), std::string::npos);
}

std::string amd_report(const char16_t* driver) {
  testing::ScriptedMachine machine({0, 0, 0});
  machine.os.version_minor = 1;  // Windows 7
  testing::add_adapter(machine, {"AMD Radeon HD 7660D", "1002", "9901", driver});
  testing::add_encoder(machine, {"AMDh264Encoder", "AMD"});
  machine.run();
  return machine.driver.out;
}

// Reports carry no device ID: a model that the fleet shows refused by device
// ID is promised no driver update, whichever endpoint is read first.
TEST_F(SummaryRunTest, ModelTheFleetShowsRefusedByDeviceGetsNoUpdate) {
  write(dir_ / "r" / "A.txt", amd_report(u"13.301.1005.0"));
  write(dir_ / "r" / "B.txt", amd_report(u"22.19.162.4"));
  EXPECT_EQ(run({(dir_ / "r").string()}), kAllRead) << err_.str();
  const nlohmann::json json = nlohmann::json::parse(read(dir_ / "out.json"));
  ASSERT_EQ(json["endpoints"].size(), 2u);
  EXPECT_EQ(json["endpoints"][1]["endpoint"], "A");  // it waited for the fleet
  EXPECT_EQ(json["endpoints"][1]["status"], "cannot encode in hardware");
  EXPECT_EQ(json["endpoints"][1]["action"],
            "the device is not on the support list: 1 endpoint with AMD Radeon HD 7660D showed it "
            "refused by device ID (AMD graphics card on Windows 7 not supported by PID): no driver "
            "fixes it");
}

TEST_F(SummaryRunTest, HostileNamesStayText) {
  write(dir_ / "r" / "evil.txt", machine_report({1, 1, 0}, "<script>alert(1)</script>"));
  EXPECT_EQ(run({(dir_ / "r").string()}), kAllRead);
  EXPECT_EQ(err_.str(), "");
  const std::string html = read(dir_ / "out.html");
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(html.find("<rect x=\"470\" y=\"4\" width=\"260\" "), std::string::npos);  // one fills
  EXPECT_EQ(html.find("http://"),
            html.find("http://www.w3.org/2000/svg"));  // the SVG namespace only
}

// PATHs that repeat or overlap name each file once; the run's own outputs
// inside a folder it reads are not read back. Folders listed before a file
// leave its place as it is.
TEST_F(SummaryRunTest, EachFileCountsOnce) {
  const fs::path r = dir_ / "r";
  write(r / "a" / "PC-01.txt", machine_report({1, 1, 0}));
  write(r / "PC-02.txt", machine_report({1, 1, 0}));
  for (const char* folder : {"b", "c", "d", "e", "f", "g", "h"})
    fs::create_directories(r / folder);
  SummaryOptions options{{r.string(), (r / "a").string(), (r / "a" / "PC-01.txt").string(),
                          (r / "a" / ".." / "PC-02.txt").string(), r.string() + "/"},
                         (r / "fleet.txt").string(),
                         (r / "a" / "fleet.json.txt").string(),
                         "",
                         ""};
  EXPECT_EQ(run_summary(options, out_, err_), kAllRead) << err_.str();
  EXPECT_NE(out_.str().find("Endpoints read: 2\nOlder reports of them: 0\n"), std::string::npos)
      << out_.str();
  // Run again, it does not read its own earlier outputs either.
  std::ostringstream again;
  EXPECT_EQ(run_summary(options, again, err_), kAllRead) << err_.str();
  EXPECT_NE(again.str().find("Endpoints read: 2\n"), std::string::npos) << again.str();
  // A second run reads the first one's outputs as the files they are.
  options.csv = options.json = "";
  std::ostringstream out, err;
  EXPECT_EQ(run_summary(options, out, err), kSomeNotRead);
  EXPECT_NE(err.str().find("fleet.txt: no banner"), std::string::npos) << err.str();
}

// Files in folders past those held open for the run are read by their path.
TEST_F(SummaryRunTest, EveryFolderIsRead) {
  const std::string report = machine_report({1, 1, 0});
  for (int i = 0; i < 300; ++i)
    write(dir_ / "r" / ("site" + std::to_string(i)) / ("PC-" + std::to_string(i) + ".txt"), report);
  EXPECT_EQ(run({(dir_ / "r").string()}), kAllRead) << err_.str();
  EXPECT_NE(out_.str().find("Endpoints read: 300\n"), std::string::npos) << out_.str();
  // In the order of their names as text, whatever the folders' order.
  std::istringstream csv(read(dir_ / "out.csv"));
  std::vector<std::string> names;
  for (std::string row; std::getline(csv, row);)
    names.push_back(row.substr(0, row.find(',')));
  ASSERT_EQ(names.size(), 301u);
  EXPECT_TRUE(std::is_sorted(names.begin() + 1, names.end()));
}

// A folder that cannot be read is named with its reason and fails the run;
// the rest is read. Root reads every folder, so the test reads as nobody.
TEST_F(SummaryRunTest, UnreadableFoldersAreNamed) {
  const fs::path r = dir_ / "r";
  write(r / "site1" / "PC-01.txt", machine_report({1, 1, 0}));
  write(r / "site2" / "PC-02.txt", machine_report({1, 1, 0}));
  write(r / "site3" / "PC-03.txt", machine_report({1, 1, 0}));
  // As deep as folders go before they are taken for a loop: read; deeper: named.
  fs::path deep = r / "site4";
  for (int depth = 1; depth < 64; ++depth)
    deep /= "d";
  write(deep / "PC-64.txt", machine_report({1, 1, 0}));
  write(deep / "d" / "PC-65.txt", machine_report({1, 1, 0}));
  fs::permissions(r / "site2", fs::perms::owner_all);
  SummaryOptions options;
  options.paths = {r.string()};
#ifdef __linux__
  const bool root = geteuid() == 0;
  if (root)
    setfsuid(65534);  // file access as nobody: no override of permissions
#endif
  const int status = run_summary(options, out_, err_);
#ifdef __linux__
  if (root)
    setfsuid(0);
#endif
  fs::permissions(r / "site2", fs::perms::all);
  EXPECT_EQ(status, kSomeNotRead);
  EXPECT_NE(err_.str().find((r / "site2").string() + ": folder cannot be read: "),
            std::string::npos)
      << err_.str();
  EXPECT_NE(err_.str().find((deep / "d").string() + ": folders nested deeper than 64"),
            std::string::npos)
      << err_.str();
  EXPECT_NE(out_.str().find("Endpoints read: 3\n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("Files not read: 2"), std::string::npos) << out_.str();
}

// Links are followed once and files known by their real path; a loop, a
// dangling link and a FIFO are each named with their reason, never opened.
TEST_F(SummaryRunTest, LinksAndSpecialFilesAreNamed) {
  const fs::path r = dir_ / "r";
  write(r / "site1" / "PC-01.txt", machine_report({1, 1, 0}));
  write(dir_ / "elsewhere" / "PC-05.txt", machine_report({1, 1, 0}));
  fs::create_directory_symlink(r / "site1", r / "alias");         // read once
  fs::create_directory_symlink(dir_ / "elsewhere", r / "linked");  // followed
  fs::create_symlink(r / "site1" / "PC-01.txt", r / "same.txt");  // one real file
  fs::create_directory_symlink(r, r / "site1" / "loop");
  fs::create_symlink(r / "gone", r / "dangling.txt");
  ASSERT_EQ(mkfifo((r / "pipe.txt").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir_ / "outside").c_str(), 0600), 0);
  fs::create_symlink(dir_ / "outside", r / "to_pipe.txt");
  ASSERT_EQ(mkfifo((dir_ / "named.txt").c_str(), 0600), 0);
  // pipe.txt, named and found in r, is listed once.
  EXPECT_EQ(run({r.string(), (dir_ / "named.txt").string(), (r / "pipe.txt").string()}),
            kSomeNotRead);
  EXPECT_NE(out_.str().find("Endpoints read: 2\nOlder reports of them: 0\n"), std::string::npos)
      << out_.str();
  // same.txt counts under the name of the file it leads to.
  const std::string csv = read(dir_ / "out.csv");
  EXPECT_NE(csv.find("\nPC-01,"), std::string::npos) << csv;
  EXPECT_EQ(csv.find("\nsame,"), std::string::npos) << csv;
  // (the loop is met under site1 or alias, as the folder lists them)
  const std::string named[] = {"/loop: link loop: leads back to " + r.string() + "\n",
                               (r / "dangling.txt").string() + ": link leads nowhere\n",
                               (r / "pipe.txt").string() + ": not a regular file (FIFO)\n",
                               (r / "to_pipe.txt").string() + ": not a regular file (FIFO)\n",
                               (dir_ / "named.txt").string() + ": not a regular file (FIFO)\n"};
  const std::string err = err_.str();
  for (const std::string& line : named)
    EXPECT_NE(err.find(line), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 5) << err;
}

// File names that are not UTF-8 reach the outputs as UTF-8 (read as
// Windows-1252), so that CSV, JSON and page stay valid.
// One name in two encodings and two cases is one endpoint.
TEST_F(SummaryRunTest, NamesThatAreNotUtf8BecomeUtf8) {
  write(dir_ / "r" / "Caf\xE9-PC.txt", machine_report({1, 1, 0}));
  write(dir_ / "r" / "a" / "CAF\xC3\x89-pc.txt", machine_report({1, 1, 0}));
  write(dir_ / "x" / ".txt", machine_report({1, 1, 0}));  // named: all of it is the name
  EXPECT_EQ(run({(dir_ / "r").string(), (dir_ / "x" / ".txt").string()}), kAllRead);
  EXPECT_NE(read(dir_ / "out.json").find("\"endpoint\":\".txt\""), std::string::npos);
  EXPECT_NE(out_.str().find("Endpoints read: 2\nOlder reports of them: 1\n"), std::string::npos)
      << out_.str();
  for (const char* output : {"out.csv", "out.json", "out.html"}) {
    const std::string text = read(dir_ / output);
    EXPECT_NE(text.find("Caf\xC3\xA9-PC"), std::string::npos) << output;
    EXPECT_TRUE(is_valid_utf8(text)) << output;
  }
}

// Lines kept apart from any item still reach the CSV (column notes) and the
// JSON: here a resolutions line whose encoder's line a crash cut off.
TEST_F(SummaryRunTest, EveryParsedLineReachesTheOutputs) {
  std::string report = machine_report({1, 1, 0});
  const std::string encoder = "\tIntel(R) Quick Sync Video H.264 Encoder MFT - Supported\n";
  report.replace(report.find(encoder), encoder.size(),
                 "\t\t*** Error: check_encoder_io_media_types catch undefined exception! "
                 "LastError: 0\n");
  write(dir_ / "r" / "PC.txt", report);
  run({(dir_ / "r").string()});
  const std::string kept = "Supports output resolutions: 320x180";
  EXPECT_NE(read(dir_ / "out.csv").find(kept), std::string::npos);
  const nlohmann::json json = nlohmann::json::parse(read(dir_ / "out.json"));
  ASSERT_EQ(json["endpoints"][0]["infos"].size(), 1u);
  EXPECT_EQ(json["endpoints"][0]["infos"][0].get<std::string>().rfind(kept, 0), 0u);
  EXPECT_EQ(json["endpoints"][0]["status"], "encodes in hardware (GPU)");
}

// A short file is read whole; a long appended one (a daily task's
// ">>", here also PowerShell's UTF-16) gives its newest complete report,
// read from its end, and counts the runs before it by their banners.
TEST_F(SummaryRunTest, FilesOfAnyLengthGiveTheirNewestReport) {
  const std::string old_run = machine_report({1, 0, 0}) + "Press any key to continue . . . ";
  const std::string new_run = machine_report({1, 1, 0});
  std::string wide;  // the new run as Windows PowerShell 5.1's ">>" appends it
  for (char c : new_run)
    wide += std::string{c, '\0'};
  const std::size_t runs = kTailBytes * 5 / 2 / old_run.size() + 1;
  std::string appended;
  for (std::size_t i = 0; i < runs; ++i)
    appended += old_run;
  write(dir_ / "small.txt", new_run);
  write(dir_ / "long.txt", appended + new_run);
  write(dir_ / "wide.txt", appended + wide + "garbage cut short\n");
  write(dir_ / "junk.txt", std::string(kTailBytes + 100, 'x'));
  std::string buffer;
  ParseOutcome outcome = read_newest_report((dir_ / "small.txt").string(), buffer);
  ASSERT_TRUE(outcome.endpoint) << outcome.reason;
  EXPECT_EQ(outcome.endpoint->earlier_in_file, 0);
  for (const char* name : {"long.txt", "wide.txt"}) {
    outcome = read_newest_report((dir_ / name).string(), buffer);
    ASSERT_TRUE(outcome.endpoint) << name << ": " << outcome.reason;
    EXPECT_EQ(outcome.endpoint->earlier_in_file, static_cast<int>(runs)) << name;
    EXPECT_FALSE(outcome.endpoint->encoders.empty()) << name;  // the newer run
    EXPECT_LE(buffer.size(), kTailBytes + 128) << name;  // the end, not the whole
  }
  EXPECT_EQ(read_newest_report((dir_ / "junk.txt").string(), buffer).reason, kReasonNoBanner);
  EXPECT_EQ(read_newest_report((dir_ / "none.txt").string(), buffer).reason, kReasonCannotOpen);
}

// A second summary says what changed since the first: one endpoint moved,
// one is new, one vanished; names compare without case.
TEST_F(SummaryRunTest, CompareSaysWhatChanged) {
  const fs::path r = dir_ / "r";
  write(r / "PC-A.txt", machine_report({1, 0, 0}));  // no encoder
  write(r / "PC-B.txt", machine_report({1, 1, 0}));
  write(r / "PC-C.txt", machine_report({1, 1, 0}));
  write(r / "notes.txt", "no report\n");  // unreadable: in the JSON, but no endpoint
  ASSERT_EQ(run({r.string()}), kSomeNotRead);
  fs::rename(dir_ / "out.json", dir_ / "before.json");
  fs::remove(r / "PC-C.txt");
  fs::remove(r / "PC-A.txt");
  write(r / "pc-a.txt", machine_report({1, 1, 0}));
  write(r / "PC-D.txt", machine_report({1, 1, 0}));
  write(r / "PC-B.txt", "cut short\n");  // not read this time, not vanished
  SummaryOptions options{{r.string()},
                         (dir_ / "out.csv").string(),
                         (dir_ / "out.json").string(),
                         (dir_ / "out.html").string(),
                         (dir_ / "before.json").string()};
  std::ostringstream out, err;
  ASSERT_EQ(run_summary(options, out, err), kSomeNotRead) << err.str();
  const nlohmann::json compare = nlohmann::json::parse(read(dir_ / "out.json"))["compare"];
  EXPECT_EQ(compare["previous_endpoints"], 3);
  const nlohmann::json moved = {{{"endpoint", "pc-a"},
                                 {"from", "cannot encode in hardware"},
                                 {"to", "encodes in hardware (GPU)"}}};
  EXPECT_EQ(compare["moved"], moved);
  EXPECT_EQ(compare["new"], nlohmann::json::parse(R"(["PC-D"])"));
  EXPECT_EQ(compare["vanished"], nlohmann::json::parse(R"(["PC-C"])"));
  EXPECT_EQ(compare["not_read"], nlohmann::json::parse(R"(["PC-B"])"));
  const std::string text = out.str();
  const std::string written =
      nlohmann::json::parse(read(dir_ / "before.json"))["written"].get<std::string>();
  EXPECT_EQ(compare["previous_written"], written);
  EXPECT_NE(text.find("Since " + written + " (" + (dir_ / "before.json").string() +
                      ", 3 endpoints): 1 moved, 1 new, 1 vanished, 1 not read this time\n"
                      "         1  cannot encode in hardware -> encodes in hardware (GPU)\n"
                      "Moved endpoints: 1: pc-a (cannot encode in hardware -> encodes in "
                      "hardware (GPU))\nNew endpoints: 1: PC-D\nVanished endpoints: 1: PC-C\n"
                      "Not read this time: 1: PC-B\n"),
            std::string::npos)
      << text;
  const std::string html = read(dir_ / "out.html");
  EXPECT_NE(html.find("1 moved, 1 new, 1 vanished, 1 not read this time"), std::string::npos);
  EXPECT_NE(html.find("<li>PC-C</li>"), std::string::npos);
  EXPECT_NE(html.find("<li>pc-a</li>"), std::string::npos);  // the moved one, by name
  const std::string csv = read(dir_ / "out.csv");
  EXPECT_NE(csv.find(std::string(kCsvHeader) + ",previous_status\r\n"), std::string::npos);
  EXPECT_NE(csv.find(",cannot encode in hardware\r\n"), std::string::npos) << csv;
  // A previous JSON cut short, or anything else, is named with its reason;
  // the outputs are still written and the status says an input was not read.
  const std::string json = read(dir_ / "before.json");
  write(dir_ / "cut.json", json.substr(0, json.size() / 2));
  const struct {
    fs::path file;
    std::string reason;
  } wrong[] = {{dir_ / "cut.json", "parse error at line "},
               {r / "PC-D.txt", "parse error at line 1"},
               {dir_ / "missing.json", "cannot be opened"}};
  for (const auto& c : wrong) {
    options.compare = c.file.string();
    fs::remove(dir_ / "out.json");
    std::ostringstream out2, err2;
    EXPECT_EQ(run_summary(options, out2, err2), kSomeNotRead) << c.file;
    EXPECT_NE(err2.str().find(c.file.string() + ": previous summary not compared: "),
              std::string::npos)
        << err2.str();
    EXPECT_NE(err2.str().find(c.reason), std::string::npos) << err2.str();
    EXPECT_TRUE(fs::exists(dir_ / "out.json"));
  }
}

// Files prepared on several threads reach the outputs in their own order.
TEST(OrderedWorkTest, ResultsComeInOrder) {
  for (const unsigned threads : {0u, 1u, 3u}) {
    std::vector<std::size_t> seen;
    ordered_work<std::size_t, int>(
        kChunkItems * 9 + 5, threads,
        [](std::size_t i, std::size_t& out, int&) { out = i * i; },
        [&](std::size_t i, std::size_t& result) {
          EXPECT_EQ(result, i * i);
          seen.push_back(i);
        });
    ASSERT_EQ(seen.size(), kChunkItems * 9 + 5) << threads;
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << threads;
  }
}

// Control characters in a report's text keep every hex digit in the JSON.
TEST(JsonOutputTest, ControlCharactersAreEscaped) {
  Endpoint e;
  e.os = std::string("a\x01\x1F\x10\"\\\n\r\t\x7F", 10);
  EXPECT_NE(endpoint_json(e).find(R"("a\u0001\u001f\u0010\"\\\n\r\t)" "\x7F\""),
            std::string::npos)
      << endpoint_json(e);
  // Not UTF-8 after an ASCII start: the whole text once, read as Windows-1252.
  e.os = "abc\xE9" "def";
  EXPECT_NE(endpoint_json(e).find("\"os\":\"abc\xC3\xA9" "def\""), std::string::npos) << endpoint_json(e);
}

// Through an output's batches, each many objects long and ending mid-way
// through one, every endpoint still reaches the file.
TEST(JsonOutputTest, LargeFleetsKeepEveryEndpoint) {
  std::stringbuf file;
  BatchBuffer batches(&file, 64 * 1024);
  std::ostream out(&batches);
  JsonWriter writer(out, "2026-12-09T00:00:00Z");
  Endpoint e;
  e.os = std::string(2000, 'x');
  for (int i = 0; i < 700; ++i) {
    e.endpoint = "PC-" + std::to_string(i);
    writer.add(e);
  }
  writer.finish(FleetTotals());
  ASSERT_TRUE(out.flush());
  const nlohmann::json json = nlohmann::json::parse(file.str());
  ASSERT_EQ(json["endpoints"].size(), 700u);
  EXPECT_EQ(json["endpoints"][699]["endpoint"], "PC-699");
}

// Leap days by the 4, 100 and 400 year rules, on both sides of 1970 and of
// the first day that the date arithmetic counts from (0000-03-01).
TEST(SummaryTimeTest, Iso8601Utc) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "1970-01-01T00:00:00Z"},           {-1, "1969-12-31T23:59:59Z"},
      {951782400, "2000-02-29T00:00:00Z"},   {951868800, "2000-03-01T00:00:00Z"},
      {4107542399, "2100-02-28T23:59:59Z"},  {4107542400, "2100-03-01T00:00:00Z"},
      {1796761240, "2026-12-08T20:20:40Z"},  {1798761599, "2026-12-31T23:59:59Z"},
      {-2203891200, "1900-03-01T00:00:00Z"}, {13574608496, "2400-02-29T12:34:56Z"},
      {-74784816000, "-400-03-01T00:00:00Z"}};
  for (const auto& [seconds, text] : cases)
    EXPECT_EQ(iso8601_utc(seconds), text) << seconds;
}

// An output that cannot be created stops the run before reading; one that
// cannot be written to the end is named; neither leaves a part behind.
TEST_F(SummaryRunTest, OutputsThatFailAreReported) {
  write(dir_ / "r" / "a.txt", machine_report({1, 1, 1}));
  fs::create_directories(dir_ / "folder.csv");
  const std::string missing = (dir_ / "no" / "such" / "dir.csv").string();
  const struct {
    std::string csv, html;
    int status;
    std::string message;
  } cases[] = {
      {(dir_ / "opened.csv").string(), missing, kNotWritten,
       "Can't create " + missing + ": No such file or directory\n"},
      {(dir_ / "folder.csv").string(), "", kNotWritten, "Can't create "},
      {"/dev/full", (dir_ / "page.html").string(), kNotWritten,
       "Can't write /dev/full: No space left on device\n"},
      {(dir_ / "same").string(), (dir_ / "." / "same").string(), kUsageError,
       "The same file is named for two outputs: "}};
  for (const auto& c : cases) {
    if (c.csv == "/dev/full" && !fs::exists(c.csv))
      continue;  // no such device here
    SummaryOptions options;
    options.paths = {(dir_ / "r").string()};
    options.csv = c.csv;
    options.html = c.html;
    std::ostringstream out, err;
    EXPECT_EQ(run_summary(options, out, err), c.status) << c.csv;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
  // A file that stops growing part way (at the file size limit here):
  // its temporary name is removed too.
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  rlimit small = limit;
  small.rlim_cur = 512;
  const auto xfsz = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  SummaryOptions options;
  options.paths = {(dir_ / "r").string()};
  options.json = (dir_ / "cut.json").string();
  std::ostringstream out, err;
  const int status = run_summary(options, out, err);
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, xfsz);
  EXPECT_EQ(status, kNotWritten);
  EXPECT_NE(err.str().find("Can't write " + options.json + ": "), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists(options.json));
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

// An empty or mistyped folder: nothing to summarise, and every output says so.
TEST_F(SummaryRunTest, NoReportFoundIsNoSuccess) {
  fs::create_directories(dir_ / "empty");
  for (const fs::path& path : {dir_ / "empty", dir_ / "mistyped"}) {
    out_.str("");
    EXPECT_EQ(run({path.string()}), kNothingFound) << path;
    EXPECT_EQ(out_.str().rfind("No report found: nothing to summarise.\n", 0), 0u) << out_.str();
    const std::string html = read(dir_ / "out.html");
    EXPECT_NE(html.find("id=\"nothing-found\""), std::string::npos);
    EXPECT_EQ(html.find("Nothing: every endpoint"), std::string::npos);
  }
}

TEST(HtmlPageTest, LongLabelsAreCutBetweenCharacters) {
  const std::string a70(70, 'a');
  const std::pair<std::string, std::string> cases[] = {
      {a70 + "bc", a70 + "bc"},
      {a70 + "bcd", a70 + "b\xE2\x80\xA6"},
      {a70 + "\xC3\xA9" + "d", a70 + "\xE2\x80\xA6"},
  };
  for (const auto& [label, shown] : cases) {
    Endpoint e;
    e.encoding = "\t " + label;
    FleetTotals totals;
    totals.add(e);
    std::ostringstream html;
    HtmlPage().write(html, totals);
    const std::string page = html.str();
    const std::string first_bar = "<text x=\"0\" y=\"19\">";
    const std::size_t chart = page.find("id=\"chart-encoding\"");
    const std::size_t at = page.find(first_bar, chart) + first_bar.size();
    EXPECT_EQ(page.substr(at, page.find("</text>", at) - at), shown) << label;
  }
}

// Up to the limit the page lists every endpoint; past it, none, and says
// where they are.
TEST(HtmlPageTest, EndpointTableGivesWayToTheCsvPastItsLimit) {
  for (const int software : {kHtmlTableLimit - 1, kHtmlTableLimit}) {
    for (const std::string csv : {"", "fleet.csv"}) {
      HtmlPage page;
      page.set_csv(csv);
      FleetTotals totals;
      Endpoint e;
      e.encoding = e.decoding = "\t Software";
      e.errors = {"*** Error: x"};
      Endpoint gpu;  // one that needs nothing done
      gpu.endpoint = "PC-GPU";
      gpu.status = static_cast<int>(Status::kHardwareGpu);
      page.add(gpu);  // first: past the limit it still needs no row
      totals.add(gpu);
      for (int i = 0; i < software; ++i) {
        page.add(e);
        totals.add(e);
      }
      std::ostringstream html;
      page.write(html, totals);
      const std::string text = html.str();
      const bool all = software < kHtmlTableLimit;
      EXPECT_EQ(text.find("<td>PC-GPU</td>") != std::string::npos, all) << software;
      EXPECT_EQ(text.find("id=\"table-in-csv\"") != std::string::npos, !all) << software;
      EXPECT_EQ(text.find(csv.empty() ? "run again with --csv FILE" : "the CSV fleet.csv") !=
                    std::string::npos,
                !all)
          << software << csv;
      std::size_t rows = 0;
      for (std::size_t at = text.find("<tr><td>"); at != std::string::npos;
           at = text.find("<tr><td>", at + 1))
        ++rows;
      // Endpoint rows (past the limit, those that need action), rows of
      // endpoints with Error lines, each capped, the one blocker and the one
      // action (re-run).
      EXPECT_EQ(rows, 2u * software + (all ? 1 : 0) + 2) << software;
    }
  }
}

}  // namespace
}  // namespace cc::summary
