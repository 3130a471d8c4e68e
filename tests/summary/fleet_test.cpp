// What blocks hardware encoding, per endpoint and added up over a fleet.
#include "summary/fleet.h"

#include <gtest/gtest.h>

namespace cc::summary {
namespace {

Encoder encoder(const char* name, bool supported, const char* reason) {
  Encoder e;
  e.name = name;
  e.supported = supported;
  e.reason = reason;
  return e;
}

Endpoint endpoint(const char* encoding, std::vector<Encoder> encoders) {
  Endpoint e;
  e.encoding = encoding;
  e.decoding = "\t Software";
  e.encoders = std::move(encoders);
  e.adapters = {{"Intel(R) HD Graphics 4600", "9.18.10.3222"},
                {"AMD Radeon RX 580", "13.250.0.0"},
                {"Matrox G200eR", "2.4.1.0"}};
  return e;
}

struct BlockerCase {
  const char* name;
  Endpoint endpoint;
  std::vector<std::string> reasons;
  std::vector<std::string> first_devices;  // the devices of the first blocker
};

TEST(FleetTest, BlockersNameTheAdaptersOfTheirVendor) {
  const Encoder usable_intel =
      encoder("Intel MFT", false, "Intel graphics card not supported by driver version");
  const Encoder usable_other =
      encoder("Matrox MFT", false, "Unknown vendor graphics card not supported by VID");
  const Encoder unusable = encoder("Broken MFT", false, "");
  const Encoder supported = encoder("AMD MFT", true, "");
  Endpoint c920 = endpoint("\t Software", {});
  c920.cameras = {{"Logitech HD Pro Webcam C920", true, false, true, true, {}}};
  const BlockerCase cases[] = {
      {"hardware", endpoint("\t Onboard hardware", {supported, usable_intel}), {}, {}},
      {"refused",
       endpoint("\t Software*", {usable_intel, usable_intel}),
       {"Intel graphics card not supported by driver version"},
       {"Intel(R) HD Graphics 4600"}},
      {"unknown vendor",
       endpoint("\t Software*", {usable_other}),
       {"Unknown vendor graphics card not supported by VID"},
       {"Matrox G200eR"}},
      {"unusable",
       endpoint("\t Software", {unusable}),
       {kBlockerEncoderUnusable},
       {"Intel(R) HD Graphics 4600", "AMD Radeon RX 580", "Matrox G200eR"}},
      {"none and a C920",
       c920,
       {kBlockerNoEncoder, kBlockerC920},
       {"Intel(R) HD Graphics 4600", "AMD Radeon RX 580", "Matrox G200eR"}},
  };
  for (const BlockerCase& c : cases) {
    const std::vector<BlockerHit> hits = blockers_of(c.endpoint);
    std::vector<std::string> reasons, devices;
    for (const BlockerHit& hit : hits)
      reasons.push_back(hit.reason);
    if (!hits.empty())
      for (const Adapter& device : hits[0].devices)
        devices.push_back(device.name);
    EXPECT_EQ(reasons, c.reasons) << c.name;
    EXPECT_EQ(devices, c.first_devices) << c.name;
  }
}

TEST(FleetTest, TotalsCountEndpointsOnceAndRankThem) {
  FleetTotals totals;
  const Encoder refused =
      encoder("Intel MFT", false, "Intel graphics card not supported by driver version");
  for (int i = 0; i < 3; ++i) {
    Endpoint e = endpoint("\t Software*", {refused, refused});
    e.errors.assign(i, "*** Error: x");  // Error lines on two of them
    totals.add(e);
  }
  Endpoint onboard = endpoint("\t Onboard hardware", {encoder("AMD MFT", true, "")});
  onboard.decoding = "\t Onboard hardware";
  totals.add(onboard);
  EXPECT_EQ(totals.endpoints(), 4);
  EXPECT_EQ(totals.endpoints_with_errors(), 2);
  EXPECT_EQ(totals.encoding(),
            (std::vector<std::pair<std::string, int>>{{"Software*", 3}, {"Onboard hardware", 1}}));
  EXPECT_EQ(totals.decoding(),
            (std::vector<std::pair<std::string, int>>{{"Software", 3}, {"Onboard hardware", 1}}));
  const std::vector<Blocker> blockers = totals.blockers();
  ASSERT_EQ(blockers.size(), 1u);
  EXPECT_EQ(blockers[0].endpoints, 3);
  EXPECT_EQ(blockers[0].adapters, (std::map<std::string, int>{{"Intel(R) HD Graphics 4600", 3}}));
  EXPECT_EQ(blockers[0].drivers, (std::map<std::string, int>{{"9.18.10.3222", 3}}));
}

}  // namespace
}  // namespace cc::summary
