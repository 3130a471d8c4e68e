#include <gtest/gtest.h>

#include <functional>

#include "camera/camera_check.h"
#include "camera/fake_directshow.h"

namespace cc {
namespace {

using testing::FakeCaptureDevice;
using testing::FakeDirectShow;
using testing::FakeKsNode;
using testing::FakeScript;
using testing::kExtensionUnitNode;
using testing::kH264UnitSet;
using testing::kOtherNode;
using testing::kOtherSet;

const char kLink[] =
    "\\\\?\\usb#vid_1234&pid_5678&mi_00#7&1a2b#{e5323777-f976-4f5b-9b55-b94699c46e44}";

struct Uvc11ProbeTest : ::testing::Test {
  FakeScript script;
  FakeDirectShow directshow{script};
  ReportSection section;
  bool flag = false;

  void probe(const std::string& link = kLink) {
    probe_uvc11_extension_unit(section, link, flag, directshow);
  }
  FakeCaptureDevice& add(std::optional<std::string> path, std::vector<FakeKsNode> nodes = {}) {
    directshow.devices.push_back({std::move(path), true, std::move(nodes)});
    return directshow.devices.back();
  }
};

FakeKsNode unit_with(std::vector<GUID> sets) {
  FakeKsNode node;
  node.sets = std::move(sets);
  return node;
}

// ---- Every failure of the failure table: its line, what goes on, nothing leaked.

struct FailureCase {
  const char* name;
  std::function<void(Uvc11ProbeTest&)> setup;
  const char* lines;
  bool found;
};

class Uvc11FailureTest : public Uvc11ProbeTest,
                         public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Uvc11FailureTest, WritesItsLineAndGoesOnAsTheTableSays) {
  GetParam().setup(*this);
  probe();
  EXPECT_EQ(section.text(), GetParam().lines);
  EXPECT_EQ(flag, GetParam().found);
  EXPECT_EQ(script.live_objects, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    Uvc11FailureTest,
    ::testing::Values(
        FailureCase{"DeviceEnumeratorSuccessWithoutAnObject",
                    [](Uvc11ProbeTest& t) {
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.script.fail("CoCreateInstance(SystemDeviceEnum)", S_FALSE);
                    },
                    "\t\t*** Error: Failed to CoCreateInstance CLSID_SystemDeviceEnum (error = "
                    "0x00000001)!\n",
                    false},
        FailureCase{"EmptyCategoryIsSFalse", [](Uvc11ProbeTest&) {},
                    "\t\t*** Error: Failed to CreateClassEnumerator of "
                    "CLSID_VideoInputDeviceCategory class (error = 0x00000001)!\n",
                    false},
        FailureCase{"ClassEnumeratorFails",
                    [](Uvc11ProbeTest& t) {
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.script.fail("CreateClassEnumerator", E_ACCESSDENIED);
                    },
                    "\t\t*** Error: Failed to CreateClassEnumerator of "
                    "CLSID_VideoInputDeviceCategory class (error = 0x80070005)!\n",
                    false},
        FailureCase{"DevicePathUnreadableIsSilent",
                    [](Uvc11ProbeTest& t) {
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.script.fail("moniker0.ReadDevicePath", E_FAIL);
                    },
                    "", false},
        FailureCase{"EndOfListAnsweredAsSuccessWithoutAMoniker",
                    [](Uvc11ProbeTest& t) {
                      t.add(kLink, {unit_with({kOtherSet})});
                      t.script.fail("Next", S_OK, 1);
                    },
                    "", false},
        FailureCase{"BindSFalseOrFailureThenNextMoniker",
                    [](Uvc11ProbeTest& t) {
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.script.fail("moniker0.BindToObject", S_FALSE);
                      t.script.fail("moniker1.BindToObject", E_FAIL);
                    },
                    "\t\t*** Error: Could not BindToObject (error = 0x00000001)!\n"
                    "\t\t*** Error: Could not BindToObject (error = 0x80004005)!\n",
                    true},
        FailureCase{"TopologySFalseOrMissingThenNextMoniker",
                    [](Uvc11ProbeTest& t) {
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.add(kLink, {unit_with({kH264UnitSet})}).has_topology = false;
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.script.fail("moniker0.filter.QueryInterface(IKsTopologyInfo)", S_FALSE);
                    },
                    "\t\t*** Error: Could not get the IKsTopologyInfo interface from the camera "
                    "(error = 0x00000001)!\n"
                    "\t\t*** Error: Could not get the IKsTopologyInfo interface from the camera "
                    "(error = 0x80004002)!\n",
                    true},
        FailureCase{"NodeCountSFalseOrFailureThenNextMoniker",
                    [](Uvc11ProbeTest& t) {
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.add(kLink, {unit_with({kH264UnitSet})});
                      t.script.fail("moniker0.topology.get_NumNodes", S_FALSE);
                      t.script.fail("moniker1.topology.get_NumNodes", E_UNEXPECTED);
                    },
                    "\t\t*** Error: Cannot get the number of IKsTopology nodes (error = "
                    "0x00000001)!\n"
                    "\t\t*** Error: Cannot get the number of IKsTopology nodes (error = "
                    "0x8000FFFF)!\n",
                    true},
        // Every node offers the H.264 unit but fails on the way to showing it:
        // each failure is no match, and the walk goes on to the next node.
        FailureCase{"NodeFailuresAreNoMatchAndTheWalkGoesOn",
                    [](Uvc11ProbeTest& t) {
                      FakeKsNode empty = unit_with({kH264UnitSet});
                      empty.size_answer = 0;
                      t.add(kLink, {unit_with({kH264UnitSet}), unit_with({kH264UnitSet}), empty,
                                    unit_with({kH264UnitSet}), unit_with({kH264UnitSet})});
                      t.script.fail("moniker0.topology.get_NodeType", E_FAIL, 0);
                      t.script.fail("moniker0.topology.CreateNodeInstance", E_OUTOFMEMORY, 0);
                      t.script.fail("moniker0.node3.KsProperty", E_ACCESSDENIED, 1);
                      t.script.fail("moniker0.topology.CreateNodeInstance", S_FALSE, 3);
                    },
                    "\t\t*** Error: Cannot get the node type (error = 0x80004005)!\n"
                    "\t\t*** Error: Could not create the IKsControl (error = 0x8007000E)!\n"
                    "\t\t*** Error: KsProperty is empty!\n"
                    "\t\t*** Error: Calling KsProperty on node failed (error = 0x80070005)!\n"
                    "\t\t*** Error: Could not create the IKsControl (error = 0x00000001)!\n",
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Matching the camera's device path.

TEST_F(Uvc11ProbeTest, PathDifferingOnlyInCaseIsAnotherDevice) {
  std::string upper = kLink;
  upper.replace(upper.find("vid_"), 4, "VID_");
  add(upper, {unit_with({kH264UnitSet})});
  probe();
  EXPECT_EQ(section.text(), "");
  EXPECT_FALSE(flag);
  EXPECT_EQ(script.count("moniker0.BindToObject"), 0);
  EXPECT_EQ(script.live_objects, 0);
}

TEST_F(Uvc11ProbeTest, EmptyLinkMatchesEmptyAndUnreadablePathsOnly) {
  add(std::string(), {});
  add(std::nullopt, {});
  add(std::string(kLink), {unit_with({kH264UnitSet})});
  probe("");
  EXPECT_EQ(script.count("moniker0.BindToObject"), 1);
  EXPECT_EQ(script.count("moniker1.BindToObject"), 1);
  EXPECT_EQ(script.count("moniker2.BindToObject"), 0);
  EXPECT_FALSE(flag);
  EXPECT_EQ(script.live_objects, 0);
}

TEST_F(Uvc11ProbeTest, PrefixOfTheLinkIsNoMatch) {
  add(std::string(kLink).substr(0, 20), {unit_with({kH264UnitSet})});
  probe();
  EXPECT_EQ(script.count("moniker0.BindToObject"), 0);
  EXPECT_FALSE(flag);
}

// ---- Walking nodes.

TEST_F(Uvc11ProbeTest, NoExtensionUnitNodeMeansNoLinesAndNoQuery) {
  FakeKsNode plain = unit_with({kH264UnitSet});
  plain.type = kOtherNode;
  add(kLink, {plain, unit_with({kOtherSet})});
  probe();
  EXPECT_EQ(section.text(), "");
  EXPECT_FALSE(flag);
  EXPECT_EQ(script.count("moniker0.topology.CreateNodeInstance"), 1);  // node 1 only
  EXPECT_EQ(script.live_objects, 0);
}

TEST_F(Uvc11ProbeTest, MatchInSecondNodeStopsTheWholeWalk) {
  add(kLink,
      {unit_with({kOtherSet}), unit_with({kOtherSet, kH264UnitSet}), unit_with({kH264UnitSet})});
  add(kLink, {unit_with({kH264UnitSet})});
  probe();
  EXPECT_TRUE(flag);
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(script.count("moniker0.topology.get_NodeType"), 2);
  EXPECT_EQ(script.count("moniker0.node2.KsProperty"), 0);
  EXPECT_EQ(script.count("Next"), 1);
  EXPECT_EQ(script.live_objects, 0);
}

TEST_F(Uvc11ProbeTest, SecondMonikerWithTheSamePathIsProbedWhenFirstHasNoUnit) {
  add(kLink, {unit_with({kOtherSet})});
  add(kLink, {unit_with({kH264UnitSet})});
  probe();
  EXPECT_TRUE(flag);
  EXPECT_EQ(script.count("moniker1.node0.KsProperty"), 2);
}

TEST_F(Uvc11ProbeTest, NeverClearsAFlagAlreadySet) {
  flag = true;
  add(kLink, {unit_with({kOtherSet})});
  probe();
  EXPECT_TRUE(flag);
}

// ---- The property request and the answer.

TEST_F(Uvc11ProbeTest, AsksTheNodeForItsPropertySetsWithAKspNode) {
  FakeKsNode plain;
  plain.type = kOtherNode;
  add(kLink, {plain, plain, unit_with({kOtherSet, kOtherSet})});
  probe();
  ASSERT_EQ(directshow.ks_calls.size(), 2u);
  const std::vector<std::uint8_t> expected = {0,    0,    0,    0,    0, 0, 0, 0,
                                              0,    0,    0,    0,    0, 0, 0, 0,  // GUID_NULL
                                              0,    0,    0,    0,                 // property 0
                                              0x00, 0x01, 0x00, 0x10,  // TOPOLOGY | SETSUPPORT
                                              2,    0,    0,    0,     // node 2
                                              0,    0,    0,    0};
  EXPECT_EQ(directshow.ks_calls[0].request, expected);
  EXPECT_EQ(directshow.ks_calls[1].request, expected);
  EXPECT_FALSE(directshow.ks_calls[0].has_data);
  EXPECT_EQ(directshow.ks_calls[0].data_length, 0u);
  EXPECT_TRUE(directshow.ks_calls[1].has_data);
  EXPECT_EQ(directshow.ks_calls[1].data_length, 32u);
}

TEST_F(Uvc11ProbeTest, SizeQueryFailureCodeIsNotAnError) {
  add(kLink, {unit_with({kH264UnitSet})});
  script.fail("moniker0.node0.KsProperty", E_FAIL, 0);
  probe();
  EXPECT_TRUE(flag);
  EXPECT_EQ(section.text(), "");
}

struct AnswerCase {
  const char* name;
  std::vector<GUID> sets;
  std::optional<std::uint32_t> size;
  std::optional<std::uint32_t> returned;
  bool found;
};

class Uvc11AnswerTest : public Uvc11ProbeTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(Uvc11AnswerTest, ComparesOnlyWholeGuidsInsideTheBuffer) {
  FakeKsNode node = unit_with(GetParam().sets);
  node.size_answer = GetParam().size;
  node.returned_answer = GetParam().returned;
  add(kLink, {node});
  probe();
  EXPECT_EQ(flag, GetParam().found);
  EXPECT_EQ(section.text(), "");
  EXPECT_EQ(script.live_objects, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers,
    Uvc11AnswerTest,
    ::testing::Values(
        AnswerCase{"FirstOfOne", {kH264UnitSet}, std::nullopt, std::nullopt, true},
        AnswerCase{"FortyBytesTwoGuidsSecondMatches",
                   {kOtherSet, kH264UnitSet, kOtherSet},
                   40u,
                   40u,
                   true},
        AnswerCase{"FortyBytesThirdGuidNeverCompared",
                   {kOtherSet, kOtherSet, kH264UnitSet},
                   40u,
                   40u,
                   false},
        AnswerCase{"FifteenBytesHoldNoGuid", {kH264UnitSet}, 15u, 15u, false},
        AnswerCase{"CountBeyondBufferWithMatchInside", {kH264UnitSet}, 16u, 4096u, true},
        AnswerCase{"CountBeyondBufferNoMatchInside", {kOtherSet}, 16u, 0xFFFFFFF0u, false},
        AnswerCase{"ReturnedCountLimitsTheWalk", {kOtherSet, kH264UnitSet}, 32u, 16u, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cc
