#include "HiderFixture.h"
#include "Platform/Sim/WorldJson.h"

namespace vimbo::testing {
namespace {

using platform::EventType;
using Destination = MenuBarCaptureService::MenuBarMoveDestination;
using std::chrono::duration_cast;
using std::chrono::milliseconds;

struct Step {
  EventType type;
  sim::PostRoute route;
  long at;  // ms after the move began
  Point location;
  platform::EventFlags flags;
  friend bool operator==(const Step&, const Step&) = default;
};

std::ostream& operator<<(std::ostream& os, const Step& s) {
  return os << "{type " << static_cast<int>(s.type) << " route " << static_cast<int>(s.route) << " @" << s.at << "ms ("
            << s.location.x << "," << s.location.y << ") flags " << std::hex << s.flags << std::dec << "}";
}

struct MoverTest : ::testing::Test {
  Desk d{smallWorld(true)};
  async::TimePoint began;
  async::TaskHandle<bool> move;

  void SetUp() override {
    d.installOwnItems();
    d.capture();
    d.world().clearRecords();
  }

  void start(const std::string& key, Destination destination, bool exactOrder = false) {
    const CapturedMenuBarItem item = d.itemFor(key);
    const Rect divider = d.divider(), control = d.control();
    const Point point = destination == Destination::collected
                            ? Point{divider.minX() - 24, divider.midY()}
                            : Point{control.minX() - item.originalFrame.width / 2, control.midY()};
    began = d.executor.now();
    MenuBarCaptureService* service = &d.capture();
    move = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(item, point, exactOrder, destination); });
  }
  bool finish() {
    d.executor.runUntilIdle();
    return move.result().value_or(false);
  }
  long elapsed() { return static_cast<long>(duration_cast<milliseconds>(d.executor.now() - began).count()); }

  std::vector<Step> steps() {
    std::vector<Step> out;
    for (const auto& p : d.world().postedEvents()) {
      out.push_back({p.event.type, p.route, static_cast<long>(duration_cast<milliseconds>(p.time - began).count()),
                     p.event.location, p.event.flags});
    }
    return out;
  }
  // The pointer back where it was, cursor shown, no key or button left down.
  void expectCleanDesk() {
    EXPECT_FALSE(d.world().isCommandHeld());
    EXPECT_FALSE(d.world().isMouseButtonDown());
    EXPECT_EQ(d.world().totalCursorHideCount(), 0);
    EXPECT_EQ(d.world().pointer(), (Point{700, 500}));
  }
  bool standsVisible(const std::string& key) {
    const Rect f = d.frame(key);
    return f.minX() >= d.divider().maxX() - 0.5 && f.maxX() <= d.control().minX() + 0.5;
  }
};

constexpr platform::EventFlags kCmd = platform::eventflag::command;

TEST_F(MoverTest, CommandDragAloneTakes653msWithTheExactSequence) {
  const Point c = d.frame("a").center();
  const Point drop{d.control().minX(), d.control().midY()};
  start("a", Destination::visible);
  ASSERT_TRUE(finish());
  EXPECT_EQ(elapsed(), 653);
  EXPECT_TRUE(standsVisible("a"));

  using R = sim::PostRoute;
  std::vector<Step> expected = {
      {EventType::MouseMoved, R::HIDTap, 80, c, kCmd},
      {EventType::KeyDown, R::HIDTap, 135, d.world().postedEvents()[1].event.location, kCmd},
      {EventType::LeftMouseDown, R::HIDTap, 195, c, kCmd},
  };
  for (int i = 1; i <= 12; ++i) {
    const Point p = i == 12 ? drop : Point{c.x + (drop.x - c.x) * i / 12, c.y + (drop.y - c.y) * i / 12};
    expected.push_back({EventType::LeftMouseDragged, R::HIDTap, 285 + 24 * (i - 1), p, kCmd});
  }
  expected.push_back({EventType::LeftMouseUp, R::HIDTap, 573, drop, kCmd});
  expected.push_back({EventType::KeyUp, R::HIDTap, 653, d.world().postedEvents().back().event.location, 0});
  EXPECT_EQ(steps(), expected);
  EXPECT_EQ(d.world().postedEvents()[1].event.keyCode, 55);
  EXPECT_EQ(d.world().postedEvents().back().event.keyCode, 55);
  EXPECT_EQ(d.world().warps(), (std::vector<Point>{c, Point{700, 500}}));
  ASSERT_EQ(d.world().sources().size(), 1u);
  EXPECT_EQ(d.world().sources().begin()->second.suppressionInterval, 0.0);
  expectCleanDesk();
}

