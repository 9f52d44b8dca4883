// The quick-search panel's content. For now a placeholder: the captured items' names in store
// order (the order an empty query ranks), without a search field.
#include "Store/MenuBarStore.h"
#include "Views/Widgets/PlaceholderList.h"
#include "Views/Widgets/QtViewFactory.h"

namespace vimbo::views {

namespace {
std::vector<PlaceholderList::Line> searchLines(const std::vector<CapturedMenuBarItem>& items) {
  std::vector<PlaceholderList::Line> lines;
  for (const CapturedMenuBarItem& item : items) lines.push_back({item.name, false});
  return lines;
}
}  // namespace

QWidget* makeQuickSearchPanelWidget(const ContentContext&, MenuBarStore& store, MenuBarSearchSession&,
                                    QuickSearchActions) {
  auto* list = new PlaceholderList;
  list->setLines(searchLines(store.capturedSystemItems.get()));
  list->keep(store.capturedSystemItems.subscribe(
      [list](const std::vector<CapturedMenuBarItem>& items) { list->setLines(searchLines(items)); }));
  return list;
}

}  // namespace vimbo::views
