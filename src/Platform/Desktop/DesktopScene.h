#pragma once
// What the desktop window draws, read from the simulated world in one go: the displays with their
// menu bars and notches, every status item at its live frame, the open menus and a dragged item.
// Plain values, so a changed scene is a plain comparison and painting never touches the world.

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
  uint32_t color = 0;  // other applications' items: their picture
  std::string glyph;
  platform::ImageRef image;  // our own items: the button's image, else its title
  std::string title;
  std::string toolTip;
  friend bool operator==(const SceneItem&, const SceneItem&) = default;
};

struct SceneMenu {
  uint32_t windowNumber = 0;
  Rect frame;
  bool own = false;
  std::string ownerName;
  std::vector<std::string> entries;
  friend bool operator==(const SceneMenu&, const SceneMenu&) = default;
};

struct Scene {
  Rect area;  // the union of the displays: what the window shows
  std::vector<SceneDisplay> displays;
  Rect barClip;  // status items show only inside the main display's menu bar
  std::vector<SceneItem> items;
  std::vector<SceneMenu> menus;  // back to front, as they are painted
  std::optional<SceneItem> dragged;
  Point pointer;  // meaningful only while an item is dragged
  friend bool operator==(const Scene&, const Scene&) = default;
};

Scene captureScene(sim::World& world);

// Height of one entry row in our own menus and the inset above the first row; the world maps a
// click to an entry by the same numbers.
inline constexpr double kMenuRowHeight = 22;
inline constexpr double kMenuTopInset = 5;

}  // namespace vimbo::desktop
