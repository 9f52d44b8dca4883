#pragma once
// One of our windows on the desktop: its frame (shadow, background, title bar with title and
// buttons) and its content widget, embedded at the content's place. Positioned in world points;
// the view scales the whole desktop.

#include <QGraphicsItem>
#include <QPointer>

#include "Platform/Desktop/DesktopScene.h"

class QGraphicsProxyWidget;

namespace vimbo::desktop {

class WindowItem : public QGraphicsItem {
 public:
  explicit WindowItem(const SceneWindow& window);
  ~WindowItem() override;

  // Takes the window's latest frame, configuration, key state and content.
  void update(const SceneWindow& window);
  platform::WindowHandle handle() const { return window_.handle; }
  const SceneWindow& window() const { return window_; }
  QWidget* contentWidget() const;
  QGraphicsProxyWidget* proxy() const { return proxy_; }

  // In world points: the strip a person drags the window by, and the close button.
  std::optional<Rect> titleBar() const;
  std::optional<Rect> closeButton() const;

  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  double contentTop() const;
  void placeContent();

  SceneWindow window_;
  QGraphicsProxyWidget* proxy_;  // a child item
  QPointer<QWidget> embedded_;
};

}  // namespace vimbo::desktop
