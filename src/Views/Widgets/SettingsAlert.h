#pragma once
// The settings window's alert: a modal card over the dimmed content while the store holds a
// failure sentence. Our windows are drawn inside the desktop window, so the alert is drawn inside
// the settings content rather than as a window of its own. While it shows, it takes every click
// and key of the content; "好", Return and Escape dismiss it, which clears the sentence.

#include <QWidget>
#include <functional>
#include <optional>

#include "Views/Widgets/Surfaces.h"

class QLabel;
class QPushButton;

namespace vimbo::views {

// The alert's card, which Vimbo's message boxes show too: a bold heading, the message under it
// (plain text, never markup; a long path breaks at one of its separators) and the blue "好", which
// dismisses it, as Return, Enter and Escape on it do.
class AlertCard : public FilledBox {
 public:
  AlertCard(int width, std::function<void()> onDismiss, QWidget* parent = nullptr);

  // An empty message shows the heading alone.
  void setText(const QString& heading, const QString& message);
  QString heading() const;
  QString message() const { return message_; }
  QPushButton* okButton() const { return ok_; }
  static constexpr double kRadius = 12;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> onDismiss_;
  int column_;  // the text's width
  QLabel* heading_ = nullptr;
  QLabel* messageLabel_ = nullptr;
  QString message_;
  QPushButton* ok_ = nullptr;
};

class SettingsAlert : public QWidget {
 public:
  SettingsAlert(std::function<void()> onDismiss, QWidget* parent);

  // Shows the text (plain, never markup) or, with none, hides the card.
  void present(const std::optional<QString>& message);
  QString message() const;
  QPushButton* okButton() const { return card_->okButton(); }
  QWidget* card() const { return card_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void place();

  std::function<void()> onDismiss_;
  AlertCard* card_ = nullptr;
};

}  // namespace vimbo::views
