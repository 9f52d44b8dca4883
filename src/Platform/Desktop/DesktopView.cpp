#include "Platform/Desktop/DesktopView.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "Platform/Desktop/Appearance.h"
#include "Platform/Desktop/Keys.h"

namespace vimbo::desktop {

using platform::EventType;

namespace {

constexpr int kWatchIntervalMs = 16;
const QColor kOutside(0x1C, 0x1C, 0x1E);
const QColor kMenuBar(0xF2, 0xF2, 0xF4, 0xE0);
const QColor kMenuBarLine(0, 0, 0, 0x30);
const QColor kInk(0x1D, 0x1D, 0x1F);
const QColor kMenuPanel(0xED, 0xED, 0xED);
const QColor kMenuBorder(0, 0, 0, 0x40);
const QColor kMenuMuted(0x8E, 0x8E, 0x93);

QRectF qrect(const Rect& r) { return {r.minX(), r.minY(), r.maxX() - r.minX(), r.maxY() - r.minY()}; }

QColor rgb(uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

QImage toQImage(const platform::Image& image) {
  QImage q(reinterpret_cast<const uchar*>(image.pixels().data()), image.pixelWidth(), image.pixelHeight(),
           image.pixelWidth() * 4, QImage::Format_RGBA8888);
  return q.copy();  // own the pixels
}

// Another application's picture: a coloured glyph centred in the item's frame, shaped as the
// world describes it (the same shapes its window pictures use).
void paintGlyph(QPainter& p, const QRectF& f, uint32_t color, const std::string& glyph) {
  double r = std::min(std::min(f.width(), f.height()) * 0.32, 8.0);
  QPointF c = f.center();
  p.setPen(Qt::NoPen);
  p.setBrush(rgb(color));
  if (glyph == "dot") {
    p.drawEllipse(c, r, r);
  } else if (glyph == "ring") {
    QPainterPath ring;
    ring.addEllipse(c, r, r);
    ring.addEllipse(c, r * 0.6, r * 0.6);
    p.drawPath(ring);  // odd-even fill leaves the middle open
  } else if (glyph == "square") {
    p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
  } else if (glyph == "bar") {
    p.drawRect(QRectF(c.x() - 1.2 * r, c.y() - 0.35 * r, 2.4 * r, 0.7 * r));
  } else if (glyph == "triangle") {
    QPolygonF t;
    t << QPointF(c.x(), c.y() - r) << QPointF(c.x() + r, c.y() + r) << QPointF(c.x() - r, c.y() + r);
    p.drawPolygon(t);
  }
}

// Our own item: the button's image centred at its point size, else its title; the divider has
// neither and draws nothing.
void paintOwnItem(QPainter& p, const SceneItem& item) {
  QRectF f = qrect(item.frame);
  if (item.image) {
    Size s = item.image->pointSize();
    if (s.width <= 0 || s.height <= 0) s = {double(item.image->pixelWidth()), double(item.image->pixelHeight())};
    QRectF target(f.center().x() - s.width / 2, f.center().y() - s.height / 2, s.width, s.height);
    p.drawImage(target, toQImage(*item.image));
  } else if (!item.title.empty()) {
    p.setPen(kInk);
    p.setFont(uiFont(13));
    p.drawText(f, Qt::AlignCenter, QString::fromStdString(item.title));
  }
}

void paintItem(QPainter& p, const SceneItem& item) {
  if (item.own) paintOwnItem(p, item);
  else paintGlyph(p, qrect(item.frame), item.color, item.glyph);
}

void paintDisplay(QPainter& p, const SceneDisplay& d) {
  QRectF b = qrect(d.bounds);
  QLinearGradient wallpaper(b.topLeft(), b.bottomRight());
  wallpaper.setColorAt(0, QColor(0x2B, 0x4C, 0x8C));
  wallpaper.setColorAt(0.55, QColor(0x6A, 0x5A, 0xA8));
  wallpaper.setColorAt(1, QColor(0xD9, 0x8C, 0x9E));
  p.fillRect(b, wallpaper);
  QRectF bar(b.x(), b.y(), b.width(), d.menuBarHeight);
  p.fillRect(bar, kMenuBar);
  p.fillRect(QRectF(bar.x(), bar.bottom() - 0.5, bar.width(), 0.5), kMenuBarLine);
}

void paintNotch(QPainter& p, const Rect& notch) {
  QRectF n = qrect(notch);
  double r = std::min(10.0, n.height() / 2);
  QPainterPath path;
  path.moveTo(n.topLeft());
  path.lineTo(n.topRight());
  path.lineTo(n.right(), n.bottom() - r);
  path.quadTo(n.right(), n.bottom(), n.right() - r, n.bottom());
  path.lineTo(n.left() + r, n.bottom());
  path.quadTo(n.left(), n.bottom(), n.left(), n.bottom() - r);
  path.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPath(path);
}

void paintMenu(QPainter& p, const SceneMenu& m) {
  QRectF f = qrect(m.frame);
  p.setPen(Qt::NoPen);
  for (int i = 1; i <= 4; ++i) {  // a soft shadow
    p.setBrush(QColor(0, 0, 0, 14));
    p.drawRoundedRect(f.adjusted(-i, -i + 2, i, i + 2), 6 + i, 6 + i);
  }
  p.setBrush(kMenuPanel);
  p.setPen(QPen(kMenuBorder, 0.5));
  p.drawRoundedRect(f, 6, 6);
  p.setFont(uiFont(13));
  if (m.own) {
    p.setPen(kInk);
    for (size_t i = 0; i < m.entries.size(); ++i) {
      QRectF row(f.x() + 12, f.y() + kMenuTopInset + kMenuRowHeight * double(i), f.width() - 24, kMenuRowHeight);
      p.drawText(row, Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(m.entries[i]));
    }
    return;
  }
  // Another application's menu: its owner on top, then the outline of a few entries.
  QRectF title(f.x() + 12, f.y() + kMenuTopInset, f.width() - 24, kMenuRowHeight);
  p.setPen(kMenuMuted);
  p.drawText(title, Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(m.ownerName));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 0x22));
  for (int i = 1; i <= 4; ++i) {
    double y = f.y() + kMenuTopInset + kMenuRowHeight * i + kMenuRowHeight / 2 - 3;
    if (y + 6 > f.bottom() - 4) break;
    p.drawRoundedRect(QRectF(f.x() + 12, y, (f.width() - 24) * (i % 2 ? 0.7 : 0.5), 6), 3, 3);
  }
}

}  // namespace

