#pragma once
// The three-zone arrangement of menu-bar items: the persisted record keyed by stable identity
// and the editor's draft keyed by window number. Both keep their lists free of duplicates across
// zones: the first zone in zone order and the first position win.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vimbo {

class MenuBarStore;

// Declaration order is the order of every loop over zones and the precedence of every
// "first zone wins" rule.
enum class MenuBarLayoutZone { visible, collected, hidden };

inline constexpr std::array<MenuBarLayoutZone, 3> allMenuBarLayoutZones{
    MenuBarLayoutZone::visible, MenuBarLayoutZone::collected, MenuBarLayoutZone::hidden};

std::string_view rawValue(MenuBarLayoutZone zone);
std::optional<MenuBarLayoutZone> menuBarLayoutZoneFromRawValue(std::string_view raw);

struct MenuBarLayoutRecord {
  // An absent zone key and an empty list are different values: equality (and so the store's
  // decision to publish and save) tells them apart.
  using Mapping = std::map<MenuBarLayoutZone, std::vector<std::string>>;

  int64_t version = 1;
  Mapping orderedIdentities;

  // JSON text: {"version":1,"orderedIdentities":["visible",[...],"collected",[...],...]}.
  // Encoding fails (none) only for text that is not valid UTF-8.
  std::optional<std::string> encode() const;
  // None for malformed data; a decoded record is normalised but keeps the version it read.
  static std::optional<MenuBarLayoutRecord> decode(std::string_view json);

  void move(const std::string& identity, MenuBarLayoutZone zone, std::optional<int64_t> index);
  void migrateIdentity(const std::string& oldIdentity, const std::string& newIdentity);

  // Only identities that are unique without a size or slot suffix, carry an accessibility part
  // and name a window other than a fixed one may outlive a run.
  static bool isPersistableIdentity(std::string_view identity);

  friend bool operator==(const MenuBarLayoutRecord&, const MenuBarLayoutRecord&) = default;

 private:
  friend class MenuBarStore;
  void normalize(bool stampVersion);
  void removeEverywhere(const std::string& identity);
};

struct MenuBarLayoutDraft {
  using Mapping = std::map<MenuBarLayoutZone, std::vector<std::uint32_t>>;

  Mapping orderedIDs;

  std::optional<MenuBarLayoutZone> zone(std::uint32_t windowID) const;
  std::vector<std::uint32_t> allIDs() const;
  // False when the window number is in no zone, or when the drop changes nothing.
  bool move(std::uint32_t windowID, MenuBarLayoutZone zone, std::optional<int64_t> index);

  friend bool operator==(const MenuBarLayoutDraft&, const MenuBarLayoutDraft&) = default;

 private:
  friend class MenuBarStore;
  void remove(std::uint32_t windowID);
  void normalize();
};

}  // namespace vimbo
