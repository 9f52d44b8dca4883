// Event recording, the cursor, monitors, tracking areas and hot keys.
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

class Events : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
};

// Every posted event is recorded; warps clamp and send nothing; hide counts balance.
TEST_F(Events, PostedEventsAreRecordedWarpsClampAndHideCountsBalance) {
  source = sim->events.createSource(EventSourceStateID::HIDSystem);
  source->setLocalEventsSuppressionInterval(0.02);
  source->setLocalEventsFilterDuringSuppressionState(6, 0);
  EXPECT_EQ(world->sources().at(source->id()).suppressionInterval, 0.02);
  EXPECT_EQ(world->sources().at(source->id()).filterMask, 6u);
  auto null = sim->events.createNullEvent();
  EXPECT_EQ(null->location, Point(700, 500));
  EXPECT_EQ(sim->events.mouseLocation(), Point(700, 482));

  sim->events.hideCursor(1);
  sim->events.warpMouseCursorPosition({-200, 10});
  EXPECT_EQ(world->pointer(), Point(0, 10));
  EXPECT_EQ(world->cursorHideCount(1), 1);
  commandDrag(frame("wifi").center(), {C().minX(), C().midY()});
  sim->events.warpMouseCursorPosition({700, 500});
  sim->events.showCursor(1);
  EXPECT_EQ(world->totalCursorHideCount(), 0);
  EXPECT_EQ(world->warps().size(), 3u);

  const auto& posted = world->postedEvents();
  ASSERT_EQ(posted.size(), 17u);  // moved, Command down, button down, 12 drags, button up, Command up
  EXPECT_EQ(posted[1].event.type, EventType::KeyDown);
  EXPECT_EQ(posted[1].event.keyCode, 55);
  EXPECT_EQ(posted[2].event.type, EventType::LeftMouseDown);
  EXPECT_EQ(posted[2].event.flags, eventflag::command);
  EXPECT_EQ(posted[14].event.location, Point(C().minX(), C().midY()));
  EXPECT_EQ(posted[16].event.flags, 0u);
  for (const PostedEvent& p : posted) EXPECT_EQ(p.route, PostRoute::HIDTap);
}

// Global monitors see copies of others' mouse-downs after the fact; local monitors see ours
// first and may swallow them; the action runs on the mouse-up with it as the current event.
TEST_F(Events, MonitorsSeeTheirEventsAndActionsRunWithTheCurrentEvent) {
  std::vector<EventType> global, local;
  std::vector<std::optional<Event>> current;
  bool swallow = false;
  auto g = sim->eventMonitors.addGlobalMonitor(
      eventMaskBit(EventType::LeftMouseDown) | eventMaskBit(EventType::RightMouseDown),
      [&](const Event& e) { global.push_back(e.type); });
  sim->eventMonitors.addLocalMonitor(eventMaskBit(EventType::LeftMouseDown) | eventMaskBit(EventType::RightMouseDown),
                                     [&](const Event& e) -> std::optional<Event> {
                                       local.push_back(e.type);
                                       if (swallow) return std::nullopt;
                                       return e;
                                     });
  control->button()->sendActionOn(eventMaskBit(EventType::LeftMouseUp) | eventMaskBit(EventType::RightMouseUp));
  control->button()->setAction([&] { current.push_back(sim->application.currentEvent()); });

  world->personClick(frame("wifi").center());
  EXPECT_TRUE(global.empty());  // after the fact
  loop.runUntilIdle();
  EXPECT_EQ(global, std::vector<EventType>{EventType::LeftMouseDown});
  world->dismissAllMenus();

  world->personClick(C().center(), eventflag::option);
  EXPECT_EQ(local, std::vector<EventType>{EventType::LeftMouseDown});
  ASSERT_EQ(current.size(), 1u);
  EXPECT_EQ(current[0]->type, EventType::LeftMouseUp);
  EXPECT_TRUE(current[0]->modifierFlags() & eventflag::option);
  EXPECT_FALSE(sim->application.currentEvent());

  world->personMouse(EventType::RightMouseDown, C().center());
  world->personMouse(EventType::RightMouseUp, C().center());
  EXPECT_EQ(current.back()->type, EventType::RightMouseUp);

  swallow = true;
  world->personClick(C().center());
  EXPECT_EQ(current.size(), 2u);
  loop.runUntilIdle();
  EXPECT_EQ(global.size(), 1u);  // our own clicks never reach the global monitor

  sim->eventMonitors.removeMonitor(g);
  world->personClick({700, 600});
  loop.runUntilIdle();
  EXPECT_EQ(global.size(), 1u);
}

