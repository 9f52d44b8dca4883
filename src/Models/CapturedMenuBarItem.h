#pragma once
// One status item found in the menu bar, as the capture service builds it. A plain value: the
// controller and the views pass `id` around as the item's handle.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Image.h"

namespace vimbo {

struct CapturedMenuBarItem {
  std::uint32_t id = 0;               // window-server window number of the status-item window
  std::string stableIdentity;         // the key that outlives a run
  std::string name;                   // display name
  std::string windowName;             // e.g. "Item-0", "Clock", "BentoBox-0"
  std::string ownerName;
  std::string ownerBundleIdentifier;
  std::int32_t ownerPID = 0;
  Rect originalFrame;                 // window-server coordinates, top-left origin
  platform::ImageRef image;           // null when no capture exists
  bool isCollected = false;           // stands left of the divider

  // The system clock and Control Center: macOS keeps them in place.
  static const std::set<std::string, std::less<>>& fixedWindowNames();
  static bool isFixedWindowName(std::string_view windowName);
  bool isFixed() const { return isFixedWindowName(windowName); }
};

}  // namespace vimbo
