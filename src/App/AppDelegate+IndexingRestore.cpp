// Putting the bar back after the indexing of unnamed items: every item returns to the zone it was
// recorded in, each zone is reordered by the fewest drags, and only a bar that matches the record
// again, before and after the collapse, counts as restored. Otherwise the bar is left expanded
// for the user to check.
#include <chrono>
#include <set>

#include "App/AppDelegate.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {

constexpr auto kAfterExpand = 60ms;
constexpr auto kAfterCollapse = 100ms;
constexpr const char* kStopped = "菜单项识别已停止；无法确认原有顺序，已保持菜单栏展开供你检查。";

using Snapshot = AppDelegate::MenuExtraIndexingSnapshot;
using Zone = AppDelegate::MenuExtraIndexingZone;
using Destination = AppDelegate::SystemItemDestination;

bool sameLists(const Snapshot& a, const Snapshot& b) {
  return a.collectedIDs == b.collectedIDs && a.visibleIDs == b.visibleIDs && a.fixedIDs == b.fixedIDs;
}

}  // namespace

async::Task<AppDelegate::MenuExtraIndexingResult> AppDelegate::finishMenuExtraIndexing(MenuExtraIndexingSnapshot snapshot) {
  auto restore = restoreMenuExtraIndexingLayout(snapshot);
  if (co_await std::move(restore)) co_return MenuExtraIndexingResult::finished;
  menuBarHider.setCollapsed(false);
  store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
  store.lastError.set(std::string(kStopped));
  co_return MenuExtraIndexingResult::failed;
}

async::Task<bool> AppDelegate::restoreMenuExtraIndexingLayout(MenuExtraIndexingSnapshot recorded) {
  std::set<uint32_t> expected;
  for (const auto& [id, item] : recorded.itemsByID) expected.insert(id);

  if (menuBarHider.isCollapsed) {
    if (!menuBarHider.setCollapsed(false)) co_return false;
    store.systemItemsCollapsed.set(false);
    co_await async::sleepFor(kAfterExpand);
  }
  std::optional<Snapshot> latest = nativeMenuExtraIndexingSnapshot(expected);
  if (!latest) co_return false;

  // One revealed-bar drag of a recorded item, then a fresh look at the bar; false on any failure.
  auto moveAndLook = [this, &latest, &expected](uint32_t id, Destination destination) -> async::Task<bool> {
    auto found = latest->itemsByID.find(id);
    if (found == latest->itemsByID.end()) co_return false;
    const CapturedMenuBarItem item = found->second;
    std::optional<Point> point;
    bool exactOrder = true;
    if (destination == Destination::collected) {
      auto divider = menuBarHider.windowServerFrame(hider::dividerName);
      if (!divider) co_return false;
      point = bar_side::collectedDropPoint(*divider);
      exactOrder = false;
    }
    auto move = moveSystemItemWhileRevealed(item, destination, point, exactOrder, true);
    if (!co_await std::move(move)) co_return false;
    latest = nativeMenuExtraIndexingSnapshot(expected);
    co_return latest.has_value();
  };

  // Each item back into its recorded zone.
  for (const auto& [zone, destination] : {std::pair{Zone::collected, Destination::collected},
                                          std::pair{Zone::visible, Destination::visible}}) {
    for (uint32_t id : recorded.orderedIDs(zone)) {
      auto now = latest->zonesByID.find(id);
      if (now != latest->zonesByID.end() && now->second == zone) continue;
      auto step = moveAndLook(id, destination);
      if (!co_await std::move(step)) co_return false;
    }
  }
  auto idSet = [](const std::vector<uint32_t>& ids) { return std::set<uint32_t>(ids.begin(), ids.end()); };
  if (idSet(latest->collectedIDs) != idSet(recorded.collectedIDs) ||
      idSet(latest->visibleIDs) != idSet(recorded.visibleIDs)) {
    co_return false;
  }

  // Then each zone into its recorded order: every drag lands at the zone's right end, so only
  // the suffix after the longest in-order prefix has to move.
  for (const auto& [zone, destination] : {std::pair{Zone::collected, Destination::collected},
                                          std::pair{Zone::visible, Destination::visible}}) {
    const std::vector<uint32_t> suffix = minimalNativeReorderSuffix(recorded.orderedIDs(zone), latest->orderedIDs(zone));
    for (uint32_t id : suffix) {
      auto step = moveAndLook(id, destination);
      if (!co_await std::move(step)) co_return false;
    }
  }
  if (!sameLists(*latest, recorded)) co_return false;

  if (!menuBarHider.setCollapsed(true)) co_return false;
  store.systemItemsCollapsed.set(true);
  co_await async::sleepFor(kAfterCollapse);
  const std::optional<Snapshot> collapsed = nativeMenuExtraIndexingSnapshot(expected);
  co_return collapsed && sameLists(*collapsed, recorded);
}

}  // namespace vimbo
