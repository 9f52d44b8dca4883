// The manager panel's content, made once for the popover and once for the detached panel.
#include "Views/Widgets/MenuBarPanel.h"
#include "Views/Widgets/QtViewFactory.h"

namespace vimbo::views {

QWidget* makeManagerPanelWidget(const ContentContext& context, MenuBarStore& store, ManagerPanelActions actions) {
  return new MenuBarPanel(store, std::move(actions), context.executor, context.workspace);
}

}  // namespace vimbo::views
