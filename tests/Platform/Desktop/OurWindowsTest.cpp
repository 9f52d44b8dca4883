// Our own windows in the desktop window: drawn at their frames at one scale with the desktop, and
// a person's pointer and keys reaching their content through the world, at full size and scaled.
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "DesktopFixture.h"
#include "Store/MenuBarStore.h"

namespace vimbo::desktop::testing {
namespace {

using platform::Event;
using platform::EventType;
using platform::eventMaskBit;

// Counts the events of some types that reach a widget.
struct EventCounter : QObject {
  std::set<QEvent::Type> types;
  int count = 0;
  explicit EventCounter(std::set<QEvent::Type> t) : types(std::move(t)) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (types.count(e->type())) ++count;
    return false;
  }
};

// A content with one text field, focused.
platform::ViewContentRef fieldContent(QLineEdit*& field) {
  auto* w = new QWidget;
  w->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(w);
  field = new QLineEdit(w);
  layout->addWidget(field);
  layout->addStretch(1);
  field->setFocus();
  return std::make_shared<WidgetContent>(w);
}

platform::ViewContentRef solid(QColor color) {
  auto* w = new QWidget;
  QPalette p = w->palette();
  p.setColor(QPalette::Window, color);
  w->setPalette(p);
  w->setAutoFillBackground(true);
  return std::make_shared<WidgetContent>(w);
}

// A content of five lines of text, one widget each, over an empty background.
struct Lines {
  QWidget* widget = new QWidget;
  std::vector<QLabel*> lines;
  Lines() {
    widget->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(widget);
    layout->setSpacing(0);
    for (const char* name : {"Lumen Notes", "Tallybird", "Quietfox VPN", "Pebblesync", "Orbit Timer"}) {
      auto* line = new QLabel(QString::fromUtf8(name), widget);
      line->setFixedHeight(22);
      layout->addWidget(line);
      lines.push_back(line);
    }
    layout->addStretch(1);
  }
  platform::ViewContentRef content() const { return std::make_shared<WidgetContent>(widget); }
};

class OurWindows : public DesktopFixture, public ::testing::WithParamInterface<double> {
 protected:
  void SetUp() override {
    DesktopFixture::SetUp();
    showScaled(GetParam());
  }
  // The world point at a point of a window's content widget.
  Point contentPoint(const platform::Window& w, QPoint inContent) {
    Rect f = serverFrame(w);
    double top = f.height - w.contentSize().height;
    return {f.minX() + inContent.x() + 0.5, f.minY() + top + inContent.y() + 0.5};
  }
};

TEST_P(OurWindows, AreDrawnAtTheirFramesAboveTheWallpaperAndInLevelOrder) {
  platform::WindowRef settings =
      openWindow(titledWindow({760, 650}, "偏好设置"), {100, 100}, solid(QColor(0x11, 0x88, 0x44)));
  platform::WindowRef panel = openWindow(floatingPanel({388, 590}), {700, 345}, solid(QColor(0xCC, 0x22, 0x22)));
  settings->makeKeyAndOrderFront();  // front within its level, still under the floating panel
  QImage image = shot();
  Rect s = serverFrame(*settings), p = serverFrame(*panel);
  ASSERT_EQ(s, Rect(100, 204, 760, 678));
  EXPECT_EQ(pixel(image, {s.minX() + 200, s.minY() + 300}), QColor(0x11, 0x88, 0x44));
  EXPECT_EQ(pixel(image, {p.minX() + 50, p.maxY() - 50}), QColor(0xCC, 0x22, 0x22));
  EXPECT_EQ(pixel(image, {p.minX() + 20, s.minY() + 300}), QColor(0xCC, 0x22, 0x22));  // where they overlap
  QColor title = pixel(image, {s.minX() + 150, s.minY() + 14});
  EXPECT_GT(title.lightness(), 200);  // the title bar, not the content
  EXPECT_NE(title, QColor(0x11, 0x88, 0x44));
  QColor outside = pixel(image, {s.minX() - 30, s.midY()});
  EXPECT_LT(outside.lightness(), 180);  // the wallpaper
  panel->orderOut();
  QColor gone = pixel(shot(), {p.maxX() - 20, p.maxY() - 50});
  EXPECT_NE(gone, QColor(0xCC, 0x22, 0x22));
  EXPECT_LT(gone.lightness(), 180);  // the wallpaper again
}

TEST_P(OurWindows, AClickReachesTheLineUnderThePointerAfterTheMonitors) {
  Lines list;
  platform::WindowRef panel = openWindow(floatingPanel({388, 590}), {1112, 345}, list.content());
  QLabel* third = list.lines[2];
  EventCounter presses({QEvent::MouseButtonPress});
  third->installEventFilter(&presses);
  std::vector<std::string> order;
  sim.eventMonitors.addLocalMonitor(eventMaskBit(EventType::LeftMouseDown), [&](const Event& e) -> std::optional<Event> {
    order.push_back("monitor");
    return e;
  });
  click(contentPoint(*panel, third->geometry().center()));
  EXPECT_EQ(order, std::vector<std::string>{"monitor"});
  EXPECT_EQ(presses.count, 1);
  click(contentPoint(*panel, list.lines[1]->geometry().center()));
  EXPECT_EQ(presses.count, 1);  // the line above is another widget
}

TEST_P(OurWindows, AClickWhileAMoveHasThePointerReachesTheLineOnceTheCursorShows) {
  Lines list;
  platform::WindowRef panel = openWindow(floatingPanel({388, 590}), {1112, 345}, list.content());
  EventCounter presses({QEvent::MouseButtonPress});
  list.lines[2]->installEventFilter(&presses);
  // As a move has it: our hold on the person's input taken, then the cursor hidden.
  const uint32_t display = world.screens().front().displayID;
  ASSERT_TRUE(sim.inputHold.begin());
  world.hideCursor(display);
  click(contentPoint(*panel, list.lines[2]->geometry().center()));
  settle();
  EXPECT_EQ(presses.count, 0);
  world.showCursor(display);
  sim.inputHold.end();
  settle();
  EXPECT_EQ(presses.count, 1);
}

TEST_P(OurWindows, ThePointerIsBlankWhileTheCursorIsHiddenAndAFieldKeepsItsIBeamForAfter) {
  QLineEdit* field = nullptr;
  platform::WindowRef panel = openWindow(floatingPanel({440, 416}), {536, 264.5}, fieldContent(field));
  const QPoint onField = at(contentPoint(*panel, field->geometry().center())), outside = at({300, 600});
  auto shape = [&] { return input()->cursor().shape(); };
  const uint32_t display = world.screens().front().displayID;
  QTest::mouseMove(input(), onField);
  ASSERT_EQ(shape(), Qt::IBeamCursor);
  world.hideCursor(display);
  settle();
  EXPECT_EQ(shape(), Qt::BlankCursor);
  QTest::mouseMove(input(), outside);
  QTest::mouseMove(input(), onField);
  EXPECT_EQ(shape(), Qt::BlankCursor);
  world.showCursor(display);
  settle();
  EXPECT_EQ(shape(), Qt::IBeamCursor);
  QTest::mouseMove(input(), outside);
  EXPECT_EQ(shape(), Qt::ArrowCursor);
}

TEST_P(OurWindows, TypedKeysReachTheKeyWindowsFieldPastHotKeysAndMonitors) {
  QLineEdit* field = nullptr;
  platform::WindowRef panel = openWindow(floatingPanel({440, 416}), {536, 264.5}, fieldContent(field));
  int returns = 0;
  QObject::connect(field, &QLineEdit::returnPressed, [&] { ++returns; });
  QTest::keyClicks(&view, "ab");
  EXPECT_EQ(field->text(), "ab");
  QTest::keyClick(&view, Qt::Key_Backspace);
  QTest::keyClick(&view, Qt::Key_Left);
  QTest::keyClicks(&view, "x");
  EXPECT_EQ(field->text(), "xa");

  platform::MonitorToken swallow = sim.eventMonitors.addLocalMonitor(
      eventMaskBit(EventType::KeyDown),
      [](const Event& e) -> std::optional<Event> { return e.keyCode == 36 ? std::nullopt : std::optional<Event>(e); });
  QTest::keyClick(&view, Qt::Key_Return);
  EXPECT_EQ(returns, 0);
  sim.eventMonitors.removeMonitor(swallow);
  QTest::keyClick(&view, Qt::Key_Return);
  EXPECT_EQ(returns, 1);

  int hotKeys = 0;
  sim.hotKeys.installHandler([&](std::optional<platform::HotKeyID>) {
    ++hotKeys;
    return platform::hotkeystatus::noErr;
  });
  sim.hotKeys.registerHotKey(11, platform::hotkeymodifier::control | platform::hotkeymodifier::command, {1, 1});
  QTest::keyClick(&view, Qt::Key_B, Qt::ControlModifier | Qt::MetaModifier);
  EXPECT_TRUE(ex.runUntil([&] { return hotKeys == 1; }, ex.now() + std::chrono::seconds(2)));
  EXPECT_EQ(field->text(), "xa");
  EXPECT_TRUE(panel->isKeyWindow());
}

TEST_P(OurWindows, MovesOverAWindowMoveThePointerAndReachTheContent) {
  QLineEdit* field = nullptr;
  platform::WindowRef panel = openWindow(floatingPanel({440, 416}), {536, 264.5}, fieldContent(field));
  QWidget* content = view.contentWidget(panel->handle());
  content->setMouseTracking(true);
  EventCounter moves({QEvent::MouseMove, QEvent::Enter});
  content->installEventFilter(&moves);
  Point inside = contentPoint(*panel, {200, 300});
  QTest::mouseMove(input(), at({inside.x - 40, inside.y}));
  QTest::mouseMove(input(), at(inside));
  EXPECT_GT(moves.count, 0);
  EXPECT_NEAR(world.pointer().x, inside.x, 2);
  EXPECT_NEAR(world.pointer().y, inside.y, 2);
}

// Records the wheel turns that reach it.
struct Wheels : QWidget {
  std::vector<std::pair<QPoint, Qt::KeyboardModifiers>> turns;
  void wheelEvent(QWheelEvent* e) override {
    turns.push_back({e->angleDelta(), e->modifiers()});
    e->accept();
  }
};

TEST_P(OurWindows, AWheelReachesTheContentAndShiftTurnsItSideways) {
  auto* wheels = new Wheels;
  platform::WindowRef panel =
      openWindow(floatingPanel({388, 590}), {700, 345}, std::make_shared<WidgetContent>(wheels));
  QPoint p = at(contentPoint(*panel, {200, 300}));
  for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
                                     Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::AltModifier)}) {
    QWheelEvent turn(QPointF(p), QPointF(input()->mapToGlobal(p)), QPoint(), QPoint(0, -120), Qt::NoButton, mods,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(input(), &turn);
  }
  using Turn = std::pair<QPoint, Qt::KeyboardModifiers>;
  EXPECT_EQ(wheels->turns, (std::vector<Turn>{{QPoint(0, -120), Qt::NoModifier},
                                              {QPoint(-120, 0), Qt::NoModifier},
                                              {QPoint(-120, 0), Qt::AltModifier}}));
}

