#include "Views/MenuBarLayoutEditorModel.h"

#include <algorithm>

#include "Views/HoverSettingsModel.h"
#include "Views/MenuBarLayoutItemModel.h"

namespace vimbo {

std::string_view layoutZoneTitle(MenuBarLayoutZone zone) {
  switch (zone) {
    case MenuBarLayoutZone::visible: return "显示的项目";
    case MenuBarLayoutZone::collected: return "收纳的项目";
    case MenuBarLayoutZone::hidden: return "隐藏的项目";
  }
  return {};
}

std::string_view layoutZoneSymbol(MenuBarLayoutZone zone) {
  switch (zone) {
    case MenuBarLayoutZone::visible: return "eye.fill";
    case MenuBarLayoutZone::collected: return "archivebox.fill";
    case MenuBarLayoutZone::hidden: return "eye.slash.fill";
  }
  return {};
}

std::shared_ptr<MenuBarLayoutEditorModel> MenuBarLayoutEditorModel::make(MenuBarStore& store,
                                                                         async::Executor& executor,
                                                                         ApplyLayout applyLayout,
                                                                         RefreshItems refreshItems) {
  std::shared_ptr<MenuBarLayoutEditorModel> model(
      new MenuBarLayoutEditorModel(store, executor, std::move(applyLayout), std::move(refreshItems)));
  model->observeStore();
  return model;
}

MenuBarLayoutEditorModel::MenuBarLayoutEditorModel(MenuBarStore& store, async::Executor& executor,
                                                   ApplyLayout applyLayout, RefreshItems refreshItems)
    : store_(store),
      executor_(executor),
      applyLayout_(std::move(applyLayout)),
      refreshItems_(std::move(refreshItems)),
      draft_(store.currentMenuBarLayoutDraft()),
      toast_(std::make_shared<TransientMessage>(executor)),
      lastSeenCapturing_(store.isCapturingSystemItems.get()) {}

void MenuBarLayoutEditorModel::observeStore() {
  std::weak_ptr<MenuBarLayoutEditorModel> weak = weak_from_this();
  subscriptions_.push_back(store_.objectWillChange.subscribe([weak](std::uint64_t) {
    if (auto self = weak.lock()) self->notify();
  }));
  // The store notifies on every assignment; only a real end of a capture rebuilds, or a repeated
  // false would throw away the user's unapplied edits.
  subscriptions_.push_back(store_.isCapturingSystemItems.subscribe([weak](bool capturing) {
    auto self = weak.lock();
    if (!self || capturing == self->lastSeenCapturing_) return;
    self->lastSeenCapturing_ = capturing;
    if (capturing || self->applying_) return;
    // The value is stored only after the subscribers ran: rebuild on the next turn, from the
    // store as the capture left it.
    self->executor_.post([weak] {
      auto again = weak.lock();
      if (again && !again->applying_) again->rebuildDraft();
    });
  }));
}

void MenuBarLayoutEditorModel::notify() {
  if (changeHandler_) changeHandler_();
}

void MenuBarLayoutEditorModel::rebuildDraft() {
  draft_ = store_.currentMenuBarLayoutDraft();
  notify();
}

const CapturedMenuBarItem* MenuBarLayoutEditorModel::capturedItem(std::uint32_t id) const {
  const auto& items = store_.capturedSystemItems.get();
  auto it = std::find_if(items.begin(), items.end(), [id](const auto& item) { return item.id == id; });
  return it == items.end() ? nullptr : &*it;
}

bool MenuBarLayoutEditorModel::draftDiffers() const {
  return draft_.orderedIDs != store_.currentMenuBarLayoutDraft().orderedIDs;
}

std::vector<CapturedMenuBarItem> MenuBarLayoutEditorModel::rowItems(MenuBarLayoutZone zone) const {
  std::vector<CapturedMenuBarItem> row;
  auto list = draft_.orderedIDs.find(zone);
  if (list == draft_.orderedIDs.end()) return row;
  for (auto id : list->second) {
    if (const auto* item = capturedItem(id)) row.push_back(*item);
  }
  return row;
}

bool MenuBarLayoutEditorModel::refreshEnabled() const {
  return !applying_ && !store_.isCapturingSystemItems.get();
}

double MenuBarLayoutEditorModel::refreshOpacity() const {
  return refreshEnabled() ? 1 : inapplicableControlOpacity;
}

bool MenuBarLayoutEditorModel::applyEnabled() const {
  return !applying_ && !store_.isCapturingSystemItems.get() && draftDiffers();
}

std::optional<MenuBarLayoutEditorModel::StatusLine> MenuBarLayoutEditorModel::statusLine() const {
  if (!draftDiffers()) return std::nullopt;
  if (applying_) return StatusLine{"正在应用预览布局…", "hourglass"};
  return StatusLine{"布局预览尚未应用", "circle.dotted"};
}

void MenuBarLayoutEditorModel::appear() {
  if (store_.capturedSystemItems.get().empty()) refresh();
}

void MenuBarLayoutEditorModel::refresh() {
  async::spawn(executor_, [weak = weak_from_this(), refreshItems = refreshItems_] {
    return runRefresh(weak, refreshItems);
  });
}

// Holds the editor only weakly across the await: the page may be left while the capture runs.
async::Task<void> MenuBarLayoutEditorModel::runRefresh(std::weak_ptr<MenuBarLayoutEditorModel> weak,
                                                       RefreshItems refreshItems) {
  {
    auto self = weak.lock();
    if (!self || self->applying_) co_return;
  }
  if (refreshItems) {
    auto refreshing = refreshItems();
    co_await std::move(refreshing);
  }
  auto self = weak.lock();
  if (self && !self->applying_) self->rebuildDraft();
}

void MenuBarLayoutEditorModel::applyDraft() {
  if (applying_ || !draftDiffers()) return;
  applying_ = true;
  notify();
  async::spawn(executor_, [weak = weak_from_this(), applyLayout = applyLayout_, draft = draft_] {
    return runApply(weak, applyLayout, draft);
  });
}

// The closure lives in this frame, so it outlives an editor discarded while the apply runs.
async::Task<void> MenuBarLayoutEditorModel::runApply(std::weak_ptr<MenuBarLayoutEditorModel> weak,
                                                     ApplyLayout applyLayout, MenuBarLayoutDraft draft) {
  bool applied = false;
  if (applyLayout) {
    auto applying = applyLayout(std::move(draft));
    applied = co_await std::move(applying);
  }
  auto self = weak.lock();
  if (!self) co_return;
  if (applied) {
    self->draft_ = self->store_.currentMenuBarLayoutDraft();
    self->showToast(std::string(appliedToast));
  }
  self->applying_ = false;
  self->notify();
}

void MenuBarLayoutEditorModel::showToast(std::string text) { toast_->show(std::move(text)); }

void MenuBarLayoutEditorModel::chipClicked(const CapturedMenuBarItem& item) {
  if (auto refusal = fixedItemRefusal(item)) showToast(std::string(*refusal));
}

bool MenuBarLayoutEditorModel::acceptsDrop(std::string_view payload) const {
  if (applying_) return false;
  auto id = parseLayoutDropPayload(payload);
  if (!id) return false;
  const auto* item = capturedItem(*id);
  return item && !item->isFixed() && draft_.zone(*id).has_value();
}

bool MenuBarLayoutEditorModel::handleDrop(std::string_view payload, MenuBarLayoutZone zone,
                                          std::optional<int64_t> visualIndex) {
  // A drop may still arrive while the page is disabled for an apply.
  if (applying_) return false;
  auto id = parseLayoutDropPayload(payload);
  if (!id) return false;
  const auto* item = capturedItem(*id);
  if (!item) return false;
  if (auto refusal = fixedItemRefusal(*item)) {
    showToast(std::string(*refusal));
    return false;
  }
  auto source = draft_.zone(*id);
  if (!source) return false;
  auto index = logicalInsertionIndex(visualIndex, zone, *id);
  MenuBarLayoutDraft copy = draft_;
  const bool changed = copy.move(*id, zone, index);
  draft_ = std::move(copy);
  notify();
  return changed || *source == zone;
}

std::optional<int64_t> MenuBarLayoutEditorModel::logicalInsertionIndex(std::optional<int64_t> visualIndex,
                                                                       MenuBarLayoutZone zone,
                                                                       std::uint32_t draggedID) const {
  if (!visualIndex) return std::nullopt;
  auto list = draft_.orderedIDs.find(zone);
  if (list == draft_.orderedIDs.end()) return 0;
  const auto& ids = list->second;
  const auto take = std::min<int64_t>(static_cast<int64_t>(ids.size()), std::max<int64_t>(*visualIndex, 0));
  return std::count_if(ids.begin(), ids.begin() + take, [draggedID](auto id) { return id != draggedID; });
}

}  // namespace vimbo
