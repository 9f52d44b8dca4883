#include "Views/Widgets/QtViewFactory.h"

#include "Platform/Desktop/WidgetContent.h"

namespace vimbo::views {

using desktop::WidgetContent;

platform::ViewContentRef QtViewFactory::makeManagerPanel(MenuBarStore& store, ManagerPanelActions actions) {
  return std::make_shared<WidgetContent>(makeManagerPanelWidget(context_, store, std::move(actions)));
}

platform::ViewContentRef QtViewFactory::makeQuickSearchPanel(MenuBarStore& store, MenuBarSearchSession& session,
                                                             QuickSearchActions actions) {
  return std::make_shared<WidgetContent>(makeQuickSearchPanelWidget(context_, store, session, std::move(actions)));
}

platform::ViewContentRef QtViewFactory::makeSettingsView(MenuBarStore& store, SettingsActions actions) {
  return std::make_shared<WidgetContent>(makeSettingsViewWidget(context_, store, std::move(actions)));
}

}  // namespace vimbo::views
