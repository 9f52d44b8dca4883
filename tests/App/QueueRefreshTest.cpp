// The serial operation queue and the refresh of the captured items: order and count, the
// awaited result, a controller gone at an operation's turn, what a refresh writes, and the
// capture after a user's reveal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "App/ControllerFixture.h"

namespace vimbo::testing {
namespace {

using test_support::ContentKind;

struct Queue : ::testing::Test {
  Queue() : f(controllerWorld()) { f.launch(); }
  AppDelegate& app() { return f.app(); }
  // An operation that pauses, then notes its name and the count it sees.
  std::function<async::Task<void>()> noting(std::string name, std::vector<std::string>& log,
                                            std::vector<int64_t>& counts) {
    return [this, name, &log, &counts]() -> async::Task<void> { return note(this, name, &log, &counts); };
  }
  static async::Task<void> note(Queue* q, std::string name, std::vector<std::string>* log,
                                std::vector<int64_t>* counts) {
    co_await async::sleepFor(100ms);
    log->push_back(name);
    counts->push_back(q->app().activeSystemItemOperationCount);
  }
  // An awaited operation "two" that yields true; notes the count its caller sees on resuming.
  static async::Task<bool> awaitTwo(AppDelegate* a, Queue* q, std::vector<std::string>* log,
                                    std::vector<int64_t>* counts, std::optional<int64_t>* seen) {
    auto wait = a->enqueueSystemItemOperationAndWait([q, log, counts] { return noteThenTrue(q, log, counts); });
    const bool result = co_await std::move(wait);
    *seen = a->activeSystemItemOperationCount;
    co_return result;
  }
  static async::Task<bool> noteThenTrue(Queue* q, std::vector<std::string>* log, std::vector<int64_t>* counts) {
    auto inner = note(q, "two", log, counts);
    co_await std::move(inner);
    co_return true;
  }
  ControllerFixture f;
};

TEST_F(Queue, OperationsRunInOrderWithRefreshesUncountedInTheirPlace) {
  std::vector<std::string> log;
  std::vector<int64_t> counts;
  auto refreshRuns = f.store().screenCapturePermissionGranted.subscribe([&](const bool&) {
    log.push_back("refresh");
    counts.push_back(app().activeSystemItemOperationCount);
  });

  app().enqueueSystemItemOperation(noting("one", log, counts));
  std::optional<int64_t> countSeenByCaller;
  auto awaited = f.drive([&](AppDelegate& a) { return awaitTwo(&a, this, &log, &counts, &countSeenByCaller); }, 0s);
  f.runFor(1ms);
  f.drive([](AppDelegate& a) { return a.refreshSystemItems(true); }, 0s);
  app().enqueueSystemItemOperation(noting("three", log, counts));
  EXPECT_EQ(app().activeSystemItemOperationCount, 3) << "counted before any has run";

  f.runFor(5s);
  EXPECT_EQ(log, (std::vector<std::string>{"one", "two", "refresh", "three"}));
  EXPECT_EQ(counts, (std::vector<int64_t>{3, 2, 1, 1})) << "each sees itself and those behind it";
  ASSERT_TRUE(awaited.isDone());
  EXPECT_EQ(awaited.result(), std::optional<bool>(true));
  EXPECT_EQ(countSeenByCaller, std::optional<int64_t>(1)) << "the caller already sees the lowered count";
  EXPECT_EQ(app().activeSystemItemOperationCount, 0);
  EXPECT_FALSE(f.store().isCapturingSystemItems.get());
}

TEST_F(Queue, ASecondRefreshWhileOneIsQueuedIsDroppedAtOnce) {
  std::vector<std::string> log;
  std::vector<int64_t> counts;
  app().enqueueSystemItemOperation(noting("long", log, counts));
  auto first = f.drive([](AppDelegate& a) { return a.refreshSystemItems(true); }, 0s);
  EXPECT_TRUE(f.store().isCapturingSystemItems.get()) << "from acceptance, while it waits";
  auto second = f.drive([](AppDelegate& a) { return a.refreshSystemItems(true); }, 0s);
  f.runFor(1ms);
  EXPECT_TRUE(second.isDone());
  EXPECT_FALSE(first.isDone());
  f.runFor(3s);
  EXPECT_TRUE(first.isDone());
  EXPECT_FALSE(f.store().isCapturingSystemItems.get());
}

TEST(QueueLifetime, AnOperationWhoseControllerIsGoneDoesNotRunAndItsCallerReceivesFalse) {
  ControllerFixture f(controllerWorld());
  f.launch();
  bool ran = false;
  f.app().enqueueSystemItemOperation([]() -> async::Task<void> { co_await async::sleepFor(200ms); });
  AppDelegate* raw = f.controller.get();
  auto waiting = async::spawn(f.executor, [raw, &ran]() {
    return raw->enqueueSystemItemOperationAndWait([&ran] {
      ran = true;
      return []() -> async::Task<bool> { co_return true; }();
    });
  });
  f.runFor(10ms);
  f.application().setDelegate(nullptr);
  f.controller.reset();
  f.runFor(1s);
  ASSERT_TRUE(waiting.isDone());
  EXPECT_EQ(waiting.result(), std::optional<bool>(false));
  EXPECT_FALSE(ran);
}

// MARK: - Refresh

struct Refresh : ::testing::Test {
  Refresh() : f(controllerWorld(true)) { f.launch(); }
  AppDelegate& app() { return f.app(); }
  void refresh(bool allowRevealFallback = false) {
    f.drive([allowRevealFallback](AppDelegate& a) { return a.refreshSystemItems(allowRevealFallback); });
  }
  std::optional<CapturedMenuBarItem> captured(const std::string& key) {
    const uint32_t window = f.world().item(key)->windowNumber;
    for (const auto& item : f.store().capturedSystemItems.get())
      if (item.id == window) return item;
    return std::nullopt;
  }
  ControllerFixture f;
};

TEST_F(Refresh, DisplayedStateFollowsTheDividerTheScreensAndTheSafeArea) {
  f.world().moveItemBefore("tally", std::string(hider::controlName));
  f.runFor(100ms);
  refresh();
  EXPECT_FALSE(captured("tally")->isCollected) << "right of the divider, on screen, in the safe area";
  EXPECT_TRUE(captured("notes")->isCollected) << "left of the divider";
  EXPECT_FALSE(captured("clock")->isCollected);
  EXPECT_FALSE(captured("bento")->isCollected);

  const uint32_t tally = f.world().item("tally")->windowNumber;
  const Rect frame = f.world().item("tally")->frame;
  f.world().overrideWindowField(tally, platform::windowkey::bounds, Rect{700, frame.y, frame.width, frame.height});
  refresh();
  EXPECT_TRUE(captured("tally")->isCollected) << "under the notch";
  f.world().overrideWindowField(tally, platform::windowkey::bounds, Rect{1600, frame.y, frame.width, frame.height});
  refresh();
  EXPECT_TRUE(captured("tally")->isCollected) << "off every screen";
}

TEST_F(Refresh, TheStateReconcilePublishesTheItemsOnceAndOnlyWhenAStateChanged) {
  int published = 0;
  auto watch = f.store().capturedSystemItems.subscribe([&](const auto&) { ++published; });
  app().reconcileDisplayedSystemItemStates();
  EXPECT_EQ(published, 0);
  f.world().moveItemBefore("tally", std::string(hider::controlName));
  f.world().moveItemBefore("drift", std::string(hider::controlName));
  f.runFor(100ms);
  app().reconcileDisplayedSystemItemStates();
  EXPECT_EQ(published, 1);
  EXPECT_FALSE(captured("tally")->isCollected);
  EXPECT_FALSE(captured("drift")->isCollected);
}

TEST_F(Refresh, WithTheBarExpandedOnlyThePermissionIsRecorded) {
  f.store().screenCapturePermissionGranted.set(false);
  app().setSystemCollection(false);
  const auto before = f.store().capturedSystemItems.get().size();
  int replaced = 0;
  auto watch = f.store().capturedSystemItems.subscribe([&](const auto&) { ++replaced; });
  refresh();
  EXPECT_TRUE(f.store().screenCapturePermissionGranted.get());
  EXPECT_EQ(replaced, 0);
  EXPECT_EQ(f.store().capturedSystemItems.get().size(), before);
}

TEST_F(Refresh, WithoutScreenRecordingAccessOnlyThePermissionFlagChanges) {
  f.world().switches().screenCaptureGranted = false;
  int replaced = 0;
  auto watch = f.store().capturedSystemItems.subscribe([&](const auto&) { ++replaced; });
  refresh();
  EXPECT_FALSE(f.store().screenCapturePermissionGranted.get());
  EXPECT_EQ(replaced, 0);
  EXPECT_FALSE(f.store().lastError.get());
}

TEST_F(Refresh, CaptureErrorsLeaveTheItemsAndSayWhy) {
  const auto before = f.store().capturedSystemItems.get().size();
  // Revoked right after the refresh's own permission check.
  auto revoke = f.store().screenCapturePermissionGranted.subscribe([&](const bool& granted) {
    if (granted) f.world().switches().screenCaptureGranted = false;
  });
  refresh();
  revoke.cancel();
  EXPECT_EQ(f.store().lastError.get(), std::optional<std::string>(std::string(MenuBarCaptureService::permissionRequiredDescription)));
  EXPECT_EQ(f.store().capturedSystemItems.get().size(), before);

  f.world().switches().screenCaptureGranted = true;
  f.world().switches().shareableContentFails = true;
  f.store().lastError.set(std::nullopt);
  refresh();
  ASSERT_TRUE(f.store().lastError.get());
  EXPECT_FALSE(f.store().lastError.get()->empty());
  EXPECT_NE(*f.store().lastError.get(), MenuBarCaptureService::permissionRequiredDescription);
}

TEST_F(Refresh, PicturesCarryOverByWindowNumberUnderTheOldAndTheNewIdentity) {
  auto items = f.store().capturedSystemItems.get();
  auto marker = platform::Image::symbol("marker", "marker");
  const uint32_t notes = f.world().item("notes")->windowNumber;
  std::string newIdentity;
  for (auto& item : items) {
    if (item.id != notes) continue;
    newIdentity = item.stableIdentity;
    item.image = marker;
    item.stableIdentity += "|renamed";
  }
  f.store().capturedSystemItems.set(items);
  const auto images = app().preservingImages(app().captureService.discoverMenuBarItems());
  ASSERT_TRUE(images.count(newIdentity));
  EXPECT_EQ(images.at(newIdentity), marker);
  EXPECT_EQ(images.at(newIdentity + "|renamed"), marker);
}

TEST(RefreshIndexing, TheFirstRefreshReachesTheIndexingStepEvenWithoutRevealFallback) {
  ControllerFixture f(controllerWorld());
  EXPECT_FALSE(f.app().didAttemptAutomaticMenuExtraIndexing);
  f.launch();
  EXPECT_TRUE(f.app().didAttemptAutomaticMenuExtraIndexing);
}

// MARK: - The capture after a user's reveal

struct RevealCapture : Refresh {
  // Seeds show up as one replacement of the captured items each.
  std::vector<async::TimePoint> seeds;
  async::Subscription watch = f.store().capturedSystemItems.subscribe([this](const auto&) { seeds.push_back(f.now()); });
};

TEST_F(RevealCapture, TheManagersToggleLeadsToOneSeedSixHundredMillisecondsLater) {
  f.app().togglePopover();
  auto manager = f.made(ContentKind::managerPanel).front();
  const auto t0 = f.now();
  manager->manager.toggleCollection();
  EXPECT_EQ(f.dividerLength(), hider::expandedLength);
  f.runFor(3s);
  ASSERT_EQ(seeds.size(), 1u);
  EXPECT_GE(seeds.front() - t0, 600ms);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength) << "seeded while still expanded";
  EXPECT_FALSE(app().userRevealCaptureTask);
}

TEST_F(RevealCapture, ACollapseWithinSixHundredMillisecondsCancelsTheCapture) {
  f.made(ContentKind::managerPanel).front()->manager.toggleCollection();
  f.runFor(300ms);
  app().collapseNativeReveal();
  f.runFor(2s);
  EXPECT_TRUE(seeds.empty());
}

// A superseded capture must not clear its successor's handle, or a third reveal cancels nothing.
TEST_F(RevealCapture, ThreeRevealsTwoHundredMillisecondsApartGiveOneCaptureAfterTheThird) {
  app().setSystemCollection(false);
  for (int i = 0; i < 3; ++i) {
    if (i) f.runFor(200ms);
    app().scheduleUserRevealCapture();
  }
  const auto third = f.now();
  f.runFor(3s);
  ASSERT_EQ(seeds.size(), 1u);
  EXPECT_GE(seeds.front() - third, 600ms);
}

TEST_F(RevealCapture, QuitRightAfterTheThirdRevealLeavesNoCapture) {
  app().setSystemCollection(false);
  for (int i = 0; i < 3; ++i) {
    if (i) f.runFor(200ms);
    app().scheduleUserRevealCapture();
  }
  f.application().terminate();
  f.runFor(3s);
  EXPECT_TRUE(seeds.empty());
}

}  // namespace
}  // namespace vimbo::testing
