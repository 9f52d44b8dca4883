// Pinning and collecting through the queue: the pinned list and the layout they save, the room
// right of the notch, what a failed pin puts back, and the zone changes of the manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/OperationsFixture.h"
#include "System/MenuBarProxyManager.h"

namespace vimbo::testing {
namespace {

using Zone = MenuBarLayoutZone;

// Three safe residents 60, 60 and 50 wide fill the band from 1030 to the control item; the band
// right of the notch is 200 wide, so P (40 wide) needs A to make room.
sim::WorldSpec workedExample(double pWidth = 40) {
  return notchWorld(1000, {{"P", pWidth}, {"A", 60}, {"B", 60}, {"E", 50}});
}

void settle(OperationsFixture& f) {
  EXPECT_TRUE(f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 60s));
}

std::optional<MenuBarLayoutRecord> savedLayout(OperationsFixture& f) {
  auto data = f.defaults->data(MenuBarStore::layoutKey);
  if (!data) return std::nullopt;
  return MenuBarLayoutRecord::decode(std::string(data->begin(), data->end()));
}

std::vector<std::string> savedPins(OperationsFixture& f) {
  return f.defaults->stringArray(MenuBarProxyManager::pinnedIdentitiesKey).value_or(std::vector<std::string>{});
}

std::vector<std::string> identities(OperationsFixture& f, const std::vector<std::string>& keys) {
  std::vector<std::string> out;
  for (const auto& key : keys) out.push_back(f.captured(key).stableIdentity);
  return out;
}

TEST(Pin, AQueuedPinDragsTheItemNextToTheControlItemAndSavesPinAndLayout) {
  OperationsFixture f(operationsWorld());
  f.start();
  AppDelegate& app = f.app();
  const CapturedMenuBarItem notes = f.captured("notes");
  ASSERT_TRUE(notes.isCollected);

  f.manager().pinSystemItem(notes.id);
  EXPECT_EQ(app.activeSystemItemOperationCount, 1);
  settle(f);
  EXPECT_EQ(f.drags(), 1u);
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000, 1, 10000}));
  EXPECT_EQ(f.frame("notes").maxX(), f.control().minX());
  EXPECT_FALSE(f.captured("notes").isCollected);
  EXPECT_EQ(savedPins(f), (std::vector<std::string>{notes.stableIdentity}));
  ASSERT_TRUE(savedLayout(f));
  EXPECT_EQ(savedLayout(f)->orderedIdentities[Zone::visible], (std::vector<std::string>{notes.stableIdentity}));

  // A drop into the visible zone at the front ends with the record there.
  const CapturedMenuBarItem tally = f.captured("tally");
  f.manager().moveSystemItemToLayout(tally.id, Zone::visible, 0);
  settle(f);
  EXPECT_EQ(app.store.persistableLayoutIdentities(Zone::visible),
            (std::vector<std::string>{tally.stableIdentity, notes.stableIdentity}));
  EXPECT_EQ(savedLayout(f)->orderedIdentities[Zone::visible], app.store.persistableLayoutIdentities(Zone::visible));
  f.expectSafe();
}

struct PlanRow {
  std::string name;
  std::function<sim::WorldSpec()> world;
  std::vector<std::string> visible = {};  // left to right, right of the divider
  std::string pinned = "P";
  std::function<void(OperationsFixture&)> arrange = [](OperationsFixture&) {};
  bool possible = true;
  std::vector<std::string> swapped = {};
};

std::ostream& operator<<(std::ostream& os, const PlanRow& row) { return os << row.name; }

struct NotchRoomPlan : ::testing::TestWithParam<PlanRow> {};

