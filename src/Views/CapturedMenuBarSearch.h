#pragma once
// The one search rule for captured menu-bar items: the manager panel's search, the quick-search
// list and the quick-search keys all rank with it, so a key acts on the row the user sees.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Models/CapturedMenuBarItem.h"

namespace vimbo {

struct CapturedMenuBarSearch {
  CapturedMenuBarSearch() = delete;

  // The searched fields of one item (name, owner, window name, bundle identifier), each normalised
  // and compacted: what every query compares against.
  struct Forms {
    std::array<std::string, 4> normalized;
    std::array<std::string, 4> compact;
  };
  static Forms forms(const CapturedMenuBarItem& item);

  // Matching items, best first, ties in input order; every item unchanged for an empty query.
  // Works every form out afresh; a caller that ranks one list again and again keeps a
  // CapturedMenuBarSearchIndex instead. There is no limit.
  static std::vector<CapturedMenuBarItem> rankedItems(const std::vector<CapturedMenuBarItem>& items,
                                                      std::string_view query);

  // Folded (case and diacritics), lower-cased, trimmed; interior spaces stay.
  static std::string normalized(std::string_view text);
  // The normalised form without punctuation, symbols and whitespace.
  static std::string compact(std::string_view text);
  // Lower is better; none when nothing matches. Expects the normalised query.
  static std::optional<int> score(const CapturedMenuBarItem& item, std::string_view normalizedQuery);
  // The same over worked-out forms, with the query's compact form.
  static std::optional<int> score(const Forms& forms, std::string_view normalizedQuery, std::string_view compactQuery);
};

// The forms of the list last ranked, kept between queries: each call works them out again only for
// the items whose searched fields changed, so typing costs the comparisons alone.
class CapturedMenuBarSearchIndex {
 public:
  // Positions in `items` of the ranked result, as CapturedMenuBarSearch::rankedItems orders them.
  std::vector<std::size_t> rank(const std::vector<CapturedMenuBarItem>& items, std::string_view query);
  std::vector<CapturedMenuBarItem> rankedItems(const std::vector<CapturedMenuBarItem>& items, std::string_view query);

 private:
  struct Entry {
    std::array<std::string, 4> fields;  // what the forms were worked out from
    CapturedMenuBarSearch::Forms forms;
  };
  void update(const std::vector<CapturedMenuBarItem>& items);

  std::vector<Entry> entries_;
};

}  // namespace vimbo