TEST_F(MoverTest, ControlCenterItemIsTakenByTheTargetedMoveIn360ms) {
  const CapturedMenuBarItem wifi = d.itemFor("wifi");
  const Point s = wifi.originalFrame.center();
  start("wifi", Destination::visible);
  ASSERT_TRUE(finish());
  EXPECT_EQ(elapsed(), 360);
  EXPECT_TRUE(standsVisible("wifi"));

  const auto& posted = d.world().postedEvents();
  ASSERT_EQ(posted.size(), 2u);  // no keyboard event in this strategy
  const Point drop{d.control().minX(), d.control().midY()};
  EXPECT_EQ(steps(), (std::vector<Step>{{EventType::LeftMouseDown, sim::PostRoute::SessionTap, 80, s, kCmd},
                                        {EventType::LeftMouseUp, sim::PostRoute::SessionTap, 260, drop, kCmd}}));
  for (int i = 0; i < 2; ++i) {
    const platform::Event& e = posted[i].event;
    EXPECT_EQ(e.integerValueField(40), 300);
    EXPECT_EQ(e.integerValueField(91), wifi.id);
    EXPECT_EQ(e.integerValueField(92), wifi.id);
    EXPECT_EQ(e.integerValueField(51), wifi.id);
    EXPECT_EQ(e.integerValueField(1), 1);
    EXPECT_EQ(e.integerValueField(42), i == 0 ? 1337 : 1340);
    EXPECT_EQ(e.integerValueField(45), 1);
  }
  const sim::SourceSettings& source = d.world().sources().begin()->second;
  EXPECT_EQ(source.suppressionInterval, 0.02);
  EXPECT_EQ(source.filterMask, 7u) << "our hold takes the person's clicks: the source need not drop them";
  EXPECT_EQ(source.filterState, 0);
  EXPECT_EQ(d.world().warps(), (std::vector<Point>{s, drop, Point{700, 500}}));
  expectCleanDesk();
}

TEST_F(MoverTest, RefusedTargetedMoveThenUnsettablePositionThenDragTakes1313ms) {
  d.world().faults("wifi").acceptsTargetedMove = false;
  start("wifi", Destination::visible);
  ASSERT_TRUE(finish());
  EXPECT_EQ(elapsed(), 1313);
  EXPECT_TRUE(standsVisible("wifi"));
  const auto s = steps();
  ASSERT_EQ(s.size(), 2u + 17u);
  EXPECT_EQ(s[2].at, 660 + 80);  // the drag's mouse-moved, after the refused move's 300 ms check
  expectCleanDesk();
}

// Remembers which applications' trees were asked, in order.
struct AppLog : platform::Accessibility {
  explicit AppLog(platform::Accessibility& inner) : inner(inner) {}
  platform::Accessibility& inner;
  std::vector<int32_t> apps;
  using E = platform::AXElement;
  bool isProcessTrusted(bool prompt) override { return inner.isProcessTrusted(prompt); }
  E createApplication(int32_t pid) override { apps.push_back(pid); return inner.createApplication(pid); }
  E createSystemWide() override { return inner.createSystemWide(); }
  platform::AXCopyResult copyAttributeValue(E e, const std::string& a) override { return inner.copyAttributeValue(e, a); }
  platform::AXSettableResult isAttributeSettable(E e, const std::string& a) override { return inner.isAttributeSettable(e, a); }
  platform::AXError setAttributeValue(E e, const std::string& a, const platform::AXValue& v) override {
    return inner.setAttributeValue(e, a, v);
  }
  platform::AXError performAction(E e, const std::string& a) override { return inner.performAction(e, a); }
  platform::AXElementResult copyElementAtPosition(E e, float x, float y) override { return inner.copyElementAtPosition(e, x, y); }
  platform::AXPidResult getPid(E e) override { return inner.getPid(e); }
  platform::AXError setMessagingTimeout(E e, float s) override { return inner.setMessagingTimeout(e, s); }
};

