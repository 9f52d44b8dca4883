// Construction, launch, the run-once start-up, quit, re-open, resigning active, the settings
// scene and the activation policy.
#include "App/AppDelegate.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include "Platform/Foundation/Image.h"

namespace vimbo {

namespace {
constexpr const char* kControlGlyph = "rectangle.3.group";
constexpr const char* kControlToolTip = "Vimbo · ⌃⌘B";
}  // namespace

void HoverTrackingOwner::handle(platform::TrackingEventKind kind) const {
  const std::function<void()>* callback = nullptr;
  switch (kind) {
    case platform::TrackingEventKind::Entered:
      callback = &onMouseEntered;
      break;
    case platform::TrackingEventKind::Exited:
      callback = &onMouseExited;
      break;
    case platform::TrackingEventKind::Moved:
      callback = &onMouseMoved;
      break;
  }
  if (callback && *callback) (*callback)();
}

AppDelegate::AppDelegate(platform::Platform& platform, std::shared_ptr<platform::UserDefaults> defaults,
                         ViewFactory& viewFactory)
    : platform_(platform),
      defaults_(std::move(defaults)),
      viewFactory_(viewFactory),
      store(*defaults_, platform_.loginItem, platform_.screenCaptureAccess),
      popover(platform_.windows.makePopover()),
      menuBarHider(platform_),
      captureService(platform_, defaults_, platform_.executor),
      proxyManager(defaults_),
      menuWindowRelocator(platform_.windowServer,
                          MenuWindowRelocator::defaultPopupWindowLevels(platform_.windowServer)) {}

AppDelegate::~AppDelegate() = default;

// MARK: - Launch

void AppDelegate::applicationDidFinishLaunching() {
  platform_.application.setActivationPolicy(platform::ActivationPolicy::Accessory);
  store.isExpanded.set(false);
  store.searchText.set(std::string());
  startApplication();
}

void AppDelegate::startApplication() {
  if (applicationStarted) return;
  applicationStarted = true;

  const std::vector<std::string> savedOrder = proxyManager.restorableSavedIdentityOrder();
  captureService.preparePreDividerMenuExtraCandidates();
  if (!savedOrder.empty()) captureService.cacheVisibleStableIdentities();
  seedVisibleSystemImages();
  menuBarHider.installDivider();

  statusItem = menuBarHider.configureControlItem(platform_.statusBar.statusItem(platform::statusitemlength::square));
  if (auto* button = statusItem ? statusItem->button() : nullptr) {
    button->setImage(platform::Image::symbol(kControlGlyph, "Vimbo"));
    button->setToolTip(kControlToolTip);
    button->setAction([weak = weak_from_this()] {
      if (auto self = weak.lock()) self->statusItemClicked();
    });
    button->sendActionOn(platform::eventMaskBit(platform::EventType::LeftMouseUp) |
                         platform::eventMaskBit(platform::EventType::RightMouseUp));
  }

  installHoverPreferenceObservation();
  configurePopover();
  installManagerControlClickMonitor();
  installSystemHotKey();

  if (!savedOrder.empty()) {
    unconfirmedSavedPins_ = std::set<std::string>(savedOrder.begin(), savedOrder.end());
    initialSystemSetupTask = spawnWeak([savedOrder](AppDelegate& self) -> async::Task<void> {
      auto setup = self.completeInitialSystemSetup(savedOrder);
      co_await std::move(setup);
      self.initialSystemSetupTask = {};
      self.reconcileEventHoverIfPointerIsInside();
    });
    return;
  }
  captureService.cacheVisibleStableIdentities();
  seedVisibleSystemImages();
  setSystemCollection(true);
  scheduleInitialCapture();
}

// MARK: - Quit

void AppDelegate::applicationWillTerminate() {
  if (!applicationStarted) return;
  terminating_ = true;
  closeQuickSearch();

  userRevealCaptureTask.cancel();
  userRevealCaptureTask = {};

  cancelHoverSampling();
  cancelHoverEventDwell();
  cancelHoverEventExitGrace();
  removeHoverTrackingArea();
  hoverRequiresPointerExit = false;

  hoverPreferenceCancellable.cancel();

  revealSessionTask.cancel();
  revealSessionTask = {};
  ++revealSessionGeneration;
  // What the person asked of the bar during a move still in flight goes with the bar.
  deferredBarChanges_.clear();

  if (managerControlClickMonitor) platform_.eventMonitors.removeMonitor(managerControlClickMonitor);
  managerControlClickMonitor = 0;
  if (managerControlClickLocalMonitor) platform_.eventMonitors.removeMonitor(managerControlClickLocalMonitor);
  managerControlClickLocalMonitor = 0;

  systemItemActivationTask.cancel();
  systemItemOperationTask.cancel();
  initialSystemSetupTask.cancel();

  // The process ends without resuming a drag suspended in flight: without this, Command would
  // stay held, the button down and the cursor hidden once the divider is gone.
  captureService.finishPendingMoveCleanup();

  // A pin whose place is not confirmed as the person's (each one during the start-up restore; after
  // it, one standing where its owner or a put-back of ours left it) keeps its slot in the saved list
  // in the record below. Pins and collects asked for during the restore are not in it either: they
  // wait behind the restore, and the process ends before they run.
  snapshotCurrentPinnedOrder();
  menuBarHider.restoreAndRemove();

  if (hotKeyRef) platform_.hotKeys.unregisterHotKey(hotKeyRef);
  hotKeyRef = 0;
  if (quickSearchHotKeyRef) platform_.hotKeys.unregisterHotKey(quickSearchHotKeyRef);
  quickSearchHotKeyRef = 0;
  if (hotKeyHandler) platform_.hotKeys.removeHandler(hotKeyHandler);
  hotKeyHandler = 0;

  // What the person did while one of our moves held their input goes on now, in the order made:
  // there is no later turn to post it on.
  platform_.inputHold.releaseAll();
}

void AppDelegate::snapshotCurrentPinnedOrder() {
  struct Entry {
    const CapturedMenuBarItem* item;
    double minX = 0;
  };
  std::vector<Entry> entries;
  std::set<std::string> seen;
  const auto& pinned = proxyManager.pinnedIdentities();
  const std::vector<CapturedMenuBarItem> discovered = captureService.discoverMenuBarItems();
  std::optional<MenuBarSnapshot> bar;  // looked at once, when a pinned item needs its frame
  for (const auto& item : discovered) {
    if (item.isFixed()) continue;
    const std::string& identity = item.stableIdentity;
    if (!MenuBarProxyManager::canSafelyRestore(identity)) continue;
    if (std::find(pinned.begin(), pinned.end(), identity) == pinned.end()) continue;
    if (!bar) bar.emplace(barSnapshot());
    auto frame = bar->frame(item.id);
    if (!frame) continue;
    if (!seen.insert(identity).second) continue;
    entries.push_back({&item, frame->minX()});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.minX < b.minX; });
  std::vector<CapturedMenuBarItem> order;
  order.reserve(entries.size());
  for (const auto& entry : entries) order.push_back(*entry.item);
  mergeConfirmedPinOrder(order);
}

