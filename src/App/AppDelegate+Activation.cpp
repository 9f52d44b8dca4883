// Opening another application's status item as if the user had clicked it in the bar, also when
// it is collected: pressed where it stands, pressed with the bar revealed, or carried next to the
// control item for the press and put back behind the divider once its menu has closed. Not
// queued: one activation at a time, later requests dropped.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationSupport.h"
#include "App/AppDelegate+OperationTexts.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {

constexpr auto kFirstLook = 50ms;
constexpr auto kSettle = 35ms;
constexpr auto kNoMenuPause = 700ms;
// A drop the window server shows late is looked for as long as a single move waits for its item
// to arrive: 30 looks 50 ms apart.
constexpr auto kDropLook = 50ms;
constexpr auto kDropSettle = 30 * kDropLook;

}  // namespace

void AppDelegate::beginSystemItemActivation(uint32_t windowID) {
  if (systemItemActivationTask) return;  // one at a time; later requests are dropped
  const CapturedMenuBarItem* found = operation_support::capturedItem(store, windowID);
  if (!found) {
    // Chosen from a list a refresh has since replaced: the window asked for is no longer known.
    store.lastError.set(operation_text::itemsChanged);
    return;
  }
  systemItemActivationTask = spawnWeak([item = *found](AppDelegate& self) -> async::Task<void> {
    auto activation = self.performInPlaceActivation(item);
    co_await std::move(activation);
    self.systemItemActivationTask = {};
  });
}

