// Command-drag semantics, the drop rule and the accessibility writes of the mover.
#include "Platform/Sim/Generator.h"
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

class Drag : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
  Point controlDrop() { return {C().minX(), C().midY()}; }
  Point collectDrop() { return {D().minX() - 24, D().midY()}; }
  // Notes, in the order they act, the handler of the hot key Command-B (key 11) and a click on the
  // control item.
  void recordHotKeyAndClick(std::vector<std::string>& acted) {
    sim->hotKeys.installHandler([&acted](std::optional<HotKeyID>) {
      acted.push_back("hot key");
      return hotkeystatus::noErr;
    });
    sim->hotKeys.registerHotKey(11, hotkeymodifier::command, {1, 1});
    control->button()->setAction([&acted] { acted.push_back("click"); });
  }
};

// With an empty visible zone: the 1-pt divider stands right beside the control item.
TEST_F(Drag, DropAtControlMinXFromCollectedSideLandsLeftOfControl) {
  ASSERT_EQ(D().maxX(), C().minX());
  dragItem("wifi", controlDrop());
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "wifi");
  EXPECT_EQ(leftNeighbour("wifi"), "Vimbo.HiddenDivider");
  EXPECT_EQ(frame("wifi"), Rect(1298, 0, 30, 37));
  EXPECT_EQ(D(), Rect(1297, 0, 1, 37));
  EXPECT_FALSE(world->draggingItem());
  EXPECT_FALSE(world->isCommandHeld());
  EXPECT_FALSE(world->isMouseButtonDown());
  EXPECT_TRUE(world->openMenus().empty());
}

// From within the visible zone: the item ends immediately left of the control item.
TEST_F(Drag, DropAtControlMinXFromVisibleZone) {
  dragItem("wifi", controlDrop());
  dragItem("sound", controlDrop());
  ASSERT_EQ(order()[indexOf("Vimbo.HiddenDivider") + 1], "wifi");
  dragItem("wifi", controlDrop());
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "wifi");
  EXPECT_EQ(leftNeighbour("wifi"), "sound");
  EXPECT_EQ(leftNeighbour("sound"), "Vimbo.HiddenDivider");
}

// A drop at D.minX - 24 lands immediately left of the divider when its left neighbour is
// wider than 24.5 pt, from the visible side and from further left.
TEST_F(Drag, DropLeftOfDividerLandsImmediatelyLeft) {
  dragItem("wifi", controlDrop());
  ASSERT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "battery");  // 40 pt wide
  dragItem("wifi", collectDrop());
  EXPECT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "wifi");
  EXPECT_EQ(leftNeighbour("wifi"), "battery");
  EXPECT_LE(frame("wifi").maxX(), D().minX() + 2.5);
  dragItem("lumen-notes", collectDrop());
  EXPECT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "lumen-notes");
}

// A neighbour narrower than 24.5 pt makes the drop land one slot further left.
TEST_F(Drag, NarrowNeighbourLandsOneSlotFurtherLeft) {
  GeneratorOptions o;
  o.minWidth = o.maxWidth = 20;
  start(generateWorld(6, o));
  ASSERT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "item-5");
  dragItem("Vimbo.Control", {1400, 10});  // keeps the control right of everything
  dragItem("item-0", controlDrop());
  ASSERT_EQ(leftNeighbour("Vimbo.Control"), "item-0");
  dragItem("item-0", collectDrop());
  EXPECT_EQ(leftNeighbour("item-5"), "item-0");
  EXPECT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "item-5");
}

// Drops right of the control item or on the fixed items land right of the control item;
// a drop below the bar snaps back; fixed items never move.
TEST_F(Drag, RightOfControlOutsideBandAndFixedItems) {
  dragItem("wifi", {C().minX() + 13, C().midY()});
  EXPECT_EQ(order().back(), "wifi");
  EXPECT_EQ(frame("wifi").maxX(), 1352);
  auto before = order();
  dragItem("sound", {1000, 300});
  EXPECT_EQ(order(), before);
  Rect clock = frame("clock");
  dragItem("clock", controlDrop());
  EXPECT_EQ(frame("clock"), clock);
  EXPECT_EQ(order(), before);
}

// Without Command the same down/up is a click: the menu opens and nothing moves.
TEST_F(Drag, PlainClickOpensMenuInsteadOfDragging) {
  auto before = order();
  source = sim->events.createSource(EventSourceStateID::HIDSystem);
  post(EventType::LeftMouseDown, frame("wifi").center(), 0);
  post(EventType::LeftMouseDragged, controlDrop(), 0);
  post(EventType::LeftMouseUp, controlDrop(), 0);
  EXPECT_EQ(order(), before);
  ASSERT_EQ(world->openMenus().size(), 1u);
  EXPECT_EQ(world->openMenus()[0].ownerPID, 300);
}

