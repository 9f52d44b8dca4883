// The captured items and the three-zone layout, kept consistent with each other while items
// come and go and their identities change between captures.
#include <algorithm>
#include <memory>
#include <set>
#include <unordered_map>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "Platform/Foundation/Diagnostics.h"
#include "Platform/Foundation/Text.h"
#include "Store/MenuBarStore.h"

namespace vimbo {

namespace {

using Zone = MenuBarLayoutZone;

bool persistable(const std::string& identity) { return MenuBarLayoutRecord::isPersistableIdentity(identity); }

bool lists(const MenuBarLayoutRecord& record, Zone zone, const std::string& identity) {
  auto it = record.orderedIdentities.find(zone);
  return it != record.orderedIdentities.end() &&
         std::find(it->second.begin(), it->second.end(), identity) != it->second.end();
}

bool listsAnywhere(const MenuBarLayoutRecord& record, const std::string& identity) {
  return std::any_of(allMenuBarLayoutZones.begin(), allMenuBarLayoutZones.end(),
                     [&](Zone zone) { return lists(record, zone, identity); });
}

// Where the record lists each identity: the first zone, in zone order, whose list holds it. Built
// once per look at a record, so placing every item costs one lookup instead of a scan of the
// record. The keys view the record's strings: the record must outlive the map unchanged.
using ListedZones = std::unordered_map<std::string_view, Zone>;

ListedZones listedZones(const MenuBarLayoutRecord& record) {
  ListedZones zones;
  for (auto zone : allMenuBarLayoutZones) {
    auto it = record.orderedIdentities.find(zone);
    if (it == record.orderedIdentities.end()) continue;
    for (const auto& identity : it->second) zones.try_emplace(identity, zone);
  }
  return zones;
}

Zone zoneOf(const CapturedMenuBarItem& item, const std::map<std::uint32_t, Zone>& sessionZones, const ListedZones& listed) {
  if (item.isFixed()) return Zone::visible;
  if (auto it = sessionZones.find(item.id); it != sessionZones.end()) return it->second;
  if (auto it = listed.find(item.stableIdentity); it != listed.end()) return it->second;
  return item.isCollected ? Zone::collected : Zone::visible;
}

// The zone's items: those the record lists, in its order, then the rest in capture order.
std::vector<CapturedMenuBarItem> itemsInZone(Zone zone, const std::vector<CapturedMenuBarItem>& items,
                                             const MenuBarLayoutRecord& record,
                                             const std::map<std::uint32_t, Zone>& sessionZones, const ListedZones& listed) {
  std::vector<const CapturedMenuBarItem*> kept;
  for (const auto& item : items) {
    if (zoneOf(item, sessionZones, listed) == zone) kept.push_back(&item);
  }
  std::vector<CapturedMenuBarItem> result;
  result.reserve(kept.size());
  std::vector<bool> taken(kept.size(), false);
  std::unordered_map<std::string_view, std::vector<std::size_t>> byIdentity;  // indices, capture order
  for (std::size_t i = kept.size(); i-- > 0;) byIdentity[kept[i]->stableIdentity].push_back(i);

  if (auto it = record.orderedIdentities.find(zone); it != record.orderedIdentities.end()) {
    for (const auto& identity : it->second) {
      auto found = byIdentity.find(identity);
      if (found == byIdentity.end() || found->second.empty()) continue;
      const std::size_t index = found->second.back();
      found->second.pop_back();
      taken[index] = true;
      result.push_back(*kept[index]);
    }
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (!taken[i]) result.push_back(*kept[i]);
  }
  return result;
}

const CapturedMenuBarItem* firstWithID(const std::vector<CapturedMenuBarItem>& items, std::uint32_t id) {
  auto it = std::find_if(items.begin(), items.end(), [&](const auto& item) { return item.id == id; });
  return it == items.end() ? nullptr : &*it;
}

// Letters, numbers and the dotted-identifier punctuation, judged per user-perceived character
// by its first code point.
bool isIdentifierLikeCharacter(const icu::UnicodeString& text, int32_t start) {
  const UChar32 c = text.char32At(start);
  if (c == '.' || c == '-' || c == '_') return true;
  return u_hasBinaryProperty(c, UCHAR_ALPHABETIC) || u_getIntPropertyValue(c, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool hasNonIdentifierCharacter(std::string_view utf8) {
  const auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> characters(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !characters) {
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
      if (!isIdentifierLikeCharacter(text, i)) return true;
    }
    return false;
  }
  characters->setText(text);
  for (int32_t start = characters->first(); start != icu::BreakIterator::DONE && start < text.length();
       start = characters->next()) {
    if (!isIdentifierLikeCharacter(text, start)) return true;
  }
  return false;
}

}  // namespace

bool MenuBarStore::isMeaningfulCapturedName(std::string_view name) {
  // A dotted identifier (a bundle identifier) is not a name; a dotted phrase is.
  return !CapturedMenuBarItem::isPlaceholderName(name,
                                                 [](std::string_view t) { return !hasNonIdentifierCharacter(t); });
}

MenuBarLayoutZone MenuBarStore::layoutZone(const CapturedMenuBarItem& item) const {
  if (item.isFixed()) return Zone::visible;
  if (auto it = sessionLayoutZones_.find(item.id); it != sessionLayoutZones_.end()) return it->second;
  for (auto zone : allMenuBarLayoutZones) {
    if (lists(menuBarLayout.get(), zone, item.stableIdentity)) return zone;
  }
  return item.isCollected ? Zone::collected : Zone::visible;
}

std::vector<CapturedMenuBarItem> MenuBarStore::capturedItems(MenuBarLayoutZone zone) const {
  const MenuBarLayoutRecord& record = menuBarLayout.get();
  return itemsInZone(zone, capturedSystemItems.get(), record, sessionLayoutZones_, listedZones(record));
}

std::vector<std::string> MenuBarStore::persistableLayoutIdentities(MenuBarLayoutZone zone) const {
  std::vector<std::string> identities;
  for (const auto& item : capturedItems(zone)) {
    if (persistable(item.stableIdentity)) identities.push_back(item.stableIdentity);
  }
  return identities;
}

MenuBarLayoutDraft MenuBarStore::currentMenuBarLayoutDraft() const {
  MenuBarLayoutDraft draft;
  for (auto zone : allMenuBarLayoutZones) {
    auto& ids = draft.orderedIDs[zone];
    for (const auto& item : capturedItems(zone)) ids.push_back(item.id);
  }
  draft.normalize();
  return draft;
}

void MenuBarStore::replaceCapturedSystemItems(std::vector<CapturedMenuBarItem> newItems) {
  const std::vector<CapturedMenuBarItem> oldItems = capturedSystemItems.get();
  std::unordered_map<std::uint32_t, const CapturedMenuBarItem*> oldByID;
  std::unordered_map<std::string, const CapturedMenuBarItem*> oldByIdentity;
  for (const auto& item : oldItems) {
    oldByID.emplace(item.id, &item);
    oldByIdentity.emplace(item.stableIdentity, &item);
  }
  MenuBarLayoutRecord working = menuBarLayout.get();
  const auto rememberedSessionZones = sessionLayoutZones_;

  // Placeholder names give way to the last meaningful name seen for the same item.
  for (auto& item : newItems) {
    const CapturedMenuBarItem* predecessor = nullptr;
    if (auto it = oldByID.find(item.id); it != oldByID.end() &&
                                         it->second->ownerBundleIdentifier == item.ownerBundleIdentifier &&
                                         it->second->windowName == item.windowName) {
      predecessor = it->second;
    } else if (auto byIdentity = oldByIdentity.find(item.stableIdentity); byIdentity != oldByIdentity.end()) {
      predecessor = byIdentity->second;
    }
    if (predecessor && isMeaningfulCapturedName(predecessor->name) && !isMeaningfulCapturedName(item.name)) {
      item.name = predecessor->name;
    } else if (auto known = knownCapturedNamesByIdentity_.find(item.stableIdentity);
               known != knownCapturedNamesByIdentity_.end() && !isMeaningfulCapturedName(item.name)) {
      item.name = known->second;
    }
    if (isMeaningfulCapturedName(item.name)) knownCapturedNamesByIdentity_[item.stableIdentity] = item.name;
  }

  // An item whose identity changed keeps its zone (and, where it can, its place). Its old zone
  // is read from the published record, which this loop does not change.
  std::optional<ListedZones> recordZones;
  for (const auto& item : newItems) {
    auto it = oldByID.find(item.id);
    if (it == oldByID.end()) continue;
    const CapturedMenuBarItem& old = *it->second;
    if (old.ownerBundleIdentifier != item.ownerBundleIdentifier || old.windowName != item.windowName ||
        old.stableIdentity == item.stableIdentity) {
      continue;
    }
    if (!recordZones) recordZones = listedZones(menuBarLayout.get());
    const Zone oldZone = zoneOf(old, sessionLayoutZones_, *recordZones);
    const bool listed = listsAnywhere(working, old.stableIdentity);
    if (!persistable(item.stableIdentity)) {
      sessionLayoutZones_[item.id] = oldZone;
    } else if (listed) {
      working.migrateIdentity(old.stableIdentity, item.stableIdentity);
    } else if (auto session = rememberedSessionZones.find(item.id); session != rememberedSessionZones.end()) {
      working.removeEverywhere(item.stableIdentity);
      working.orderedIdentities[session->second].push_back(item.stableIdentity);
      working.normalize(false);
      sessionLayoutZones_.erase(item.id);
    } else {
      const Zone defaultZone = item.isFixed() || !item.isCollected ? Zone::visible : Zone::collected;
      if (oldZone != defaultZone) {
        working.removeEverywhere(item.stableIdentity);
        working.orderedIdentities[oldZone].push_back(item.stableIdentity);
        working.normalize(false);
      }
    }
  }

  std::set<std::uint32_t> newIDs;
  for (const auto& item : newItems) newIDs.insert(item.id);
  std::erase_if(sessionLayoutZones_, [&](const auto& entry) { return !newIDs.contains(entry.first); });
  capturedSystemItems.set(std::move(newItems));
  applyMenuBarLayout(std::move(working), true, false);
}

void MenuBarStore::updateCapturedSystemItemIdentity(std::uint32_t windowID, const std::string& identity) {
  const auto* item = firstWithID(capturedSystemItems.get(), windowID);
  if (!item) return;
  CapturedMenuBarItem copy = *item;
  copy.stableIdentity = identity;
  updateCapturedSystemItem(copy);
}

void MenuBarStore::updateCapturedSystemItem(const CapturedMenuBarItem& item) {
  auto list = capturedSystemItems.get();
  auto it = std::find_if(list.begin(), list.end(), [&](const auto& existing) { return existing.id == item.id; });
  if (it == list.end()) return;
  *it = item;
  replaceCapturedSystemItems(std::move(list));
}

bool MenuBarStore::commitLayoutMovement(std::uint32_t windowID, MenuBarLayoutZone zone, std::optional<int64_t> index,
                                        bool persist) {
  const auto* item = firstWithID(capturedSystemItems.get(), windowID);
  if (!item || item->isFixed()) return false;
  if (!persistable(item->stableIdentity)) {
    sessionLayoutZones_[windowID] = zone;
    return true;
  }
  MenuBarLayoutRecord copy = menuBarLayout.get();
  copy.move(item->stableIdentity, zone, index);
  sessionLayoutZones_.erase(windowID);
  applyMenuBarLayout(std::move(copy), persist, false);
  return true;
}

bool MenuBarStore::commitMenuBarLayoutDraft(const MenuBarLayoutDraft& draft, bool persist) {
  const auto& captured = capturedSystemItems.get();
  std::set<std::uint32_t> capturedIDs;
  for (const auto& item : captured) {
    if (!capturedIDs.insert(item.id).second) return false;
  }
  const auto draftIDs = draft.allIDs();
  if (draftIDs.size() != captured.size()) return false;
  if (std::set<std::uint32_t>(draftIDs.begin(), draftIDs.end()) != capturedIDs) return false;
  for (const auto& item : captured) {
    if (item.isFixed() && draft.zone(item.id) != Zone::visible) return false;
  }

  // Identities of items not captured now keep their places.
  MenuBarLayoutRecord copy = menuBarLayout.get();
  for (const auto& item : captured) {
    if (!item.isFixed() && persistable(item.stableIdentity)) copy.removeEverywhere(item.stableIdentity);
  }
  for (auto zone : allMenuBarLayoutZones) {
    auto& list = copy.orderedIdentities[zone];
    if (auto it = draft.orderedIDs.find(zone); it != draft.orderedIDs.end()) {
      for (auto id : it->second) {
        const auto* item = firstWithID(captured, id);
        if (item && !item->isFixed() && persistable(item->stableIdentity)) list.push_back(item->stableIdentity);
      }
    }
    copy.normalize(false);
  }
  for (const auto& item : captured) {
    if (item.isFixed()) continue;
    if (!persistable(item.stableIdentity)) {
      sessionLayoutZones_[item.id] = *draft.zone(item.id);
    } else {
      sessionLayoutZones_.erase(item.id);
    }
  }
  copy.version = 1;
  applyMenuBarLayout(std::move(copy), persist, persist);
  return true;
}

void MenuBarStore::applyMenuBarLayout(MenuBarLayoutRecord record, bool persist, bool forcePersist) {
  const MenuBarLayoutRecord remembered = menuBarLayout.get();
  if (record != menuBarLayout.get()) menuBarLayout.set(std::move(record));

  // The record never keeps identities that may not outlive the run, and it learns the
  // persistable identities of every captured item in the zone the item stands in now.
  const MenuBarLayoutRecord& published = menuBarLayout.get();
  const ListedZones listed = listedZones(published);
  MenuBarLayoutRecord working = published;
  for (auto zone : allMenuBarLayoutZones) {
    std::vector<std::string> kept;
    std::set<std::string> keptSet;
    if (auto it = working.orderedIdentities.find(zone); it != working.orderedIdentities.end()) {
      for (const auto& identity : it->second) {
        if (persistable(identity)) {
          kept.push_back(identity);
          keptSet.insert(identity);
        }
      }
    }
    for (const auto& item : itemsInZone(zone, capturedSystemItems.get(), published, sessionLayoutZones_, listed)) {
      if (persistable(item.stableIdentity) && keptSet.insert(item.stableIdentity).second) {
        kept.push_back(item.stableIdentity);
      }
    }
    working.orderedIdentities[zone] = std::move(kept);
    working.normalize(false);
  }
  working.version = 1;
  if (working != menuBarLayout.get()) menuBarLayout.set(std::move(working));

  if (persist && (forcePersist || menuBarLayout.get() != remembered)) saveMenuBarLayout();
}

void MenuBarStore::saveMenuBarLayout() {
  const auto json = menuBarLayout.get().encode();
  if (!json) {  // text that is not UTF-8: the record stored before stays
    platform::reportOnce("无法保存菜单栏布局：其中有无法编码的文本，已保留上次保存的布局。");
    return;
  }
  defaults_.set(layoutKey, platform::Data(json->begin(), json->end()));
}

}  // namespace vimbo
