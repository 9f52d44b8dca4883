#pragma once
// The ordered list of stable identities the user pinned right of the divider, kept across
// launches, plus the identity each window was pinned under during this run.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/UserDefaults.h"

namespace vimbo {

class MenuBarProxyManager {
 public:
  static constexpr const char* pinnedIdentitiesKey = "Vimbo.PinnedMenuBarItemIdentities.v1";

  // Loads the saved list, deletes the legacy proxy keys and drops what may not be restored.
  explicit MenuBarProxyManager(std::shared_ptr<platform::UserDefaults> defaults);

  const std::vector<std::string>& pinnedIdentities() const { return pinnedIdentities_; }
  const std::map<uint32_t, std::string>& runtimePinnedIdentities() const { return runtimePinnedIdentities_; }
  std::vector<std::string> restorableSavedIdentityOrder() const;

  void pin(const CapturedMenuBarItem& item, std::optional<std::string> replacing = std::nullopt);
  void unpin(const CapturedMenuBarItem& item);
  void mergeVisibleOrder(const std::vector<std::string>& visibleOrder);
  // Removes every copy; true when the list shrank (and was written).
  bool remove(const std::string& identity);

  static bool canSafelyRestore(const std::string& identity);

 private:
  void removeLegacyProxyPreferences();
  void write();

  std::shared_ptr<platform::UserDefaults> defaults_;
  std::vector<std::string> pinnedIdentities_;
  std::map<uint32_t, std::string> runtimePinnedIdentities_;
};

}  // namespace vimbo
