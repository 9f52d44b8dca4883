#pragma once
// The icon shown beside a captured item in search results: the running application whose name
// the item carries, else the application of its owner's bundle identifier, else a symbol.
// Nothing is cached: each call asks the workspace again, so an application that starts later
// shows its icon at the next rebuild. Main thread.

#include <optional>
#include <string>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Workspace.h"

namespace vimbo {

struct ApplicationIcon {
  // Always a new picture of 26 x 26 points, never the workspace's own object.
  platform::ImageRef image;
  // Set when the picture is a symbol's: the views draw their own picture of that name.
  std::optional<std::string> symbol;
};

inline constexpr double kApplicationIconSide = 26;

ApplicationIcon applicationIcon(const CapturedMenuBarItem& item, const platform::Workspace& workspace);

}  // namespace vimbo
