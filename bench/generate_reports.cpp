// Writes COUNT CapabilityChecker reports into DIR, as a fleet's collection
// folder holds them. Every report is one the checker itself wrote: each
// endpoint is a scripted machine of random make (adapters of several vendors
// with driver versions old and new, their encoders, cameras, Windows 7 to 11,
// now and then a platform call that fails, or COM that does not
// start), run through the checker's own core. The files then take the forms
// they take on the way to the folder: the checker's own CRLF file, a console
// capture with the pause prompt, Windows PowerShell's UTF-16, runs appended
// with ">>", an older copy in another site's folder; every hundredth file is
// not a report.
//
//   generate_reports COUNT DIR [--seed N] [--hostile] [--updated PERCENT]
//
// --hostile gives one endpoint a GPU name made of markup. --updated gives
// that share of adapters the first (newest) driver of their model, the rest
// of the fleet staying as the same seed makes it: a rollout to compare with.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "report/report_texts.h"
#include "summary/text_encoding.h"
#include "support/scripted_machine.h"

namespace {

namespace fs = std::filesystem;
using cc::testing::AdapterSpec;
using cc::testing::CameraKind;
using cc::testing::EncoderSpec;
using cc::testing::ScriptedMachine;

const char kHostileName[] =
    "<script>alert(1)</script><img src=http://summary-canary.invalid/x.png>";

struct Os {
  unsigned major, minor;
  const char* product;
};
const Os kSystems[] = {{6, 1, "Windows 7 Professional"},
                       {6, 3, "Windows 8.1 Pro"},
                       {10, 0, "Windows 10 Pro"},
                       {10, 0, "Windows 10 Enterprise"},
                       {10, 0, "Windows 11 Pro"}};

struct Model {
  const char* name;
  const char* vendor_id;
  const char* device_id;
  std::vector<const char16_t*> drivers;
  const char* encoder;  // null: no encoder of its own
  const char* encoder_vendor;
};

const std::vector<Model>& models() {
  static const std::vector<Model> list = {
      {"Intel(R) HD Graphics 4600",
       "8086",
       "0412",
       {u"20.19.15.4531", u"20.19.15.4308", u"10.18.10.4000", u"10.18.14.4264", u"20.19.15.4963"},
       "Intel(R) Quick Sync Video H.264 Encoder MFT",
       "VEN_8086"},
      {"Intel(R) UHD Graphics 620",
       "8086",
       "5917",
       {u"26.20.100.7262", u"9.18.10.3222", u"8.15.10.2700", u"27.20.100.8681"},
       "Intel(R) Quick Sync Video H.264 Encoder MFT",
       "VEN_8086"},
      {"AMD Radeon RX 580",
       "1002",
       "67DF",
       {u"16.200.1035.1001", u"13.250.0.0", u"15.200.1062.1004", u"22.19.162.4"},
       "AMDh264Encoder",
       "AMD"},
      {"AMD Radeon HD 7660D",
       "1002",
       "9901",
       {u"22.19.162.4", u"13.301.1005.0"},
       "AMDh264Encoder",
       "AMD"},
      {"NVIDIA GeForce GTX 1060",
       "10DE",
       "1C03",
       {u"23.21.13.8813", u"27.21.14.5671"},
       "NVIDIA H.264 Encoder MFT",
       "VEN_10DE"},
      {"Microsoft Basic Display Adapter", "1414", "008C", {u"10.0.19041.1"}, nullptr, nullptr},
      {"Caf\xE9 Graphics \x80 Edition",
       "1234",
       "0001",
       {u"1.0.0.1"},
       "Generic H.264 Encoder",
       "VEN_1234"},
  };
  return list;
}

template <typename T>
const T& pick(std::mt19937& random, const std::vector<T>& items) {
  return items[random() % items.size()];
}

bool chance(std::mt19937& random, int percent) {
  return static_cast<int>(random() % 100) < percent;
}

int g_updated_percent = 0;
std::mt19937 g_rollout(99);  // apart from the fleet's own stream

// One endpoint's run: its report as the checker wrote it (LF line ends).
std::string random_report(std::mt19937& random, bool hostile) {
  ScriptedMachine machine({0, 0, 0});
  const Os& os = kSystems[random() % (sizeof(kSystems) / sizeof(kSystems[0]))];
  machine.os.version_major = os.major;
  machine.os.version_minor = os.minor;
  machine.os.product_name = std::string(os.product);
  const int adapters = 1 + static_cast<int>(random() % 100 < 25);
  for (int i = 0; i < adapters; ++i) {
    const Model& model = pick(random, models());
    AdapterSpec adapter{model.name, model.vendor_id, model.device_id, pick(random, model.drivers),
                        model.vendor_id[0] != '1' || i == 0};
    if (static_cast<int>(g_rollout() % 100) < g_updated_percent)
      adapter.driver = model.drivers.front();
    if (hostile && i == 0)
      adapter.name = kHostileName;
    cc::testing::add_adapter(machine, adapter);
    if (model.encoder && chance(random, 90))
      cc::testing::add_encoder(machine, {model.encoder, model.encoder_vendor,
                                         chance(random, 3)    ? 0u
                                         : chance(random, 30) ? 1280u
                                                              : 1920u,
                                         chance(random, 50)});
  }
  const int cameras =
      static_cast<int>(random() % 100) < 60 ? 0 : 1 + static_cast<int>(random() % 2);
  const CameraKind kinds[] = {CameraKind::kUvc15, CameraKind::kUvc11, CameraKind::kC920,
                              CameraKind::kPlain, CameraKind::kPlain};
  for (int i = 0; i < cameras; ++i)
    cc::testing::add_camera(machine, kinds[random() % 5], i);
  if (chance(random, 1))
    machine.driver.co_initialize_result = static_cast<HRESULT>(0x80004005u);
  else if (chance(random, 5))  // failing, not throwing: some calls are made from destructors
    machine.script.fault_at(static_cast<int>(random() % 160),
                            cc::testing::FakeScript::Action::kFail,
                            static_cast<HRESULT>(0x80070005u));
  machine.run();
  return machine.driver.out;
}

std::string crlf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n')
      out += '\r';
    out += c;
  }
  return out;
}

