#include "Views/Widgets/Toast.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kPaddingX = 14;
constexpr int kPaddingY = 8;
constexpr int kShadowRoom = 12;  // around the capsule, for the shadow
constexpr double kShadowRadius = 8;
constexpr double kShadowDown = 3;

QFont toastFont() { return font(12, SymbolWeight::medium); }

}  // namespace

Toast::Toast(async::Executor& executor, ToastStyle style, QWidget* parent)
    : Toast(std::make_shared<TransientMessage>(executor), style, parent) {}

Toast::Toast(std::shared_ptr<TransientMessage> message, ToastStyle style, QWidget* parent)
    : QWidget(parent), style_(style), message_(std::move(message)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  hide();
  animation_.setStartValue(0.0);
  animation_.setEndValue(1.0);
  connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) { setPresence(v.toReal()); });
  connect(&animation_, &QVariantAnimation::finished, this, [this] {
    if (leaving_) hide();
  });
  message_->setOnChange([this](const std::optional<std::string>& text) { present(text); });
  parent->installEventFilter(this);
}

Toast::~Toast() { message_->setOnChange(nullptr); }

void Toast::showMessage(const QString& text) { message_->show(text.toStdString()); }

QString Toast::message() const { return message_->text() ? qstr(*message_->text()) : QString(); }

qreal Toast::offset() const { return (1 - presence_) * (style_.bottomDistance + capsuleSize().height()); }

void Toast::present(const std::optional<std::string>& text) {
  animation_.stop();
  if (text) {
    text_ = qstr(*text);
    setAccessibleName(text_);
    leaving_ = false;
    show();
    raise();
    place();
    update();
    if (presence_ >= 1) return;  // already up: the new text replaces the old one at once
    animation_.setStartValue(presence_);
    animation_.setEndValue(1.0);
    motion::run(animation_, 0.16, motion::easeOut());
  } else {
    leaving_ = true;
    animation_.setStartValue(presence_);
    animation_.setEndValue(0.0);
    motion::run(animation_, 0.18, motion::easeIn());
  }
}

void Toast::setPresence(qreal presence) {
  presence_ = presence;
  place();
  update();
}

QSize Toast::capsuleSize() const {
  QFontMetrics fm(toastFont());
  return {fm.horizontalAdvance(text_) + 2 * kPaddingX, fm.height() + 2 * kPaddingY};
}

void Toast::place() {
  QWidget* host = parentWidget();
  if (!host) return;
  QSize capsule = capsuleSize();
  QSize outer = capsule + QSize(2 * kShadowRoom, 2 * kShadowRoom);
  int x = (host->width() - capsule.width()) / 2 - kShadowRoom;
  double capsuleTop = host->height() - style_.bottomDistance - capsule.height() + offset();
  setGeometry(QRect(QPoint(x, int(std::lround(capsuleTop)) - kShadowRoom), outer));
}

bool Toast::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) place();
  return QWidget::eventFilter(watched, event);
}

void Toast::paintEvent(QPaintEvent*) {
  if (presence_ <= 0 || text_.isEmpty()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setOpacity(std::clamp(presence_, 0.0, 1.0));
  QRectF capsule(kShadowRoom, kShadowRoom, width() - 2 * kShadowRoom, height() - 2 * kShadowRoom);
  double radius = capsule.height() / 2;
  // A soft shadow from a few widening capsules, as dark in sum as the style asks.
  p.setPen(Qt::NoPen);
  constexpr int layers = 6;
  for (int i = layers; i >= 1; --i) {
    double spread = kShadowRadius * i / layers;
    QRectF r = capsule.adjusted(-spread, -spread, spread, spread).translated(0, kShadowDown);
    p.setBrush(theme::black(style_.shadowOpacity / layers));
    p.drawRoundedRect(r, radius + spread, radius + spread);
  }
  p.setBrush(theme::material(theme::Material::regular));
  p.drawRoundedRect(capsule, radius, radius);
  QPen stroke(theme::white(style_.strokeOpacity), 0.5);
  p.setPen(stroke);
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(capsule.adjusted(0.25, 0.25, -0.25, -0.25), radius - 0.25, radius - 0.25);
  p.setPen(theme::primary());
  p.setFont(toastFont());
  p.drawText(capsule.toAlignedRect(), Qt::AlignCenter, text_);
}

}  // namespace vimbo::views
