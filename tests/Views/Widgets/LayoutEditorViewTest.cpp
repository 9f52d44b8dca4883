#include <QDragEnterEvent>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "SettingsWidgetFixture.h"
#include "Views/Widgets/LayoutWell.h"
#include "Views/Widgets/MenuBarLayoutSettingsView.h"
#include "Views/Widgets/SettingsAlert.h"
#include "Views/Widgets/SettingsPanels.h"
#include "Views/Widgets/Toast.h"

namespace vimbo::views::testing {
namespace {

using Zone = MenuBarLayoutZone;
using vimbo::testing::layoutFixtureZones;
using vimbo::testing::Zones;
using namespace std::chrono_literals;

class LayoutEditorViewTest : public SettingsWidgetTest {
 protected:
  MenuBarLayoutSettingsView* editor() { return view->layoutEditor(); }
  LayoutWell* well(Zone zone) { return editor()->well(zone); }

  MenuBarLayoutSettingsView& openEditor() {
    open();
    click(view->sidebarRow(SettingsSection::menuBarLayout));
    return *editor();
  }
  // The chips each well shows, as window numbers.
  Zones shownZones() {
    Zones zones;
    for (auto zone : allMenuBarLayoutZones) {
      auto& ids = zones[zone];
      for (auto* chip : well(zone)->chips()) ids.push_back(chip->item().id);
    }
    return zones;
  }
  MenuBarLayoutItemView* chip(std::uint32_t id) {
    for (auto zone : allMenuBarLayoutZones) {
      for (auto* c : well(zone)->chips()) {
        if (c->item().id == id) return c;
      }
    }
    return nullptr;
  }
  QPoint centreOf(std::uint32_t id, LayoutWell* target) {
    auto* c = chip(id);
    return c->mapTo(target, c->rect().center());
  }
  // A point of the well outside every chip: its padding.
  static QPoint gap() { return {5, 5}; }

