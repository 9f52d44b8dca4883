// Our own windows on the simulated desktop: records and the window list, key status and
// activation, the popover, and how a person's clicks reach them.
#include "SimFixture.h"

#include "Platform/Foundation/Image.h"

namespace vimbo::sim::testing {
namespace {

struct DelegateLog : WindowDelegate, ApplicationDelegate {
  std::vector<std::string> calls;
  void windowDidResignKey(WindowHandle w) override { calls.push_back("resignKey " + std::to_string(w)); }
  void windowWillClose(WindowHandle w) override { calls.push_back("close " + std::to_string(w)); }
  void applicationDidResignActive() override { calls.push_back("resignActive"); }
  void applicationWillTerminate() override { calls.push_back("terminate"); }
  bool applicationShouldHandleReopen(bool visible) override {
    calls.push_back(visible ? "reopen visible" : "reopen");
    return true;
  }
};

WindowConfiguration floatingPanel() {
  WindowConfiguration c;
  c.kind = WindowKind::panel;
  c.contentSize = {388, 590};
  c.styleMask = windowstyle::titled | windowstyle::fullSizeContentView;
  c.titleHidden = true;
  c.titlebarTransparent = true;
  c.movableByBackground = true;
  c.level = windowlevel::floating;
  c.collectionBehavior =
      windowcollection::canJoinAllSpaces | windowcollection::transient | windowcollection::fullScreenAuxiliary;
  return c;
}

WindowConfiguration settingsWindow() {
  WindowConfiguration c;
  c.contentSize = {760, 650};
  c.styleMask = windowstyle::titled | windowstyle::closable;
  c.title = "偏好设置";
  return c;
}

class OwnWindows : public SimWorld {
 protected:
  void SetUp() override {
    startShipped("notched-laptop.json");
    log = std::make_shared<DelegateLog>();
    sim->application.setDelegate(log.get());
  }
  std::optional<WindowInfo> listed(uint32_t number, WindowListOption option = WindowListOption::All) {
    auto list = sim->windowServer.copyWindowList(option, 0);
    for (const WindowInfo& w : *list)
      if (w.number() == number) return w;
    return std::nullopt;
  }
  WindowRef shownPanel() {
    WindowRef panel = sim->windows.makeWindow(floatingPanel());
    panel->setFrameOrigin({1112, 345});
    panel->makeKeyAndOrderFront();
    panel->setDelegate(log);
    return panel;
  }
  void watchMouseDowns() {
    EventMask downs = eventMaskBit(EventType::LeftMouseDown);
    sim->eventMonitors.addLocalMonitor(downs, [this](const Event& e) -> std::optional<Event> {
      ++localDowns;
      localSawCurrentEvent = sim->application.currentEvent().has_value();
      return e;
    });
    sim->eventMonitors.addGlobalMonitor(downs, [this](const Event&) { ++globalDowns; });
  }

  std::shared_ptr<DelegateLog> log;
  int localDowns = 0, globalDowns = 0;
  bool localSawCurrentEvent = false;
};

TEST_F(OwnWindows, APanelIsListedUnderOurProcessWhileShownAndKeepsItsNumber) {
  WindowRef earlier = sim->windows.makeWindow(settingsWindow());
  WindowRef panel = shownPanel();
  EXPECT_GT(panel->windowNumber(), earlier->windowNumber());
  EXPECT_EQ(panel->frame(), Rect(1112, 345, 388, 590));
  auto info = listed(panel->windowNumber(), WindowListOption::OnScreenOnly);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->layer(), 3);
  EXPECT_EQ(info->ownerPID(), 4242);
  EXPECT_EQ(info->ownerName(), "Vimbo");
  EXPECT_EQ(info->bounds(), Rect(1112, 47, 388, 590));
  EXPECT_EQ(info->isOnscreen(), true);
  EXPECT_FALSE(info->name());  // no title

  uint32_t number = panel->windowNumber();
  panel->orderOut();
  EXPECT_FALSE(listed(number, WindowListOption::OnScreenOnly));
  ASSERT_TRUE(listed(number));
  EXPECT_EQ(listed(number)->isOnscreen(), false);
  panel->makeKeyAndOrderFront();
  EXPECT_EQ(panel->windowNumber(), number);
  EXPECT_TRUE(listed(number, WindowListOption::OnScreenOnly));

