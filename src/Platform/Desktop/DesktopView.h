#pragma once
// The simulated desktop in a widget: drawn 1:1 in points (scaled down uniformly when the widget is
// smaller, centred), and the real pointer and keyboard inside it turned into the world's HID input
// (moves, clicks, drags, key presses; see Keys.h for which keys stand for Command, Option and
// Control). It repaints whenever what it would draw changes.

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <set>

#include "Platform/Desktop/DesktopScene.h"
#include "Platform/Sim/World.h"

class QPainter;

namespace vimbo::desktop {

// Paints a scene in world points; the painter's transform places it.
void paintScene(QPainter& painter, const Scene& scene);

class DesktopView : public QWidget {
 public:
  explicit DesktopView(sim::World& world, QWidget* parent = nullptr);

  // World points and widget coordinates, under the current size.
  double scale() const;
  QPointF toWidget(Point p) const;
  Point toWorld(QPointF p) const;

  // The area 1:1.
  QSize sizeHint() const override;
  // Re-reads the world; repaints when the scene changed.
  void refresh();
  // After the world is gone or the runtime stopped: no more reads or input.
  void detach();
  // Command-Q (Ctrl+Q here) is the desktop's own: it quits instead of reaching the world.
  void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }
  const Scene& scene() const { return scene_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  void key(QKeyEvent* e, bool down);
  void releaseHeldModifiers();
  QTransform transform() const;

  sim::World* world_;
  Scene scene_;
  QTimer watch_;
  std::optional<Qt::MouseButton> pressed_;
  std::set<uint16_t> heldModifiers_;  // key codes sent down and not yet up
  std::function<void()> quit_;
};

}  // namespace vimbo::desktop
