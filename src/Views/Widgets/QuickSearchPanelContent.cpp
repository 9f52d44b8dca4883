// The quick-search panel's content.
#include "Views/Widgets/MenuBarSearchPanel.h"
#include "Views/Widgets/QtViewFactory.h"

namespace vimbo::views {

QWidget* makeQuickSearchPanelWidget(const ContentContext& context, MenuBarStore& store, MenuBarSearchSession& session,
                                    QuickSearchActions actions) {
  return new MenuBarSearchPanel(store, session, std::move(actions), context.executor, context.workspace);
}

}  // namespace vimbo::views