TEST_P(NotchRoomPlan, SwapsOutWhatCannotBeSeenThenTheLeftmostUntilTheRestFits) {
  const PlanRow& row = GetParam();
  OperationsFixture f(row.world());
  f.start(row.visible);
  row.arrange(f);
  CapturedMenuBarItem item;
  if (row.pinned == "unlisted") {
    item.id = 999999;
    item.name = "手工";
    item.windowName = "Handmade";
  } else {
    item = f.captured(row.pinned);
  }
  const AppDelegate::ResidentPinPlan plan = f.app().residentPinPlan(item);
  EXPECT_EQ(plan.isPossible, row.possible);
  std::vector<uint32_t> expected, actual;
  for (const auto& key : row.swapped) expected.push_back(f.window(key));
  for (const auto& swapped : plan.swappedItems) actual.push_back(swapped.id);
  EXPECT_EQ(actual, expected);
  EXPECT_FALSE(f.anyMouseEvent());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NotchRoomPlan,
    ::testing::Values(
        PlanRow{.name = "too_little_room_swaps_the_leftmost_safe_resident",
                .world = [] { return workedExample(); },
                .visible = {"A", "B", "E"},
                .swapped = {"A"}},
        PlanRow{.name = "a_resident_under_the_notch_goes_although_the_rest_fits",
                .world = [] { return notchWorld(1100, {{"P", 40}, {"U", 60}, {"E", 50}}); },
                .visible = {"U", "E"},
                .swapped = {"U"}},
        PlanRow{.name = "a_fixed_item_under_the_notch_makes_it_impossible",
                .world = [] { return notchWorld(1100, {{"P", 40}, {"U", 60}, {"E", 50}}); },
                .visible = {"U", "E"},
                .arrange = [](OperationsFixture& f) { f.overrideFrame("clock", Rect{1092, 0, 46, 37}); },
                .possible = false},
        PlanRow{.name = "an_item_with_no_width_cannot_be_pinned",
                .world = [] { return workedExample(); },
                .visible = {"A"},
                .pinned = "unlisted",
                .possible = false},
        PlanRow{.name = "no_divider_no_plan",
                .world = [] { return workedExample(); },
                .arrange = [](OperationsFixture& f) { f.world().switches().dividerWindowMissing = true; },
                .possible = false},
        PlanRow{.name = "room_enough_on_a_plain_screen",
                .world = [] { return operationsWorld(); },
                .visible = {"tally", "drift"},
                .pinned = "notes"}),
    [](const ::testing::TestParamInfo<PlanRow>& info) { return info.param.name; });

TEST(Pin, MakesRoomRightOfTheNotchBySwappingOutTheLeftmostResidentFirst) {
  OperationsFixture f(workedExample());
  f.start({"A", "B", "E"});
  f.pinAsVisible({"A", "B", "E"});
  const auto p = f.captured("P");
  const Point aCentre = f.frame("A").center();

  f.app().pinSystemItem(p.id);
  settle(f);
  const auto downs = f.posted(EventType::LeftMouseDown);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_EQ(downs[0].event.location, aCentre) << "the resident goes first";
  EXPECT_TRUE(f.standsCollected("A"));
  std::vector<std::string> band;
  for (const auto& key : {"A", "B", "E", "P"}) {
    if (f.standsVisible(key)) band.push_back(key);
  }
  EXPECT_EQ(band, (std::vector<std::string>{"B", "E", "P"}));
  EXPECT_LT(f.frame("B").minX(), f.frame("E").minX());
  EXPECT_LT(f.frame("E").minX(), f.frame("P").minX());

  AppDelegate& app = f.app();
  EXPECT_EQ(app.store.layoutZone(f.captured("A")), Zone::collected) << "no longer actually visible";
  EXPECT_EQ(app.store.persistableLayoutIdentities(Zone::visible), identities(f, {"B", "E", "P"}));
  EXPECT_EQ(app.proxyManager.pinnedIdentities(), identities(f, {"B", "E", "P"}));
  EXPECT_EQ(savedPins(f), identities(f, {"B", "E", "P"}));
  EXPECT_TRUE(f.captured("A").isCollected);
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  f.expectSafe();
}

struct FailedPinRow {
  std::string name;
  std::function<sim::WorldSpec()> world = [] { return workedExample(); };
  std::vector<std::string> residents = {"A", "B", "E"};
  std::function<void(OperationsFixture&)> arrange = [](OperationsFixture&) {};
  std::string sentence;
  size_t drags = 0;
};

std::ostream& operator<<(std::ostream& os, const FailedPinRow& row) { return os << row.name; }

struct FailedPin : ::testing::TestWithParam<FailedPinRow> {};

