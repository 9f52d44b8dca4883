#include "Views/Widgets/CapturedMenuBarGlyph.h"

#include <QPainter>
#include <cmath>

#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

CapturedMenuBarGlyph::CapturedMenuBarGlyph(const CapturedMenuBarItem& item, double slotWidth, QWidget* parent)
    : QWidget(parent), content_(capturedMenuBarGlyph(item)) {
  setFixedSize(int(std::lround(slotWidth)), int(kGlyphSlotHeight));
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CapturedMenuBarGlyph::setItem(const CapturedMenuBarItem& item) {
  content_ = capturedMenuBarGlyph(item);
  update();
}

void CapturedMenuBarGlyph::paint(QPainter& painter, const QRect& slot, const GlyphContent& content) {
  painter.save();
  painter.setClipRect(slot);  // an integer rectangle: no soft edge
  if (content.isSymbol()) {
    QRectF box(0, 0, content.symbolSize, content.symbolSize);
    box.moveCenter(QRectF(slot).center());
    SymbolCatalog::draw(painter, box, qstr(content.symbol), theme::color(content.tint));
  } else {
    QSizeF size = pointSize(*content.image);
    Rect r = centredImageRect(Size{double(slot.width()), double(slot.height())}, Size{size.width(), size.height()});
    drawImage(painter, *content.image, QPointF(slot.x() + r.x, slot.y() + r.y), theme::color(content.tint));
  }
  painter.restore();
}

void CapturedMenuBarGlyph::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paint(p, rect(), content_);
}

}  // namespace vimbo::views
