// Indexing unnamed items: an item the window server knows only as "Item-0", with no meaningful
// name, is identified by carrying it into a safe slot right of the divider, where the capture
// service can hit-test it; collected items are carried back, and the layout restore puts the bar
// back as it was recorded before the first move.
#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <set>
#include <string_view>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationSupport.h"
#include "App/AppDelegate+OperationTexts.h"
#include "Platform/Foundation/Text.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {

constexpr const char* kUnnamedWindowName = "Item-0";
// Names that say nothing about which item it is, as discovery derives them for unnamed items.
constexpr std::array<std::string_view, 9> kUnresolvedItemNames{
    "系统项目", "菜单栏项目", "item-0", "控制中心", "control center", "statusitem", "hisitem", "rhsitem", "eitem"};

// The indexing rule, unlike the placeholder rule, ignores letter case, knows the accessibility
// role names and leaves identity forms and dotted identifiers alone.
bool isUnresolvedItemName(std::string_view name) {
  const std::string folded = platform::text::lowercased(platform::text::trimmingWhitespaceAndNewlines(name));
  return folded.empty() || std::find(kUnresolvedItemNames.begin(), kUnresolvedItemNames.end(), folded) !=
                               kUnresolvedItemNames.end();
}

constexpr auto kAfterExpand = 80ms;
constexpr auto kBeforeDrag = 40ms;
constexpr auto kBeforeIndex = 40ms;
constexpr const char* kExpandRefused = "无法展开菜单栏以识别未命名项目。";


using Zone = AppDelegate::MenuExtraIndexingZone;
using Destination = MenuBarCaptureService::MenuBarMoveDestination;

// One target of the run: index it where it stands or carry it into the safe slot first, then
// carry a collected one back. False ends the run (the layout restore follows).
async::Task<bool> indexTarget(AppDelegate& app, uint32_t id, const AppDelegate::MenuExtraIndexingSnapshot& baseline,
                              const std::set<uint32_t>& expected) {
  auto snap = app.nativeMenuExtraIndexingSnapshot(expected);
  if (!snap) co_return false;
  auto found = snap->itemsByID.find(id);
  if (found == snap->itemsByID.end()) co_return false;
  const CapturedMenuBarItem item = found->second;
  if (!AppDelegate::needsSafeSlotIndexing(item)) co_return true;

  const Rect frame = item.originalFrame;
  const bool safeWhereItStands = snap->zonesByID.at(id) == Zone::visible && app.captureService.isFrameOnScreen(frame) &&
                                 app.menuBarHider.isResidentFrameSafe(frame, app.menuBarHider.windowServerFrame(hider::controlName));
  if (safeWhereItStands) {
    app.captureService.indexMenuExtraFromSafeSlot(item, true);
  } else {
    if (app.menuBarHider.isCollapsed || item.isFixed()) co_return false;
    co_await async::sleepFor(kBeforeDrag);
    const MenuBarSnapshot bar = app.barSnapshot();
    if (!bar.divider() || !bar.control()) {
      app.store.lastError.set(operation_text::dividerNotFound(item.name));
      co_return false;
    }
    auto move = app.captureService.moveMenuBarItem(item, bar_side::visibleDropPoint(*bar.control(), frame.width), true,
                                                   Destination::visible);
    if (!co_await std::move(move)) {
      app.store.lastError.set(operation_support::dragFailure(app.captureService, item.name));
      co_return false;
    }
    auto arrival = app.waitForSystemItem(item, AppDelegate::SystemItemDestination::visible, false);
    if (!co_await std::move(arrival)) {
      app.store.lastError.set(operation_text::notOnTargetSide(item.name));
      co_return false;
    }
    co_await async::sleepFor(kBeforeIndex);
    app.captureService.indexMenuExtraFromSafeSlot(item, true);
  }

  // A collected item goes back left of the divider; a visible one that had to be carried in stays
  // where it is until the layout restore.
  if (baseline.zonesByID.at(id) != Zone::collected) co_return true;
  {
    const MenuBarSnapshot bar = app.barSnapshot();
    const auto live = bar.frame(id);
    if (!live || !bar.isRightOfDivider(*live)) co_return true;
  }

  const std::vector<CapturedMenuBarItem> discovered = app.captureService.discoverMenuBarItems();
  auto again = std::find_if(discovered.begin(), discovered.end(), [&](const CapturedMenuBarItem& c) { return c.id == id; });
  if (again == discovered.end()) co_return false;
  const CapturedMenuBarItem back = *again;
  const auto divider = app.menuBarHider.windowServerFrame(hider::dividerName);
  if (!divider) co_return false;
  const Point drop = bar_side::collectedDropPoint(*divider);
  if (app.menuBarHider.isCollapsed || back.isFixed()) co_return false;
  co_await async::sleepFor(kBeforeDrag);
  auto move = app.captureService.moveMenuBarItem(back, drop, false, Destination::collected);
  if (!co_await std::move(move)) {
    app.store.lastError.set(operation_support::dragFailure(app.captureService, back.name));
    co_return false;
  }
  auto arrival = app.waitForSystemItem(back, AppDelegate::SystemItemDestination::collected, false);
  if (!co_await std::move(arrival)) {
    app.store.lastError.set(operation_text::notOnTargetSide(back.name));
    co_return false;
  }
  co_return true;
}

}  // namespace

