// Our own status items: windows at the status level owned by our process, named after their
// autosave names, placed by their preferred-position keys.
#include <algorithm>

#include "Platform/Foundation/Image.h"
#include "Platform/Sim/World.h"

namespace vimbo::sim {

using namespace platform;

World::OwnItem* World::ownItem(ItemKey key) {
  Item* i = find(key);
  return i ? i->own.get() : nullptr;
}

double World::ownItemWidth(const OwnItem& own) const {
  if (own.length >= 0) return own.length;
  if (own.length == statusitemlength::square) return 24;
  // Variable length: the content plus padding.
  double content = own.image ? own.image->pointSize().width : 0;
  if (!own.title.empty()) content += (content > 0 ? 4 : 0) + 7.0 * static_cast<double>(own.title.size());
  return std::max(24.0, content + 10);
}

ItemKey World::createOwnItem(double length) {
  Item item;
  item.key = nextKey_++;
  item.own = std::make_unique<OwnItem>();
  item.own->length = length;
  item.own->hasButton = spec_.switches.statusItemsHaveButtons;
  item.spec.key = "own-" + std::to_string(item.key);
  item.spec.ownerPID = spec_.ownPID;
  item.spec.width = ownItemWidth(*item.own);
  item.spec.picture = {0x1A1A1A, "bar", ""};
  item.spec.menu.exists = false;
  item.windowNumber = nextWindow_++;
  ItemKey key = item.key;
  BarEntry entry = entryFor(item);
  items_.emplace(key, std::move(item));
  mutate(Duration{0}, [entry](BarState& s) { s.insertAtLeftEnd(entry); });
  return key;
}

void World::removeOwnItem(ItemKey key) {
  Item* item = find(key);
  if (!item || !item->own) return;
  mutate(Duration{0}, [key](BarState& s) { s.remove(key); });
  items_.erase(key);
  relayout();
}

void World::setOwnLength(ItemKey key, double length) {
  Item* item = find(key);
  if (!item || !item->own) return;
  item->own->length = length;
  double w = ownItemWidth(*item->own);
  item->spec.width = w;
  mutate(spec_.switches.dividerRelayoutLatency, [key, w](BarState& s) { s.setWidth(key, w); });
}

void World::setOwnVisible(ItemKey key, bool visible) {
  Item* item = find(key);
  if (!item || !item->own) return;
  item->own->visible = visible;
  writeVisibility(key);
  if (!visible) {
    mutate(Duration{0}, [key](BarState& s) { s.remove(key); });
  } else if (!logical_.contains(key)) {
    BarEntry entry = entryFor(*item);
    mutate(Duration{0}, [entry](BarState& s) {
      if (!s.contains(entry.key)) s.insertAtLeftEnd(entry);
    });
    placeByPreferredPosition(key);
  }
}

void World::setOwnAutosaveName(ItemKey key, std::string name) {
  Item* item = find(key);
  if (!item || !item->own) return;
  item->own->autosaveName = name;
  item->spec.windowName = name.empty() ? std::nullopt : std::optional<std::string>(name);
  if (!name.empty()) item->spec.key = name;
  if (name.empty()) {
    relayout();
    return;
  }
  if (readVisibility(name) == false) {
    item->own->visible = false;
    mutate(Duration{0}, [key](BarState& s) { s.remove(key); });
    return;
  }
  placeByPreferredPosition(key);
  relayout();
}

void World::ownPerformClick(ItemKey key) {
  Item* item = find(key);
  if (!item || !item->own) return;
  if (item->own->menu) {
    openOwnMenu(key);
    uint32_t number = menus_.empty() ? 0 : menus_.front().view.windowNumber;
    if (number && clock_.runUntil)
      clock_.runUntil([this, number] {
        return std::none_of(menus_.begin(), menus_.end(), [number](const Menu& m) { return m.view.windowNumber == number; });
      });
    return;
  }
  if (item->own->action) {
    std::function<void()> action = item->own->action;
    action();
  }
}

bool World::installViewFillsWindow(const std::string& autosaveName) {
  if (!spec_.switches.viewFillsWindowAvailable) return false;
  viewFills_.insert(autosaveName);
  return true;
}

// Preferred positions are distances (points) of an item's right edge from the right end of the
// non-fixed part of the bar: smaller means further right. Against another of our items that has a
// preferred position of its own the two values decide, so the order does not depend on which item
// was named first (seeds of 0 and 1 both fall inside the rightmost item's width).
void World::placeByPreferredPosition(ItemKey key) {
  Item* item = find(key);
  if (!item || !item->own || item->own->autosaveName.empty()) return;
  auto value = readPreferredPosition(item->own->autosaveName);
  if (!value) return;
  std::optional<ItemKey> before;
  bool found = false;
  double offset = 0;
  for (auto it = logical_.nonFixed.rbegin(); it != logical_.nonFixed.rend(); ++it) {
    if (it->key == key) continue;
    std::optional<double> otherValue;
    if (const Item* other = find(it->key); other && other->own && !other->own->autosaveName.empty())
      otherValue = readPreferredPosition(other->own->autosaveName);
    if (otherValue ? *value < *otherValue : *value < offset + it->width / 2) {
      found = true;
      break;
    }
    offset += it->width + spec_.switches.itemSpacing;
    before = it->key;
  }
  BarEntry entry = entryFor(*item);
  if (!found) {
    mutate(Duration{0}, [entry](BarState& s) {
      if (s.contains(entry.key)) s.insertAtLeftEnd(entry);
    });
    return;
  }
  mutate(Duration{0}, [entry, before](BarState& s) {
    if (s.contains(entry.key)) s.insertBefore(entry, before);
  });
}

void World::writePreferredPosition(ItemKey key) {
  Item* item = find(key);
  if (!item || !item->own || item->own->autosaveName.empty()) return;
  double offset = 0;
  for (auto it = logical_.nonFixed.rbegin(); it != logical_.nonFixed.rend(); ++it) {
    if (it->key == key) break;
    offset += it->width + spec_.switches.itemSpacing;
  }
  storePreferredPosition(item->own->autosaveName, offset);
}

}  // namespace vimbo::sim
