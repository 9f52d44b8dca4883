// The manager panel as a person meets it, offscreen: what it shows for the store, what presses on
// tiles and buttons ask of the controller, the toast, and the shared search.
#include <QLineEdit>
#include <QTest>
#include <QTextDocument>
#include <chrono>

#include "Views/Widgets/CapturedMenuBarSearchRow.h"
#include "Views/Widgets/MenuBarItemTile.h"
#include "Views/Widgets/MenuBarItemWell.h"
#include "Views/Widgets/MenuBarPanel.h"
#include "Views/Widgets/PlainButton.h"
#include "Views/Widgets/Spinner.h"
#include "Views/Widgets/TextLabel.h"
#include "Views/Widgets/Toast.h"
#include "WidgetTestSupport.h"

using namespace vimbo;
using namespace vimbo::views;
using namespace vimbo::views::testing;
using namespace vimbo::test_support;
using namespace std::chrono_literals;

namespace {

// Counts the events of one type that reach a widget.
struct EventCounter : QObject {
  QEvent::Type type;
  int count = 0;
  explicit EventCounter(QEvent::Type t) : type(t) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == type) ++count;
    return false;
  }
};

struct ManagerPanelTest : PanelWidgetTest {
  std::unique_ptr<MenuBarPanel> panel;

  void SetUp() override { panel = open(); }

  std::unique_ptr<MenuBarPanel> open() {
    auto p = std::make_unique<MenuBarPanel>(store, log.managerActions(), ex, workspace);
    p->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(p.get()));
    settle();
    return p;
  }
  static void settle() { QCoreApplication::sendPostedEvents(); }

  template <class W = QWidget>
  W* part(const char* name, MenuBarPanel* in = nullptr) {
    W* w = (in ? in : panel.get())->findChild<W*>(QString::fromLatin1(name));
    EXPECT_TRUE(w) << name;
    return w;
  }
  bool shown(const char* name) { return part(name)->isVisibleTo(panel.get()); }
  MenuBarItemWell* well(const char* name) { return part<MenuBarItemWell>(name); }
  MenuBarItemTile* tile(std::uint32_t id) {
    for (const char* name : {"mainWell", "hiddenWell"})
      if (auto* t = well(name)->tile(id)) return t;
    ADD_FAILURE() << "no tile " << id;
    return nullptr;
  }
  QPoint centre(QWidget* w) { return w->mapTo(panel.get(), w->rect().center()); }
  // Through the window, so the press goes to whatever lies under the point.
  static QWindow* window(QWidget* w) { return w->window()->windowHandle(); }
  void press(std::uint32_t id, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(window(panel.get()), button, {}, centre(tile(id)));
  }
  void release(std::uint32_t id, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(window(panel.get()), button, {}, centre(tile(id)));
  }
  std::vector<std::string> tileNames(const char* wellName) {
    std::vector<std::string> names;
    for (auto* t : well(wellName)->tiles()) names.push_back(t->model().name);
    return names;
  }
  QColor pixel(QWidget* w, QPoint local) {
    QImage shot = panel->grab().toImage();
    return shot.pixelColor(w->mapTo(panel.get(), local));
  }
  void type(const QString& text) {
    auto* field = part<QLineEdit>("searchField");
    field->setFocus();
    typeText(field, text);
    turn();
  }
};

}  // namespace

TEST_F(ManagerPanelTest, WithoutPermissionOnlyTheCardShows) {
  store.screenCapturePermissionGranted.set(false);
  turn();
  saveScreenshot(panel->grab().toImage(), "manager-permission");
  EXPECT_TRUE(shown("permissionCard"));
  EXPECT_FALSE(shown("mainWell"));
  EXPECT_FALSE(shown("hiddenSection"));
  EXPECT_FALSE(shown("emptyBox"));
  QTest::mouseClick(part("grantButton"), Qt::LeftButton);
  turn();
  EXPECT_EQ(log.calls, std::vector<std::string>{"refresh"});
}

