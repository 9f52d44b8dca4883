// Carrying a layout drawn in the settings window into the real bar: every item to its side of
// the divider, one confirmed move at a time, then the visible order, then the saved layout.

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationSupport.h"
#include "App/AppDelegate+OperationTexts.h"

namespace vimbo {

namespace {

// Within one apply only the failing step's sentence explains the failure. A pin or collect that
// succeeds with a note (an identity that will not survive a restart, a collect that was not
// confirmed but left the item out of sight) keeps the note for the end of a successful apply.
class ApplyNotes {
 public:
  explicit ApplyNotes(MenuBarStore& store) : store_(store) {}
  void afterInnerStep(bool succeeded) {
    if (!succeeded) return;
    if (auto note = store_.lastError.get()) {
      pending_ = std::move(note);
      store_.lastError.set(std::nullopt);
    }
  }
  void restoreOnSuccess() {
    if (pending_) store_.lastError.set(pending_);
  }

 private:
  MenuBarStore& store_;
  std::optional<std::string> pending_;
};

}  // namespace

async::Task<bool> AppDelegate::applyMenuBarLayout(MenuBarLayoutDraft draft) {
  auto wait = enqueueSystemItemOperationAndWait([weak = weak_from_this(), draft]() -> async::Task<bool> {
    auto self = weak.lock();
    if (!self) co_return false;
    auto apply = self->performMenuBarLayoutApply(draft);
    co_return co_await std::move(apply);
  });
  co_return co_await std::move(wait);
}

bool AppDelegate::isActuallyVisible(const CapturedMenuBarItem& item) { return isActuallyVisible(item, barSnapshot()); }

bool AppDelegate::isActuallyVisible(const CapturedMenuBarItem& item, const MenuBarSnapshot& bar) {
  return bar.isShown(item.id).value_or(false);
}

async::Task<bool> AppDelegate::performMenuBarLayoutApply(MenuBarLayoutDraft draft) {
  store.lastError.set(std::nullopt);
  const std::vector<CapturedMenuBarItem> snapshot = store.capturedSystemItems.get();
  if (!validateMenuBarLayoutDraft(draft, snapshot)) co_return false;
  ApplyNotes notes(store);

  std::set<uint32_t> expectedVisible;
  const MenuBarSnapshot bar = barSnapshot();
  for (const auto& item : snapshot) {
    if (!item.isFixed() && draft.zone(item.id) == MenuBarLayoutZone::visible && isActuallyVisible(item, bar)) {
      expectedVisible.insert(item.id);
    }
  }

  // A look at the bar serves the walks below until a move changes it.
  std::optional<MenuBarSnapshot> look;
  const auto currentLook = [&]() -> const MenuBarSnapshot& {
    if (!look) look.emplace(barSnapshot());
    return *look;
  };
  for (const auto& entry : snapshot) {
    const auto zone = draft.zone(entry.id);
    if (entry.isFixed() || !zone || *zone == MenuBarLayoutZone::visible) continue;
    const CapturedMenuBarItem* found = operation_support::capturedItem(store, entry.id);
    if (!found) co_return failMenuBarLayoutApply(operation_text::itemsChanged);
    const CapturedMenuBarItem live = *found;
    if (!isActuallyVisible(live, currentLook())) continue;
    look.reset();
    auto collect = collectSystemItemNow(live, true);
    const bool collected = co_await std::move(collect);
    notes.afterInnerStep(collected);
    if (!collected) co_return failMenuBarLayoutApply(operation_text::collectFailed(live.name));
    if (!commitAppliedZone(live.id, draft)) co_return failMenuBarLayoutApply(operation_text::zoneNotRecorded(live.name));
  }

  for (const auto& entry : snapshot) {
    const auto zone = draft.zone(entry.id);
    if (entry.isFixed() || zone != MenuBarLayoutZone::visible) continue;
    const CapturedMenuBarItem* found = operation_support::capturedItem(store, entry.id);
    if (!found) co_return failMenuBarLayoutApply(operation_text::itemsChanged);
    const CapturedMenuBarItem live = *found;
    if (isActuallyVisible(live, currentLook())) continue;
    look.reset();
    auto pin = pinSystemItemNow(live, true);
    const bool pinned = co_await std::move(pin);
    notes.afterInnerStep(pinned);
    if (!pinned) co_return failMenuBarLayoutApply(operation_text::pinFailed(live.name));
    const CapturedMenuBarItem* after = operation_support::capturedItem(store, live.id);
    if (!after || !isActuallyVisible(*after, currentLook())) {
      co_return failMenuBarLayoutApply(operation_text::pinnedNotOnTargetSide(live.name));
    }
    if (!commitAppliedZone(live.id, draft)) co_return failMenuBarLayoutApply(operation_text::zoneNotRecorded(live.name));
    expectedVisible.insert(live.id);

    std::vector<uint32_t> lost;
    for (const auto& item : store.capturedSystemItems.get()) {
      if (item.isFixed() || draft.zone(item.id) != MenuBarLayoutZone::visible) continue;
      if (expectedVisible.contains(item.id) && !isActuallyVisible(item, currentLook())) lost.push_back(item.id);
    }
    if (!lost.empty()) {
      for (uint32_t id : lost) store.commitLayoutMovement(id, MenuBarLayoutZone::collected, std::nullopt, false);
      co_return failMenuBarLayoutApply(operation_text::notchRoomLost(operation_support::barHasNotch(*this)));
    }
  }

  const std::vector<CapturedMenuBarItem> current = store.capturedSystemItems.get();
  for (const auto& item : current) {
    if (item.isFixed()) continue;
    const auto zone = draft.zone(item.id);
    if (!zone) co_return failMenuBarLayoutApply(operation_text::itemsChanged);
    const bool visible = isActuallyVisible(item, currentLook());
    if (*zone != MenuBarLayoutZone::visible && visible) co_return failMenuBarLayoutApply(operation_text::stillVisible(item.name));
    if (*zone == MenuBarLayoutZone::visible && !visible) co_return failMenuBarLayoutApply(operation_text::notVisible(item.name));
  }

  auto order = applyVisibleNativeOrder(draft);
  if (!co_await std::move(order)) co_return false;
  if (!store.commitMenuBarLayoutDraft(draft, true)) co_return failMenuBarLayoutApply(operation_text::layoutNotSaved);
  // The visible side now stands in the order the person drew, whatever it stood in before.
  const std::vector<CapturedMenuBarItem> visible = store.capturedItems(MenuBarLayoutZone::visible);
  for (const auto& item : visible) confirmPin(item);
  mergeConfirmedPinOrder(visible);
  reconcileDisplayedSystemItemStates();
  notes.restoreOnSuccess();
  co_return true;
}

bool AppDelegate::validateMenuBarLayoutDraft(const MenuBarLayoutDraft& draft,
                                             const std::vector<CapturedMenuBarItem>& captured) {
  std::vector<uint32_t> capturedIDs;
  for (const auto& item : captured) capturedIDs.push_back(item.id);
  const std::set<uint32_t> capturedSet(capturedIDs.begin(), capturedIDs.end());
  const std::vector<uint32_t> drafted = draft.allIDs();
  const std::set<uint32_t> draftedSet(drafted.begin(), drafted.end());
  if (capturedSet.size() != capturedIDs.size() || drafted.size() != capturedIDs.size() || draftedSet != capturedSet) {
    store.lastError.set(operation_text::itemsChanged);
    return false;
  }
  const auto visibleList = draft.orderedIDs.find(MenuBarLayoutZone::visible);
  for (const auto& item : captured) {
    if (!item.isFixed()) continue;
    const bool inVisible = visibleList != draft.orderedIDs.end() &&
                           std::find(visibleList->second.begin(), visibleList->second.end(), item.id) !=
                               visibleList->second.end();
    if (!inVisible) {
      store.lastError.set(operation_text::fixedRefusal(item.windowName));
      return false;
    }
  }
  return true;
}

bool AppDelegate::failMenuBarLayoutApply(std::string message) {
  if (!store.lastError.get()) store.lastError.set(message);
  bool collapsed = true;
  if (!menuBarHider.isCollapsed) {
    menuBarHider.setCollapsed(true);
    collapsed = menuBarHider.isCollapsed;
  }
  store.systemItemsCollapsed.set(collapsed);
  reconcileDisplayedSystemItemStates();
  return false;
}

bool AppDelegate::commitAppliedZone(uint32_t windowID, const MenuBarLayoutDraft& draft) {
  const auto zone = draft.zone(windowID);
  if (!zone) return false;
  const auto list = draft.orderedIDs.find(*zone);
  if (list == draft.orderedIDs.end()) return false;
  const auto position = std::find(list->second.begin(), list->second.end(), windowID);
  if (position == list->second.end()) return false;
  int64_t index = 0;
  for (auto it = list->second.begin(); it != position; ++it) {
    const CapturedMenuBarItem* item = operation_support::capturedItem(store, *it);
    if (item && !item->isFixed() && MenuBarLayoutRecord::isPersistableIdentity(item->stableIdentity)) ++index;
  }
  return store.commitLayoutMovement(windowID, *zone, index, false);
}

}  // namespace vimbo
