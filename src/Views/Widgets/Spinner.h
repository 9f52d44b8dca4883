#pragma once
// A small indeterminate progress indicator: a painted arc that turns while the spinner is shown.
// Hidden, or with motion off, it runs no animation, so it costs nothing while idle and holds
// still in screenshots.

#include <QVariantAnimation>
#include <QWidget>

namespace vimbo::views {

class Spinner : public QWidget {
  Q_OBJECT

 public:
  explicit Spinner(int diameter = 16, QWidget* parent = nullptr);
  bool isSpinning() const { return turn_.state() == QAbstractAnimation::Running; }
  qreal angle() const { return angle_; }

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;
  void paintEvent(QPaintEvent*) override;

 private:
  QVariantAnimation turn_;
  qreal angle_ = 0;
};

}  // namespace vimbo::views