TEST_F(ManagerPanelTest, WellsShowTheTilesInZoneOrder) {
  saveScreenshot(panel->grab().toImage(), "manager-wells");
  EXPECT_EQ(tileNames("mainWell"), (std::vector<std::string>{"时钟", "控制中心", "番茄钟", "剪贴板"}));
  EXPECT_EQ(tileNames("hiddenWell"), std::vector<std::string>{"Lumen"});
  EXPECT_FALSE(shown("noHiddenItems"));
  auto tiles = well("mainWell")->tiles();
  for (std::size_t i = 1; i < tiles.size(); ++i) EXPECT_LT(tiles[i - 1]->x(), tiles[i]->x());

  MenuBarItemTile* clock = tile(11);
  EXPECT_TRUE(clock->model().showsLock);
  QTextDocument tip;
  tip.setHtml(clock->toolTip());
  EXPECT_EQ(tip.toPlainText(), QStringLiteral("时钟由 macOS 固定，无法收纳"));

  // Tile fills over the well over the panel's own fill.
  QColor wellFill = over(theme::windowBackground(0.38), theme::material(theme::Material::ultraThin));
  EXPECT_TRUE(near(pixel(tile(21), {3, 30}), over(theme::accent(0.2), wellFill)))
      << pixel(tile(21), {3, 30}).name().toStdString() << " " << over(theme::accent(0.2), wellFill).name().toStdString();
  EXPECT_TRUE(near(pixel(tile(22), {3, 30}), over(theme::primary(0.055), wellFill)))
      << pixel(tile(22), {3, 30}).name().toStdString();

  world.load(panelItems(false));
  turn();
  EXPECT_TRUE(shown("noHiddenItems"));
  EXPECT_FALSE(shown("hiddenWell"));
}

TEST_F(ManagerPanelTest, CollapseStateChangesButtonTooltipAndChipTogether) {
  auto* button = part<PlainButton>("collapseButton");
  auto* chip = part<TextLabel>("footerChip");
  store.systemItemsCollapsed.set(true);
  turn();
  QString symbol = button->symbol(), tip = button->toolTip(), text = chip->text();
  store.systemItemsCollapsed.set(false);
  turn();
  EXPECT_NE(button->symbol(), symbol);
  EXPECT_NE(button->toolTip(), tip);
  EXPECT_NE(chip->text(), text);

  QTest::mouseClick(button, Qt::LeftButton);
  QTest::mouseClick(part("settingsButton"), Qt::LeftButton);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"toggleCollection", "openSettings"}));
}

TEST_F(ManagerPanelTest, SpinnerReplacesTheRefreshButtonWhileCapturing) {
  EXPECT_FALSE(shown("spinner"));
  store.isCapturingSystemItems.set(true);
  turn();
  EXPECT_TRUE(shown("spinner"));
  EXPECT_FALSE(shown("refreshButton"));
}

TEST_F(ManagerPanelTest, TilesActAtThePressWithEitherButton) {
  struct Case {
    std::uint32_t id;
    Qt::MouseButton button;
    std::vector<std::string> calls;
  };
  const Case cases[] = {{11, Qt::LeftButton, {}},
                        {21, Qt::LeftButton, {"collect 21"}},
                        {22, Qt::LeftButton, {"pin 22"}},
                        {23, Qt::LeftButton, {"pin 23"}},
                        {12, Qt::RightButton, {}},
                        {21, Qt::RightButton, {}},
                        {22, Qt::RightButton, {"move 22 hidden"}},
                        {23, Qt::RightButton, {"move 23 collected"}},
                        {22, Qt::MiddleButton, {}}};
  for (const Case& c : cases) {
    log.calls.clear();
    press(c.id, c.button);  // no release
    EXPECT_EQ(log.calls, c.calls) << c.id << " " << int(c.button);
    release(c.id, c.button);
    EXPECT_EQ(log.calls, c.calls) << "release acted";
  }
}

