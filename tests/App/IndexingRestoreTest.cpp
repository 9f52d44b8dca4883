// Putting the bar back after indexing: items return to their recorded zones and orders by the
// fewest drags; a bar that cannot be confirmed is left expanded with the stop sentence.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "App/RestoreWorlds.h"

namespace vimbo::testing {
namespace {

using Result = AppDelegate::MenuExtraIndexingResult;

constexpr const char* kStopped = "菜单项识别已停止；无法确认原有顺序，已保持菜单栏展开供你检查。";

// The plain controller world with a fifth item; Ember and Wi-Fi stand right of the divider.
sim::WorldSpec restoreWorld() {
  sim::WorldSpec spec = controllerWorld();
  spec.apps.push_back(test_support::installedApp(504, "Ember", "org.ember.status"));
  sim::ItemSpec ember;
  ember.key = "ember";
  ember.windowName = "EmberStatus";
  ember.ownerPID = 504;
  ember.axTitle = platform::AXValue{std::string("Ember")};
  auto wifi = std::find_if(spec.items.begin(), spec.items.end(), [](const sim::ItemSpec& i) { return i.key == "wifi"; });
  spec.items.insert(wifi, ember);
  return spec;
}

void swapFixedItems(ControllerFixture& f) {
  const Rect bento = *f.world().frameOf("bento"), clock = *f.world().frameOf("clock");
  f.world().overrideWindowField(windowOf(f, "bento"), platform::windowkey::bounds,
                                platform::WindowValue{Rect(clock.x, clock.y, bento.width, bento.height)});
  f.world().overrideWindowField(windowOf(f, "clock"), platform::windowkey::bounds,
                                platform::WindowValue{Rect(bento.x, bento.y, clock.width, clock.height)});
}

struct RestoreRow {
  const char* what;
  std::function<void(ControllerFixture&)> rearrange;
  Result result;
  std::vector<std::string> dragged;
  std::optional<async::Duration> lasted;
};

void PrintTo(const RestoreRow& row, std::ostream* os) { *os << row.what; }

class MenuExtraIndexingRestore : public ::testing::TestWithParam<RestoreRow> {};

TEST_P(MenuExtraIndexingRestore, PutsTheRecordedLayoutBackOrStopsExpanded) {
  const RestoreRow& row = GetParam();
  ControllerFixture f(restoreWorld());
  launchAndRefresh(f);
  f.world().moveItemBefore("ember", hider::controlName);
  f.world().moveItemBefore("wifi", hider::controlName);
  f.executor.runUntilIdle();
  const ZoneOrders recorded = zoneOrders(f);
  ASSERT_EQ(recorded, (ZoneOrders{{"notes", "tally", "drift"}, {"ember", "wifi"}, {"bento", "clock"}}));
  auto baseline = f.app().nativeMenuExtraIndexingSnapshot(std::nullopt);
  ASSERT_TRUE(baseline);

  row.rearrange(f);
  f.executor.runFor(1ms);
  f.world().clearRecords();
  DragLog drags(f);
  const async::TimePoint start = f.now();
  auto finish = f.drive([snapshot = *baseline](AppDelegate& app) { return app.finishMenuExtraIndexing(snapshot); });
  ASSERT_TRUE(finish.isDone());

  EXPECT_EQ(*finish.result(), row.result) << row.what;
  EXPECT_EQ(drags.items, row.dragged) << row.what;
  if (row.dragged.empty()) {
    EXPECT_EQ(mouseEventCount(f), 0u) << row.what;
  }
  if (row.lasted) {
    EXPECT_EQ(f.now() - start, *row.lasted) << row.what;
  }
  if (row.result == Result::finished) {
    EXPECT_EQ(zoneOrders(f), recorded) << row.what;
    EXPECT_EQ(f.store().lastError.get(), std::nullopt) << row.what;
    EXPECT_TRUE(f.store().systemItemsCollapsed.get()) << row.what;
    f.expectSafe();
  } else {
    EXPECT_EQ(f.store().lastError.get(), std::string(kStopped)) << row.what;
    EXPECT_FALSE(f.app().menuBarHider.isCollapsed) << row.what;
    EXPECT_FALSE(f.store().systemItemsCollapsed.get()) << row.what;
    f.expectSafe(hider::expandedLength);
  }
}

const RestoreRow kRestoreRows[] = {
    {"NothingRearrangedMovesNothing", [](ControllerFixture&) {}, Result::finished, {}, 160ms},
    {"CollectedOrderIsMendedByItsSuffix",
     [](ControllerFixture& f) { f.world().moveItemBefore("tally", "notes"); }, Result::finished, {"tally", "drift"},
     std::nullopt},
    {"AVisibleItemAmongTheCollectedGoesBackFirst",
     [](ControllerFixture& f) { f.world().moveItemBefore("ember", "notes"); }, Result::finished, {"ember", "wifi"},
     std::nullopt},
    {"MovedFixedItemsFailTheFinalCheck", swapFixedItems, Result::failed, {}, std::nullopt},
    {"AnItemAppearingStopsTheRestore",
     [](ControllerFixture& f) {
       sim::ItemSpec late = f.world().spec().items.front();
       late.key = "late";
       late.windowName = "LateStatus";
       f.world().addItem(late, 30ms);
     },
     Result::failed, {}, std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Rows, MenuExtraIndexingRestore, ::testing::ValuesIn(kRestoreRows),
                         [](const ::testing::TestParamInfo<RestoreRow>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace vimbo::testing
