// The single verified move across the divider, its every failure, the side tests at their edges,
// the move while the bar is held revealed, and the fewest-drags reorder.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "App/OperationsFixture.h"

namespace vimbo::testing {
namespace {

const std::string kMoveUnsupported = "当前 macOS 版本不支持移动菜单栏项目；已保持菜单栏展开。";

async::Task<bool> move(AppDelegate& app, const CapturedMenuBarItem& item, Destination destination) {
  return app.moveSystemItem(item, destination);
}

TEST(SingleMove, CollectingAVisibleItemTakesOneCommandDragAnd693ms) {
  OperationsFixture f(operationsWorld());
  f.start({"bare"});
  const CapturedMenuBarItem bare = f.captured("bare");
  ASSERT_FALSE(bare.isCollected);
  ASSERT_FALSE(f.app().captureService.state().menuExtraAXOwnerPIDs.contains(bare.id))
      << "an item with a known accessibility owner is moved another way first";
  f.store().lastError.set("earlier");

  EXPECT_TRUE(f.run([&](AppDelegate& app) { return move(app, bare, Destination::collected); }));
  EXPECT_EQ(f.elapsed(), 693ms);
  EXPECT_EQ(f.drags(), 1u);
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000, 1, 10000}));
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  EXPECT_EQ(f.store().lastError.get(), "earlier");
  EXPECT_FALSE(f.captured("bare").isCollected) << "the move itself records nothing";
  // Immediately left of the divider, and pushed off the screen by it.
  EXPECT_EQ(f.frame("bare").maxX(), f.divider().minX());
  EXPECT_FALSE(f.app().captureService.isFrameOnScreen(f.frame("bare")));
  f.expectSafe();
}

TEST(SingleMove, AnItemAlreadyOnTheWantedSideIsNotDraggedButTheBarStillCycles) {
  OperationsFixture f(operationsWorld());
  f.start();
  const CapturedMenuBarItem bare = f.captured("bare");
  ASSERT_TRUE(bare.isCollected);
  EXPECT_TRUE(f.run([&](AppDelegate& app) { return move(app, bare, Destination::collected); }));
  EXPECT_FALSE(f.anyMouseEvent());
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000, 1, 10000}));
  EXPECT_EQ(f.elapsed(), 40ms);
  f.expectSafe();
}

TEST(SingleMove, ACollapseThatSettlesLateIsConfirmedAtTheThirteenthCheck) {
  OperationsFixture f(operationsWorld());
  f.start({"bare"});
  const CapturedMenuBarItem bare = f.captured("bare");
  f.whenPosted(EventType::LeftMouseUp, [&] { f.world().switches().dividerRelayoutLatency = 600ms; });
  EXPECT_TRUE(f.run([&](AppDelegate& app) { return move(app, bare, Destination::collected); }));
  EXPECT_EQ(f.elapsed(), 693ms + 12 * 50ms);
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  f.expectSafe();
}

// The divider's refusal contract: a refused expansion leaves the bar collapsed as it was.
TEST(SingleMove, ARefusedExpansionIsReportedWithTheBarLeftCollapsed) {
  OperationsFixture f(operationsWorld());
  f.start({"bare"});
  const CapturedMenuBarItem bare = f.captured("bare");
  f.world().switches().onScreenCountFailures = 1;
  EXPECT_FALSE(f.run([&](AppDelegate& app) { return move(app, bare, Destination::collected); }));
  EXPECT_EQ(f.store().lastError.get(), kMoveUnsupported);
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  EXPECT_FALSE(f.anyMouseEvent());
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000}));
  f.expectSafe();
}

struct MoveFailureRow {
  std::string name;
  std::string key;  // the item moved
  Destination destination;
  std::function<void(OperationsFixture&)> arrange;
  std::string sentence;
  bool collapsedAfter = true;
  size_t drags = 0;  // 0: no mouse event at all
  // What else the row promises, given the prompts counted before the move.
  std::function<void(OperationsFixture&, const MoveFailureRow&, int)> also =
      [](OperationsFixture&, const MoveFailureRow&, int) {};
};

