// Keeping the user's arrangement true across time. This file holds the start-up restore of the
// saved pins: the owners of the items rebuild the bar after a restart wherever they like, so the
// pinned items are appended again, one at a time and in saved order, next to the control item.
//
// Its sibling files:
//   +StartupGeometry.cpp   the snapshot of the bar, its signature, the band, resident and plan tests
//   +Indexing.cpp          the indexing of unnamed items through the safe slot
//   +IndexingRestore.cpp   putting the bar back as it was before the indexing
//   +PinReconcile.cpp      moving saved pins that drifted back to the visible side
#include <algorithm>
#include <chrono>
#include <set>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationSupport.h"
#include "App/AppDelegate+OperationTexts.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {
constexpr auto kStableWindow = 750ms;
constexpr auto kStableSettle = 220ms;
constexpr auto kStableSample = 40ms;
constexpr auto kBeforeRestore = 50ms;
constexpr auto kAfterExpand = 75ms;
constexpr auto kBeforeDrag = 40ms;
constexpr const char* kUnconfirmedIdentities = "启动时无法安全确认已保存菜单栏项目的身份，已跳过自动移动。";
constexpr const char* kResidentsUnconfirmed = "启动时未能确认已在场常驻项目位于 Vimbo.Control 前的收纳区域。";


const CapturedMenuBarItem* firstCandidateWith(const std::vector<CapturedMenuBarItem>& candidates,
                                              const std::string& identity) {
  for (const auto& candidate : candidates) {
    if (!candidate.isFixed() && candidate.stableIdentity == identity) return &candidate;
  }
  return nullptr;
}

}  // namespace

async::Task<std::optional<AppDelegate::StartupLayoutSnapshot>> AppDelegate::waitForStableStartupLayout(
    std::vector<std::string> savedIdentityOrder) {
  const async::TimePoint start = now();
  std::optional<StartupLayoutSnapshot> last;
  std::optional<std::string> seenSignature;
  std::optional<async::TimePoint> seenSince;
  while (!async::isCancelled() && now() < start + kStableWindow) {
    last = startupLayoutSnapshot(savedIdentityOrder);
    if (!last) {
      seenSignature.reset();
      seenSince.reset();
    } else {
      const async::TimePoint t = now();
      if (seenSignature == last->signature) {
        // Items that already fit the band need no long settle; others wait until nothing moves.
        if (hasSufficientStartupBand(*last, savedIdentityOrder) || t - *seenSince >= kStableSettle) co_return last;
      } else {
        seenSignature = last->signature;
        seenSince = t;
      }
    }
    if (co_await async::sleepFor(kStableSample) == async::SleepResult::Cancelled) break;
  }
  if (last && seenSince && now() - *seenSince >= kStableSettle) co_return last;
  co_return std::nullopt;
}

async::Task<void> AppDelegate::completeInitialSystemSetup(std::vector<std::string> savedIdentityOrder) {
  if (async::isCancelled()) co_return;
  // The bar is the restore's until its last check has judged the bar it made.
  auto hold = holdBar();
  const BarLease held = co_await std::move(hold);
  co_await async::sleepFor(kBeforeRestore);
  auto names = captureService.refreshMenuExtraDisplayNames();
  co_await std::move(names);

  const std::set<std::string> saved(savedIdentityOrder.begin(), savedIdentityOrder.end());
  const std::optional<std::set<std::string>> confirmed = captureService.cacheVisibleStableIdentities(saved);
  if (!confirmed) {
    // Moving an item taken for another would scramble the user's bar: move nothing.
    seedVisibleSystemImages();
    setSystemCollection(true);
    store.lastError.set(std::string(kUnconfirmedIdentities));
    scheduleInitialCapture();
    co_return;
  }
  std::vector<std::string> restoreOrder;
  for (const auto& identity : savedIdentityOrder) {
    if (confirmed->contains(identity)) restoreOrder.push_back(identity);
  }
  captureService.cacheVisibleStableIdentities();
  seedVisibleSystemImages();
  setSystemCollection(true);
  if (restoreOrder.empty()) {
    scheduleInitialCapture();
    co_return;
  }

  auto firstWait = waitForStableStartupLayout(restoreOrder);
  std::optional<StartupLayoutSnapshot> settled = co_await std::move(firstWait);
  std::set<std::string> attempted;
  // Each exit of this loop goes on to the finish below.
  while (settled && !async::isCancelled()) {
    const auto plan = startupAppendPlan(*settled, restoreOrder);
    if (!plan || plan->empty()) break;
    // An item planned again after its own move did not stay: moving it again would not help.
    if (std::any_of(plan->begin(), plan->end(), [&](const std::string& id) { return attempted.contains(id); })) break;
    const std::string next = plan->front();

    setSystemCollection(false);
    co_await async::sleepFor(kAfterExpand);
    const std::vector<CapturedMenuBarItem> discovered = captureService.discoverMenuBarItems();
    const CapturedMenuBarItem* found = firstCandidateWith(discovered, next);
    if (!found) break;
    const CapturedMenuBarItem item = *found;
    const MenuBarSnapshot bar = barSnapshot();
    const std::optional<Rect> divider = bar.divider(), control = bar.control();
    if (!divider || !control) break;
    // The expansion did not take: the item is still pushed off screen.
    if (menuBarHider.isCollapsed) break;
    co_await async::sleepFor(kBeforeDrag);

    const Point drop = bar_side::visibleDropPoint(*control, item.originalFrame.width);
    auto move = captureService.moveMenuBarItem(item, drop, true, MenuBarCaptureService::MenuBarMoveDestination::visible);
    if (!co_await std::move(move) && !operation_support::droppedUnseen(captureService)) {
      store.lastError.set(operation_support::dragFailure(captureService, item.name));
      break;
    }
    auto arrival = waitForSystemItem(item, SystemItemDestination::visible, false);
    if (!co_await std::move(arrival)) {
      store.lastError.set(operation_text::notOnTargetSide(item.name));
      break;
    }
    setSystemCollection(true);
    attempted.insert(next);

    auto nextWait = waitForStableStartupLayout(restoreOrder);
    std::optional<StartupLayoutSnapshot> after = co_await std::move(nextWait);
    if (!after || after->signature == settled->signature) break;
    const CapturedMenuBarItem* moved = firstCandidateWith(after->candidates, next);
    if (!moved || !isStartupResident(*moved, *after)) break;
    settled = std::move(after);
  }

  setSystemCollection(true);
  auto finalWait = waitForStableStartupLayout(restoreOrder);
  const std::optional<StartupLayoutSnapshot> settledAtEnd = co_await std::move(finalWait);
  if (settledAtEnd) {
    const auto plan = startupAppendPlan(*settledAtEnd, restoreOrder);
    if (plan && !plan->empty()) store.lastError.set(std::string(kResidentsUnconfirmed));
    // A saved pin the restore could not put back may stand anywhere; those standing in saved order
    // are the person's.
    std::vector<CapturedMenuBarItem> pins;
    for (const auto& identity : restoreOrder) {
      if (const CapturedMenuBarItem* found = firstCandidateWith(settledAtEnd->candidates, identity)) pins.push_back(*found);
    }
    confirmSavedPinsShownInOrder(pins, barSnapshot());
  }
  scheduleInitialCapture();
}

}  // namespace vimbo
