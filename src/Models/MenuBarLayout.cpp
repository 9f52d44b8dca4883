#include "Models/MenuBarLayout.h"

#include <algorithm>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

#include "Models/CapturedMenuBarItem.h"

namespace vimbo {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

template <class Value>
std::size_t clampedInsertPosition(const std::vector<Value>& list, std::optional<int64_t> index) {
  if (!index) return list.size();
  if (*index <= 0) return 0;
  return static_cast<std::size_t>(std::min<uint64_t>(static_cast<uint64_t>(*index), list.size()));
}

// First zone, first position wins; all three keys are written.
template <class Value, class Keep>
void normalizeMapping(std::map<MenuBarLayoutZone, std::vector<Value>>& mapping, Keep keep) {
  std::set<Value> seen;
  for (auto zone : allMenuBarLayoutZones) {
    std::vector<Value> kept;
    if (auto it = mapping.find(zone); it != mapping.end()) {
      for (const auto& value : it->second) {
        if (keep(value) && seen.insert(value).second) kept.push_back(value);
      }
    }
    mapping[zone] = std::move(kept);
  }
}

bool asInt64(const Json& value, int64_t& out) {
  if (value.is_number_integer() && !value.is_number_unsigned()) {
    out = value.get<int64_t>();
    return true;
  }
  if (value.is_number_unsigned()) {
    const auto u = value.get<uint64_t>();
    if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
    out = static_cast<int64_t>(u);
    return true;
  }
  return false;
}

bool containsASCIICaseInsensitive(std::string_view haystack, std::string_view needle, std::size_t& end) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                        [&](char a, char b) { return lower(a) == lower(b); });
  if (it == haystack.end()) return false;
  end = static_cast<std::size_t>(it - haystack.begin()) + needle.size();
  return true;
}

}  // namespace

std::string_view rawValue(MenuBarLayoutZone zone) {
  switch (zone) {
    case MenuBarLayoutZone::visible: return "visible";
    case MenuBarLayoutZone::collected: return "collected";
    case MenuBarLayoutZone::hidden: return "hidden";
  }
  return "visible";
}

std::optional<MenuBarLayoutZone> menuBarLayoutZoneFromRawValue(std::string_view raw) {
  for (auto zone : allMenuBarLayoutZones) {
    if (rawValue(zone) == raw) return zone;
  }
  return std::nullopt;
}

// MARK: - Record

std::optional<std::string> MenuBarLayoutRecord::encode() const {
  OrderedJson pairs = OrderedJson::array();
  for (const auto& [zone, identities] : orderedIdentities) {
    pairs.push_back(std::string(rawValue(zone)));
    pairs.push_back(identities);
  }
  OrderedJson object = OrderedJson::object();
  object["version"] = version;
  object["orderedIdentities"] = std::move(pairs);
  try {
    return object.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // text that is not valid UTF-8
  }
}

std::optional<MenuBarLayoutRecord> MenuBarLayoutRecord::decode(std::string_view text) {
  const Json json = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return std::nullopt;

  MenuBarLayoutRecord record;
  record.version = 0;
  // An explicit null counts as absent, like a missing key.
  if (auto it = json.find("version"); it != json.end() && !it->is_null()) {
    if (!asInt64(*it, record.version)) return std::nullopt;
  }
  if (auto it = json.find("orderedIdentities"); it != json.end() && !it->is_null()) {
    if (!it->is_array() || it->size() % 2 != 0) return std::nullopt;
    for (std::size_t i = 0; i < it->size(); i += 2) {
      const Json& key = (*it)[i];
      const Json& value = (*it)[i + 1];
      if (!key.is_string() || !value.is_array()) return std::nullopt;
      const auto zone = menuBarLayoutZoneFromRawValue(key.get_ref<const std::string&>());
      if (!zone) return std::nullopt;
      std::vector<std::string> identities;
      identities.reserve(value.size());
      for (const auto& identity : value) {
        if (!identity.is_string()) return std::nullopt;
        identities.push_back(identity.get<std::string>());
      }
      record.orderedIdentities[*zone] = std::move(identities);  // a repeated zone: the last wins
    }
  }
  record.normalize(false);
  return record;
}

