#pragma once
// The desktop window on the notched laptop, shown offscreen, with helpers to point and type at
// world points and to open our own windows through the interfaces.

#include <gtest/gtest.h>

#include <QTest>
#include <cmath>
#include <functional>
#include <memory>

#include "Platform/Desktop/DesktopHost.h"
#include "Platform/Desktop/QtExecutor.h"
#include "Platform/Desktop/WidgetContent.h"
#include "QtTestApp.h"

namespace vimbo::desktop::testing {

inline sim::WorldSpec notchedLaptop() {
  auto load = sim::loadWorld(sim::shippedWorldsFolder() / "notched-laptop.json");
  EXPECT_TRUE(std::holds_alternative<sim::WorldSpec>(load));
  sim::WorldSpec spec = std::get<sim::WorldSpec>(load);
  spec.wallClockStart = std::chrono::system_clock::from_time_t(1715868300);  // a Thursday, on the minute
  return spec;
}

struct DesktopFixture : ::testing::Test {
  AppFirst app;
  QtExecutor ex;
  DesktopHost host{ex, notchedLaptop()};
  sim::World& world = host.world();
  sim::SimPlatform& sim = host.environment().sim();
  DesktopView& view = host.window().view();

  void SetUp() override {
    host.launch(nullptr);  // no controller: the stand-in status items
    showAt(view.sizeHint());
  }
  // Worker threads (a controller's scans) read the world, which the host takes with it first.
  void TearDown() override { ex.shutdown(); }

  void showAt(QSize size) {
    host.window().resize(size);
    host.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host.window()));
    ASSERT_EQ(view.size(), size);
  }
  // The scale of the window's contents for about the given fraction of the desktop.
  void showScaled(double fraction) {
    QSize full = view.sizeHint();
    showAt(QSize(int(full.width() * fraction), int(full.height() * fraction)));
  }
  QImage shot() {
    view.refresh();
    return view.grab().toImage();
  }
  QColor pixel(const QImage& image, Point p) const {
    QPointF w = view.toWidget(p);
    return image.pixelColor(int(std::floor(w.x())), int(std::floor(w.y())));
  }
  QPoint at(Point p) const {
    QPointF w = view.toWidget(p);
    return {int(std::floor(w.x())), int(std::floor(w.y()))};
  }
  QWidget* input() { return view.viewport(); }
  // Lets the loop run what is queued now and what that queues in turn, a few turns deep.
  void settle(int turns = 8) {
    auto left = std::make_shared<int>(turns);
    auto hop = std::make_shared<std::function<void()>>();
    *hop = [this, left, weak = std::weak_ptr(hop)] {
      if (--*left > 0)
        if (auto next = weak.lock()) ex.post(*next);
    };
    ex.post(*hop);
    ex.runUntil([left] { return *left == 0; }, ex.now() + std::chrono::seconds(5));
  }
  void click(Point p, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::mouseClick(input(), Qt::LeftButton, mods, at(p));
  }
  Rect frame(const std::string& key) {
    auto f = world.frameOf(key);
    EXPECT_TRUE(f) << key;
    return f.value_or(Rect());
  }
  Rect notch() { return *view.desktopScene().displays.front().notch; }
  // A window-server rectangle of one of our windows.
  Rect serverFrame(const platform::Window& w) { return world.screenToServer(w.frame()); }

  // A window made through the interfaces, shown key and front at a screen origin.
  platform::WindowRef openWindow(platform::WindowConfiguration c, Point origin, platform::ViewContentRef content) {
    platform::WindowRef w = sim.windows.makeWindow(std::move(c));
    w->setContent(std::move(content));
    w->setFrameOrigin(origin);
    sim.application.activate(true);
    w->makeKeyAndOrderFront();
    view.refresh();
    return w;
  }
};

// As the platform sends a double-click: press, release, press, double-click, release.
inline void doubleClick(QWidget* w, QPoint at) {
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at);
  QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &twice);
  QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
}

inline platform::WindowConfiguration floatingPanel(Size content) {
  platform::WindowConfiguration c;
  c.kind = platform::WindowKind::panel;
  c.contentSize = content;
  c.styleMask = platform::windowstyle::titled | platform::windowstyle::fullSizeContentView;
  c.titleHidden = true;
  c.titlebarTransparent = true;
  c.movableByBackground = true;
  c.level = platform::windowlevel::floating;
  return c;
}

inline platform::WindowConfiguration titledWindow(Size content, std::string title) {
  platform::WindowConfiguration c;
  c.contentSize = content;
  c.styleMask = platform::windowstyle::titled | platform::windowstyle::closable;
  c.title = std::move(title);
  return c;
}

}  // namespace vimbo::desktop::testing