// The held Command key (key-down 55 without flags on the mouse events) also starts a drag.
TEST_F(Drag, HeldCommandKeyStartsDrag) {
  source = sim->events.createSource(EventSourceStateID::HIDSystem);
  key(keycode::command, true, 0);
  EXPECT_TRUE(world->isCommandHeld());
  post(EventType::LeftMouseDown, frame("wifi").center(), 0);
  post(EventType::LeftMouseUp, controlDrop(), 0);
  key(keycode::command, false, 0);
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "wifi");
}

// Settle latency: frames follow after 300 ms; a later drop resolves against the pending order.
TEST_F(Drag, SettleLatencyAndQueuedDrops) {
  world->switches().dragSettleLatency = millis(300);
  Rect wifi = frame("wifi");
  dragItem("wifi", controlDrop());
  EXPECT_EQ(frame("wifi"), wifi);
  EXPECT_EQ(world->logicalOrder()[world->logicalOrder().size() - 2], "wifi");
  loop.runFor(millis(100));
  dragItem("sound", controlDrop());  // against the pending order: between wifi and control
  loop.runFor(millis(199));
  EXPECT_EQ(frame("wifi"), wifi);
  loop.runFor(millis(1));
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "wifi");
  EXPECT_EQ(leftNeighbour("wifi"), "Vimbo.HiddenDivider");
  loop.runUntilIdle();
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "sound");
  EXPECT_EQ(leftNeighbour("sound"), "wifi");
  EXPECT_EQ(world->logicalOrder(), world->displayedOrder());
}

// The targeted session move: accepted for Control-Center-hosted items, ignored otherwise.
TEST_F(Drag, TargetedSessionMove) {
  auto targeted = [&](const std::string& item, Point drop) {
    source = sim->events.createSource(EventSourceStateID::HIDSystem);
    auto v = *world->item(item);
    for (auto [type, at, data] : {std::tuple{EventType::LeftMouseDown, v.frame.center(), 1337},
                                  std::tuple{EventType::LeftMouseUp, drop, 1340}}) {
      auto e = sim->events.createMouseEvent(source.get(), type, at, MouseButton::Left);
      e->flags = eventflag::command;
      e->setIntegerValueField(eventfield::targetUnixProcessID, v.ownerPID);
      e->setIntegerValueField(eventfield::windowUnderMousePointer, v.windowNumber);
      e->setIntegerValueField(eventfield::windowUnderMousePointerThatCanHandleThisEvent, v.windowNumber);
      e->setIntegerValueField(eventfield::sourceUserData, data);
      sim->events.post(EventTap::Session, *e);
    }
  };
  world->warp({5, 500});
  targeted("wifi", controlDrop());
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "wifi");
  auto before = order();
  targeted("lumen-notes", controlDrop());
  EXPECT_EQ(order(), before);
  EXPECT_TRUE(world->openMenus().empty());
  world->faults("lumen-notes").acceptsTargetedMove = true;
  targeted("lumen-notes", controlDrop());
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "lumen-notes");
  EXPECT_EQ(world->postedEvents().back().event.integerValueField(eventfield::sourceUserData), 1340);
}