// An item whose menu extra lives in a helper process: once that owner is known, the targeted move
// aims at it, and the reposition asks the helper's tree before the window owner's.
TEST(MoverOwner, AKnownAccessibilityOwnerIsTriedFirst) {
  sim::WorldSpec spec = smallWorld(true);
  sim::AppSpec helper = spec.apps.back();
  helper.pid = 503;
  helper.name = "Tallybird Agent";
  helper.bundleIdentifier = "io.tallybird.agent";
  spec.apps.push_back(helper);
  spec.items[1].axPID = 503;
  spec.items[1].faults.positionSettable = true;
  spec.items[1].faults.positionWriteIgnored = true;
  Desk d(std::move(spec));
  d.installOwnItems();
  const platform::Platform& p = d.platform;
  AppLog log(p.accessibility);
  MenuBarCaptureService service({p.executor, p.defaults, p.windowServer, p.screenCaptureAccess, p.screenCapture, log,
                                 p.events, p.inputHold, p.statusBar, p.screens, p.workspace, p.eventMonitors, p.hotKeys,
                                 p.application, p.loginItem, p.windows},
                                d.defaults, d.executor);
  const CapturedMenuBarItem b = d.itemFor("b");
  service.mutableStateForTesting().menuExtraAXOwnerPIDs[b.id] = 503;
  d.world().clearRecords();
  const auto began = d.executor.now();
  const Point point{d.control().minX() - 15, d.control().midY()};
  auto move = async::spawn(d.executor, [&]() { return service.moveMenuBarItem(b, point, false, Destination::visible); });
  d.executor.runUntilIdle();
  ASSERT_EQ(move.result(), true);
  // Refused targeted move and its checks, one settle after the ignored write, then the drag.
  EXPECT_EQ(d.executor.now() - began, 660ms + 35ms + 653ms);
  const auto& posted = d.world().postedEvents();
  ASSERT_EQ(posted.size(), 2u + 17u);
  EXPECT_EQ(posted[0].route, sim::PostRoute::SessionTap);
  EXPECT_EQ(posted[0].event.integerValueField(40), 503);
  EXPECT_EQ(posted[1].event.integerValueField(40), 503);
  EXPECT_EQ(log.apps, (std::vector<int32_t>{503, 502}));
}

TEST_F(MoverTest, AccessibilityRepositionWinsWhenItsWriteLands) {
  d.world().faults("b").positionSettable = true;
  start("b", Destination::visible);
  ASSERT_TRUE(finish());
  EXPECT_EQ(elapsed(), 35);
  EXPECT_TRUE(d.world().postedEvents().empty());
  EXPECT_TRUE(standsVisible("b"));
  // Right edge at the control item's left edge: b is its immediate left neighbour.
  EXPECT_EQ(d.frame("b").maxX(), d.control().minX());

  d.world().faults("a").positionSettable = true;
  start("a", Destination::visible, /*exactOrder=*/true);
  ASSERT_TRUE(finish());
  EXPECT_EQ(elapsed(), 60);
  EXPECT_EQ(d.frame("a").maxX(), d.control().minX());
  EXPECT_EQ(d.frame("b").maxX(), d.frame("a").minX());
}

TEST_F(MoverTest, AWriteThatMovesNothingFallsThroughToTheDrag) {
  d.world().faults("b").positionSettable = true;
  d.world().faults("b").positionWriteIgnored = true;
  start("b", Destination::visible);
  ASSERT_TRUE(finish());
  EXPECT_EQ(elapsed(), 35 + 653);
  EXPECT_TRUE(standsVisible("b"));
  expectCleanDesk();
}

TEST_F(MoverTest, FailedVerificationReportsFalseAfterTwelveChecks) {
  d.world().faults("a").ignoresDrags = true;
  start("a", Destination::visible);
  EXPECT_FALSE(finish());
  EXPECT_EQ(elapsed(), 653 + 300);
  expectCleanDesk();

  // Collected side: the drop 24 points left of the divider, judged by the divider alone.
  d.world().faults("a").ignoresDrags = false;
  start("a", Destination::visible);
  ASSERT_TRUE(finish());
  start("a", Destination::collected);
  ASSERT_TRUE(finish());
  EXPECT_LE(d.frame("a").maxX(), d.divider().minX());
}

