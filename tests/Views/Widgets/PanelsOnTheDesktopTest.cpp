// The manager and quick-search contents in the desktop window: drawn and reached at a smaller
// scale, and, with the controller in the host on the notched laptop, opened by the person's keys
// and clicks, acting on the simulated bar.
#include <QLineEdit>
#include <QTest>

#include "App/VimboApp.h"
#include "Platform/Desktop/DesktopFixture.h"
#include "Platform/Desktop/WidgetContent.h"
#include "System/MenuBarHider.h"
#include "Views/CapturedMenuBarSearch.h"
#include "Views/Widgets/MenuBarItemTile.h"
#include "Views/Widgets/MenuBarItemWell.h"
#include "Views/Widgets/MenuBarPanel.h"
#include "Views/Widgets/MenuBarSearchPanel.h"
#include "WidgetTestSupport.h"

namespace vimbo::views::testing {
namespace {

using namespace std::chrono_literals;
using desktop::WidgetContent;
using test_support::ActionLog;
using test_support::PanelStore;

// The world point of a point in a window's content widget.
Point contentPoint(sim::World& world, const platform::Window& w, QPointF inContent) {
  Rect f = world.screenToServer(w.frame());
  double top = f.height - w.contentSize().height;
  return {f.minX() + inContent.x(), f.minY() + top + inContent.y()};
}

QPointF centreIn(QWidget* child, QWidget* content) { return QRectF(child->mapTo(content, QPoint(0, 0)), child->size()).center(); }

// MARK: - At the desktop's scale, without the controller

class ContentAtScale : public desktop::testing::DesktopFixture {
 protected:
  void SetUp() override {
    DesktopFixture::SetUp();
    showScaled(0.75);
  }
  void settle() {
    ex.runUntil(ex.now());
    QCoreApplication::processEvents();
  }
  MotionOff still;
  PanelStore panelStore;
  MenuBarSearchSession session;
  ActionLog log;
};

TEST_F(ContentAtScale, APressAtATilesDrawnCentreRunsItsLeftAction) {
  platform::WindowRef w = openWindow(desktop::testing::floatingPanel({388, 590}), {700, 345},
                                     host.viewFactory().makeManagerPanel(panelStore.store, log.managerActions()));
  auto* panel = dynamic_cast<MenuBarPanel*>(WidgetContent::widgetOf(w->content()));
  ASSERT_TRUE(panel);
  settle();
  ASSERT_LT(view.scale(), 0.8);
  MenuBarItemTile* tile = panel->findChild<MenuBarItemWell*>(QStringLiteral("mainWell"))->tile(21);
  click(contentPoint(world, *w, centreIn(tile, panel)));
  EXPECT_EQ(log.calls, std::vector<std::string>{"collect 21"});
}

TEST_F(ContentAtScale, PointerMovesSelectRowsAndTheCardsCornersShowTheDesktop) {
  Point origin{536, 264.5};
  QImage before = shot();
  platform::WindowConfiguration card = desktop::testing::floatingPanel({440, 416});
  card.opaque = false;  // a clear window, as the controller makes it: the card draws itself
  card.clearBackground = true;
  platform::WindowRef w =
      openWindow(card, origin,
                 host.viewFactory().makeQuickSearchPanel(panelStore.store, session, log.quickSearchActions()));
  auto* panel = dynamic_cast<MenuBarSearchPanel*>(WidgetContent::widgetOf(w->content()));
  ASSERT_TRUE(panel);
  settle();
  ASSERT_EQ(panel->rows().size(), 5u);
  Point row3 = contentPoint(world, *w, centreIn(panel->rows()[3], panel));
  QTest::mouseMove(input(), at({row3.x - 30, row3.y}));
  QTest::mouseMove(input(), at(row3));
  EXPECT_EQ(session.selectedIndex.get(), 3);

  QImage after = shot();
  Point corner = contentPoint(world, *w, {1, 1});
  Point inside = contentPoint(world, *w, {30, 30});
  EXPECT_TRUE(near(pixel(after, corner), pixel(before, corner), 6));
  EXPECT_FALSE(near(pixel(after, inside), pixel(before, inside), 6));
}

// MARK: - The running application

sim::WorldSpec notchedLaptop() {
  auto load = sim::loadWorld(sim::shippedWorldsFolder() / "notched-laptop.json");
  return std::get<sim::WorldSpec>(std::move(load));
}

class RunningApp : public ::testing::Test {
 protected:
  RunningApp() : host(executor, notchedLaptop(), {}, platform::UserDefaults::inMemory()), platform(host.platform()),
                 app(platform, host.defaults(), host.viewFactory()) {}

