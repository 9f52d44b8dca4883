#include "Platform/Sim/Layout.h"

#include <algorithm>

namespace vimbo::sim {

namespace {
int find(const std::vector<BarEntry>& v, ItemKey key) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i].key == key) return static_cast<int>(i);
  return -1;
}
}  // namespace

bool BarState::contains(ItemKey key) const { return find(nonFixed, key) >= 0 || find(fixed, key) >= 0; }

std::optional<double> BarState::width(ItemKey key) const {
  if (int i = find(nonFixed, key); i >= 0) return nonFixed[i].width;
  if (int i = find(fixed, key); i >= 0) return fixed[i].width;
  return std::nullopt;
}

bool BarState::setWidth(ItemKey key, double w) {
  if (int i = find(nonFixed, key); i >= 0) return nonFixed[i].width = w, true;
  if (int i = find(fixed, key); i >= 0) return fixed[i].width = w, true;
  return false;
}

bool BarState::remove(ItemKey key) {
  if (int i = find(nonFixed, key); i >= 0) return nonFixed.erase(nonFixed.begin() + i), true;
  if (int i = find(fixed, key); i >= 0) return fixed.erase(fixed.begin() + i), true;
  return false;
}

void BarState::insertBefore(BarEntry entry, std::optional<ItemKey> before) {
  if (int i = find(nonFixed, entry.key); i >= 0) nonFixed.erase(nonFixed.begin() + i);
  int at = before ? find(nonFixed, *before) : -1;
  if (at < 0) nonFixed.push_back(entry);
  else nonFixed.insert(nonFixed.begin() + at, entry);
}

void BarState::insertAtLeftEnd(BarEntry entry) {
  if (int i = find(nonFixed, entry.key); i >= 0) nonFixed.erase(nonFixed.begin() + i);
  nonFixed.insert(nonFixed.begin(), entry);
}

std::optional<ItemKey> BarState::rightNeighbour(ItemKey key) const {
  int i = find(nonFixed, key);
  if (i < 0 || i + 1 >= static_cast<int>(nonFixed.size())) return std::nullopt;
  return nonFixed[i + 1].key;
}

int BarState::indexOf(ItemKey key) const { return find(nonFixed, key); }

std::map<ItemKey, Rect> layoutFrames(const BarState& state, const BarGeometry& g) {
  std::map<ItemKey, Rect> frames;
  double x = g.rightEdge;
  auto place = [&](const BarEntry& e) {
    x -= e.width;
    frames[e.key] = Rect(x, g.top, e.width, g.height);
    x -= g.spacing;
  };
  for (auto it = state.fixed.rbegin(); it != state.fixed.rend(); ++it) place(*it);
  for (auto it = state.nonFixed.rbegin(); it != state.nonFixed.rend(); ++it) place(*it);
  return frames;
}

std::optional<ItemKey> resolveDrop(const BarState& state, const std::map<ItemKey, Rect>& frames, ItemKey dragged,
                                   double dropX) {
  for (const BarEntry& e : state.nonFixed) {
    if (e.key == dragged) continue;
    auto f = frames.find(e.key);
    if (f == frames.end()) continue;
    if (f->second.minX() >= dropX - 0.5) return e.key;
  }
  return std::nullopt;
}

std::optional<ItemKey> shiftDrop(const BarState& state, ItemKey dragged, std::optional<ItemKey> before, int slots) {
  std::vector<ItemKey> others;
  for (const BarEntry& e : state.nonFixed)
    if (e.key != dragged) others.push_back(e.key);
  // Insertion index: position of `before`, or the end (left of the fixed items).
  int index = static_cast<int>(others.size());
  if (before)
    for (size_t i = 0; i < others.size(); ++i)
      if (others[i] == *before) index = static_cast<int>(i);
  index = std::clamp(index - slots, 0, static_cast<int>(others.size()));
  if (index >= static_cast<int>(others.size())) return std::nullopt;
  return others[index];
}

}  // namespace vimbo::sim
