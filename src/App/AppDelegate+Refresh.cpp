// Keeping the store's captured items in step with the bar: the full refresh (serialised in the
// operation chain), the light seed, the metadata refresh, the state reconcile, and the triggers
// that start them (the initial capture, an empty cache, a user's reveal).
#include <array>
#include <chrono>
#include <unordered_map>

#include "App/AppDelegate.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {
constexpr auto kUserRevealCaptureDelay = 600ms;
constexpr std::array<async::Duration, 3> kInitialCaptureDelays{450ms, 800ms, 1400ms};

// Re-derives each held item's displayed state from one look at the bar and publishes the list
// once, only when a state changed. Items sharing a window number write the first of them, the
// last one's state winning.
void reconcileDisplayedStates(MenuBarStore& store, const MenuBarSnapshot& bar) {
  std::vector<CapturedMenuBarItem> items = store.capturedSystemItems.get();
  std::unordered_map<uint32_t, size_t> first;
  bool changed = false;
  for (size_t i = 0; i < items.size(); ++i) {
    const size_t target = first.try_emplace(items[i].id, i).first->second;
    const bool collected = bar.isDisplayedCollected(items[i], true);
    if (items[target].isCollected == collected) continue;
    items[target].isCollected = collected;
    changed = true;
  }
  if (changed) store.capturedSystemItems.set(std::move(items));
}

// Whether the main loop has turned since this was made. A look at the bar taken before stays
// true while it has not, as long as the code in between changed nothing itself: nothing else
// ran, and no wait passed.
class LoopTurnWatch {
 public:
  explicit LoopTurnWatch(async::Executor& executor) : turned_(std::make_shared<bool>(false)) {
    executor.post([turned = turned_] { *turned = true; });
  }
  bool turned() const { return *turned_; }

 private:
  std::shared_ptr<bool> turned_;
};
}  // namespace

// MARK: - Full refresh

async::Task<void> AppDelegate::refreshSystemItems(bool allowRevealFallback) {
  if (store.isCapturingSystemItems.get()) co_return;
  store.isCapturingSystemItems.set(true);
  auto predecessor = systemItemOperationTask;
  auto refresh = async::spawn(platform_.executor,
                              [weak = weak_from_this(), predecessor, allowRevealFallback]() -> async::Task<void> {
                                co_await predecessor.join();
                                auto self = weak.lock();
                                if (!self) co_return;
                                auto body = self->performSystemItemsRefresh(allowRevealFallback);
                                co_await std::move(body);
                              });
  systemItemOperationTask = refresh;
  co_await refresh.join();
  store.isCapturingSystemItems.set(false);
}

async::Task<void> AppDelegate::performSystemItemsRefresh(bool allowRevealFallback) {
  if (!platform_.screenCaptureAccess.preflight() && !platform_.screenCaptureAccess.request()) {
    store.screenCapturePermissionGranted.set(false);
    co_return;
  }
  store.screenCapturePermissionGranted.set(true);
  // The bar is the refresh's from its look on: the pictures need it collapsed throughout, and what
  // the person asks of it meanwhile comes after the indexing and the saved pins' reconcile below,
  // which move items and collapse it again.
  auto hold = holdBar();
  const BarLease held = co_await std::move(hold);
  // Pictures can be taken of items pushed off screen, so capture happens only while collapsed.
  if (!menuBarHider.isCollapsed) co_return;

  auto names = captureService.refreshMenuExtraDisplayNames();
  co_await std::move(names);

  std::vector<CapturedMenuBarItem> discovered = captureService.discoverMenuBarItems();
  if (discovered.empty()) {
    store.replaceCapturedSystemItems({});
    co_return;
  }
  auto images = preservingImages(discovered);
  auto capture = captureService.captureImages(std::move(discovered), std::move(images));
  MenuBarCaptureService::CaptureImagesResult result = co_await std::move(capture);
  if (result.error) {
    store.lastError.set(result.error->description());
    co_return;
  }
  const MenuBarSnapshot bar = barSnapshot();
  // The look stays good for the reconcile below while nothing waits and the bar keeps its state:
  // the saved pins have nothing to put back.
  const LoopTurnWatch sinceLook(platform_.executor);
  const bool collapsedAtLook = menuBarHider.isCollapsed;
  for (auto& item : result.items) item.isCollected = bar.isDisplayedCollected(item, item.isCollected);
  store.replaceCapturedSystemItems(std::move(result.items));

  if (didAttemptAutomaticMenuExtraIndexing && !allowRevealFallback) {
    auto pins = reconcileSavedPinIntents(allowRevealFallback);
    co_await std::move(pins);
    if (!sinceLook.turned() && menuBarHider.isCollapsed == collapsedAtLook) {
      reconcileDisplayedStates(store, bar);
    } else {
      reconcileDisplayedSystemItemStates();
    }
    co_return;
  }
  didAttemptAutomaticMenuExtraIndexing = true;
  auto indexing = indexUnresolvedMenuExtrasIfNeeded(store.capturedSystemItems.get());
  const MenuExtraIndexingResult indexed = co_await std::move(indexing);
  switch (indexed) {
    case MenuExtraIndexingResult::finished:
      refreshCapturedMetadataPreservingImages();
      [[fallthrough]];
    case MenuExtraIndexingResult::notNeeded: {
      auto pins = reconcileSavedPinIntents(allowRevealFallback);
      co_await std::move(pins);
      break;
    }
    case MenuExtraIndexingResult::failed:
      break;
  }
  reconcileDisplayedSystemItemStates();
}