  void SetUp() override {
    host.launch(app.appDelegate);
    host.window().resize(view.sizeHint());
    host.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window()));
    ASSERT_TRUE(executor.runUntil(
        [&] { return !store().capturedSystemItems.get().empty() && !store().isCapturingSystemItems.get(); },
        executor.now() + 10s));
    settle();
  }
  void TearDown() override { executor.stop(); }

  MenuBarStore& store() { return app.appDelegate->store; }
  AppDelegate& controller() { return *app.appDelegate; }
  sim::World& world() { return host.world(); }
  void settle() {
    for (int i = 0; i < 3; ++i) {
      executor.runUntil(executor.now());
      QCoreApplication::processEvents();
    }
  }
  bool runUntil(const std::function<bool()>& done, async::Duration limit = 30s) {
    bool ok = executor.runUntil(done, executor.now() + limit);
    settle();
    return ok;
  }
  QPoint at(Point p) {
    QPointF w = view.toWidget(p);
    return {int(w.x()), int(w.y())};
  }
  void click(Point p, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(view.viewport(), button, mods, at(p));
  }
  void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(&view, k, mods); }
  Point wallpaper() { return {300, 600}; }
  Rect control() { return *world().frameOf(hider::controlName); }

  MenuBarSearchPanel* quickSearch() {
    if (!controller().quickSearchPanel) return nullptr;
    return dynamic_cast<MenuBarSearchPanel*>(WidgetContent::widgetOf(controller().quickSearchPanel->content()));
  }
  bool quickSearchShown() { return controller().quickSearchPanel && controller().quickSearchPanel->isVisible(); }
  MenuBarPanel* popoverContent() {
    return controller().popover ? dynamic_cast<MenuBarPanel*>(WidgetContent::widgetOf(controller().popover->content()))
                                : nullptr;
  }
  // A query the ranking answers with exactly `count` items.
  std::string queryWith(std::size_t count) {
    for (char a = 'a'; a <= 'z'; ++a)
      for (char b = 'a'; b <= 'z'; ++b)
        for (std::string q : {std::string(1, a), std::string{a, b}})
          if (CapturedMenuBarSearch::rankedItems(store().capturedSystemItems.get(), q).size() == count) return q;
    return {};
  }

  desktop::testing::AppFirst first;
  MotionOff still;
  async::VirtualExecutor executor;
  desktop::DesktopHost host;
  platform::Platform platform;
  VimboApp app;
  desktop::DesktopView& view = host.window().view();
};

