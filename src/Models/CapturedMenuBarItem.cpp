#include "Models/CapturedMenuBarItem.h"

#include <algorithm>

#include "Platform/Foundation/Text.h"

namespace vimbo {

const std::set<std::string, std::less<>>& CapturedMenuBarItem::fixedWindowNames() {
  static const std::set<std::string, std::less<>> names{"Clock", "BentoBox-0"};
  return names;
}

bool CapturedMenuBarItem::isFixedWindowName(std::string_view windowName) {
  return fixedWindowNames().contains(windowName);
}

namespace {
bool namesNoItemTrimmed(std::string_view t) {
  return t.empty() || t == "Item-0" || t.starts_with("owner:") || t.find("window=") != std::string_view::npos;
}
}  // namespace

bool CapturedMenuBarItem::namesNoItem(std::string_view name) {
  return namesNoItemTrimmed(platform::text::trimmingWhitespaceAndNewlines(name));
}

bool CapturedMenuBarItem::isPlaceholderName(std::string_view name,
                                            bool (*allIdentifierCharacters)(std::string_view trimmed)) {
  const std::string t = platform::text::trimmingWhitespaceAndNewlines(name);
  if (namesNoItemTrimmed(t)) return true;
  static const std::set<std::string, std::less<>> genericNames{"系统项目", "菜单栏项目", "控制中心", "Control Center"};
  if (genericNames.contains(t)) return true;
  std::size_t pieces = 0;
  for (std::size_t start = 0; start <= t.size();) {
    const auto dot = std::min(t.find('.', start), t.size());
    if (dot > start) ++pieces;
    start = dot + 1;
  }
  return pieces >= 2 && allIdentifierCharacters(t);
}

}  // namespace vimbo