std::ostream& operator<<(std::ostream& os, const MoveFailureRow& row) { return os << row.name; }

struct SingleMoveFailure : ::testing::TestWithParam<MoveFailureRow> {};

TEST_P(SingleMoveFailure, EndsThroughTheFailureExitWithItsSentence) {
  const MoveFailureRow& row = GetParam();
  OperationsFixture f(operationsWorld());
  // V stands visible for a collect and collected for a move to the visible side.
  f.start(row.destination == Destination::collected ? std::vector<std::string>{row.key} : std::vector<std::string>{});
  const int prompts = f.world().accessibilityPrompts();
  const CapturedMenuBarItem item = f.captured(row.key);
  row.arrange(f);

  EXPECT_FALSE(f.run([&](AppDelegate& app) { return move(app, item, row.destination); }));
  EXPECT_EQ(f.store().lastError.get(), row.sentence);
  EXPECT_EQ(f.store().systemItemsCollapsed.get(), row.collapsedAfter);
  EXPECT_EQ(f.app().menuBarHider.isCollapsed, row.collapsedAfter);
  if (row.drags == 0) {
    EXPECT_FALSE(f.anyMouseEvent());
  } else {
    EXPECT_EQ(f.drags(), row.drags);
  }
  // Every captured item's state agrees with where it stands now.
  for (const auto& captured : f.store().capturedSystemItems.get()) {
    if (captured.isFixed()) continue;
    const auto live = f.app().captureService.currentFrame(captured.id);
    ASSERT_TRUE(live);
    const auto divider = f.app().menuBarHider.windowServerFrame(hider::dividerName);
    const bool shown = divider && divider->maxX() < live->midX() && f.app().captureService.isFrameOnScreen(*live) &&
                       f.app().menuBarHider.isMenuBarFrameSafe(*live);
    EXPECT_EQ(captured.isCollected, !shown) << captured.name;
  }
  row.also(f, row, prompts);
  f.expectSafe(row.collapsedAfter ? hider::collapsedLength : hider::expandedLength);
}


INSTANTIATE_TEST_SUITE_P(
    Rows, SingleMoveFailure,
    ::testing::Values(
        MoveFailureRow{"fixed item", "clock", Destination::visible, [](OperationsFixture&) {}, kMoveUnsupported, true, 0,
                   [](OperationsFixture& f, const MoveFailureRow&, int) {
                     EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000})) << "never expanded";
                   }},
        MoveFailureRow{"no divider", "bare", Destination::collected,
                   [](OperationsFixture& f) { f.world().switches().dividerWindowMissing = true; },
                   "无法定位 Vimbo.HiddenDivider，未移动“Plainly”。", true, 0},
        MoveFailureRow{"no trust", "bare", Destination::collected,
                   [](OperationsFixture& f) { f.world().setAccessibilityTrusted(false); },
                   "无法移动“Plainly”。请在系统设置中允许 Vimbo 使用辅助功能后重试。", true, 0,
                   [](OperationsFixture& f, const MoveFailureRow&, int prompts) {
                     EXPECT_EQ(f.world().accessibilityPrompts(), prompts + 1);
                     EXPECT_TRUE(f.world().warps().empty()) << "the cursor was never taken";
                   }},
        MoveFailureRow{"drop right of the control item", "bare", Destination::visible,
                   [](OperationsFixture& f) { f.world().faults("bare").landsRightOfControl = true; },
                   "移动“Plainly”后未检测到它位于 Vimbo.HiddenDivider 的目标侧。", true, 1,
                   [](OperationsFixture& f, const MoveFailureRow& row, int) {
                     EXPECT_GT(f.frame(row.key).minX(), f.control().minX());
                     EXPECT_FALSE(f.captured(row.key).isCollected);
                   }},
        MoveFailureRow{"2.2 pt over the control item", "bare", Destination::visible,
                   [](OperationsFixture& f) {
                     f.whenPosted(EventType::LeftMouseUp, [&f] {
                       const Rect c = f.control();
                       f.overrideFrame("bare", Rect{c.minX() - 30 + 2.2, c.minY(), 30, c.height});
                     });
                   },
                   "移动“Plainly”后未检测到它位于 Vimbo.HiddenDivider 的目标侧。", true, 1,
                   [](OperationsFixture& f, const MoveFailureRow&, int) {
                     EXPECT_EQ(f.elapsed(), 40ms + 653ms + 30 * 50ms) << "thirty checks after the drop";
                   }},
        MoveFailureRow{"both collapses refused", "bare", Destination::collected,
                   [](OperationsFixture& f) {
                     f.whenPosted(EventType::LeftMouseUp, [&f] { f.world().switches().onScreenCountFailures = 2; });
                   },
                   "“Plainly”已移动，但无法恢复菜单栏收纳；已保持菜单栏展开。 当前菜单栏无法收纳，已保持展开。", false, 1},
        MoveFailureRow{"slow collapse", "bare", Destination::collected,
                   [](OperationsFixture& f) {
                     f.whenPosted(EventType::LeftMouseUp, [&f] { f.world().switches().dividerRelayoutLatency = 2s; });
                   },
                   "未能确认“Plainly”在收纳状态下位于目标侧。", true, 1,
                   [](OperationsFixture& f, const MoveFailureRow&, int) {
                     EXPECT_EQ(f.elapsed(), 693ms + 30 * 50ms);
                   }}),
    [](const ::testing::TestParamInfo<MoveFailureRow>& info) {
      std::string name;
      for (char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

}  // namespace
}  // namespace vimbo::testing

