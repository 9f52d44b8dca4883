// The quick-search panel offscreen: its three contents, the rows with their hints and selection,
// hover that selects only on real motion, the keyboard's scrolling, clicks, Escape and reopening.
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <chrono>

#include "Views/MenuBarSearchSession.h"
#include "Views/Widgets/MenuBarSearchPanel.h"
#include "Views/Widgets/Spinner.h"
#include "Views/Widgets/TextLabel.h"
#include "WidgetTestSupport.h"

using namespace vimbo;
using namespace vimbo::views;
using namespace vimbo::views::testing;
using namespace vimbo::test_support;
using namespace std::chrono_literals;

namespace {

std::vector<CapturedMenuBarItem> twelveItems() {
  std::vector<CapturedMenuBarItem> items = panelItems();
  const char* names[] = {"天气", "电池", "蓝牙", "输入法", "音量", "网络", "备忘"};
  for (std::uint32_t i = 0; i < 7; ++i)
    items.push_back(capturedItem(30 + i, "Item-0", names[i], "Owner " + std::to_string(i),
                                 "com.example.extra" + std::to_string(i), solidImage(16, 16, 0x000000FF, true), true));
  return items;
}

struct QuickSearchPanelTest : PanelWidgetTest {
  QuickSearchPanelTest() : PanelWidgetTest(false) {}

  MenuBarSearchSession session;
  std::unique_ptr<MenuBarSearchPanel> panel;

  void SetUp() override {
    panel = std::make_unique<MenuBarSearchPanel>(store, session, log.quickSearchActions(), ex, workspace);
  }
  void show() {
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    turn();
  }
  bool shown(const char* name) {
    QWidget* w = panel->findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_TRUE(w) << name;
    return w && w->isVisibleTo(panel.get());
  }
  QWindow* window() { return panel->windowHandle(); }
  QPoint rowPoint(int i, int dx = 0) {
    QWidget* row = panel->rows()[std::size_t(i)];
    return row->mapTo(panel.get(), row->rect().center() + QPoint(dx, 0));
  }
  int scrollValue() { return panel->list()->verticalScrollBar()->value(); }
};

}  // namespace

TEST_F(QuickSearchPanelTest, WaitsWithASpinnerUntilItemsArrive) {
  store.isCapturingSystemItems.set(true);
  show();
  saveScreenshot(panel->grab().toImage(), "quick-search-reading");
  EXPECT_TRUE(shown("waiting"));
  auto* text = panel->findChild<TextLabel*>(QStringLiteral("waitingText"));
  EXPECT_EQ(text->text(), QStringLiteral("正在读取菜单栏项目…"));
  store.isCapturingSystemItems.set(false);
  turn();
  EXPECT_TRUE(panel->findChild<Spinner*>()->isVisibleTo(panel.get()));
  EXPECT_EQ(text->text(), QStringLiteral("暂时没有可搜索的菜单栏项目"));
}

TEST_F(QuickSearchPanelTest, RowsShowHintsAndTheSelection) {
  store.replaceCapturedSystemItems(twelveItems());
  show();
  saveScreenshot(panel->grab().toImage(), "quick-search-list");
  EXPECT_TRUE(panel->field()->hasFocus());
  ASSERT_EQ(panel->rows().size(), 12u);
  for (std::size_t i = 0; i < 12; ++i) {
    const SearchRowModel& row = panel->rows()[i]->model();
    EXPECT_EQ(panel->rows()[i]->height(), 40);
    EXPECT_EQ(row.selected, i == 0);
    if (i == 0) EXPECT_EQ(row.hint, "↵");
    else if (i < 9) EXPECT_EQ(row.hint, "⌘" + std::to_string(i + 1));
    else EXPECT_EQ(row.hint, "");
  }
  QImage shot = panel->grab().toImage();
  QWidget* first = panel->rows()[0];
  QPoint sample = first->mapTo(panel.get(), QPoint(first->width() - 60, 3));
  EXPECT_TRUE(near(shot.pixelColor(sample), over(theme::accent(0.2), theme::material(theme::Material::regular))))
      << shot.pixelColor(sample).name().toStdString();
}

TEST_F(QuickSearchPanelTest, HoverSelectsOnlyOnRealMotion) {
  store.replaceCapturedSystemItems(twelveItems());
  show();
  QTest::mouseMove(window(), rowPoint(3));
  EXPECT_EQ(session.selectedIndex.get(), 3);
  EXPECT_EQ(scrollValue(), 0);

  // Keys move the list under a pointer that stays where it is.
  QPoint still = rowPoint(6);
  QTest::mouseMove(window(), still);
  EXPECT_EQ(session.selectedIndex.get(), 6);
  for (int i = 0; i < 5; ++i) session.moveSelection(1, 12);
  turn();
  ASSERT_GT(scrollValue(), 0);
  QTest::mouseMove(window(), still);  // the same place: a synthesised move, not the person's
  EXPECT_EQ(session.selectedIndex.get(), 11);
}

