#include "Platform/Desktop/DesktopScene.h"

#include <algorithm>

namespace vimbo::desktop {

namespace {

Rect unite(const Rect& a, const Rect& b) {
  double x0 = std::min(a.minX(), b.minX()), y0 = std::min(a.minY(), b.minY());
  double x1 = std::max(a.maxX(), b.maxX()), y1 = std::max(a.maxY(), b.maxY());
  return {x0, y0, x1 - x0, y1 - y0};
}

SceneItem sceneItem(sim::World& world, const sim::ItemView& v) {
  SceneItem s;
  s.windowNumber = v.windowNumber;
  s.key = v.specKey;
  s.frame = v.frame;
  s.own = v.own;
  if (!v.own) {
    s.color = v.picture.color;
    s.glyph = v.picture.glyph;
    return s;
  }
  if (const sim::World::OwnItem* own = world.ownItem(v.key)) {
    // The status bar keeps the button's image as an Image behind an opaque pointer.
    s.image = std::static_pointer_cast<const platform::Image>(own->image);
    s.title = own->title;
    s.toolTip = own->toolTip;
  }
  return s;
}

}  // namespace

Scene captureScene(sim::World& world) {
  Scene scene;
  for (const sim::ScreenSpec& s : world.screens()) {
    SceneDisplay d;
    d.bounds = s.displayBounds;
    d.menuBarHeight = s.menuBarHeight;
    if (s.notchWidth > 0) {
      double w = s.frame.width > 0 ? s.notchWidth * s.displayBounds.width / s.frame.width : s.notchWidth;
      d.notch = Rect(s.displayBounds.midX() - w / 2, s.displayBounds.minY(), w, s.menuBarHeight);
    }
    scene.area = scene.displays.empty() ? d.bounds : unite(scene.area, d.bounds);
    scene.displays.push_back(d);
  }
  if (!scene.displays.empty()) {
    const SceneDisplay& main = scene.displays.front();
    scene.barClip = Rect(main.bounds.minX(), main.bounds.minY(), main.bounds.width, main.menuBarHeight);
  }
  for (const sim::ItemView& v : world.items()) scene.items.push_back(sceneItem(world, v));
  std::vector<sim::MenuView> menus = world.openMenus();  // front to back
  for (auto it = menus.rbegin(); it != menus.rend(); ++it)
    scene.menus.push_back({it->windowNumber, it->frame, it->own, it->ownerName, it->entries});
  if (auto key = world.draggingItem())
    if (auto v = world.itemByKey(*key)) {
      scene.dragged = sceneItem(world, *v);
      scene.pointer = world.pointer();
    }
  return scene;
}

}  // namespace vimbo::desktop
