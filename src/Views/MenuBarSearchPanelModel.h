#pragma once
// The quick-search panel without its widgets: the ranked list R and its count n, what the content
// area shows, the rows, and the panel's reactions to the session, the store and the pointer,
// including when the list should scroll. The widgets paint this and forward their input here.
//
// The store and the session notify before they store, so every handler works from the published
// value it is handed and from what the model saw last, never from the property that is changing.
// Main thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Runtime/Property.h"
#include "Views/CapturedMenuBarSearch.h"
#include "Views/ViewFactory.h"

namespace vimbo {

class MenuBarStore;
class MenuBarSearchSession;

enum class SearchPanelContent {
  waitingForItems,  // nothing captured: a spinner over the reading or the no-items text
  noMatch,
  list,
};

enum class SearchScrollRequest {
  toTop,             // at once, no animation
  selectedIntoView,  // the least movement, animated
};

struct SearchRowModel {
  CapturedMenuBarItem item;
  int64_t index = 0;
  bool selected = false;
  std::string hint;
};

// "↵" on the selected row, "⌘1" to "⌘9" on the first nine others, nothing further down.
std::string quickSearchHint(int64_t index, bool selected);

class MenuBarSearchPanelModel {
 public:
  static constexpr const char* subtitle = "显示菜单栏项目并打开";

  // The store and the session outlive the model.
  MenuBarSearchPanelModel(MenuBarStore& store, MenuBarSearchSession& session, QuickSearchActions actions);
  MenuBarSearchPanelModel(const MenuBarSearchPanelModel&) = delete;
  MenuBarSearchPanelModel& operator=(const MenuBarSearchPanelModel&) = delete;

  // What is shown: R, the content state and the rows. A row is made only when asked for.
  const CapturedMenuBarItem& result(int64_t index) const { return items_.at(order_.at(std::size_t(index))); }
  int64_t resultCount() const { return int64_t(order_.size()); }
  SearchPanelContent content() const;
  std::string waitingText() const;
  const std::string& query() const { return query_; }
  int64_t selectedIndex() const;
  SearchRowModel row(int64_t index) const;

  // The view's events.
  void shown();
  void editQuery(const std::string& text);
  void pointerMovedInto(int64_t row);
  void click(int64_t row);
  void exitCommand();

  // Something shown changed; the view re-derives on its next turn.
  std::function<void()> onChange;
  std::function<void(SearchScrollRequest)> onScroll;

 private:
  void recompute();
  void changed();
  void scroll(SearchScrollRequest request);

  MenuBarStore& store_;
  MenuBarSearchSession& session_;
  QuickSearchActions actions_;
  std::vector<CapturedMenuBarItem> items_;  // the last published list
  std::string query_;                       // the last query seen
  bool capturing_ = false;
  int64_t seenQueryRevision_ = 0;
  int64_t seenNavigationRevision_ = 0;
  CapturedMenuBarSearchIndex search_;  // the items' searched forms, kept between keys
  std::vector<std::size_t> order_;     // R as positions in items_
  std::vector<async::Subscription> subscriptions_;
};

}  // namespace vimbo
