#pragma once
// The application controller: it owns the store, the quick-search session, our own windows, the
// hot keys and every system service for the life of the process, and turns clicks, hovers, keys
// and panel requests into reveals, refreshes and item operations. Main loop only; it is made with
// std::make_shared, and everything that may outlive a turn (tasks, monitor, tracking, hot-key and
// window-delegate handlers, the closures handed to views) holds it weakly.
//
// The implementation is split by concern:
//   AppDelegate.cpp          construction, launch, the run-once start-up, quit, re-open, resigning
//                            active, the settings scene and the activation policy
//   +StatusItem.cpp          the control item's click and its menu; the mouse-down monitors that
//                            close the manager on a click elsewhere or reveal on the control item
//   +Windows.cpp             our own windows: the popover, the detached panel, the settings window
//                            and the quick-search panel; the closures their content gets, the
//                            window-delegate callbacks and the re-open request
//   +QuickSearch.cpp         the two global hot keys, the collection toggle and the keyboard control
//                            of the open quick-search panel
//   +Hover.cpp               reveal on hover: the tracking area, the polling task, the hover window
//                            and the one gate both end in
//   +Reveal.cpp              reveal sessions, the plain collapse and expand switches, the pointer's
//                            band test and the hover timings
//   +Queue.cpp               the serial operation queue
//   +BarHold.cpp             Vimbo's hold on the bar while it moves items, and the person's changes
//                            of the bar that wait for it
//   +Refresh.cpp             the full refresh, the seed, the metadata refresh, the displayed-state
//                            reconcile and their triggers (initial capture, empty cache, reveal)
// Item operations:
//   +Operations.cpp          the verified move across the divider and what every other operation
//                            shares (drop point, side test, bounded wait, one item's displayed
//                            state, failure exit); the move made while the bar is held revealed
//   +Pinning.cpp             pin and collect, as the manager's queued requests and as steps of the
//                            layout apply, and their record in the layout
//   +NotchRoom.cpp           room right of the notch for a pin, and putting swapped residents back
//   +Activation.cpp          opening an item's menu as a click in the bar would (not queued)
//   +LayoutApply.cpp         carrying a layout drawn in the settings window into the real bar
//   +VisibleOrder.cpp        the visible items' order, reached by the fewest drags
//   +OperationSupport.h      small lookups and geometry tests the operations share
//   +OperationTexts.h        the sentences the operations leave in the store's last error
// Keeping the arrangement across restarts:
//   +Restore.cpp             the start-up restore of the saved pins
//   +StartupGeometry.cpp     the bar's snapshot and the band, resident and plan tests it rests on
//   +Indexing.cpp            identifying unnamed items by carrying them into the safe slot
//   +IndexingRestore.cpp     putting the bar back as it was before the indexing
//   +PinReconcile.cpp        moving saved pins that drifted back to the visible side

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Models/MenuBarLayout.h"
#include "Platform/Application.h"
#include "Platform/EventMonitors.h"
#include "Platform/Events.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/HotKeys.h"
#include "Platform/Platform.h"
#include "Platform/Runtime/Clock.h"
#include "Platform/Runtime/Property.h"
#include "Platform/Runtime/Task.h"
#include "Platform/StatusBar.h"
#include "Platform/Windows.h"
#include "Store/MenuBarStore.h"
#include "System/MenuBarCaptureService.h"
#include "System/MenuBarHider.h"
#include "System/MenuBarProxyManager.h"
#include "System/MenuBarSnapshot.h"
#include "System/MenuWindowRelocator.h"
#include "Views/CapturedMenuBarSearch.h"
#include "Views/MenuBarSearchSession.h"
#include "Views/ViewFactory.h"

