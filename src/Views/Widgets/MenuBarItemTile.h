#pragma once
// One captured item in the manager's wells. The whole tile is the mouse target and nothing inside
// it takes the mouse: a left press runs the left action and a right press the right action, at
// the press (also the first press into an inactive window); release, drag and other buttons do
// nothing, and no context menu opens. A double click gives two actions, as two presses do.
// While a button is held the tile shows a pressed look (accent fill, slightly smaller).

#include <QVariantAnimation>
#include <QWidget>
#include <functional>

#include "Views/MenuBarPanelModel.h"

namespace vimbo::views {

class MenuBarItemTile : public QWidget {
  Q_OBJECT

 public:
  static constexpr int tileHeight = 58;

  explicit MenuBarItemTile(QWidget* parent = nullptr);

  // Every update of the panel replaces the model and the actions, so a press runs the newest.
  void setModel(const ManagerTileModel& model);
  void setActions(std::function<void()> left, std::function<void()> right);
  const ManagerTileModel& model() const { return model_; }
  // 0 at rest, 1 fully pressed.
  qreal pressedLook() const { return pressed_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void animatePress(bool down);

  ManagerTileModel model_;
  std::function<void()> left_;
  std::function<void()> right_;
  qreal pressed_ = 0;
  QVariantAnimation pressAnimation_;
};

}  // namespace vimbo::views
