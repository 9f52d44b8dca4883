// Reveal on hover: polling and the tracking area, the pointer-exit rule, the gate, switching the
// settings, the control window lookup, idle cost, and timings read through the setters' rule.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "App/ControllerFixture.h"
#include "Support/ForwardingWindowServer.h"

namespace vimbo::testing {
namespace {

struct Calls {
  int fullWindowLists = 0;
  int singleWindowLists = 0;
  int pointerReads = 0;
};

class CountingWindowServer : public test_support::ForwardingWindowServer {
 public:
  CountingWindowServer(platform::WindowServer& inner, Calls& calls) : ForwardingWindowServer(inner), calls_(calls) {}
  std::optional<std::vector<platform::WindowInfo>> copyWindowList(platform::WindowListOption option, uint32_t relative) override {
    if (option == platform::WindowListOption::All) ++calls_.fullWindowLists;
    if (option == platform::WindowListOption::IncludingWindow) ++calls_.singleWindowLists;
    return ForwardingWindowServer::copyWindowList(option, relative);
  }

 private:
  Calls& calls_;
};

class CountingEvents : public platform::Events {
 public:
  CountingEvents(platform::Events& inner, Calls& calls) : inner_(inner), calls_(calls) {}
  platform::EventSourceRef createSource(platform::EventSourceStateID s) override { return inner_.createSource(s); }
  std::optional<platform::Event> createMouseEvent(const platform::EventSource* s, platform::EventType t, Point p,
                                                  platform::MouseButton b) override {
    return inner_.createMouseEvent(s, t, p, b);
  }
  std::optional<platform::Event> createKeyboardEvent(const platform::EventSource* s, uint16_t k, bool d) override {
    return inner_.createKeyboardEvent(s, k, d);
  }
  std::optional<platform::Event> createNullEvent() override {
    ++calls_.pointerReads;
    return inner_.createNullEvent();
  }
  void post(platform::EventTap t, const platform::Event& e) override { inner_.post(t, e); }
  void postToPid(int32_t pid, const platform::Event& e) override { inner_.postToPid(pid, e); }
  int32_t warpMouseCursorPosition(Point p) override { return inner_.warpMouseCursorPosition(p); }
  int32_t hideCursor(uint32_t d) override { return inner_.hideCursor(d); }
  int32_t showCursor(uint32_t d) override { return inner_.showCursor(d); }
  Point mouseLocation() const override { return inner_.mouseLocation(); }