namespace vimbo {

// Owns the hover tracking area on the control item's button; the area's handler dispatches to
// these by kind.
struct HoverTrackingOwner {
  std::function<void()> onMouseEntered;
  std::function<void()> onMouseExited;
  std::function<void()> onMouseMoved;
  void handle(platform::TrackingEventKind kind) const;
};

class AppDelegate : public platform::ApplicationDelegate,
                    public platform::WindowDelegate,
                    public std::enable_shared_from_this<AppDelegate> {
 public:
  // ---- Nested types -------------------------------------------------------------------------

  struct HoverWindowCandidate {
    uint32_t id = 0;
    Rect frame;
    int32_t ownerPID = 0;
    bool isOnScreen = false;
  };

  // Item operations.
  enum class SystemItemDestination { visible, collected };

  struct ResidentPinPlan {
    std::vector<CapturedMenuBarItem> swappedItems;
    bool isPossible = false;
  };

  // Start-up restore.
  struct StartupLayoutSnapshot {
    std::vector<CapturedMenuBarItem> candidates;
    Rect dividerFrame;
    Rect controlFrame;
    std::string signature;
  };

  // Indexing of unnamed items.
  enum class MenuExtraIndexingZone { visible, collected, fixed };

  struct MenuExtraIndexingSnapshot {
    std::map<uint32_t, CapturedMenuBarItem> itemsByID;
    std::map<uint32_t, MenuExtraIndexingZone> zonesByID;
    std::vector<uint32_t> collectedIDs;
    std::vector<uint32_t> visibleIDs;
    std::vector<uint32_t> fixedIDs;
    const std::vector<uint32_t>& orderedIDs(MenuExtraIndexingZone zone) const;
  };

  enum class MenuExtraIndexingResult { notNeeded, finished, failed };

  // ---- Construction -------------------------------------------------------------------------

  // The bundle is copied (its references must outlive the controller); the capture service and
  // the proxy manager share the defaults. The factory makes our windows' content and outlives us.
  AppDelegate(platform::Platform& platform, std::shared_ptr<platform::UserDefaults> defaults, ViewFactory& viewFactory);
  ~AppDelegate() override;
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

 private:
  // What the fields below are built from; declared first so that they exist before the fields.
  platform::Platform platform_;
  std::shared_ptr<platform::UserDefaults> defaults_;
  ViewFactory& viewFactory_;

 public:
  // ---- Fields, in their specified order -----------------------------------------------------
  // Task fields hold an empty handle for "none"; tokens and references use 0 for "none".

  MenuBarStore store;
  platform::StatusItemRef statusItem;
  platform::PopoverRef popover;
  platform::WindowRef detachedPanel;
  platform::WindowRef settingsWindowController;  // the settings window itself
  bool settingsSceneIsVisible = false;
  bool applicationStarted = false;
  platform::WindowRef quickSearchPanel;
  platform::MonitorToken quickSearchKeyMonitor = 0;
  MenuBarSearchSession quickSearchSession;
  async::TaskHandle<> userRevealCaptureTask;
  async::TaskHandle<> hoverSamplingTask;
  std::optional<async::TimePoint> hoverDwellStart;
  async::TaskHandle<> hoverEventDwellTask;
  int64_t hoverEventDwellGeneration = 0;
  bool hoverEventIsInside = false;
  std::optional<async::TimePoint> hoverEventEntryStart;
  async::TaskHandle<> hoverEventExitGraceTask;
  int64_t hoverEventExitGraceGeneration = 0;
  bool hoverRequiresPointerExit = false;
  std::optional<uint32_t> hoverWindowID;
  std::optional<Rect> hoverWindowFrame;
  std::optional<async::TimePoint> hoverWindowFrameUpdatedAt;
  platform::TrackingAreaID hoverTrackingArea = 0;
  std::shared_ptr<HoverTrackingOwner> hoverTrackingOwner;
  async::Subscription hoverPreferenceCancellable;
  async::TaskHandle<> revealSessionTask;
  int64_t revealSessionGeneration = 0;
  platform::MonitorToken managerControlClickMonitor = 0;
  platform::MonitorToken managerControlClickLocalMonitor = 0;
  std::optional<async::TimePoint> managerControlClickHandledAt;
  platform::HotKeyRef hotKeyRef = 0;
  platform::HotKeyRef quickSearchHotKeyRef = 0;
  platform::HotKeyHandlerRef hotKeyHandler = 0;
  async::TaskHandle<> systemItemActivationTask;
  async::TaskHandle<> systemItemOperationTask;
  int64_t activeSystemItemOperationCount = 0;
  async::TaskHandle<> initialSystemSetupTask;
  bool didAttemptAutomaticMenuExtraIndexing = false;
  MenuBarHider menuBarHider;
  MenuBarCaptureService captureService;
  MenuBarProxyManager proxyManager;
  MenuWindowRelocator menuWindowRelocator;

  // ---- Life cycle (AppDelegate.cpp) -----------------------------------------------------------

  void applicationDidFinishLaunching() override;
  void applicationWillTerminate() override;
  void applicationDidResignActive() override;
  bool applicationShouldHandleReopen(bool hasVisibleWindows) override;
  void startApplication();
  void snapshotCurrentPinnedOrder();
  // The pins among the items, in the order given, over the slots their identities hold in the
  // saved list; a pin whose place is not confirmed as the person's is left out and keeps its slot.
  void mergeConfirmedPinOrder(const std::vector<CapturedMenuBarItem>& items);
  // Whether the item's place is the person's: seen in saved order among the confirmed pins, or put
  // there at the person's request, on the window it stands in now.
  bool isConfirmedPin(const CapturedMenuBarItem& item) const;
  void confirmPin(const CapturedMenuBarItem& item);
  void unconfirmPin(const std::string& identity);
  void updateSettingsApplicationVisibility();
  void windowDidResignKey(platform::WindowHandle window) override;
  void windowWillClose(platform::WindowHandle window) override;
  // The settings scene's appear and disappear actions.
  void settingsSceneDidAppear();
  void settingsSceneDidDisappear();

  // ---- Control item and menu (+StatusItem.cpp), our windows (+Windows.cpp) ----------------------

  void statusItemClicked();
  void showContextMenu();
  void togglePopover();
  void showDetachedPanel();
  void openSettings();
  void openQuickSearchAction();
  void openSettingsAction();
  void installManagerControlClickMonitor();
  void handleManagerPanelMouseDown(const platform::Event& event);

  // ---- Hot keys and quick search (+QuickSearch.cpp; the panel in +Windows.cpp) -----------------

  void installSystemHotKey();
  // The hot-key handler: validates the identifier and defers the action to a task.
  int32_t handleHotKeyEvent(std::optional<platform::HotKeyID> identifier);
  void performHotKeyAction(uint32_t id);
  void showQuickSearch();
  void closeQuickSearch();
  void installQuickSearchKeyMonitor();
  // None when the key is consumed.
  std::optional<platform::Event> handleQuickSearchKeyDown(const platform::Event& event);
  void activateQuickSearchSelection();
  // Closes the manager and quick search, then opens the item's menu.
  void activateQuickSearchItem(const CapturedMenuBarItem& item);
  static const std::map<uint16_t, int64_t>& quickSearchNumberKeyMap();

  // ---- Vimbo's hold on the bar (+BarHold.cpp) -------------------------------------------------

  // From an operation's expand until its clean-up and pointer put-back the bar's collapsed state
  // is the operation's: one holder at a time, first come first served. Releasing (also by going
  // out of scope) first carries out what the person asked of the bar meanwhile, in order.
  class BarLease {
   public:
    BarLease() = default;
    BarLease(BarLease&& other) noexcept : owner_(std::exchange(other.owner_, {})) {}
    BarLease& operator=(BarLease&& other) noexcept;
    ~BarLease() { release(); }
    void release();

   private:
    friend class AppDelegate;
    explicit BarLease(std::weak_ptr<AppDelegate> owner) : owner_(std::move(owner)) {}
    std::weak_ptr<AppDelegate> owner_;
  };
  // Completes once the bar is this caller's; at once when nobody holds it.
  async::Task<BarLease> holdBar();
  // A change of the bar the person asked for: true when it has to wait for the holder (it is then
  // kept, to run as if asked the moment the bar is let go); false when the caller goes on now.
  bool deferWhileBarHeld(std::function<void(AppDelegate&)> change);

  // ---- Serial operation queue (+Queue.cpp) ----------------------------------------------------

  void enqueueSystemItemOperation(std::function<async::Task<void>()> operation);
  async::Task<bool> enqueueSystemItemOperationAndWait(std::function<async::Task<bool>()> operation);

  // ---- Refresh (+Refresh.cpp) -----------------------------------------------------------------

  async::Task<void> refreshSystemItems(bool allowRevealFallback);
  async::Task<void> performSystemItemsRefresh(bool allowRevealFallback);
  std::map<std::string, ImageRef> preservingImages(const std::vector<CapturedMenuBarItem>& items) const;
  void seedVisibleSystemImages();
  void refreshCapturedMetadataPreservingImages();
  void reconcileDisplayedSystemItemStates();
  void refreshIfCacheIsEmpty();
  void scheduleUserRevealCapture();
  void scheduleInitialCapture();

  // ---- Hover (+Hover.cpp) ---------------------------------------------------------------------

  void installHoverPreferenceObservation();
  void applyHoverPreferences(bool expandOnHover, HoverDetectionMethod method);
  void installHoverTrackingArea();
  void removeHoverTrackingArea();
  void startHoverSampling();
  void cancelHoverSampling();
  void sampleHoverPointer();
  void handleHoverPointerInside();
  void scheduleHoverEventDwell(async::Duration after);
  void scheduleHoverEventExitGrace();
  void cancelHoverEventDwell();
  void cancelHoverEventExitGrace();
  void reconcileEventHoverIfPointerIsInside();
  std::optional<Rect> currentHoverWindowFrame();
  std::optional<Rect> singleWindowFrame(uint32_t windowID);
  std::optional<HoverWindowCandidate> discoverHoverWindow();
  void revealFromHoverIfEligible();

  // ---- Reveal sessions (+Reveal.cpp) ----------------------------------------------------------

  void setSystemCollection(bool collapsed);
  void beginNativeReveal(std::optional<bool> waitForMenuBarEntry);
  async::Task<void> runNativeRevealSession(int64_t generation, MenuWindowRelocator::TrackingSession trackingSession,
                                           bool waitForMenuBarEntry);
  void collapseNativeReveal();

  // ---- Item operations (+Operations.cpp and its sibling files) --------------------------------

  std::optional<Point> destinationPoint(const CapturedMenuBarItem& item, SystemItemDestination destination);
  bool systemItemHasReachedDestination(const CapturedMenuBarItem& item, SystemItemDestination destination,
                                       bool afterCollapse);
  async::Task<bool> waitForSystemItem(CapturedMenuBarItem item, SystemItemDestination destination, bool afterCollapse);
  // Why a move failed, for a caller that says more than the move's own sentence: why the mover
  // gave the drag up, or the bar that would not be revealed or collapsed again.
  struct MoveFailure {
    enum class Bar { none, notRevealed, notCollapsed };
    MenuBarCaptureService::ItemFailure drag = MenuBarCaptureService::ItemFailure::none;
    Bar bar = Bar::none;
  };
  async::Task<bool> moveSystemItem(CapturedMenuBarItem item, SystemItemDestination destination,
                                   MoveFailure* failure = nullptr);
  bool failSystemItemMove(std::string message);
  void reconcileDisplayedSystemItemState(uint32_t windowID);
  void pinSystemItem(uint32_t windowID);
  void collectSystemItem(uint32_t windowID);
  void moveSystemItemToLayout(uint32_t windowID, MenuBarLayoutZone zone, std::optional<int64_t> index);
  async::Task<bool> pinSystemItemNow(CapturedMenuBarItem item, bool preserveRequestedLayoutOrder);
  async::Task<bool> collectSystemItemNow(CapturedMenuBarItem item, bool preserveRequestedLayoutOrder);
  void commitNativeLayout(uint32_t windowID, MenuBarLayoutZone zone, std::optional<int64_t> index);
  ResidentPinPlan residentPinPlan(const CapturedMenuBarItem& item);
  // The names of the items that could not be put back: they stay where the failed move left
  // them, no longer pinned.
  async::Task<std::vector<std::string>> restoreSwappedItems(std::vector<CapturedMenuBarItem> items);
  void beginSystemItemActivation(uint32_t windowID);
  // With the bar held, it is let go once the item's menu has opened (or none came).
  async::Task<bool> activateAndTrackNativeMenu(CapturedMenuBarItem item, BarLease held = {});
  async::Task<void> performInPlaceActivation(CapturedMenuBarItem item);
  async::Task<bool> applyMenuBarLayout(MenuBarLayoutDraft draft);
  async::Task<bool> performMenuBarLayoutApply(MenuBarLayoutDraft draft);
  bool failMenuBarLayoutApply(std::string message);
  bool validateMenuBarLayoutDraft(const MenuBarLayoutDraft& draft, const std::vector<CapturedMenuBarItem>& items);
  bool commitAppliedZone(uint32_t windowID, const MenuBarLayoutDraft& draft);
  bool isActuallyVisible(const CapturedMenuBarItem& item);
  bool isActuallyVisible(const CapturedMenuBarItem& item, const MenuBarSnapshot& bar);
  async::Task<bool> applyVisibleNativeOrder(MenuBarLayoutDraft draft);
  std::optional<std::vector<uint32_t>> nativeVisibleOrder(const std::vector<uint32_t>& ids);
  async::Task<bool> waitForNativeVisibleOrder(std::vector<uint32_t> desired);
  static std::vector<uint32_t> minimalNativeReorderSuffix(const std::vector<uint32_t>& desired,
                                                          const std::vector<uint32_t>& actual);
  async::Task<bool> moveSystemItemWhileRevealed(CapturedMenuBarItem item, SystemItemDestination destination,
                                                std::optional<Point> point, bool exactOrder, bool forceMove);

  // ---- Start-up restore, indexing and pin reconcile (+Restore.cpp and its sibling files) -------

  static bool isValidStartupFrame(const Rect& frame);
  static std::string startupFrameSignature(const Rect& frame);
  std::optional<StartupLayoutSnapshot> startupLayoutSnapshot(const std::vector<std::string>& savedIdentityOrder);
  bool hasSufficientStartupBand(const StartupLayoutSnapshot& snapshot,
                                const std::vector<std::string>& savedIdentityOrder);
  std::optional<std::vector<std::string>> startupAppendPlan(const StartupLayoutSnapshot& snapshot,
                                                            const std::vector<std::string>& savedIdentityOrder);
  bool isStartupResident(const CapturedMenuBarItem& item, const StartupLayoutSnapshot& snapshot);
  async::Task<std::optional<StartupLayoutSnapshot>> waitForStableStartupLayout(std::vector<std::string> savedIdentityOrder);
  async::Task<void> completeInitialSystemSetup(std::vector<std::string> savedIdentityOrder);
  static bool needsSafeSlotIndexing(const CapturedMenuBarItem& item);
  std::optional<MenuExtraIndexingSnapshot> nativeMenuExtraIndexingSnapshot(std::optional<std::set<uint32_t>> expectedIDs);
  async::Task<bool> restoreMenuExtraIndexingLayout(MenuExtraIndexingSnapshot snapshot);
  async::Task<MenuExtraIndexingResult> finishMenuExtraIndexing(MenuExtraIndexingSnapshot snapshot);
  async::Task<MenuExtraIndexingResult> indexUnresolvedMenuExtrasIfNeeded(std::vector<CapturedMenuBarItem> items);
  async::Task<void> reconcileSavedPinIntents(bool allowRevealFallback);
  // Confirms each saved pin of `pinsInSavedOrder` that the bar shows right of every confirmed one
  // before it in that order and left of every confirmed one after it.
  void confirmSavedPinsShownInOrder(const std::vector<CapturedMenuBarItem>& pinsInSavedOrder, const MenuBarSnapshot& bar);

  // ---- Shared helpers -------------------------------------------------------------------------

  platform::Platform& platform() { return platform_; }
  // One look at the bar for a pass that does not wait (see MenuBarSnapshot).
  MenuBarSnapshot barSnapshot() { return MenuBarSnapshot(platform_.windowServer, captureService, menuBarHider); }
  async::Executor& executor() { return platform_.executor; }
  async::TimePoint now() { return platform_.executor.now(); }
  // Runs body(self) as a task that holds the controller weakly until it starts, and strongly
  // while it runs; nothing happens when the controller is gone by then. The body returns a task
  // (awaited) or nothing. The static form serves closures that hold the controller only weakly.
  template <class F>
  async::TaskHandle<> spawnWeak(F body) {
    return spawnWeak(platform_.executor, weak_from_this(), std::move(body));
  }
  template <class F>
  static async::TaskHandle<> spawnWeak(async::Executor& executor, std::weak_ptr<AppDelegate> weak, F body);

 private:
  // The popover is shown or the detached panel is visible.
  bool isManagerShown() const;
  // The pointer (screen coordinates) lies in the popover's or the visible detached panel's frame.
  bool isInsideManager(Point screenLocation) const;
  // Closes the popover and orders the detached panel out.
  void closeManager();
  void orderQuickSearchPanelOut();
  bool isQuickSearchPanelKey() const;
  bool isSettingsWindowVisible() const;
  // Start-up's popover set-up and the re-open request's body.
  void configurePopover();
  void reopen();
  // The closures handed to our windows' content; each holds the controller weakly.
  ManagerPanelActions managerPanelActions();
  QuickSearchActions quickSearchActions();
  SettingsActions settingsActions();
  // Activates the application and brings the window to the front as key window.
  void presentKeyWindow(platform::Window& window);
  // The manager's toggle and the reveal hot key: a reveal without a session, or a collapse.
  void toggleCollection();
  // A plain click on the control item: a reveal session, or a collapse.
  void toggleRevealFromControlItem();
  std::vector<CapturedMenuBarItem> rankedQuickSearchItems() const;
  // The captured items' searched forms, kept between the quick search's keys.
  mutable CapturedMenuBarSearchIndex quickSearchIndex;
  // The pointer in window-server coordinates, from an empty event.
  std::optional<Point> pointerLocation();
  bool isPointerInControlBand(std::optional<Point> pointer);
  // The hover timings, read through the store's clamping rule.
  async::Duration hoverSamplingInterval() const;
  async::Duration hoverRevealDelay() const;
  async::Duration hoverCollapseDelay() const;

  // Tells the pending reveal capture whether the field still holds it.
  int64_t userRevealCaptureGeneration_ = 0;
  // The bar's hold: whether it is taken, who waits for it, what the person asked meanwhile.
  void releaseBar();
  bool barHeld_ = false;
  std::deque<async::OneShot<>> barWaiters_;
  std::vector<std::function<void(AppDelegate&)>> deferredBarChanges_;
  // The pins not yet seen standing in saved order among the confirmed ones, nor put in place at the
  // person's request: each may stand where its owner or we put it (the saved pins at start, a pin we
  // put back), so its slot in the saved list is kept until then.
  std::set<std::string> unconfirmedSavedPins_;
  // The window each confirmation was made on: a window that went and came back (its application
  // started again, or later) stands where its owner put it and must be seen in saved order anew.
  std::map<std::string, uint32_t> confirmedPinWindows_;
  // Set as the quit begins: the input our hold posts again then is no request of the person's to us.
  bool terminating_ = false;
};

template <class F>
async::TaskHandle<> AppDelegate::spawnWeak(async::Executor& executor, std::weak_ptr<AppDelegate> weak, F body) {
  return async::spawn(executor, [weak = std::move(weak), body = std::move(body)]() -> async::Task<void> {
    auto self = weak.lock();
    if (!self) co_return;
    if constexpr (std::is_void_v<std::invoke_result_t<const F&, AppDelegate&>>) {
      body(*self);
    } else {
      auto inner = body(*self);
      co_await std::move(inner);
    }
  });
}

}  // namespace vimbo
