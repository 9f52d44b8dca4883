// A layout apply that fails after it moved items: the bar collapsed again, the draft unsaved and
// the sentence of the step that failed; and the apply's place in the operation queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/OperationsFixture.h"
#include "System/MenuBarProxyManager.h"

namespace vimbo::testing {
namespace {

using Zone = MenuBarLayoutZone;

struct FailureRow {
  std::string name;
  std::function<sim::WorldSpec()> world;
  std::vector<std::string> visible;  // standing, pinned and recorded visible, left to right
  std::function<MenuBarLayoutDraft(OperationsFixture&)> draft;
  std::function<void(OperationsFixture&)> arrange = [](OperationsFixture&) {};
  std::string sentence;
  std::function<void(OperationsFixture&)> also = [](OperationsFixture&) {};
};

std::ostream& operator<<(std::ostream& os, const FailureRow& row) { return os << row.name; }

struct LayoutApplyFailure : ::testing::TestWithParam<FailureRow> {};

TEST_P(LayoutApplyFailure, CollapsesAgainKeepsTheFailingStepsSentenceAndSavesNothing) {
  const FailureRow& row = GetParam();
  OperationsFixture f(row.world());
  f.start(row.visible);
  f.pinAsVisible(row.visible);
  const MenuBarLayoutDraft draft = row.draft(f);
  const auto savedLayout = f.defaults->object(MenuBarStore::layoutKey);
  row.arrange(f);

  EXPECT_FALSE(f.apply(draft));
  EXPECT_EQ(f.store().lastError.get(), row.sentence);
  EXPECT_TRUE(f.app().menuBarHider.isCollapsed);
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  EXPECT_EQ(f.defaults->object(MenuBarStore::layoutKey), savedLayout) << "the draft is not saved";
  row.also(f);
  f.expectSafe();
}

// Live 1 2 3 4 5, wanted 1 3 5 2 4.
MenuBarLayoutDraft fullReorderDraft(OperationsFixture& f) {
  MenuBarLayoutDraft draft = f.store().currentMenuBarLayoutDraft();
  draft.orderedIDs[Zone::visible] = {f.window("notes"), f.window("drift"), f.window("wifi"), f.window("tally"),
                                     f.window("bare"), f.window("bento"), f.window("clock")};
  return draft;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LayoutApplyFailure,
    ::testing::Values(
        // Room right of the notch for two of the three: pinning X swaps A out.
        FailureRow{.name = "a_pin_pushes_an_earlier_visible_item_out",
                   .world = [] { return notchWorld(1000, {{"X", 50}, {"A", 80}, {"B", 80}}); },
                   .visible = {"A", "B"},
                   .draft = [](OperationsFixture& f) { return f.draftWith({{"X", Zone::visible}}); },
                   .sentence = "刘海右侧空间不足，已保持可重试状态。",
                   .also =
                       [](OperationsFixture& f) {
                         EXPECT_EQ(f.liveBand(), (std::vector<std::string>{"B", "X"}));
                         EXPECT_EQ(f.store().layoutZone(f.captured("A")), Zone::collected) << "recorded, unsaved";
                       }},
        // While Y is collected, X turns up in the band; pinning Z then needs X's room.
        FailureRow{.name = "an_item_drafted_visible_ends_out_of_sight",
                   .world = [] { return notchWorld(1000, {{"X", 60}, {"Z", 40}, {"Y", 30}, {"A", 60}, {"B", 60}}); },
                   .visible = {"Y", "A", "B"},
                   .draft =
                       [](OperationsFixture& f) {
                         return f.draftWith({{"Y", Zone::collected}, {"X", Zone::visible}, {"Z", Zone::visible}});
                       },
                   .arrange =
                       [](OperationsFixture& f) {
                         f.whenPosted(EventType::LeftMouseUp, [&f] { f.world().moveItemBefore("X", "A"); });
                       },
                   .sentence = "未能确认“X”位于显示区域。"},
        FailureRow{.name = "an_order_that_never_settles",
                   .world = [] { return operationsWorld(); },
                   .visible = {"notes", "tally", "drift", "bare", "wifi"},
                   .draft = fullReorderDraft,
                   .arrange = [](OperationsFixture& f) { f.world().switches().dragSettleLatency = 2s; },
                   .sentence = "整理后未能确认菜单栏项目顺序。",
                   .also =
                       [](OperationsFixture& f) {
                         EXPECT_EQ(f.drags(), 2u);
                         EXPECT_EQ(f.elapsed(), 75ms + 2 * (40ms + 653ms) + 16 * 50ms);
                       }}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return info.param.name; });

// A pin that succeeds with a note (the item's identity will not survive a restart) must not
// explain a later failure of the same apply.
TEST(LayoutApplySentence, AFailureShowsItsOwnSentenceNotAnEarlierNote) {
  const std::string note = "无法为“Plainly”找到稳定标识；已保留当前位置，重启后不会自动移动同名项目。";
  for (const bool orderSettles : {false, true}) {
    SCOPED_TRACE(orderSettles ? "the order settles" : "the order never settles");
    OperationsFixture f(operationsWorld());
    f.start({"notes", "tally"});
    f.pinAsVisible({"notes", "tally"});
    // Wanted: notes, bare, tally. After the pin of bare the bar shows notes, tally, bare, so only
    // tally moves; one slot off, it lands where it stood.
    MenuBarLayoutDraft draft = f.store().currentMenuBarLayoutDraft();
    draft.move(f.window("bare"), Zone::visible, 1);
    if (!orderSettles) f.world().faults("tally").landsSlotsOff = 1;

    EXPECT_EQ(f.apply(draft), orderSettles);
    EXPECT_EQ(f.store().lastError.get(), orderSettles ? note : "整理后未能确认菜单栏项目顺序。");
    EXPECT_EQ(f.liveBand(), orderSettles ? (std::vector<std::string>{"notes", "bare", "tally"})
                                         : (std::vector<std::string>{"notes", "tally", "bare"}));
    f.expectSafe();
  }
}

// The apply waits for the two pins queued before it and is itself one operation of the queue.
TEST(LayoutApplyQueue, RunsInItsTurnAsOneOperation) {
  OperationsFixture f(operationsWorld());
  f.start({"drift"});
  AppDelegate& app = f.app();
  const MenuBarLayoutDraft draft =
      f.draftWith({{"notes", Zone::visible}, {"tally", Zone::visible}, {"drift", Zone::collected}});
  const SettingsActions settings = f.settings();
  f.world().clearRecords();

  int64_t most = 0;
  f.when([&] {
    most = std::max(most, app.activeSystemItemOperationCount);
    return false;
  }, [] {});
  // The order in which the four operations land their items.
  std::vector<std::string> landed;
  for (const auto& [key, visible] : {std::pair{"notes", true}, {"tally", true}, {"drift", false}, {"bare", true}}) {
    f.when([&f, key, visible] { return visible ? f.standsVisible(key) : f.standsCollected(key); },
           [&landed, key] { landed.push_back(key); });
  }
  f.manager().pinSystemItem(f.window("notes"));
  f.manager().pinSystemItem(f.window("tally"));
  std::optional<async::TimePoint> appliedAt;
  auto applied = async::spawn(f.executor, [&]() -> async::Task<bool> {
    auto apply = settings.applyMenuBarLayout(draft);
    const bool result = co_await std::move(apply);
    appliedAt = f.now();
    co_return result;
  });
  f.runFor(0ms);
  f.manager().moveSystemItemToLayout(f.window("bare"), Zone::visible, std::nullopt);
  EXPECT_EQ(app.activeSystemItemOperationCount, 4);

  EXPECT_TRUE(f.runUntil([&] { return app.activeSystemItemOperationCount == 0 && applied.isDone(); }, 60s));
  EXPECT_EQ(most, 4);
  EXPECT_EQ(applied.result(), true);
  EXPECT_EQ(landed, (std::vector<std::string>{"notes", "tally", "drift", "bare"}));
  const auto downs = f.posted(EventType::LeftMouseDown);
  ASSERT_EQ(downs.size(), 4u);
  ASSERT_TRUE(appliedAt);
  EXPECT_GT(*appliedAt, downs[2].time) << "the apply answers after its own collect";
  EXPECT_LT(*appliedAt, downs[3].time) << "and before the zone change queued after it";
  EXPECT_TRUE(f.standsVisible("bare"));
  f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing
