#include "Views/Widgets/SettingsAlert.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "Views/Widgets/SettingsPanels.h"
#include "Views/Widgets/Surfaces.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kCardWidth = 300;

}  // namespace

SettingsAlert::SettingsAlert(std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent), onDismiss_(std::move(onDismiss)) {
  setFocusPolicy(Qt::StrongFocus);
  card_ = roundedPanel(theme::material(theme::Material::regular, 1 / 0.95), 12, theme::primary(0.12), 1, this);
  auto* column = new QVBoxLayout(card_);
  column->setContentsMargins(20, 20, 20, 16);
  column->setSpacing(10);
  auto* title = plainLabel(QStringLiteral("Vimbo"), views::font(TextStyle::body, SymbolWeight::bold), theme::primary(), card_);
  title->setAlignment(Qt::AlignCenter);
  column->addWidget(title);
  message_ = wrappingLabel({}, views::font(TextStyle::callout), theme::primary(), card_);
  message_->setAlignment(Qt::AlignCenter);
  message_->setTextInteractionFlags(Qt::NoTextInteraction);
  column->addWidget(message_);
  column->addSpacing(4);
  ok_ = new QPushButton(QStringLiteral("好"), card_);
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
  column->addWidget(ok_);
  card_->setFixedWidth(kCardWidth);
  hide();
}

void SettingsAlert::present(const std::optional<QString>& message) {
  if (!message) {
    const bool hadFocus = isAncestorOf(QApplication::focusWidget()) || hasFocus();
    hide();
    if (hadFocus && parentWidget()) parentWidget()->setFocus();
    return;
  }
  message_->setText(*message);
  place();
  show();
  raise();
  ok_->setFocus();
}

QString SettingsAlert::message() const { return isHidden() ? QString() : message_->text(); }

void SettingsAlert::paintEvent(QPaintEvent*) {
  // The content under the card is dimmed and takes no input.
  QPainter(this).fillRect(rect(), theme::black(0.18));
}

void SettingsAlert::resizeEvent(QResizeEvent* event) {
  place();
  QWidget::resizeEvent(event);
}

void SettingsAlert::place() {
  card_->adjustSize();
  const QSize size(kCardWidth, card_->heightForWidth(kCardWidth) > 0 ? card_->heightForWidth(kCardWidth)
                                                                      : card_->sizeHint().height());
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

bool SettingsAlert::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ok_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (onDismiss_) onDismiss_();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

// Tab stays on the card.
bool SettingsAlert::focusNextPrevChild(bool) {
  ok_->setFocus();
  return true;
}

}  // namespace vimbo::views
