// The quick-search panel's content. For now a placeholder: the captured items' names in store
// order (the order an empty query ranks), without a search field, the session's row highlighted.
#include "Store/MenuBarStore.h"
#include "Views/MenuBarSearchSession.h"
#include "Views/Widgets/PlaceholderList.h"
#include "Views/Widgets/QtViewFactory.h"

namespace vimbo::views {

namespace {
std::vector<PlaceholderList::Line> searchLines(const std::vector<CapturedMenuBarItem>& items, int64_t selected) {
  std::vector<PlaceholderList::Line> lines;
  for (const CapturedMenuBarItem& item : items) {
    lines.push_back({item.name, false, static_cast<int64_t>(lines.size()) == selected});
  }
  return lines;
}
}  // namespace

QWidget* makeQuickSearchPanelWidget(const ContentContext&, MenuBarStore& store, MenuBarSearchSession& session,
                                    QuickSearchActions) {
  auto* list = new PlaceholderList;
  list->setLines(searchLines(store.capturedSystemItems.get(), session.selectedIndex.get()));
  // Subscribers see the new value before it is stored: use the one handed in.
  list->keep(store.capturedSystemItems.subscribe([list, &session](const std::vector<CapturedMenuBarItem>& items) {
    list->setLines(searchLines(items, session.selectedIndex.get()));
  }));
  list->keep(session.selectedIndex.subscribe([list, &store](const int64_t& selected) {
    list->setLines(searchLines(store.capturedSystemItems.get(), selected));
  }));
  return list;
}

}  // namespace vimbo::views