TEST_F(ManagerPanelTest, RightPressOpensNoMenuAndOutsidePressesGoBeneath) {
  EventCounter menus(QEvent::ContextMenu);
  panel->installEventFilter(&menus);
  well("mainWell")->installEventFilter(&menus);
  press(22, Qt::RightButton);
  EXPECT_EQ(menus.count, 0);
  release(22, Qt::RightButton);

  EventCounter presses(QEvent::MouseButtonPress);
  well("mainWell")->installEventFilter(&presses);
  log.calls.clear();
  QWidget* t = tile(22);
  QTest::mousePress(window(panel.get()), Qt::LeftButton, {}, t->mapTo(panel.get(), QPoint(-1, t->height() / 2)));
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(presses.count, 1);
  QTest::mouseRelease(window(panel.get()), Qt::LeftButton, {}, t->mapTo(panel.get(), QPoint(-1, t->height() / 2)));
}

TEST_F(ManagerPanelTest, PressesRunTheNewestRuleAndDoubleClicksActTwice) {
  store.commitLayoutMovement(22, MenuBarLayoutZone::hidden, std::nullopt, false);
  turn();
  press(22, Qt::RightButton);
  release(22, Qt::RightButton);
  EXPECT_EQ(log.calls, std::vector<std::string>{"move 22 collected"});

  log.calls.clear();
  QTest::mouseDClick(window(panel.get()), Qt::LeftButton, {}, centre(tile(21)));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"collect 21", "collect 21"}));
}

TEST_F(ManagerPanelTest, PressedLookLastsWhileTheButtonIsHeld) {
  press(21);
  EXPECT_EQ(tile(21)->pressedLook(), 1);
  release(21);
  EXPECT_EQ(tile(21)->pressedLook(), 0);
}

TEST_F(ManagerPanelTest, ClosuresThatChangeTheStoreAtOnceLeaveTilesStanding) {
  auto flip = [this](std::uint32_t id) {
    const auto items = store.capturedSystemItems.get();  // the update replaces the list
    for (auto item : items)
      if (item.id == id) {
        item.isCollected = !item.isCollected;
        store.updateCapturedSystemItem(item);
      }
  };
  ManagerPanelActions actions = log.managerActions();
  actions.pinSystemItem = flip;
  actions.collectSystemItem = flip;
  MenuBarPanel flipping(store, actions, ex, workspace);
  flipping.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&flipping));
  settle();
  auto* mainWell = flipping.findChild<MenuBarItemWell*>(QStringLiteral("mainWell"));
  for (int i = 0; i < 5; ++i) {
    MenuBarItemTile* t = mainWell->tile(22);
    ASSERT_TRUE(t);
    QTest::mousePress(window(&flipping), Qt::LeftButton, {}, t->mapTo(&flipping, t->rect().center()));
    QTest::mouseRelease(window(&flipping), Qt::LeftButton, {}, t->mapTo(&flipping, t->rect().center()));
    if (i % 2 == 0) turn();
  }
  turn();
  EXPECT_TRUE(mainWell->tile(22)->model().isBright);
}

TEST_F(ManagerPanelTest, RefusalShowsTheToastAndCallsNothing) {
  press(11);
  release(11);
  EXPECT_EQ(panel->toast()->message(), QStringLiteral("时钟由 macOS 固定，无法收纳"));
  EXPECT_TRUE(panel->toast()->isVisibleTo(panel.get()));
  saveScreenshot(panel->grab().toImage(), "manager-toast");
  ex.runFor(1000ms);
  press(12, Qt::RightButton);
  release(12, Qt::RightButton);
  EXPECT_EQ(panel->toast()->message(), QStringLiteral("控制中心由 macOS 固定，无法收纳"));
  ex.runFor(1500ms);
  EXPECT_TRUE(panel->toast()->isVisibleTo(panel.get()));
  ex.runFor(300ms);
  EXPECT_FALSE(panel->toast()->isVisibleTo(panel.get()));
  EXPECT_TRUE(log.calls.empty());
}

