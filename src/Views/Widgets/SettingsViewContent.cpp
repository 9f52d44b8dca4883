// The settings window's content: the sidebar, the four pages and the alert.
#include "Store/MenuBarStore.h"
#include "Views/Widgets/QtViewFactory.h"
#include "Views/Widgets/SettingsView.h"

namespace vimbo::views {

QWidget* makeSettingsViewWidget(const ContentContext& context, MenuBarStore& store, SettingsActions actions) {
  return new SettingsView(store, context.executor, context.application, std::move(actions.applyMenuBarLayout),
                          std::move(actions.refreshSystemItems));
}

}  // namespace vimbo::views
