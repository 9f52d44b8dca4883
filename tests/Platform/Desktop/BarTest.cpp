// The bar as a person reads and uses it: the front application's menus and the Clock, the item
// whose menu is open, where a dragged item will land, the notch that takes no input, and a
// desktop that does nothing while nothing happens.
#include <cstdlib>
#include <ctime>

#include "DesktopFixture.h"

namespace vimbo::desktop::testing {
namespace {

using platform::Event;
using platform::EventType;
using platform::eventMaskBit;

class Bar : public DesktopFixture {
 protected:
  int inkLeftOf(const QImage& image, double x) {
    int n = 0;
    for (double i = 10; i < x; i += 2)
      for (double j = 8; j < 30; j += 2) n += pixel(image, {i, j}).lightness() < 120;
    return n;
  }
};

TEST_F(Bar, ShowsTheFrontApplicationsMenusAndTheClockTime) {
  ::setenv("TZ", "UTC", 1);  // the Clock shows local time
  ::tzset();
  view.refresh();
  const Scene& scene = view.desktopScene();
  EXPECT_EQ(scene.appName, "访达");
  EXPECT_EQ(scene.appMenus, (std::vector<std::string>{"文件", "编辑", "显示", "前往", "窗口", "帮助"}));
  EXPECT_EQ(scene.clockText, clockText(world.wallClock()));
  EXPECT_EQ(scene.clockText, "周四 14:05");  // the fixed start
  EXPECT_GT(inkLeftOf(shot(), notch().minX()), 100);

  sim.application.setActivationPolicy(platform::ActivationPolicy::Accessory);
  sim.application.activate(true);
  view.refresh();
  EXPECT_EQ(view.desktopScene().appName, "访达");  // an accessory application has no menus
  sim.application.setActivationPolicy(platform::ActivationPolicy::Regular);
  view.refresh();
  EXPECT_EQ(view.desktopScene().appName, "Vimbo");
  EXPECT_TRUE(view.desktopScene().appMenus.empty());
}

TEST_F(Bar, HighlightsTheItemWhoseMenuIsOpen) {
  Rect wifi = frame("wifi");
  QColor before = pixel(shot(), {wifi.minX() + 2, wifi.minY() + 6});
  click(wifi.center());
  ASSERT_EQ(world.openMenus().size(), 1u);
  EXPECT_EQ(view.desktopScene().highlighted, world.item("wifi")->windowNumber);
  EXPECT_LT(pixel(shot(), {wifi.minX() + 2, wifi.minY() + 6}).lightness(), before.lightness());
}

TEST_F(Bar, ACommandDragShowsWhereTheItemWillLandAndNothingWhereItSnapsBack) {
  Rect wifi = frame("wifi"), battery = frame("battery");
  QTest::mousePress(input(), Qt::LeftButton, Qt::ControlModifier, at(wifi.center()));
  QTest::mouseMove(input(), at({battery.midX() + 3, battery.midY()}));
  std::optional<double> mark = view.desktopScene().insertionX;
  ASSERT_TRUE(mark);
  EXPECT_EQ(mark, world.dropMarkX());
  EXPECT_EQ(*mark, battery.maxX());  // right of the battery: the next item's edge
  QColor accent = pixel(shot(), {*mark, battery.midY()});
  EXPECT_GT(accent.blue(), 200);
  EXPECT_LT(accent.red(), 60);
  QTest::mouseMove(input(), at(notch().center()));
  EXPECT_FALSE(view.desktopScene().insertionX);
  QTest::mouseMove(input(), at({battery.midX(), 300}));
  EXPECT_FALSE(view.desktopScene().insertionX);
  QTest::mouseMove(input(), at({battery.midX() + 3, battery.midY()}));
  QTest::mouseRelease(input(), Qt::LeftButton, Qt::ControlModifier, at({battery.midX() + 3, battery.midY()}));
  EXPECT_EQ(frame("wifi").minX(), frame("battery").maxX());  // it landed at the mark
  EXPECT_FALSE(view.desktopScene().insertionX);
}

TEST_F(Bar, ThePersonsPressInTheNotchReachesNothing) {
  int monitors = 0;
  sim.eventMonitors.addGlobalMonitor(eventMaskBit(EventType::LeftMouseDown), [&](const Event&) { ++monitors; });
  sim.eventMonitors.addLocalMonitor(eventMaskBit(EventType::LeftMouseDown), [&](const Event& e) -> std::optional<Event> {
    ++monitors;
    return e;
  });
  sim.application.activate(true);
  click(notch().center());
  ex.runUntil([] { return false; }, ex.now() + std::chrono::milliseconds(5));
  EXPECT_TRUE(world.openMenus().empty());
  EXPECT_EQ(monitors, 0);
  EXPECT_TRUE(sim.application.isActive());

  std::vector<std::string> order = world.logicalOrder();
  Rect wifi = frame("wifi");
  QTest::mousePress(input(), Qt::LeftButton, Qt::ControlModifier, at(wifi.center()));
  QTest::mouseMove(input(), at(notch().center()));
  QTest::mouseRelease(input(), Qt::LeftButton, Qt::ControlModifier, at(notch().center()));
  EXPECT_EQ(world.logicalOrder(), order);
}

TEST_F(Bar, AnIdleDesktopReadsNothingAndRepaintsOncePerChange) {
  ex.runUntil([] { return false; }, ex.now() + std::chrono::milliseconds(20));
  QCoreApplication::processEvents();
  int builds = view.sceneBuilds();
  QTest::qWait(2000);
  EXPECT_EQ(view.sceneBuilds(), builds);
  // Three changes in one turn: one rebuild on the next.
  host.statusItems().divider->setLength(10000);
  host.statusItems().divider->setLength(1);
  host.statusItems().divider->setLength(10000);
  QCoreApplication::processEvents();
  EXPECT_EQ(view.sceneBuilds(), builds + 1);
  EXPECT_LT(frame("Vimbo.HiddenDivider").minX(), 0);
}

// Without a notch the collapsed divider, a window without a picture, reaches past the screen's
// left edge; the menus stay, on the plain screen and on the main one of two.
TEST(PlainScreenBar, ShowsTheMenusWhileCollapsed) {
  for (const char* name : {"plain-1920.json", "two-displays.json"}) {
    SCOPED_TRACE(name);
    AppFirst app;
    QtExecutor ex;
    DesktopHost host(ex, std::get<sim::WorldSpec>(sim::loadWorld(sim::shippedWorldsFolder() / name)));
    host.launch(nullptr);
    host.statusItems().divider->setLength(10000);
    DesktopView& view = host.window().view();
    host.window().resize(view.sizeHint());
    host.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window()));
    view.refresh();
    ASSERT_LT(host.world().frameOf("Vimbo.HiddenDivider")->minX(), 0);
    QImage shot = view.grab().toImage();
    int ink = 0;  // the name and menus span about 280 points
    for (double x = 10; x < 300; x += 2)
      for (double y = 4; y < 20; y += 2) ink += shot.pixelColor(view.toWidget({x, y}).toPoint()).lightness() < 120;
    EXPECT_GT(ink, 100);
    ex.shutdown();
  }
}

}  // namespace
}  // namespace vimbo::desktop::testing