TEST_F(ManagerPanelTest, SearchListsRankedRowsAndActivatesThem) {
  EXPECT_FALSE(shown("results"));
  EXPECT_FALSE(shown("clearButton"));
  type(QStringLiteral("剪"));
  ASSERT_TRUE(shown("results"));
  EXPECT_GT(part("results")->y(), part("mainWell")->y());
  EXPECT_TRUE(shown("clearButton"));
  ASSERT_EQ(panel->resultRows().size(), 1u);
  CapturedMenuBarSearchRow* row = panel->resultRows()[0];
  EXPECT_EQ(row->displayedName(), QStringLiteral("剪贴板"));
  EXPECT_EQ(row->displayedOwner(), QStringLiteral("Clip Keeper"));
  saveScreenshot(panel->grab().toImage(), "manager-search");
  QTest::mouseClick(row, Qt::LeftButton);
  EXPECT_EQ(log.calls, std::vector<std::string>{"activate 22"});

  part<QLineEdit>("searchField")->clear();
  type(QStringLiteral("zzz"));
  EXPECT_TRUE(shown("noMatch"));
  EXPECT_TRUE(panel->resultRows().empty());

  QTest::mouseClick(part("clearButton"), Qt::LeftButton);
  turn();
  EXPECT_EQ(store.searchText.get(), "");
  EXPECT_TRUE(part<QLineEdit>("searchField")->text().isEmpty());
  EXPECT_FALSE(shown("results"));

  type(QStringLiteral("   "));
  ASSERT_EQ(panel->resultRows().size(), 5u);
  EXPECT_EQ(panel->resultRows().back()->item().name, "Lumen");
}

TEST_F(ManagerPanelTest, EscapeClearsTheSearchOnce) {
  type(QStringLiteral("剪"));
  int writes = 0;
  auto counting = store.searchText.subscribe([&](const std::string&) { ++writes; });
  QTest::keyClick(part<QLineEdit>("searchField"), Qt::Key_Escape);
  turn();
  EXPECT_EQ(store.searchText.get(), "");
  EXPECT_TRUE(part<QLineEdit>("searchField")->text().isEmpty());
  EXPECT_FALSE(shown("results"));
  QTest::keyClick(part<QLineEdit>("searchField"), Qt::Key_Escape);
  turn();
  EXPECT_EQ(writes, 1);
}

TEST_F(ManagerPanelTest, BothContentsShareTheSearchText) {
  auto other = open();
  type(QStringLiteral("剪"));
  EXPECT_EQ(part<QLineEdit>("searchField", other.get())->text(), QStringLiteral("剪"));
  EXPECT_EQ(other->resultRows().size(), 1u);
}

TEST_F(ManagerPanelTest, BackgroundPressesAreLeftToTheWindow) {
  EventCounter presses(QEvent::MouseButtonPress);
  QWidget parent;
  auto* inner = new MenuBarPanel(store, log.managerActions(), ex, workspace, &parent);
  parent.installEventFilter(&presses);
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  settle();
  QPoint gap = inner->mapTo(&parent, QPoint(200, 575));  // between the footer's button and chip
  QTest::mousePress(window(&parent), Qt::LeftButton, {}, gap);
  EXPECT_EQ(presses.count, 1);
  QTest::mouseRelease(window(&parent), Qt::LeftButton, {}, gap);
}

TEST_F(ManagerPanelTest, HostileNamesStayPlainText) {
  const std::string hostile = "<b>x</b><img src=\"file:///etc/passwd\">";
  auto items = panelItems();
  items[3].name = hostile;
  world.load(items);
  store.searchText.set("passwd");
  turn();
  const QString literal = QString::fromStdString(hostile);
  EXPECT_EQ(tile(22)->accessibleName(), literal);
  QTextDocument tip;
  tip.setHtml(tile(22)->toolTip());
  EXPECT_EQ(tip.toPlainText(), literal);
  ASSERT_EQ(panel->resultRows().size(), 1u);
  panel->resultRows()[0]->resize(800, CapturedMenuBarSearchRow::rowHeight);
  EXPECT_EQ(panel->resultRows()[0]->displayedName(), literal);
}
