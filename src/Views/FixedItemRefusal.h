#pragma once
// What a fixed item says when a person tries to collect or move it: the manager panel's tiles and
// the layout editor's chips give the same words.

#include <optional>
#include <string_view>

#include "Models/CapturedMenuBarItem.h"

namespace vimbo {

// None for a movable item. Only the clock has its own text: every other fixed item is Control Center.
inline std::optional<std::string_view> fixedItemRefusal(const CapturedMenuBarItem& item) {
  if (!item.isFixed()) return std::nullopt;
  if (item.windowName == "Clock") return "时钟由 macOS 固定，无法收纳";
  return "控制中心由 macOS 固定，无法收纳";
}

}  // namespace vimbo