// What Windows PowerShell 5.1's ">" makes of console output: UTF-16LE with
// a byte-order mark (device names reach it through the ANSI code page).
std::string powershell(const std::string& text) {
  const std::string utf8 = cc::summary::to_utf8(text);
  std::string out = "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const int more = c < 0x80 ? 0 : c < 0xE0 ? 1 : 2;  // names stay in the BMP
    unsigned unit = more == 0 ? c : more == 1 ? c & 0x1F : c & 0x0F;
    for (int k = 1; k <= more && i + k < utf8.size(); ++k)
      unit = (unit << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += more + 1;
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

const std::string kPrompt = std::string(cc::texts::kPausePrompt) + "\r\n";

// The file as it reached the folder.
std::string file_form(std::mt19937& random, const std::string& report) {
  const int form = static_cast<int>(random() % 100);
  if (form < 80)
    return crlf(report);  // the checker's own file, written in text mode
  if (form < 88)
    return crlf(report) + kPrompt;  // cmd /c checker > file
  if (form < 93)
    return powershell(crlf(report) + kPrompt);
  return crlf(random_report(random, false)) + kPrompt + crlf(report) + kPrompt;  // ">>"
}

std::string not_a_report(std::mt19937& random, const std::string& report) {
  switch (random() % 4) {
    case 0:
      return "minutes of the meeting\r\n";
    case 1:
      return crlf(report.substr(0, report.size() / 2));  // cut short
    case 2:
      return std::string();
    default:
      return std::string("\x89PNG\r\n\x1A\n\0\0", 10);
  }
}

void set_time(const fs::path& path, std::int64_t seconds) {
  const auto target = std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
  fs::last_write_time(path, fs::file_time_type::clock::now() +
                                std::chrono::duration_cast<fs::file_time_type::duration>(
                                    target - std::chrono::system_clock::now()));
}

void write_file(const fs::path& path, const std::string& bytes, std::int64_t time) {
  std::ofstream(path, std::ios::binary) << bytes;
  set_time(path, time);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s COUNT DIR [--seed N] [--hostile] [--updated PERCENT]\n",
                 argv[0]);
    return 2;
  }
  const long count = std::atol(argv[1]);
  const fs::path dir = argv[2];
  unsigned seed = 1;
  bool hostile = false;
  for (int i = 3; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--seed" && i + 1 < argc)
      seed = static_cast<unsigned>(std::atol(argv[++i]));
    else if (argument == "--hostile")
      hostile = true;
    else if (argument == "--updated" && i + 1 < argc)
      g_updated_percent = std::atoi(argv[++i]);
  }
  std::mt19937 random(seed);
  const long sites = std::max(1L, std::min(50L, count / 2000 + 1));
  for (long s = 0; s < sites; ++s)
    fs::create_directories(dir / ("site" + std::to_string(s)));
  const std::int64_t newest = 1796761240;  // 2026-12-08T20:20:40Z
  for (long i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof(name), "PC-%06ld.txt", i);
    const fs::path site = dir / ("site" + std::to_string(i % sites));
    const std::string report = random_report(random, hostile && i == 0);
    const std::int64_t time = newest - static_cast<std::int64_t>(random() % (30 * 86400));
    if (i % 100 == 99) {
      write_file(site / name, not_a_report(random, report), time);
      continue;
    }
    write_file(site / name, file_form(random, report), time);
    if (sites > 1 && chance(random, 2))  // an older run, filed under another site
      write_file(dir / ("site" + std::to_string((i + 1) % sites)) / name,
                 crlf(random_report(random, false)), time - 86400);
  }
  return 0;
}