std::map<std::string, ImageRef> AppDelegate::preservingImages(const std::vector<CapturedMenuBarItem>& items) const {
  std::map<uint32_t, const CapturedMenuBarItem*> current;
  for (const auto& item : store.capturedSystemItems.get()) current.emplace(item.id, &item);
  std::map<std::string, ImageRef> images;
  for (const auto& item : items) {
    auto it = current.find(item.id);
    if (it == current.end() || !it->second->image) continue;
    // Under both identities, so an item whose identity changed keeps its picture.
    images[it->second->stableIdentity] = it->second->image;
    images[item.stableIdentity] = it->second->image;
  }
  return images;
}

// MARK: - Seed, metadata and reconcile

void AppDelegate::seedVisibleSystemImages() {
  std::vector<CapturedMenuBarItem> discovered = captureService.discoverMenuBarItems();
  if (discovered.empty()) return;
  auto captured = captureService.captureVisibleImages(discovered, preservingImages(discovered));
  if (captured.empty()) {
    store.replaceCapturedSystemItems({});
    return;
  }
  const MenuBarSnapshot bar = barSnapshot();
  for (auto& item : captured) item.isCollected = bar.isDisplayedCollected(item, item.isCollected);
  store.replaceCapturedSystemItems(std::move(captured));
}

void AppDelegate::refreshCapturedMetadataPreservingImages() {
  std::map<uint32_t, ImageRef> currentImages;
  for (const auto& item : store.capturedSystemItems.get()) currentImages.emplace(item.id, item.image);
  std::vector<CapturedMenuBarItem> discovered = captureService.discoverMenuBarItems();
  const MenuBarSnapshot bar = barSnapshot();
  for (auto& item : discovered) {
    auto it = currentImages.find(item.id);
    if (it != currentImages.end() && it->second) item.image = it->second;
    item.isCollected = bar.isDisplayedCollected(item, item.isCollected);
  }
  store.replaceCapturedSystemItems(std::move(discovered));
}

void AppDelegate::reconcileDisplayedSystemItemStates() { reconcileDisplayedStates(store, barSnapshot()); }

// MARK: - Triggers

void AppDelegate::refreshIfCacheIsEmpty() {
  if (!store.capturedSystemItems.get().empty()) return;
  spawnWeak([](AppDelegate& self) { return self.refreshSystemItems(true); });
}

void AppDelegate::scheduleUserRevealCapture() {
  userRevealCaptureTask.cancel();
  const int64_t generation = ++userRevealCaptureGeneration_;
  userRevealCaptureTask =
      async::spawn(platform_.executor, [weak = weak_from_this(), generation]() -> async::Task<void> {
        // A superseded capture must not clear its successor's handle.
        auto clearIfCurrent = [generation](AppDelegate& self) {
          if (self.userRevealCaptureGeneration_ == generation) self.userRevealCaptureTask = {};
        };
        const auto slept = co_await async::sleepFor(kUserRevealCaptureDelay);
        auto self = weak.lock();
        if (!self) co_return;
        if (slept == async::SleepResult::Cancelled || async::isCancelled() || self->menuBarHider.isCollapsed ||
            self->store.isCapturingSystemItems.get()) {
          clearIfCurrent(*self);
          co_return;
        }
        auto names = self->captureService.refreshMenuExtraDisplayNames();
        co_await std::move(names);
        if (!async::isCancelled() && !self->menuBarHider.isCollapsed) {
          self->captureService.cacheVisibleStableIdentities();
          self->seedVisibleSystemImages();
        }
        clearIfCurrent(*self);
      });
}

void AppDelegate::scheduleInitialCapture() {
  async::spawn(platform_.executor, [weak = weak_from_this()]() -> async::Task<void> {
    // Each sleep runs from the end of the previous refresh; a cancelled sleep is ignored.
    for (const auto delay : kInitialCaptureDelays) {
      co_await async::sleepFor(delay);
      auto self = weak.lock();
      if (!self) co_return;
      auto refresh = self->refreshSystemItems(false);
      co_await std::move(refresh);
      if (!self->store.capturedSystemItems.get().empty()) co_return;
    }
  });
}

}  // namespace vimbo
