// Saved pins that drifted: at the end of a full refresh every saved pin whose item does not
// actually stand visible right of the divider is moved back there, in the order of the saved
// list. With the reveal fallback, items captured under another identity are first looked at
// again while the bar is expanded, so that they carry the identity they were pinned under.
#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <set>

#include "App/AppDelegate.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {

constexpr auto kAfterExpand = 50ms;
// The bar refuses to expand when the window server reports no window on screen; the permission
// is named only when it is what is missing.
constexpr const char* kExpandRefused = "无法展开菜单栏以恢复已保存的项目；请稍后重试。";
constexpr const char* kExpandRefusedWithoutAccessibility = "无法展开菜单栏以恢复已保存的项目；请允许 Vimbo 使用辅助功能后重试。";

bool isPinnedAccessibilityIdentity(const CapturedMenuBarItem& item, const std::vector<std::string>& pinned) {
  return !item.isFixed() && MenuBarProxyManager::canSafelyRestore(item.stableIdentity) &&
         std::find(pinned.begin(), pinned.end(), item.stableIdentity) != pinned.end();
}

}  // namespace

async::Task<void> AppDelegate::reconcileSavedPinIntents(bool allowRevealFallback) {
  const std::vector<CapturedMenuBarItem> captured = store.capturedSystemItems.get();
  const std::vector<std::string> savedOrder = proxyManager.restorableSavedIdentityOrder();
  std::set<std::string> missing(savedOrder.begin(), savedOrder.end());
  for (const auto& item : captured) missing.erase(item.stableIdentity);

  std::vector<CapturedMenuBarItem> source = captured;
  if (allowRevealFallback && !missing.empty() && menuBarHider.isCollapsed) {
    if (!menuBarHider.setCollapsed(false)) {
      const bool trusted = platform().accessibility.isProcessTrusted(false);
      store.lastError.set(std::string(trusted ? kExpandRefused : kExpandRefusedWithoutAccessibility));
      co_return;
    }
    store.systemItemsCollapsed.set(false);
    co_await async::sleepFor(kAfterExpand);
    source = captureService.discoverMenuBarItems();
    const std::vector<std::string>& pinned = proxyManager.pinnedIdentities();
    for (const auto& item : source) {
      if (isPinnedAccessibilityIdentity(item, pinned)) store.updateCapturedSystemItemIdentity(item.id, item.stableIdentity);
    }
  }

  const std::vector<std::string>& pinned = proxyManager.pinnedIdentities();
  std::map<std::string, CapturedMenuBarItem> matches;
  for (const auto& item : source) {
    if (isPinnedAccessibilityIdentity(item, pinned)) matches.try_emplace(item.stableIdentity, item);
  }
  std::vector<CapturedMenuBarItem> pinnedItems;
  for (const auto& identity : savedOrder) {
    auto match = matches.find(identity);
    if (match == matches.end()) continue;
    // Every later look (the quit's record, a collect) must know this window by its saved pin.
    captureService.keepStableIdentity(match->second);
    pinnedItems.push_back(match->second);
  }

  // One look at the bar serves the walk until a move changes it.
  std::optional<MenuBarSnapshot> bar;
  for (const auto& item : pinnedItems) {
    if (!bar) bar.emplace(barSnapshot());
    if (bar->isShown(item.id).value_or(false)) continue;
    bar.reset();
    // Where we put it back is ours, not the person's: its saved slot holds until it is seen in order.
    unconfirmPin(item.stableIdentity);
    auto move = moveSystemItem(item, SystemItemDestination::visible);
    co_await std::move(move);
  }

  if (!menuBarHider.isCollapsed) {
    menuBarHider.setCollapsed(true);
    store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
  }
  // A pin the start-up restore left where its owner put it, one whose application came later and
  // one put back just now may stand in saved order by now.
  const auto unconfirmed = [&](const CapturedMenuBarItem& item) { return !isConfirmedPin(item); };
  if (std::any_of(pinnedItems.begin(), pinnedItems.end(), unconfirmed)) {
    confirmSavedPinsShownInOrder(pinnedItems, barSnapshot());
  }
}

void AppDelegate::confirmSavedPinsShownInOrder(const std::vector<CapturedMenuBarItem>& pinsInSavedOrder,
                                               const MenuBarSnapshot& bar) {
  std::vector<std::optional<double>> shownAt;
  for (const auto& item : pinsInSavedOrder) {
    const std::optional<Rect> frame = bar.frame(item.id);
    shownAt.push_back(frame && bar.isShown(*frame) ? std::optional(frame->minX()) : std::nullopt);
  }
  auto confirmed = [&](size_t i) { return isConfirmedPin(pinsInSavedOrder[i]); };
  for (size_t i = 0; i < pinsInSavedOrder.size(); ++i) {
    if (!shownAt[i] || confirmed(i)) continue;
    bool fits = true;
    for (size_t j = 0; j < pinsInSavedOrder.size() && fits; ++j) {
      if (j == i || !shownAt[j] || !confirmed(j)) continue;
      fits = j < i ? *shownAt[j] < *shownAt[i] : *shownAt[i] < *shownAt[j];
    }
    if (fits) confirmPin(pinsInSavedOrder[i]);
  }
}

}  // namespace vimbo