TEST_F(MoverTest, NothingIsPostedForAGoneWindowAFixedItemOrWithoutTrust) {
  const CapturedMenuBarItem a = d.itemFor("a");
  d.world().removeItem("a");
  MenuBarCaptureService* service = &d.capture();
  auto gone = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(a, {1000, 10}, false, Destination::visible); });
  const CapturedMenuBarItem clock = d.itemFor("clock");
  auto fixed = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(clock, {1000, 10}, false, Destination::visible); });
  d.executor.runUntilIdle();
  EXPECT_EQ(gone.result(), false);
  EXPECT_EQ(fixed.result(), false);

  const int prompts = d.world().accessibilityPrompts();
  d.world().setAccessibilityTrusted(false);
  start("b", Destination::visible);
  EXPECT_FALSE(finish());
  EXPECT_EQ(d.world().accessibilityPrompts(), prompts + 1);
  EXPECT_TRUE(d.world().postedEvents().empty());
  EXPECT_TRUE(d.world().warps().empty());
}

// Whatever ends the drag, the window server is not left with the button or Command down.
TEST_F(MoverTest, EveryExitReleasesButtonCommandAndCursor) {
  auto lastTwo = [&] {
    const auto& p = d.world().postedEvents();
    return std::make_pair(p[p.size() - 2].event, p.back().event);
  };

  // Cancelled mid-drag: the drag still completes, at once, and the result is false.
  start("a", Destination::visible);
  d.executor.runFor(300ms);
  move.cancel();
  EXPECT_FALSE(finish());
  EXPECT_EQ(elapsed(), 300);
  EXPECT_EQ(d.world().postedEvents().back().event.type, EventType::KeyUp);
  expectCleanDesk();

  // Explicit clean-up at quit: the held button is let go at the start point, then Command.
  d.world().clearRecords();
  start("b", Destination::visible);
  const Point cb = d.frame("b").center();
  d.executor.runFor(250ms);
  ASSERT_TRUE(d.world().isMouseButtonDown());
  d.capture().finishPendingMoveCleanup();
  auto [up, keyUp] = lastTwo();
  EXPECT_EQ(up.type, EventType::LeftMouseUp);
  EXPECT_EQ(up.location, cb);
  EXPECT_EQ(up.flags, kCmd);
  EXPECT_EQ(keyUp.type, EventType::KeyUp);
  EXPECT_EQ(keyUp.flags, 0u);
  expectCleanDesk();
  const size_t posted = d.world().postedEvents().size();
  EXPECT_FALSE(finish());
  EXPECT_EQ(d.world().postedEvents().size(), posted);  // nothing after the clean-up
  EXPECT_EQ(d.capture().lastItemFailure(), MenuBarCaptureService::ItemFailure::givenUp) << "no drop to wait for";

  // An event of a sequence that cannot be made: nothing is pressed at all, and the move says why.
  const std::vector<std::pair<const char*, EventType>> unmade = {
      {"a", EventType::LeftMouseDragged}, {"a", EventType::LeftMouseUp}, {"a", EventType::KeyUp},
      {"wifi", EventType::LeftMouseUp}};  // wifi: the targeted move first
  for (const auto& [key, type] : unmade) {
    SCOPED_TRACE(std::string(key) + " without event type " + std::to_string(static_cast<int>(type)));
    d.world().clearRecords();
    d.world().switches().failingEventTypes = {type};
    start(key, Destination::visible);
    EXPECT_FALSE(finish());
    EXPECT_EQ(d.capture().lastItemFailure(), MenuBarCaptureService::ItemFailure::eventUnavailable);
    for (const auto& posted : d.world().postedEvents()) EXPECT_NE(posted.event.type, EventType::LeftMouseDown);
    EXPECT_FALSE(d.world().draggingItem());
    expectCleanDesk();
  }
}

// A move waiting for the mover's turn that is given up, by a quit or its own cancellation, made no
// drop: it says so, and no caller waits for a drop to show.
TEST_F(MoverTest, AMoveGivenUpBeforeItsTurnReportsNoDrop) {
  for (const bool quit : {true, false}) {
    SCOPED_TRACE(quit ? "a quit" : "cancelled");
    start("a", Destination::visible);
    MenuBarCaptureService* service = &d.capture();
    const CapturedMenuBarItem b = d.itemFor("b");
    const Point point{d.control().minX() - 15, d.control().midY()};
    auto waiting = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(b, point, false, Destination::visible); });
    d.executor.runFor(100ms);
    if (quit) {
      d.capture().finishPendingMoveCleanup();
    } else {
      waiting.cancel();
    }
    finish();
    ASSERT_TRUE(waiting.isDone());
    EXPECT_EQ(waiting.result(), false);
    EXPECT_EQ(d.capture().lastItemFailure(), MenuBarCaptureService::ItemFailure::givenUp);
    expectCleanDesk();
  }
}

