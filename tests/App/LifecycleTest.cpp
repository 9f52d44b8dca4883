// Start-up on both roads, the initial capture's retries, and quit: its clean-up, a drag in flight,
// and that nothing resumes afterwards.
#include <gtest/gtest.h>

#include <vector>

#include "App/ControllerFixture.h"
#include "System/MenuBarProxyManager.h"

namespace vimbo::testing {
namespace {

using platform::EventType;

// A saved pin, so start-up has an order to restore.
std::shared_ptr<platform::UserDefaults> defaultsWithTallyPinned() {
  auto defaults = platform::UserDefaults::inMemory();
  defaults->set(MenuBarProxyManager::pinnedIdentitiesKey,
                platform::DefaultsValue(platform::DefaultsArray{
                    platform::DefaultsValue(std::string("io.tallybird.app|window=TallyStatus|ax=title:Tally"))}));
  return defaults;
}

std::vector<async::TimePoint> refreshStarts(ControllerFixture& f, std::vector<async::Subscription>& keep) {
  auto starts = std::make_shared<std::vector<async::TimePoint>>();
  keep.push_back(f.store().isCapturingSystemItems.subscribe([&f, starts](const bool& capturing) {
    if (capturing) starts->push_back(f.now());
  }));
  f.runFor(10s);
  return *starts;
}

TEST(ControllerStartUp, LaunchWithoutSavedOrderCollapsesAndInstallsItsItemsMonitorsAndHotKeys) {
  ControllerFixture f(controllerWorld());
  f.launch();
  AppDelegate& app = f.app();

  EXPECT_EQ(f.world().ownActivationPolicy(), platform::ActivationPolicy::Accessory);
  EXPECT_FALSE(f.store().isExpanded.get());
  EXPECT_EQ(f.store().searchText.get(), "");
  EXPECT_TRUE(app.applicationStarted);

  ASSERT_TRUE(app.menuBarHider.dividerItem);
  EXPECT_EQ(app.menuBarHider.dividerItem->autosaveName(), hider::dividerName);
  ASSERT_TRUE(app.statusItem);
  EXPECT_EQ(app.statusItem->autosaveName(), hider::controlName);
  auto* button = app.statusItem->button();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->toolTip(), "Vimbo · ⌃⌘B");
  ASSERT_TRUE(button->image());
  EXPECT_TRUE(button->image()->isTemplate());

  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  EXPECT_EQ(f.world().monitorCount(), 2u);
  EXPECT_EQ(f.world().hotKeys().size(), 2u);
  EXPECT_FALSE(f.store().capturedSystemItems.get().empty());
  f.expectSafe();
}

TEST(ControllerStartUp, ControlItemSendsItsActionOnLeftAndRightMouseUpOnly) {
  ControllerFixture f(controllerWorld());
  f.launch();
  auto control = f.app().menuBarHider.windowServerFrame(hider::controlName);
  ASSERT_TRUE(control);
  f.world().personMouse(EventType::LeftMouseDown, control->center());
  f.runFor(50ms);
  EXPECT_TRUE(f.store().systemItemsCollapsed.get()) << "a mouse-down sends nothing";
  f.world().personMouse(EventType::LeftMouseUp, control->center());
  f.runFor(50ms);
  EXPECT_FALSE(f.store().systemItemsCollapsed.get());
}

TEST(ControllerStartUp, EmptyBarRetriesTheInitialCaptureThreeTimesEachAfterThePreviousRefresh) {
  ControllerFixture f(emptyControllerWorld());
  std::vector<async::Subscription> keep;
  f.launch(false);
  const auto launchedAt = f.now();
  const auto starts = refreshStarts(f, keep);
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_EQ(starts[0] - launchedAt, 450ms);
  EXPECT_GE(starts[1] - starts[0], 800ms);
  EXPECT_LT(starts[1] - starts[0], 1s);
  EXPECT_GE(starts[2] - starts[1], 1400ms);
  EXPECT_LT(starts[2] - starts[1], 1600ms);
  EXPECT_TRUE(f.store().capturedSystemItems.get().empty());
}

TEST(ControllerStartUp, BarWithItemsGetsExactlyOneInitialRefresh) {
  ControllerFixture f(controllerWorld());
  std::vector<async::Subscription> keep;
  f.launch(false);
  EXPECT_EQ(refreshStarts(f, keep).size(), 1u);
}

TEST(ControllerStartUp, SecondStartDoesNothing) {
  ControllerFixture f(controllerWorld());
  f.launch();
  const auto monitors = f.world().monitorCount();
  const auto control = f.app().statusItem;
  f.app().startApplication();
  f.runFor(2s);
  EXPECT_EQ(f.app().statusItem, control);
  EXPECT_EQ(f.world().monitorCount(), monitors);
  EXPECT_EQ(f.world().hotKeys().size(), 2u);
}

TEST(ControllerStartUp, ControlItemWithoutButtonSkipsItsSetUpAndStartUpGoesOn) {
  sim::WorldSpec spec = controllerWorld();
  spec.switches.statusItemsHaveButtons = false;
  ControllerFixture f(spec);
  f.launch();
  EXPECT_TRUE(f.app().statusItem);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  EXPECT_EQ(f.world().hotKeys().size(), 2u);
  EXPECT_FALSE(f.store().capturedSystemItems.get().empty());
}

TEST(ControllerStartUp, SavedOrderLeavesTheBarToTheSetupTaskWhichClearsItselfWhenDone) {
  ControllerFixture f(controllerWorld(), defaultsWithTallyPinned());
  f.application().finishLaunching();
  EXPECT_TRUE(f.app().initialSystemSetupTask);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength) << "start-up itself does not collapse";
  f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 5s);
  EXPECT_FALSE(f.app().initialSystemSetupTask);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
}

