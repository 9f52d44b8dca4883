// The "NSStatusItem ..." keys of our defaults domain, read and written as AppKit does.
#include "Platform/Sim/World.h"

#if __has_include("Platform/Foundation/UserDefaults.h")
#include "Platform/Foundation/UserDefaults.h"
#define VIMBO_SIM_HAS_DEFAULTS 1
#endif

namespace vimbo::sim {

namespace {
const std::string positionPrefix = "NSStatusItem Preferred Position ";
const std::string visiblePrefix = "NSStatusItem Visible ";
}  // namespace

std::optional<double> World::readPreferredPosition(const std::string& name) const {
#ifdef VIMBO_SIM_HAS_DEFAULTS
  if (defaults_) return defaults_->number(positionPrefix + name);
#endif
  (void)name;
  return std::nullopt;
}

void World::storePreferredPosition(const std::string& name, double value) {
#ifdef VIMBO_SIM_HAS_DEFAULTS
  if (defaults_) defaults_->set(positionPrefix + name, value);
#endif
  (void)name, (void)value;
}

std::optional<bool> World::readVisibility(const std::string& name) const {
#ifdef VIMBO_SIM_HAS_DEFAULTS
  if (defaults_) return defaults_->boolean(visiblePrefix + name);
#endif
  (void)name;
  return std::nullopt;
}

void World::writeVisibility(ItemKey key) {
  const Item* item = find(key);
  if (!item || !item->own || item->own->autosaveName.empty()) return;
#ifdef VIMBO_SIM_HAS_DEFAULTS
  if (defaults_) defaults_->set(visiblePrefix + item->own->autosaveName, item->own->visible);
#endif
}

}  // namespace vimbo::sim
