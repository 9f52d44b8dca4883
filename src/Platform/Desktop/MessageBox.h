#pragma once
// Vimbo's message box, for every report a person must see: the settings window's alert card (the
// sentence in bold, the detail under it, the blue "好") as a window of its own, since a report can
// come before there is a desktop window to draw it in. The window has the card's shape and no
// frame. "好", Return, Enter and Escape close it; Command-Q (Ctrl+Q) quits Vimbo from it as it does
// from the desktop.

#include <QDialog>
#include <functional>

class QPushButton;

namespace vimbo::views {
class AlertCard;
}

namespace vimbo::desktop {

class MessageBox : public QDialog {
 public:
  MessageBox(const QString& text, const QString& detail, QWidget* parent = nullptr);

  QString text() const;
  QString detail() const;
  QPushButton* okButton() const;
  // What Command-Q does here. Before Vimbo runs there is nothing else to end: the box closes, which
  // is the default; over the desktop it is the desktop's own quit.
  void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  views::AlertCard* card_;
  std::function<void()> quit_;
};

// The box, modal; returns once it closed.
void showMessageBox(const QString& text, const QString& detail = {});
// The same box, not yet shown, for a caller that shows it without waiting (the caller owns it).
MessageBox* newMessageBox(const QString& text, const QString& detail = {}, QWidget* parent = nullptr);

}  // namespace vimbo::desktop
