#pragma once
// What the desktop window draws, read from the simulated world in one go: the displays with their
// menu bars and notches, the front application's menus, every status item at its live frame, the
// open menus, a dragged item with its insertion mark, our own windows, and whether the cursor
// shows. Plain values, so a changed scene is a plain comparison and painting never touches the world.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Image.h"
#include "Platform/Sim/World.h"

namespace vimbo::desktop {

struct SceneDisplay {
  Rect bounds;  // window-server points
  double menuBarHeight = 0;
  std::optional<Rect> notch;
  friend bool operator==(const SceneDisplay&, const SceneDisplay&) = default;
};

struct SceneItem {
  uint32_t windowNumber = 0;
  std::string key;  // the world's key; the autosave name of our own items
  Rect frame;
  bool own = false;
  bool clock = false;     // the system clock: its time as text
  sim::Picture picture;   // other applications' items
  platform::ImageRef image;  // our own items: the button's image, else its title
  std::string title;
  std::string toolTip;
  friend bool operator==(const SceneItem& a, const SceneItem& b) {
    return a.windowNumber == b.windowNumber && a.key == b.key && a.frame == b.frame && a.own == b.own &&
           a.clock == b.clock && a.picture.color == b.picture.color && a.picture.glyph == b.picture.glyph &&
           a.picture.symbol == b.picture.symbol && a.image == b.image && a.title == b.title && a.toolTip == b.toolTip;
  }
};

struct SceneMenu {
  uint32_t windowNumber = 0;
  Rect frame;
  bool own = false;
  std::string ownerName;
  std::vector<std::string> entries;
  std::optional<size_t> hovered;  // our menus: the entry under the pointer, drawn selected
  friend bool operator==(const SceneMenu&, const SceneMenu&) = default;
};

// One of our windows: the data to draw its frame; its content is a widget the view places.
struct SceneWindow {
  platform::WindowHandle handle = 0;
  Rect frame;  // window-server points
  platform::WindowConfiguration configuration;
  bool key = false;
  bool popover = false;
  platform::ViewContentRef content;
  friend bool operator==(const SceneWindow&, const SceneWindow&) = default;
};

struct Scene {
  Rect area;  // the union of the displays: what the window shows
  std::vector<SceneDisplay> displays;
  Rect barClip;  // status items show only inside the main display's menu bar
  std::string appName;  // the bar's left side: the active application
  std::vector<std::string> appMenus;
  std::string clockText;  // e.g. "周四 14:05"
  std::vector<SceneItem> items;
  std::optional<uint32_t> highlighted;  // the item whose menu is open
  std::vector<SceneMenu> menus;  // back to front, as they are painted
  std::vector<SceneWindow> windows;  // back to front
  std::optional<SceneItem> dragged;
  std::optional<double> insertionX;  // where the dragged item would land
  Point pointer;  // meaningful only while an item is dragged
  bool cursorVisible = true;
  friend bool operator==(const Scene&, const Scene&) = default;
};

Scene captureScene(sim::World& world);

// The Clock's text for a wall-clock time, in local time: weekday and minute ("周四 14:05").
std::string clockText(std::chrono::system_clock::time_point time);

// Height of one entry row in our own menus and the inset above the first row; the world maps a
// click to an entry by the same numbers.
inline constexpr double kMenuRowHeight = 22;
inline constexpr double kMenuTopInset = 5;

// The icon that stands for our running application on the wallpaper (lower right of the main
// display); a double-click opens the application again.
Rect reopenIconFrame(const SceneDisplay& mainDisplay);

}  // namespace vimbo::desktop
