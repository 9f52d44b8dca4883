#include "Views/Widgets/MenuBarLayoutItemView.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <cmath>

#include "Views/Widgets/CapturedMenuBarGlyph.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr double kRadius = 10;
constexpr double kDraggedSourceOpacity = 0.35;

// QDrag::exec takes the button's release for itself. When our window is drawn by the desktop's
// view (through a proxy in its scene), that view saw the press and would wait for the release,
// refusing the next press: hand it the release it missed.
void releaseToHostingView(QWidget* source) {
  QGraphicsProxyWidget* proxy = source->window()->graphicsProxyWidget();
  if (!proxy || !proxy->scene()) return;
  const QPoint global = QCursor::pos();
  for (QGraphicsView* view : proxy->scene()->views()) {
    QWidget* viewport = view->viewport();
    QCoreApplication::postEvent(viewport, new QMouseEvent(QEvent::MouseButtonRelease, viewport->mapFromGlobal(global),
                                                          global, Qt::LeftButton, Qt::NoButton,
                                                          QGuiApplication::keyboardModifiers()));
  }
}

}  // namespace

MenuBarLayoutItemView::MenuBarLayoutItemView(const CapturedMenuBarItem& item, Callbacks callbacks, QWidget* parent)
    : QWidget(parent), item_(item), callbacks_(std::move(callbacks)), metrics_(layoutChipMetrics(item)) {
  const int width = int(std::ceil(metrics_.chipWidth));
  setFixedSize(width, int(LayoutChipMetrics::height));
  // The glyph is painted by the chip itself, so the lock badge can stand on top of it.
  glyph_ = capturedMenuBarGlyph(item_);
  const int slotWidth = int(std::round(metrics_.slotWidth));
  const int slotHeight = int(kGlyphSlotHeight);
  slot_ = QRect((width - slotWidth) / 2, (int(LayoutChipMetrics::height) - slotHeight) / 2, slotWidth, slotHeight);
  const QString name = qstr(layoutChipHelpName(item_));
  setPlainToolTip(this, name);
  setAccessibleName(name);
  setAccessibleDescription(qstr(layoutChipAccessibilityHint(item_)));
  if (!isFixed()) setCursor(Qt::OpenHandCursor);
  setAttribute(Qt::WA_Hover);
}

void MenuBarLayoutItemView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  if (dragging_) p.setOpacity(kDraggedSourceOpacity);
  const QRectF box = QRectF(rect());
  QPainterPath path;
  path.addRoundedRect(box, kRadius, kRadius);
  p.fillPath(path, isFixed() ? theme::secondary(0.05) : theme::primary(0.04));
  if (hovered_ && isEnabled()) p.fillPath(path, theme::primary(0.04));
  if (pressed_ && !dragging_) p.fillPath(path, theme::primary(0.05));
  const double inset = 0.3;
  QPainterPath border;
  border.addRoundedRect(box.adjusted(inset, inset, -inset, -inset), kRadius - inset, kRadius - inset);
  p.setPen(QPen(theme::primary(0.06), 0.6));
  p.drawPath(border);

  CapturedMenuBarGlyph::paint(p, slot_, glyph_);
  if (isFixed()) {
    // The lock badge: 8-point symbol padded 3 on a regular-material circle, at the glyph's top
    // right, moved 3 right and 3 up.
    const double side = 8 + 2 * 3;
    QRectF badge(slot_.x() + slot_.width() - side + 3, slot_.y() - 3, side, side);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::material(theme::Material::regular));
    p.drawEllipse(badge);
    SymbolCatalog::draw(p, badge.adjusted(3, 3, -3, -3), QStringLiteral("lock.fill"), theme::secondary());
  }
}

void MenuBarLayoutItemView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  pressed_ = true;
  pressPosition_ = event->position().toPoint();
  if (!isFixed()) setCursor(Qt::ClosedHandCursor);
  update();
}

void MenuBarLayoutItemView::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || isFixed() || dragging_) return QWidget::mouseMoveEvent(event);
  if ((event->position().toPoint() - pressPosition_).manhattanLength() < QApplication::startDragDistance()) return;
  startDrag();
}

void MenuBarLayoutItemView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
  pressed_ = false;
  if (!isFixed()) setCursor(Qt::OpenHandCursor);
  update();
  if (rect().contains(event->position().toPoint()) && isFixed() && callbacks_.onFixedTap) callbacks_.onFixedTap();
}

void MenuBarLayoutItemView::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QWidget::enterEvent(event);
}

void MenuBarLayoutItemView::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QWidget::leaveEvent(event);
}

QPixmap MenuBarLayoutItemView::dragPixmap() {
  const bool wasDragging = std::exchange(dragging_, false);
  QPixmap pixmap = grab();
  dragging_ = wasDragging;
  return pixmap;
}

void MenuBarLayoutItemView::startDrag() {
  pressed_ = false;
  const QString payload = QString::number(item_.id);
  auto* mime = new QMimeData;
  mime->setText(payload);
  auto* drag = new QDrag(this);
  drag->setMimeData(mime);
  drag->setPixmap(dragPixmap());
  drag->setHotSpot(pressPosition_);
  dragging_ = true;
  update();
  if (callbacks_.onDragStarted) callbacks_.onDragStarted(payload);
  // Only the draft changes on a drop: the source does nothing for a move.
  QPointer<MenuBarLayoutItemView> self(this);
  auto ended = callbacks_.onDragEnded;
  drag->exec(Qt::MoveAction, Qt::MoveAction);
  if (self) releaseToHostingView(self);
  if (self) {
    self->dragging_ = false;
    self->setCursor(Qt::OpenHandCursor);
    self->update();
  }
  if (ended) ended();
}

}  // namespace vimbo::views
