// Reveal sessions: collapsing once the pointer has been away, waiting for the pointer to reach
// the bar, pop-up menus of revealed items, replaced sessions, and refusals of the divider.
#include <gtest/gtest.h>

#include "App/ControllerFixture.h"

namespace vimbo::testing {
namespace {

constexpr const char* kExpandUnsupported = "当前 macOS 版本不支持实验性菜单栏展开接口。";
constexpr const char* kCollapseRefused = "当前 macOS 版本不支持实验性菜单栏收纳接口。";

struct RevealSession : ::testing::Test {
  RevealSession() : f(controllerWorld(true)) {
    f.launch();
    collapsedAt.reset();
  }
  AppDelegate& app() { return f.app(); }
  Point belowTheBar() { return {f.controlFrame().midX(), f.controlFrame().maxY() + 100}; }
  Point farAway() { return {400, 600}; }
  std::optional<async::TimePoint> collapsedAt;
  ControllerFixture f;
  async::Subscription watch = f.store().systemItemsCollapsed.subscribe([this](const bool& collapsed) {
    if (collapsed && !collapsedAt) collapsedAt = f.now();
  });
};

TEST_F(RevealSession, CollapsesTheDefaultDelayAfterTheFirstOutsideTick) {
  f.clickControl();
  f.runFor(250ms);
  collapsedAt.reset();
  const auto t = f.now();
  f.world().personMove(belowTheBar());
  f.runFor(2s);
  ASSERT_TRUE(collapsedAt);
  EXPECT_GE(*collapsedAt - t, 400ms);
  EXPECT_LE(*collapsedAt - t, 500ms);
  EXPECT_FALSE(app().revealSessionTask);
}

TEST_F(RevealSession, AShortAbsenceDoesNotCollapseAndTheCountStartsAfresh) {
  f.clickControl();
  f.runFor(250ms);
  collapsedAt.reset();
  f.world().personMove(belowTheBar());
  f.runFor(300ms);
  f.world().personMove(f.controlFrame().center());
  f.runFor(1s);
  EXPECT_FALSE(collapsedAt);
  const auto t = f.now();
  f.world().personMove(belowTheBar());
  f.runFor(2s);
  ASSERT_TRUE(collapsedAt);
  EXPECT_GE(*collapsedAt - t, 400ms);
}

TEST_F(RevealSession, WithoutCollapseOnPointerExitTheBarStaysRevealed) {
  f.store().collapseOnPointerExit.set(false);
  f.clickControl();
  f.runFor(250ms);
  collapsedAt.reset();
  f.world().personMove(farAway());
  f.runFor(10s);
  EXPECT_FALSE(collapsedAt);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength);
}

TEST_F(RevealSession, ARevealedItemsMenuKeepsTheBarOpenUntilItClosesAndThePointerHasBeenAway) {
  f.clickControl();
  f.runFor(250ms);
  collapsedAt.reset();
  const Rect notes = f.world().frameOf("notes").value();
  ASSERT_GT(notes.minX(), 0) << "revealed";
  f.world().personClick(notes.center());
  f.runFor(100ms);
  ASSERT_FALSE(f.world().openMenus().empty());
  f.world().personMove(belowTheBar());
  f.runFor(3s);
  EXPECT_FALSE(collapsedAt) << "the menu is still open";
  f.world().dismissAllMenus();
  const auto closed = f.now();
  f.runFor(2s);
  ASSERT_TRUE(collapsedAt);
  EXPECT_GE(*collapsedAt - closed, 400ms);
  EXPECT_LE(*collapsedAt - closed, 500ms);
}

TEST_F(RevealSession, WaitingForThePointerCollapsesAtTheTenthTickOrStopsWaitingInTheBand) {
  f.world().personMove(farAway());
  const auto t = f.now();
  app().beginNativeReveal(std::nullopt);
  f.runFor(2s);
  ASSERT_TRUE(collapsedAt);
  EXPECT_EQ(*collapsedAt - t, 900ms);

  collapsedAt.reset();
  f.world().personMove({5, f.controlFrame().midY()});  // any x within the band
  app().beginNativeReveal(std::nullopt);
  f.runFor(3s);
  EXPECT_FALSE(collapsedAt);
}

TEST_F(RevealSession, ASecondSessionReplacesTheFirst) {
  f.world().personMove(farAway());
  app().beginNativeReveal(true);
  f.runFor(500ms);
  const auto second = f.now();
  app().beginNativeReveal(true);
  f.runFor(3s);
  ASSERT_TRUE(collapsedAt);
  EXPECT_EQ(*collapsedAt - second, 900ms) << "the first session never collapses the bar";
}

// A refused change leaves the hider's flag as it is, so the readers see the bar as it really is.
TEST_F(RevealSession, ARefusedExpandStartsNoSessionAndARefreshRightAfterStillCaptures) {
  f.world().switches().onScreenCountFailures = 1;
  f.clickControl();
  EXPECT_EQ(f.store().lastError.get(), std::optional<std::string>(kExpandUnsupported));
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  EXPECT_FALSE(app().revealSessionTask);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  int replaced = 0;
  auto count = f.store().capturedSystemItems.subscribe([&](const auto&) { ++replaced; });
  f.drive([](AppDelegate& a) { return a.refreshSystemItems(false); });
  EXPECT_GE(replaced, 1) << "captured although a collapse was just refused";
  f.rememberPointer();
  f.expectSafe();
}

TEST_F(RevealSession, RefusedCollapsesSayWhyAndOnlyTheSwitchMarksTheInterfaceUnavailable) {
  app().setSystemCollection(false);
  f.world().switches().onScreenCountFailures = 1;
  app().collapseNativeReveal();
  EXPECT_EQ(f.store().lastError.get(), std::optional<std::string>(kCollapseRefused));
  EXPECT_TRUE(f.store().privateAPIAvailable.get());
  EXPECT_FALSE(f.store().systemItemsCollapsed.get());

  f.world().switches().onScreenCountFailures = 1;
  app().setSystemCollection(true);
  EXPECT_FALSE(f.store().privateAPIAvailable.get());
  EXPECT_FALSE(f.store().systemItemsCollapsed.get());

  f.world().switches().onScreenCountFailures = 1;
  f.store().lastError.set(std::nullopt);
  app().setSystemCollection(false);
  EXPECT_TRUE(f.store().privateAPIAvailable.get()) << "a refused expand leaves it";
  EXPECT_FALSE(f.store().lastError.get());
}

// MARK: - Lifetime

TEST(ControllerLifetime, DestroyingTheControllerFirstLeavesEveryPendingCallbackHarmless) {
  ControllerFixture f(controllerWorld(true));
  f.launch();
  f.store().hoverDetectionMethod.set(HoverDetectionMethod::eventDriven);
  f.store().expandOnHover.set(true);
  f.runFor(10ms);
  f.app().togglePopover();
  // An operation runs while another waits for it with its caller.
  f.app().enqueueSystemItemOperation([]() -> async::Task<void> { co_await async::sleepFor(300ms); });
  AppDelegate* raw = f.controller.get();
  auto waiting = async::spawn(f.executor, [raw] {
    return raw->enqueueSystemItemOperationAndWait([] { return []() -> async::Task<bool> { co_return true; }(); });
  });
  f.runFor(10ms);
  // A tracking callback and a dwell now sleeping; a global monitor's callback on its way.
  f.world().personMove(f.controlFrame().center());
  f.runFor(10ms);
  ASSERT_TRUE(f.app().hoverEventDwellTask);
  f.world().personClick({400, 600});

  const Point inside{f.controlFrame().center().x + 1, f.controlFrame().center().y};
  std::weak_ptr<AppDelegate> weak = f.controller;
  f.application().setDelegate(nullptr);
  f.controller.reset();
  EXPECT_TRUE(weak.expired());
  f.world().personMove(inside);
  f.runFor(2s);
  ASSERT_TRUE(waiting.isDone());
  EXPECT_EQ(waiting.result(), std::optional<bool>(false));
}

}  // namespace
}  // namespace vimbo::testing