// What a tap took goes on as the world routes it: a wheel and a move the tap never gave back reach
// nothing, a press the content ignores leaves no button down in Qt once the person's release has
// passed, so moves go on reaching the desktop, and a press on a field gives it the keyboard.
TEST_P(OurWindows, InputATapTookGoesOnOnlyAsTheWorldRoutesIt) {
  auto* wheels = new Wheels;
  wheels->setMouseTracking(true);
  auto* field = new QLineEdit(wheels);
  field->setGeometry(10, 10, 200, 24);
  platform::WindowRef panel =
      openWindow(floatingPanel({388, 590}), {1112, 345}, std::make_shared<WidgetContent>(wheels));
  EventCounter presses({QEvent::MouseButtonPress}), moves({QEvent::MouseMove});
  wheels->installEventFilter(&presses);
  wheels->installEventFilter(&moves);
  const QPoint inside = at(contentPoint(*panel, {200, 300})), aside = inside - QPoint(30, 0),
               below = inside + QPoint(20, 30);
  auto pointerAt = [&](QPoint p) {
    EXPECT_NEAR(world.pointer().x, view.toWorld(QPointF(p)).x, 2);
    EXPECT_NEAR(world.pointer().y, view.toWorld(QPointF(p)).y, 2);
  };
  QTest::mouseMove(input(), inside);
  moves.count = 0;

  sim::World::TapToken tap = world.addSessionEventTap([](const Event&) { return false; });
  QWheelEvent turn(QPointF(aside), QPointF(input()->mapToGlobal(aside)), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(input(), &turn);
  QTest::mouseMove(input(), aside);
  world.removeSessionEventTap(tap);
  settle();
  EXPECT_TRUE(wheels->turns.empty());
  EXPECT_EQ(moves.count, 0);
  pointerAt(inside);

  ASSERT_TRUE(sim.inputHold.begin());
  QTest::mouseClick(input(), Qt::LeftButton, Qt::NoModifier, inside);
  sim.inputHold.end();
  settle();
  EXPECT_EQ(presses.count, 1);
  EXPECT_EQ(QApplication::mouseButtons(), Qt::NoButton);
  moves.count = 0;
  QTest::mouseMove(input(), below);
  EXPECT_GT(moves.count, 0);
  pointerAt(below);

  EXPECT_FALSE(field->hasFocus());
  ASSERT_TRUE(sim.inputHold.begin());
  QTest::mouseClick(input(), Qt::LeftButton, Qt::NoModifier, at(contentPoint(*panel, field->geometry().center())));
  sim.inputHold.end();
  settle();
  EXPECT_TRUE(field->hasFocus());
  EXPECT_EQ(QApplication::mouseButtons(), Qt::NoButton);
}

TEST_P(OurWindows, APersonMovesWindowsByTitleBarOrBackgroundAndClosesThemByTheButton) {
  platform::WindowRef settings = openWindow(titledWindow({760, 650}, "偏好设置"), {100, 100}, solid(Qt::white));
  Rect s = serverFrame(*settings);
  Point grab{s.minX() + 300, s.minY() + 14};
  QTest::mousePress(input(), Qt::LeftButton, Qt::NoModifier, at(grab));
  QTest::mouseMove(input(), at({grab.x + 60, grab.y + 40}));
  QTest::mouseRelease(input(), Qt::LeftButton, Qt::NoModifier, at({grab.x + 60, grab.y + 40}));
  EXPECT_NEAR(settings->frame().minX(), 160, 2);
  EXPECT_NEAR(settings->frame().minY(), 60, 2);

  Lines list;
  platform::WindowRef panel = openWindow(floatingPanel({388, 590}), {1112, 345}, list.content());
  Point background = contentPoint(*panel, {300, 500});  // below the lines, where nothing acts
  QTest::mousePress(input(), Qt::LeftButton, Qt::NoModifier, at(background));
  QTest::mouseMove(input(), at({background.x - 100, background.y}));
  QTest::mouseRelease(input(), Qt::LeftButton, Qt::NoModifier, at({background.x - 100, background.y}));
  EXPECT_NEAR(panel->frame().minX(), 1012, 2);
  EXPECT_NEAR(panel->frame().minY(), 345, 2);

  struct Closes : platform::WindowDelegate {
    int count = 0;
    void windowWillClose(platform::WindowHandle) override { ++count; }
  };
  auto delegate = std::make_shared<Closes>();
  settings->setDelegate(delegate);
  settings->makeKeyAndOrderFront();
  view.refresh();
  Rect moved = serverFrame(*settings);
  click({moved.minX() + 14, moved.minY() + 14});
  EXPECT_EQ(delegate->count, 1);
  EXPECT_FALSE(settings->isVisible());
}

TEST_P(OurWindows, HoverFollowsThePointerOutOfAWindowAndOfTheDesktop) {
  Lines list;
  for (QLabel* line : list.lines) line->setAttribute(Qt::WA_Hover);
  platform::WindowRef panel = openWindow(titledWindow({388, 590}, "Lines"), {700, 345}, list.content());
  auto hovered = [&] {
    std::vector<int> marked;
    for (size_t i = 0; i < list.lines.size(); ++i)
      if (list.lines[i]->underMouse()) marked.push_back(int(i));
    return marked;
  };
  auto over = [&](int line) { return at(contentPoint(*panel, list.lines[size_t(line)]->geometry().center())); };
  Rect f = serverFrame(*panel);
  const QPoint outside = at({f.minX() - 80, f.midY()});
  QTest::mouseMove(input(), over(1));
  EXPECT_EQ(hovered(), std::vector<int>{1});
  QTest::mouseClick(input(), Qt::LeftButton, Qt::NoModifier, over(2));  // a click, then straight away
  QTest::mouseMove(input(), outside);
  EXPECT_EQ(hovered(), std::vector<int>{});
  QTest::mouseMove(input(), over(3));
  QEvent leave(QEvent::Leave);  // out of the desktop window
  QApplication::sendEvent(input(), &leave);
  EXPECT_EQ(hovered(), std::vector<int>{});
  QTest::mouseMove(input(), over(0));
  panel->orderOut();  // closed under the pointer, shown again with the pointer elsewhere
  view.refresh();
  QTest::mouseMove(input(), outside);
  panel->makeKeyAndOrderFront();
  view.refresh();
  EXPECT_EQ(hovered(), std::vector<int>{});
  QTest::mouseMove(input(), over(0));
  EXPECT_EQ(hovered(), std::vector<int>{0});
}

TEST_P(OurWindows, CommandWClosesTheKeyWindowThatHasACloseButton) {
  QLineEdit* field = nullptr;
  platform::WindowRef panel = openWindow(floatingPanel({440, 416}), {536, 264.5}, fieldContent(field));
  QTest::keyClick(&view, Qt::Key_W, Qt::ControlModifier);
  EXPECT_TRUE(panel->isVisible());  // no close button: it stays, and nothing is typed
  EXPECT_EQ(field->text(), "");
  platform::WindowRef settings = openWindow(titledWindow({760, 650}, "偏好设置"), {100, 100}, solid(Qt::white));
  QTest::keyClick(&view, Qt::Key_W, Qt::ControlModifier);
  EXPECT_FALSE(settings->isVisible());
}

INSTANTIATE_TEST_SUITE_P(AtFullSizeAndScaled, OurWindows, ::testing::Values(1.0, 0.6),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return info.param == 1.0 ? std::string("FullSize") : std::string("Scaled");
                         });

}  // namespace
}  // namespace vimbo::desktop::testing
