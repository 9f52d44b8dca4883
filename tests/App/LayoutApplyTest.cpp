// Applying a layout drawn in the settings window: collects first, then pins, the final check, the
// fewest-drags order alignment, and what a refusal or a failure leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "App/OperationsFixture.h"
#include "Platform/Sim/WorldJson.h"
#include "System/MenuBarProxyManager.h"

namespace vimbo::testing {
namespace {

using Zone = MenuBarLayoutZone;

bool layoutSaved(OperationsFixture& f) { return f.defaults->hasObject(MenuBarStore::layoutKey); }

TEST(LayoutApply, ADraftEqualToTheBarMovesNothingYetSavesTheLayoutAndMergesThePins) {
  OperationsFixture f(operationsWorld());
  f.start({"notes", "tally"});
  // Pinned in the other order than they stand.
  f.app().proxyManager.pin(f.captured("tally"));
  f.app().proxyManager.pin(f.captured("notes"));
  for (const auto& key : {"notes", "tally"}) f.store().commitLayoutMovement(f.window(key), Zone::visible, std::nullopt, true);
  f.defaults->removeObject(MenuBarStore::layoutKey);

  EXPECT_TRUE(f.apply(f.store().currentMenuBarLayoutDraft()));
  EXPECT_FALSE(f.anyMouseEvent());
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000}));
  EXPECT_TRUE(layoutSaved(f)) << "written although nothing changed";
  EXPECT_EQ(f.app().proxyManager.pinnedIdentities(),
            (std::vector<std::string>{f.captured("notes").stableIdentity, f.captured("tally").stableIdentity}));
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  f.expectSafe();
}

// Live 1 2 3 4 5, wanted 1 3 5 2 4: only 2 and then 4 move, each to the right end.
MenuBarLayoutDraft reorderDraft(OperationsFixture& f) {
  MenuBarLayoutDraft draft = f.store().currentMenuBarLayoutDraft();
  auto& visible = draft.orderedIDs[Zone::visible];
  std::vector<uint32_t> fixed;
  for (uint32_t id : visible) {
    if (id == f.window("bento") || id == f.window("clock")) fixed.push_back(id);
  }
  visible = {f.window("notes"), f.window("drift"), f.window("wifi"), f.window("tally"), f.window("bare")};
  visible.insert(visible.end(), fixed.begin(), fixed.end());
  return draft;
}

void startFiveVisible(OperationsFixture& f) {
  f.start({"notes", "tally", "drift", "bare", "wifi"});
  f.pinAsVisible({"notes", "tally", "drift", "bare", "wifi"});
}

TEST(LayoutApply, AReorderDragsOnlyTheMinimalSuffixEachToTheRightEnd) {
  OperationsFixture f(operationsWorld());
  startFiveVisible(f);
  const Point tally = f.frame("tally").center(), bare = f.frame("bare").center();
  f.defaults->removeObject(MenuBarStore::layoutKey);

  EXPECT_TRUE(f.apply(reorderDraft(f)));
  const auto downs = f.posted(EventType::LeftMouseDown);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_EQ(downs[0].event.location, tally);
  EXPECT_EQ(downs[1].event.location.y, bare.y);
  for (const auto& up : f.posted(EventType::LeftMouseUp)) {
    EXPECT_EQ(up.event.location, (Point{f.control().minX(), f.control().midY()}));
  }
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000, 1, 10000}));
  EXPECT_EQ(f.liveBand(), (std::vector<std::string>{"notes", "drift", "wifi", "tally", "bare"}));
  EXPECT_TRUE(layoutSaved(f));
  f.expectSafe();
}

// On the studio display every third-party item ignores the targeted move: a swap of two pinned
// ones must be dragged, and each drag is judged at its slot next to the control item.
TEST(LayoutApply, SwappingTwoVisibleThirdPartyItemsIsDraggedIntoPlaceAndSaved) {
  auto load = sim::loadWorld(sim::shippedWorldsFolder() / "plain-1920.json");
  ASSERT_TRUE(std::holds_alternative<sim::WorldSpec>(load));
  OperationsFixture f(std::get<sim::WorldSpec>(std::move(load)));
  f.start({"lumen-notes", "tallybird"});
  f.pinAsVisible({"lumen-notes", "tallybird"});
  f.defaults->removeObject(MenuBarStore::layoutKey);
  MenuBarLayoutDraft draft = f.store().currentMenuBarLayoutDraft();
  auto& visible = draft.orderedIDs[Zone::visible];
  std::iter_swap(std::find(visible.begin(), visible.end(), f.window("lumen-notes")),
                 std::find(visible.begin(), visible.end(), f.window("tallybird")));

  EXPECT_TRUE(f.apply(draft));
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  EXPECT_TRUE(layoutSaved(f));
  const auto band = f.liveBand();
  const auto at = [&](const std::string& key) { return std::find(band.begin(), band.end(), key) - band.begin(); };
  EXPECT_LT(at("tallybird"), at("lumen-notes"));
  EXPECT_LT(at("lumen-notes"), static_cast<std::ptrdiff_t>(band.size()));
  f.expectSafe();
}

