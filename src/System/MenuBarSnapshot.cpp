#include "System/MenuBarSnapshot.h"

#include <cassert>

#include "System/MenuBarCaptureService.h"
#include "System/MenuBarHider.h"

namespace vimbo {

MenuBarSnapshot::MenuBarSnapshot(platform::WindowServer& windowServer, MenuBarCaptureService& captureService,
                                 const MenuBarHider& hider)
    : MenuBarSnapshot(windowServer) {
  captureService_ = &captureService;
  hider_ = &hider;
}

MenuBarSnapshot::MenuBarSnapshot(platform::WindowServer& windowServer) {
  const auto list = windowServer.copyWindowList(platform::WindowListOption::All);
  if (!list) return;
  frames_.reserve(list->size());
  for (const auto& entry : *list) {
    if (auto number = entry.number()) frames_.try_emplace(*number, liveFrame(entry));
  }
  divider_ = MenuBarHider::windowServerFrame(*list, hider::dividerName);
  control_ = MenuBarHider::windowServerFrame(*list, hider::controlName);
}

std::optional<Rect> MenuBarSnapshot::liveFrame(const platform::WindowInfo& entry) {
  auto bounds = entry.bounds();
  if (!bounds || !bounds->isValidPositive()) return std::nullopt;
  return bounds;
}

std::optional<Rect> MenuBarSnapshot::frame(uint32_t windowID) const {
  auto it = frames_.find(windowID);
  return it == frames_.end() ? std::nullopt : it->second;
}

bool MenuBarSnapshot::isShown(const Rect& frame) const {
  assert(captureService_ && hider_);
  return isRightOfDivider(frame) && captureService_->isFrameOnScreen(frame) && hider_->isMenuBarFrameSafe(frame);
}

std::optional<bool> MenuBarSnapshot::isShown(uint32_t windowID) const {
  const auto live = frame(windowID);
  if (!live) return std::nullopt;
  return isShown(*live);
}

bool MenuBarSnapshot::isDisplayedCollected(const CapturedMenuBarItem& item, bool whenUnreadable) const {
  if (item.isFixed()) return false;
  const auto shown = isShown(item.id);
  return shown ? !*shown : whenUnreadable;
}

}  // namespace vimbo
