#include "Platform/Desktop/DesktopView.h"

#include <QCoreApplication>
#include <QGraphicsProxyWidget>
#include <QGraphicsSceneHoverEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <utility>

#include "Platform/Desktop/Keys.h"
#include "Platform/Desktop/WindowItem.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::desktop {

using platform::EventType;
using platform::WindowHandle;

namespace {

bool isModifierCode(uint16_t code) { return code >= 54 && code <= 62 && code != 57; }

// Qt marks a widget under the mouse on Enter and clears the mark on Leave.
void leaveWidget(QWidget* widget) {
  widget->setAttribute(Qt::WA_UnderMouse, false);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(widget, &leave);
  if (widget->testAttribute(Qt::WA_Hover)) {
    QHoverEvent hover(QEvent::HoverLeave, QPointF(-1, -1), QPointF(-1, -1), QPointF(-1, -1));
    QCoreApplication::sendEvent(widget, &hover);
  }
}

bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease: return true;
    default: return false;
  }
}

// The person's event made again by us, for handing on after the person has gone past it. A clone
// would keep Qt's mark of input from the platform, and Qt takes such a press or release for the
// state of the buttons now: a press let go of long ago would stay held in QApplication::mouseButtons(),
// and the moves after it would be taken for drags.
std::unique_ptr<QEvent> ownCopy(const QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* m = static_cast<const QMouseEvent*>(e);
      auto copy = std::make_unique<QMouseEvent>(m->type(), m->position(), m->scenePosition(), m->globalPosition(),
                                                m->button(), m->buttons(), m->modifiers(), m->pointingDevice());
      copy->setTimestamp(m->timestamp());
      return copy;
    }
    case QEvent::Wheel: {
      auto* w = static_cast<const QWheelEvent*>(e);
      auto copy = std::make_unique<QWheelEvent>(w->position(), w->globalPosition(), w->pixelDelta(), w->angleDelta(),
                                                w->buttons(), w->modifiers(), w->phase(), w->inverted(), w->source(),
                                                w->pointingDevice());
      copy->setTimestamp(w->timestamp());
      return copy;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* k = static_cast<const QKeyEvent*>(e);
      return std::make_unique<QKeyEvent>(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(),
                                         ushort(k->count()));
    }
    default: return std::unique_ptr<QEvent>(e->clone());
  }
}

// Qt gives the keyboard to what a person clicks only for input from the platform: for a press of
// ours the desktop does it the same way, to the first widget up from the one pressed that takes
// focus by a click, unless one on the way has it already.
void focusAsClicked(QWidget* pressed) {
  for (QWidget* w = pressed; w; w = w->parentWidget()) {
    QWidget* f = w;
    while (f->focusProxy()) f = f->focusProxy();
    auto byClick = [](QWidget* x) { return (x->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus; };
    if (w->isEnabled() && byClick(w) && byClick(f)) {
      w->setFocus(Qt::MouseFocusReason);
      return;
    }
    if (w->isWindow() || f->hasFocus()) return;
  }
}

}  // namespace

// While launching, all of the person's input here waits (a Mac queues events for an application
// that is still launching, and the start's settling spins the loop behind the painted screen), then
// goes on in order through the handlers here. Watches the whole application's input for what
// reaches the view, since keys come to the view and the pointer to its viewport. Held events are
// copies, handed on with sendEvent.
class DesktopView::HeldInput : public QObject {
 public:
  explicit HeldInput(DesktopView& view) : view_(view) {
    if (qApp) qApp->installEventFilter(this);
  }
  ~HeldInput() override {
    if (qApp) qApp->removeEventFilter(this);
  }
  HeldInput(const HeldInput&) = delete;
  HeldInput& operator=(const HeldInput&) = delete;

  bool launching = false;

  void deliver() {
    if (launching || delivering_) return;
    delivering_ = true;
    while (!held_.empty()) {
      auto [receiver, event] = std::move(held_.front());
      held_.pop_front();
      if (receiver) QCoreApplication::sendEvent(receiver, event.get());
    }
    delivering_ = false;
  }

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (delivering_ || !launching || !isInput(event->type())) return false;
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget || (widget != &view_ && !view_.isAncestorOf(widget))) return false;
    held_.emplace_back(widget, std::unique_ptr<QEvent>(event->clone()));
    return true;
  }

 private:
  DesktopView& view_;
  std::deque<std::pair<QPointer<QWidget>, std::unique_ptr<QEvent>>> held_;
  bool delivering_ = false;
};