// MARK: - Quit

TEST(ControllerQuit, QuitRestoresEveryItemAndRemovesMonitorsHotKeysAndTheDivider) {
  ControllerFixture f(controllerWorld());
  f.launch();
  f.world().clearRecords();
  f.application().terminate();
  EXPECT_TRUE(f.world().postedEvents().empty()) << "no drag in flight, nothing to release";
  EXPECT_TRUE(f.world().warps().empty());
  f.executor.stop();

  EXPECT_FALSE(f.app().menuBarHider.dividerItem);
  EXPECT_FALSE(f.world().item(hider::dividerName).has_value());
  for (const auto& item : f.world().items()) {
    if (item.own) continue;
    EXPECT_GE(item.frame.minX(), 0) << item.specKey;
    EXPECT_LE(item.frame.maxX(), 1920) << item.specKey;
  }
  EXPECT_EQ(f.world().monitorCount(), 0u);
  EXPECT_TRUE(f.world().hotKeys().empty());
  EXPECT_EQ(f.app().hotKeyHandler, 0u);
  f.expectSafe(std::nullopt);
}

TEST(ControllerQuit, QuitBeforeStartUpDoesNothing) {
  ControllerFixture f(controllerWorld());
  f.app().applicationWillTerminate();
  EXPECT_FALSE(f.app().applicationStarted);
  EXPECT_TRUE(f.world().hotKeys().empty());
  EXPECT_TRUE(f.world().postedEvents().empty());
}

// The restore is busy scanning when the person quits; the scan may still run while the scenario
// ends.
TEST(ControllerQuit, QuitWhileTheStartUpRestoreRunsCancelsItAndStillPutsTheBarBack) {
  ControllerFixture f(controllerWorld(), defaultsWithTallyPinned());
  f.application().finishLaunching();
  f.runFor(50ms);
  const auto setup = f.app().initialSystemSetupTask;
  ASSERT_TRUE(setup && !setup.isDone());
  f.application().terminate();
  EXPECT_TRUE(setup.isCancelled());
  EXPECT_FALSE(f.app().menuBarHider.dividerItem);
  EXPECT_TRUE(f.world().hotKeys().empty());
  EXPECT_EQ(f.world().monitorCount(), 0u);
  f.executor.stop();
  f.expectSafe(std::nullopt);
}

TEST(ControllerQuit, QuitMergesTheLiveLeftToRightOrderIntoThePinnedList) {
  auto defaults = platform::UserDefaults::inMemory();
  ControllerFixture f(controllerWorld(), defaults);
  f.launch();
  // Every item is revealed in its bar order; pin two of them in the other order.
  f.app().setSystemCollection(false);
  f.runFor(100ms);
  std::vector<std::string> live;
  for (const auto& item : f.app().captureService.discoverMenuBarItems()) {
    if (!item.isFixed() && MenuBarProxyManager::canSafelyRestore(item.stableIdentity)) live.push_back(item.stableIdentity);
  }
  ASSERT_GE(live.size(), 2u);
  for (const auto& identity : {live[1], live[0]}) {
    CapturedMenuBarItem pinned;
    pinned.stableIdentity = identity;
    f.app().proxyManager.pin(pinned);
  }
  f.application().terminate();
  EXPECT_EQ(f.app().proxyManager.pinnedIdentities(), (std::vector<std::string>{live[0], live[1]}));
}

TEST(ControllerQuit, QuitDuringACommandDragReleasesEverythingBeforeTheDividerGoes) {
  ControllerFixture f(controllerWorld());
  f.launch();
  f.app().setSystemCollection(false);
  f.runFor(100ms);
  f.rememberPointer();
  const auto items = f.store().capturedSystemItems.get();
  auto mover = std::find_if(items.begin(), items.end(), [](const CapturedMenuBarItem& i) { return !i.isFixed(); });
  ASSERT_NE(mover, items.end());
  auto control = f.app().menuBarHider.windowServerFrame(hider::controlName);
  ASSERT_TRUE(control);
  const Point drop{control->minX() - 15, control->midY()};
  f.drive(
      [item = *mover, drop](AppDelegate& app) {
        return app.captureService.moveMenuBarItem(item, drop, false, MenuBarCaptureService::MenuBarMoveDestination::visible);
      },
      0s);
  ASSERT_TRUE(f.runUntil([&] { return f.world().isCommandHeld() && f.world().isMouseButtonDown(); }, 5s));

  // When the divider leaves the bar, the clean-up must already have been posted.
  std::optional<size_t> postedWhenDividerWent;
  f.world().setChangeObserver([&] {
    if (!postedWhenDividerWent && !f.world().item(hider::dividerName)) postedWhenDividerWent = f.world().postedEvents().size();
  });
  f.application().terminate();
  f.executor.stop();
  f.world().setChangeObserver(nullptr);

  const auto& posted = f.world().postedEvents();
  ASSERT_GE(posted.size(), 2u);
  const auto& mouseUp = posted[posted.size() - 2].event;
  const auto& keyUp = posted.back().event;
  EXPECT_EQ(mouseUp.type, EventType::LeftMouseUp);
  EXPECT_NE(mouseUp.flags & platform::eventflag::command, 0u);
  EXPECT_EQ(keyUp.type, EventType::KeyUp);
  EXPECT_EQ(keyUp.keyCode, platform::keycode::command);
  EXPECT_EQ(keyUp.flags, 0u);
  ASSERT_FALSE(f.world().warps().empty());
  EXPECT_EQ(f.world().warps().back(), f.pointerBefore);
  ASSERT_TRUE(postedWhenDividerWent);
  EXPECT_EQ(*postedWhenDividerWent, posted.size());
  f.expectSafe(std::nullopt);
}

}  // namespace
}  // namespace vimbo::testing
