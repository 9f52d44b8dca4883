// The desktop window as a person meets it: what it shows of the world, and what the pointer and
// keyboard inside it do to the world.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "DesktopFixture.h"
#include "Platform/HotKeys.h"
#include "Platform/Runtime/Task.h"
#include "Views/Widgets/SettingsAlert.h"

using namespace vimbo;
using namespace vimbo::desktop;
using namespace std::chrono_literals;

namespace {

using vimbo::desktop::testing::DesktopFixture;

struct DesktopWindowTest : DesktopFixture {
  // Third-party items a person can see and move: right of the notch, left of our divider.
  std::vector<sim::ItemView> movableItems() {
    std::vector<sim::ItemView> out;
    double dividerX = frame("Vimbo.HiddenDivider").minX();
    for (const sim::ItemView& v : world.items())
      if (!v.own && !v.fixed && v.frame.minX() >= notch().maxX() && v.frame.maxX() <= dividerX) out.push_back(v);
    return out;
  }
  // Press at the item's centre with Command, drag in steps, release at x on the bar.
  void commandDrag(Point from, Point to) {
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::ControlModifier, at(from));
    for (int i = 1; i <= 4; ++i) {
      Point p{from.x + (to.x - from.x) * i / 5, from.y};
      QTest::mouseMove(view.viewport(), at(p));
    }
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::ControlModifier, at(to));
  }
  void dragToControlThenClick(const sim::ItemView& item) {
    Rect control = frame("Vimbo.Control");
    commandDrag({item.frame.midX(), item.frame.midY()}, {control.minX(), control.midY()});
    std::vector<std::string> order = world.logicalOrder();
    auto it = std::find(order.begin(), order.end(), item.specKey);
    ASSERT_NE(it, order.end());
    ASSERT_NE(it + 1, order.end());
    EXPECT_EQ(*(it + 1), "Vimbo.Control");
    EXPECT_EQ(frame(item.specKey).maxX(), frame("Vimbo.Control").minX());
    EXPECT_TRUE(world.openMenus().empty());  // a Command-drag opens nothing

    Rect moved = frame(item.specKey);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at({moved.midX(), moved.midY()}));
    auto menus = world.openMenus();
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus.front().item, item.key);
    auto listed = world.windowList(platform::WindowListOption::OnScreenOnly, menus.front().windowNumber);
    EXPECT_TRUE(std::any_of(listed->begin(), listed->end(),
                            [&](const platform::WindowInfo& w) { return w.number() == menus.front().windowNumber; }));
    Rect m = menus.front().frame;
    EXPECT_EQ(m.minY(), moved.maxY());  // right under the bar
    QColor panel = pixel(shot(), {std::clamp(moved.midX(), m.minX() + 4, m.maxX() - 4), m.maxY() - 6});
    EXPECT_EQ(panel, QColor(0xED, 0xED, 0xED));
    // A click outside closes it again.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at({m.minX() + 5, m.maxY() + 200}));
    EXPECT_TRUE(world.openMenus().empty());
  }
};

bool isBarBackground(const QColor& c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; }

// Pixels of a bar rectangle that are not the bar's background.
int ink(const DesktopWindowTest& t, const QImage& image, const Rect& r) {
  int n = 0;
  for (double x = r.minX(); x < r.maxX(); ++x)
    for (double y = r.minY(); y < r.maxY(); ++y) n += !isBarBackground(t.pixel(image, {x, y}));
  return n;
}

TEST_F(DesktopWindowTest, WithoutAControllerTheStandInsNameNoHotKey) {
  ASSERT_TRUE(host.statusItems().control);
  EXPECT_EQ(host.statusItems().control->button()->toolTip(), "Vimbo");
}

TEST_F(DesktopWindowTest, ShowsThePicturesTheWorldCapturesOurControlGlyphAndNothingForTheDivider) {
  QImage image = shot();
  ASSERT_EQ(view.scale(), 1.0);
  int checked = 0;
  for (const sim::ItemView& v : world.items()) {
    if (v.own || v.fixed || v.frame.minX() < notch().maxX()) continue;
    // The same picture a capture gets: every opaque pixel of it shows in the bar.
    auto px = sim::renderItemPicture(v.picture, v.frame.width, v.frame.height, int(v.frame.width), int(v.frame.height));
    QColor want((v.picture.color >> 16) & 0xFF, (v.picture.color >> 8) & 0xFF, v.picture.color & 0xFF);
    int opaque = 0;
    for (int j = 0; j < px.height; ++j)
      for (int i = 0; i < px.width; ++i)
        if (px.rgba[(size_t(j) * size_t(px.width) + size_t(i)) * 4 + 3] == 255) {
          EXPECT_EQ(pixel(image, {v.frame.minX() + i, v.frame.minY() + j}), want) << v.specKey;
          ++opaque;
        }
    EXPECT_GT(opaque, 10) << v.specKey;  // a symbol of the theme, not an empty picture
    ++checked;
  }
  EXPECT_GE(checked, 5);
  // Behind the notch nothing shows.
  EXPECT_EQ(pixel(image, {notch().midX(), notch().midY()}), QColor(Qt::black));

  EXPECT_GT(ink(*this, image, frame("Vimbo.Control")), 10);  // its glyph
  Rect divider = frame("Vimbo.HiddenDivider");
  EXPECT_EQ(divider.width, 1);
  for (double y = divider.minY() + 2; y < divider.maxY() - 2; ++y)
    EXPECT_TRUE(isBarBackground(pixel(image, {divider.minX(), y})));
}

