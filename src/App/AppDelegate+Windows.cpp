// Our own windows: the manager popover, the detached panel, the settings window and the
// quick-search panel, the closures their content gets, the window-delegate callbacks and the
// re-open request.
#include <algorithm>
#include <optional>

#include "App/AppDelegate.h"

namespace vimbo {

namespace {

constexpr Size kManagerSize{388, 590};
constexpr Size kSettingsSize{760, 650};
constexpr Size kSettingsMinSize{720, 620};
constexpr Size kSettingsMaxSize{960, 820};
constexpr Size kQuickSearchSize{440, 416};
constexpr double kPanelSideInset = 12;
constexpr double kPanelTopInset = 10;
constexpr uint32_t kFloatingCollection = platform::windowcollection::canJoinAllSpaces |
                                         platform::windowcollection::transient |
                                         platform::windowcollection::fullScreenAuxiliary;

// A floating panel on every space, its content reaching under a hidden, transparent title bar.
platform::WindowConfiguration floatingPanelConfiguration(Size contentSize) {
  platform::WindowConfiguration c;
  c.kind = platform::WindowKind::panel;
  c.contentSize = contentSize;
  c.styleMask = platform::windowstyle::titled | platform::windowstyle::fullSizeContentView;
  c.titleHidden = true;
  c.titlebarTransparent = true;
  c.level = platform::windowlevel::floating;
  c.collectionBehavior = kFloatingCollection;
  return c;
}

platform::WindowConfiguration detachedPanelConfiguration() {
  platform::WindowConfiguration c = floatingPanelConfiguration(kManagerSize);
  c.movableByBackground = true;
  return c;
}

platform::WindowConfiguration settingsWindowConfiguration() {
  platform::WindowConfiguration c;
  c.kind = platform::WindowKind::window;
  c.contentSize = kSettingsSize;
  c.styleMask = platform::windowstyle::titled | platform::windowstyle::closable;
  c.title = "偏好设置";
  c.level = platform::windowlevel::normal;
  return c;
}

platform::WindowConfiguration quickSearchPanelConfiguration() {
  platform::WindowConfiguration c = floatingPanelConfiguration(kQuickSearchSize);
  c.title = "搜索菜单栏项目";
  c.standardButtonsHidden = true;
  c.opaque = false;
  c.clearBackground = true;  // the content draws its own rounded shape
  return c;
}

// The main screen, else the first one; none without a screen.
std::optional<platform::ScreenInfo> screenForPanels(const platform::Screens& screens) {
  if (auto main = screens.mainScreen()) return main;
  auto all = screens.screens();
  if (all.empty()) return std::nullopt;
  return all.front();
}

// A free coroutine: its arguments live in its frame, not in a closure a view may drop.
async::Task<void> refreshWeakly(std::weak_ptr<AppDelegate> weak, bool allowRevealFallback) {
  auto self = weak.lock();
  if (!self) co_return;
  auto refresh = self->refreshSystemItems(allowRevealFallback);
  co_await std::move(refresh);
}

async::Task<bool> applyWeakly(std::weak_ptr<AppDelegate> weak, MenuBarLayoutDraft draft) {
  auto self = weak.lock();
  if (!self) co_return false;
  // The apply enqueues itself once; a second enqueue here would wait behind itself for good.
  auto apply = self->applyMenuBarLayout(std::move(draft));
  co_return co_await std::move(apply);
}

}  // namespace

// MARK: - State of the windows

bool AppDelegate::isManagerShown() const {
  return (popover && popover->isShown()) || (detachedPanel && detachedPanel->isVisible());
}

bool AppDelegate::isInsideManager(Point screenLocation) const {
  if (popover && popover->isShown()) {
    if (auto* window = popover->contentWindow(); window && window->frame().contains(screenLocation)) return true;
  }
  return detachedPanel && detachedPanel->isVisible() && detachedPanel->frame().contains(screenLocation);
}

void AppDelegate::closeManager() {
  if (popover && popover->isShown()) popover->performClose();
  if (detachedPanel) detachedPanel->orderOut();
}

bool AppDelegate::isSettingsWindowVisible() const {
  return settingsWindowController && settingsWindowController->isVisible();
}

void AppDelegate::orderQuickSearchPanelOut() {
  if (quickSearchPanel) quickSearchPanel->orderOut();
}

bool AppDelegate::isQuickSearchPanelKey() const { return quickSearchPanel && quickSearchPanel->isKeyWindow(); }

void AppDelegate::presentKeyWindow(platform::Window& window) {
  platform_.application.activate(true);
  window.makeKeyAndOrderFront();
}

// MARK: - Closures for the content

ManagerPanelActions AppDelegate::managerPanelActions() {
  const std::weak_ptr<AppDelegate> weak = weak_from_this();
  ManagerPanelActions actions;
  actions.openSettings = [weak] {
    if (auto self = weak.lock()) self->openSettings();
  };
  actions.toggleCollection = [weak] {
    if (auto self = weak.lock()) self->toggleCollection();
  };
  actions.refreshSystemItems = [weak] { return refreshWeakly(weak, true); };
  // Pin, collect and the zone change enqueue themselves: one request, one count.
  actions.pinSystemItem = [weak](uint32_t id) {
    if (auto self = weak.lock()) self->pinSystemItem(id);
  };
  actions.collectSystemItem = [weak](uint32_t id) {
    if (auto self = weak.lock()) self->collectSystemItem(id);
  };
  actions.moveSystemItemToLayout = [weak](uint32_t id, MenuBarLayoutZone zone, std::optional<int64_t> index) {
    if (auto self = weak.lock()) self->moveSystemItemToLayout(id, zone, index);
  };
  actions.activateSystemItem = [weak](uint32_t id) {
    if (auto self = weak.lock()) {
      self->closeManager();
      self->closeQuickSearch();
      self->beginSystemItemActivation(id);
    }
  };
  return actions;
}

QuickSearchActions AppDelegate::quickSearchActions() {
  const std::weak_ptr<AppDelegate> weak = weak_from_this();
  QuickSearchActions actions;
  actions.onActivate = [weak](const CapturedMenuBarItem& item) {
    if (auto self = weak.lock()) self->activateQuickSearchItem(item);
  };
  actions.onClose = [weak] {
    if (auto self = weak.lock()) self->closeQuickSearch();
  };
  return actions;
}

SettingsActions AppDelegate::settingsActions() {
  const std::weak_ptr<AppDelegate> weak = weak_from_this();
  SettingsActions actions;
  actions.applyMenuBarLayout = [weak](MenuBarLayoutDraft draft) { return applyWeakly(weak, std::move(draft)); };
  actions.refreshSystemItems = [weak] { return refreshWeakly(weak, true); };
  return actions;
}

// MARK: - The popover and the detached panel

void AppDelegate::configurePopover() {
  if (!popover) return;
  popover->setBehavior(platform::PopoverBehavior::applicationDefined);
  popover->setAnimates(true);
  popover->setContentSize(kManagerSize);
  popover->setContent(viewFactory_.makeManagerPanel(store, managerPanelActions()));
}

void AppDelegate::togglePopover() {
  // Asked after a change of the bar that waits for one of our moves, it comes after that change:
  // a reveal asked first must not close the manager asked for next.
  if (!deferredBarChanges_.empty() && deferWhileBarHeld([](AppDelegate& self) { self.togglePopover(); })) return;
  auto* button = statusItem ? statusItem->button() : nullptr;
  if (!button || !popover) return;
  closeQuickSearch();
  collapseNativeReveal();
  if (popover->isShown()) {
    popover->performClose();
    return;
  }
  if (detachedPanel) detachedPanel->orderOut();
  platform_.application.activate(true);
  popover->show(button->bounds(), *button, platform::RectEdge::minY);
  if (auto* window = popover->contentWindow()) window->makeKey();
  refreshIfCacheIsEmpty();
}

void AppDelegate::showDetachedPanel() {
  closeQuickSearch();
  collapseNativeReveal();
  if (popover && popover->isShown()) popover->performClose();
  if (!detachedPanel) {
    detachedPanel = platform_.windows.makeWindow(detachedPanelConfiguration());
    detachedPanel->setContent(viewFactory_.makeManagerPanel(store, managerPanelActions()));
  }
  detachedPanel->setContentSize(kManagerSize);
  presentKeyWindow(*detachedPanel);

  const auto screen = screenForPanels(platform_.screens);
  if (screen) {
    // The top right corner of the visible frame, 12 pt from the side and 10 from the top.
    const Rect& visible = screen->visibleFrame;
    const Rect frame = detachedPanel->frame();
    const double w = std::max(frame.width, kManagerSize.width);
    const double h = std::max(frame.height, kManagerSize.height);
    detachedPanel->setFrameOrigin({std::max(visible.minX() + kPanelSideInset, visible.maxX() - w - kPanelSideInset),
                                   std::max(visible.minY() + kPanelTopInset, visible.maxY() - h - kPanelTopInset)});
  }
  refreshIfCacheIsEmpty();
}

// MARK: - The settings window

void AppDelegate::openSettings() {
  collapseNativeReveal();
  if (popover && popover->isShown()) popover->performClose();
  if (detachedPanel) detachedPanel->orderOut();
  if (platform_.application.activationPolicy() != platform::ActivationPolicy::Regular) {
    platform_.application.setActivationPolicy(platform::ActivationPolicy::Regular);
  }
  platform_.application.activate(true);
  if (!settingsWindowController) {
    auto window = platform_.windows.makeWindow(settingsWindowConfiguration());
    window->setContent(viewFactory_.makeSettingsView(store, settingsActions()));
    window->setContentSize(kSettingsSize);
    window->setContentMinSize(kSettingsMinSize);
    window->setContentMaxSize(kSettingsMaxSize);
    window->setDelegate(weak_from_this());
    window->center();
    settingsWindowController = std::move(window);
  }
  settingsWindowController->makeKeyAndOrderFront();
}

// MARK: - The quick-search panel

void AppDelegate::showQuickSearch() {
  collapseNativeReveal();
  if (popover && popover->isShown()) popover->performClose();
  if (detachedPanel) detachedPanel->orderOut();
  quickSearchSession.reset();
  if (!quickSearchPanel) {
    quickSearchPanel = platform_.windows.makeWindow(quickSearchPanelConfiguration());
    quickSearchPanel->setContent(viewFactory_.makeQuickSearchPanel(store, quickSearchSession, quickSearchActions()));
    quickSearchPanel->setContentSize(kQuickSearchSize);
  }
  quickSearchPanel->setDelegate(weak_from_this());
  installQuickSearchKeyMonitor();

  const auto screen = screenForPanels(platform_.screens);
  if (screen) {
    const Rect& visible = screen->visibleFrame;
    const Rect frame = quickSearchPanel->frame();
    quickSearchPanel->setFrameOrigin({visible.midX() - frame.width / 2, visible.midY() - frame.height / 2});
  } else {
    quickSearchPanel->center();
  }
  presentKeyWindow(*quickSearchPanel);
  spawnWeak([](AppDelegate& self) { return self.refreshSystemItems(false); });
}

// MARK: - Window delegate and re-open

void AppDelegate::windowDidResignKey(platform::WindowHandle window) {
  if (!quickSearchPanel || quickSearchPanel->handle() != window) return;
  // One turn later, so that a panel losing key status only for a moment stays open.
  spawnWeak([weakPanel = std::weak_ptr<platform::Window>(quickSearchPanel)](AppDelegate& self) {
    auto panel = weakPanel.lock();
    if (!panel || self.quickSearchPanel != panel || panel->isKeyWindow()) return;
    self.closeQuickSearch();
  });
}

void AppDelegate::windowWillClose(platform::WindowHandle window) {
  if (!settingsWindowController || settingsWindowController->handle() != window) return;
  // One turn later, once the window has finished closing.
  spawnWeak([](AppDelegate& self) { self.updateSettingsApplicationVisibility(); });
}

void AppDelegate::reopen() {
  auto regular = [this] {
    if (platform_.application.activationPolicy() != platform::ActivationPolicy::Regular) {
      platform_.application.setActivationPolicy(platform::ActivationPolicy::Regular);
    }
  };
  if (isSettingsWindowVisible()) {
    regular();
    presentKeyWindow(*settingsWindowController);
  } else if (settingsSceneIsVisible) {
    regular();
    platform_.application.activate(true);
    if (auto* key = platform_.windows.window(platform_.application.keyWindow())) key->makeKeyAndOrderFront();
  } else {
    showDetachedPanel();
  }
}

}  // namespace vimbo
