#include "Views/Widgets/Spinner.h"

#include <QPainter>

#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

Spinner::Spinner(int diameter, QWidget* parent) : QWidget(parent) {
  setFixedSize(diameter, diameter);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  turn_.setStartValue(0.0);
  turn_.setEndValue(360.0);
  turn_.setDuration(900);
  turn_.setLoopCount(-1);
  connect(&turn_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
    angle_ = v.toReal();
    update();
  });
}

void Spinner::showEvent(QShowEvent*) {
  if (motion::enabled()) turn_.start();
}

void Spinner::hideEvent(QHideEvent*) { turn_.stop(); }

void Spinner::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  double width = std::max(1.5, this->width() / 8.0);
  QRectF box = QRectF(rect()).adjusted(width / 2 + 0.5, width / 2 + 0.5, -width / 2 - 0.5, -width / 2 - 0.5);
  p.setPen(QPen(theme::quaternary(1.2), width));
  p.drawEllipse(box);
  QPen arc(theme::secondary(), width, Qt::SolidLine, Qt::RoundCap);
  p.setPen(arc);
  // Qt counts angles counter-clockwise in 1/16 degrees; the arc turns clockwise.
  p.drawArc(box, int((90 - angle_) * 16), int(-100 * 16));
}

}  // namespace vimbo::views