void paintScene(QPainter& p, const Scene& s) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.fillRect(qrect(s.area), kOutside);
  for (const SceneDisplay& d : s.displays) paintDisplay(p, d);
  p.save();
  p.setClipRect(qrect(s.barClip));
  for (const SceneItem& item : s.items)
    if (item.frame.intersects(s.barClip)) paintItem(p, item);
  p.restore();
  for (const SceneDisplay& d : s.displays)
    if (d.notch) paintNotch(p, *d.notch);
  for (const SceneMenu& m : s.menus) paintMenu(p, m);
  if (s.dragged) {
    // The dragged item follows the pointer, faintly, until it is dropped.
    SceneItem ghost = *s.dragged;
    ghost.frame = Rect(s.pointer.x - ghost.frame.width / 2, s.pointer.y - ghost.frame.height / 2, ghost.frame.width,
                       ghost.frame.height);
    p.save();
    p.setOpacity(0.6);
    paintItem(p, ghost);
    p.restore();
  }
}

DesktopView::DesktopView(sim::World& world, QWidget* parent) : QWidget(parent), world_(&world) {
  scene_ = captureScene(world);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The world changes on timers and turns of its own; a cheap comparison finds out when.
  watch_.setInterval(kWatchIntervalMs);
  connect(&watch_, &QTimer::timeout, this, [this] { refresh(); });
  watch_.start();
}