// Tracking areas: real motion only, nothing when added inside, nothing while a button is held.
TEST_F(Events, TrackingAreasReportRealMotionOnly) {
  std::vector<TrackingEventKind> seen;
  world->warp(C().center());
  control->button()->setAcceptsMouseMovedEvents(true);
  control->button()->addTrackingArea(control->button()->bounds(), 0x283,
                                     [&](TrackingEventKind k, const Event&) { seen.push_back(k); });
  loop.runUntilIdle();
  EXPECT_TRUE(seen.empty());
  world->personMove({C().midX() + 2, C().midY()});
  world->personMove({700, 500});
  loop.runUntilIdle();
  EXPECT_EQ(seen, (std::vector<TrackingEventKind>{TrackingEventKind::Moved, TrackingEventKind::Exited}));
  seen.clear();
  world->warp(C().center());
  loop.runUntilIdle();
  EXPECT_TRUE(seen.empty());  // a warp says nothing
  world->personMove({C().midX() + 1, C().midY()});
  loop.runUntilIdle();
  EXPECT_EQ(seen, std::vector<TrackingEventKind>{TrackingEventKind::Entered});
  seen.clear();
  // A Command-drag that ends on the control item's edge: no entered or exited while the button is down.
  commandDrag(frame("wifi").center(), {C().minX(), C().midY()});
  loop.runUntilIdle();
  EXPECT_TRUE(seen.empty());
}

// Hot keys fire their handler with {signature, id} and reach no one else; a taken
// combination cannot be registered twice.
TEST_F(Events, HotKeysFireTheirHandlerAndReachNoOneElse) {
  std::vector<std::optional<HotKeyID>> fired;
  sim->hotKeys.installHandler([&](std::optional<HotKeyID> id) {
    fired.push_back(id);
    return hotkeystatus::noErr;
  });
  uint32_t vmbo = fourCharCode("VMBO");
  auto first = sim->hotKeys.registerHotKey(11, 0x1100, {vmbo, 1});
  auto second = sim->hotKeys.registerHotKey(11, 0x900, {vmbo, 2});
  EXPECT_EQ(first.status, hotkeystatus::noErr);
  EXPECT_EQ(second.status, hotkeystatus::noErr);
  EXPECT_EQ(sim->hotKeys.registerHotKey(11, 0x1100, {vmbo, 3}).status, hotkeystatus::hotKeyExists);

  int globalKeys = 0;
  sim->eventMonitors.addGlobalMonitor(eventMaskBit(EventType::KeyDown) | eventMaskBit(EventType::KeyUp),
                                      [&](const Event&) { ++globalKeys; });
  world->personKey(11, true, eventflag::command | eventflag::control);
  world->personKey(11, false, eventflag::command | eventflag::control);
  loop.runUntilIdle();
  ASSERT_EQ(fired.size(), 1u);
  EXPECT_EQ(fired[0], (HotKeyID{vmbo, 1}));
  EXPECT_TRUE(world->keysToFocusedApp().empty());  // neither the key-down nor its key-up
  EXPECT_EQ(globalKeys, 0);
  world->personKey(11, true);  // the plain key is anyone's
  world->personKey(11, false);
  loop.runUntilIdle();
  EXPECT_EQ(world->keysToFocusedApp().size(), 2u);
  EXPECT_EQ(globalKeys, 2);

  world->personKey(11, true, eventflag::command | eventflag::option);
  loop.runUntilIdle();
  EXPECT_EQ(fired.back(), (HotKeyID{vmbo, 2}));
  sim->hotKeys.unregisterHotKey(first.ref);
  world->personKey(11, true, eventflag::command | eventflag::control);
  loop.runUntilIdle();
  EXPECT_EQ(fired.size(), 2u);
}

