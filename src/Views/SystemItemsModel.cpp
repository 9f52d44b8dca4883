#include "Views/SystemItemsModel.h"

namespace vimbo {

std::vector<SystemItemRow> systemItemRows(const MenuBarStore& store) {
  std::vector<SystemItemRow> rows;
  for (const auto& item : store.filteredItems()) {
    rows.push_back({item.id, item.name, item.detail, item.symbol, Color::fromHex(item.tintHex), item.visibility});
  }
  return rows;
}

std::string_view itemVisibilityTitle(ItemVisibility visibility) {
  switch (visibility) {
    case ItemVisibility::shown: return "常驻";
    case ItemVisibility::tucked: return "折叠";
    case ItemVisibility::hidden: return "隐藏";
  }
  return {};
}

bool chooseSystemItemPlace(MenuBarStore& store, const SystemItemRow& row, ItemVisibility chosen) {
  if (chosen == row.visibility) return false;
  store.move(row.id, chosen);
  return true;
}

}  // namespace vimbo