DesktopView::DesktopView(sim::World& world, QWidget* parent)
    : QGraphicsView(parent), world_(&world), heldInput_(std::make_unique<HeldInput>(*this)) {
  setScene(&graphics_);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setAlignment(Qt::AlignCenter);
  setTransformationAnchor(QGraphicsView::NoAnchor);
  setResizeAnchor(QGraphicsView::NoAnchor);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  minute_.setSingleShot(true);
  connect(&minute_, &QTimer::timeout, this, [this] { refresh(); });
  scene_ = captureScene(world);
  ++builds_;
  updateTransform();
  syncWindows();
  if (!scene_.cursorVisible) showCursorAsTheWorld();
  // The world says when it changed; nothing here looks on a timer.
  world.setChangeObserver([this] { scheduleRefresh(); });
  world.setLateDeliveryObserver([this](uint64_t number, sim::InputDelivery delivered) { late(number, delivered); });
  armMinuteTimer();
}

DesktopView::~DesktopView() {
  heldInput_.reset();
  detach();
  for (auto& [handle, item] : windows_) delete item;
  windows_.clear();
}

void DesktopView::detach() {
  if (world_) {
    world_->setChangeObserver({});
    world_->setLateDeliveryObserver({});
  }
  world_ = nullptr;
  waiting_.clear();
  minute_.stop();
  showCursorAsTheWorld();  // nothing hides it any more
}

void DesktopView::send(sim::InputDelivery delivered, const QEvent* e, Then then) {
  if (!delivered.taken && waiting_.empty()) {
    std::unique_ptr<QEvent> copy(e->clone());  // the person's own, while it is current
    then(delivered, copy.get());
    return;
  }
  Waiting w{delivered.taken ? delivered.number : 0, ownCopy(e), std::move(then), std::nullopt};
  if (!delivered.taken) w.delivered = delivered;
  waiting_.push_back(std::move(w));
  deliverWaiting();
}

void DesktopView::late(uint64_t number, sim::InputDelivery delivered) {
  for (Waiting& w : waiting_)
    if (!w.delivered && w.number == number) {
      w.delivered = delivered;
      break;
    }
  deliverWaiting();
}

void DesktopView::deliverWaiting() {
  if (deliveringWaiting_) return;
  deliveringWaiting_ = true;
  while (!waiting_.empty()) {
    if (!waiting_.front().delivered) {
      // Taken by a tap that is gone without posting it again: it never comes, and stays taken.
      if (world_ && world_->sessionEventTapCount() > 0) break;
      waiting_.front().delivered = sim::InputDelivery{0, true, waiting_.front().number};
    }
    Waiting w = std::move(waiting_.front());
    waiting_.pop_front();
    w.then(*w.delivered, w.event.get());
  }
  deliveringWaiting_ = false;
}

void DesktopView::scheduleRefresh() {
  if (refreshPending_) return;
  refreshPending_ = true;
  QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
}

void DesktopView::refresh() {
  refreshPending_ = false;
  if (!world_) return;
  Scene s = captureScene(*world_);
  ++builds_;
  if (!minute_.isActive()) armMinuteTimer();
  if (!(s == scene_)) {
    bool area = !(s.area == scene_.area);
    bool cursor = s.cursorVisible != scene_.cursorVisible;
    scene_ = std::move(s);
    if (area) updateTransform();
    if (cursor) showCursorAsTheWorld();
    if (syncWindows() || area) followPointer();
    viewport()->update();
  }
  // A tap that went away may leave input here that never comes back.
  if (!waiting_.empty()) deliverWaiting();
}

void DesktopView::setLaunching(bool launching) {
  if (launching) {
    heldInput_->launching = true;
    return;
  }
  // Behind the first steps of what the launch started (the start-up restore takes the bar there),
  // as a launched application takes the queued events from its run loop.
  QMetaObject::invokeMethod(
      this,
      [this] {
        heldInput_->launching = false;
        heldInput_->deliver();
      },
      Qt::QueuedConnection);
}

