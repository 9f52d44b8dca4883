#pragma once
// Shared set-up of the offscreen view tests: one application with the fixed look, motion off, the
// panels' surroundings, pictures built in code, pixel sampling and a screenshot per content for a
// person to look at.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Platform/Desktop/QtTestApp.h"
#include "Platform/Runtime/Executor.h"
#include "Support/PanelFixture.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views::testing {

using test_support::solidImage;

// Types text into the focused widget one character at a time, as an input method would hand it
// over (QTest's key clicks know ASCII only).
inline void typeText(QWidget* target, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(target, &release);
  }
}

struct MotionOff {
  MotionOff() { motion::setEnabled(false); }
  ~MotionOff() { motion::setEnabled(true); }
};

// What the manager and quick-search panels stand on: the application, motion off, the virtual
// loop, the shared store (with or without its items), a workspace and the recorded actions.
struct PanelWidgetTest : ::testing::Test {
  explicit PanelWidgetTest(bool withItems = true) : world(withItems) {}

  desktop::testing::AppFirst app;
  MotionOff still;
  async::VirtualExecutor ex;
  test_support::PanelStore world;
  MenuBarStore& store = world.store;
  test_support::FakeWorkspace workspace;
  test_support::ActionLog log;

  // A panel applies changes on the runtime's next turn; Qt lays out on its own.
  void turn() {
    ex.runFor(async::Duration::zero());
    QCoreApplication::sendPostedEvents();
  }
};

// Renders at one device pixel per point.
inline QImage render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  widget.render(&image);
  return image;
}

// Saved in the build tree whatever the working folder, for a person to look at.
inline QString screenshotFolder() { return QStringLiteral(VIMBO_SCREENSHOT_DIR); }
inline void saveScreenshot(const QImage& image, const QString& name) {
  QDir().mkpath(screenshotFolder());
  image.save(QStringLiteral("%1/%2.png").arg(screenshotFolder(), name));
}

// `color` composited over an opaque `backdrop`.
inline QColor over(const QColor& color, const QColor& backdrop) {
  double a = color.alphaF();
  return QColor::fromRgbF(float(color.redF() * a + backdrop.redF() * (1 - a)),
                          float(color.greenF() * a + backdrop.greenF() * (1 - a)),
                          float(color.blueF() * a + backdrop.blueF() * (1 - a)));
}

inline QColor overWhite(const QColor& color) { return over(color, Qt::white); }

inline bool near(const QColor& a, const QColor& b, int tolerance = 3) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace vimbo::views::testing
