// Making the left-to-right order of the visible items match a layout by the fewest drags: the
// longest run of the wanted order the bar already shows stays, every other item is appended at
// the right end, next to the control item, in the wanted order.

#include <algorithm>
#include <vector>

#include "App/AppDelegate.h"

namespace vimbo {

std::vector<uint32_t> AppDelegate::minimalNativeReorderSuffix(const std::vector<uint32_t>& desired,
                                                              const std::vector<uint32_t>& actual) {
  size_t cursor = 0;
  size_t matched = 0;
  for (uint32_t id : desired) {
    const auto found = std::find(actual.begin() + static_cast<std::ptrdiff_t>(cursor), actual.end(), id);
    if (found == actual.end()) break;
    cursor = static_cast<size_t>(found - actual.begin()) + 1;
    ++matched;
  }
  return {desired.begin() + static_cast<std::ptrdiff_t>(matched), desired.end()};
}

}  // namespace vimbo