void DesktopView::armMinuteTimer() {
  if (!world_) return;
  auto now = world_->wallClock();
  auto next = std::chrono::floor<std::chrono::minutes>(now) + std::chrono::minutes(1);
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now) + std::chrono::milliseconds(1);
  minute_.start(int(wait.count()));
}

WindowItem* DesktopView::windowItem(WindowHandle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second;
}

QWidget* DesktopView::contentWidget(WindowHandle window) const {
  WindowItem* item = windowItem(window);
  return item && item->isVisible() ? item->contentWidget() : nullptr;
}

bool DesktopView::syncWindows() {
  bool changed = false;
  std::set<WindowHandle> shown;
  int z = 0;
  for (const SceneWindow& w : scene_.windows) {
    shown.insert(w.handle);
    WindowItem*& item = windows_[w.handle];
    bool becameKey = w.key && (!item || !item->window().key || !item->isVisible());
    if (!item) {
      item = new WindowItem(w);
      graphics_.addItem(item);
      changed = true;
    } else {
      changed = changed || !(item->window().frame == w.frame) || !item->isVisible() || item->zValue() != z;
      item->update(w);
    }
    item->setZValue(z++);
    item->setVisible(true);
    // The key window's content has the keyboard: its field shows the caret.
    if (becameKey) item->proxy()->setFocus(Qt::ActiveWindowFocusReason);
  }
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (shown.count(it->first)) {
      ++it;
    } else if (world_ && world_->hasOwnWindow(it->first)) {
      changed = changed || it->second->isVisible();
      it->second->setVisible(false);  // ordered out: kept for its next showing
      ++it;
    } else {
      delete it->second;
      it = windows_.erase(it);
      changed = true;
    }
  }
  return changed;
}

WindowItem* DesktopView::windowUnderPointer() const {
  if (!pointer_) return nullptr;
  Point at = toWorld(*pointer_);
  WindowItem* top = nullptr;
  for (auto& [handle, item] : windows_)
    if (item->isVisible() && item->window().frame.contains(at) && (!top || item->zValue() > top->zValue())) top = item;
  return top;
}

void DesktopView::followPointer() {
  if (!world_ || pressed_) return;  // a press keeps its widget until it is let go
  WindowItem* top = windowUnderPointer();
  pointerWindow_ = top ? top->handle() : 0;
  std::optional<Point> at;
  if (pointer_) at = toWorld(*pointer_);
  for (auto& [handle, item] : windows_) {
    QWidget* content = item->contentWidget();
    if (!content) continue;
    QWidget* under = nullptr;
    if (item == top) {
      QPoint local = item->proxy()->mapFromScene(QPointF(at->x, at->y)).toPoint();
      if (content->rect().contains(local)) under = content->childAt(local) ? content->childAt(local) : content;
    }
    QList<QWidget*> stale = content->findChildren<QWidget*>();
    stale.prepend(content);
    stale.removeIf([&](QWidget* w) {
      return !w->testAttribute(Qt::WA_UnderMouse) || (under && (w == under || w->isAncestorOf(under)));
    });
    if (stale.isEmpty() && under) continue;
    // The proxy forgets the widget it last hovered (the next move enters afresh), then nothing
    // stays marked that the pointer is not over. What a still pointer stands on hovers again
    // when it moves: only a move says where a person points.
    QGraphicsSceneHoverEvent leave(QEvent::GraphicsSceneHoverLeave);
    graphics_.sendEvent(item->proxy(), &leave);
    for (QWidget* w : stale)
      if (w->testAttribute(Qt::WA_UnderMouse)) leaveWidget(w);
  }
}

// Qt's view sets the viewport's cursor to that of what lies under the pointer (a field's I-beam):
// while the world's cursor is hidden that waits for it to show again, and the pointer stays blank.
void DesktopView::viewportCursorChanged() {
  if (settingCursor_) return;
  shownCursor_ = viewport()->cursor();
  // Only we blank it: this is Qt's view putting back the cursor it found while it was hidden.
  if (shownCursor_.shape() == Qt::BlankCursor) shownCursor_ = QCursor(Qt::ArrowCursor);
  showCursorAsTheWorld();
}

void DesktopView::showCursorAsTheWorld() {
  settingCursor_ = true;
  viewport()->setCursor(world_ && !scene_.cursorVisible ? QCursor(Qt::BlankCursor) : shownCursor_);
  settingCursor_ = false;
}

