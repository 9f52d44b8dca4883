#pragma once
// Content of our windows on the desktop: one Qt widget, laid out in points (one point is one pixel
// of the widget; the desktop scales the whole screen). The content owns its widget.

#include <QPointer>
#include <QWidget>

#include "Platform/Windows.h"

namespace vimbo::desktop {

class WidgetContent : public platform::ViewContent {
 public:
  explicit WidgetContent(QWidget* widget) : widget_(widget) {}
  ~WidgetContent() override { delete widget_.data(); }
  WidgetContent(const WidgetContent&) = delete;
  WidgetContent& operator=(const WidgetContent&) = delete;

  QWidget* widget() const { return widget_.data(); }
  // The widget behind a window's content; null for content that is not a widget.
  static QWidget* widgetOf(const platform::ViewContentRef& content) {
    auto* c = dynamic_cast<WidgetContent*>(content.get());
    return c ? c->widget() : nullptr;
  }

 private:
  QPointer<QWidget> widget_;
};

}  // namespace vimbo::desktop
