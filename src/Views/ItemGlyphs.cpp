#include "Views/ItemGlyphs.h"

#include <cmath>

namespace vimbo {

namespace {

constexpr const char* kClockWindowName = "Clock";
constexpr const char* kClockSymbol = "clock";
constexpr const char* kNoImageSymbol = "circle.grid.2x2.fill";

GlyphContent symbol(const char* name, int size) {
  return {name, size, SymbolWeight::medium, nullptr, GlyphTint::secondary};
}

}  // namespace

GlyphContent capturedMenuBarGlyph(const CapturedMenuBarItem& item) {
  if (item.windowName == kClockWindowName) return symbol(kClockSymbol, 16);
  if (!item.image) return symbol(kNoImageSymbol, 16);
  GlyphContent content;
  content.image = item.image;
  content.tint = item.image->isTemplate() ? GlyphTint::primary : GlyphTint::original;
  return content;
}

GlyphContent managerTileGlyph(const CapturedMenuBarItem& item) {
  if (item.windowName == kClockWindowName) return symbol(kClockSymbol, 14);
  if (!item.image) return symbol(kNoImageSymbol, 18);
  GlyphContent content;
  content.image = item.image;
  if (item.image->isTemplate()) content.tint = item.isCollected ? GlyphTint::secondary : GlyphTint::accent;
  return content;
}

Rect centredImageRect(Size slot, Size image) {
  double x = std::floor((slot.width - image.width) / 2);
  double y = std::floor((slot.height - image.height) / 2);
  return Rect{x, y, image.width, image.height};
}

}  // namespace vimbo
