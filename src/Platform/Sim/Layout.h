#pragma once
// The status-item layout of the menu bar: one ordered list laid out right-aligned from the right
// edge of the menu-bar screen, fixed items at the far right, and the drop rule of a Command-drag.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "Platform/Foundation/Geometry.h"

namespace vimbo::sim {

using ItemKey = uint64_t;  // a status item's serial within the world (stable across window numbers)

struct BarEntry {
  ItemKey key = 0;
  double width = 0;
  friend bool operator==(const BarEntry&, const BarEntry&) = default;
};

// The bar as a list of operations sees it. nonFixed and fixed are both left to right.
struct BarState {
  std::vector<BarEntry> nonFixed;
  std::vector<BarEntry> fixed;

  bool contains(ItemKey key) const;
  std::optional<double> width(ItemKey key) const;
  bool setWidth(ItemKey key, double width);
  bool remove(ItemKey key);  // false when absent
  // Inserts (or moves) key immediately left of `before`; with no `before` (or one that is not in
  // the list) immediately left of the fixed items.
  void insertBefore(BarEntry entry, std::optional<ItemKey> before);
  void insertAtLeftEnd(BarEntry entry);
  std::optional<ItemKey> rightNeighbour(ItemKey key) const;  // none: the key is rightmost non-fixed
  int indexOf(ItemKey key) const;                            // -1 when absent
};

struct BarGeometry {
  double rightEdge = 0;  // window-server x of the menu bar's right end
  double top = 0;        // window-server y of the menu bar's top
  double height = 24;
  double spacing = 0;
};

// Frames of every entry, window-server coordinates.
std::map<ItemKey, Rect> layoutFrames(const BarState& state, const BarGeometry& geometry);

// Where a drop at x lands, resolved against the frames at mouse-down: the item goes immediately
// left of the returned key, or left of the fixed items when none. Candidates are the non-fixed
// items other than the dragged one, left to right.
std::optional<ItemKey> resolveDrop(const BarState& state, const std::map<ItemKey, Rect>& framesAtMouseDown,
                                   ItemKey dragged, double dropX);

// The insertion point `slots` places further left (positive) or right (negative) of `before`,
// in the list without the dragged item.
std::optional<ItemKey> shiftDrop(const BarState& state, ItemKey dragged, std::optional<ItemKey> before, int slots);

}  // namespace vimbo::sim