void DesktopView::detach() {
  watch_.stop();
  world_ = nullptr;
}

void DesktopView::refresh() {
  if (!world_) return;
  Scene s = captureScene(*world_);
  if (s == scene_) return;
  scene_ = std::move(s);
  update();
}

QSize DesktopView::sizeHint() const {
  return {int(std::ceil(scene_.area.width)), int(std::ceil(scene_.area.height))};
}

double DesktopView::scale() const {
  if (scene_.area.width <= 0 || scene_.area.height <= 0) return 1;
  return std::min(width() / scene_.area.width, height() / scene_.area.height);
}

QTransform DesktopView::transform() const {
  double s = scale();
  double ox = (width() - scene_.area.width * s) / 2, oy = (height() - scene_.area.height * s) / 2;
  QTransform t;
  t.translate(ox, oy);
  t.scale(s, s);
  t.translate(-scene_.area.x, -scene_.area.y);
  return t;
}

QPointF DesktopView::toWidget(Point p) const { return transform().map(QPointF(p.x, p.y)); }

Point DesktopView::toWorld(QPointF p) const {
  QPointF w = transform().inverted().map(p);
  return {w.x(), w.y()};
}

void DesktopView::paintEvent(QPaintEvent*) {
  if (world_) scene_ = captureScene(*world_);
  QPainter p(this);
  p.fillRect(rect(), kOutside);
  p.setTransform(transform());
  paintScene(p, scene_);
}

bool DesktopView::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(e);
    Point at = toWorld(QPointF(help->pos()));
    for (const SceneItem& item : scene_.items)
      if (item.own && !item.toolTip.empty() && item.frame.contains(at)) {
        QToolTip::showText(help->globalPos(), QString::fromStdString(item.toolTip), this);
        return true;
      }
    QToolTip::hideText();
    e->ignore();
    return true;
  }
  return QWidget::event(e);
}

void DesktopView::mousePressEvent(QMouseEvent* e) {
  if (!world_ || pressed_) return;
  EventType type;
  if (e->button() == Qt::LeftButton) type = EventType::LeftMouseDown;
  else if (e->button() == Qt::RightButton) type = EventType::RightMouseDown;
  else return;
  pressed_ = e->button();
  world_->personMouse(type, toWorld(e->position()), eventFlags(e->modifiers()));
  refresh();
}

void DesktopView::mouseMoveEvent(QMouseEvent* e) {
  if (!world_) return;
  EventType type = !pressed_                        ? EventType::MouseMoved
                   : *pressed_ == Qt::LeftButton ? EventType::LeftMouseDragged
                                                 : EventType::RightMouseDragged;
  world_->personMouse(type, toWorld(e->position()), eventFlags(e->modifiers()));
  refresh();
}

void DesktopView::mouseReleaseEvent(QMouseEvent* e) {
  if (!world_ || !pressed_ || e->button() != *pressed_) return;
  EventType type = *pressed_ == Qt::LeftButton ? EventType::LeftMouseUp : EventType::RightMouseUp;
  pressed_.reset();
  world_->personMouse(type, toWorld(e->position()), eventFlags(e->modifiers()));
  refresh();
}

namespace {
bool isModifierCode(uint16_t code) { return code >= 54 && code <= 62 && code != 57; }
}  // namespace

void DesktopView::key(QKeyEvent* e, bool down) {
  if (down && quit_ && e->key() == Qt::Key_Q && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
    quit_();
    return;
  }
  auto code = macKeyCode(e->key());
  if (!world_ || !code) {
    e->ignore();
    return;
  }
  if (isModifierCode(*code)) {
    // Auto-repeat and doubled reports would unbalance what the world believes is held.
    bool held = heldModifiers_.count(*code) != 0;
    if (down == held) return;
    if (down) heldModifiers_.insert(*code);
    else heldModifiers_.erase(*code);
  }
  world_->personKey(*code, down, eventFlags(e->modifiers()));
  refresh();
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
  QWidget::focusOutEvent(e);
}

}  // namespace vimbo::desktop
