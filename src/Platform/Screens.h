#pragma once
// Screens (AppKit, origin bottom left of the main screen) and displays (window server, origin
// top left). The two are kept apart so that a wrong conversion shows with two displays.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Geometry.h"

namespace vimbo::platform {

struct ScreenInfo {
  Rect frame;         // screen coordinates
  Rect visibleFrame;  // without menu bar and dock
  std::optional<uint32_t> screenNumber;  // the "NSScreenNumber" value, when present
  std::optional<Rect> auxiliaryTopRightArea;  // the menu bar right of the notch, screen coordinates
  double backingScaleFactor = 2;
  std::string localizedName;
};

class Screens {
 public:
  virtual ~Screens() = default;
  virtual std::vector<ScreenInfo> screens() const = 0;  // AppKit's order
  virtual std::optional<ScreenInfo> mainScreen() const = 0;
  // Display bounds in window-server coordinates; the zero rectangle for an unknown display.
  virtual Rect displayBounds(uint32_t displayID) const = 0;
  virtual uint32_t mainDisplayID() const = 0;
};

}  // namespace vimbo::platform
