// Menus as windows, and accessibility: the element tree, hit tests and failures.
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

class Menus : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
  std::vector<WindowInfo> menuWindows() {
    std::vector<WindowInfo> out;
    auto list = sim->windowServer.copyWindowList(WindowListOption::OnScreenOnly, 0);
    for (const WindowInfo& w : *list)
      if (w.layer() == 101 || w.layer() == 23) out.push_back(w);
    return out;
  }
};

// An AX press opens a front-most menu window at level 101 just under the bar near the item.
TEST_F(Menus, APressOpensAMenuWindowUnderTheBar) {
  uint32_t highest = 0;
  auto all = sim->windowServer.copyWindowList(WindowListOption::All, 0);
  for (const WindowInfo& w : *all)
    highest = std::max(highest, w.number().value_or(0));
  EXPECT_EQ(sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress"), AXError::Success);
  auto list = *sim->windowServer.copyWindowList(WindowListOption::OnScreenOnly, 0);
  const WindowInfo& front = list.front();
  EXPECT_EQ(front.layer(), 101);
  EXPECT_EQ(front.ownerPID(), 300);
  EXPECT_EQ(front.ownerName(), "Control Center");
  EXPECT_GT(*front.number(), highest);
  EXPECT_EQ(front.bounds(), Rect(1257, 37, 220, 160));
  EXPECT_EQ(world->pressCount("wifi"), 1);
  // Near the right edge the menu stays on screen.
  sim->accessibility.performAction(world->menuExtraElement("clock"), "AXPress");
  EXPECT_EQ(menuWindows().front().bounds(), Rect(1292, 37, 220, 160));
  EXPECT_EQ(menuWindows().size(), 1u);  // opening another menu closed the first
}

// Escape, an outside click, a scripted delay and a request close menus; collapse does not.
TEST_F(Menus, MenusCloseOnEscapeOutsideClicksDelaysAndRequests) {
  sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress");
  divider->setLength(10000);
  ASSERT_EQ(menuWindows().size(), 1u);
  world->personKey(keycode::escape, true);
  EXPECT_TRUE(menuWindows().empty());
  EXPECT_TRUE(world->keysToFocusedApp().empty());  // the menu took the Escape

  sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress");
  world->personClick({700, 600});
  EXPECT_TRUE(menuWindows().empty());

  // A second click on the item closes its menu as a second press does.
  world->personClick(frame("clock").center());
  ASSERT_EQ(menuWindows().size(), 1u);
  world->personClick(frame("clock").center());
  EXPECT_TRUE(menuWindows().empty());
  EXPECT_EQ(world->menuOpenCount("clock"), 1);

  world->itemSpec("sound").menu.closesAfter = millis(500);
  sim->accessibility.performAction(world->menuExtraElement("sound"), "AXPress");
  loop.runFor(millis(499));
  EXPECT_EQ(menuWindows().size(), 1u);
  loop.runFor(millis(1));
  EXPECT_TRUE(menuWindows().empty());

  world->itemSpec("wifi").menu.neverCloses = true;
  sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress");
  world->personKey(keycode::escape, true);
  world->personClick({700, 600});
  ASSERT_EQ(world->openMenus().size(), 1u);
  world->dismissMenu(world->openMenus()[0].windowNumber);
  EXPECT_TRUE(menuWindows().empty());
}

// Per-item level 23, appearance delay, no menu; a click posted to the owner opens it too.
TEST_F(Menus, MenusHaveTheirLevelsDelaysAndOpenOnPostedClicks) {
  sim->accessibility.performAction(world->menuExtraElement("spotlight"), "AXPress");
  EXPECT_EQ(menuWindows().front().layer(), 23);
  world->dismissAllMenus();

  world->itemSpec("wifi").menu.appearDelay = millis(200);
  sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress");
  EXPECT_TRUE(menuWindows().empty());
  loop.runFor(millis(200));
  EXPECT_EQ(menuWindows().size(), 1u);
  world->dismissAllMenus();

  world->itemSpec("sound").menu.exists = false;
  EXPECT_EQ(sim->accessibility.performAction(world->menuExtraElement("sound"), "AXPress"), AXError::Success);
  EXPECT_TRUE(menuWindows().empty());

  auto v = *world->item("lumen-notes");
  source = sim->events.createSource(EventSourceStateID::Private);
  for (EventType t : {EventType::LeftMouseDown, EventType::LeftMouseUp}) {
    auto e = sim->events.createMouseEvent(source.get(), t, v.frame.center(), MouseButton::Left);
    e->setIntegerValueField(eventfield::targetUnixProcessID, v.ownerPID);
    e->setIntegerValueField(eventfield::windowUnderMousePointer, v.windowNumber);
    sim->events.postToPid(v.ownerPID, *e);
  }
  ASSERT_EQ(menuWindows().size(), 1u);
  EXPECT_EQ(menuWindows()[0].ownerPID(), 501);
  EXPECT_EQ(world->postedEvents().back().route, PostRoute::Pid);
  EXPECT_EQ(world->pointer(), Point(700, 500));  // a posted click does not move the pointer
}

// Our own context menu: performClick blocks in a nested loop until an entry is chosen.
TEST_F(Menus, OurOwnMenuBlocksUntilClosed) {
  std::vector<std::string> chosen;
  control->setMenu(std::vector<MenuEntry>{{"搜索菜单栏项目", "", [&] { chosen.push_back("search"); }},
                                          {"管理面板", "", [&] { chosen.push_back("panel"); }},
                                          {"偏好设置", "", [&] { chosen.push_back("settings"); }}});
  loop.at(loop.now() + millis(300), [&] {
    ASSERT_EQ(world->openMenus().size(), 1u);
    EXPECT_EQ(world->openMenus()[0].ownerPID, 4242);
    EXPECT_EQ(world->openMenus()[0].entries.size(), 3u);
    world->chooseMenuEntry(world->openMenus()[0].windowNumber, 1);
  });
  control->button()->performClick();
  EXPECT_EQ(chosen, std::vector<std::string>{"panel"});
  EXPECT_TRUE(world->openMenus().empty());
  control->setMenu(std::nullopt);
  int actions = 0;
  control->button()->setAction([&] { ++actions; });
  control->button()->performClick();
  EXPECT_EQ(actions, 1);
}

class HitTests : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
  AXElementResult hit(Point p, AXElement scope = {1}) {
    return sim->accessibility.copyElementAtPosition(scope, static_cast<float>(p.x), static_cast<float>(p.y));
  }
  std::optional<std::string> text(AXElement e, const char* attr) {
    auto r = sim->accessibility.copyAttributeValue(e, attr);
    if (r.error != AXError::Success || !r.value->string()) return std::nullopt;
    return *r.value->string();
  }
};

