// The controller in the desktop window, as a person meets it: the control item's click reveals
// and hides, its right click draws the menu (the entry under the pointer selected) whose "管理面板"
// opens the popover under it, and the quick-search hot key opens the panel whose rows Down and
// Escape drive; a double-click on our icon opens the detached panel.
#include <QTimer>
#include <set>

#include "App/VimboApp.h"
#include "DesktopFixture.h"
#include "System/MenuBarProxyManager.h"
#include "Views/Widgets/MenuBarSearchPanel.h"

namespace vimbo::desktop::testing {
namespace {

using namespace std::chrono_literals;

struct ControllerAtTheDesktop : DesktopFixture {
  platform::Platform platform = host.platform();
  std::unique_ptr<VimboApp> vimbo;

  void SetUp() override {
    vimbo = std::make_unique<VimboApp>(platform, host.defaults(), host.viewFactory());
    host.launch(vimbo->appDelegate);
    showAt(view.sizeHint());
    // Start-up and the first capture.
    ASSERT_TRUE(until([&] { return !store().capturedSystemItems.get().empty() && !store().isCapturingSystemItems.get(); }));
  }
  AppDelegate& app() { return *vimbo->appDelegate; }
  MenuBarStore& store() { return app().store; }
  bool until(const std::function<bool()>& condition, async::Duration limit = 5s) {
    return ex.runUntil(condition, ex.now() + limit);
  }
  double dividerLength() { return app().menuBarHider.dividerItem->length(); }
  Rect control() { return frame("Vimbo.Control"); }
  std::set<std::string> accessibleNames(QWidget* root) {
    std::set<std::string> names;
    for (QWidget* w : root->findChildren<QWidget*>()) names.insert(w->accessibleName().toStdString());
    return names;
  }
};

TEST_F(ControllerAtTheDesktop, AClickOnTheControlItemRevealsAndASecondHides) {
  ASSERT_EQ(dividerLength(), hider::collapsedLength);
  click(control().center());
  EXPECT_TRUE(until([&] { return dividerLength() == hider::expandedLength; }));
  click(control().center());
  EXPECT_TRUE(until([&] { return dividerLength() == hider::collapsedLength; }));
}

TEST_F(ControllerAtTheDesktop, RightClickDrawsTheMenuAndItsManagerEntryOpensThePopoverUnderTheControlItem) {
  std::vector<std::string> drawn;
  std::vector<std::optional<size_t>> hovered;
  // The menu runs its own loop until a choice closes it: choose from inside that loop.
  QTimer::singleShot(200, [&] {
    view.refresh();
    if (!view.desktopScene().menus.empty()) drawn = view.desktopScene().menus.back().entries;
    auto menus = world.openMenus();
    ASSERT_FALSE(menus.empty());
    const Rect m = menus.front().frame;
    const Point second{m.minX() + 20, m.minY() + 5 + 22 + 11};
    for (Point p : {Point{m.minX() + 20, m.maxY() + 30}, second}) {  // below the menu, then on an entry
      QTest::mouseMove(input(), at(p));
      view.refresh();
      hovered.push_back(view.desktopScene().menus.back().hovered);
    }
    click(second);
  });
  QTest::mouseClick(input(), Qt::RightButton, Qt::NoModifier, at(control().center()));
  EXPECT_EQ(drawn, (std::vector<std::string>{"搜索菜单栏项目", "管理面板", "偏好设置"}));
  EXPECT_EQ(hovered, (std::vector<std::optional<size_t>>{std::nullopt, 1}));
  ASSERT_TRUE(until([&] { return app().popover->isShown(); }));

  platform::Window* window = app().popover->contentWindow();
  ASSERT_NE(window, nullptr);
  const Rect shown = serverFrame(*window);
  EXPECT_EQ(shown.minY(), control().maxY()) << "right under the bar";
  EXPECT_LE(shown.minX(), control().midX());
  EXPECT_GE(shown.maxX(), control().midX());
  QWidget* content = view.contentWidget(window->handle());
  ASSERT_NE(content, nullptr);
  view.refresh();
  EXPECT_TRUE(content->isVisible());
  const auto names = accessibleNames(content);
  for (const auto& item : store().capturedSystemItems.get()) EXPECT_TRUE(names.count(item.name)) << item.name;
}

TEST_F(ControllerAtTheDesktop, QuickSearchHotKeyOpensThePanelWhoseRowsDownAndEscapeDrive) {
  QTest::keyPress(&view, Qt::Key_Control);
  QTest::keyPress(&view, Qt::Key_Alt, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);  // Option-Command-B
  QTest::keyRelease(&view, Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier);
  QTest::keyRelease(&view, Qt::Key_Control, Qt::ControlModifier);
  ASSERT_TRUE(until([&] { return app().quickSearchPanel && app().quickSearchPanel->isKeyWindow(); }));
  view.refresh();
  auto* panel = dynamic_cast<views::MenuBarSearchPanel*>(view.contentWidget(app().quickSearchPanel->handle()));
  ASSERT_NE(panel, nullptr);
  auto selectedRow = [&]() -> int {
    panel->applyNow();
    const auto& rows = panel->rows();
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i]->isVisibleTo(panel) && rows[i]->model().selected) return int(i);
    return -1;
  };
  ASSERT_TRUE(until([&] { return panel->rows().size() >= 2; }));
  EXPECT_EQ(selectedRow(), 0);

  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_TRUE(until([&] { return selectedRow() == 1; }));

  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_TRUE(until([&] { return !app().quickSearchPanel->isVisible(); }));
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 0);
}

