// Which items need indexing from the safe slot, and the layout record the indexing takes before
// its first move: zones by side of the divider, each zone left to right.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "App/ControllerFixture.h"

namespace vimbo::testing {
namespace {

using IndexingZone = AppDelegate::MenuExtraIndexingZone;

TEST(SafeSlotIndexingNeed, OnlyUnnamedItem0WindowsWithPlaceholderNames) {
  struct Row {
    std::string windowName;
    std::string name;
    bool needed;
  };
  const std::vector<Row> rows{
      {"Item-0", "", true},
      {"Item-0", "  \n", true},
      {"Item-0", " Control Center ", true},
      {"Item-0", "系统项目", true},
      {"Item-0", "菜单栏项目", true},
      {"Item-0", "ITEM-0", true},
      {"Item-0", "控制中心", true},
      {"Item-0", "StatusItem", true},
      {"Item-0", "HISItem", true},
      {"Item-0", "RHSItem", true},
      {"Item-0", "\teitem\n", true},
      {"Item-0", "Lumen Notes", false},
      {"Item-0", "Control Centre", false},
      {"item-0", "", false},
      {"NotesStatus", " Control Center ", false},
      {"Clock", "", false},
      {"BentoBox-0", "control center", false},
  };
  for (const auto& row : rows) {
    CapturedMenuBarItem item;
    item.windowName = row.windowName;
    item.name = row.name;
    EXPECT_EQ(AppDelegate::needsSafeSlotIndexing(item), row.needed) << row.windowName << " / " << row.name;
  }
}

struct IndexingSnapshot : ::testing::Test {
  IndexingSnapshot() : f(controllerWorld()) { f.launch(false); }
  ControllerFixture f;
  AppDelegate& app() { return f.app(); }
  uint32_t window(const std::string& key) { return f.world().item(key)->windowNumber; }
  std::set<uint32_t> allWindows() {
    std::set<uint32_t> ids;
    for (const auto& item : app().captureService.discoverMenuBarItems()) ids.insert(item.id);
    return ids;
  }
};

TEST_F(IndexingSnapshot, RecordsEachItemsZoneAndEachZoneLeftToRight) {
  // Tally and Wi-Fi stand right of the divider; Notes and Drift stay collected.
  f.world().moveItemBefore("wifi", hider::controlName);
  f.world().moveItemBefore("tally", "wifi");
  f.executor.runUntilIdle();

  auto snapshot = app().nativeMenuExtraIndexingSnapshot(allWindows());
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->collectedIDs, (std::vector<uint32_t>{window("notes"), window("drift")}));
  EXPECT_EQ(snapshot->visibleIDs, (std::vector<uint32_t>{window("tally"), window("wifi")}));
  EXPECT_EQ(snapshot->fixedIDs, (std::vector<uint32_t>{window("bento"), window("clock")}));
  EXPECT_EQ(snapshot->orderedIDs(IndexingZone::visible), snapshot->visibleIDs);
  EXPECT_EQ(snapshot->orderedIDs(IndexingZone::collected), snapshot->collectedIDs);
  EXPECT_EQ(snapshot->orderedIDs(IndexingZone::fixed), snapshot->fixedIDs);
  EXPECT_EQ(snapshot->zonesByID.at(window("tally")), IndexingZone::visible);
  EXPECT_EQ(snapshot->zonesByID.at(window("notes")), IndexingZone::collected);
  EXPECT_EQ(snapshot->zonesByID.at(window("clock")), IndexingZone::fixed);
  EXPECT_EQ(snapshot->itemsByID.size(), 6u);
  EXPECT_EQ(snapshot->itemsByID.at(window("tally")).originalFrame, *f.world().frameOf("tally"));


  // Wi-Fi reported at Tally's left edge: the smaller window number comes first.
  f.world().overrideWindowField(window("wifi"), platform::windowkey::bounds,
                                platform::WindowValue{*f.world().frameOf("tally")});
  snapshot = app().nativeMenuExtraIndexingSnapshot(std::nullopt);
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->visibleIDs, (std::vector<uint32_t>{std::min(window("tally"), window("wifi")),
                                                         std::max(window("tally"), window("wifi"))}));
  f.expectSafe();
}

TEST_F(IndexingSnapshot, NoRecordWhenTheBarCannotBeToldApart) {
  std::set<uint32_t> expected = allWindows();

  std::set<uint32_t> missingOne = expected;
  missingOne.erase(window("notes"));
  EXPECT_FALSE(app().nativeMenuExtraIndexingSnapshot(missingOne)) << "an item appeared";
  std::set<uint32_t> extra = expected;
  extra.insert(1);
  EXPECT_FALSE(app().nativeMenuExtraIndexingSnapshot(extra)) << "an item vanished";

  // An item whose centre lies on the divider belongs to neither side.
  const Rect divider = *app().menuBarHider.windowServerFrame(hider::dividerName);
  f.world().overrideWindowField(window("notes"), platform::windowkey::bounds,
                                platform::WindowValue{Rect(divider.midX() - 15, 0, 30, 24)});
  EXPECT_FALSE(app().nativeMenuExtraIndexingSnapshot(expected)) << "an item on the divider";
  f.world().overrideWindowField(window("notes"), platform::windowkey::bounds,
                                platform::WindowValue{Rect(divider.minX() - 30, 0, 30, 24)});
  EXPECT_TRUE(app().nativeMenuExtraIndexingSnapshot(expected)) << "an item just left of it";

  f.world().switches().dividerWindowMissing = true;
  EXPECT_FALSE(app().nativeMenuExtraIndexingSnapshot(expected)) << "no divider";
  f.world().switches().dividerWindowMissing = false;
  f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing
