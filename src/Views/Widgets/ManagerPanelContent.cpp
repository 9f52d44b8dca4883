// The manager panel's content (popover and detached panel). For now a placeholder: the captured
// items' names in capture order, the collected ones dimmed.
#include "Store/MenuBarStore.h"
#include "Views/Widgets/PlaceholderList.h"
#include "Views/Widgets/QtViewFactory.h"

namespace vimbo::views {

namespace {
std::vector<PlaceholderList::Line> managerLines(const std::vector<CapturedMenuBarItem>& items) {
  std::vector<PlaceholderList::Line> lines;
  for (const CapturedMenuBarItem& item : items) lines.push_back({item.name, item.isCollected});
  return lines;
}
}  // namespace

QWidget* makeManagerPanelWidget(const ContentContext&, MenuBarStore& store, ManagerPanelActions) {
  auto* list = new PlaceholderList;
  list->setLines(managerLines(store.capturedSystemItems.get()));
  list->keep(store.capturedSystemItems.subscribe(
      [list](const std::vector<CapturedMenuBarItem>& items) { list->setLines(managerLines(items)); }));
  return list;
}

}  // namespace vimbo::views
