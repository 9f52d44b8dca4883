#include "Views/Widgets/TextLabel.h"

#include <QFontMetrics>
#include <QPainter>

#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

TextLabel::TextLabel(const QString& text, const QFont& f, const QColor& color, QWidget* parent)
    : QWidget(parent), text_(text), color_(color) {
  setFont(f);
  setAccessibleName(text);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TextLabel::setText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  setAccessibleName(text);
  updateGeometry();
  update();
}

QString TextLabel::displayedText() const {
  QString line = text_;
  for (QChar& c : line) {
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
      c = QLatin1Char(' ');  // one line, always
  }
  return elided(line, font(), width());
}

void TextLabel::setColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void TextLabel::setTextFont(const QFont& f) {
  setFont(f);
  updateGeometry();
  update();
}

void TextLabel::setAlignment(Qt::Alignment alignment) {
  alignment_ = alignment;
  update();
}

QSize TextLabel::sizeHint() const {
  QFontMetrics fm(font());
  return {fm.horizontalAdvance(text_) + 1, fm.height()};
}

QSize TextLabel::minimumSizeHint() const {
  QFontMetrics fm(font());
  return {0, fm.height()};
}

void TextLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QFontMetrics fm(font());
  QString shown = displayedText();
  int textWidth = fm.horizontalAdvance(shown);
  int x = 0;
  if (alignment_ & Qt::AlignHCenter) x = (width() - textWidth) / 2;
  else if (alignment_ & Qt::AlignRight) x = width() - textWidth;
  int baseline = (height() - fm.height()) / 2 + fm.ascent();
  if (alignment_ & Qt::AlignTop) baseline = fm.ascent();
  else if (alignment_ & Qt::AlignBottom) baseline = height() - fm.descent();
  p.setFont(font());
  p.setPen(color_);
  p.drawText(QPoint(x, baseline), shown);
}

}  // namespace vimbo::views