void MenuBarLayoutRecord::normalize(bool stampVersion) {
  normalizeMapping(orderedIdentities, [](const std::string& identity) { return !identity.empty(); });
  if (stampVersion) version = 1;
}

void MenuBarLayoutRecord::removeEverywhere(const std::string& identity) {
  for (auto& [zone, identities] : orderedIdentities) std::erase(identities, identity);
}

void MenuBarLayoutRecord::move(const std::string& identity, MenuBarLayoutZone zone, std::optional<int64_t> index) {
  removeEverywhere(identity);
  auto& list = orderedIdentities[zone];
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(clampedInsertPosition(list, index)), identity);
  normalize(true);
}

void MenuBarLayoutRecord::migrateIdentity(const std::string& oldIdentity, const std::string& newIdentity) {
  if (oldIdentity == newIdentity) return;

  std::optional<MenuBarLayoutZone> foundZone;
  std::size_t foundIndex = 0;
  for (auto zone : allMenuBarLayoutZones) {
    auto it = orderedIdentities.find(zone);
    if (it == orderedIdentities.end()) continue;
    auto pos = std::find(it->second.begin(), it->second.end(), oldIdentity);
    if (pos == it->second.end()) continue;
    foundZone = zone;
    // The old place as it stands once the new identity's earlier copies are gone, so the new
    // identity lands exactly where the old one was.
    foundIndex = static_cast<std::size_t>(pos - it->second.begin()) -
                 static_cast<std::size_t>(std::count(it->second.begin(), pos, newIdentity));
    break;
  }

  removeEverywhere(oldIdentity);
  removeEverywhere(newIdentity);
  if (foundZone) {
    auto& list = orderedIdentities[*foundZone];
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(std::min(foundIndex, list.size())), newIdentity);
  }
  normalize(true);
}

bool MenuBarLayoutRecord::isPersistableIdentity(std::string_view identity) {
  if (identity.empty()) return false;
  if (identity.find("|ax=") == std::string_view::npos) return false;
  if (identity.find("|size=") != std::string_view::npos) return false;
  if (identity.find("|slot=") != std::string_view::npos) return false;
  std::size_t end = 0;
  if (!containsASCIICaseInsensitive(identity, "|window=", end)) return false;

  // The first non-empty "|"-separated piece after the match.
  std::string_view rest = identity.substr(end);
  std::string_view windowName;
  while (!rest.empty()) {
    const auto bar = rest.find('|');
    const auto piece = rest.substr(0, bar);
    if (!piece.empty()) {
      windowName = piece;
      break;
    }
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  return !CapturedMenuBarItem::isFixedWindowName(windowName);
}

// MARK: - Draft

std::optional<MenuBarLayoutZone> MenuBarLayoutDraft::zone(std::uint32_t windowID) const {
  for (auto zone : allMenuBarLayoutZones) {
    auto it = orderedIDs.find(zone);
    if (it != orderedIDs.end() && std::find(it->second.begin(), it->second.end(), windowID) != it->second.end()) {
      return zone;
    }
  }
  return std::nullopt;
}

std::vector<std::uint32_t> MenuBarLayoutDraft::allIDs() const {
  std::vector<std::uint32_t> all;
  for (auto zone : allMenuBarLayoutZones) {
    if (auto it = orderedIDs.find(zone); it != orderedIDs.end()) all.insert(all.end(), it->second.begin(), it->second.end());
  }
  return all;
}

void MenuBarLayoutDraft::remove(std::uint32_t windowID) {
  for (auto& [zone, ids] : orderedIDs) std::erase(ids, windowID);
}

void MenuBarLayoutDraft::normalize() {
  normalizeMapping(orderedIDs, [](std::uint32_t) { return true; });
}

bool MenuBarLayoutDraft::move(std::uint32_t windowID, MenuBarLayoutZone target, std::optional<int64_t> index) {
  const Mapping before = orderedIDs;
  if (!zone(windowID)) return false;
  remove(windowID);
  auto& list = orderedIDs[target];
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(clampedInsertPosition(list, index)), windowID);
  normalize();
  return orderedIDs != before;
}

}  // namespace vimbo