namespace vimbo::testing {
namespace {

// An unnamed item that appeared after start-up: its window is owned by an agent whose name says
// nothing, and its one menu extra belongs to a helper process.
TEST(SingleMove, AnUnnamedItemMovedIntoViewIsNamedByItsMenuExtraAndKeepsItsZone) {
  sim::WorldSpec spec = operationsWorld();
  spec.apps.push_back(test_support::installedApp(505, "org.quill.agent", "org.quill.agent"));
  spec.apps.push_back(test_support::installedApp(506, "Quill", "org.quill.helper"));
  OperationsFixture f(std::move(spec));
  f.start();
  sim::ItemSpec unnamed;
  unnamed.key = "quill";
  unnamed.windowName = "Item-0";
  unnamed.ownerPID = 505;
  unnamed.axPID = 506;
  unnamed.axTitle = platform::AXValue{std::string("Quill Sync")};
  f.world().addItem(unnamed);
  f.refresh();
  AppDelegate& app = f.app();
  app.store.replaceCapturedSystemItems(app.captureService.discoverMenuBarItems());
  const CapturedMenuBarItem before = f.captured("quill");
  ASSERT_EQ(before.name, "系统项目");
  size_t candidates = 0;
  for (const auto& c : app.captureService.state().menuExtraDisplayCandidates) candidates += c.processIdentifier == 506;
  ASSERT_EQ(candidates, 1u) << "the helper's one menu extra is what names the item";
  ASSERT_TRUE(app.store.commitLayoutMovement(before.id, MenuBarLayoutZone::hidden, std::nullopt, false));

  EXPECT_TRUE(f.run([&](AppDelegate& a) { return a.moveSystemItem(before, Destination::visible); }));
  const CapturedMenuBarItem after = f.captured("quill");
  EXPECT_EQ(after.stableIdentity, before.stableIdentity + "|ax=bundle:org.quill.helper");
  EXPECT_EQ(after.name, "Quill");
  EXPECT_FALSE(after.isCollected);
  EXPECT_EQ(app.store.layoutZone(after), MenuBarLayoutZone::hidden);
  EXPECT_EQ(app.store.persistableLayoutIdentities(MenuBarLayoutZone::hidden),
            (std::vector<std::string>{after.stableIdentity}));
  f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing

namespace vimbo::testing {
namespace {

struct SideRow {
  std::string name;
  std::function<Rect(const Rect& divider, const Rect& control)> frame;
  bool visible;
  bool collected;
  bool collectedAfterCollapse;
};

std::ostream& operator<<(std::ostream& os, const SideRow& row) { return os << row.name; }

struct SideTest : ::testing::TestWithParam<SideRow> {};

// Judged on the revealed bar, where the divider is one point wide.
TEST_P(SideTest, IsStrictAtTheDividerAndAllowsTwoPointsAtTheControlItem) {
  const SideRow& row = GetParam();
  OperationsFixture f(operationsWorld());
  f.start({"bare"});
  AppDelegate& app = f.app();
  ASSERT_TRUE(app.menuBarHider.setCollapsed(false));
  f.runFor(10ms);
  const Rect frame = row.frame(f.divider(), f.control());
  f.overrideFrame("bare", frame);
  const CapturedMenuBarItem bare = f.captured("bare");
  EXPECT_EQ(app.systemItemHasReachedDestination(bare, Destination::visible, false), row.visible);
  EXPECT_EQ(app.systemItemHasReachedDestination(bare, Destination::visible, true), row.visible);
  EXPECT_EQ(app.systemItemHasReachedDestination(bare, Destination::collected, false), row.collected);
  EXPECT_EQ(app.systemItemHasReachedDestination(bare, Destination::collected, true), row.collectedAfterCollapse);
  ASSERT_TRUE(app.menuBarHider.setCollapsed(true));
  f.expectSafe();
}

Rect centredAt(double midX, const Rect& band) { return Rect{midX - 15, band.minY(), 30, band.height}; }

INSTANTIATE_TEST_SUITE_P(
    Edges, SideTest,
    ::testing::Values(
        SideRow{"middle_on_the_divider_left_edge", [](const Rect& d, const Rect&) { return centredAt(d.minX(), d); },
                false, false, false},
        SideRow{"middle_just_left_of_the_divider", [](const Rect& d, const Rect&) { return centredAt(d.minX() - 0.5, d); },
                false, true, false},
        SideRow{"middle_on_the_divider_right_edge", [](const Rect& d, const Rect&) { return centredAt(d.maxX(), d); },
                false, false, false},
        SideRow{"two_points_over_the_control_item",
                [](const Rect&, const Rect& c) { return Rect{c.minX() + 2 - 30, c.minY(), 30, c.height}; }, true, false,
                false},
        SideRow{"two_and_a_half_points_over_the_control_item",
                [](const Rect&, const Rect& c) { return Rect{c.minX() + 2.5 - 30, c.minY(), 30, c.height}; }, false,
                false, false},
        SideRow{"pushed_off_the_screen", [](const Rect& d, const Rect&) { return Rect{-500, d.minY(), 30, d.height}; },
                false, true, true}),
    [](const ::testing::TestParamInfo<SideRow>& info) { return info.param.name; });

TEST(SingleItemReconcile, WritesOnlyWhatALiveFrameShowsAndNeverCollectsAFixedItem) {
  OperationsFixture f(operationsWorld());
  f.start({"bare"});
  AppDelegate& app = f.app();
  int publishes = 0;
  auto counting = app.store.capturedSystemItems.subscribe([&](const auto&) { ++publishes; });
  const auto before = app.store.capturedSystemItems.get();

  app.reconcileDisplayedSystemItemState(999999);
  const CapturedMenuBarItem notes = f.captured("notes");
  ASSERT_TRUE(notes.isCollected);
  f.world().removeItem("notes");
  app.reconcileDisplayedSystemItemState(notes.id);
  EXPECT_EQ(publishes, 0) << "an unknown window, or one that is gone, changes nothing";
  for (const auto& item : app.store.capturedSystemItems.get()) {
    EXPECT_TRUE(item.id != notes.id || item.isCollected);
  }

  // The clock listed left of the divider is still shown as standing where macOS keeps it.
  f.overrideFrame("clock", Rect{-500, 0, 30, 24});
  app.reconcileDisplayedSystemItemState(f.window("clock"));
  EXPECT_FALSE(f.captured("clock").isCollected);
  // A live frame is written in place, one change at a time.
  f.overrideFrame("bare", Rect{-500, 0, 30, 24});
  publishes = 0;
  app.reconcileDisplayedSystemItemState(f.window("bare"));
  EXPECT_EQ(publishes, 1);
  EXPECT_TRUE(f.captured("bare").isCollected);
  EXPECT_EQ(app.store.capturedSystemItems.get().size(), before.size());
  f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing
