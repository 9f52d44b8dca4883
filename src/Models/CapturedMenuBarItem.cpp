#include "Models/CapturedMenuBarItem.h"

namespace vimbo {

const std::set<std::string, std::less<>>& CapturedMenuBarItem::fixedWindowNames() {
  static const std::set<std::string, std::less<>> names{"Clock", "BentoBox-0"};
  return names;
}

bool CapturedMenuBarItem::isFixedWindowName(std::string_view windowName) {
  return fixedWindowNames().contains(windowName);
}

}  // namespace vimbo