  static std::unique_ptr<QMimeData> text(const QString& payload) {
    auto mime = std::make_unique<QMimeData>();
    mime->setText(payload);
    return mime;
  }
  bool enter(LayoutWell* target, const QMimeData& mime, QPoint at) {
    QDragEnterEvent event(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &event);
    return event.isAccepted();
  }
  bool move(LayoutWell* target, const QMimeData& mime, QPoint at) {
    QDragMoveEvent event(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &event);
    return event.isAccepted();
  }
  bool drop(LayoutWell* target, const QString& payload, QPoint at) {
    auto mime = text(payload);
    enter(target, *mime, at);
    move(target, *mime, at);
    QDropEvent event(at, Qt::MoveAction, mime.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &event);
    settle();
    return event.isAccepted();
  }
  void leave(LayoutWell* target) {
    QDragLeaveEvent event;
    QCoreApplication::sendEvent(target, &event);
  }
  void adoptAppliedDraft() { ASSERT_TRUE(store->commitMenuBarLayoutDraft(actions.appliedDrafts.back(), true)); }
};

TEST_F(LayoutEditorViewTest, OpeningWithNothingCapturedRefreshesOnceAndShowsTheResult) {
  actions.onRefresh = [this] { fillLayoutFixture(); };
  openEditor();
  EXPECT_EQ(actions.refreshCalls, 1);
  EXPECT_EQ(shownZones(), layoutFixtureZones());
  EXPECT_TRUE(well(Zone::hidden)->showsEmptyHint());

  click(view->sidebarRow(SettingsSection::general));
  click(view->sidebarRow(SettingsSection::menuBarLayout));
  EXPECT_EQ(actions.refreshCalls, 1);
}

TEST_F(LayoutEditorViewTest, WithoutScreenRecordingThePermissionCardRefreshes) {
  fillLayoutFixture();
  store->screenCapturePermissionGranted.set(false);
  openEditor();
  ASSERT_TRUE(editor()->permissionCard()->isVisibleTo(editor()));
  const auto shown = texts(editor()->permissionCard());
  EXPECT_TRUE(shown.contains(QStringLiteral("需要屏幕录制权限")));
  EXPECT_TRUE(shown.contains(QStringLiteral("授权后才能读取真实菜单栏图标。")));
  EXPECT_EQ(editor()->permissionButton()->text(), QStringLiteral("刷新权限"));
  EXPECT_EQ(actions.refreshCalls, 0);
  click(editor()->permissionButton());
  EXPECT_EQ(actions.refreshCalls, 1);
  store->screenCapturePermissionGranted.set(true);
  settle();
  EXPECT_FALSE(editor()->permissionCard()->isVisibleTo(editor()));
}

TEST_F(LayoutEditorViewTest, DropsOnChipsAndWellsEditTheDraftOnScreen) {
  fillLayoutFixture();
  openEditor();
  auto* visible = well(Zone::visible);
  auto* collected = well(Zone::collected);
  EXPECT_TRUE(drop(visible, QStringLiteral("21"), centreOf(25, visible)));
  EXPECT_EQ(shownZones()[Zone::visible], (std::vector<std::uint32_t>{11, 12, 24, 21, 25}));
  EXPECT_TRUE(drop(visible, QStringLiteral("21"), centreOf(21, visible)));
  EXPECT_TRUE(drop(visible, QStringLiteral("21"), gap()));
  EXPECT_EQ(shownZones()[Zone::visible], (std::vector<std::uint32_t>{11, 12, 24, 25, 21}));
  EXPECT_FALSE(drop(visible, QStringLiteral("21 "), gap()));
  EXPECT_FALSE(drop(visible, QStringLiteral("99"), gap()));

  EXPECT_TRUE(drop(collected, QStringLiteral("21"), centreOf(22, collected)));
  EXPECT_EQ(shownZones()[Zone::collected], (std::vector<std::uint32_t>{21, 22, 23}));
  ASSERT_TRUE(editor()->statusLine()->isVisibleTo(editor()));
  EXPECT_EQ(editor()->statusText()->text(), QStringLiteral("布局预览尚未应用"));
  EXPECT_TRUE(editor()->applyButton()->isEnabled());
  saveScreenshot(render(*view), QStringLiteral("layout-editor-status-line"));

  EXPECT_TRUE(drop(visible, QStringLiteral("21"), centreOf(24, visible)));
  EXPECT_EQ(shownZones(), layoutFixtureZones());
  EXPECT_FALSE(editor()->statusLine()->isVisibleTo(editor()));
  EXPECT_FALSE(editor()->applyButton()->isEnabled());
}

TEST_F(LayoutEditorViewTest, DragFeedbackMarksWhereTheDropWouldLand) {
  fillLayoutFixture();
  openEditor();
  auto* visible = well(Zone::visible);
  QMimeData empty;
  EXPECT_FALSE(enter(visible, empty, gap()));

  auto mime = text(QStringLiteral("21"));
  EXPECT_TRUE(enter(visible, *mime, centreOf(25, visible)));
  EXPECT_TRUE(move(visible, *mime, centreOf(25, visible)));
  EXPECT_EQ(visible->insertionIndex(), 4u);
  EXPECT_TRUE(visible->insertionMark()->isVisibleTo(visible));
  EXPECT_LT(visible->insertionMark()->geometry().right(), chip(25)->geometry().left());
  EXPECT_TRUE(visible->isDropTargeted());
  EXPECT_TRUE(move(visible, *mime, gap()));
  EXPECT_EQ(visible->insertionIndex(), 5u);
  EXPECT_GT(visible->insertionMark()->geometry().left(), chip(25)->geometry().right());
  leave(visible);
  EXPECT_EQ(visible->insertionIndex(), std::nullopt);
  EXPECT_FALSE(visible->insertionMark()->isVisibleTo(visible));

  // A fixed item and foreign text get no mark.
  auto clock = text(QStringLiteral("11"));
  EXPECT_TRUE(enter(visible, *clock, gap()));
  EXPECT_FALSE(move(visible, *clock, gap()));
  EXPECT_EQ(visible->insertionIndex(), std::nullopt);

  EXPECT_TRUE(drop(visible, QStringLiteral("24"), gap()));
  EXPECT_EQ(well(Zone::visible)->insertionIndex(), std::nullopt);
}

TEST_F(LayoutEditorViewTest, TheApplyTextTakesAtMostTwoLinesAndElidesTheRest) {
  fillLayoutFixture();
  for (QSize size : {QSize(720, 620), QSize(960, 820)}) {
    open(size);
    click(view->sidebarRow(SettingsSection::menuBarLayout));
    EXPECT_EQ(editor()->applyText()->displayedLines().join(QString()), editor()->applyText()->text());
    EXPECT_LE(editor()->applyText()->displayedLines().size(), 2);
  }
  LineLimitedLabel narrow(editor()->applyText()->text(), views::font(TextStyle::callout), theme::secondary(), 2);
  narrow.resize(90, narrow.heightForWidth(90));
  const auto lines = narrow.displayedLines();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[1].endsWith(QChar(0x2026)));
  EXPECT_EQ(narrow.height(), 2 * narrow.fontMetrics().lineSpacing());
}

TEST_F(LayoutEditorViewTest, AVerticalWheelOverAWellScrollsThePage) {
  fillLayoutFixture();
  openEditor();
  auto* bar = editor()->page()->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  auto* viewport = well(Zone::visible)->scrollArea()->viewport();
  const QPointF at(viewport->rect().center());
  QWheelEvent wheel(at, viewport->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QApplication::sendEvent(viewport, &wheel);
  EXPECT_GT(bar->value(), 0);
}

TEST_F(LayoutEditorViewTest, OnlyMovableChipsStartADragWithTheirWindowNumber) {
  fillLayoutFixture();
  openEditor();
  auto drag = [&](std::uint32_t id) {
    auto* c = chip(id);
    const QPoint start = c->rect().center();
    QTest::mousePress(c, Qt::LeftButton, {}, start);
    QTest::mouseMove(c, start + QPoint(QApplication::startDragDistance() + 4, 0));
    QTest::mouseRelease(c, Qt::LeftButton, {}, start + QPoint(QApplication::startDragDistance() + 4, 0));
    settle();
  };
  drag(11);
  EXPECT_EQ(editor()->lastDragPayload(), QString());
  drag(21);
  EXPECT_EQ(editor()->lastDragPayload(), QStringLiteral("21"));
  EXPECT_FALSE(editor()->isDragging());
}

TEST_F(LayoutEditorViewTest, AHeldApplyDisablesThePageUntilItReturns) {
  fillLayoutFixture();
  openEditor();
  ASSERT_TRUE(drop(well(Zone::collected), QStringLiteral("21"), centreOf(22, well(Zone::collected))));
  const auto edited = editor()->model().draft();
  click(editor()->applyButton());
  ASSERT_EQ(actions.appliedDrafts.size(), 1u);
  EXPECT_EQ(actions.appliedDrafts[0], edited);
  EXPECT_FALSE(editor()->page()->isEnabled());
  EXPECT_FALSE(editor()->applyButton()->isEnabled());
  EXPECT_FALSE(editor()->refreshButton()->isEnabled());
  EXPECT_EQ(editor()->statusText()->text(), QStringLiteral("正在应用预览布局…"));
  EXPECT_FALSE(drop(well(Zone::hidden), QStringLiteral("24"), gap()));
  EXPECT_EQ(editor()->model().draft(), edited);

  adoptAppliedDraft();
  actions.releaseApply(true);
  settle();
  EXPECT_TRUE(editor()->page()->isEnabled());
  EXPECT_EQ(editor()->toast()->message(), QStringLiteral("已应用菜单栏布局"));
  EXPECT_FALSE(editor()->statusLine()->isVisibleTo(editor()));
  EXPECT_FALSE(editor()->applyButton()->isEnabled());
  saveScreenshot(render(*view), QStringLiteral("layout-editor-applied"));
}

TEST_F(LayoutEditorViewTest, AFailedApplyKeepsTheDraftAndTheAlertSaysWhy) {
  fillLayoutFixture();
  openEditor();
  ASSERT_TRUE(drop(well(Zone::collected), QStringLiteral("21"), centreOf(22, well(Zone::collected))));
  const auto edited = editor()->model().draft();
  click(editor()->applyButton());
  store->lastError.set("无法收纳“番茄钟”，请重试。");
  actions.releaseApply(false);
  settle();
  EXPECT_EQ(editor()->model().draft(), edited);
  EXPECT_EQ(editor()->toast()->message(), QString());
  EXPECT_TRUE(editor()->applyButton()->isEnabled());
  EXPECT_EQ(view->alert()->message(), QStringLiteral("无法收纳“番茄钟”，请重试。"));
}

TEST_F(LayoutEditorViewTest, FixedChipToastsFollowTheLatestClick) {
  fillLayoutFixture();
  openEditor();
  click(chip(12));
  EXPECT_EQ(editor()->toast()->message(), QStringLiteral("控制中心由 macOS 固定，无法收纳"));
  executor.runFor(1000ms);
  click(chip(11));
  EXPECT_EQ(editor()->toast()->message(), QStringLiteral("时钟由 macOS 固定，无法收纳"));
  executor.runFor(1500ms);
  settle();
  EXPECT_EQ(editor()->toast()->message(), QStringLiteral("时钟由 macOS 固定，无法收纳"));
  executor.runFor(300ms);
  settle();
  EXPECT_EQ(editor()->toast()->message(), QString());
  click(chip(21));
  EXPECT_EQ(editor()->toast()->message(), QString());
}

TEST_F(LayoutEditorViewTest, LeavingThePageDiscardsTheDraftAndLateCompletions) {
  fillLayoutFixture();
  openEditor();
  ASSERT_TRUE(drop(well(Zone::collected), QStringLiteral("21"), gap()));
  click(view->sidebarRow(SettingsSection::general));
  EXPECT_EQ(view->layoutEditor(), nullptr);
  click(view->sidebarRow(SettingsSection::menuBarLayout));
  EXPECT_EQ(editor()->model().draft(), store->currentMenuBarLayoutDraft());
  EXPECT_FALSE(editor()->statusLine()->isVisibleTo(editor()));

  ASSERT_TRUE(drop(well(Zone::collected), QStringLiteral("21"), gap()));
  click(editor()->applyButton());
  click(view->sidebarRow(SettingsSection::about));
  click(view->sidebarRow(SettingsSection::menuBarLayout));
  const auto fresh = editor()->model().draft();
  adoptAppliedDraft();
  actions.releaseApply(true);
  executor.runFor(2s);
  settle();
  EXPECT_EQ(editor()->model().draft(), fresh);
  EXPECT_EQ(editor()->toast()->message(), QString());
}

TEST_F(LayoutEditorViewTest, WellsWaitForARunningDragBeforeTheyRebuild) {
  fillLayoutFixture();
  openEditor();
  auto* source = chip(21);
  editor()->dragStarted(QStringLiteral("21"));
  auto items = vimbo::testing::layoutFixtureItems();
  items.erase(items.begin() + 2);  // 21 is gone after the capture
  store->isCapturingSystemItems.set(true);
  store->replaceCapturedSystemItems(items);
  store->isCapturingSystemItems.set(false);
  settle();
  EXPECT_EQ(chip(21), source);
  editor()->dragEnded();
  settle();
  EXPECT_EQ(chip(21), nullptr);
  EXPECT_EQ(shownZones()[Zone::visible], (std::vector<std::uint32_t>{11, 12, 24, 25}));
}

// Our windows are drawn by a graphics view through proxies; a drag's nested loop takes the release
// that view waits for.
TEST(LayoutChipDragTest, AFinishedDragHandsTheHostingViewTheReleaseItTook) {
  desktop::testing::AppFirst first;
  struct RecordingView : QGraphicsView {
    using QGraphicsView::QGraphicsView;
    int releases = 0;
    void mouseReleaseEvent(QMouseEvent* event) override {
      ++releases;
      QGraphicsView::mouseReleaseEvent(event);
    }
  };
  QGraphicsScene scene;
  RecordingView view(&scene);
  auto* content = new QWidget;
  content->resize(200, 80);
  auto* chip = new MenuBarLayoutItemView(vimbo::testing::layoutItem(21, "Item-0", "番茄钟", 30, false), {}, content);
  scene.addWidget(content);
  view.show();
  QCoreApplication::processEvents();

  const QPointF start = QRectF(chip->rect()).center();
  const QPointF moved = start + QPointF(QApplication::startDragDistance() + 4, 0);
  QMouseEvent press(QEvent::MouseButtonPress, start, chip->mapToGlobal(start), Qt::LeftButton, Qt::LeftButton, {});
  QCoreApplication::sendEvent(chip, &press);
  QMouseEvent move(QEvent::MouseMove, moved, chip->mapToGlobal(moved), Qt::NoButton, Qt::LeftButton, {});
  QCoreApplication::sendEvent(chip, &move);
  QCoreApplication::processEvents();
  EXPECT_EQ(view.releases, 1);
}

}  // namespace
}  // namespace vimbo::views::testing
