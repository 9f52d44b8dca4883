// Keeping the user's arrangement true across time. This file holds the start-up restore of the
// saved pins: the owners of the items rebuild the bar after a restart wherever they like, so the
// pinned items are appended again, one at a time and in saved order, next to the control item.
//
// Its sibling files:
//   +StartupGeometry.cpp   the snapshot of the bar, its signature, the band, resident and plan tests
//   +Indexing.cpp          the indexing of unnamed items through the safe slot
//   +IndexingRestore.cpp   putting the bar back as it was before the indexing
//   +PinReconcile.cpp      moving saved pins that drifted back to the visible side
#include <chrono>

#include "App/AppDelegate.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {
constexpr auto kStableWindow = 750ms;
constexpr auto kStableSettle = 220ms;
constexpr auto kStableSample = 40ms;
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

// What the restore does when nothing can be restored.
async::Task<void> AppDelegate::completeInitialSystemSetup(std::vector<std::string>) {
  setSystemCollection(true);
  scheduleInitialCapture();
  co_return;
}

async::Task<bool> AppDelegate::restoreMenuExtraIndexingLayout(MenuExtraIndexingSnapshot) { co_return false; }

async::Task<AppDelegate::MenuExtraIndexingResult> AppDelegate::finishMenuExtraIndexing(MenuExtraIndexingSnapshot) {
  co_return MenuExtraIndexingResult::notNeeded;
}

async::Task<AppDelegate::MenuExtraIndexingResult> AppDelegate::indexUnresolvedMenuExtrasIfNeeded(
    std::vector<CapturedMenuBarItem>) {
  co_return MenuExtraIndexingResult::notNeeded;
}

async::Task<void> AppDelegate::reconcileSavedPinIntents(bool) { co_return; }

}  // namespace vimbo
