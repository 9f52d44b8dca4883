#include "Views/MenuBarSearchPanelModel.h"

#include "Store/MenuBarStore.h"
#include "Views/MenuBarSearchSession.h"

namespace vimbo {

std::string quickSearchHint(int64_t index, bool selected) {
  if (selected) return "↵";
  if (index >= 0 && index < 9) return "⌘" + std::to_string(index + 1);
  return {};
}

MenuBarSearchPanelModel::MenuBarSearchPanelModel(MenuBarStore& store, MenuBarSearchSession& session,
                                                 QuickSearchActions actions)
    : store_(store),
      session_(session),
      actions_(std::move(actions)),
      items_(store.capturedSystemItems.get()),
      query_(session.query.get()),
      capturing_(store.isCapturingSystemItems.get()),
      seenQueryRevision_(session.queryRevision.get()),
      seenNavigationRevision_(session.keyboardNavigationRevision.get()) {
  recompute();
  subscriptions_.push_back(session.query.subscribe([this](const std::string& query) {
    if (query == query_) return;  // every assignment notifies; only a new query counts
    query_ = query;
    recompute();
    changed();
    session_.selectFirstForQuery(resultCount());
  }));
  subscriptions_.push_back(store.capturedSystemItems.subscribe([this](const std::vector<CapturedMenuBarItem>& items) {
    SearchPanelContent before = content();
    items_ = items;
    recompute();
    changed();
    session_.clampSelection(resultCount());
    if (before != SearchPanelContent::list && content() == SearchPanelContent::list) scroll(SearchScrollRequest::toTop);
  }));
  subscriptions_.push_back(store.isCapturingSystemItems.subscribe([this](bool capturing) {
    if (capturing == capturing_) return;
    capturing_ = capturing;
    changed();
  }));
  subscriptions_.push_back(session.selectedIndex.subscribe([this](int64_t) { changed(); }));
  subscriptions_.push_back(session.queryRevision.subscribe([this](int64_t revision) {
    if (revision == seenQueryRevision_) return;
    seenQueryRevision_ = revision;
    if (!order_.empty()) scroll(SearchScrollRequest::toTop);
  }));
  subscriptions_.push_back(session.keyboardNavigationRevision.subscribe([this](int64_t revision) {
    if (revision == seenNavigationRevision_) return;
    seenNavigationRevision_ = revision;
    int64_t selected = session_.selectedIndex.get();
    if (selected >= 0 && selected < resultCount()) scroll(SearchScrollRequest::selectedIntoView);
  }));
}

SearchPanelContent MenuBarSearchPanelModel::content() const {
  if (items_.empty()) return SearchPanelContent::waitingForItems;
  if (order_.empty()) return SearchPanelContent::noMatch;
  return SearchPanelContent::list;
}

std::string MenuBarSearchPanelModel::waitingText() const {
  return capturing_ ? "正在读取菜单栏项目…" : "暂时没有可搜索的菜单栏项目";
}

int64_t MenuBarSearchPanelModel::selectedIndex() const { return session_.selectedIndex.get(); }

SearchRowModel MenuBarSearchPanelModel::row(int64_t index) const {
  SearchRowModel row;
  row.item = result(index);
  row.index = index;
  row.selected = index == selectedIndex();
  row.hint = quickSearchHint(index, row.selected);
  return row;
}

void MenuBarSearchPanelModel::shown() {
  session_.clampSelection(resultCount());
  if (content() == SearchPanelContent::list) scroll(SearchScrollRequest::toTop);
}

void MenuBarSearchPanelModel::editQuery(const std::string& text) {
  if (text != query_) session_.query.set(text);
}

void MenuBarSearchPanelModel::pointerMovedInto(int64_t row) { session_.select(row, resultCount()); }

void MenuBarSearchPanelModel::click(int64_t row) {
  if (row < 0 || row >= resultCount() || !actions_.onActivate) return;
  CapturedMenuBarItem item = result(row);  // the closure may change the list
  actions_.onActivate(item);
}

void MenuBarSearchPanelModel::exitCommand() {
  if (actions_.onClose) actions_.onClose();
}

void MenuBarSearchPanelModel::recompute() { order_ = search_.rank(items_, query_); }

void MenuBarSearchPanelModel::changed() {
  if (auto notify = onChange) notify();
}

void MenuBarSearchPanelModel::scroll(SearchScrollRequest request) {
  if (auto notify = onScroll) notify(request);
}

}  // namespace vimbo