  earlier->makeKeyAndOrderFront();
  auto settings = listed(earlier->windowNumber());
  EXPECT_EQ(settings->layer(), 0);
  EXPECT_EQ(settings->name(), "偏好设置");
  // Our windows are neither status items nor menus.
  auto list = sim->windowServer.copyWindowList(WindowListOption::OnScreenOnly, 0);
  for (const WindowInfo& w : *list) {
    if (w.ownerPID() == 4242 && w.number() != panel->windowNumber() && w.number() != earlier->windowNumber()) {
      EXPECT_EQ(w.layer(), windowlevel::status);
    }
  }
}

TEST_F(OwnWindows, FramesFollowTitleBarCentringAndSizeLimits) {
  WindowRef settings = sim->windows.makeWindow(settingsWindow());
  EXPECT_EQ(settings->frame().size(), Size(760, 678));  // the title bar above the content
  settings->center();
  EXPECT_EQ(settings->frame().origin(), Point(376, 133.5));
  settings->setContentMinSize({720, 620});
  settings->setContentMaxSize({960, 820});
  settings->setContentSize({1000, 600});
  EXPECT_EQ(settings->contentSize(), Size(960, 620));
  EXPECT_EQ(settings->frame().maxY(), 133.5 + 678);  // the top edge stays
  settings->setFrameOrigin({10, 20});
  EXPECT_EQ(settings->frame(), Rect(10, 20, 960, 648));

  WindowConfiguration search = floatingPanel();
  search.contentSize = {440, 416};
  search.clearBackground = true;
  search.opaque = false;
  WindowRef panel = sim->windows.makeWindow(search);
  panel->center();
  EXPECT_EQ(panel->frame().origin(), Point(536, 264.5));
  EXPECT_EQ(panel->configuration(), search);  // every flag reads back
}

TEST_F(OwnWindows, ClosingTellsTheDelegateOnceAndKeepsTheWindowForLater) {
  WindowRef settings = sim->windows.makeWindow(settingsWindow());
  settings->setDelegate(log);
  settings->makeKeyAndOrderFront();
  WindowHandle h = settings->handle();
  settings->performClose();
  EXPECT_EQ(log->calls, (std::vector<std::string>{"close " + std::to_string(h), "resignKey " + std::to_string(h)}));
  EXPECT_FALSE(settings->isVisible());
  EXPECT_EQ(sim->windows.window(h), settings.get());  // not released
  settings->makeKeyAndOrderFront();
  EXPECT_TRUE(settings->isVisible());
  EXPECT_TRUE(settings->isKeyWindow());

  WindowConfiguration released = settingsWindow();
  released.releasedWhenClosed = true;
  WindowRef once = sim->windows.makeWindow(released);
  once->makeKeyAndOrderFront();
  once->performClose();
  EXPECT_EQ(sim->windows.window(once->handle()), nullptr);
  EXPECT_FALSE(listed(once->windowNumber()));
}

TEST_F(OwnWindows, APersonsClickInsideReachesOnlyOurMonitorsAndOurElements) {
  watchMouseDowns();
  WindowRef panel = shownPanel();
  panel->orderOut();
  sim->application.activate(true);
  panel->orderFront();
  Point inside = Point(1300, 300);
  AXElementResult hit = sim->accessibility.copyElementAtPosition({1}, float(inside.x), float(inside.y));
  ASSERT_EQ(hit.error, AXError::Success);
  EXPECT_EQ(sim->accessibility.getPid(hit.element).pid, 4242);

  world->personClick(inside);
  loop.runUntilIdle();
  EXPECT_EQ(localDowns, 1);
  EXPECT_TRUE(localSawCurrentEvent);
  EXPECT_EQ(globalDowns, 0);
  EXPECT_TRUE(panel->isKeyWindow());  // once the monitors let it through
  EXPECT_TRUE(sim->application.isActive());

  panel->orderOut();
  world->personClick(inside);
  loop.runUntilIdle();
  EXPECT_EQ(localDowns, 1);
  EXPECT_EQ(globalDowns, 1);
  EXPECT_EQ(listed(panel->windowNumber())->isOnscreen(), false);
}

TEST_F(OwnWindows, ASwallowedClickLeavesKeyStatusAlone) {
  WindowRef panel = shownPanel();
  panel->orderOut();
  panel->orderFront();
  sim->eventMonitors.addLocalMonitor(eventMaskBit(EventType::LeftMouseDown),
                                     [](const Event&) -> std::optional<Event> { return std::nullopt; });
  EXPECT_FALSE(world->personMouse(EventType::LeftMouseDown, Point(1300, 300)));
  EXPECT_FALSE(panel->isKeyWindow());
  EXPECT_FALSE(sim->application.isActive());
}

TEST_F(OwnWindows, KeyStatusMovesAndTellsTheWindowThatLostIt) {
  WindowRef a = shownPanel();
  WindowRef b = sim->windows.makeWindow(settingsWindow());
  b->setDelegate(log);
  sim->application.activate(true);
  ASSERT_TRUE(a->isKeyWindow());
  EXPECT_TRUE(log->calls.empty());  // becoming key calls nothing
  b->makeKeyAndOrderFront();
  EXPECT_EQ(log->calls, (std::vector<std::string>{"resignKey " + std::to_string(a->handle())}));
  EXPECT_EQ(sim->application.keyWindow(), b->handle());
  EXPECT_EQ(sim->windows.window(sim->application.keyWindow()), b.get());

  log->calls.clear();
  world->personClick(C().center());  // our control item changes nothing
  loop.runUntilIdle();
  EXPECT_TRUE(log->calls.empty());
  EXPECT_TRUE(b->isKeyWindow());

  world->personClick({900, 700});  // the wallpaper
  EXPECT_EQ(log->calls, (std::vector<std::string>{"resignKey " + std::to_string(b->handle()), "resignActive"}));
  EXPECT_EQ(sim->application.keyWindow(), 0u);
  EXPECT_FALSE(sim->application.isActive());
  EXPECT_TRUE(a->isVisible());
  EXPECT_TRUE(b->isVisible());
  sim->application.activate(true);
  EXPECT_EQ(sim->application.keyWindow(), 0u);  // activating does not bring key status back

  log->calls.clear();
  b->makeKey();
  b->orderOut();
  EXPECT_EQ(log->calls, (std::vector<std::string>{"resignKey " + std::to_string(b->handle())}));
  EXPECT_EQ(sim->application.keyWindow(), 0u);
  b->makeKey();  // an ordered-out window cannot become key
  EXPECT_EQ(sim->application.keyWindow(), 0u);
}

TEST_F(OwnWindows, ClicksOnOtherItemsAndTheEmptyBarDeactivateButNotInsideAMenu) {
  WindowRef panel = shownPanel();
  sim->application.activate(true);
  world->personClick(frame("wifi").center());  // another application's item: its menu opens
  EXPECT_EQ(log->calls.back(), "resignActive");
  ASSERT_EQ(world->openMenus().size(), 1u);
  sim->application.activate(true);
  panel->makeKey();
  log->calls.clear();
  Point inMenu = world->openMenus()[0].frame.center();
  world->personMouse(EventType::LeftMouseDown, inMenu);
  EXPECT_TRUE(log->calls.empty());
  EXPECT_TRUE(sim->application.isActive());
  world->personMouse(EventType::LeftMouseUp, inMenu);
  Point emptyBar{20, 10};  // left of the notch, where no item reaches
  ASSERT_LT(emptyBar.x, world->items().front().frame.minX());
  world->personClick(emptyBar);
  EXPECT_EQ(log->calls, (std::vector<std::string>{"resignKey " + std::to_string(panel->handle()), "resignActive"}));
}

TEST_F(OwnWindows, ThePopoverHangsUnderTheControlItemUntilClosed) {
  PopoverRef popover = sim->windows.makePopover();
  popover->setBehavior(PopoverBehavior::applicationDefined);
  popover->setAnimates(true);
  popover->setContentSize({388, 590});
  EXPECT_EQ(popover->contentWindow(), nullptr);
  StatusBarButton& button = *control->button();
  sim->application.activate(true);
  popover->show(button.bounds(), button, RectEdge::minY);
  ASSERT_TRUE(popover->isShown());
  Window* window = popover->contentWindow();
  ASSERT_NE(window, nullptr);
  window->makeKey();
  Rect f = window->frame();
  EXPECT_EQ(f.size(), Size(388, 590));
  EXPECT_EQ(f.minY(), 355);  // its top at the menu bar's bottom
  EXPECT_DOUBLE_EQ(f.midX(), std::min(C().midX(), 1512 - 194.0));
  EXPECT_EQ(listed(window->windowNumber())->layer(), 3);
  EXPECT_EQ(listed(window->windowNumber())->ownerPID(), 4242);

  world->personClick({900, 700});
  world->personKey(keycode::escape, true);
  sim->application.resignActive();
  EXPECT_TRUE(popover->isShown());
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isKeyWindow());  // deactivation took key status

