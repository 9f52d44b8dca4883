#include "Platform/Desktop/MessageBox.h"

#include <QKeyEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QRegion>
#include <QVBoxLayout>
#include <memory>

#include "Views/Widgets/SettingsAlert.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::desktop {

namespace {

constexpr int kCardWidth = 420;  // a path of a few folders fits on a line

}  // namespace

MessageBox::MessageBox(const QString& text, const QString& detail, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setWindowTitle(QStringLiteral("Vimbo"));
  // Under the card's rounded edge, the card's own fill: the shape cuts it without a fringe.
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, views::theme::material(views::theme::Material::regular, 1 / 0.95));
  setPalette(palette);
  setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  card_ = new views::AlertCard(kCardWidth, [this] { accept(); }, this);
  card_->setText(text, detail);
  layout->addWidget(card_);
  card_->okButton()->setFocus();
}

QString MessageBox::text() const { return card_->heading(); }
QString MessageBox::detail() const { return card_->message(); }
QPushButton* MessageBox::okButton() const { return card_->okButton(); }

void MessageBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Q && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
    if (quit_) quit_();
    else reject();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MessageBox::resizeEvent(QResizeEvent* event) {
  QPainterPath card;
  card.addRoundedRect(QRectF(rect()), views::AlertCard::kRadius, views::AlertCard::kRadius);
  setMask(QRegion(card.toFillPolygon().toPolygon()));
  QDialog::resizeEvent(event);
}

MessageBox* newMessageBox(const QString& text, const QString& detail, QWidget* parent) {
  return new MessageBox(text, detail, parent);
}

void showMessageBox(const QString& text, const QString& detail) {
  std::unique_ptr<MessageBox> box(newMessageBox(text, detail));
  box->exec();
}

}  // namespace vimbo::desktop
