#include "Views/Widgets/Surfaces.h"

#include <QPainter>
#include <QVBoxLayout>

#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/TextLabel.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

FilledBox::FilledBox(const QColor& fill, double radius, QWidget* parent)
    : QWidget(parent), fill_(fill), radius_(radius) {}

void FilledBox::setFill(const QColor& fill) {
  if (fill == fill_) return;
  fill_ = fill;
  update();
}

void FilledBox::setStroke(const QColor& color, double width) {
  stroke_ = color;
  strokeWidth_ = width;
  update();
}

void FilledBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(fill_);
  p.drawRoundedRect(QRectF(rect()), radius_, radius_);
  if (stroke_.isValid() && strokeWidth_ > 0) {
    double inset = strokeWidth_ / 2;
    p.setPen(QPen(stroke_, strokeWidth_));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), radius_ - inset, radius_ - inset);
  }
}

Divider::Divider(double opacity, QWidget* parent) : QWidget(parent), opacity_(opacity) {
  setFixedHeight(1);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), theme::quaternary(opacity_));
}

NoticeBox::NoticeBox(const QString& text, int minimumHeight, QWidget* parent)
    : FilledBox(theme::quaternary(0.35), 10, parent) {
  setMinimumHeight(minimumHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 6, 10, 6);
  label_ = new TextLabel(text, views::font(TextStyle::caption), theme::tertiary(), this);
  label_->setAlignment(Qt::AlignCenter);
  layout->addWidget(label_);
}

UnavailableContent::UnavailableContent(const QString& symbol, const QString& title, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(10);
  layout->addStretch(1);
  auto* icon = new SymbolView(symbol, 36, theme::secondary(), this);
  layout->addWidget(icon, 0, Qt::AlignHCenter);
  title_ = new TextLabel(title, views::font(TextStyle::title2, SymbolWeight::bold), theme::secondary(), this);
  title_->setAlignment(Qt::AlignCenter);
  layout->addWidget(title_);
  layout->addStretch(1);
}

}  // namespace vimbo::views