void AppDelegate::mergeConfirmedPinOrder(const std::vector<CapturedMenuBarItem>& items) {
  // Recording a place the owners or we gave a pin would lose the person's for every later start.
  std::vector<std::string> order;
  for (const auto& item : items) {
    if (isConfirmedPin(item)) order.push_back(item.stableIdentity);
  }
  proxyManager.mergeVisibleOrder(order);
}

bool AppDelegate::isConfirmedPin(const CapturedMenuBarItem& item) const {
  if (unconfirmedSavedPins_.contains(item.stableIdentity)) return false;
  const auto window = confirmedPinWindows_.find(item.stableIdentity);
  return window == confirmedPinWindows_.end() || window->second == item.id;
}

void AppDelegate::confirmPin(const CapturedMenuBarItem& item) {
  unconfirmedSavedPins_.erase(item.stableIdentity);
  confirmedPinWindows_[item.stableIdentity] = item.id;
}

void AppDelegate::unconfirmPin(const std::string& identity) {
  unconfirmedSavedPins_.insert(identity);
  confirmedPinWindows_.erase(identity);
}

// MARK: - Re-open and resign active

bool AppDelegate::applicationShouldHandleReopen(bool /*hasVisibleWindows*/) {
  reopen();
  return true;
}

void AppDelegate::applicationDidResignActive() {
  if (!applicationStarted) return;
  closeQuickSearch();
  if (activeSystemItemOperationCount == 0 && !store.isCapturingSystemItems.get()) closeManager();
}

// MARK: - Settings scene and activation policy

void AppDelegate::settingsSceneDidAppear() {
  settingsSceneIsVisible = true;
  if (platform_.application.activationPolicy() != platform::ActivationPolicy::Regular) {
    platform_.application.setActivationPolicy(platform::ActivationPolicy::Regular);
  }
}

void AppDelegate::settingsSceneDidDisappear() {
  settingsSceneIsVisible = false;
  updateSettingsApplicationVisibility();
}

void AppDelegate::updateSettingsApplicationVisibility() {
  const auto wanted = isSettingsWindowVisible() || settingsSceneIsVisible ? platform::ActivationPolicy::Regular
                                                                          : platform::ActivationPolicy::Accessory;
  if (platform_.application.activationPolicy() != wanted) platform_.application.setActivationPolicy(wanted);
}

}  // namespace vimbo
