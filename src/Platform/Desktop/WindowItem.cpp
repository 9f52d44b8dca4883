#include "Platform/Desktop/WindowItem.h"

#include <QGraphicsProxyWidget>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include "Platform/Desktop/Appearance.h"
#include "Platform/Desktop/DesktopPaint.h"
#include "Platform/Desktop/WidgetContent.h"

namespace vimbo::desktop {

namespace {

constexpr double kShadow = 14;
constexpr double kCorner = 10;
const QColor kWindowBackground(0xEC, 0xEC, 0xEC);
const QColor kPopoverBackground(0xF6, 0xF6, 0xF6);
const QColor kTitleInk(0x3C, 0x3C, 0x43);
const QColor kTitleInkInactive(0xA0, 0xA0, 0xA5);
const QColor kClose(0xFF, 0x5F, 0x57);
const QColor kButtonInactive(0xCF, 0xCF, 0xD1);

using platform::windowstyle::closable;
using platform::windowstyle::fullSizeContentView;
using platform::windowstyle::titled;

}  // namespace

WindowItem::WindowItem(const SceneWindow& window) : window_(window), proxy_(new QGraphicsProxyWidget(this)) {
  setAcceptedMouseButtons(Qt::NoButton);  // presses go to the content; the view handles the frame
  update(window);
}

WindowItem::~WindowItem() {
  // The content belongs to its window's content object, not to us.
  if (QWidget* w = proxy_->widget()) {
    proxy_->setWidget(nullptr);
    w->hide();
  }
}

void WindowItem::update(const SceneWindow& window) {
  bool geometry = !(window.frame.size() == window_.frame.size()) || !(window.configuration == window_.configuration);
  if (geometry) prepareGeometryChange();
  window_ = window;
  setPos(window.frame.minX(), window.frame.minY());
  QWidget* content = WidgetContent::widgetOf(window.content);
  if (content != proxy_->widget()) {
    if (QWidget* old = proxy_->widget()) {
      proxy_->setWidget(nullptr);
      old->hide();
    }
    if (content) {
      if (QGraphicsProxyWidget* other = content->graphicsProxyWidget()) other->setWidget(nullptr);
      content->setAttribute(Qt::WA_TranslucentBackground, window.configuration.clearBackground);
      proxy_->setWidget(content);
    }
  }
  placeContent();
  QGraphicsItem::update();
}

QWidget* WindowItem::contentWidget() const { return proxy_->widget(); }

double WindowItem::contentTop() const {
  const platform::WindowConfiguration& c = window_.configuration;
  return c.hasStyle(titled) && !c.hasStyle(fullSizeContentView) ? platform::kTitleBarHeight : 0;
}

void WindowItem::placeContent() {
  proxy_->setPos(0, contentTop());
  QSizeF size(window_.frame.width, window_.frame.height - contentTop());
  if (QWidget* w = proxy_->widget()) {
    w->setMinimumSize(0, 0);
    proxy_->setMinimumSize(size);
    proxy_->setMaximumSize(size);
    proxy_->resize(size);
  }
}

std::optional<Rect> WindowItem::titleBar() const {
  if (!window_.configuration.hasStyle(titled)) return std::nullopt;
  return Rect(window_.frame.minX(), window_.frame.minY(), window_.frame.width, platform::kTitleBarHeight);
}

std::optional<Rect> WindowItem::closeButton() const {
  const platform::WindowConfiguration& c = window_.configuration;
  if (!c.hasStyle(titled) || !c.hasStyle(closable) || c.standardButtonsHidden) return std::nullopt;
  return Rect(window_.frame.minX() + 8, window_.frame.minY() + 8, 12, 12);
}

QRectF WindowItem::boundingRect() const {
  return QRectF(-kShadow, -kShadow / 2, window_.frame.width + 2 * kShadow, window_.frame.height + 2 * kShadow);
}

void WindowItem::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) {
  const platform::WindowConfiguration& c = window_.configuration;
  QRectF frame(0, 0, window_.frame.width, window_.frame.height);
  double corner = window_.popover || c.hasStyle(titled) ? kCorner : 0;
  p->setRenderHint(QPainter::Antialiasing);
  p->setPen(Qt::NoPen);
  if (!c.clearBackground) {
    for (int i = 1; i <= 6; ++i) {  // a soft shadow, deeper below
      p->setBrush(QColor(0, 0, 0, 9));
      p->drawRoundedRect(frame.adjusted(-i * 1.5, -i * 0.5, i * 1.5, i * 2), corner + i, corner + i);
    }
    p->setBrush(window_.popover ? kPopoverBackground : kWindowBackground);
    p->drawRoundedRect(frame, corner, corner);
  }
  if (!c.hasStyle(titled) || c.titlebarTransparent) {
    if (auto close = closeButton()) {
      p->setBrush(kClose);
      p->drawEllipse(qrect(close->offsetBy(-window_.frame.minX(), -window_.frame.minY())));
    }
    return;
  }
  QRectF bar(0, 0, frame.width(), platform::kTitleBarHeight);
  QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
  fill.setColorAt(0, QColor(0xEE, 0xEE, 0xEF));
  fill.setColorAt(1, QColor(0xE2, 0xE2, 0xE4));
  QPainterPath top;
  top.addRoundedRect(bar.adjusted(0, 0, 0, corner), corner, corner);
  p->save();
  p->setClipRect(bar);
  p->fillPath(top, fill);
  p->restore();
  p->fillRect(QRectF(0, bar.bottom() - 0.5, bar.width(), 0.5), QColor(0, 0, 0, 0x28));
  if (!c.standardButtonsHidden) {
    for (int i = 0; i < 3; ++i) {
      bool close = i == 0 && c.hasStyle(closable);
      p->setBrush(close && window_.key ? kClose : kButtonInactive);
      p->drawEllipse(QRectF(8 + 20.0 * i, 8, 12, 12));
    }
  }
  if (!c.titleHidden && !c.title.empty()) {
    p->setPen(window_.key ? kTitleInk : kTitleInkInactive);
    p->setFont(uiFont(13, QFont::DemiBold));
    p->drawText(bar, Qt::AlignCenter, QString::fromStdString(c.title));
  }
}

}  // namespace vimbo::desktop
