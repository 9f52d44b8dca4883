#pragma once
// The layout editor's chip without a widget: its widths from the item's width in the real bar,
// the name it gives for tool tips and accessibility, and the fixed-item rules.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Models/CapturedMenuBarItem.h"
#include "Views/FixedItemRefusal.h"

namespace vimbo {

struct LayoutChipMetrics {
  double slotWidth = 0;  // the glyph's slot
  double chipWidth = 0;  // always 14 wider than the slot
  static constexpr double height = 50;
};

LayoutChipMetrics layoutChipMetrics(const CapturedMenuBarItem& item);

// The trimmed name, unless it names no item (empty, "Item-0" or a piece of an identity); then a
// name for the fixed items or a generic one.
std::string layoutChipHelpName(const CapturedMenuBarItem& item);
std::string_view layoutChipAccessibilityHint(const CapturedMenuBarItem& item);

// A drag payload: an optional "+", then only ASCII digits, at most 4294967295; "-" only before a
// value of 0. Nothing else is a window number (no blanks, no decimal point).
std::optional<std::uint32_t> parseLayoutDropPayload(std::string_view payload);

}  // namespace vimbo
