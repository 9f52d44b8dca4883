#pragma once
// The simulated desktop in a widget, our own windows included: drawn in points at one uniform
// scale (1:1 when there is room, scaled down to fit otherwise, centred), and the real pointer and
// keyboard inside it turned into the world's HID input (see Keys.h for which keys stand for
// Command, Option and Control). What reaches one of our windows through the world then reaches
// its content widget. It repaints when the world reports a change (once per turn), and otherwise
// only when the Clock's minute turns.
//
// Our windows are items of a graphics scene in world points: each window's frame is painted by
// the view and its content is the content widget in a proxy, so one transform scales and maps
// everything, input included.
//
// Qt moves a proxied widget's hover only on the scene's hover events, which come from moves. A
// window that opens, closes or moves under a still pointer, content that changes under it, or a
// pointer that leaves the desktop window would leave a widget drawn hovered; so after each of
// these the view lays every window's hover onto where the pointer is (followPointer).
//
// While the world's cursor is hidden, so is the real pointer over the whole view, our windows
// included (showCursorAsTheWorld).

#include <QCursor>
#include <QGraphicsView>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "Platform/Desktop/DesktopPaint.h"
#include "Platform/Desktop/DesktopScene.h"
#include "Platform/Sim/World.h"

namespace vimbo::desktop {

class WindowItem;

class DesktopView : public QGraphicsView {
 public:
  explicit DesktopView(sim::World& world, QWidget* parent = nullptr);
  ~DesktopView() override;

  // World points and viewport coordinates, under the current size.
  double scale() const;
  QPointF toWidget(Point p) const;
  Point toWorld(QPointF p) const;

  // The area 1:1.
  QSize sizeHint() const override;
  // Re-reads the world; repaints when the scene changed.
  void refresh();
  // After the world is gone or the runtime stopped: no more reads or input.
  void detach();
  // The person's input here waits while Vimbo is launching, and then goes on in order through the
  // handlers here (a Mac queues events for an application that is still launching, and the start's
  // settling spins the loop behind the painted screen).
  void setLaunching(bool launching);
  // Command-Q (Ctrl+Q here) is the desktop's own: it quits instead of reaching the world.
  void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

  const Scene& desktopScene() const { return scene_; }
  // How many times the scene was read from the world (an idle desktop reads nothing).
  int sceneBuilds() const { return builds_; }
  // The content widget of one of our windows as shown here; null when the window is not shown.
  QWidget* contentWidget(platform::WindowHandle window) const;

 protected:
  void drawBackground(QPainter* painter, const QRectF& rect) override;
  void drawForeground(QPainter* painter, const QRectF& rect) override;
  void resizeEvent(QResizeEvent* e) override;
  bool viewportEvent(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  struct WindowMove {
    platform::WindowHandle window = 0;
    Point start;        // the pointer in world points
    Point startOrigin;  // the window's frame origin, screen coordinates
  };

  void scheduleRefresh();
  // Returns whether a window was shown, hidden, moved or restacked.
  bool syncWindows();
  WindowItem* windowUnderPointer() const;  // the front one of ours, if any
  void followPointer();
  void showCursorAsTheWorld();
  void viewportCursorChanged();
  void updateTransform();
  void armMinuteTimer();
  void press(QMouseEvent* e, bool doubleClick);
  void pressed(QMouseEvent* e, bool doubleClick, Point p, sim::InputDelivery delivered);
  // What the desktop does with a piece of the person's input once the world has routed it: now,
  // with a copy of the person's event, or, when a session tap took it (or input before it still
  // waits), once the world routes it later, in the order the person made it, with an event made
  // here. Input a tap took and never gave back comes with the delivery still taken.
  using Then = std::function<void(sim::InputDelivery, QEvent*)>;
  void send(sim::InputDelivery delivered, const QEvent* e, Then then);
  void late(uint64_t number, sim::InputDelivery delivered);
  void deliverWaiting();
  bool showToolTip(QEvent* e);
  bool onReopenIcon(Point p) const;
  void key(QKeyEvent* e, bool down);
  void releaseHeldModifiers();
  WindowItem* windowItem(platform::WindowHandle window) const;

  class HeldInput;
  struct Waiting {
    uint64_t number = 0;  // the world's number of the input a tap took
    std::unique_ptr<QEvent> event;
    Then then;
    std::optional<sim::InputDelivery> delivered;
  };
  sim::World* world_;
  std::unique_ptr<HeldInput> heldInput_;
  std::deque<Waiting> waiting_;
  bool deliveringWaiting_ = false;
  Scene scene_;
  QGraphicsScene graphics_;
  std::map<platform::WindowHandle, WindowItem*> windows_;  // owned by graphics_
  PictureCache pictures_;
  bool refreshPending_ = false;
  int builds_ = 0;
  QTimer minute_;
  std::optional<QPointF> pointer_;  // in the viewport, while the person's pointer is over it
  QCursor shownCursor_{Qt::ArrowCursor};  // the viewport's while the world's cursor shows
  bool settingCursor_ = false;
  platform::WindowHandle pointerWindow_ = 0;  // the window under it when hover was last laid
  std::optional<Qt::MouseButton> pressed_;
  bool contentHasPress_ = false;  // the content took the press: moves and the release go there too
  std::optional<WindowMove> moving_;
  std::optional<platform::WindowHandle> closing_;
  bool reopenOnRelease_ = false;  // a double-click on our icon: letting go opens the application again
  bool capsLock_ = false;
  std::set<uint16_t> heldModifiers_;  // key codes sent down and not yet up
  std::function<void()> quit_;
};

}  // namespace vimbo::desktop