// Hit tests find menu extras right of the notch only; posted events still hit items anywhere.
TEST_F(HitTests, HitTestsRespectTheNotch) {
  auto battery = hit(frame("battery").center());
  ASSERT_EQ(battery.error, AXError::Success);
  EXPECT_EQ(battery.element, world->menuExtraElement("battery"));
  EXPECT_EQ(sim->accessibility.getPid(battery.element).pid, 300);
  EXPECT_EQ(text(battery.element, "AXIdentifier"), "com.apple.menuextra.battery");
  EXPECT_EQ(hit(frame("lumen-notes").center()).error, AXError::NoValue);  // under the notch
  EXPECT_EQ(hit({700, 500}).error, AXError::NoValue);                     // not the menu bar
  EXPECT_NE(hit({-50, 10}).error, AXError::Success);                      // off every screen
  auto app300 = sim->accessibility.createApplication(300);
  EXPECT_EQ(hit(frame("wifi").center(), app300).element, world->menuExtraElement("wifi"));
  EXPECT_EQ(hit(frame("wifi").center(), sim->accessibility.createApplication(501)).error, AXError::NoValue);
  // A person's click under the notch reaches nothing; a posted click still hits the item by frame.
  world->personClick(frame("lumen-notes").center());
  EXPECT_EQ(world->menuOpenCount("lumen-notes"), 0);
  source = sim->events.createSource(EventSourceStateID::HIDSystem);
  post(EventType::LeftMouseDown, frame("lumen-notes").center(), 0);
  post(EventType::LeftMouseUp, frame("lumen-notes").center(), 0);
  EXPECT_EQ(world->menuOpenCount("lumen-notes"), 1);
  // Left of the notch (x < 656) no element answers either, yet a Command-drag from there moves
  // the item, which then answers right of the notch.
  ItemSpec wide;
  wide.key = "wide";
  wide.windowName = "Item-0";
  wide.ownerPID = 501;
  wide.width = 100;
  world->addItem(wide);
  ASSERT_EQ(frame("wide"), Rect(599, 0, 100, 37));
  EXPECT_EQ(hit(frame("wide").center()).error, AXError::NoValue);
  EXPECT_EQ(hit(frame("wide").center(), sim->accessibility.createApplication(501)).error, AXError::NoValue);
  dragItem("wide", {C().minX(), C().midY()});
  EXPECT_EQ(frame("wide"), Rect(1228, 0, 100, 37));
  EXPECT_EQ(hit(frame("wide").center()).element, world->menuExtraElement("wide"));
  // On a screen without a notch the whole bar answers.
  startShipped("plain-1920.json");
  EXPECT_EQ(hit(frame("lumen-notes").center()).element, world->menuExtraElement("lumen-notes"));
}

