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
    // The owners rebuild the bar as they like: a pin stands in saved order only once that is seen.
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

  // A saved pin not yet seen in saved order nor put in place by us (each one during the start-up
  // restore; after it, one the restore could not put back) stands where its owner put it: the
  // record below keeps its slot in the saved list. Pins and collects asked for during the restore
  // are not in it either: they wait behind the restore, and the process ends before they run.
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
    std::string identity;
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
    entries.push_back({identity, frame->minX()});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.minX < b.minX; });
  std::vector<std::string> order;
  order.reserve(entries.size());
  for (auto& entry : entries) order.push_back(std::move(entry.identity));
  mergeConfirmedPinOrder(std::move(order));
}

void AppDelegate::mergeConfirmedPinOrder(std::vector<std::string> order) {
  // Recording a place the owners gave a pin would lose the person's for every later start.
  std::erase_if(order, [&](const std::string& identity) { return unconfirmedSavedPins_.contains(identity); });
  proxyManager.mergeVisibleOrder(order);
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
