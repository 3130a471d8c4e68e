// CapabilitySummary end to end on a folder: exit status, text summary,
// CSV, JSON and HTML, with a hostile name and a file that is no report.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "summary/csv_output.h"
#include "summary/html_output.h"
#include "summary/summary_run.h"
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
  std::ostringstream row;
  write_csv_row(row, e);
  EXPECT_EQ(row.str(),
            "PC-01,Windows 10 Pro,Software*,Onboard hardware,"
            "Microsoft Basic Display Adapter | Intel(R) HD Graphics 4600, | 9.18,"
            "Intel MFT (not supported: Intel graphics card not supported by driver version),"
            "\"Cam, HD (UVC 1.1)\",2\r\n");
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
                           (dir_ / "out.html").string()};
    return run_summary(options, out_, err_);
  }

  fs::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(SummaryRunTest, FolderWithReportsAndJunk) {
  const fs::path reports = dir_ / "reports";
  write(reports / "site1" / "PC-01.txt", machine_report({2, 2, 2}));
  write(reports / "site2" / "PC-01.TXT", machine_report({1, 1, 0}));
  write(reports / "PC-02.txt", machine_report({1, 0, 0}));
  write(reports / "notes.txt", "minutes of the meeting\n");
  write(reports / "image.png", std::string("\x89PNG\0", 5));
  // A folder named with a trailing separator names its endpoints the same.
  EXPECT_EQ(run({reports.string() + "/", (dir_ / "missing").string()}), kSomeNotRead);

  const nlohmann::json json = nlohmann::json::parse(read(dir_ / "out.json"));
  EXPECT_EQ(json["schema"], 1);
  ASSERT_EQ(json["endpoints"].size(), 3u);
  EXPECT_EQ(json["endpoints"][0]["endpoint"], "PC-02");
  EXPECT_EQ(json["endpoints"][1]["endpoint"], "site1/PC-01.txt");  // names clash
  EXPECT_EQ(json["endpoints"][2]["encoding"]["verdict"], "Onboard hardware");
  EXPECT_EQ(json["endpoints"][0]["encoding"]["verdict"], "Software");
  EXPECT_EQ(json["endpoints"][1]["encoders"][1]["reason"],
            "NVIDIA graphics card not supported by VID");
  ASSERT_EQ(json["unreadable"].size(), 2u);
  EXPECT_EQ(json["unreadable"][0]["reason"], "not found");
  EXPECT_EQ(json["unreadable"][1]["reason"], "no banner");

  const std::string csv = read(dir_ / "out.csv");
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")), kCsvHeader);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);

  const std::string text = out_.str();
  EXPECT_NE(text.find("Endpoints read: 3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("       1  Camera ( UVC 1.5 )\n"), std::string::npos) << text;
  EXPECT_NE(text.find("       1  No hardware H.264 encoder\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Files not read: 2"), std::string::npos) << text;
  EXPECT_NE(err_.str().find("notes.txt: no banner\n"), std::string::npos) << err_.str();
}

TEST_F(SummaryRunTest, HostileNamesStayText) {
  write(dir_ / "r" / "evil.txt", machine_report({1, 1, 0}, "<script>alert(1)</script>"));
  EXPECT_EQ(run({(dir_ / "r").string()}), kAllRead);
  EXPECT_EQ(err_.str(), "");
  const std::string html = read(dir_ / "out.html");
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(html.find("http://"),
            html.find("http://www.w3.org/2000/svg"));  // the SVG namespace only
}

// Where clashing names make endpoints paths, the paths start below the
// folder, however it was named.
TEST_F(SummaryRunTest, ClashingNamesArePathsBelowTheFolder) {
  write(dir_ / "r" / "a" / "PC.txt", "");
  write(dir_ / "r" / "b" / "PC.txt", "");
  for (const std::string& folder : {(dir_ / "r").string(), (dir_ / "r").string() + "/"}) {
    std::vector<std::string> names;
    for (const ReportFile& file : find_report_files({folder}).files)
      names.push_back(endpoint_name(file));
    EXPECT_EQ(names, (std::vector<std::string>{"a/PC.txt", "b/PC.txt"})) << folder;
  }
}

// An output that cannot be created stops the run before reading; one that
// cannot be written to the end does not pass for a complete run.
TEST_F(SummaryRunTest, OutputsThatFailAreReported) {
  write(dir_ / "r" / "a.txt", machine_report({1, 1, 1}));
  const struct {
    std::string csv;
    int status;
    const char* message;
  } cases[] = {{(dir_ / "no" / "such" / "dir.csv").string(), kUsageError, "Can't create "},
               {"/dev/full", kSomeNotRead, "An output file could not be written completely\n"}};
  for (const auto& c : cases) {
    if (c.csv == "/dev/full" && !fs::exists(c.csv))
      continue;  // no such device here
    SummaryOptions options;
    options.paths = {(dir_ / "r").string()};
    options.csv = c.csv;
    std::ostringstream out, err;
    EXPECT_EQ(run_summary(options, out, err), c.status) << c.csv;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
}

// Chart labels past 72 bytes are cut before the character the limit falls in.
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
    const std::size_t at = page.find(first_bar) + first_bar.size();
    EXPECT_EQ(page.substr(at, page.find("</text>", at) - at), shown) << label;
  }
}

// Up to the limit the page lists every endpoint; past it, none, and says
// where they are.
TEST(HtmlPageTest, EndpointTableGivesWayToTheCsvPastItsLimit) {
  for (const int endpoints : {kHtmlTableLimit, kHtmlTableLimit + 1}) {
    HtmlPage page;
    FleetTotals totals;
    Endpoint e;
    e.encoding = e.decoding = "\t Software";
    e.errors = {"*** Error: x"};
    for (int i = 0; i < endpoints; ++i) {
      page.add(e);
      totals.add(e);
    }
    std::ostringstream html;
    page.write(html, totals);
    const std::string text = html.str();
    const bool listed = endpoints <= kHtmlTableLimit;
    EXPECT_EQ(text.find("<table id=\"endpoints\">") != std::string::npos, listed) << endpoints;
    EXPECT_EQ(text.find("id=\"table-in-csv\"") != std::string::npos, !listed) << endpoints;
    std::size_t rows = 0;
    for (std::size_t at = text.find("<tr><td>"); at != std::string::npos;
         at = text.find("<tr><td>", at + 1))
      ++rows;
    // Endpoint rows and rows of endpoints with Error lines, each capped, and
    // the one blocker (no encoder).
    EXPECT_EQ(rows, (listed ? 2u * endpoints : std::size_t{kHtmlTableLimit}) + 1) << endpoints;
  }
}

}  // namespace
}  // namespace cc::summary