TEST_P(FailedPin, PutsTheSwappedResidentsBackAndCommitsNothing) {
  const FailedPinRow& row = GetParam();
  OperationsFixture f(row.world());
  f.start(row.residents);
  f.pinAsVisible(row.residents);
  row.arrange(f);
  const auto layoutBefore = savedLayout(f);
  const auto pinsBefore = savedPins(f);
  const CapturedMenuBarItem p = f.captured("P");

  EXPECT_FALSE(f.run([&](AppDelegate& app) { return app.pinSystemItemNow(p, false); }));
  EXPECT_EQ(f.store().lastError.get(), row.sentence);
  EXPECT_EQ(f.drags(), row.drags);
  for (const auto& key : row.residents) EXPECT_TRUE(f.standsVisible(key)) << key;
  EXPECT_TRUE(f.standsCollected("P"));
  EXPECT_EQ(savedLayout(f), layoutBefore);
  auto pins = savedPins(f);
  std::sort(pins.begin(), pins.end());
  auto expected = pinsBefore;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(pins, expected) << "every resident pinned again";
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  f.expectSafe();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FailedPin,
    ::testing::Values(
        FailedPinRow{.name = "the_clock_stands_under_the_notch",
                     .world = [] { return notchWorld(1100, {{"P", 40}, {"U", 60}, {"E", 50}}); },
                     .residents = {"U", "E"},
                     .arrange = [](OperationsFixture& f) { f.overrideFrame("clock", Rect{1092, 0, 46, 37}); },
                     .sentence = "常驻“P”需要的刘海右侧空间不足，且没有可安全收纳的项目。"},
        // P 100 wide needs A and B out; B will not move, so A comes back.
        FailedPinRow{.name = "the_second_swap_out_fails",
                     .world = [] { return workedExample(100); },
                     .arrange = [](OperationsFixture& f) { f.world().faults("B").ignoresDrags = true; },
                     .sentence = "无法为“P”腾出刘海右侧空间，已恢复原有常驻状态。",
                     .drags = 3},
        // P's drop lands right of the control item once: P goes back, then A does.
        FailedPinRow{.name = "the_item_lands_beyond_the_control_item",
                     .arrange =
                         [](OperationsFixture& f) {
                           f.world().faults("P").landsRightOfControl = true;
                           f.whenPosted(EventType::LeftMouseUp, [&f] { f.world().faults("P").landsRightOfControl = false; },
                                        1);
                         },
                     .sentence = "无法将“P”安全放入刘海右侧，已恢复原有常驻状态。",
                     .drags = 4}),
    [](const ::testing::TestParamInfo<FailedPinRow>& info) { return info.param.name; });

TEST(Pin, AnIdentityThatCannotBeRestoredKeepsThePinForThisRunOnly) {
  OperationsFixture f(operationsWorld());
  f.start();
  const auto pinsBefore = f.defaults->object(MenuBarProxyManager::pinnedIdentitiesKey);
  const CapturedMenuBarItem bare = f.captured("bare");
  f.app().pinSystemItem(bare.id);
  settle(f);
  EXPECT_EQ(f.store().lastError.get(), "无法为“Plainly”找到稳定标识；已保留当前位置，重启后不会自动移动同名项目。");
  EXPECT_EQ(f.defaults->object(MenuBarProxyManager::pinnedIdentitiesKey), pinsBefore);
  EXPECT_TRUE(f.standsVisible("bare"));
  EXPECT_FALSE(f.captured("bare").isCollected);
  EXPECT_EQ(f.store().layoutZone(f.captured("bare")), Zone::visible);
  EXPECT_TRUE(f.app().proxyManager.runtimePinnedIdentities().contains(bare.id));
  f.expectSafe();
}

TEST(Collect, AMoveThatFailsButLeavesTheItemOutOfSightStillDropsThePin) {
  OperationsFixture f(operationsWorld());
  f.start({"notes"});
  f.pinAsVisible({"notes"});
  const CapturedMenuBarItem notes = f.captured("notes");
  // From the drop on, the window server lists it on screen far left: left of the divider while the
  // bar is revealed, but after the collapse neither off the screen nor visible.
  f.whenPosted(EventType::LeftMouseUp, [&] { f.overrideFrame("notes", Rect{100, 0, 30, 24}); });
  EXPECT_TRUE(f.run([&](AppDelegate& app) { return app.collectSystemItemNow(notes, false); }));
  EXPECT_EQ(f.store().lastError.get(), "未能确认“NotesStatus”在收纳状态下位于目标侧。");
  EXPECT_TRUE(f.app().proxyManager.pinnedIdentities().empty());
  EXPECT_TRUE(savedPins(f).empty());
  EXPECT_TRUE(f.captured("notes").isCollected);
  f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing
