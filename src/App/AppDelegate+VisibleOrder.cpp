// Making the left-to-right order of the visible items match a layout by the fewest drags: the
// longest run of the wanted order the bar already shows stays, every other item is appended at
// the right end, next to the control item, in the wanted order.

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationSupport.h"
#include "App/AppDelegate+OperationTexts.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {

constexpr auto kSettleAfterExpand = 75ms;
constexpr int kOrderChecks = 16;
constexpr auto kOrderInterval = 50ms;

}  // namespace

std::vector<uint32_t> AppDelegate::minimalNativeReorderSuffix(const std::vector<uint32_t>& desired,
                                                              const std::vector<uint32_t>& actual) {
  size_t cursor = 0;
  size_t matched = 0;
  for (uint32_t id : desired) {
    const auto found = std::find(actual.begin() + static_cast<std::ptrdiff_t>(cursor), actual.end(), id);
    if (found == actual.end()) break;
    cursor = static_cast<size_t>(found - actual.begin()) + 1;
    ++matched;
  }
  return {desired.begin() + static_cast<std::ptrdiff_t>(matched), desired.end()};
}

std::optional<std::vector<uint32_t>> AppDelegate::nativeVisibleOrder(const std::vector<uint32_t>& ids) {
  struct Placed {
    uint32_t id;
    double minX;
  };
  std::vector<Placed> placed;
  const MenuBarSnapshot bar = barSnapshot();
  for (uint32_t id : ids) {
    const CapturedMenuBarItem* item = operation_support::capturedItem(store, id);
    if (!item || !isActuallyVisible(*item, bar)) continue;
    const auto frame = bar.frame(id);
    if (!frame) continue;
    placed.push_back({id, frame->minX()});
  }
  if (placed.size() < ids.size()) return std::nullopt;
  std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
    if (a.minX != b.minX) return a.minX < b.minX;
    return a.id < b.id;
  });
  std::vector<uint32_t> order;
  order.reserve(placed.size());
  for (const auto& p : placed) order.push_back(p.id);
  return order;
}

async::Task<bool> AppDelegate::waitForNativeVisibleOrder(std::vector<uint32_t> desired) {
  for (int check = 0; check < kOrderChecks; ++check) {
    if (nativeVisibleOrder(desired) == desired) co_return true;
    // A cancelled wait only ends early; the checks go on.
    co_await async::sleepFor(kOrderInterval);
  }
  co_return false;
}

async::Task<bool> AppDelegate::applyVisibleNativeOrder(MenuBarLayoutDraft draft) {
  std::vector<uint32_t> desired;
  if (const auto visible = draft.orderedIDs.find(MenuBarLayoutZone::visible); visible != draft.orderedIDs.end()) {
    for (uint32_t id : visible->second) {
      const CapturedMenuBarItem* item = operation_support::capturedItem(store, id);
      if (item && !item->isFixed()) desired.push_back(id);
    }
  }
  const auto actual = nativeVisibleOrder(desired);
  if (!actual) co_return failMenuBarLayoutApply(operation_text::orderUnknown);
  const std::vector<uint32_t> suffix = minimalNativeReorderSuffix(desired, *actual);
  if (suffix.empty()) co_return true;

  if (!menuBarHider.setCollapsed(false)) co_return failMenuBarLayoutApply(operation_text::orderExpandRefused);
  store.systemItemsCollapsed.set(false);
  co_await async::sleepFor(kSettleAfterExpand);

  for (uint32_t id : suffix) {
    const CapturedMenuBarItem* found = operation_support::capturedItem(store, id);
    if (!found) co_return failMenuBarLayoutApply(operation_text::itemsChanged);
    const CapturedMenuBarItem item = *found;
    auto move = moveSystemItemWhileRevealed(item, SystemItemDestination::visible, std::nullopt, true, true);
    if (!co_await std::move(move)) co_return failMenuBarLayoutApply(operation_text::orderMoveFailed(item.name));
  }

  if (!menuBarHider.setCollapsed(true)) co_return failMenuBarLayoutApply(operation_text::orderMovedButNotCollapsed);
  store.systemItemsCollapsed.set(true);
  auto settled = waitForNativeVisibleOrder(desired);
  if (!co_await std::move(settled)) co_return failMenuBarLayoutApply(operation_text::orderNotConfirmed);
  co_return true;
}

}  // namespace vimbo
