#pragma once
// Small lookups and geometry tests the item operations share.

#include <cstdint>

#include "App/AppDelegate.h"

namespace vimbo::operation_support {

// The first captured entry with the window number; null when none. Invalidated by any change of
// the captured list.
inline const CapturedMenuBarItem* capturedItem(const MenuBarStore& store, uint32_t windowID) {
  for (const auto& item : store.capturedSystemItems.get()) {
    if (item.id == windowID) return &item;
  }
  return nullptr;
}

// Pin and collect judge an item whose window cannot be read by what the store last saw.
inline bool standsVisible(const MenuBarSnapshot& bar, const CapturedMenuBarItem& item) {
  return bar.isShown(item.id).value_or(!item.isCollected);
}

}  // namespace vimbo::operation_support
