#pragma once
// Which side of the divider a window stands on, and one look at the bar that answers it for a
// whole pass. A pass that does not wait cannot see the bar change, so its per-item questions
// (live frames, the divider's and the control item's frames, whether an item is shown) are
// answered from one copy of the window list; a pass that waits takes a new look afterwards.

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/WindowServer.h"

namespace vimbo {

class MenuBarCaptureService;
class MenuBarHider;

// A frame's side is decided by its centre; the band tests take the whole frame, with some slack
// for the rounding of window-server frames.
namespace bar_side {

// How far an edge may overhang a boundary and still count as inside it.
inline constexpr double slack = 2;
// The mover's verification after a drag allows a little more.
inline constexpr double dragSlack = 2.5;
// A collected item is dropped this far left of the divider.
inline constexpr double collectedDropOffset = 24;

inline bool isRightOfDivider(const Rect& frame, const Rect& divider) { return divider.maxX() < frame.midX(); }
inline bool isLeftOfDivider(const Rect& frame, const Rect& divider) { return frame.midX() < divider.minX(); }
// Wholly left of the divider, within the slack.
inline bool isWhollyLeftOfDivider(const Rect& frame, const Rect& divider, double slack) {
  return frame.maxX() <= divider.minX() + slack;
}
// Wholly in the band between the divider and the control item, within the slack.
inline bool isInVisibleBand(const Rect& frame, const Rect& divider, const Rect& control, double slack) {
  return frame.minX() >= divider.maxX() - slack && frame.maxX() <= control.minX() + slack;
}

// Where a drag drops an item: just left of the divider, or just left of the control item with
// room for the item's width.
inline Point collectedDropPoint(const Rect& divider) { return {divider.minX() - collectedDropOffset, divider.midY()}; }
inline Point visibleDropPoint(const Rect& control, double itemWidth) {
  return {control.minX() - itemWidth / 2, control.midY()};
}

}  // namespace bar_side

class MenuBarSnapshot {
 public:
  // Copies the window list once. The screen tests are asked of the capture service and the
  // hider, which must outlive the snapshot.
  MenuBarSnapshot(platform::WindowServer& windowServer, MenuBarCaptureService& captureService,
                  const MenuBarHider& hider);
  // Frames and sides only: isShown and isDisplayedCollected need the screen tests above.
  explicit MenuBarSnapshot(platform::WindowServer& windowServer);

  // A window's live frame: the bounds of the first entry with its number, when they are a
  // positive finite rectangle.
  std::optional<Rect> frame(uint32_t windowID) const;
  static std::optional<Rect> liveFrame(const platform::WindowInfo& entry);
  const std::optional<Rect>& divider() const { return divider_; }
  const std::optional<Rect>& control() const { return control_; }

  bool isRightOfDivider(const Rect& frame) const { return divider_ && bar_side::isRightOfDivider(frame, *divider_); }
  bool isLeftOfDivider(const Rect& frame) const { return divider_ && bar_side::isLeftOfDivider(frame, *divider_); }
  // Right of the divider, on a screen and in the part of the bar that can be seen.
  bool isShown(const Rect& frame) const;
  // The item's window is shown; none when its frame cannot be read.
  std::optional<bool> isShown(uint32_t windowID) const;
  // The displayed state: a fixed item is never collected, an item whose frame cannot be read is
  // `whenUnreadable`, any other is collected unless shown.
  bool isDisplayedCollected(const CapturedMenuBarItem& item, bool whenUnreadable) const;

 private:
  MenuBarCaptureService* captureService_ = nullptr;
  const MenuBarHider* hider_ = nullptr;
  std::unordered_map<uint32_t, std::optional<Rect>> frames_;
  std::optional<Rect> divider_;
  std::optional<Rect> control_;
};

}  // namespace vimbo
