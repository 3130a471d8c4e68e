#include "gpu/support_policy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "gpu/driver_update.h"

#include "support/fake_driver_platform.h"

namespace cc {
namespace {

enum class Os { kVista, kWindows7, kWindows8, kWindows10 };

void set_os(testing::FakeOs& os, Os which) {
  static const std::pair<unsigned, unsigned> versions[] = {{6, 0}, {6, 1}, {6, 2}, {10, 0}};
  os.version_major = versions[static_cast<int>(which)].first;
  os.version_minor = versions[static_cast<int>(which)].second;
}

const std::string AMD = "AMD graphics card";
const std::string INTEL = "Intel graphics card";
const std::string ONW8 = " on Windows 8 or greater";
const std::string ONW7 = " on Windows 7";
const std::string NODRV = " not supported by driver version";
const std::string NOPID = " not supported by PID";

struct PolicyCase {
  Os os;
  const char* vendor;
  const char* device;
  const char* driver;
  bool supported;
  std::string reason;
};

std::ostream& operator<<(std::ostream& out, const PolicyCase& c) {
  return out << "os#" << static_cast<int>(c.os) << " " << c.vendor << "/" << c.device << " \""
             << c.driver << "\"";
}

class PolicyTest : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(PolicyTest, Verdict) {
  const PolicyCase& c = GetParam();
  testing::FakeOs os;
  set_os(os, c.os);
  VideoCardInfo card;
  card.vendorId = c.vendor;
  card.deviceId = c.device;
  card.driverVersion = c.driver;
  card.name = "ignored";
  EXPECT_EQ(check_video_card_support(card, os), CheckResult(c.supported, c.reason));
}

// AMD on Windows 8 and later: driver bands first, then the device ID.
INSTANTIATE_TEST_SUITE_P(
    AmdWindows8,
    PolicyTest,
    ::testing::Values(
        PolicyCase{Os::kWindows8, "1002", "67DF", "13.300.9.9", false, AMD + ONW8 + NODRV},
        PolicyCase{Os::kWindows10, "1002", "9900", "12.1", false, AMD + ONW8 + NODRV},
        PolicyCase{Os::kWindows8, "1002", "67DF", "13.301", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "67DF", "15.199.99", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "9900", "14.0", false, AMD + ONW8 + NOPID},
        PolicyCase{Os::kWindows8, "1002", "674A", "14.0", false, AMD + ONW8 + NOPID},
        PolicyCase{Os::kWindows8, "1002", "67DF", "15.200.1062.1004", false, AMD + ONW8 + NODRV},
        PolicyCase{Os::kWindows10, "1002", "67DF", "16.100.2001.0", false, AMD + ONW8 + NODRV},
        PolicyCase{Os::kWindows8, "1002", "67DF", "16.150.0.0", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "99A0", "16.150.0.0", false, AMD + ONW8 + NOPID},
        PolicyCase{Os::kWindows8, "1002", "99FF", "17.0", false, AMD + ONW8 + NOPID},
        PolicyCase{Os::kWindows8, "1002", "99FF0", "17.0", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "99", "17.0", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "98FF", "17.0", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "674a", "17.0", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "9852", "17.0", true, AMD + ONW8},
        PolicyCase{Os::kWindows8, "1002", "67DF", "", false, AMD + ONW8 + NODRV},
        PolicyCase{Os::kWindows10, "1022", "674A", "17.0", false, AMD + ONW8 + NOPID},
        PolicyCase{Os::kWindows10, "1022", "67DF", "17.0", true, AMD + ONW8},
        PolicyCase{Os::kWindows10, "1022", "67DF", "16.0", false, AMD + ONW8 + NODRV}));

// AMD on Windows 7: one driver floor and a closed list of device IDs.
INSTANTIATE_TEST_SUITE_P(
    AmdWindows7,
    PolicyTest,
    ::testing::Values(
        PolicyCase{Os::kWindows7, "1002", "67DF", "16.199.9", false, AMD + ONW7 + NODRV},
        PolicyCase{Os::kWindows7, "1002", "9851", "16.200.0.0", true, AMD + ONW7},
        PolicyCase{Os::kWindows7, "1002", "9852", "16.200.0.0", false, AMD + ONW7 + NOPID},
        PolicyCase{Os::kWindows7, "1002", "985F", "17.1", true, AMD + ONW7},
        PolicyCase{Os::kWindows7, "1002", "67EB", "17.1", true, AMD + ONW7},
        PolicyCase{Os::kWindows7, "1002", "67df", "17.1", false, AMD + ONW7 + NOPID},
        PolicyCase{Os::kWindows7, "1002", "9900", "17.1", false, AMD + ONW7 + NOPID},
        PolicyCase{Os::kWindows7, "1002", "674A", "17.1", false, AMD + ONW7 + NOPID},
        PolicyCase{Os::kWindows7, "1002", "9851", "", true, AMD + ONW7},
        PolicyCase{Os::kWindows7, "1002", "9852", "", false, AMD + ONW7 + NOPID},
        PolicyCase{Os::kWindows7, "1022", "98E4", "16.200", true, AMD + ONW7},
        PolicyCase{Os::kWindows7, "1022", "98E4", "15.0", false, AMD + ONW7 + NODRV}));

// AMD before Windows 7: accepted whatever the card and driver.
INSTANTIATE_TEST_SUITE_P(AmdOlder,
                         PolicyTest,
                         ::testing::Values(PolicyCase{Os::kVista, "1002", "9900", "1.0", true, AMD},
                                           PolicyCase{Os::kVista, "1002", "674A", "", true, AMD},
                                           PolicyCase{Os::kVista, "1022", "9852", "16.100", true,
                                                      AMD}));

// Intel: the general list on every OS, the Windows 7 list on Windows 7 only.
INSTANTIATE_TEST_SUITE_P(
    Intel,
    PolicyTest,
    ::testing::Values(
        PolicyCase{Os::kWindows10, "8086", "1912", "9.18.10.3257", true, INTEL},
        PolicyCase{Os::kWindows8, "8086", "1912", "9.17.10.4229", false, INTEL + NODRV},
        PolicyCase{Os::kWindows8, "8086", "1912", "8.15.10.2695", true, INTEL},
        PolicyCase{Os::kWindows8, "8086", "1912", "8.15.10.2696", false, INTEL + NODRV},
        PolicyCase{Os::kWindows8, "8086", "1912", "8.15.10.2752", false, INTEL + NODRV},
        PolicyCase{Os::kWindows8, "8086", "1912", "8.15.10.2753", true, INTEL},
        PolicyCase{Os::kWindows8, "8086", "1912", "9.17.10.2849", false, INTEL + NODRV},
        PolicyCase{Os::kWindows8, "8086", "1912", "9.17.10.9999", false, INTEL + NODRV},
        PolicyCase{Os::kWindows8, "8086", "1912", "9.17.10.10000", true, INTEL},
        PolicyCase{Os::kWindows8, "8086", "1912", "9.18.10.3222", false, INTEL + NODRV},
        PolicyCase{Os::kWindows8, "8086", "1912", "9.18.10.3223", true, INTEL},
        PolicyCase{Os::kWindows10, "8086", "1912", "20.19.15.4308", false, INTEL + NODRV},
        PolicyCase{Os::kWindows10, "8086", "1912", "20.19.15.4309", true, INTEL},
        PolicyCase{Os::kWindows10, "8086", "1912", "10.18.10.4000", true, INTEL},
        PolicyCase{Os::kWindows10, "8086", "1912", "", false, INTEL + NODRV},
        PolicyCase{Os::kVista, "8086", "1912", "10.18.10.4000", true, INTEL},
        PolicyCase{Os::kVista, "8086", "1912", "9.17.10.4229", false, INTEL + NODRV},
        PolicyCase{Os::kWindows7, "8086", "1912", "9.18.10.3257", true, INTEL + ONW7},
        PolicyCase{Os::kWindows7, "8086", "1912", "10.18.10.4000", false, INTEL + ONW7 + NODRV},
        PolicyCase{Os::kWindows7, "8086", "1912", "10.18.10.3412", false, INTEL + ONW7 + NODRV},
        PolicyCase{Os::kWindows7, "8086", "1912", "10.18.10.4226", false, INTEL + ONW7 + NODRV},
        PolicyCase{Os::kWindows7, "8086", "1912", "10.18.10.4227", true, INTEL + ONW7},
        PolicyCase{Os::kWindows7, "8086", "1912", "10.18.14.4264", false, INTEL + ONW7 + NODRV},
        PolicyCase{Os::kWindows7, "8086", "1912", "9.17.10.4229", false, INTEL + NODRV + ONW7},
        PolicyCase{Os::kWindows7, "8086", "1912", "", false, INTEL + NODRV + ONW7 + NODRV},
        PolicyCase{Os::kWindows7, "8087", "9900", "", false, INTEL + NODRV + ONW7 + NODRV},
        PolicyCase{Os::kWindows8, "8087", "674A", "9.18.10.3257", true, INTEL},
        PolicyCase{Os::kWindows8, "8087", "", "9.17.10.4229", false, INTEL + NODRV}));

// Other vendors: refused by vendor ID whatever else holds.
INSTANTIATE_TEST_SUITE_P(
    OtherVendors,
    PolicyTest,
    ::testing::Values(PolicyCase{Os::kWindows10, "10DE", "1C03", "23.21.13.8813", false,
                                 "NVIDIA graphics card not supported by VID"},
                      PolicyCase{Os::kWindows7, "10DE", "1C03", "", false,
                                 "NVIDIA graphics card not supported by VID"},
                      PolicyCase{Os::kVista, "10DE", "", "1", false,
                                 "NVIDIA graphics card not supported by VID"},
                      PolicyCase{Os::kWindows10, "10de", "1C03", "23.21", false,
                                 "Unknown vendor graphics card not supported by VID"},
                      PolicyCase{Os::kWindows10, "", "", "", false,
                                 "Unknown vendor graphics card not supported by VID"},
                      PolicyCase{Os::kWindows7, "1002 ", "9851", "17.0", false,
                                 "Unknown vendor graphics card not supported by VID"},
                      PolicyCase{Os::kWindows8, "15AD", "0405", "8.15.1.48", false,
                                 "Unknown vendor graphics card not supported by VID"}));

TEST(PolicyOsTest, AsksTheOsAfreshAtEachCall) {
  testing::FakeOs os;
  VideoCardInfo card;
  card.vendorId = "8086";
  card.driverVersion = "10.18.10.4000";
  set_os(os, Os::kWindows7);
  EXPECT_EQ(check_video_card_support(card, os), CheckResult(false, INTEL + ONW7 + NODRV));
  const int asked = os.version_queries;
  EXPECT_GT(asked, 0);
  set_os(os, Os::kWindows10);
  EXPECT_EQ(check_video_card_support(card, os), CheckResult(true, INTEL));
  EXPECT_GT(os.version_queries, asked);
}

// --- Driver version parsing --------------------------------------------------

struct ParseCase {
  const char* text;
  DriverVersion expected;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, Components) {
  EXPECT_EQ(parse_driver_version(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Policy,
                         ParseTest,
                         ::testing::Values(ParseCase{"8.15.10.2696", {8, 15, 10, 2696}},
                                           ParseCase{"13.301", {13, 301}},
                                           ParseCase{"", {}},
                                           ParseCase{"abc", {}},
                                           ParseCase{"v1.2", {}},
                                           ParseCase{"1..2", {1}},
                                           ParseCase{"3.x", {3}},
                                           ParseCase{"1.2.3.4.5.6.7.8.9.10.11.12",
                                                     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
                                           ParseCase{"-1.+2", {-1, 2}},
                                           ParseCase{"1.-2", {1, -2}},
                                           ParseCase{"1-2", {1, 2}},
                                           ParseCase{"+", {}},
                                           ParseCase{"-", {}},
                                           ParseCase{"- 1", {}},
                                           ParseCase{" \t\n7.\v\f\r8", {7, 8}},
                                           ParseCase{"16.100.1010.0 ", {16, 100, 1010, 0}},
                                           ParseCase{"2147483647.1", {INT_MAX, 1}},
                                           ParseCase{"-2147483648.1", {INT_MIN, 1}},
                                           ParseCase{"2147483648.1", {}},
                                           ParseCase{"-2147483649", {}},
                                           ParseCase{"1.99999999999999999999.3", {1}},
                                           ParseCase{"007.08", {7, 8}}));

// --- Comparisons over the common prefix ----------------------------------------

struct CompareCase {
  DriverVersion v;
  DriverVersion t;
  bool less;
  bool equal;
};

class CompareTest : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTest, LessEqualAndBoth) {
  const CompareCase& c = GetParam();
  EXPECT_EQ(version_less(c.v, c.t), c.less);
  EXPECT_EQ(version_equal(c.v, c.t), c.equal);
  EXPECT_EQ(version_less_or_equal(c.v, c.t), c.less || c.equal);
}

INSTANTIATE_TEST_SUITE_P(
    Policy,
    CompareTest,
    ::testing::Values(CompareCase{{}, {13, 301}, false, true},
                      CompareCase{{16, 100, 1010, 0}, {16, 100}, false, true},
                      CompareCase{{9, 18, 10}, {9, 18, 10, 3222}, false, true},
                      CompareCase{{15, 200, 1062, 1004}, {15, 200}, false, true},
                      CompareCase{{13, 300}, {13, 301}, true, false},
                      CompareCase{{12, 999}, {13, 301}, true, false},
                      CompareCase{{13, 302}, {13, 301}, false, false},
                      CompareCase{{14, 0}, {13, 301}, false, false},
                      CompareCase{{-1}, {0}, true, false},
                      CompareCase{{INT_MIN}, {INT_MAX}, true, false},
                      CompareCase{{1, 2, 3}, {}, false, true},
                      CompareCase{{9, 17, 10, 2848}, {9, 17, 10, 2849}, true, false}));

TEST(CompareTest, AnEleventhComponentNeverCounts) {
  const DriverVersion v = parse_driver_version("1.2.3.4.5.6.7.8.9.10.1");
  const DriverVersion t = parse_driver_version("1.2.3.4.5.6.7.8.9.10.9");
  EXPECT_FALSE(version_less(v, t));
  EXPECT_TRUE(version_equal(v, t));
}

// --- Tables ------------------------------------------------------------------

TEST(PolicyTables, WindowsSevenListIsTheClosedSetOfTwentyNine) {
  EXPECT_EQ(amd_windows7_device_ids.size(), 29u);
  for (const char* id : {"9874", "9851", "9853", "985F", "98E4", "67DF", "67C0", "67EB"})
    EXPECT_EQ(amd_windows7_device_ids.count(id), 1u) << id;
  for (const char* id : {"9852", "9850", "9860", "67df", "674A"})
    EXPECT_EQ(amd_windows7_device_ids.count(id), 0u) << id;
}

// --- The driver update that lifts a refusal ------------------------------------

bool numerically_less(const DriverVersion& a, const DriverVersion& b) {
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const long long x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
    if (x != y)
      return x < y;
  }
  return false;
}

std::string text_of(const DriverVersion& v) {
  std::string text;
  for (std::int32_t c : v)
    text += (text.empty() ? "" : ".") + std::to_string(c);
  return text;
}

// A version near one of the policy's thresholds, where the verdict changes.
DriverVersion near_threshold(std::mt19937& random) {
  std::vector<std::string> all;
  for (const auto* list : {&amd_windows8_thresholds, &amd_windows7_thresholds,
                           &intel_general_thresholds, &intel_windows7_thresholds})
    all.insert(all.end(), list->begin(), list->end());
  DriverVersion v = parse_driver_version(all[random() % all.size()]);
  v.resize(4, 0);
  for (std::int32_t& c : v)
    c = std::max(0, c + static_cast<std::int32_t>(random() % 5) - 2);
  if (random() % 3 == 0)
    v[3] = static_cast<std::int32_t>(random() % 20000);
  else if (random() % 4 == 0)
    v[3] = kLastBuild - static_cast<std::int32_t>(random() % 3);  // a series' last builds
  return v;
}

// Versions between the installed one and the one named: each component of
// the installed version raised by one (the rest zeroed), random points in
// between, and the one just below the version named.
std::vector<DriverVersion> between(const DriverVersion& low,
                                   DriverVersion high,
                                   std::mt19937& random) {
  high.resize(std::max(high.size(), low.size()), 0);
  std::vector<DriverVersion> points;
  for (std::size_t k = 0; k < low.size(); ++k) {
    DriverVersion v = low;
    ++v[k];
    std::fill(v.begin() + static_cast<std::ptrdiff_t>(k) + 1, v.end(), 0);
    points.push_back(v);
  }
  for (int i = 0; i < 20; ++i) {
    DriverVersion v = low;
    for (std::size_t k = 0; k < v.size(); ++k)
      v[k] = std::min(low[k], high[k]) +
             static_cast<std::int32_t>(random() % (std::abs(high[k] - low[k]) + 2));
    points.push_back(v);
  }
  DriverVersion below = high;
  if (below.back() > 0) {
    --below.back();
    points.push_back(below);
  }
  std::vector<DriverVersion> inside;
  for (const DriverVersion& v : points)
    if (numerically_less(low, v) && numerically_less(v, high) && v[3] <= kLastBuild)
      inside.push_back(v);
  return inside;
}

bool in_exception(const DriverAdvice& advice, const DriverVersion& v) {
  for (const auto& [first, end] : advice.exceptions)
    if (!numerically_less(v, first) && (end.empty() || numerically_less(v, end)))
      return true;
  return false;
}

// Over many generated refusals by driver version: the version named is above
// the installed one and the policy itself accepts it; every existing version
// between the two stays refused; and from the named one up to a high bound
// every existing version is accepted except the exceptions named, which are
// refused. A refusal no driver lifts names none.
TEST(DriverUpdateTest, NamesTheLowestVersionThePolicyAccepts) {
  std::mt19937 random(20261208);
  const std::pair<Os, WindowsCase> cases[] = {{Os::kWindows7, WindowsCase::kWindows7},
                                              {Os::kWindows8, WindowsCase::kWindows8OrGreater},
                                              {Os::kWindows10, WindowsCase::kOther}};
  const char* devices[] = {"9851", "67DF", "9852", "99A0", "674A", "1912"};
  const char* vendors[] = {"8086", "1002", "8087", "1022"};
  int named = 0, none = 0, closed = 0, excepted = 0;
  for (int i = 0; i < 4000; ++i) {
    const auto& [os_kind, windows] = cases[random() % 3];
    testing::FakeOs os;
    set_os(os, os_kind);
    VideoCardInfo card{"", vendors[random() % 4], devices[random() % 6], "", ""};
    const DriverVersion installed = near_threshold(random);
    card.driverVersion = text_of(installed);
    const CheckResult verdict = check_video_card_support(card, os);
    if (verdict.first || verdict.second.find(NODRV) == std::string::npos)
      continue;
    ASSERT_EQ(windows_case_of(verdict.second) == WindowsCase::kWindows7,
              windows == WindowsCase::kWindows7)
        << verdict.second;
    const DriverAdvice advice =
        driver_advice(card.vendorId, card.deviceId, card.driverVersion, windows);
    const DriverVersion high = advice.lowest ? *advice.lowest : DriverVersion{99999, 0};
    SCOPED_TRACE(card.vendorId + "/" + card.deviceId + " " + card.driverVersion + " -> " +
                 advice.versions_text() + " [" + advice.closed_series + "], " + verdict.second);
    auto accepted = [&](const DriverVersion& v) {
      card.driverVersion = text_of(v);
      return check_video_card_support(card, os).first;
    };
    for (const DriverVersion& v : between(installed, high, random))
      EXPECT_FALSE(accepted(v)) << text_of(v);
    if (!advice.lowest) {
      ++none;
      continue;
    }
    ++named;
    closed += advice.closed_series.empty() ? 0 : 1;
    excepted += advice.exceptions.empty() ? 0 : 1;
    EXPECT_TRUE(numerically_less(installed, high));
    EXPECT_LE(high[3], kLastBuild);
    std::vector<DriverVersion> above = {high};
    for (int k = 0; k < 60; ++k)
      above.push_back(near_threshold(random));
    for (int k = 0; k < 20; ++k)
      above.push_back({high[0] + static_cast<std::int32_t>(random() % 40),
                       static_cast<std::int32_t>(random() % 400),
                       static_cast<std::int32_t>(random() % 200),
                       static_cast<std::int32_t>(random() % (kLastBuild + 1))});
    for (const auto& [first, end] : advice.exceptions)
      above.insert(above.end(), {first, end});
    for (const DriverVersion& v : above) {
      if (!v.empty() && !numerically_less(v, high) && v[3] <= kLastBuild)
        EXPECT_EQ(accepted(v), !in_exception(advice, v)) << text_of(v);
    }
  }
  EXPECT_GT(named, 500);
  EXPECT_GT(none, 50);   // AMD devices off the list: no driver helps
  EXPECT_GT(closed, 3);  // 9.17.10 from 2849 on
  EXPECT_GT(excepted, 200);
}

TEST(DriverUpdateTest, KnownAnswers) {
  const struct {
    const char* vendor;
    const char* device;
    const char* installed;
    WindowsCase windows;
    std::optional<std::string> update;
  } cases[] = {
      {"8086", "", "9.17.10.4229", WindowsCase::kOther, "9.17.11.0"},
      {"8086", "", "20.19.15.4308", WindowsCase::kOther, "20.19.15.4309"},
      {"8086", "", "10.18.10.4000", WindowsCase::kWindows7, "10.18.10.4227"},
      {"8086", "", "8.15.10.2700", WindowsCase::kWindows7, "8.15.10.2753"},
      {"1002", "67DF", "13.250.0.0", WindowsCase::kWindows8OrGreater, "13.301.0.0"},
      {"1002", "67DF", "15.200.1062.1004", WindowsCase::kWindows8OrGreater, "16.101.0.0"},
      {"1002", "67DF", "16.150", WindowsCase::kWindows7, "16.200.0.0"},
      {"1002", "9852", "16.150", WindowsCase::kWindows7, std::nullopt},
      {"1002", "99A0", "12.0", WindowsCase::kWindows8OrGreater, std::nullopt},
      {"10DE", "1C03", "1.0", WindowsCase::kOther, std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(lowest_accepted_driver_above(c.vendor, c.device, c.installed, c.windows), c.update)
        << c.vendor << " " << c.installed;
  const struct {
    const char* vendor;
    const char* installed;
    WindowsCase windows;
    const char* text;
    const char* closed_series;
  } advice[] = {
      {"8086", "10.18.10.3500", WindowsCase::kWindows7,
       "10.18.10.4227 or later, except 10.18.14.4264 and 20.19.15.4308", ""},
      {"8086", "8.15.10.2700", WindowsCase::kOther,
       "8.15.10.2753 or later, except 9.17.10.2849 to 9.17.10.9999, 9.18.10.3222 and "
       "20.19.15.4308",
       ""},
      {"8086", "9.17.10.4229", WindowsCase::kOther,
       "9.17.11.0 or later, except 9.18.10.3222 and 20.19.15.4308", "9.17.10"},
      {"1002", "13.250.0.0", WindowsCase::kWindows8OrGreater,
       "13.301.0.0 or later, except 15.200.0.0 to 16.100.*", ""},
  };
  for (const auto& c : advice) {
    const DriverAdvice a = driver_advice(c.vendor, "", c.installed, c.windows);
    EXPECT_EQ(a.versions_text(), c.text) << c.installed;
    EXPECT_EQ(a.closed_series, c.closed_series) << c.installed;
  }
  EXPECT_EQ(windows_case_of(AMD + ONW8 + NODRV), WindowsCase::kWindows8OrGreater);
  EXPECT_EQ(windows_case_of(INTEL + NODRV + ONW7 + NODRV), WindowsCase::kWindows7);
  EXPECT_EQ(windows_case_of(INTEL + NODRV), WindowsCase::kOther);
}

}  // namespace
}  // namespace cc