// Keys go to the active application through local monitors; arrows carry the numeric-pad
// and function flags.
TEST_F(Events, KeysReachTheActiveApplicationAndArrowsCarryTheirFlags) {
  std::vector<Event> keys;
  sim->eventMonitors.addLocalMonitor(eventMaskBit(EventType::KeyDown), [&](const Event& e) -> std::optional<Event> {
    keys.push_back(e);
    return std::nullopt;
  });
  world->personKey(keycode::downArrow, true);
  EXPECT_TRUE(keys.empty());  // not active: our monitors do not see it
  sim->application.activate(true);
  world->personKey(keycode::downArrow, true);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].modifierFlags(), eventflag::numericPad | eventflag::function);
  auto created = sim->events.createKeyboardEvent(nullptr, keycode::upArrow, true);
  EXPECT_EQ(created->flags, eventflag::numericPad | eventflag::function);
  EXPECT_EQ(world->keysToFocusedApp().size(), 1u);  // the first arrow, before activation
}

// The application object: policy, activation, delegate callbacks and their triggers.
TEST_F(Events, TheApplicationObjectKeepsPolicyActivationAndDelegateCalls) {
  struct Delegate : ApplicationDelegate {
    std::vector<std::string> calls;
    void applicationDidFinishLaunching() override { calls.push_back("launched"); }
    void applicationWillTerminate() override { calls.push_back("terminate"); }
    void applicationDidResignActive() override { calls.push_back("resigned"); }
    bool applicationShouldHandleReopen(bool visible) override {
      calls.push_back(visible ? "reopen visible" : "reopen");
      return false;
    }
  } delegate;
  SimApplication& app = sim->application;
  app.setDelegate(&delegate);
  app.finishLaunching();
  EXPECT_EQ(app.processIdentifier(), 4242);
  app.setActivationPolicy(ActivationPolicy::Accessory);
  EXPECT_EQ(app.activationPolicy(), ActivationPolicy::Accessory);
  EXPECT_EQ(world->activationPolicyChanges(), 1);
  app.resignActive();  // not active: nothing to resign
  app.activate(true);
  EXPECT_TRUE(app.isActive());
  app.resignActive();
  EXPECT_FALSE(app.isActive());
  EXPECT_FALSE(app.reopen(false));
  app.setKeyWindow(7);
  EXPECT_EQ(app.keyWindow(), 0u);  // no such window of ours
  app.terminate();
  app.terminate();
  EXPECT_EQ(delegate.calls, (std::vector<std::string>{"launched", "resigned", "reopen", "terminate"}));
}

// A handler that declines a hot key lets the next one see it.
TEST_F(Events, DeclinedHotKeysPassToTheNextHandler) {
  std::vector<int> seen;
  sim->hotKeys.installHandler([&](std::optional<HotKeyID>) {
    seen.push_back(1);
    return hotkeystatus::eventNotHandled;
  });
  auto second = sim->hotKeys.installHandler([&](std::optional<HotKeyID>) {
    seen.push_back(2);
    return hotkeystatus::noErr;
  });
  sim->hotKeys.registerHotKey(11, 0x900, {fourCharCode("VMBO"), 2});
  world->personKey(11, true, eventflag::command | eventflag::option);
  loop.runUntilIdle();
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  sim->hotKeys.removeHandler(second);
  world->personKey(11, true, eventflag::command | eventflag::option);
  loop.runUntilIdle();
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 1}));
  EXPECT_TRUE(world->keysToFocusedApp().empty());  // still taken for the session
}

}  // namespace
}  // namespace vimbo::sim::testing