TEST_F(DesktopWindowTest, ACollapsedDividerLeavesTheBarRightOfTheNotchEmpty) {
  host.statusItems().divider->setLength(10000);
  Rect divider = frame("Vimbo.HiddenDivider");
  ASSERT_LT(divider.minX(), 0);  // it reaches off the screen
  Rect control = frame("Vimbo.Control");
  QImage image = shot();
  int looked = 0;
  for (double x = notch().maxX() + 1; x < control.minX(); ++x)
    for (double y = control.minY() + 4; y < control.maxY() - 4; y += 3, ++looked)
      ASSERT_TRUE(isBarBackground(pixel(image, {x, y}))) << x << "," << y;
  EXPECT_GT(looked, 1000);
  // Expanded again, the items return.
  host.statusItems().divider->setLength(1);
  EXPECT_GT(ink(*this, shot(), movableItems().front().frame), 10);
}

TEST_F(DesktopWindowTest, CommandDragMovesAnItemAndAPlainClickOpensItsMenu) {
  auto items = movableItems();
  ASSERT_GE(items.size(), 3u);
  dragToControlThenClick(items.front());
}

TEST_F(DesktopWindowTest, TheSameAtAScaledDownWindowSize) {
  QSize full = view.sizeHint();
  showAt(full / 2);
  ASSERT_NEAR(view.scale(), 0.5, 0.002);
  auto items = movableItems();
  ASSERT_GE(items.size(), 3u);
  dragToControlThenClick(items[1]);
  // Letterboxed: a wider window keeps the desktop centred and the mapping exact.
  showAt({full.width(), full.height() / 2});
  Point p{1000, 12};
  Point back = view.toWorld(view.toWidget(p));
  EXPECT_NEAR(back.x, p.x, 1e-9);
  EXPECT_NEAR(back.y, p.y, 1e-9);
  EXPECT_GT(view.toWidget({0, 0}).x(), 100);
}

TEST_F(DesktopWindowTest, KeysStandForTheMacModifiersAndReachHotKeys) {
  int fired = 0;
  world.installHotKeyHandler([&](std::optional<platform::HotKeyID>) {
    ++fired;
    return platform::hotkeystatus::noErr;
  });
  using namespace platform::hotkeymodifier;
  ASSERT_EQ(world.registerHotKey(11, control | command, {1, 1}).status, platform::hotkeystatus::noErr);
  ASSERT_EQ(world.registerHotKey(11, option | command, {1, 2}).status, platform::hotkeystatus::noErr);

  QTest::keyPress(&view, Qt::Key_Control);
  EXPECT_TRUE(world.isCommandHeld());
  QTest::keyPress(&view, Qt::Key_Meta, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_B, Qt::ControlModifier | Qt::MetaModifier);  // Control-Command-B
  QTest::keyRelease(&view, Qt::Key_Meta, Qt::ControlModifier | Qt::MetaModifier);
  QTest::keyPress(&view, Qt::Key_Alt, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_B, Qt::ControlModifier | Qt::AltModifier);  // Option-Command-B
  EXPECT_TRUE(ex.runUntil([&] { return fired == 2; }, ex.now() + 2s));
  for (const platform::Event& e : world.keysToFocusedApp()) EXPECT_NE(e.type, platform::EventType::KeyDown);

  // Leaving the window lets go of what we pressed.
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(&view, &out);
  EXPECT_EQ(world.heldModifiers(), 0u);
}

TEST_F(DesktopWindowTest, ClosingTheWindowStopsTheRuntimeAndNothingRunsAfterwards) {
  int ran = 0;
  ex.scheduleAfter(1ms, [&] { ++ran; });
  auto sleeper = async::spawn(ex, [&]() -> async::Task<> {
    auto r = co_await async::sleepFor(1ms);
    (void)r;
    ++ran;
  });
  host.window().close();  // no delegate: terminate stops the runtime at once
  EXPECT_TRUE(ex.isStopped());
  async::spawn(ex, [&]() -> async::Task<> {
    ++ran;
    co_return;
  });
  ex.post([&] { ++ran; });
  QTest::qWait(10);
  EXPECT_EQ(ran, 0);
  EXPECT_FALSE(sleeper.isDone());
  // The window no longer feeds the world.
  sim::ItemView item = movableItems().front();
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, at({item.frame.midX(), item.frame.midY()}));
  EXPECT_TRUE(world.openMenus().empty());
}

