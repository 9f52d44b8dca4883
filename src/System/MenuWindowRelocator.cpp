#include "System/MenuWindowRelocator.h"

#include <chrono>
#include <cmath>

namespace vimbo {

using namespace std::chrono_literals;

namespace {

constexpr auto kPollInterval = 25ms;
constexpr int kNewWindowScans = 80;
constexpr int kCloseWaits = 1200;

// Menus are at least 20 x 10 points; anything smaller is a sliver, not a menu.
bool isMenuSized(const Rect& frame) {
  return frame.width > 20 && frame.height > 10 && frame.minX() < frame.maxX() && frame.minY() < frame.maxY();
}

}  // namespace

MenuWindowRelocator::MenuWindowRelocator(platform::WindowServer& windowServer, std::set<int> popupWindowLevels)
    : windowServer_(windowServer), popupWindowLevels_(std::move(popupWindowLevels)) {}

std::set<int> MenuWindowRelocator::defaultPopupWindowLevels(const platform::WindowServer& windowServer) {
  return {windowServer.windowLevel(platform::WindowLevelKey::PopUpMenu), 23};
}

std::vector<MenuWindowRelocator::MenuWindowSnapshot> MenuWindowRelocator::menuWindows() const {
  std::vector<MenuWindowSnapshot> result;
  auto list = windowServer_.copyWindowList(platform::WindowListOption::OnScreenOnly);
  if (!list) return result;
  for (size_t i = 0; i < list->size(); ++i) {
    const platform::WindowInfo& entry = (*list)[i];
    auto layer = entry.layer();
    if (!layer || !popupWindowLevels_.contains(static_cast<int>(*layer))) continue;
    auto number = entry.number();
    if (!number) continue;
    auto bounds = entry.bounds();
    if (!bounds || !bounds->isFinite() || !isMenuSized(*bounds)) continue;
    MenuWindowSnapshot snapshot;
    snapshot.id = *number;
    snapshot.frame = *bounds;
    snapshot.ownerPID = entry.ownerPID().value_or(0);
    snapshot.ownerName = entry.ownerName().value_or("");
    snapshot.windowName = entry.name().value_or("");
    snapshot.layer = static_cast<int>(*layer);
    snapshot.order = static_cast<int>(i);
    result.push_back(std::move(snapshot));
  }
  return result;
}

std::map<uint32_t, MenuWindowRelocator::MenuWindowSnapshot> MenuWindowRelocator::visibleMenuWindowSnapshot() const {
  std::map<uint32_t, MenuWindowSnapshot> result;
  for (auto& window : menuWindows()) result.emplace(window.id, window);
  return result;
}

std::set<uint32_t> MenuWindowRelocator::visibleMenuWindowIDs() const {
  std::set<uint32_t> result;
  for (const auto& window : menuWindows()) result.insert(window.id);
  return result;
}

bool MenuWindowRelocator::windowChanged(const MenuWindowSnapshot& from, const MenuWindowSnapshot& to) {
  if (from.ownerPID != to.ownerPID || from.ownerName != to.ownerName || from.windowName != to.windowName ||
      from.order != to.order) {
    return true;
  }
  auto moved = [](double a, double b) { return std::fabs(a - b) > 0.5; };
  return moved(from.frame.minX(), to.frame.minX()) || moved(from.frame.minY(), to.frame.minY()) ||
         moved(from.frame.width, to.frame.width) || moved(from.frame.height, to.frame.height);
}

bool MenuWindowRelocator::isActiveTrackedWindow(const MenuWindowSnapshot& window,
                                                const std::map<uint32_t, MenuWindowSnapshot>& baseline) {
  if (!isMenuSized(window.frame)) return false;
  auto known = baseline.find(window.id);
  if (known == baseline.end()) return true;
  return windowChanged(known->second, window);
}

bool MenuWindowRelocator::isNearInteraction(const Rect& frame, std::optional<Point> point) {
  if (!isMenuSized(frame)) return false;
  if (!point) return frame.minY() <= 320;
  const Rect grown(frame.minX() - 260, frame.minY() - 320, frame.width + 520, frame.height + 640);
  if (grown.contains(*point)) return true;
  return frame.minY() <= 80 && std::fabs(frame.midX() - point->x) <= 320;
}

bool MenuWindowRelocator::hasRelevantPopup(TrackingSession& session, std::optional<Point> interactionPoint) const {
  std::vector<MenuWindowSnapshot> relevant;
  for (const auto& window : menuWindows()) {
    auto owner = session.trackedOwnerByWindow.find(window.id);
    if (session.trackedWindowIDs.contains(window.id) && owner != session.trackedOwnerByWindow.end() &&
        owner->second == window.ownerPID) {
      if (isActiveTrackedWindow(window, session.baseline)) relevant.push_back(window);
      continue;
    }
    auto known = session.baseline.find(window.id);
    if (known != session.baseline.end() && !windowChanged(known->second, window)) continue;
    if (isNearInteraction(window.frame, interactionPoint)) relevant.push_back(window);
  }
  if (relevant.empty()) return false;
  for (const auto& window : relevant) {
    session.trackedWindowIDs.insert(window.id);
    session.trackedOwnerByWindow[window.id] = window.ownerPID;
    if (window.ownerPID != 0) session.trackedOwnerPIDs.insert(window.ownerPID);
  }
  return true;
}

async::Task<std::optional<uint32_t>> MenuWindowRelocator::newMenuWindowID(std::set<uint32_t> known) const {
  for (int scan = 0; scan < kNewWindowScans; ++scan) {
    for (const auto& window : menuWindows()) {
      if (!known.contains(window.id)) co_return window.id;
    }
    if (async::isCancelled()) co_return std::nullopt;
    co_await async::sleepFor(kPollInterval);
  }
  co_return std::nullopt;
}

async::Task<void> MenuWindowRelocator::waitForMenuToClose(uint32_t windowID) const {
  for (int wait = 0; wait < kCloseWaits; ++wait) {
    if (async::isCancelled()) co_return;
    if (!visibleMenuWindowIDs().contains(windowID)) co_return;
    co_await async::sleepFor(kPollInterval);
  }
}

}  // namespace vimbo
