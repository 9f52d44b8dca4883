#pragma once
// The one search rule for captured menu-bar items: the manager panel's search, the quick-search
// list and the quick-search keys all rank with it, so a key acts on the row the user sees.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Models/CapturedMenuBarItem.h"

namespace vimbo {

struct CapturedMenuBarSearch {
  CapturedMenuBarSearch() = delete;

  // Matching items, best first, ties in input order; every item unchanged for an empty query.
  // Nothing is cached and there is no limit.
  static std::vector<CapturedMenuBarItem> rankedItems(const std::vector<CapturedMenuBarItem>& items,
                                                      std::string_view query);

  // Folded (case and diacritics), lower-cased, trimmed; interior spaces stay.
  static std::string normalized(std::string_view text);
  // The normalised form without punctuation, symbols and whitespace.
  static std::string compact(std::string_view text);
  // Lower is better; none when nothing matches. Expects the normalised query.
  static std::optional<int> score(const CapturedMenuBarItem& item, std::string_view normalizedQuery);
};

}  // namespace vimbo