// ---------------------------------------------------------------- geometry

QSize DesktopView::sizeHint() const {
  return {int(std::ceil(scene_.area.width)), int(std::ceil(scene_.area.height))};
}

double DesktopView::scale() const {
  if (scene_.area.width <= 0 || scene_.area.height <= 0) return 1;
  return std::min(viewport()->width() / scene_.area.width, viewport()->height() / scene_.area.height);
}

void DesktopView::updateTransform() {
  QRectF area = qrect(scene_.area);
  graphics_.setSceneRect(area);
  setSceneRect(area);
  double s = scale();
  if (transform().m11() != s) pictures_.clear();
  setTransform(QTransform::fromScale(s, s));
}

void DesktopView::resizeEvent(QResizeEvent* e) {
  QGraphicsView::resizeEvent(e);
  updateTransform();
}

QPointF DesktopView::toWidget(Point p) const { return viewportTransform().map(QPointF(p.x, p.y)); }

Point DesktopView::toWorld(QPointF p) const {
  QPointF w = viewportTransform().inverted().map(p);
  return {w.x(), w.y()};
}

// ---------------------------------------------------------------- painting

void DesktopView::drawBackground(QPainter* painter, const QRectF&) { paintDesktop(*painter, scene_); }

void DesktopView::drawForeground(QPainter* painter, const QRectF&) { paintOverWindows(*painter, scene_, pictures_); }

// ---------------------------------------------------------------- pointer

bool DesktopView::viewportEvent(QEvent* e) {
  switch (e->type()) {
    case QEvent::ToolTip: return showToolTip(e);
    case QEvent::CursorChange: viewportCursorChanged(); break;
    case QEvent::Enter: pointer_ = static_cast<QEnterEvent*>(e)->position(); break;
    case QEvent::Leave: {
      bool handled = QGraphicsView::viewportEvent(e);
      pointer_.reset();
      followPointer();  // out of the desktop window: nothing of ours is under the pointer
      return handled;
    }
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: pointer_ = static_cast<QMouseEvent*>(e)->position(); break;
    default: break;
  }
  return QGraphicsView::viewportEvent(e);
}

bool DesktopView::showToolTip(QEvent* e) {
  auto* help = static_cast<QHelpEvent*>(e);
  Point at = toWorld(QPointF(help->pos()));
  if (world_ && !world_->isInNotch(at)) {
    for (const SceneItem& item : scene_.items)
      if (item.own && !item.toolTip.empty() && isItemShown(scene_, item) && item.frame.contains(at)) {
        QToolTip::showText(help->globalPos(), views::toolTipMarkup(QString::fromStdString(item.toolTip)), viewport());
        return true;
      }
    if (!world_->isInMenuBarBand(at) && world_->ownWindowAt(at)) return QGraphicsView::viewportEvent(e);
  }
  QToolTip::hideText();
  e->ignore();
  return true;
}

void DesktopView::press(QMouseEvent* e, bool doubleClick) {
  if (!world_ || pressed_) return;
  EventType type;
  if (e->button() == Qt::LeftButton) type = EventType::LeftMouseDown;
  else if (e->button() == Qt::RightButton) type = EventType::RightMouseDown;
  else return;
  pressed_ = e->button();
  Point p = toWorld(e->position());
  send(world_->personMouse(type, p, eventFlags(e->modifiers())), e,
       [this, doubleClick, p](sim::InputDelivery delivered, QEvent* copy) {
         pressed(static_cast<QMouseEvent*>(copy), doubleClick, p, delivered);
       });
  e->accept();
}