TEST(LayoutApply, CollectsComeFirstInCapturedOrderThenPinsThenTheOrder) {
  OperationsFixture f(operationsWorld());
  f.start({"notes", "tally"});
  f.pinAsVisible({"notes", "tally"});
  const Point notes = f.frame("notes").center(), tally = f.frame("tally").center();
  const MenuBarLayoutDraft draft = f.draftWith({{"notes", Zone::collected}, {"tally", Zone::hidden}, {"drift", Zone::visible}});

  EXPECT_TRUE(f.apply(draft));
  const auto downs = f.posted(EventType::LeftMouseDown);
  ASSERT_EQ(downs.size(), 3u);
  EXPECT_EQ(downs[0].event.location, notes);
  EXPECT_EQ(downs[1].event.location, tally);
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000, 1, 10000, 1, 10000, 1, 10000}));
  EXPECT_EQ(f.liveBand(), (std::vector<std::string>{"drift"}));
  for (const auto& [key, zone] : {std::pair{"notes", Zone::collected}, {"tally", Zone::hidden}, {"drift", Zone::visible}}) {
    EXPECT_EQ(f.store().layoutZone(f.captured(key)), zone) << key;
  }
  f.expectSafe();
}

TEST(LayoutApply, AnOrderThatSettlesLateIsStillConfirmed) {
  OperationsFixture f(operationsWorld());
  startFiveVisible(f);
  f.world().switches().dragSettleLatency = 600ms;
  EXPECT_TRUE(f.apply(reorderDraft(f)));
  EXPECT_EQ(f.drags(), 2u);
  EXPECT_EQ(f.liveBand(), (std::vector<std::string>{"notes", "drift", "wifi", "tally", "bare"}));
  f.expectSafe();
}

struct RefusalRow {
  std::string name;
  std::function<MenuBarLayoutDraft(OperationsFixture&)> draft;
  std::string sentence;
  bool alignOnly = false;  // call the order alignment by itself
};

std::ostream& operator<<(std::ostream& os, const RefusalRow& row) { return os << row.name; }

struct LayoutApplyRefusal : ::testing::TestWithParam<RefusalRow> {};

TEST_P(LayoutApplyRefusal, TouchesNothingBeforeAnythingMoves) {
  const RefusalRow& row = GetParam();
  OperationsFixture f(operationsWorld());
  f.start({"notes"});
  f.pinAsVisible({"notes"});
  const MenuBarLayoutDraft draft = row.draft(f);
  const auto layout = f.store().menuBarLayout.get();
  f.defaults->removeObject(MenuBarStore::layoutKey);

  const bool result = row.alignOnly ? f.run([&](AppDelegate& app) { return app.applyVisibleNativeOrder(draft); })
                                    : f.apply(draft);
  EXPECT_FALSE(result);
  EXPECT_EQ(f.store().lastError.get(), row.sentence);
  EXPECT_FALSE(f.anyMouseEvent());
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000}));
  EXPECT_EQ(f.store().menuBarLayout.get(), layout);
  EXPECT_FALSE(layoutSaved(f));
  f.expectSafe();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LayoutApplyRefusal,
    ::testing::Values(
        RefusalRow{"an_item_appeared_since_the_draft",
                   [](OperationsFixture& f) {
                     const MenuBarLayoutDraft draft = f.store().currentMenuBarLayoutDraft();
                     sim::ItemSpec late;
                     late.key = "late";
                     late.windowName = "Late";
                     late.ownerPID = 504;
                     f.world().addItem(late);
                     f.refresh();
                     return draft;
                   },
                   "菜单栏项目已更新，请刷新后重试。"},
        RefusalRow{"the_clock_drafted_collected",
                   [](OperationsFixture& f) { return f.draftWith({{"clock", Zone::collected}}); },
                   "时钟由 macOS 固定，无法收纳"},
        RefusalRow{"control_center_drafted_hidden",
                   [](OperationsFixture& f) { return f.draftWith({{"bento", Zone::hidden}}); },
                   "控制中心由 macOS 固定，无法收纳"},
        RefusalRow{"the_order_of_an_item_not_standing_visible",
                   [](OperationsFixture& f) { return f.draftWith({{"drift", Zone::visible}}); },
                   "未能确认当前菜单栏项目顺序，请刷新后重试。", true}),
    [](const ::testing::TestParamInfo<RefusalRow>& info) { return info.param.name; });

}  // namespace
}  // namespace vimbo::testing