TEST(DesktopWorld, ComesFromTheVariableOrTheNotchedLaptopAndABadFileSaysWhere) {
  ::unsetenv(kWorldVariable);
  auto load = worldFromEnvironment();
  ASSERT_TRUE(std::holds_alternative<sim::WorldSpec>(load));
  EXPECT_EQ(std::get<sim::WorldSpec>(load).screens.front().notchWidth, 200);

  std::string plain = (sim::shippedWorldsFolder() / "plain-1920.json").string();
  ::setenv(kWorldVariable, plain.c_str(), 1);
  load = worldFromEnvironment();
  ASSERT_TRUE(std::holds_alternative<sim::WorldSpec>(load));
  EXPECT_EQ(std::get<sim::WorldSpec>(load).screens.front().notchWidth, 0);

  std::string bad = ::testing::TempDir() + "bad-world.json";
  FILE* f = std::fopen(bad.c_str(), "w");
  std::fputs("{\"screens\": [ {\"name\": 5} ]", f);
  std::fclose(f);
  ::setenv(kWorldVariable, bad.c_str(), 1);
  load = worldFromEnvironment();
  ::unsetenv(kWorldVariable);
  ASSERT_TRUE(std::holds_alternative<sim::WorldError>(load));
  const sim::WorldError& error = std::get<sim::WorldError>(load);
  EXPECT_NE(error.message.find("bad-world.json"), std::string::npos);

  // Reported on stderr and in a message box, both with the simulation's words.
  vimbo::desktop::testing::testApp();
  QString shown;
  QTimer::singleShot(0, [&] {
    if (auto* box = dynamic_cast<MessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text() + "\n" + box->detail();
      box->accept();
    }
  });
  ::testing::internal::CaptureStderr();
  reportWorldError(error);
  std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find(error.message), std::string::npos);
  EXPECT_TRUE(shown.contains(QString::fromStdString(error.message))) << shown.toStdString();

  // A file that is not JSON: a sentence with the line and column; the parser's words on stderr only.
  sim::WorldLoad oops = sim::parseWorld("oops", "oops.json");
  QTimer::singleShot(0, [&] {
    if (auto* box = dynamic_cast<MessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text() + "\n" + box->detail();
      box->accept();
    }
  });
  ::testing::internal::CaptureStderr();
  reportWorldError(std::get<sim::WorldError>(oops));
  printed = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(shown.contains(QStringLiteral("第 1 行第 1 列不是有效的 JSON。"))) << shown.toStdString();
  EXPECT_FALSE(shown.contains(QStringLiteral("json.exception")));
  EXPECT_NE(printed.find("json.exception.parse_error"), std::string::npos);
}

}  // namespace

namespace {

TEST(DesktopStartUp, ASecondInstanceSaysSoOnStderrAndInAMessageBox) {
  vimbo::desktop::testing::testApp();
  QString shown;
  QTimer::singleShot(0, [&] {
    if (auto* box = dynamic_cast<MessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text() + "|" + box->okButton()->text();
      box->accept();
    }
  });
  ::testing::internal::CaptureStderr();
  vimbo::desktop::reportAlreadyRunning();
  const std::string printed = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find("Vimbo 已在运行。"), std::string::npos);
  EXPECT_EQ(shown, QStringLiteral("Vimbo 已在运行。|好"));
}

// The settings alert's card; a long path breaks only after an inner separator; Command-Q quits.
TEST(DesktopStartUp, AMessageBoxIsTheAlertCardBreaksPathsAtSeparatorsAndQuitsOnCommandQ) {
  vimbo::desktop::testing::testApp();
  const QString detail = QStringLiteral("已另存为 /home/someone/a-folder-with-a-long-name/another-folder-with-a-long-name/"
                                        "vimbo/defaults.json.corrupt-20240516T140500Z，以空设置开始。");
  std::unique_ptr<MessageBox> box(newMessageBox(QStringLiteral("设置未能照常读取或保存。"), detail));
  ASSERT_NE(box->findChild<views::AlertCard*>(), nullptr);
  EXPECT_EQ(box->okButton()->text(), QStringLiteral("好"));
  QStringList lines;
  for (QLabel* label : box->findChildren<QLabel*>())
    if (label->text().contains(QStringLiteral("vimbo"))) lines = label->text().split(QLatin1Char('\n'));
  ASSERT_GT(lines.size(), 2);
  for (qsizetype i = 0; i + 1 < lines.size(); ++i)
    EXPECT_TRUE(!lines[i].contains(QLatin1Char('/')) || (lines[i].endsWith(QLatin1Char('/')) &&
                                                         !lines[i].endsWith(QStringLiteral(" /"))))
        << lines[i].toStdString();
  EXPECT_EQ(lines.join(QString()).remove(QLatin1Char(' ')), QString(detail).remove(QLatin1Char(' ')));

  box->show();
  QTest::keyClick(box->okButton(), Qt::Key_Q, Qt::ControlModifier);  // nothing runs yet: the box closes
  EXPECT_FALSE(box->isVisible());
  bool quit = false;
  box->setQuitHandler([&] { quit = true; });
  box->show();
  QTest::keyClick(box->okButton(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_TRUE(quit);
}

}  // namespace
