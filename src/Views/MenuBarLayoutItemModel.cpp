#include "Views/MenuBarLayoutItemModel.h"

#include <charconv>
#include <cmath>

#include "Platform/Foundation/Text.h"

namespace vimbo {

LayoutChipMetrics layoutChipMetrics(const CapturedMenuBarItem& item) {
  const double w = item.originalFrame.width;
  double slot = 0;
  if (item.windowName == "Clock" || !std::isfinite(w) || w <= 0) {
    slot = 32;
  } else if (w <= 28) {
    slot = 28;
  } else if (w <= 76) {
    slot = w;
  } else {
    slot = 76;
  }
  return {slot, slot + 14};
}

std::string layoutChipHelpName(const CapturedMenuBarItem& item) {
  // Narrower than the placeholder rule: a generic name such as "控制中心" is still shown.
  if (!CapturedMenuBarItem::namesNoItem(item.name)) return platform::text::trimmingWhitespaceAndNewlines(item.name);
  if (item.windowName == "Clock") return "时钟";
  if (item.windowName == "BentoBox-0") return "控制中心";
  return "菜单栏项目";
}

std::string_view layoutChipAccessibilityHint(const CapturedMenuBarItem& item) {
  return item.isFixed() ? "由 macOS 固定" : "可拖动以调整位置";
}

std::optional<std::uint32_t> parseLayoutDropPayload(std::string_view payload) {
  bool negative = false;
  if (!payload.empty() && (payload.front() == '+' || payload.front() == '-')) {
    negative = payload.front() == '-';
    payload.remove_prefix(1);
  }
  if (payload.empty()) return std::nullopt;
  for (char c : payload) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(payload.data(), payload.data() + payload.size(), value);
  if (error != std::errc() || end != payload.data() + payload.size()) return std::nullopt;
  if (negative && value != 0) return std::nullopt;
  return value;
}

}  // namespace vimbo
