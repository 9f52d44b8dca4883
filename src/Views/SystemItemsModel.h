#pragma once
// The system-items page without a widget: one row per item of the store's filtered list, and the
// position picker's titles and choice.

#include <string>
#include <string_view>
#include <vector>

#include "Models/MenuBarItem.h"
#include "Store/MenuBarStore.h"
#include "Utilities/ColorHex.h"

namespace vimbo {

struct SystemItemRow {
  UUID id;
  std::string name;
  std::string detail;
  std::string symbol;
  Color tint;
  ItemVisibility visibility = ItemVisibility::shown;
};

std::vector<SystemItemRow> systemItemRows(const MenuBarStore& store);

std::string_view itemVisibilityTitle(ItemVisibility visibility);

// Moves the row only when the place differs from the one it shows: moving a row into its own
// group would put it last and reorder the list for a choice that changed nothing. True when moved.
bool chooseSystemItemPlace(MenuBarStore& store, const SystemItemRow& row, ItemVisibility chosen);

}  // namespace vimbo
