#pragma once
// The quick-search state that outlives the panel's view: the query, the selected row and two
// revision counters that tell the view when to scroll. It never sees the result list: whatever
// depends on the list takes the current number of ranked results. Every assignment notifies,
// also with an unchanged value. Main loop only.

#include <algorithm>
#include <cstdint>
#include <string>

#include "Platform/Runtime/Property.h"

namespace vimbo {

class MenuBarSearchSession {
 public:
  async::Property<std::string> query{std::string()};
  async::Property<int64_t> selectedIndex{0};
  // Grows each time the keyboard moves the selection: the view scrolls the selected row into view.
  async::Property<int64_t> keyboardNavigationRevision{0};
  // Grows when the list should show from its first row: the view scrolls to the top.
  async::Property<int64_t> queryRevision{0};

  void reset() {
    const bool wasEmpty = query.get().empty();
    query.set(std::string());
    selectedIndex.set(0);
    // A non-empty query that is cleared makes the view call selectFirstForQuery, which counts.
    if (wasEmpty) queryRevision.set(queryRevision.get() + 1);
  }

  void moveSelection(int64_t step, int64_t resultCount) {
    if (resultCount < 1) {
      selectedIndex.set(0);
      return;
    }
    // A floor modulo keeps the index in range for any step and any stale selection.
    int64_t next = (selectedIndex.get() + step) % resultCount;
    if (next < 0) next += resultCount;
    selectedIndex.set(next);
    keyboardNavigationRevision.set(keyboardNavigationRevision.get() + 1);
  }

  // The pointer hovering a row.
  void select(int64_t index, int64_t resultCount) {
    selectedIndex.set(resultCount < 1 ? 0 : std::clamp<int64_t>(index, 0, resultCount - 1));
  }

  void selectFirstForQuery(int64_t /*resultCount*/) {
    selectedIndex.set(0);
    queryRevision.set(queryRevision.get() + 1);
  }

  void clampSelection(int64_t resultCount) {
    selectedIndex.set(resultCount < 1 ? 0 : std::min(selectedIndex.get(), resultCount - 1));
  }
};

}  // namespace vimbo
