// Our own windows: the manager popover, the detached panel, the settings window and the
// quick-search panel, with the delegate callbacks and the re-open request.
#include "App/AppDelegate.h"

namespace vimbo {

bool AppDelegate::isManagerShown() const { return false; }

bool AppDelegate::isInsideManager(Point) const { return false; }

void AppDelegate::closeManager() {}

bool AppDelegate::isSettingsWindowVisible() const { return false; }

void AppDelegate::configurePopover() {}

void AppDelegate::reopen() {}

void AppDelegate::togglePopover() {}

void AppDelegate::showDetachedPanel() {}

void AppDelegate::openSettings() {}

void AppDelegate::showQuickSearch() {}

void AppDelegate::orderQuickSearchPanelOut() {}

bool AppDelegate::isQuickSearchPanelKey() const { return false; }

void AppDelegate::windowDidResignKey(platform::WindowHandle) {}

void AppDelegate::windowWillClose(platform::WindowHandle) {}

}  // namespace vimbo
