#include "System/MenuBarProxyManager.h"

#include <algorithm>
#include <set>

namespace vimbo {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

MenuBarProxyManager::MenuBarProxyManager(std::shared_ptr<platform::UserDefaults> defaults)
    : defaults_(std::move(defaults)) {
  std::vector<std::string> loaded = defaults_->stringArray(pinnedIdentitiesKey).value_or(std::vector<std::string>{});
  pinnedIdentities_ = loaded;
  removeLegacyProxyPreferences();

  std::vector<std::string> kept;
  for (const auto& identity : loaded) {
    if (canSafelyRestore(identity) && !contains(kept, identity)) kept.push_back(identity);
  }
  pinnedIdentities_ = kept;
  if (kept != loaded) write();
}

std::vector<std::string> MenuBarProxyManager::restorableSavedIdentityOrder() const {
  std::vector<std::string> result;
  for (const auto& identity : pinnedIdentities_) {
    if (canSafelyRestore(identity)) result.push_back(identity);
  }
  return result;
}

void MenuBarProxyManager::pin(const CapturedMenuBarItem& item, std::optional<std::string> replacing) {
  if (item.isFixed()) return;
  const std::string& identity = item.stableIdentity;
  runtimePinnedIdentities_[item.id] = identity;
  if (!canSafelyRestore(identity)) return;

  if (replacing && *replacing != identity) {
    auto old = std::find(pinnedIdentities_.begin(), pinnedIdentities_.end(), *replacing);
    if (old != pinnedIdentities_.end()) {
      size_t index = static_cast<size_t>(old - pinnedIdentities_.begin());
      pinnedIdentities_.erase(old);
      std::erase(pinnedIdentities_, identity);
      index = std::min(index, pinnedIdentities_.size());
      pinnedIdentities_.insert(pinnedIdentities_.begin() + static_cast<std::ptrdiff_t>(index), identity);
      write();
      return;
    }
  }
  if (contains(pinnedIdentities_, identity)) return;
  pinnedIdentities_.push_back(identity);
  write();
}

void MenuBarProxyManager::unpin(const CapturedMenuBarItem& item) {
  std::vector<std::string> dropped{item.stableIdentity};
  if (auto runtime = runtimePinnedIdentities_.find(item.id); runtime != runtimePinnedIdentities_.end()) {
    dropped.push_back(runtime->second);
    runtimePinnedIdentities_.erase(runtime);
  }
  size_t removed = 0;
  for (const auto& identity : dropped) removed += std::erase(pinnedIdentities_, identity);
  if (removed > 0) write();
}

void MenuBarProxyManager::mergeVisibleOrder(const std::vector<std::string>& visibleOrder) {
  std::vector<std::string> wanted;
  for (const auto& identity : visibleOrder) {
    if (canSafelyRestore(identity) && contains(pinnedIdentities_, identity) && !contains(wanted, identity)) {
      wanted.push_back(identity);
    }
  }
  if (wanted.empty()) return;

  std::vector<size_t> slots;
  for (size_t i = 0; i < pinnedIdentities_.size(); ++i) {
    if (contains(wanted, pinnedIdentities_[i])) slots.push_back(i);
  }
  // A duplicate in the stored list gives more slots than identities: leave such a list alone.
  if (slots.size() != wanted.size()) return;

  std::vector<std::string> merged = pinnedIdentities_;
  for (size_t k = 0; k < slots.size(); ++k) merged[slots[k]] = wanted[k];
  if (merged == pinnedIdentities_) return;
  pinnedIdentities_ = std::move(merged);
  write();
}

bool MenuBarProxyManager::remove(const std::string& identity) {
  if (std::erase(pinnedIdentities_, identity) == 0) return false;
  write();
  return true;
}

bool MenuBarProxyManager::canSafelyRestore(const std::string& identity) {
  const auto ax = identity.find("|ax=");
  if (ax == std::string::npos || ax + 4 >= identity.size()) return false;
  if (identity.find("|size=") != std::string::npos) return false;
  if (identity.find("|slot=") != std::string::npos) return false;
  const std::string windowTag = "|window=";
  if (const auto window = identity.find(windowTag); window != std::string::npos) {
    const auto start = window + windowTag.size();
    const auto end = identity.find('|', start);
    const std::string name = identity.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (CapturedMenuBarItem::isFixedWindowName(name)) return false;
  }
  return true;
}

void MenuBarProxyManager::removeLegacyProxyPreferences() {
  static const char* const prefixes[] = {
      "NSStatusItem Preferred Position Vimbo.Proxy.",
      "NSStatusItem Visible Vimbo.Proxy.",
      "NSStatusItem VisibleCC Vimbo.Proxy.",
  };
  for (const auto& entry : defaults_->dictionaryRepresentation()) {
    const std::string& key = entry.first;
    for (const char* prefix : prefixes) {
      if (key.starts_with(prefix)) {
        defaults_->removeObject(key);
        break;
      }
    }
  }
}

void MenuBarProxyManager::write() {
  platform::DefaultsArray array;
  array.reserve(pinnedIdentities_.size());
  for (const auto& identity : pinnedIdentities_) array.emplace_back(identity);
  defaults_->set(pinnedIdentitiesKey, platform::DefaultsValue(std::move(array)));
}

}  // namespace vimbo
