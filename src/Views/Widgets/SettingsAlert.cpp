#include "Views/Widgets/SettingsAlert.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kCardWidth = 300;
constexpr int kCardMargin = 20;

}  // namespace

AlertCard::AlertCard(int width, std::function<void()> onDismiss, QWidget* parent)
    : FilledBox(theme::material(theme::Material::regular, 1 / 0.95), kRadius, parent),
      onDismiss_(std::move(onDismiss)),
      column_(width - 2 * kCardMargin) {
  setStroke(theme::primary(0.12), 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kCardMargin, kCardMargin, kCardMargin, 16);
  layout->setSpacing(10);
  heading_ = plainLabel({}, views::font(TextStyle::body, SymbolWeight::bold), theme::primary(), this);
  heading_->setAlignment(Qt::AlignCenter);
  layout->addWidget(heading_);
  // Broken into lines here rather than by the label, which would break a path anywhere.
  messageLabel_ = plainLabel({}, views::font(TextStyle::callout), theme::primary(), this);
  messageLabel_->setAlignment(Qt::AlignCenter);
  messageLabel_->setTextInteractionFlags(Qt::NoTextInteraction);
  layout->addWidget(messageLabel_);
  layout->addSpacing(4);
  ok_ = new QPushButton(QStringLiteral("好"), this);
  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  ok_->setFont(views::font(TextStyle::body, SymbolWeight::medium));
  ok_->setStyleSheet(QStringLiteral(
      "QPushButton { background: #007AFF; color: white; border: none; border-radius: 6px; padding: 5px 12px; }"
      "QPushButton:hover { background: #1A88FF; }"
      "QPushButton:pressed { background: #0062CC; }"));
  ok_->installEventFilter(this);
  connect(ok_, &QPushButton::clicked, this, [this] {
    if (onDismiss_) onDismiss_();
  });
  layout->addWidget(ok_);
  setFixedWidth(width);
}

void AlertCard::setText(const QString& heading, const QString& message) {
  heading_->setText(brokenLines(heading, heading_->font(), column_).join(QLatin1Char('\n')));
  message_ = message;
  messageLabel_->setText(brokenLines(message, messageLabel_->font(), column_).join(QLatin1Char('\n')));
  messageLabel_->setVisible(!message.isEmpty());
  adjustSize();
}

QString AlertCard::heading() const { return heading_->text(); }

bool AlertCard::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ok_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (onDismiss_) onDismiss_();
      return true;
    }
  }
  return FilledBox::eventFilter(watched, event);
}

SettingsAlert::SettingsAlert(std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent), onDismiss_(std::move(onDismiss)) {
  setFocusPolicy(Qt::StrongFocus);
  card_ = new AlertCard(kCardWidth, [this] {
    if (onDismiss_) onDismiss_();
  }, this);
  hide();
}

void SettingsAlert::present(const std::optional<QString>& message) {
  if (!message) {
    const bool hadFocus = isAncestorOf(QApplication::focusWidget()) || hasFocus();
    hide();
    if (hadFocus && parentWidget()) parentWidget()->setFocus();
    return;
  }
  card_->setText(QStringLiteral("Vimbo"), *message);
  place();
  show();
  raise();
  card_->okButton()->setFocus();
}

QString SettingsAlert::message() const { return isHidden() ? QString() : card_->message(); }

void SettingsAlert::paintEvent(QPaintEvent*) {
  // The content under the card is dimmed and takes no input.
  QPainter(this).fillRect(rect(), theme::black(0.18));
}

void SettingsAlert::resizeEvent(QResizeEvent* event) {
  place();
  QWidget::resizeEvent(event);
}

void SettingsAlert::place() {
  const QSize size(kCardWidth, card_->sizeHint().height());
  card_->setGeometry(QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size));
}

void SettingsAlert::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      if (onDismiss_) onDismiss_();
      return;
    default:
      // Nothing reaches the content while the alert shows.
      event->accept();
  }
}

// Tab stays on the card.
bool SettingsAlert::focusNextPrevChild(bool) {
  card_->okButton()->setFocus();
  return true;
}

}  // namespace vimbo::views
