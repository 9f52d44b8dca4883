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

  // Trimmed, the text names no item at all: it is empty, the window server's "Item-0", or a piece
  // of an identity ("owner:…", "…window=…").
  static bool namesNoItem(std::string_view name);
  // The placeholder-name rule of the store and the capture service: the name names no item, is
  // one of the generic names given to unnamed items, or is a dotted identifier (two or more
  // pieces between dots, every character accepted by `allIdentifierCharacters`). The two differ
  // only in what an identifier character is, so each passes its own test.
  static bool isPlaceholderName(std::string_view name, bool (*allIdentifierCharacters)(std::string_view trimmed));
};

}  // namespace vimbo
