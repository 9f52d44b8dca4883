// Room right of the notch for a pin: what already stands in the visible band, what the new item
// needs, and which residents go to the collected side so that everything left visible can be
// seen. And the way back when a pin has to be undone.

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/AppDelegate.h"

namespace vimbo {

namespace {

constexpr double kSlack = bar_side::slack;

struct Resident {
  CapturedMenuBarItem item;
  Rect frame;
  bool safe = false;
};

}  // namespace

AppDelegate::ResidentPinPlan AppDelegate::residentPinPlan(const CapturedMenuBarItem& item) {
  const ResidentPinPlan impossible{{}, false};
  const MenuBarSnapshot bar = barSnapshot();
  const auto& divider = bar.divider();
  const auto& control = bar.control();
  if (!divider || !control) return impossible;
  const auto safeArea = menuBarHider.menuBarSafeArea(*control);
  if (!safeArea) return impossible;

  std::vector<Resident> residents;
  for (const auto& candidate : store.capturedSystemItems.get()) {
    if (candidate.id == item.id) continue;
    const auto frame = bar.frame(candidate.id);
    if (!frame || !captureService.isFrameOnScreen(*frame)) continue;
    if (!bar_side::isInVisibleBand(*frame, *divider, *control, kSlack)) continue;
    residents.push_back({candidate, *frame, menuBarHider.isResidentFrameSafe(*frame, *control)});
  }

  const auto liveFrame = bar.frame(item.id);
  double needed = std::max(liveFrame ? liveFrame->width : 0.0, item.originalFrame.width);
  if (!(needed > 0)) return impossible;
  const double available = std::max(0.0, std::min(control->minX(), safeArea->maxX()) - safeArea->minX());
  for (const auto& resident : residents) needed += resident.frame.width;

  std::vector<const Resident*> candidates;
  for (const auto& resident : residents) {
    if (!resident.item.isFixed()) candidates.push_back(&resident);
  }
  // Residents that cannot be seen go first, whatever the room; then the leftmost safe ones.
  std::stable_sort(candidates.begin(), candidates.end(), [](const Resident* a, const Resident* b) {
    if (a->safe != b->safe) return !a->safe;
    return a->frame.minX() < b->frame.minX();
  });

  std::vector<CapturedMenuBarItem> swapped;
  for (const Resident* candidate : candidates) {
    if (needed <= available + kSlack && candidate->safe) break;
    swapped.push_back(candidate->item);
    needed -= candidate->frame.width;
  }

  const auto isSwapped = [&](const Resident& resident) {
    return std::any_of(swapped.begin(), swapped.end(),
                       [&](const CapturedMenuBarItem& s) { return s.id == resident.item.id; });
  };
  for (const auto& resident : residents) {
    if (resident.safe) continue;
    if (resident.item.isFixed() || !isSwapped(resident)) return impossible;
  }
  if (!(needed <= available + kSlack)) return impossible;
  return ResidentPinPlan{std::move(swapped), true};
}

async::Task<std::vector<std::string>> AppDelegate::restoreSwappedItems(std::vector<CapturedMenuBarItem> items) {
  std::vector<std::string> notBack;
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    const CapturedMenuBarItem& item = *it;
    auto move = moveSystemItem(item, SystemItemDestination::visible);
    if (co_await std::move(move)) {
      CapturedMenuBarItem pinned = item;
      pinned.stableIdentity = captureService.stableIdentity(item);
      proxyManager.pin(pinned, item.stableIdentity);
    } else {
      notBack.push_back(item.name);
    }
    reconcileDisplayedSystemItemState(item.id);
  }
  reconcileDisplayedSystemItemStates();
  co_return notBack;
}

}  // namespace vimbo
