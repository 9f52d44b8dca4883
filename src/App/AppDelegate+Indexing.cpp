// Indexing unnamed items: an item the window server knows only as "Item-0", with no meaningful
// name, is identified by carrying it into a safe slot right of the divider, where the capture
// service can hit-test it; collected items are carried back, and the layout restore puts the bar
// back as it was recorded before the first move.
#include <algorithm>
#include <array>
#include <string_view>

#include "App/AppDelegate.h"
#include "Platform/Foundation/Text.h"

namespace vimbo {

namespace {

constexpr const char* kUnnamedWindowName = "Item-0";
// Names that say nothing about which item it is, as discovery derives them for unnamed items.
constexpr std::array<std::string_view, 9> kPlaceholderNames{
    "系统项目", "菜单栏项目", "item-0", "控制中心", "control center", "statusitem", "hisitem", "rhsitem", "eitem"};

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
  if (item.isFixed() || item.windowName != kUnnamedWindowName) return false;
  const std::string name = platform::text::lowercased(platform::text::trimmingWhitespaceAndNewlines(item.name));
  return name.empty() || std::find(kPlaceholderNames.begin(), kPlaceholderNames.end(), name) != kPlaceholderNames.end();
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
    } else if (frame.midX() > divider->maxX()) {
      zone = MenuExtraIndexingZone::visible;
    } else if (frame.midX() < divider->minX()) {
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

}  // namespace vimbo
