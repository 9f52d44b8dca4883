#pragma once
// The store's own editable item rows (name, detail, symbol, tint, group, order), persisted as a
// JSON array under "menuBarItems.v1".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Utilities/UUID.h"

namespace vimbo {

enum class ItemVisibility { shown, tucked, hidden };

inline constexpr std::array<ItemVisibility, 3> allItemVisibilities{
    ItemVisibility::shown, ItemVisibility::tucked, ItemVisibility::hidden};

std::string_view rawValue(ItemVisibility visibility);
std::optional<ItemVisibility> itemVisibilityFromRawValue(std::string_view raw);

struct MenuBarItem {
  UUID id;
  std::string name;
  std::string detail;
  std::string symbol;       // name of a system symbol image
  std::string tintHex;      // RRGGBB without prefix
  ItemVisibility visibility = ItemVisibility::shown;
  bool isEnabled = true;
  int64_t order = 0;        // 0-based position inside its visibility group

  friend bool operator==(const MenuBarItem&, const MenuBarItem&) = default;

  // One JSON array of row objects; encoding fails (none) only for text that is not valid UTF-8.
  static std::optional<std::string> encodeList(const std::vector<MenuBarItem>& items);
  // Every key of every row is required; any missing key or wrong type rejects the whole list.
  static std::optional<std::vector<MenuBarItem>> decodeList(std::string_view json);
};

}  // namespace vimbo
