#pragma once
// One item's menu-bar picture, or a symbol in its place, in a slot of the caller's width and 29
// points high. The picture is drawn at its own point size, centred and cut at the slot's edges.

#include <QWidget>

#include "Models/CapturedMenuBarItem.h"
#include "Views/ItemGlyphs.h"

namespace vimbo::views {

class CapturedMenuBarGlyph : public QWidget {
  Q_OBJECT

 public:
  CapturedMenuBarGlyph(const CapturedMenuBarItem& item, double slotWidth, QWidget* parent = nullptr);

  void setItem(const CapturedMenuBarItem& item);
  const GlyphContent& content() const { return content_; }

  // Draws `content` into `slot`, clipped to it on whole pixels.
  static void paint(QPainter& painter, const QRect& slot, const GlyphContent& content);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  GlyphContent content_;
};

}  // namespace vimbo::views
