// The single verified move of one status item across the divider, and the pieces every other item
// operation shares: the drop point, the one-look side test, the bounded wait, one item's
// displayed state and the common failure exit. Also the move made while the bar is held revealed.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationSupport.h"
#include "App/AppDelegate+OperationTexts.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {

constexpr int kArrivalChecks = 30;
constexpr auto kArrivalInterval = 50ms;
constexpr auto kSettleBeforeDrag = 40ms;

MenuBarCaptureService::MenuBarMoveDestination moverDestination(AppDelegate::SystemItemDestination destination) {
  return destination == AppDelegate::SystemItemDestination::visible
             ? MenuBarCaptureService::MenuBarMoveDestination::visible
             : MenuBarCaptureService::MenuBarMoveDestination::collected;
}

// An item the window server names only "Item-0" can be told apart once it stands in a safe
// visible slot; every failure here leaves the item as it was.
void refreshIdentityFromSafeSlot(AppDelegate& app, const CapturedMenuBarItem& item) {
  if (!app.captureService.indexMenuExtraFromSafeSlot(item, true)) return;
  std::optional<CapturedMenuBarItem> discovered;
  for (auto& candidate : app.captureService.discoverMenuBarItems()) {
    if (candidate.id == item.id) {
      discovered = std::move(candidate);
      break;
    }
  }
  if (!discovered) return;
  const CapturedMenuBarItem* entry = operation_support::capturedItem(app.store, item.id);
  if (!entry) return;
  CapturedMenuBarItem replacement = std::move(*discovered);
  replacement.image = entry->image;
  if (const auto shown = app.barSnapshot().isShown(item.id)) replacement.isCollected = !replacement.isFixed() && !*shown;
  app.store.updateCapturedSystemItem(replacement);
}

}  // namespace

std::optional<Point> AppDelegate::destinationPoint(const CapturedMenuBarItem& item, SystemItemDestination destination) {
  const MenuBarSnapshot bar = barSnapshot();
  if (!bar.divider()) return std::nullopt;
  if (destination == SystemItemDestination::collected) return bar_side::collectedDropPoint(*bar.divider());
  if (!bar.control()) return std::nullopt;
  return bar_side::visibleDropPoint(*bar.control(), item.originalFrame.width);
}

bool AppDelegate::systemItemHasReachedDestination(const CapturedMenuBarItem& item, SystemItemDestination destination,
                                                  bool afterCollapse) {
  const MenuBarSnapshot bar = barSnapshot();
  const auto frame = bar.frame(item.id);
  if (!frame || !bar.divider()) return false;
  if (destination == SystemItemDestination::collected) {
    if (!bar.isLeftOfDivider(*frame)) return false;
    return !afterCollapse || !captureService.isFrameOnScreen(*frame);
  }
  return bar.isRightOfDivider(*frame) && captureService.isFrameOnScreen(*frame) &&
         menuBarHider.isResidentFrameSafe(*frame, bar.control());
}

async::Task<bool> AppDelegate::waitForSystemItem(CapturedMenuBarItem item, SystemItemDestination destination,
                                                 bool afterCollapse) {
  for (int failures = 0;;) {
    if (async::isCancelled()) co_return false;
    if (systemItemHasReachedDestination(item, destination, afterCollapse)) co_return true;
    co_await async::sleepFor(kArrivalInterval);
    if (++failures >= kArrivalChecks) co_return false;
    if (async::isCancelled()) co_return false;
  }
}

async::Task<bool> AppDelegate::moveSystemItem(CapturedMenuBarItem item, SystemItemDestination destination,
                                              MoveFailure* failure) {
  const std::string& name = item.name;
  if (item.isFixed()) co_return failSystemItemMove(operation_text::moveUnsupported);
  if (!menuBarHider.setCollapsed(false)) {
    if (failure) failure->bar = MoveFailure::Bar::notRevealed;
    co_return failSystemItemMove(operation_text::moveUnsupported);
  }
  store.systemItemsCollapsed.set(false);
  co_await async::sleepFor(kSettleBeforeDrag);

  if (!systemItemHasReachedDestination(item, destination, false)) {
    const auto point = destinationPoint(item, destination);
    if (!point) co_return failSystemItemMove(operation_text::dividerNotFound(name));
    auto drag = captureService.moveMenuBarItem(item, *point, false, moverDestination(destination));
    if (!co_await std::move(drag) && !operation_support::droppedUnseen(captureService)) {
      if (failure) failure->drag = captureService.lastItemFailure();
      co_return failSystemItemMove(operation_support::dragFailure(captureService, name));
    }
    auto arrival = waitForSystemItem(item, destination, false);
    if (!co_await std::move(arrival)) co_return failSystemItemMove(operation_text::notOnTargetSide(name));
  }

  if (destination == SystemItemDestination::visible && item.windowName == "Item-0") {
    refreshIdentityFromSafeSlot(*this, item);
  }

  if (!menuBarHider.setCollapsed(true)) {
    if (failure) failure->bar = MoveFailure::Bar::notCollapsed;
    co_return failSystemItemMove(operation_text::movedButNotCollapsed(name));
  }
  store.systemItemsCollapsed.set(true);
  auto settled = waitForSystemItem(item, destination, true);
  if (!co_await std::move(settled)) co_return failSystemItemMove(operation_text::notConfirmedCollapsed(name));
  co_return true;
}

void AppDelegate::reconcileDisplayedSystemItemState(uint32_t windowID) {
  const CapturedMenuBarItem* entry = operation_support::capturedItem(store, windowID);
  if (!entry) return;
  const auto shown = barSnapshot().isShown(windowID);
  if (!shown) return;
  const bool collected = !entry->isFixed() && !*shown;
  std::vector<CapturedMenuBarItem> items = store.capturedSystemItems.get();
  for (auto& item : items) {
    if (item.id != windowID) continue;
    item.isCollected = collected;
    break;
  }
  store.capturedSystemItems.set(std::move(items));
}

bool AppDelegate::failSystemItemMove(std::string message) {
  const bool collapsed = menuBarHider.setCollapsed(true);
  store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
  store.lastError.set(collapsed ? message : message + operation_text::keptExpandedSuffix);
  reconcileDisplayedSystemItemStates();
  return false;
}

async::Task<bool> AppDelegate::moveSystemItemWhileRevealed(CapturedMenuBarItem item, SystemItemDestination destination,
                                                           std::optional<Point> point, bool exactOrder, bool forceMove) {
  if (menuBarHider.isCollapsed) co_return false;
  if (item.isFixed()) co_return false;
  co_await async::sleepFor(kSettleBeforeDrag);
  if (!forceMove) {
    auto already = waitForSystemItem(item, destination, false);
    if (co_await std::move(already)) co_return true;
  }
  const auto target = point ? point : destinationPoint(item, destination);
  if (!target) {
    store.lastError.set(operation_text::dividerNotFound(item.name));
    co_return false;
  }
  auto drag = captureService.moveMenuBarItem(item, *target, exactOrder, moverDestination(destination));
  if (!co_await std::move(drag) && !operation_support::droppedUnseen(captureService)) {
    store.lastError.set(operation_support::dragFailure(captureService, item.name));
    co_return false;
  }
  auto arrival = waitForSystemItem(item, destination, false);
  if (!co_await std::move(arrival)) {
    store.lastError.set(operation_text::notOnTargetSide(item.name));
    co_return false;
  }
  co_return true;
}

}  // namespace vimbo
