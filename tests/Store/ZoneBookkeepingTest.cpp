// The zone bookkeeping over whole lists (a zone's items, the record learned at each apply) agrees
// with the answer item by item, for layouts that list an identity in several zones, repeat it,
// hold identities that may not persist or that are not captured, and items in session zones.

#include <random>
#include <set>

#include "StoreFixture.h"

using namespace vimbo;
using Zone = MenuBarLayoutZone;

namespace {

std::string bookkeepingIdentity(int n) {
  if (n == 0) return "com.apple.controlcenter|window=Clock|ax=Clock";
  const std::string base = "com.b|window=Item-0|ax=id" + std::to_string(n);
  return n % 5 == 0 ? base + "|slot=1" : base;  // every fifth lives for the run only
}

// A zone's items as the rules say: those the item-by-item answer puts there, the record's order
// first (each listed identity takes the first such item not yet taken), then the rest in capture order.
std::vector<CapturedMenuBarItem> expectedItems(const MenuBarStore& store, Zone zone) {
  std::vector<CapturedMenuBarItem> kept, out;
  for (const auto& item : store.capturedSystemItems.get()) {
    if (store.layoutZone(item) == zone) kept.push_back(item);
  }
  for (const auto& identity : store.menuBarLayout.get().orderedIdentities.at(zone)) {
    auto it = std::find_if(kept.begin(), kept.end(), [&](const auto& i) { return i.stableIdentity == identity; });
    if (it == kept.end()) continue;
    out.push_back(*it);
    kept.erase(it);
  }
  out.insert(out.end(), kept.begin(), kept.end());
  return out;
}

// The record an apply of the published record learns, zone by zone.
MenuBarLayoutRecord expectedRecord(const MenuBarStore& store) {
  MenuBarLayoutRecord working = store.menuBarLayout.get();
  for (auto zone : allMenuBarLayoutZones) {
    std::vector<std::string> kept;
    for (const auto& identity : working.orderedIdentities[zone]) {
      if (MenuBarLayoutRecord::isPersistableIdentity(identity) && std::find(kept.begin(), kept.end(), identity) == kept.end()) {
        kept.push_back(identity);
      }
    }
    for (const auto& item : expectedItems(store, zone)) {
      const auto& identity = item.stableIdentity;
      if (MenuBarLayoutRecord::isPersistableIdentity(identity) && std::find(kept.begin(), kept.end(), identity) == kept.end()) {
        kept.push_back(identity);
      }
    }
    working.orderedIdentities[zone] = std::move(kept);
    std::set<std::string> seen;  // normalised: the first zone and the first place win
    for (auto z : allMenuBarLayoutZones) std::erase_if(working.orderedIdentities[z], [&](const auto& i) { return !seen.insert(i).second; });
  }
  working.version = 1;
  return working;
}

class ZoneBookkeeping : public vimbo::testing::StoreTest {};

TEST_F(ZoneBookkeeping, WholeListsAgreeWithTheAnswerItemByItem) {
  std::mt19937 random(1104);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 300; ++round) {
    auto store = makeStore();
    const int pool = 4 + pick(40);
    MenuBarLayoutRecord record;
    for (auto zone : allMenuBarLayoutZones) {
      auto& list = record.orderedIdentities[zone];
      for (int k = pick(pool); k > 0; --k) list.push_back(bookkeepingIdentity(pick(pool + 3)));  // some not captured
    }
    store->menuBarLayout.set(record);
    std::vector<CapturedMenuBarItem> items;
    for (int k = pick(pool + 1); k > 0; --k) {
      CapturedMenuBarItem item;
      item.id = static_cast<std::uint32_t>(items.size() + 1);
      item.stableIdentity = bookkeepingIdentity(pick(pool));  // identities may repeat
      item.windowName = item.stableIdentity.find("|window=Clock") != std::string::npos ? "Clock" : "Item-0";
      item.isCollected = pick(2) == 1;
      items.push_back(item);
    }
    store->capturedSystemItems.set(items);
    for (const auto& item : items) {
      if (pick(3) == 0) store->commitLayoutMovement(item.id, allMenuBarLayoutZones[pick(3)], std::nullopt, false);
    }
    for (auto zone : allMenuBarLayoutZones) {
      const auto got = store->capturedItems(zone), want = expectedItems(*store, zone);
      ASSERT_EQ(got.size(), want.size()) << "round " << round;
      for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i].id, want[i].id) << "round " << round << " at " << i;
    }
    const MenuBarLayoutRecord learned = expectedRecord(*store);
    store->replaceCapturedSystemItems(store->capturedSystemItems.get());  // no identity changed: an apply of the record
    ASSERT_EQ(store->menuBarLayout.get(), learned) << "round " << round;
  }
}

}  // namespace