// The tree: application -> extras bar -> menu extras -> optional text-less child.
TEST_F(HitTests, ElementsFormTheApplicationExtrasTree) {
  AXElement app = sim->accessibility.createApplication(300);
  EXPECT_EQ(text(app, "AXTitle"), "Control Center");
  EXPECT_EQ(sim->accessibility.copyAttributeValue(app, "AXParent").error, AXError::NoValue);
  auto bar = sim->accessibility.copyAttributeValue(app, "AXExtrasMenuBar");
  ASSERT_TRUE(bar.value && bar.value->element());
  auto children = sim->accessibility.copyAttributeValue(*bar.value->element(), "AXChildren");
  ASSERT_TRUE(children.value && children.value->array());
  std::vector<AXElement> kids;
  for (const AXValue& v : *children.value->array()) kids.push_back(*v.element());
  std::vector<AXElement> expected;
  for (const char* k : {"bluetooth", "sound", "wifi", "battery", "control-center", "clock"})
    expected.push_back(world->menuExtraElement(k));
  EXPECT_EQ(kids, expected);
  auto size = sim->accessibility.copyAttributeValue(kids[3], "AXSize");
  EXPECT_EQ(*size.value->size(), Size(40, 37));

  // The child under the pointer has no texts; its parent has the identity.
  auto child = hit(frame("juniper-music").center());
  ASSERT_EQ(child.error, AXError::Success);
  EXPECT_NE(child.element, world->menuExtraElement("juniper-music"));
  EXPECT_EQ(sim->accessibility.copyAttributeValue(child.element, "AXIdentifier").error, AXError::NoValue);
  EXPECT_EQ(sim->accessibility.performAction(child.element, "AXPress"), AXError::ActionUnsupported);
  auto parent = sim->accessibility.copyAttributeValue(child.element, "AXParent");
  EXPECT_EQ(*parent.value->element(), world->menuExtraElement("juniper-music"));
  EXPECT_EQ(sim->accessibility.performAction(*parent.value->element(), "AXPress"), AXError::Success);

  // A mistyped title reads as another type; an offset element frame differs from its window.
  auto title = sim->accessibility.copyAttributeValue(world->menuExtraElement("marmot-clipboard"), "AXTitle");
  EXPECT_EQ(title.error, AXError::Success);
  EXPECT_FALSE(title.value->string());
  auto pos = sim->accessibility.copyAttributeValue(world->menuExtraElement("kettle-weather"), "AXPosition");
  EXPECT_EQ(*pos.value->point(), Point(frame("kettle-weather").minX(), 2));
  // Window owner and accessibility owner differ for the input menu.
  EXPECT_EQ(world->item("input-menu")->ownerPID, 301);
  EXPECT_EQ(sim->accessibility.getPid(world->menuExtraElement("input-menu")).pid, 303);
}

// Trust, unresponsive applications (charged time-outs), refused presses, vanished elements.
TEST_F(HitTests, AccessibilityFailuresComeBackAsValues) {
  AXElement wifi = world->menuExtraElement("wifi");
  world->setAccessibilityTrusted(false);
  EXPECT_FALSE(sim->accessibility.isProcessTrusted(true));
  EXPECT_FALSE(sim->accessibility.isProcessTrusted(false));
  EXPECT_EQ(world->accessibilityPrompts(), 1);
  EXPECT_EQ(sim->accessibility.copyAttributeValue(wifi, "AXTitle").error, AXError::APIDisabled);
  EXPECT_EQ(hit(frame("wifi").center()).error, AXError::APIDisabled);
  world->setAccessibilityTrusted(true);

  world->setUnresponsive(300, true);
  sim->accessibility.setMessagingTimeout(wifi, 0.15f);
  EXPECT_EQ(sim->accessibility.copyAttributeValue(wifi, "AXDescription").error, AXError::CannotComplete);
  EXPECT_EQ(loop.charged, millis(150));
  EXPECT_EQ(sim->accessibility.performAction(wifi, "AXPress"), AXError::CannotComplete);
  world->setUnresponsive(300, false);

  world->faults("wifi").pressRefused = true;
  EXPECT_EQ(sim->accessibility.performAction(wifi, "AXPress"), AXError::ActionUnsupported);
  EXPECT_TRUE(world->openMenus().empty());

  world->removeItem("wifi");
  EXPECT_EQ(sim->accessibility.copyAttributeValue(wifi, "AXPosition").error, AXError::InvalidUIElement);
  EXPECT_EQ(sim->accessibility.getPid(wifi).error, AXError::InvalidUIElement);
}

// Our own panels answer hit tests with our elements and take clicks before anyone else.
TEST_F(HitTests, OurOverlaysAnswerHitTestsAndTakeClicks) {
  world->setOwnOverlays({Rect(1100, 40, 388, 590)});
  auto h = hit({1200, 100});
  ASSERT_EQ(h.error, AXError::Success);
  EXPECT_EQ(sim->accessibility.getPid(h.element).pid, 4242);
  int local = 0, global = 0;
  sim->eventMonitors.addLocalMonitor(eventMaskBit(EventType::LeftMouseDown), [&](const Event& e) -> std::optional<Event> {
    ++local;
    return e;
  });
  sim->eventMonitors.addGlobalMonitor(eventMaskBit(EventType::LeftMouseDown), [&](const Event&) { ++global; });
  sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress");
  world->personClick({1200, 300});
  loop.runUntilIdle();
  EXPECT_EQ(local, 1);
  EXPECT_EQ(global, 0);
  EXPECT_TRUE(world->openMenus().empty());  // an outside click for the menu
  // A click inside a foreign menu is a selection: it closes the menu.
  world->setOwnOverlays({});
  sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress");
  world->personClick(world->openMenus()[0].frame.center());
  EXPECT_TRUE(world->openMenus().empty());
}

}  // namespace
}  // namespace vimbo::sim::testing
