#pragma once
// The view factory of the desktop: each maker builds the content widget of one window. It holds
// what the real content needs besides the store and the closures: the application (the settings
// window's quit button), the workspace (application icons) and the executor (timers).

#include "Platform/Application.h"
#include "Platform/Workspace.h"
#include "Views/ViewFactory.h"

namespace vimbo::async {
class Executor;
}

class QWidget;

namespace vimbo::views {

struct ContentContext {
  platform::Application& application;
  platform::Workspace& workspace;
  async::Executor& executor;
};

// One maker per window content, each in its own file.
QWidget* makeManagerPanelWidget(const ContentContext& context, MenuBarStore& store, ManagerPanelActions actions);
QWidget* makeQuickSearchPanelWidget(const ContentContext& context, MenuBarStore& store, MenuBarSearchSession& session,
                                    QuickSearchActions actions);
QWidget* makeSettingsViewWidget(const ContentContext& context, MenuBarStore& store, SettingsActions actions);

class QtViewFactory : public ViewFactory {
 public:
  QtViewFactory(platform::Application& application, platform::Workspace& workspace, async::Executor& executor)
      : context_{application, workspace, executor} {}

  platform::ViewContentRef makeManagerPanel(MenuBarStore& store, ManagerPanelActions actions) override;
  platform::ViewContentRef makeQuickSearchPanel(MenuBarStore& store, MenuBarSearchSession& session,
                                                QuickSearchActions actions) override;
  platform::ViewContentRef makeSettingsView(MenuBarStore& store, SettingsActions actions) override;

 private:
  ContentContext context_;
};

}  // namespace vimbo::views