TEST_F(MoverTest, QuitDuringTheTargetedMoveReleasesItAndStartsNoOtherStrategy) {
  d.world().faults("wifi").acceptsTargetedMove = false;
  const Point s = d.frame("wifi").center();
  start("wifi", Destination::visible);
  d.executor.runFor(100ms);
  d.capture().finishPendingMoveCleanup();
  EXPECT_FALSE(finish());
  EXPECT_EQ(d.capture().lastItemFailure(), MenuBarCaptureService::ItemFailure::givenUp) << "no drop to wait for";
  const auto& posted = d.world().postedEvents();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[1].event.type, EventType::LeftMouseUp);
  EXPECT_EQ(posted[1].route, sim::PostRoute::SessionTap);
  EXPECT_EQ(posted[1].event.location, s);
  EXPECT_EQ(posted[1].event.integerValueField(42), 1340);
  expectCleanDesk();
}

// A new activation or quit cancels the move: it must not fall through to a drag of its own.
TEST_F(MoverTest, ACancelledTargetedMoveStartsNoFurtherStrategy) {
  d.world().switches().dragSettleLatency = 200ms;
  start("wifi", Destination::visible);
  d.executor.runFor(370ms);  // the drop is posted; its first check failed while the bar settles
  ASSERT_EQ(d.world().postedEvents().size(), 2u);
  move.cancel();
  EXPECT_FALSE(finish());
  const auto& posted = d.world().postedEvents();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[1].event.type, EventType::LeftMouseUp);
  EXPECT_TRUE(standsVisible("wifi"));
  expectCleanDesk();
}

TEST_F(MoverTest, MissingControlItemWithExactOrderAbandonsTheDragCleanly) {
  d.world().switches().controlWindowMissing = true;
  start("a", Destination::visible, /*exactOrder=*/true);
  EXPECT_FALSE(finish());
  EXPECT_EQ(elapsed(), 285);
  const auto& posted = d.world().postedEvents();
  ASSERT_EQ(posted.size(), 5u);
  EXPECT_EQ(posted[3].event.type, EventType::LeftMouseUp);
  EXPECT_EQ(posted[4].event.type, EventType::KeyUp);
  expectCleanDesk();
}

// A person's click and Command key-up in the middle of our Command-drag. With no hold on their
// input (no event tap could be made) the release ends our drag where their pointer is and the
// key-up lets go of our Command, as on a Mac; with our hold the item ends where asked and the
// click acts afterwards, where the person made it. A click within 20 ms of a post of the targeted
// move is dropped by its source only without our hold: under it, dropping would lose it for good.
TEST(MoverAndThePerson, ThePersonsClickDuringOurDragWaitsForOurHold) {
  for (const bool tapAvailable : {false, true}) {
    SCOPED_TRACE(tapAvailable ? "with our hold" : "without a tap");
    Desk d(smallWorld(true));
    d.installOwnItems();
    d.world().switches().eventTapUnavailable = !tapAvailable;
    MenuBarCaptureService* service = &d.capture();
    const CapturedMenuBarItem a = d.itemFor("a");
    const Point drop{d.control().minX() - a.originalFrame.width / 2, d.control().midY()};
    auto move = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(a, drop, false, Destination::visible); });
    d.executor.runFor(300ms);
    ASSERT_TRUE(d.world().isMouseButtonDown()) << "not dragging";
    const Point click{300, 10};
    d.world().personKey(platform::keycode::command, false);
    EXPECT_EQ(d.world().isCommandHeld(), tapAvailable);
    d.world().personClick(click);
    d.executor.runUntilIdle();
    const Rect f = d.frame("a");
    const bool visible = f.minX() >= d.divider().maxX() - 0.5 && f.maxX() <= d.control().minX() + 0.5;
    EXPECT_EQ(move.result(), tapAvailable);
    EXPECT_EQ(visible, tapAvailable);
    if (tapAvailable) {
      EXPECT_EQ(d.world().pointer(), click) << "the click acted last";
    } else {
      EXPECT_LE(f.maxX(), d.divider().minX()) << "dropped where the person let go";
      EXPECT_EQ(d.world().pointer(), (Point{700, 500})) << "our put-back undid the person's pointer";
    }
    EXPECT_FALSE(d.world().isCommandHeld());
    EXPECT_FALSE(d.world().isMouseButtonDown());

    const CapturedMenuBarItem wifi = d.itemFor("wifi");
    d.world().clearRecords();
    auto targeted = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(wifi, drop, false, Destination::visible); });
    d.executor.runFor(90ms);  // the press was posted 10 ms ago
    d.world().personClick(d.frame("clock").center());
    d.executor.runUntilIdle();
    EXPECT_EQ(targeted.result(), true);
    EXPECT_EQ(d.world().menuOpenCount("clock"), tapAvailable ? 1 : 0);
    EXPECT_EQ(d.world().sources().rbegin()->second.filterMask, tapAvailable ? 7u : 6u);
  }
}

