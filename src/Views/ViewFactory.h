#pragma once
// The port through which the controller gets the content of its windows: the manager panel (in
// the popover and in the detached panel), the quick-search panel and the settings view. The
// content is opaque to the controller; it hands it to a window or popover with setContent. The
// closures are the views' only way back into the controller.

#include <cstdint>
#include <functional>
#include <optional>

#include "Models/CapturedMenuBarItem.h"
#include "Models/MenuBarLayout.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Windows.h"

namespace vimbo {

class MenuBarStore;
class MenuBarSearchSession;  // Views/MenuBarSearchSession.h

struct ManagerPanelActions {
  std::function<void()> openSettings;
  std::function<void()> toggleCollection;
  std::function<async::Task<void>()> refreshSystemItems;
  std::function<void(uint32_t)> pinSystemItem;
  std::function<void(uint32_t)> collectSystemItem;
  std::function<void(uint32_t, MenuBarLayoutZone, std::optional<int64_t>)> moveSystemItemToLayout;
  std::function<void(uint32_t)> activateSystemItem;
};

struct QuickSearchActions {
  std::function<void(const CapturedMenuBarItem&)> onActivate;
  std::function<void()> onClose;
};

struct SettingsActions {
  std::function<async::Task<bool>(MenuBarLayoutDraft)> applyMenuBarLayout;
  std::function<async::Task<void>()> refreshSystemItems;
};

class ViewFactory {
 public:
  virtual ~ViewFactory() = default;
  // The store and the session outlive every content made from them (the controller owns both).
  virtual platform::ViewContentRef makeManagerPanel(MenuBarStore& store, ManagerPanelActions actions) = 0;
  virtual platform::ViewContentRef makeQuickSearchPanel(MenuBarStore& store, MenuBarSearchSession& session,
                                                        QuickSearchActions actions) = 0;
  virtual platform::ViewContentRef makeSettingsView(MenuBarStore& store, SettingsActions actions) = 0;
};

}  // namespace vimbo