async::Task<void> AppDelegate::performInPlaceActivation(CapturedMenuBarItem item) {
  co_await async::sleepFor(kFirstLook);
  if (async::isCancelled()) co_return;
  using Failure = MenuBarCaptureService::ItemFailure;
  // Why a press was not made, named in the turn it failed in (a later move replaces the cause).
  const auto pressFailure = [&](bool ok) -> std::optional<std::string> {
    if (ok) return std::nullopt;
    return operation_support::failureCause(captureService.lastItemFailure(), item.name,
                                           operation_text::accessibilityNeededToPress);
  };
  const auto report = [&](const std::optional<std::string>& sentence) {
    if (sentence) store.lastError.set(*sentence);
  };

  // The bar is ours from the expand until the item's menu has opened; while the menu is open it is
  // nobody's, and what comes after the menu (a collapse, a put-back) holds it again. A bar another
  // operation holds is revealed only for that operation's move: the opening decides on the bar
  // that operation leaves, and keeps the hold until the menu has opened, so that what the person
  // asked of the bar meanwhile comes after.
  BarLease held;
  const bool heldByAnother = barHeld_;
  if (heldByAnother) {
    auto turn = holdBar();
    held = co_await std::move(turn);
    if (async::isCancelled()) co_return;
  }
  if (item.isFixed() || !menuBarHider.isCollapsed) {
    auto press = activateAndTrackNativeMenu(item, std::move(held));
    const bool ok = co_await std::move(press);
    // Here a missing permission stays unsaid; a press declined where the item stands does not.
    const Failure failure = captureService.lastItemFailure();
    if (failure == Failure::notPressable || failure == Failure::windowGone) report(pressFailure(ok));
    co_return;
  }
  if (barSnapshot().isShown(item.id).value_or(false)) {
    auto press = activateAndTrackNativeMenu(item, std::move(held));
    const bool ok = co_await std::move(press);
    report(pressFailure(ok));
    co_return;
  }

  if (!heldByAnother) {
    auto setUp = holdBar();
    held = co_await std::move(setUp);
  }
  menuBarHider.setCollapsed(false);
  co_await async::sleepFor(kSettle);

  if (const auto frame = captureService.currentFrame(item.id);
      frame && captureService.isFrameOnScreen(*frame) && menuBarHider.isMenuBarFrameSafe(*frame)) {
    auto press = activateAndTrackNativeMenu(item, std::move(held));
    const bool ok = co_await std::move(press);
    const auto failure = pressFailure(ok);
    auto after = holdBar();
    held = co_await std::move(after);
    menuBarHider.setCollapsed(true);
    store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
    report(failure);
    co_return;
  }

  bool placed = false;
  bool carried = false;
  // A carry that was not confirmed may still be shown late, until this time.
  std::optional<async::TimePoint> mayLandUntil;
  const MenuBarSnapshot bar = barSnapshot();
  if (const auto frame = bar.frame(item.id);
      frame && bar.isRightOfDivider(*frame) && menuBarHider.isMenuBarFrameSafe(*frame)) {
    menuBarHider.setCollapsed(true);
    co_await async::sleepFor(kSettle);
    placed = true;
  } else {
    const auto& control = bar.control();
    if (bar.divider() && control) {
      const bool stoodLeft = frame && bar.isLeftOfDivider(*frame);
      const Point point = bar_side::visibleDropPoint(*control, item.originalFrame.width);
      auto carry = captureService.moveMenuBarItem(item, point, false, MenuBarCaptureService::MenuBarMoveDestination::visible);
      const bool moved = co_await std::move(carry);
      // From the carry's own hold on until the bar is collapsed for the press, the person's input
      // waits: the bar under their pointer is still changing for us.
      platform::InputHoldScope collapsing(platform_.inputHold);
      const Failure failure = captureService.lastItemFailure();
      carried = stoodLeft;
      // Only a drop that was made may still be shown late; a carry refused or given up was not.
      if (!moved && failure == Failure::notArrived) mayLandUntil = now() + kDropSettle;
      co_await async::sleepFor(kSettle);
      const MenuBarSnapshot barNow = barSnapshot();
      const auto now = barNow.frame(item.id);
      if (moved && now && barNow.isRightOfDivider(*now) && menuBarHider.isResidentFrameSafe(*now, barNow.control())) {
        menuBarHider.setCollapsed(true);
        co_await async::sleepFor(kSettle);
        placed = true;
      }
    }
  }

  auto press = activateAndTrackNativeMenu(item, std::move(held));
  const bool ok = co_await std::move(press);
  const auto pressed = pressFailure(ok);
  auto after = holdBar();
  held = co_await std::move(after);

  // An item carried right of the divider for the click goes back even when the carry was not
  // confirmed: otherwise opening its menu would have quietly un-collected it. Such a carry may
  // be shown late, so the decision waits until its drop has had the time to settle.
  bool putBack = placed;
  while (!putBack && carried) {
    const MenuBarSnapshot barNow = barSnapshot();
    const auto frame = barNow.frame(item.id);
    putBack = frame && barNow.isRightOfDivider(*frame);
    if (putBack || !mayLandUntil || now() >= *mayLandUntil || async::isCancelled()) break;
    co_await async::sleepFor(kDropLook);
  }
  if (!putBack) {
    menuBarHider.setCollapsed(true);
    report(pressed);
    store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
    co_return;
  }

  // The person's input waits while the bar changes under it for the put-back: from the reveal
  // until the move holds it itself, and from the drop until the bar is collapsed again. It goes on
  // while nothing of ours is in flight (a drop shown late is waited for without a hold).
  platform::InputHoldScope revealing(platform_.inputHold);
  menuBarHider.setCollapsed(false);
  co_await async::sleepFor(kSettle);
  std::optional<std::string> notBack;
  if (const auto divider = menuBarHider.windowServerFrame(hider::dividerName)) {
    const Point point = bar_side::collectedDropPoint(*divider);
    auto back = captureService.moveMenuBarItem(item, point, false, MenuBarCaptureService::MenuBarMoveDestination::collected);
    // The move takes its own hold as it parks the pointer, in the turn it starts in.
    revealing.release();
    bool returned = co_await std::move(back);
    platform::InputHoldScope collapsing(platform_.inputHold);
    if (const Failure failure = captureService.lastItemFailure(); !returned && failure == Failure::notArrived) {
      // Dropped, but perhaps shown late: judged by where it ends.
      collapsing.release();
      auto arrival = waitForSystemItem(item, SystemItemDestination::collected, false);
      returned = co_await std::move(arrival);
      collapsing = platform::InputHoldScope(platform_.inputHold);
    } else if (!returned) {
      notBack = operation_support::failureCause(failure, item.name, operation_text::moveRefused(item.name));
    }
    co_await async::sleepFor(kSettle);
    const MenuBarSnapshot barNow = barSnapshot();
    const auto frame = barNow.frame(item.id);
    if (returned && frame && barNow.isLeftOfDivider(*frame)) {
      menuBarHider.setCollapsed(true);
      report(pressed);
      store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
      co_return;
    }
  }
  store.systemItemsCollapsed.set(false);
  store.lastError.set(notBack.value_or(operation_text::putBackFailed));
  report(pressed);
  store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
}

async::Task<bool> AppDelegate::activateAndTrackNativeMenu(CapturedMenuBarItem item, BarLease held) {
  // A local, so that every way out lets go (a parameter lives as long as the task object).
  BarLease untilOpen = std::move(held);
  const auto baseline = menuWindowRelocator.visibleMenuWindowIDs();
  auto activation = captureService.activate(item);
  if (!co_await std::move(activation)) co_return false;
  auto appeared = menuWindowRelocator.newMenuWindowID(baseline);
  const auto menu = co_await std::move(appeared);
  untilOpen.release();
  if (!menu) {
    co_await async::sleepFor(kNoMenuPause);
  } else {
    auto closed = menuWindowRelocator.waitForMenuToClose(*menu);
    co_await std::move(closed);
  }
  co_return true;
}

}  // namespace vimbo
