#pragma once
// The settings window's alert: a modal card over the dimmed content while the store holds a
// failure sentence. Our windows are drawn inside the desktop window, so the alert is drawn inside
// the settings content rather than as a window of its own. While it shows, it takes every click
// and key of the content; "好", Return and Escape dismiss it, which clears the sentence.

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace vimbo::views {

class SettingsAlert : public QWidget {
 public:
  SettingsAlert(std::function<void()> onDismiss, QWidget* parent);

  // Shows the text (plain, never markup) or, with none, hides the card.
  void present(const std::optional<QString>& message);
  QString message() const;
  QPushButton* okButton() const { return ok_; }
  QWidget* card() const { return card_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void place();

  std::function<void()> onDismiss_;
  QWidget* card_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace vimbo::views
