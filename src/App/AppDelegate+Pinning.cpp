// Pinning an item right of the divider and collecting it left of it, as queued requests of the
// manager and as steps of the layout apply, and recording the result in the layout.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationSupport.h"
#include "App/AppDelegate+OperationTexts.h"

namespace vimbo {

namespace {

// The manager's pin (to visible) or collect (to collected), queued: an item that is gone or fixed
// by its turn is left alone.
void enqueuePinOrCollect(AppDelegate& app, uint32_t windowID, MenuBarLayoutZone zone) {
  app.enqueueSystemItemOperation([weak = app.weak_from_this(), windowID, zone]() -> async::Task<void> {
    auto self = weak.lock();
    if (!self) co_return;
    const CapturedMenuBarItem* found = operation_support::capturedItem(self->store, windowID);
    if (!found || found->isFixed()) co_return;
    const CapturedMenuBarItem item = *found;
    auto move = zone == MenuBarLayoutZone::visible ? self->pinSystemItemNow(item, false)
                                                   : self->collectSystemItemNow(item, false);
    if (co_await std::move(move)) self->commitNativeLayout(item.id, zone, std::nullopt);
  });
}

}  // namespace

void AppDelegate::pinSystemItem(uint32_t windowID) { enqueuePinOrCollect(*this, windowID, MenuBarLayoutZone::visible); }

void AppDelegate::collectSystemItem(uint32_t windowID) {
  enqueuePinOrCollect(*this, windowID, MenuBarLayoutZone::collected);
}

void AppDelegate::moveSystemItemToLayout(uint32_t windowID, MenuBarLayoutZone zone, std::optional<int64_t> position) {
  enqueueSystemItemOperation([weak = weak_from_this(), windowID, zone, position]() -> async::Task<void> {
    auto self = weak.lock();
    if (!self) co_return;
    const CapturedMenuBarItem* found = operation_support::capturedItem(self->store, windowID);
    if (!found) co_return;
    const CapturedMenuBarItem item = *found;
    if (item.isFixed()) {
      self->store.lastError.set(operation_text::fixedRefusal(item.windowName));
      co_return;
    }
    const MenuBarLayoutZone current = self->store.layoutZone(item);
    bool moved = true;
    if (zone == MenuBarLayoutZone::visible) {
      auto pin = self->pinSystemItemNow(item, true);
      moved = co_await std::move(pin);
    } else if (current == MenuBarLayoutZone::visible || operation_support::standsVisible(self->barSnapshot(), item)) {
      auto collect = self->collectSystemItemNow(item, true);
      moved = co_await std::move(collect);
    }
    if (moved) self->commitNativeLayout(item.id, zone, position);
  });
}

async::Task<bool> AppDelegate::pinSystemItemNow(CapturedMenuBarItem item, bool preserveRequestedLayoutOrder) {
  const std::string name = item.name;
  if (item.isFixed()) {
    store.lastError.set(operation_text::fixedRefusal(item.windowName));
    co_return false;
  }
  const ResidentPinPlan plan = residentPinPlan(item);
  if (!plan.isPossible) {
    co_return failSystemItemMove(operation_text::noRoomRightOfNotch(name, operation_support::barHasNotch(*this)));
  }
  if (!preserveRequestedLayoutOrder) snapshotCurrentPinnedOrder();

  std::vector<CapturedMenuBarItem> swapped;
  for (const CapturedMenuBarItem& resident : plan.swappedItems) {
    const std::string identity = captureService.stableIdentity(resident);
    auto out = moveSystemItem(resident, SystemItemDestination::collected);
    if (co_await std::move(out)) {
      proxyManager.remove(identity);
      proxyManager.unpin(resident);
      reconcileDisplayedSystemItemState(resident.id);
      swapped.push_back(resident);
      continue;
    }
    // It may have crossed all the same; it then goes back with the others.
    const MenuBarSnapshot bar = barSnapshot();
    if (const auto frame = bar.frame(resident.id); frame && bar.isLeftOfDivider(*frame)) swapped.push_back(resident);
    auto restore = restoreSwappedItems(swapped);
    const std::vector<std::string> notRestored = co_await std::move(restore);
    co_return failSystemItemMove(operation_text::swapOutFailed(name, operation_support::barHasNotch(*this), notRestored));
  }

  MoveFailure refused;
  auto in = moveSystemItem(item, SystemItemDestination::visible, &refused);
  if (!co_await std::move(in)) {
    // The move has given a late drop its time: the item is judged where it ends. One that cannot
    // be taken back keeps the sentence of the move back, not a claim that all is as it was.
    std::optional<std::string> notBack;
    const MenuBarSnapshot bar = barSnapshot();
    if (const auto frame = bar.frame(item.id); frame && bar.isRightOfDivider(*frame)) {
      auto back = moveSystemItem(item, SystemItemDestination::collected);
      if (!co_await std::move(back)) {
        const MenuBarSnapshot after = barSnapshot();
        if (const auto now = after.frame(item.id); now && after.isRightOfDivider(*now)) notBack = store.lastError.get();
      }
    }
    auto restore = restoreSwappedItems(swapped);
    const std::vector<std::string> notRestored = co_await std::move(restore);
    if (notBack) {
      store.lastError.set(*notBack);
      co_return false;
    }
    // A bar that would not be revealed or collapsed, or a drag that could not even be made, says
    // why; otherwise the item did not find room.
    const bool notched = operation_support::barHasNotch(*this);
    if (refused.bar != MoveFailure::Bar::none) {
      co_return failSystemItemMove(operation_text::pinBarRefused(
          name, notched, refused.bar == MoveFailure::Bar::notCollapsed, notRestored));
    }
    const auto cause = operation_support::failureCause(refused.drag, name, operation_text::moveRefused(name));
    co_return failSystemItemMove(cause.value_or(operation_text::pinPlacementFailed(name, notched, notRestored)));
  }

  const std::string identity = captureService.stableIdentity(item);
  store.updateCapturedSystemItemIdentity(item.id, identity);
  CapturedMenuBarItem pinned = item;
  pinned.stableIdentity = identity;
  proxyManager.pin(pinned, item.stableIdentity);
  // Put in place at the person's request: where it stands from now on is theirs.
  confirmPin(pinned);
  if (MenuBarProxyManager::canSafelyRestore(identity)) {
    captureService.keepStableIdentity(pinned);
  } else {
    store.lastError.set(operation_text::noStableIdentity(name));
  }
  reconcileDisplayedSystemItemStates();
  co_return true;
}

async::Task<bool> AppDelegate::collectSystemItemNow(CapturedMenuBarItem item, bool preserveRequestedLayoutOrder) {
  if (item.isFixed()) {
    store.lastError.set(operation_text::fixedRefusal(item.windowName));
    co_return false;
  }
  if (!preserveRequestedLayoutOrder) snapshotCurrentPinnedOrder();
  const std::string identity = captureService.stableIdentity(item);
  auto move = moveSystemItem(item, SystemItemDestination::collected);
  const bool moved = co_await std::move(move);
  // A move that failed but left the item out of sight still counts: the pin must go.
  if (!moved && operation_support::standsVisible(barSnapshot(), item)) co_return false;
  proxyManager.remove(identity);
  proxyManager.unpin(item);
  reconcileDisplayedSystemItemStates();
  co_return true;
}

void AppDelegate::commitNativeLayout(uint32_t windowID, MenuBarLayoutZone zone, std::optional<int64_t> position) {
  if (zone == MenuBarLayoutZone::visible) {
    std::vector<uint32_t> lost;
    const MenuBarSnapshot bar = barSnapshot();
    for (const auto& other : store.capturedSystemItems.get()) {
      if (other.id == windowID || other.isFixed()) continue;
      if (store.layoutZone(other) != MenuBarLayoutZone::visible) continue;
      if (!operation_support::standsVisible(bar, other)) lost.push_back(other.id);
    }
    for (uint32_t id : lost) store.commitLayoutMovement(id, MenuBarLayoutZone::collected, std::nullopt, true);
  }
  store.commitLayoutMovement(windowID, zone, position, true);
  mergeConfirmedPinOrder(store.capturedItems(MenuBarLayoutZone::visible));
  reconcileDisplayedSystemItemStates();
}

}  // namespace vimbo
