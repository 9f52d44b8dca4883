// The settings window's content. For now a placeholder: the store's last error when there is one.
#include "Store/MenuBarStore.h"
#include "Views/Widgets/PlaceholderList.h"
#include "Views/Widgets/QtViewFactory.h"

namespace vimbo::views {

namespace {
std::vector<PlaceholderList::Line> errorLines(const std::optional<std::string>& error) {
  if (!error) return {};
  return {{*error, false}};
}
}  // namespace

QWidget* makeSettingsViewWidget(const ContentContext&, MenuBarStore& store, SettingsActions) {
  auto* list = new PlaceholderList;
  list->setLines(errorLines(store.lastError.get()));
  list->keep(store.lastError.subscribe([list](const std::optional<std::string>& e) { list->setLines(errorLines(e)); }));
  return list;
}

}  // namespace vimbo::views