void DesktopView::pressed(QMouseEvent* e, bool doubleClick, Point p, sim::InputDelivery delivered) {
  if (!world_) return;
  bool left = e->button() == Qt::LeftButton;
  contentHasPress_ = false;
  reopenOnRelease_ = false;
  WindowItem* item = delivered ? windowItem(delivered.window) : nullptr;
  if (item) {
    const platform::WindowConfiguration& c = item->window().configuration;
    std::optional<Rect> bar = item->titleBar(), close = item->closeButton();
    bool inTitle = bar && bar->contains(p);
    auto beginMove = [&] {
      if (auto v = world_->ownWindow(delivered.window)) moving_ = WindowMove{delivered.window, p, v->frame.origin()};
    };
    if (left && close && close->contains(p)) {
      closing_ = delivered.window;
    } else if (inTitle && !c.hasStyle(platform::windowstyle::fullSizeContentView)) {
      if (left) beginMove();
    } else {
      if (QWidget* content = item->contentWidget(); content && !e->spontaneous()) {
        QPoint local = item->proxy()->mapFromScene(QPointF(p.x, p.y)).toPoint();
        focusAsClicked(content->childAt(local) ? content->childAt(local) : content);
      }
      if (doubleClick) QGraphicsView::mouseDoubleClickEvent(e);
      else QGraphicsView::mousePressEvent(e);
      contentHasPress_ = e->isAccepted();
      // What the content leaves alone moves the window: its title strip, or any part of a panel
      // that moves by its background.
      if (!contentHasPress_ && left && (c.movableByBackground || inTitle)) beginMove();
    }
  } else if (doubleClick && left && onReopenIcon(p)) {
    reopenOnRelease_ = true;
  }
  refresh();
}

void DesktopView::mousePressEvent(QMouseEvent* e) { press(e, false); }

bool DesktopView::onReopenIcon(Point p) const {
  return !scene_.displays.empty() && reopenIconFrame(scene_.displays.front()).contains(p) && !world_->ownWindowAt(p);
}

// A double-click: the platform has sent its second press already (a press like any other); on
// our application's icon it opens the application again once let go, as the Dock does. Without
// that press, it is the press.
void DesktopView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (!pressed_) {
    press(e, true);
    return;
  }
  if (!world_) return;
  Point p = toWorld(e->position());
  const bool left = *pressed_ == Qt::LeftButton;
  // Not the world's: it only waits behind what the world still holds of this click.
  send({}, e, [this, p, left](sim::InputDelivery, QEvent* copy) {
    if (contentHasPress_) {
      QGraphicsView::mouseDoubleClickEvent(static_cast<QMouseEvent*>(copy));
    } else if (left && !moving_ && onReopenIcon(p)) {
      reopenOnRelease_ = true;
    }
  });
}

void DesktopView::mouseMoveEvent(QMouseEvent* e) {
  if (!world_) return;
  EventType type = !pressed_                     ? EventType::MouseMoved
                   : *pressed_ == Qt::LeftButton ? EventType::LeftMouseDragged
                                                 : EventType::RightMouseDragged;
  Point p = toWorld(e->position());
  auto then = [this, p, type](sim::InputDelivery delivered, QEvent* copy) {
    // A move a tap took and never gave back: the pointer never went there.
    if (!world_ || delivered.taken) return;
    const bool buttonUp = type == EventType::MouseMoved;
    if (moving_) {
      world_->setOwnWindowOrigin(moving_->window, {moving_->startOrigin.x + (p.x - moving_->start.x),
                                                    moving_->startOrigin.y - (p.y - moving_->start.y)});
    } else if (buttonUp || contentHasPress_) {
      QGraphicsView::mouseMoveEvent(static_cast<QMouseEvent*>(copy));  // hover and drags inside our windows
    }
    refresh();
    // Into another window or out of one: the window left keeps no mark.
    if (buttonUp) {
      WindowItem* top = windowUnderPointer();
      if ((top ? top->handle() : 0) != pointerWindow_) followPointer();
    }
  };
  send(world_->personMouse(type, p, eventFlags(e->modifiers())), e, then);
}

void DesktopView::mouseReleaseEvent(QMouseEvent* e) {
  if (!world_ || !pressed_ || e->button() != *pressed_) return;
  EventType type = *pressed_ == Qt::LeftButton ? EventType::LeftMouseUp : EventType::RightMouseUp;
  pressed_.reset();
  Point p = toWorld(e->position());
  send(world_->personMouse(type, p, eventFlags(e->modifiers())), e, [this, p](sim::InputDelivery, QEvent* copy) {
    if (!world_) return;
    moving_.reset();
    // The request comes after the click's own work, as a Mac's does (see World::personReopen).
    if (std::exchange(reopenOnRelease_, false) && onReopenIcon(p)) world_->personReopen();
    if (closing_) {
      WindowItem* item = windowItem(*closing_);
      if (item && item->closeButton() && item->closeButton()->contains(p)) world_->closeOwnWindow(*closing_);
      closing_.reset();
    }
    if (contentHasPress_) QGraphicsView::mouseReleaseEvent(static_cast<QMouseEvent*>(copy));
    contentHasPress_ = false;
    refresh();
    followPointer();  // the press may have opened, closed or changed what lies under the pointer
  });
}

