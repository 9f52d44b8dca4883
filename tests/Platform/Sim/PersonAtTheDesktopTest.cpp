// What a person meets at the simulated desktop besides our windows: the notch that is no screen,
// the front application's menus, the wall clock, and opening our running application again.
#include "Platform/Runtime/Task.h"
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

class PersonAtTheDesktop : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
  Rect notch() { return *world->notchInWindowServer(world->screens().front()); }
};

TEST_F(PersonAtTheDesktop, APressInTheNotchReachesNothing) {
  int monitors = 0;
  EventMask downs = eventMaskBit(EventType::LeftMouseDown) | eventMaskBit(EventType::LeftMouseUp);
  sim->eventMonitors.addGlobalMonitor(downs, [&](const Event&) { ++monitors; });
  sim->eventMonitors.addLocalMonitor(downs, [&](const Event& e) -> std::optional<Event> {
    ++monitors;
    return e;
  });
  struct Resigns : ApplicationDelegate {
    int count = 0;
    void applicationDidResignActive() override { ++count; }
  } delegate;
  sim->application.setDelegate(&delegate);
  sim->application.activate(true);
  ASSERT_EQ(notch(), Rect(656, 0, 200, 37));
  std::vector<std::string> before = world->logicalOrder();

  world->personClick(notch().center());
  world->personClick(notch().center(), eventflag::command);
  loop.runUntilIdle();
  EXPECT_TRUE(world->openMenus().empty());
  EXPECT_EQ(monitors, 0);
  EXPECT_EQ(delegate.count, 0);
  EXPECT_TRUE(sim->application.isActive());
  EXPECT_FALSE(world->isMouseButtonDown());

  // A Command-drag let go over the notch snaps back.
  Point from = frame("wifi").center();
  world->personMouse(EventType::LeftMouseDown, from, eventflag::command);
  world->personMouse(EventType::LeftMouseDragged, {from.x - 200, from.y}, eventflag::command);
  world->personMouse(EventType::LeftMouseUp, notch().center(), eventflag::command);
  EXPECT_EQ(world->logicalOrder(), before);
  EXPECT_FALSE(world->draggingItem());
  EXPECT_FALSE(world->isMouseButtonDown());
  sim->application.setDelegate(nullptr);
}

TEST_F(PersonAtTheDesktop, TheBarShowsTheActiveApplicationsMenus) {
  FrontAppSpec finder = world->barMenus();
  EXPECT_EQ(finder.name, "访达");
  EXPECT_EQ(finder.menus, (std::vector<std::string>{"文件", "编辑", "显示", "前往", "窗口", "帮助"}));
  sim->application.setActivationPolicy(ActivationPolicy::Accessory);
  sim->application.activate(true);
  EXPECT_EQ(world->barMenus().name, "访达");  // an accessory application has no menu bar
  sim->application.setActivationPolicy(ActivationPolicy::Regular);
  EXPECT_EQ(world->barMenus().name, "Vimbo");
  EXPECT_TRUE(world->barMenus().menus.empty());
  sim->application.resignActive();
  EXPECT_EQ(world->barMenus().name, "访达");
}

TEST_F(PersonAtTheDesktop, TheWallClockRunsWithTheWorldsClock) {
  WorldSpec spec = shippedWorld("notched-laptop.json");
  auto at = std::chrono::system_clock::from_time_t(1715868300);  // a Thursday, 14:05 UTC
  spec.wallClockStart = at;
  start(std::move(spec));
  EXPECT_EQ(world->wallClock(), at);
  loop.runFor(std::chrono::seconds(90));
  EXPECT_EQ(world->wallClock(), at + std::chrono::seconds(90));
}

TEST_F(PersonAtTheDesktop, ReopeningAsksTheDelegateWhetherAWindowIsVisible) {
  struct Reopens : ApplicationDelegate {
    std::vector<bool> asked;
    bool applicationShouldHandleReopen(bool visible) override {
      asked.push_back(visible);
      return true;
    }
  } delegate;
  sim->application.setDelegate(&delegate);
  WindowConfiguration c;
  c.contentSize = {200, 100};
  WindowRef window = sim->windows.makeWindow(c);
  world->reopenOwnApplication();
  window->orderFront();
  world->reopenOwnApplication();
  EXPECT_EQ(delegate.asked, (std::vector<bool>{false, true}));
  sim->application.setDelegate(nullptr);
}

// As the Dock's request on a Mac: the click's monitor deliveries, and the work they start, come first.
TEST_F(PersonAtTheDesktop, AReopenFromTheIconArrivesAfterTheClicksMonitorWork) {
  std::vector<std::string> log;
  struct Reopens : ApplicationDelegate {
    std::vector<std::string>* log = nullptr;
    bool applicationShouldHandleReopen(bool) override {
      log->push_back("reopen");
      return true;
    }
  } delegate;
  delegate.log = &log;
  sim->application.setDelegate(&delegate);
  sim->eventMonitors.addGlobalMonitor(eventMaskBit(EventType::LeftMouseDown), [&](const Event&) {
    log.push_back("monitor");
    async::spawn(loop.ex, [&]() -> async::Task<void> {
      log.push_back("its task");
      co_return;
    });
  });
  const Point wallpaper{1200, 800};

  world->personClick(wallpaper);
  world->personMouse(EventType::LeftMouseDown, wallpaper);
  world->personMouse(EventType::LeftMouseUp, wallpaper);
  world->personReopen();
  EXPECT_TRUE(log.empty());
  loop.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"monitor", "monitor", "its task", "its task", "reopen"}));

  // With nothing pending it still comes on a turn of its own.
  log.clear();
  world->personReopen();
  EXPECT_TRUE(log.empty());
  loop.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"reopen"}));
  sim->application.setDelegate(nullptr);
}

}  // namespace
}  // namespace vimbo::sim::testing