 private:
  platform::Events& inner_;
  Calls& calls_;
};

struct Counted {
  Calls calls;
  std::unique_ptr<CountingWindowServer> windowServer;
  std::unique_ptr<CountingEvents> events;
  ControllerFixture::PlatformWrapper wrapper() {
    return [this](platform::Platform p) {
      windowServer = std::make_unique<CountingWindowServer>(p.windowServer, calls);
      events = std::make_unique<CountingEvents>(p.events, calls);
      return platform::Platform{p.executor,      p.defaults,   *windowServer, p.screenCaptureAccess, p.screenCapture,
                                p.accessibility, *events,      p.inputHold,   p.statusBar,           p.screens,
                                p.workspace,     p.eventMonitors, p.hotKeys,  p.application,         p.loginItem,
                                p.windows};
    };
  }
};

struct Hover : ::testing::Test {
  Hover() : f(controllerWorld(true), platform::UserDefaults::inMemory(), counted.wrapper()) { f.launch(); }
  AppDelegate& app() { return f.app(); }
  // Turns hover on with a method; the next sample (polling) comes at once and then every interval.
  void enable(HoverDetectionMethod method) {
    f.store().hoverDetectionMethod.set(method);
    f.store().expandOnHover.set(true);
  }
  Point away() { return {400, 500}; }
  Point justOutside(double distance) {
    const Rect c = f.controlFrame();
    return {c.maxX() + distance, c.midY()};
  }
  // Moves the pointer at a given time, before anything else due then.
  void moveAt(async::TimePoint when, Point p) {
    f.executor.scheduleAt(when, [this, p] { f.world().personMove(p); });
  }
  // Times at which the bar was revealed.
  std::vector<async::TimePoint> reveals;
  Counted counted;
  ControllerFixture f;
  async::Subscription watch = f.store().systemItemsCollapsed.subscribe([this](const bool& collapsed) {
    if (!collapsed) reveals.push_back(f.now());
  });
};

TEST_F(Hover, PollingRevealsOnTheSampleADelayAfterTheFirstInsideSampleOnlyOncePerVisit) {
  f.world().personMove(away());
  enable(HoverDetectionMethod::polling);
  const auto t = f.now() + 100ms;
  moveAt(t, justOutside(2));
  f.runFor(1s);
  ASSERT_EQ(reveals.size(), 1u);
  EXPECT_EQ(reveals[0] - t, 150ms);

  app().collapseNativeReveal();
  f.runFor(2s);
  EXPECT_EQ(reveals.size(), 1u) << "no second reveal until the pointer has left";

  moveAt(f.now() + 20ms, away());
  const auto t2 = f.now() + 100ms;
  moveAt(t2, justOutside(2));
  f.runFor(1s);
  ASSERT_EQ(reveals.size(), 2u);
  EXPECT_EQ(reveals[1] - t2, 150ms);
}

TEST_F(Hover, PollingToleratesThreePointsAroundTheControlItem) {
  f.world().personMove(justOutside(4));
  enable(HoverDetectionMethod::polling);
  f.runFor(1s);
  EXPECT_TRUE(reveals.empty()) << "4 pt outside is outside";
}

TEST_F(Hover, EventDrivenKeepsTheFirstEntryAcrossAShortExit) {
  f.world().personMove(away());
  enable(HoverDetectionMethod::eventDriven);
  f.runFor(10ms);
  ASSERT_NE(app().hoverTrackingArea, 0u);
  const auto t = f.now();
  f.world().personMove(f.controlFrame().center());
  f.runFor(50ms);
  f.world().personMove(away());
  f.runFor(50ms);
  f.world().personMove(f.controlFrame().center());
  f.runFor(20ms);
  f.world().personMove({f.controlFrame().center().x + 1, f.controlFrame().center().y});  // moving inside
  f.runFor(500ms);
  ASSERT_EQ(reveals.size(), 1u);
  EXPECT_EQ(reveals[0] - t, 150ms);
}

TEST_F(Hover, EventDrivenNeedsAnExitBeyondTheGraceBeforeRevealingAgain) {
  enable(HoverDetectionMethod::eventDriven);
  f.runFor(10ms);
  f.world().personMove(f.controlFrame().center());
  f.runFor(500ms);
  ASSERT_EQ(reveals.size(), 1u);
  app().collapseNativeReveal();
  f.world().personMove(away());
  f.runFor(50ms);
  f.world().personMove(f.controlFrame().center());
  f.runFor(1s);
  EXPECT_EQ(reveals.size(), 1u) << "back within 100 ms: still the same visit";
  f.world().personMove(away());
  f.runFor(150ms);
  f.world().personMove(f.controlFrame().center());
  f.runFor(1s);
  EXPECT_EQ(reveals.size(), 2u);
}

TEST_F(Hover, EventDrivenEntryWithThePopoverShownDoesNothing) {
  enable(HoverDetectionMethod::eventDriven);
  app().togglePopover();
  f.world().personMove(f.controlFrame().center());
  f.runFor(1s);
  EXPECT_TRUE(reveals.empty());
}

// Timings published by a plain assignment are read through the setters' rule.
TEST_F(Hover, TimingsOutsideTheirRangesAreClampedWhereTheyAreRead) {
  f.world().personMove(away());
  f.store().hoverSamplingInterval.set(0);
  f.store().hoverRevealDelay.set(std::numeric_limits<double>::quiet_NaN());
  enable(HoverDetectionMethod::polling);
  f.runFor(100ms);
  counted.calls = {};
  f.runFor(1s);
  EXPECT_EQ(counted.calls.pointerReads, 50) << "every 20 ms";
  const auto t = f.now() + 30ms;
  moveAt(t, justOutside(0));
  f.runFor(1s);
  ASSERT_EQ(reveals.size(), 1u);
  EXPECT_EQ(reveals[0] - t, 170ms) << "sampled 10 ms later, then 0.15 s on the 20 ms grid";
}

TEST_F(Hover, PollingIdlesCheaplyAndEventDrivenNotAtAll) {
  f.world().personMove(away());
  enable(HoverDetectionMethod::polling);
  f.runFor(100ms);
  counted.calls = {};
  f.runFor(2s);
  EXPECT_EQ(counted.calls.pointerReads, 40) << "20 samples per second";
  EXPECT_EQ(counted.calls.fullWindowLists, 0);
  EXPECT_LE(counted.calls.singleWindowLists, 2) << "the control frame is cached for a second";

  enable(HoverDetectionMethod::eventDriven);
  f.runFor(100ms);
  counted.calls = {};
  f.runFor(10s);
  EXPECT_EQ(counted.calls.pointerReads, 0);
  EXPECT_EQ(counted.calls.fullWindowLists + counted.calls.singleWindowLists, 0);
  EXPECT_FALSE(app().hoverSamplingTask || app().hoverEventDwellTask || app().hoverEventExitGraceTask);
}

TEST_F(Hover, SwitchingTheSettingsTearsDownWhatWasThere) {
  EXPECT_EQ(app().hoverTrackingArea, 0u) << "off by default";
  EXPECT_FALSE(app().hoverSamplingTask);
  enable(HoverDetectionMethod::polling);
  f.world().personMove(justOutside(0));
  f.runFor(60ms);
  ASSERT_TRUE(app().hoverDwellStart);
  ASSERT_TRUE(app().hoverSamplingTask);
  f.store().hoverDetectionMethod.set(HoverDetectionMethod::eventDriven);
  f.runFor(1ms);  // the observation delivers on a later turn
  EXPECT_FALSE(app().hoverDwellStart);
  EXPECT_FALSE(app().hoverSamplingTask);
  EXPECT_NE(app().hoverTrackingArea, 0u);
  EXPECT_TRUE(app().hoverEventEntryStart) << "the pointer already inside counts as an entry";
  f.store().hoverDetectionMethod.set(HoverDetectionMethod::polling);
  f.runFor(1ms);
  EXPECT_EQ(app().hoverTrackingArea, 0u);
  EXPECT_FALSE(app().hoverEventEntryStart);
  EXPECT_TRUE(app().hoverSamplingTask);
  f.store().expandOnHover.set(false);
  f.runFor(1ms);
  EXPECT_FALSE(app().hoverSamplingTask);
  EXPECT_EQ(app().hoverTrackingArea, 0u);
  f.runFor(1s);
  EXPECT_TRUE(reveals.empty());
}

enum class Refusal { none, hoverOff, expanded, popover, detachedPanel, settings, setupTask, activation, capturing,
                     operation, revealTask };

class HoverGate : public Hover, public ::testing::WithParamInterface<Refusal> {};

TEST_P(HoverGate, RefusesInEachOfItsCases) {
  f.world().personMove(away());
  f.store().expandOnHover.set(true);
  f.runFor(10ms);
  auto forever = [&] { return async::spawn(f.executor, []() -> async::Task<void> { co_await async::sleepFor(1h); }); };
  switch (GetParam()) {
    case Refusal::none: break;
    case Refusal::hoverOff: f.store().expandOnHover.set(false); break;
    case Refusal::expanded: app().setSystemCollection(false); break;
    case Refusal::popover: app().togglePopover(); break;
    case Refusal::detachedPanel: app().showDetachedPanel(); break;
    case Refusal::settings: app().openSettings(); break;
    case Refusal::setupTask: app().initialSystemSetupTask = forever(); break;
    case Refusal::activation: app().systemItemActivationTask = forever(); break;
    case Refusal::capturing: f.store().isCapturingSystemItems.set(true); break;
    case Refusal::operation: app().activeSystemItemOperationCount = 1; break;
    case Refusal::revealTask: app().revealSessionTask = forever(); break;
  }
  app().hoverRequiresPointerExit = false;
  const auto sessionBefore = app().revealSessionGeneration;
  app().revealFromHoverIfEligible();
  const bool revealed = app().revealSessionGeneration != sessionBefore;
  EXPECT_EQ(revealed, GetParam() == Refusal::none);
  EXPECT_EQ(app().hoverRequiresPointerExit, GetParam() == Refusal::none);
  app().activeSystemItemOperationCount = 0;
  f.store().isCapturingSystemItems.set(false);
}

INSTANTIATE_TEST_SUITE_P(Cases, HoverGate,
                         ::testing::Values(Refusal::none, Refusal::hoverOff, Refusal::expanded, Refusal::popover,
                                           Refusal::detachedPanel, Refusal::settings, Refusal::setupTask,
                                           Refusal::activation, Refusal::capturing, Refusal::operation,
                                           Refusal::revealTask));

// MARK: - The control item's window

struct Duplicate {
  const char* label;
  std::optional<int32_t> duplicateOwner;
  std::optional<Rect> ours, duplicate;
  std::optional<bool> oursOnScreen, duplicateOnScreen;
  bool expectDuplicate;
};

class ControlWindowLookup : public ::testing::TestWithParam<Duplicate> {};

TEST_P(ControlWindowLookup, PrefersOurOnScreenCompactRightmostWindow) {
  const Duplicate& c = GetParam();
  sim::WorldSpec spec = controllerWorld(true);
  spec.switches.controlWindowDuplicates = 1;
  spec.switches.duplicateControlOwnerPID = c.duplicateOwner;
  ControllerFixture f(spec);
  f.launch();
  const uint32_t ours = f.app().statusItem->windowNumber();
  const uint32_t duplicate = 0xF0000000u;
  auto set = [&](uint32_t window, const std::optional<Rect>& bounds, std::optional<bool> onScreen) {
    if (bounds) f.world().overrideWindowField(window, platform::windowkey::bounds, *bounds);
    if (onScreen) f.world().overrideWindowField(window, platform::windowkey::isOnscreen, *onScreen);
  };
  set(ours, c.ours, c.oursOnScreen);
  set(duplicate, c.duplicate, c.duplicateOnScreen);
  auto found = f.app().discoverHoverWindow();
  ASSERT_TRUE(found) << c.label;
  EXPECT_EQ(found->id, c.expectDuplicate ? duplicate : ours) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControlWindowLookup,
    ::testing::Values(
        Duplicate{"ours off screen", {}, {}, {}, false, {}, true},
        Duplicate{"the duplicate off screen", {}, {}, {}, {}, false, false},
        Duplicate{"a small and a wide one", {}, Rect{1000, 0, 24, 24}, Rect{1100, 0, 200, 24}, {}, {}, false},
        Duplicate{"two small ones: the rightmost", {}, Rect{1000, 0, 24, 24}, Rect{1100, 0, 24, 24}, {}, {}, true},
        Duplicate{"another process's only when none of ours qualifies", 777, Rect{1000, 0, 24, 24},
                  Rect{1100, 0, 24, 24}, false, {}, false},
        Duplicate{"another process's when ours has no width", 777, Rect{1000, 0, 0, 24}, {}, {}, {}, true}));

}  // namespace
}  // namespace vimbo::testing