  sim->application.activate(true);
  window->makeKey();
  popover->performClose();
  EXPECT_FALSE(popover->isShown());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(sim->application.keyWindow(), 0u);
}

TEST_F(OwnWindows, APopoverStaysOnTheVisibleFrameNearTheScreensEdge) {
  PopoverRef popover = sim->windows.makePopover();
  popover->setContentSize({388, 590});
  StatusBarButton& button = *control->button();
  // Anchored at the far left, it moves right only as far as it must.
  popover->show(Rect(-C().minX(), 0, 10, C().height), button, RectEdge::minY);
  EXPECT_EQ(popover->contentWindow()->frame().minX(), 0);
}

TEST_F(OwnWindows, TerminateTellsTheDelegateThenEndsTheProcessOnce) {
  std::vector<std::string> order;
  sim->application.setTerminationHandler([&] { order.push_back("handler"); });
  sim->application.terminate();
  sim->application.terminate();
  order.insert(order.begin(), log->calls.begin(), log->calls.end());
  EXPECT_EQ(order, (std::vector<std::string>{"terminate", "handler"}));
  EXPECT_TRUE(sim->application.isTerminated());
}

TEST_F(OwnWindows, AnUnreadableHotKeyHandsEveryHandlerNone) {
  world->switches().unreadableHotKeyEvents = 1;
  std::vector<std::string> seen;
  auto describe = [](std::optional<HotKeyID> id) { return id ? std::to_string(id->id) : std::string("none"); };
  sim->hotKeys.installHandler([&](std::optional<HotKeyID> id) {
    seen.push_back("first " + describe(id));
    return id ? hotkeystatus::noErr : hotkeystatus::eventNotHandled;
  });
  sim->hotKeys.installHandler([&](std::optional<HotKeyID> id) {
    seen.push_back("second " + describe(id));
    return hotkeystatus::noErr;
  });
  ASSERT_EQ(sim->hotKeys.registerHotKey(11, 0x1100, {fourCharCode("VMBO"), 1}).status, hotkeystatus::noErr);
  world->personKey(11, true, eventflag::command | eventflag::control);
  world->personKey(11, false, eventflag::command | eventflag::control);
  loop.runUntilIdle();
  EXPECT_EQ(seen, (std::vector<std::string>{"first none", "second none"}));
  world->personKey(11, true, eventflag::command | eventflag::control);
  loop.runUntilIdle();
  EXPECT_EQ(seen.back(), "first 1");
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(OwnWindows, RunningApplicationsCarryTheirIcons) {
  for (const RunningApplication& app : sim->workspace.runningApplications()) {
    ASSERT_TRUE(app.icon) << app.localizedName.value_or("?");
    uint32_t want = app.processIdentifier == 4242 ? SimWorkspace::kOwnIconColor : 0;
    for (const AppSpec& a : world->spec().apps)
      if (a.pid == app.processIdentifier) want = a.iconColor;
    const auto& px = app.icon->pixels();
    size_t middle = (size_t(app.icon->pixelHeight() / 2) * size_t(app.icon->pixelWidth()) + size_t(app.icon->pixelWidth() / 2)) * 4;
    EXPECT_EQ((uint32_t(px[middle]) << 16) | (uint32_t(px[middle + 1]) << 8) | px[middle + 2], want);
  }
}

TEST_F(OwnWindows, AnApplicationsIconIsDrawnOnceAndAPidFindsTheSameApplication) {
  const auto first = sim->workspace.runningApplications();
  const auto again = sim->workspace.runningApplications();
  ASSERT_EQ(first.size(), again.size());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].icon.get(), again[i].icon.get());
    auto one = sim->workspace.runningApplication(first[i].processIdentifier);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->localizedName, first[i].localizedName);
    EXPECT_EQ(one->icon.get(), first[i].icon.get());
  }
  EXPECT_FALSE(sim->workspace.runningApplication(-7));
}

}  // namespace
}  // namespace vimbo::sim::testing