TEST_F(RunningApp, QuickSearchOpensByHotKeyAndOpensTheChosenItemsMenu) {
  key(Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
  settle();
  ASSERT_TRUE(quickSearchShown());
  MenuBarSearchPanel* panel = quickSearch();
  ASSERT_TRUE(panel);
  EXPECT_TRUE(panel->field()->hasFocus());

  QTest::keyClicks(&view, "o");
  settle();
  auto ranked = CapturedMenuBarSearch::rankedItems(store().capturedSystemItems.get(), "o");
  ASSERT_GE(ranked.size(), 2u);
  saveScreenshot(view.grab().toImage(), "desktop-quick-search");
  key(Qt::Key_Down);
  key(Qt::Key_Return);
  settle();
  EXPECT_FALSE(quickSearchShown());
  EXPECT_EQ(controller().quickSearchSession.query.get(), "");
  int32_t owner = ranked[1].ownerPID;
  EXPECT_TRUE(runUntil([&] {
    for (const auto& menu : world().openMenus())
      if (menu.ownerPID == owner && menu.level == platform::windowlevel::popUpMenu) return true;
    return false;
  }));
}

TEST_F(RunningApp, QuickSearchKeepsWhatTheMonitorPassesAndClosesOnAWallpaperClick) {
  key(Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);
  settle();
  MenuBarSearchPanel* panel = quickSearch();
  ASSERT_TRUE(panel);
  std::string three = queryWith(3);
  ASSERT_FALSE(three.empty());
  QTest::keyClicks(&view, QString::fromStdString(three));
  settle();
  key(Qt::Key_5, Qt::ControlModifier);
  EXPECT_TRUE(quickSearchShown());
  EXPECT_EQ(panel->field()->text(), QString::fromStdString(three));
  EXPECT_TRUE(world().openMenus().empty());

  struct ShiftReturns : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return && (k->modifiers() & Qt::ShiftModifier)) ++count;
      }
      return false;
    }
  } shiftReturns;
  panel->field()->installEventFilter(&shiftReturns);
  key(Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(shiftReturns.count, 1);
  EXPECT_TRUE(quickSearchShown());

  click(wallpaper());  // our application resigns, the panel loses key status
  executor.runUntil(executor.now());
  EXPECT_FALSE(quickSearchShown());
}

TEST_F(RunningApp, TheManagerOpensFromTheMenuAndPinsACollectedItem) {
  // The person picks "管理面板" while the menu's own loop runs.
  executor.scheduleAfter(100ms, [&] {
    ASSERT_FALSE(world().openMenus().empty());
    const sim::MenuView menu = world().openMenus().front();
    ASSERT_EQ(menu.entries.at(1), "管理面板");
    click({menu.frame.midX(), menu.frame.minY() + desktop::kMenuTopInset + 1.5 * desktop::kMenuRowHeight});
  });
  click({control().midX(), control().midY()}, Qt::RightButton);
  settle();
  ASSERT_TRUE(controller().popover->isShown());
  MenuBarPanel* panel = popoverContent();
  ASSERT_TRUE(panel);
  auto* well = panel->findChild<MenuBarItemWell*>(QStringLiteral("mainWell"));
  EXPECT_EQ(well->tiles().size(), store().capturedItems(MenuBarLayoutZone::visible).size() +
                                      store().capturedItems(MenuBarLayoutZone::collected).size());

  const platform::Window& window = *controller().popover->contentWindow();
  MenuBarItemTile* collected = nullptr;
  for (auto* tile : well->tiles())
    if (!tile->model().isBright && !tile->model().showsLock) collected = tile;
  ASSERT_TRUE(collected);
  std::uint32_t id = collected->model().id;
  click(contentPoint(world(), window, centreIn(collected, panel)));
  click(wallpaper());  // while the operation runs the manager stays
  settle();
  EXPECT_TRUE(controller().popover->isShown());
  ASSERT_TRUE(runUntil([&] { return controller().activeSystemItemOperationCount == 0; }));
  saveScreenshot(view.grab().toImage(), "desktop-manager-popover");
  Rect divider = *world().frameOf(hider::dividerName);
  EXPECT_GE(world().itemByWindow(id)->frame.minX(), divider.maxX());
  EXPECT_TRUE(well->tile(id)->model().isBright);

  key(Qt::Key_Escape);
  click(contentPoint(world(), window, {200, 575}));  // the popover's own footer, where nothing acts
  settle();
  EXPECT_TRUE(controller().popover->isShown());
  click(wallpaper());
  settle();
  EXPECT_FALSE(controller().popover->isShown());
}

}  // namespace
}  // namespace vimbo::views::testing