// A person's input meets our synthetic events as on a Mac: a hidden cursor holds nothing, a
// release during our Command-drag ends the drag where the pointer is, the targeted move's source
// drops the person's mouse input (not keys) for 20 ms after each post, and only a session tap of
// ours holds input, posting it again in order.
TEST_F(Drag, APersonsInputIsHeldOnlyByATapOfOurs) {
  const uint32_t display = world->screens().front().displayID;
  sim->events.hideCursor(display);
  world->personClick(frame("sound").center());
  EXPECT_EQ(world->menuOpenCount("sound"), 1) << "hiding the cursor held the click";
  world->dismissAllMenus();

  // Our drag of wifi towards the control item, the cursor hidden, let go of by the person half way.
  source = sim->events.createSource(EventSourceStateID::HIDSystem);
  source->setLocalEventsSuppressionInterval(0);
  const Point from = frame("wifi").center(), to = controlDrop();
  key(keycode::command, true, eventflag::command);
  post(EventType::LeftMouseDown, from, eventflag::command);
  const Point halfway = frame("sound").center();
  post(EventType::LeftMouseDragged, halfway, eventflag::command);
  world->personMouse(EventType::LeftMouseUp, halfway);
  post(EventType::LeftMouseDragged, to, eventflag::command);
  post(EventType::LeftMouseUp, to, eventflag::command);
  key(keycode::command, false, 0);
  sim->events.showCursor(display);
  EXPECT_EQ(std::abs(indexOf("wifi") - indexOf("sound")), 1) << "not dropped where the person let go";

  // The targeted move's source: within 20 ms of its post the person's clicks are dropped, keys pass.
  source = sim->events.createSource(EventSourceStateID::HIDSystem);
  source->setLocalEventsSuppressionInterval(0.02);
  source->setLocalEventsFilterDuringSuppressionState(6, 0);
  post(EventType::MouseMoved, {5, 500}, 0, EventTap::Session);
  loop.runFor(millis(10));
  world->personClick(frame("sound").center());
  world->personKey(0, true);
  EXPECT_EQ(world->menuOpenCount("sound"), 1);
  EXPECT_EQ(world->keysToFocusedApp().size(), 1u);
  loop.runFor(millis(10));
  world->personClick(frame("sound").center());
  EXPECT_EQ(world->menuOpenCount("sound"), 2);
  world->dismissAllMenus();

  // Our hold: pointer and keys taken whole, then posted again in order on later turns, a hot key's
  // handler before the click made after it.
  std::vector<std::string> acted;
  recordHotKeyAndClick(acted);
  ASSERT_TRUE(sim->inputHold.begin());
  world->personKey(1, true);
  world->personKey(11, true, eventflag::command);
  world->personClick(C().center());
  world->personClick(frame("sound").center());
  world->personKey(keycode::escape, true);  // closes the menu the click opens, when it comes after it
  sim->inputHold.end();
  EXPECT_EQ(world->keysToFocusedApp().size(), 1u);
  EXPECT_EQ(world->menuOpenCount("sound"), 2);
  world->personKey(3, true);  // behind what still waits
  loop.runUntilIdle();
  EXPECT_EQ(world->menuOpenCount("sound"), 3);
  std::vector<uint16_t> keys;
  for (const Event& e : world->keysToFocusedApp()) keys.push_back(e.keyCode);
  EXPECT_EQ(keys, (std::vector<uint16_t>{0, 1, 3}));
  EXPECT_TRUE(world->openMenus().empty());
  EXPECT_EQ(acted, (std::vector<std::string>{"hot key", "click"}));
  EXPECT_FALSE(sim->inputHold.isTaking());
  world->switches().eventTapUnavailable = true;
  EXPECT_FALSE(sim->inputHold.begin());
}

// What our hold took goes on to what the person aimed at: a press, and the rest of its gesture, to
// the window it was pressed on wherever that window stands by then, and nowhere once the window is
// off every screen. What is posted again is marked as such, so a hold taken in a nested loop its
// handling runs still takes the person's input; one chain posts it, one event a turn; a quit posts
// all of it at once.
TEST_F(Drag, HeldInputGoesToWhatThePersonAimedAt) {
  size_t heard = 0;
  world->setLateDeliveryObserver([&](uint64_t, InputDelivery) { ++heard; });
  auto standingAt = [&](Point p) {
    for (const ItemView& item : world->items())
      if (item.frame.contains(p)) return item.specKey;
    return std::string();
  };
  // Our drag of bluetooth to the right of sound shifts sound; another item stands where it was clicked.
  ASSERT_TRUE(sim->inputHold.begin());
  const Point clicked = frame("sound").center();
  world->personClick(clicked);
  dragItem("bluetooth", controlDrop());
  const std::string there = standingAt(clicked);
  ASSERT_NE(there, "sound");
  sim->inputHold.end();
  loop.runUntilIdle();
  EXPECT_EQ(world->menuOpenCount("sound"), 1);
  EXPECT_EQ(world->menuOpenCount(there), 0);
  world->dismissAllMenus();
  ASSERT_EQ(world->menuOpenCount("sound"), 1);

  // Pushed off every screen by the divider before it goes on: it reaches nothing.
  sim->inputHold.begin();
  world->personClick(frame("sound").center());
  divider->setLength(10000);
  sim->inputHold.end();
  loop.runUntilIdle();
  EXPECT_TRUE(world->openMenus().empty());
  EXPECT_FALSE(world->isMouseButtonDown());
  EXPECT_EQ(heard, 4u) << "whoever made the input hears of each event, delivered or not";
  divider->setLength(1);

  // The click's handling runs a nested loop, as a menu's tracking does: a hold taken inside it
  // takes the person's click, which then goes on within that loop.
  bool takenInside = false;
  control->button()->setAction([&] {
    ASSERT_TRUE(sim->inputHold.begin());
    world->personClick(frame("battery").center());
    takenInside = world->menuOpenCount("battery") == 0;
    sim->inputHold.end();
    world->clockwork().runUntil([&] { return world->menuOpenCount("battery") > 0; });
  });
  sim->inputHold.begin();
  world->personClick(C().center());
  sim->inputHold.end();
  loop.runUntilIdle();
  EXPECT_TRUE(takenInside);
  EXPECT_EQ(world->menuOpenCount("battery"), 1);
  world->dismissAllMenus();

  // A hold begun and ended while the replay waits starts no second chain: a hot key's handler
  // still acts before the click made after the hot key.
  std::vector<std::string> acted;
  recordHotKeyAndClick(acted);
  control->button()->sendActionOn(eventMaskBit(EventType::LeftMouseDown));
  sim->inputHold.begin();
  world->personKey(11, true, eventflag::command);
  world->personClick(C().center());
  sim->inputHold.end();
  sim->inputHold.begin();
  sim->inputHold.end();
  loop.runUntilIdle();
  EXPECT_EQ(acted, (std::vector<std::string>{"hot key", "click"}));

  // A quit posts what was taken at once, in order, and takes nothing more.
  sim->inputHold.begin();
  world->personKey(1, true);
  world->personClick(frame("battery").center());
  sim->inputHold.releaseAll();
  EXPECT_EQ(world->menuOpenCount("battery"), 2);
  EXPECT_EQ(world->keysToFocusedApp().back().keyCode, 1);
  EXPECT_FALSE(sim->inputHold.isTaking());
}