TEST(MoverQuit, ATaskDestroyedMidDragLeavesNothingHeld) {
  Desk d(smallWorld(true));
  d.installOwnItems();
  MenuBarCaptureService* service = &d.capture();
  const CapturedMenuBarItem a = d.itemFor("a");
  const Point c = a.originalFrame.center();
  const Point drop{d.control().minX() - 15, d.control().midY()};
  auto move = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(a, drop, false, Destination::visible); });
  d.executor.runFor(300ms);
  ASSERT_TRUE(d.world().isCommandHeld());
  ASSERT_TRUE(d.world().isMouseButtonDown());
  d.executor.stop();
  const auto& posted = d.world().postedEvents();
  ASSERT_GE(posted.size(), 2u);
  EXPECT_EQ(posted[posted.size() - 2].event.type, EventType::LeftMouseUp);
  EXPECT_EQ(posted[posted.size() - 2].event.location, c);
  EXPECT_EQ(posted.back().event.type, EventType::KeyUp);
  EXPECT_FALSE(d.world().isCommandHeld());
  EXPECT_FALSE(d.world().isMouseButtonDown());
  EXPECT_EQ(d.world().totalCursorHideCount(), 0);
  EXPECT_EQ(d.world().pointer(), (Point{700, 500}));
}

// Every item that may move crosses the divider both ways in each shipped world, whichever
// strategy takes it.
TEST(MoverWorlds, EveryMovableItemCrossesBothWaysInEachShippedWorld) {
  for (const char* file : {"notched-laptop.json", "plain-1920.json", "two-displays.json"}) {
    SCOPED_TRACE(file);
    auto load = sim::loadWorld(sim::shippedWorldsFolder() / file);
    ASSERT_TRUE(std::holds_alternative<sim::WorldSpec>(load));
    Desk d(std::get<sim::WorldSpec>(std::move(load)));
    d.installOwnItems();
    const Point home = d.world().pointer();
    int moves = 0;
    MenuBarCaptureService* service = &d.capture();
    for (const sim::ItemView& view : d.world().items()) {
      if (view.own || view.fixed) continue;
      SCOPED_TRACE(view.specKey);
      const CapturedMenuBarItem item = d.itemFor(view.specKey);
      for (auto side : {Destination::visible, Destination::collected}) {
        const Point point = side == Destination::visible
                                ? Point{d.control().minX() - item.originalFrame.width / 2, d.control().midY()}
                                : Point{d.divider().minX() - 24, d.divider().midY()};
        auto move = async::spawn(d.executor, [=]() { return service->moveMenuBarItem(item, point, false, side); });
        d.executor.runUntilIdle();
        ASSERT_EQ(move.result(), true);
        ++moves;
        const Rect f = d.frame(view.specKey);
        if (side == Destination::visible) {
          EXPECT_GE(f.minX(), d.divider().maxX());
          EXPECT_LE(f.maxX(), d.control().minX());
        } else {
          EXPECT_LE(f.maxX(), d.divider().minX());
        }
      }
    }
    EXPECT_FALSE(d.world().isCommandHeld());
    EXPECT_FALSE(d.world().isMouseButtonDown());
    EXPECT_EQ(d.world().totalCursorHideCount(), 0);
    EXPECT_EQ(d.world().pointer(), home);
    EXPECT_GE(moves, 2 * 12);
  }
}

}  // namespace
}  // namespace vimbo::testing
