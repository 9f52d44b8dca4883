// The "NSStatusItem ..." keys of our defaults domain, read and written as AppKit does.
#include "Platform/Sim/World.h"

#include "Platform/Foundation/UserDefaults.h"

namespace vimbo::sim {

namespace {
const std::string positionPrefix = "NSStatusItem Preferred Position ";
const std::string visiblePrefix = "NSStatusItem Visible ";
}  // namespace

std::optional<double> World::readPreferredPosition(const std::string& name) const {
  if (defaults_) return defaults_->number(positionPrefix + name);
  return std::nullopt;
}

void World::storePreferredPosition(const std::string& name, double value) {
  if (defaults_) defaults_->set(positionPrefix + name, value);
}

std::optional<bool> World::readVisibility(const std::string& name) const {
  if (defaults_) return defaults_->boolean(visiblePrefix + name);
  return std::nullopt;
}

void World::writeVisibility(ItemKey key) {
  const Item* item = find(key);
  if (!item || !item->own || item->own->autosaveName.empty()) return;
  if (defaults_) defaults_->set(visiblePrefix + item->own->autosaveName, item->own->visible);
}

}  // namespace vimbo::sim