// A held press goes on only onto the window it was made on: not from the notch onto the item the
// list has under it, not onto a menu that came up over the wallpaper clicked, not onto whatever
// stands where the list misplaces the window pressed. A Command-drag of the person's on the bar goes
// nowhere once the bar changed under it, and where it was made while the bar stands as it was; a
// Command-click on the wallpaper reaches the wallpaper either way.
TEST_F(Drag, HeldPressGoesOnOnlyOntoTheWindowItWasMadeOn) {
  // Shifts the clicked item 30 pt right, out from under the notch; the list may misplace it.
  for (const char* misplaced : {"", "off screen", "at its old frame"}) {
    SCOPED_TRACE(*misplaced ? misplaced : "under the notch");
    startShipped("notched-laptop.json");
    const std::string key = *misplaced ? "sound" : "orbit-timer";
    const Point clicked = frame(key).center();
    ASSERT_EQ(world->isInNotch(clicked), !*misplaced);
    if (std::string(misplaced) == "off screen")
      world->overrideWindowField(world->item(key)->windowNumber, windowkey::isOnscreen, false);
    if (std::string(misplaced) == "at its old frame")
      world->overrideWindowField(world->item(key)->windowNumber, windowkey::bounds, frame(key));
    ASSERT_TRUE(sim->inputHold.begin());
    world->personClick(clicked);
    world->moveItemBefore("battery", "lumen-notes");
    ASSERT_NE(frame(key).center(), clicked);
    sim->inputHold.end();
    loop.runUntilIdle();
    EXPECT_TRUE(world->openMenus().empty());
    EXPECT_FALSE(world->isMouseButtonDown());
  }

  // A menu of an item's comes up where the person clicked the wallpaper.
  startShipped("notched-laptop.json");
  post(EventType::LeftMouseDown, frame("wifi").center(), 0);
  const Point wallpaper = world->openMenus().front().frame.center();
  world->dismissAllMenus();
  ASSERT_TRUE(sim->inputHold.begin());
  world->personClick(wallpaper);
  post(EventType::LeftMouseDown, frame("wifi").center(), 0);
  sim->inputHold.end();
  loop.runUntilIdle();
  EXPECT_EQ(world->openMenus().size(), 1u) << "Wi-Fi's menu, open still";

  // Wi-Fi Command-dragged to just left of the control item while our collect of Lumen Notes, its
  // right neighbour, shifts it right: the drop would land right of the control item.
  for (bool barChanges : {true, false}) {
    SCOPED_TRACE(barChanges ? "the bar changes" : "the bar stands");
    startShipped("notched-laptop.json");
    dragItem("wifi", controlDrop());
    dragItem("lumen-notes", controlDrop());
    ASSERT_EQ(leftNeighbour("Vimbo.Control"), "lumen-notes");
    // A Command-click on the wallpaper too, as to select several files.
    const Point wallpaper = world->screens().front().displayBounds.center();
    int wallpaperPresses = 0;
    const auto monitor =
        sim->eventMonitors.addGlobalMonitor(eventMaskBit(EventType::LeftMouseDown), [&](const Event& e) {
          wallpaperPresses += e.location == wallpaper && (e.flags & eventflag::command);
        });
    ASSERT_TRUE(sim->inputHold.begin());
    const Point from = frame("wifi").center(), to{C().minX() - 3, C().midY()};
    world->personMouse(EventType::LeftMouseDown, from, eventflag::command);
    world->personMouse(EventType::LeftMouseDragged, {(from.x + to.x) / 2, to.y}, eventflag::command);
    world->personMouse(EventType::LeftMouseUp, to, eventflag::command);
    world->personClick(wallpaper, eventflag::command);
    if (barChanges) dragItem("lumen-notes", collectDrop());
    sim->inputHold.end();
    loop.runUntilIdle();
    EXPECT_EQ(wallpaperPresses, 1);
    EXPECT_EQ(leftNeighbour("Vimbo.Control"), "wifi");
    EXPECT_EQ(leftNeighbour("wifi"), barChanges ? "Vimbo.HiddenDivider" : "lumen-notes");
    EXPECT_FALSE(world->draggingItem());
    EXPECT_FALSE(world->isMouseButtonDown());
    sim->eventMonitors.removeMonitor(monitor);
  }
}