// As on a Mac, Shift turns a vertical wheel sideways (without Shift's own meaning in the content:
// a page at a time).
void DesktopView::wheelEvent(QWheelEvent* e) {
  e->accept();
  if (!world_) return;
  Point p = toWorld(e->position());
  auto then = [this](sim::InputDelivery delivered, QEvent* event) {
    // The world says which of our windows a wheel scrolls: none, when a tap dropped it.
    if (!delivered) return;
    auto* copy = static_cast<QWheelEvent*>(event);
    QPoint angle = copy->angleDelta();
    if (!(copy->modifiers() & Qt::ShiftModifier) || angle.x() != 0 || angle.y() == 0) {
      QGraphicsView::wheelEvent(copy);
      return;
    }
    QWheelEvent sideways(copy->position(), copy->globalPosition(), copy->pixelDelta().transposed(), angle.transposed(),
                         copy->buttons(), copy->modifiers() & ~Qt::ShiftModifier, copy->phase(), copy->inverted(),
                         copy->source());
    QGraphicsView::wheelEvent(&sideways);
  };
  send(world_->personMouse(EventType::ScrollWheel, p, eventFlags(e->modifiers())), e, then);
}

// ---------------------------------------------------------------- keyboard

void DesktopView::key(QKeyEvent* e, bool down) {
  if (!world_) {
    e->ignore();
    return;
  }
  Qt::KeyboardModifiers held = e->modifiers() & ~Qt::KeypadModifier;
  if (down && quit_ && e->key() == Qt::Key_Q && held == Qt::ControlModifier) {
    quit_();
    return;
  }
  if (e->key() == Qt::Key_CapsLock) {
    if (down && !e->isAutoRepeat()) capsLock_ = !capsLock_;
    return;
  }
  auto mac = macKey(e->key(), e->modifiers(), capsLock_);
  if (!mac) {
    e->ignore();
    return;
  }
  if (isModifierCode(mac->code)) {
    // Auto-repeat and doubled reports would unbalance what the world believes is held.
    bool isHeld = heldModifiers_.count(mac->code) != 0;
    if (down == isHeld) return;
    if (down) heldModifiers_.insert(mac->code);
    else heldModifiers_.erase(mac->code);
  }
  send(world_->personKey(mac->code, down, mac->flags), e, [this, down, held](sim::InputDelivery delivered, QEvent* ev) {
    if (!world_) return;
    auto* copy = static_cast<QKeyEvent*>(ev);
    WindowItem* item = delivered ? windowItem(delivered.window) : nullptr;
    // Command-W is the application's Close: past the hot keys and monitors it closes the key window
    // the way its close button does, and types nothing. A window without that button keeps it.
    if (item && copy->key() == Qt::Key_W && held == Qt::ControlModifier) {
      if (down && !copy->isAutoRepeat() && item->closeButton()) world_->closeOwnWindow(delivered.window);
      refresh();
      return;
    }
    if (item)
      if (QWidget* content = item->contentWidget()) {
        // Past the hot keys and our monitors: the key window's focused widget types it.
        QWidget* target = content->focusWidget() ? content->focusWidget() : content;
        QKeyEvent typed(copy->type(), copy->key(), copy->modifiers(), copy->text(), copy->isAutoRepeat(),
                        ushort(copy->count()));
        QCoreApplication::sendEvent(target, &typed);
      }
    refresh();
  });
}

void DesktopView::keyPressEvent(QKeyEvent* e) { key(e, true); }
void DesktopView::keyReleaseEvent(QKeyEvent* e) { key(e, false); }

void DesktopView::releaseHeldModifiers() {
  std::set<uint16_t> held;
  held.swap(heldModifiers_);
  if (!world_) return;
  for (uint16_t code : held) world_->personKey(code, false);
}

void DesktopView::focusOutEvent(QFocusEvent* e) {
  // Keys released elsewhere never reach us: let go of the modifiers we pressed.
  releaseHeldModifiers();
  QGraphicsView::focusOutEvent(e);
}

}  // namespace vimbo::desktop
