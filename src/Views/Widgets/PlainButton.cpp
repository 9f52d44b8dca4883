#include "Views/Widgets/PlainButton.h"

#include <QFontMetrics>
#include <QPainter>

#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

PlainButton::PlainButton(QWidget* parent) : QAbstractButton(parent), foreground_(theme::secondary()) {
  setFont(views::font(TextStyle::body));
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_Hover);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setSymbol(const QString& name, int size) {
  symbol_ = name;
  symbolSize_ = size;
  updateGeometry();
  update();
}

void PlainButton::setTextFont(const QFont& f) {
  setFont(f);
  updateGeometry();
}

void PlainButton::setForeground(const QColor& color) {
  foreground_ = color;
  update();
}

void PlainButton::setBackground(const QColor& fill, double radius) {
  background_ = fill;
  radius_ = radius;
  update();
}

void PlainButton::setBordered(bool bordered) {
  bordered_ = bordered;
  if (bordered) {
    paddingX_ = 9;
    paddingY_ = 2;
    radius_ = 5;
  }
  updateGeometry();
  update();
}

void PlainButton::setPadding(int horizontal, int vertical) {
  paddingX_ = horizontal;
  paddingY_ = vertical;
  updateGeometry();
}

void PlainButton::setSpacing(int spacing) {
  spacing_ = spacing;
  updateGeometry();
}

void PlainButton::setDisabledOpacity(double opacity) {
  disabledOpacity_ = opacity;
  update();
}

void PlainButton::setPlainToolTip(const QString& text) { views::setPlainToolTip(this, text); }

void PlainButton::setBoxSize(QSize size) {
  boxSize_ = size;
  setFixedSize(size);
  updateGeometry();
}

QSize PlainButton::contentSize() const {
  QFontMetrics fm(font());
  int w = 0;
  int h = 0;
  if (!symbol_.isEmpty()) {
    w = symbolSize_;
    h = symbolSize_;
  }
  if (!text().isEmpty()) {
    if (w > 0) w += spacing_;
    w += fm.horizontalAdvance(text());
    h = std::max(h, fm.height());
  }
  return {w, h};
}

QSize PlainButton::sizeHint() const {
  if (boxSize_.isValid()) return boxSize_;
  return contentSize() + QSize(2 * paddingX_, 2 * paddingY_);
}

void PlainButton::enterEvent(QEnterEvent* e) {
  update();
  QAbstractButton::enterEvent(e);
}

void PlainButton::leaveEvent(QEvent* e) {
  update();
  QAbstractButton::leaveEvent(e);
}

void PlainButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  if (!isEnabled()) p.setOpacity(disabledOpacity_);
  QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(Qt::NoPen);
  if (bordered_) {
    p.setBrush(theme::controlBackground());
    p.setPen(QPen(theme::primary(0.18), 0.5));
    p.drawRoundedRect(box, radius_, radius_);
    p.setPen(Qt::NoPen);
  } else if (background_.isValid()) {
    p.setBrush(background_);
    p.drawRoundedRect(QRectF(rect()), radius_, radius_);
  }
  bool pressed = isDown() && isEnabled();
  if (isEnabled() && (underMouse() || pressed)) {
    p.setBrush(theme::primary(pressed ? 0.12 : 0.07));
    p.drawRoundedRect(QRectF(rect()), radius_, radius_);
  }
  if (pressed) p.setOpacity(p.opacity() * 0.55);  // dimmed while held

  QSize content = contentSize();
  int x = (width() - content.width()) / 2;
  int cy = height() / 2;
  if (!symbol_.isEmpty()) {
    SymbolCatalog::draw(p, QRectF(x, cy - symbolSize_ / 2.0, symbolSize_, symbolSize_), symbol_, foreground_);
    x += symbolSize_ + spacing_;
  }
  if (!text().isEmpty()) {
    QFontMetrics fm(font());
    p.setFont(font());
    p.setPen(foreground_);
    int baseline = cy + (fm.ascent() - fm.descent()) / 2;
    p.drawText(QPoint(x, baseline), text());
  }
}

}  // namespace vimbo::views
