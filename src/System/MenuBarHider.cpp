#include "System/MenuBarHider.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Platform/Foundation/Diagnostics.h"
#include "Platform/Foundation/UserDefaults.h"
#include "System/MenuBarSnapshot.h"

namespace vimbo {

namespace {

const std::string kPreferredPositionPrefix = "NSStatusItem Preferred Position ";
const std::string kVisiblePrefix = "NSStatusItem Visible ";
const std::string kVisibleCCPrefix = "NSStatusItem VisibleCC ";
constexpr const char* kAlignmentGapName = "Vimbo.AlignmentGap";
constexpr double kSlack = bar_side::slack;
constexpr double kMenuBarStripHeight = 29;
constexpr double kLargestPreferredPosition = 10000;

struct ScreenGeometry {
  platform::ScreenInfo screen;
  Rect bounds;  // window-server coordinates
};

}  // namespace

bool CompactStatusItemLayout::install(platform::StatusBar& statusBar, const std::string& autosaveName) {
  if (installed_) return true;
  if (!statusBar.installViewFillsWindow(autosaveName)) return false;
  installed_ = true;
  return true;
}

MenuBarHider::MenuBarHider(platform::Platform& platform) : platform_(platform) {}

void MenuBarHider::installDivider() {
  if (dividerItem) return;
  seedPreferredPositionIfNeeded(0.0, hider::controlName);
  seedPreferredPositionIfNeeded(1.0, hider::dividerName);
  CompactStatusItemLayout::install(platform_.statusBar, hider::dividerName);
  platform_.defaults.set(kVisiblePrefix + kAlignmentGapName, platform::DefaultsValue(false));
  platform_.defaults.set(kVisibleCCPrefix + kAlignmentGapName, platform::DefaultsValue(false));

  platform::StatusItemRef item = platform_.statusBar.statusItem(0);
  if (!item) return;
  item->setAutosaveName(hider::dividerName);
  platform_.defaults.set(kVisiblePrefix + hider::dividerName, platform::DefaultsValue(true));
  item->setVisible(true);
  if (auto* button = item->button()) {
    button->setImage(nullptr);
    button->setTitle("");
    button->setToolTip("Vimbo 收纳分隔线");
  }
  item->setLength(hider::expandedLength);
  dividerItem = std::move(item);
}

platform::StatusItemRef MenuBarHider::configureControlItem(platform::StatusItemRef item) {
  seedPreferredPositionIfNeeded(0.0, hider::controlName);
  if (item) {
    item->setAutosaveName(hider::controlName);
    platform_.defaults.set(kVisiblePrefix + hider::controlName, platform::DefaultsValue(true));
    item->setVisible(true);
  }
  controlItem = item;
  return item;
}

// A stored position that is not a number from 0 to the longest bar (a text, a negative, huge or
// non-finite number, from a hand edit) would put the item beyond the bar's left end for good, so
// it is replaced by the seed like a missing one.
void MenuBarHider::seedPreferredPositionIfNeeded(double position, const std::string& autosaveName) {
  const std::string key = kPreferredPositionPrefix + autosaveName;
  if (platform_.defaults.hasObject(key)) {
    const std::optional<double> stored = platform_.defaults.number(key);
    if (stored && std::isfinite(*stored) && *stored >= 0 && *stored <= kLargestPreferredPosition) return;
    platform::reportOnce("设置“" + key + "”的值无效，已恢复为默认位置。");
  }
  platform_.defaults.set(key, platform::DefaultsValue(position));
}

bool MenuBarHider::setCollapsed(bool collapsed) {
  platform::WindowServer& ws = platform_.windowServer;
  const platform::OnScreenWindowCount answer = ws.getOnScreenWindowCount(ws.mainConnectionID(), 0);
  if (answer.status == 0 && answer.count >= 1 && dividerItem) {
    dividerItem->setLength(collapsed ? hider::collapsedLength : hider::expandedLength);
    isCollapsed = collapsed;
    return true;
  }
  // The flag keeps meaning "the divider is 10000 long": a refused change moves nothing, so it
  // stays as it was; only without a divider is the bar certainly not collapsed.
  if (!dividerItem) isCollapsed = false;
  return false;
}

void MenuBarHider::restoreAndRemove() {
  if (!dividerItem) return;
  dividerItem->setLength(hider::expandedLength);
  platform_.statusBar.removeStatusItem(dividerItem);
  dividerItem.reset();
  isCollapsed = false;
}

std::optional<Rect> MenuBarHider::windowServerFrame(const std::string& name) const {
  return windowServerFrame(platform_.windowServer, name);
}

std::optional<Rect> MenuBarHider::windowServerFrame(platform::WindowServer& windowServer, const std::string& name) {
  auto list = windowServer.copyWindowList(platform::WindowListOption::All);
  if (!list) return std::nullopt;
  return windowServerFrame(*list, name);
}

std::optional<Rect> MenuBarHider::windowServerFrame(const std::vector<platform::WindowInfo>& list, const std::string& name) {
  std::optional<Rect> offScreen;
  for (const auto& entry : list) {
    if (entry.name() != name) continue;
    auto bounds = entry.bounds();
    if (!bounds || !bounds->isValidPositive()) continue;
    if (entry.isOnscreen().value_or(false)) return bounds;  // the first on-screen entry wins
    if (!offScreen) offScreen = bounds;
  }
  return offScreen;
}

std::optional<Rect> MenuBarHider::menuBarSafeArea(std::optional<Rect> around) const {
  const platform::Screens& screens = platform_.screens;
  std::vector<ScreenGeometry> all;
  for (const auto& screen : screens.screens()) {
    Rect bounds = screen.screenNumber ? screens.displayBounds(*screen.screenNumber) : screen.frame;
    all.push_back({screen, bounds});
  }
  if (all.empty()) return std::nullopt;

  const ScreenGeometry* chosen = nullptr;
  if (around) {
    const Point centre = around->center();
    for (const auto& g : all) {
      const Rect grown = g.bounds.insetBy(-kSlack, -kSlack);
      if (grown.contains(centre)) {
        chosen = &g;
        break;
      }
    }
    if (!chosen) {
      for (const auto& g : all) {
        if (g.bounds.intersects(*around)) {
          chosen = &g;
          break;
        }
      }
    }
  } else if (auto main = screens.mainScreen()) {
    for (const auto& g : all) {
      if (g.screen.frame == main->frame && g.screen.screenNumber == main->screenNumber) {
        chosen = &g;
        break;
      }
    }
  }
  if (!chosen) chosen = &all.front();

  const Rect& b = chosen->bounds;
  const Rect& s = chosen->screen.frame;
  const double scaleX = s.width > 0 ? b.width / s.width : 1;
  const double scaleY = s.height > 0 ? b.height / s.height : 1;
  const auto& area = chosen->screen.auxiliaryTopRightArea;
  if (!area) return Rect(b.minX(), b.minY(), b.width, std::min(b.height, kMenuBarStripHeight * scaleY));
  return Rect(b.minX() + scaleX * (area->minX() - s.minX()), b.minY() + b.height - scaleY * (area->maxY() - s.minY()),
              area->width * scaleX, area->height * scaleY);
}

bool MenuBarHider::isMenuBarFrameSafe(const Rect& frame) const {
  auto area = menuBarSafeArea(frame);
  if (!area) return false;
  return frame.minX() >= area->minX() - kSlack && frame.maxX() <= area->maxX() + kSlack &&
         frame.minY() >= area->minY() - kSlack && frame.maxY() <= area->maxY() + kSlack;
}

bool MenuBarHider::isResidentFrameSafe(const Rect& frame, std::optional<Rect> anchor) const {
  if (!frame.isValidPositive()) return false;
  if (!anchor) anchor = windowServerFrame(hider::controlName);
  if (!anchor) return false;
  if (!isMenuBarFrameSafe(frame)) return false;
  return frame.maxX() <= anchor->minX() + kSlack;
}

}  // namespace vimbo