const std::vector<uint32_t>& AppDelegate::MenuExtraIndexingSnapshot::orderedIDs(MenuExtraIndexingZone zone) const {
  switch (zone) {
    case MenuExtraIndexingZone::visible:
      return visibleIDs;
    case MenuExtraIndexingZone::collected:
      return collectedIDs;
    case MenuExtraIndexingZone::fixed:
      break;
  }
  return fixedIDs;
}

bool AppDelegate::needsSafeSlotIndexing(const CapturedMenuBarItem& item) {
  return !item.isFixed() && item.windowName == kUnnamedWindowName && isUnresolvedItemName(item.name);
}

std::optional<AppDelegate::MenuExtraIndexingSnapshot> AppDelegate::nativeMenuExtraIndexingSnapshot(
    std::optional<std::set<uint32_t>> expectedIDs) {
  auto divider = menuBarHider.windowServerFrame(hider::dividerName);
  if (!divider) return std::nullopt;

  MenuExtraIndexingSnapshot snapshot;
  std::map<uint32_t, double> minXByID;
  for (auto& item : captureService.discoverMenuBarItems()) {
    const uint32_t id = item.id;
    if (snapshot.itemsByID.contains(id)) return std::nullopt;
    const Rect frame = item.originalFrame;
    if (!frame.isValidPositive()) return std::nullopt;
    MenuExtraIndexingZone zone;
    if (item.isFixed()) {
      zone = MenuExtraIndexingZone::fixed;
    } else if (bar_side::isRightOfDivider(frame, *divider)) {
      zone = MenuExtraIndexingZone::visible;
    } else if (bar_side::isLeftOfDivider(frame, *divider)) {
      zone = MenuExtraIndexingZone::collected;
    } else {
      return std::nullopt;  // its centre lies on the divider: on neither side
    }
    minXByID[id] = frame.minX();
    snapshot.zonesByID[id] = zone;
    snapshot.itemsByID.emplace(id, std::move(item));
  }
  if (expectedIDs) {
    std::set<uint32_t> recorded;
    for (const auto& [id, item] : snapshot.itemsByID) recorded.insert(id);
    if (recorded != *expectedIDs) return std::nullopt;
  }

  auto ordered = [&](MenuExtraIndexingZone zone) {
    std::vector<uint32_t> ids;
    for (const auto& [id, z] : snapshot.zonesByID) {
      if (z == zone) ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end(), [&](uint32_t a, uint32_t b) {
      const double ax = minXByID.at(a), bx = minXByID.at(b);
      return ax != bx ? ax < bx : a < b;
    });
    return ids;
  };
  snapshot.collectedIDs = ordered(MenuExtraIndexingZone::collected);
  snapshot.visibleIDs = ordered(MenuExtraIndexingZone::visible);
  snapshot.fixedIDs = ordered(MenuExtraIndexingZone::fixed);
  return snapshot;
}

async::Task<AppDelegate::MenuExtraIndexingResult> AppDelegate::indexUnresolvedMenuExtrasIfNeeded(
    std::vector<CapturedMenuBarItem> items) {
  if (!menuBarHider.isCollapsed) co_return MenuExtraIndexingResult::notNeeded;
  std::set<uint32_t> expected;
  for (const auto& item : items) expected.insert(item.id);
  if (expected.size() < items.size()) co_return MenuExtraIndexingResult::notNeeded;
  const std::optional<MenuExtraIndexingSnapshot> baseline = nativeMenuExtraIndexingSnapshot(expected);
  if (!baseline) co_return MenuExtraIndexingResult::notNeeded;

  std::vector<uint32_t> targets;
  for (const auto* zone : {&baseline->collectedIDs, &baseline->visibleIDs}) {
    for (uint32_t id : *zone) {
      if (needsSafeSlotIndexing(baseline->itemsByID.at(id))) targets.push_back(id);
    }
  }
  if (targets.empty()) co_return MenuExtraIndexingResult::notNeeded;

  if (!menuBarHider.setCollapsed(false)) {
    store.lastError.set(std::string(kExpandRefused));
    co_return MenuExtraIndexingResult::failed;
  }
  store.systemItemsCollapsed.set(false);
  co_await async::sleepFor(kAfterExpand);

  for (uint32_t id : targets) {
    if (async::isCancelled()) break;
    auto step = indexTarget(*this, id, *baseline, expected);
    if (!co_await std::move(step)) break;
  }
  auto finish = finishMenuExtraIndexing(*baseline);
  co_return co_await std::move(finish);
}

}  // namespace vimbo