// "AXPosition" writes, with the mover's origins, land on the intended side.
TEST_F(Drag, AccessibilityPositionWritesOfTheMover) {
  AXElement wifi = world->menuExtraElement("wifi");
  EXPECT_FALSE(sim->accessibility.isAttributeSettable(wifi, "AXPosition").settable);
  EXPECT_NE(sim->accessibility.setAttributeValue(wifi, "AXPosition", AXValue{Point{1000, 0}}), AXError::Success);
  world->faults("wifi").positionSettable = true;
  EXPECT_TRUE(sim->accessibility.isAttributeSettable(wifi, "AXPosition").settable);
  Rect f = frame("wifi");
  // visible: origin (C.minX - F.width, F.minY)
  EXPECT_EQ(sim->accessibility.setAttributeValue(wifi, "AXPosition", AXValue{Point{C().minX() - f.width, f.minY()}}),
            AXError::Success);
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "wifi");
  EXPECT_EQ(frame("wifi"), Rect(1298, 0, 30, 37));  // o.x 1298 > m: a drop at o.x + 30 = C.minX
  // collected: origin (D.minX - 24 - F.width / 2, F.minY)
  f = frame("wifi");
  EXPECT_EQ(sim->accessibility.setAttributeValue(wifi, "AXPosition",
                                                 AXValue{Point{D().minX() - 24 - f.width / 2, f.minY()}}),
            AXError::Success);
  EXPECT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "wifi");
  EXPECT_EQ(frame("wifi"), Rect(1297, 0, 30, 37));  // o.x 1258 < m: a drop at o.x
  // its own origin changes nothing; ancestors are never settable
  auto before = order();
  EXPECT_EQ(sim->accessibility.setAttributeValue(wifi, "AXPosition", AXValue{frame("wifi").origin()}), AXError::Success);
  EXPECT_EQ(order(), before);
  AXElement bar = *sim->accessibility.copyAttributeValue(wifi, "AXParent").value->element();
  AXElement app = *sim->accessibility.copyAttributeValue(bar, "AXParent").value->element();
  for (AXElement ancestor : {bar, app}) {
    EXPECT_FALSE(sim->accessibility.isAttributeSettable(ancestor, "AXPosition").settable);
    EXPECT_NE(sim->accessibility.setAttributeValue(ancestor, "AXPosition", AXValue{Point{C().minX() - 30, 0}}),
              AXError::Success);
  }
  EXPECT_EQ(order(), before);
  // settable but ignored: success, nothing moves
  world->faults("wifi").positionWriteIgnored = true;
  EXPECT_EQ(sim->accessibility.setAttributeValue(wifi, "AXPosition", AXValue{Point{C().minX() - 30, 0}}), AXError::Success);
  EXPECT_EQ(order(), before);
}

// Command-dragging one of our items writes its new preferred position.
TEST_F(Drag, DraggingOurItemWritesItsPreferredPosition) {
  dragItem("Vimbo.HiddenDivider", {frame("battery").minX(), 10});
  EXPECT_EQ(leftNeighbour("battery"), "Vimbo.HiddenDivider");
  EXPECT_EQ(defaults->number("NSStatusItem Preferred Position Vimbo.HiddenDivider"), 64.0);  // control 24 + battery 40
}

}  // namespace
}  // namespace vimbo::sim::testing