TEST_F(QuickSearchPanelTest, ThePointerSelectsARowWhenItMovesIntoItNotWhileItMovesWithin) {
  store.replaceCapturedSystemItems(twelveItems());
  show();
  QTest::mouseMove(window(), rowPoint(3));
  EXPECT_EQ(session.selectedIndex.get(), 3);
  session.moveSelection(1, 12);
  session.moveSelection(1, 12);
  turn();
  ASSERT_EQ(scrollValue(), 0);
  QTest::mouseMove(window(), rowPoint(3, 20));  // a nudge inside the same row
  EXPECT_EQ(session.selectedIndex.get(), 5);
  QTest::mouseMove(window(), rowPoint(4));
  EXPECT_EQ(session.selectedIndex.get(), 4);
  QTest::mouseMove(window(), rowPoint(3, -20));  // back into the row: entered again
  EXPECT_EQ(session.selectedIndex.get(), 3);
}

TEST_F(QuickSearchPanelTest, KeyboardMovesScrollTheRowFullyIntoView) {
  store.replaceCapturedSystemItems(twelveItems());
  show();
  for (int i = 0; i < 8; ++i) session.moveSelection(1, 12);
  turn();
  EXPECT_EQ(session.selectedIndex.get(), 8);
  QWidget* row = panel->rows()[8];
  QRect inViewport(row->mapTo(panel->list()->viewport(), QPoint(0, 0)), row->size());
  EXPECT_EQ(inViewport.bottom(), panel->list()->viewport()->rect().bottom());
  EXPECT_EQ(scrollValue(), 15);
}

TEST_F(QuickSearchPanelTest, NoMatchAndBackToTheFullList) {
  store.replaceCapturedSystemItems(twelveItems());
  show();
  for (int i = 0; i < 10; ++i) session.moveSelection(1, 12);
  turn();
  typeText(panel->field(), QStringLiteral("zzz"));
  turn();
  EXPECT_TRUE(shown("noMatch"));
  EXPECT_FALSE(shown("list"));
  panel->field()->clear();
  turn();
  EXPECT_TRUE(shown("list"));
  EXPECT_EQ(session.selectedIndex.get(), 0);
  EXPECT_EQ(scrollValue(), 0);
}

TEST_F(QuickSearchPanelTest, ClicksActivateAndEscapeCloses) {
  store.replaceCapturedSystemItems(twelveItems());
  show();
  QTest::mouseClick(window(), Qt::LeftButton, {}, rowPoint(2));
  QTest::keyClick(panel->field(), Qt::Key_Escape);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"open 番茄钟", "close"}));
}

TEST_F(QuickSearchPanelTest, ReopeningAfterASearchStartsFresh) {
  store.replaceCapturedSystemItems(twelveItems());
  show();
  typeText(panel->field(), QStringLiteral("Owner"));
  session.moveSelection(1, 7);
  turn();
  panel->hide();
  session.reset();
  panel->show();
  turn();
  EXPECT_TRUE(panel->field()->text().isEmpty());
  EXPECT_EQ(session.selectedIndex.get(), 0);
  EXPECT_EQ(scrollValue(), 0);
  EXPECT_EQ(panel->rows().size(), 12u);
  EXPECT_EQ(panel->focusWidget(), panel->field());
}

TEST_F(QuickSearchPanelTest, HostileNamesStayPlainText) {
  auto items = twelveItems();
  const std::string hostile = "<b>x</b><img src=\"file:///etc/passwd\">";
  items[4].name = hostile;
  store.replaceCapturedSystemItems(items);
  show();
  panel->rows()[4]->resize(900, 40);
  EXPECT_EQ(panel->rows()[4]->displayedName(), QString::fromStdString(hostile));
}

TEST_F(QuickSearchPanelTest, ALongListBuildsTheRowsInViewAndMakesTheRestAsTheyScrollIn) {
  std::vector<CapturedMenuBarItem> items;
  for (std::uint32_t i = 0; i < 300; ++i)
    items.push_back(capturedItem(100 + i, "Item-0", "Row " + std::to_string(i), "Owner", "com.example.row",
                                 solidImage(16, 16, 0x000000FF, true), true));
  store.replaceCapturedSystemItems(items);
  show();
  QScrollBar* bar = panel->list()->verticalScrollBar();
  const int listHeight = 2 * MenuBarSearchPanel::listTopPadding + 300 * MenuBarSearchPanel::rowPitch - 1;
  EXPECT_EQ(bar->maximum(), listHeight - panel->list()->viewport()->height());
  EXPECT_LT(panel->rows().size(), 20u);
  workspace.runningReads = 0;
  session.select(0, 300);  // a rebuild of every built row
  turn();
  EXPECT_LE(workspace.runningReads, 2 * int(panel->rows().size()));  // only built rows look their icon up

  auto inView = [&](int64_t index) {
    QuickSearchRow* row = panel->row(index);
    if (!row || !row->isVisibleTo(panel.get())) return false;
    QRect r(row->mapTo(panel->list()->viewport(), QPoint(0, 0)), row->size());
    return panel->list()->viewport()->rect().contains(r) && row->model().item.id == 100 + index;
  };
  session.moveSelection(-1, 300);  // wraps to the last row
  turn();
  EXPECT_GT(bar->value(), 290 * MenuBarSearchPanel::rowPitch);
  ASSERT_TRUE(inView(299));
  EXPECT_TRUE(panel->row(299)->model().selected);
  bar->setValue(150 * MenuBarSearchPanel::rowPitch);
  EXPECT_TRUE(inView(150));
  EXPECT_EQ(panel->row(0), nullptr);
  EXPECT_LT(panel->rows().size(), 20u);
}
