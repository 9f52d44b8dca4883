#include "Views/MenuBarPanelModel.h"

#include "Platform/Runtime/Task.h"
#include "Store/MenuBarStore.h"
#include "Views/CapturedMenuBarSearch.h"
#include "Views/FixedItemRefusal.h"

namespace vimbo {

namespace {

const CapturedMenuBarItem* findItem(const std::vector<CapturedMenuBarItem>& items, std::uint32_t id) {
  for (const auto& item : items)
    if (item.id == id) return &item;
  return nullptr;
}

ManagerWellModel well(const std::vector<CapturedMenuBarItem>& items, std::string hint) {
  ManagerWellModel model;
  model.hint = std::move(hint);
  for (const auto& item : items) model.tiles.push_back(managerTile(item));
  return model;
}

}  // namespace

ManagerTileModel managerTile(const CapturedMenuBarItem& item) {
  ManagerTileModel tile;
  tile.id = item.id;
  tile.name = item.name;
  tile.glyph = managerTileGlyph(item);
  tile.showsLock = item.isFixed();
  tile.isBright = !item.isCollected;
  tile.toolTip = fixedItemRefusal(item).value_or(item.name);
  return tile;
}

ManagerPanelState managerPanelState(const MenuBarStore& store) {
  ManagerPanelState s;
  s.subtitle = store.isExpanded.get() ? "全部项目" : "常驻项目";
  s.isCollapsed = store.systemItemsCollapsed.get();
  s.collapseSymbol = s.isCollapsed ? "arrow.right.and.line.vertical.and.arrow.left"
                                   : "arrow.left.and.line.vertical.and.arrow.right";
  s.collapseToolTip = s.isCollapsed ? "展开系统菜单栏项目" : "收纳系统菜单栏项目";
  s.footerChip = s.isCollapsed ? "已收纳 · ⌃⌘B 展开" : "已展开 · ⌃⌘B 收纳";
  s.isCapturing = store.isCapturingSystemItems.get();
  const auto& captured = store.capturedSystemItems.get();
  if (!store.screenCapturePermissionGranted.get()) {
    s.body = ManagerBody::permissionCard;
  } else if (captured.empty()) {
    s.body = ManagerBody::emptyBox;
  } else {
    s.body = ManagerBody::wells;
    auto main = store.capturedItems(MenuBarLayoutZone::visible);
    auto collected = store.capturedItems(MenuBarLayoutZone::collected);
    main.insert(main.end(), collected.begin(), collected.end());
    s.mainWell = well(main, "左键显示 / 收纳，右键在收纳与隐藏之间切换");
    auto hidden = store.capturedItems(MenuBarLayoutZone::hidden);
    if (!hidden.empty()) s.hiddenWell = well(hidden, "隐藏项目仍可通过搜索找到");
  }
  s.searchText = store.searchText.get();
  if (!s.searchText.empty()) s.results = CapturedMenuBarSearch::rankedItems(captured, s.searchText);
  return s;
}

TileAction tileAction(const MenuBarStore& store, const CapturedMenuBarItem& item, TileButton button) {
  TileAction action;
  action.id = item.id;
  if (auto refusal = fixedItemRefusal(item)) {
    action.kind = TileAction::Kind::refuse;
    action.message = *refusal;
    return action;
  }
  if (button == TileButton::left) {
    action.kind = item.isCollected ? TileAction::Kind::pin : TileAction::Kind::collect;
    return action;
  }
  switch (store.layoutZone(item)) {
    case MenuBarLayoutZone::visible: break;
    case MenuBarLayoutZone::collected:
      action.kind = TileAction::Kind::moveToZone;
      action.zone = MenuBarLayoutZone::hidden;
      break;
    case MenuBarLayoutZone::hidden:
      action.kind = TileAction::Kind::moveToZone;
      action.zone = MenuBarLayoutZone::collected;
      break;
  }
  return action;
}

MenuBarPanelModel::MenuBarPanelModel(MenuBarStore& store, ManagerPanelActions actions, async::Executor& executor)
    : store_(store), actions_(std::move(actions)), executor_(executor), toast_(std::make_shared<TransientMessage>(executor)) {}

void MenuBarPanelModel::press(std::uint32_t id, TileButton button) {
  const CapturedMenuBarItem* item = findItem(store_.capturedSystemItems.get(), id);
  if (!item) return;
  TileAction action = tileAction(store_, *item, button);
  switch (action.kind) {
    case TileAction::Kind::nothing: break;
    case TileAction::Kind::refuse: toast_->show(action.message); break;
    case TileAction::Kind::pin:
      if (actions_.pinSystemItem) actions_.pinSystemItem(id);
      break;
    case TileAction::Kind::collect:
      if (actions_.collectSystemItem) actions_.collectSystemItem(id);
      break;
    case TileAction::Kind::moveToZone:
      if (actions_.moveSystemItemToLayout) actions_.moveSystemItemToLayout(id, action.zone, std::nullopt);
      break;
  }
}

bool MenuBarPanelModel::escape() {
  if (store_.searchText.get().empty()) return false;
  store_.searchText.set(std::string());
  return true;
}

void MenuBarPanelModel::setSearchText(const std::string& text) {
  if (text != store_.searchText.get()) store_.searchText.set(text);
}

void MenuBarPanelModel::openSettings() {
  if (actions_.openSettings) actions_.openSettings();
}

void MenuBarPanelModel::toggleCollection() {
  if (actions_.toggleCollection) actions_.toggleCollection();
}

void MenuBarPanelModel::refresh() {
  if (!actions_.refreshSystemItems) return;
  // The task owns its copy of the closure, so it may outlive the panel.
  async::spawn(executor_, [refresh = actions_.refreshSystemItems]() -> async::Task<void> {
    auto task = refresh();
    co_await std::move(task);
  });
}

void MenuBarPanelModel::activate(std::uint32_t id) {
  if (actions_.activateSystemItem) actions_.activateSystemItem(id);
}

}  // namespace vimbo
