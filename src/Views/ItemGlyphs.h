#pragma once
// What an item's glyph shows, decided without drawing: the shared glyph of search rows and
// layout chips, and the manager tile's own glyph. The widgets only paint what these say.

#include <string>

#include "Models/CapturedMenuBarItem.h"

namespace vimbo {

// The views' colour roles; a symbol or a template image takes one, a coloured image keeps its own.
enum class GlyphTint { primary, secondary, accent, original };
enum class SymbolWeight { regular, medium, semibold, bold };

struct GlyphContent {
  // A symbol when `image` is null.
  std::string symbol;
  int symbolSize = 0;
  SymbolWeight symbolWeight = SymbolWeight::regular;
  platform::ImageRef image;
  GlyphTint tint = GlyphTint::original;

  bool isSymbol() const { return image == nullptr; }
};

inline constexpr double kGlyphSlotHeight = 29;

// Search rows, quick-search rows and layout chips: the clock symbol for "Clock" (even with a
// picture), four dots without a picture, else the picture (a template one in the primary colour).
GlyphContent capturedMenuBarGlyph(const CapturedMenuBarItem& item);

// The manager's tile: the clock symbol, else the picture (a template one secondary when
// collected, accent otherwise), else four dots.
GlyphContent managerTileGlyph(const CapturedMenuBarItem& item);

// The picture's rectangle in a slot: its own point size, centred, its origin on whole points so
// it stays crisp. It may reach outside the slot; the caller clips to the slot.
Rect centredImageRect(Size slot, Size image);

}  // namespace vimbo