// The click's own work (the manager closes on a click outside it) comes first, then the request.
TEST_F(ControllerAtTheDesktop, DoubleClickingOurIconOpensTheDetachedPanelThatStaysUntilAClickElsewhere) {
  const Rect icon = reopenIconFrame(view.desktopScene().displays.front());
  doubleClick(input(), at(icon.center()));
  ASSERT_TRUE(until([&] { return app().detachedPanel && app().detachedPanel->isVisible(); }));
  settle();
  EXPECT_TRUE(app().detachedPanel->isVisible());
  view.refresh();
  EXPECT_NE(view.contentWidget(app().detachedPanel->handle()), nullptr);

  click({icon.minX() - 200, icon.midY()});
  EXPECT_TRUE(until([&] { return !app().detachedPanel->isVisible(); }));
}

// The desktop shows before Vimbo has finished launching; a click on the control item during the
// launch's settling is handled once the launch has finished, after the first steps of what the
// launch started: a start-up restore of a saved pin has taken the bar by then (before collapsing
// it), so the click reveals the bar the restore leaves rather than collapsing the one it found.
struct LaunchingAtTheDesktop : ::testing::TestWithParam<bool> {
  AppFirst qt;
  QtExecutor ex;
  DesktopHost host{ex, notchedLaptop(), {}, defaults()};
  platform::Platform platform = host.platform();
  VimboApp vimbo{platform, host.defaults(), host.viewFactory()};
  void TearDown() override { ex.shutdown(); }
  static std::shared_ptr<platform::UserDefaults> defaults() {
    auto d = platform::UserDefaults::inMemory();
    const std::string inkwell = "com.inkwell.capture|window=Item-0|ax=identifier:com.inkwell.capture.status";
    if (GetParam()) d->set(MenuBarProxyManager::pinnedIdentitiesKey, platform::DefaultsArray{inkwell});
    return d;
  }
};

TEST_P(LaunchingAtTheDesktop, AClickWhileLaunchingIsHandledAfterTheLaunch) {
  DesktopView& view = host.window().view();
  host.window().resize(view.sizeHint());
  host.window().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window()));
  // Where the control item stands once installed; with a saved pin the launch settles first.
  const Point control{1340, 18};
  bool launched = false, clickedWhileLaunching = false;
  QTimer::singleShot(0, [&] {
    clickedWhileLaunching = !launched;
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, view.toWidget(control).toPoint());
  });
  host.launch(vimbo.appDelegate);
  launched = true;
  ASSERT_TRUE(clickedWhileLaunching);
  ASSERT_TRUE(host.world().frameOf("Vimbo.Control").value_or(Rect{}).contains(control));
  ASSERT_TRUE(ex.runUntil([&] { return host.world().pointer().x > control.x - 1; }, ex.now() + 2s));
  // A restore lets go of the bar at its end; the reveal follows then.
  ASSERT_TRUE(ex.runUntil([&] { return !vimbo.appDelegate->initialSystemSetupTask; }, ex.now() + 10s));
  EXPECT_EQ(vimbo.appDelegate->menuBarHider.dividerItem->length(), hider::expandedLength);
  EXPECT_TRUE(vimbo.appDelegate->revealSessionTask);
}

INSTANTIATE_TEST_SUITE_P(SavedPin, LaunchingAtTheDesktop, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Restored" : "None"; });

}  // namespace
}  // namespace vimbo::desktop::testing
