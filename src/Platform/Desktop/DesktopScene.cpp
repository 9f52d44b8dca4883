#include "Platform/Desktop/DesktopScene.h"

#include <algorithm>
#include <ctime>

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
    s.picture = v.picture;
    s.clock = v.windowName == std::optional<std::string>("Clock");
    return s;
  }
  if (const sim::World::OwnItem* own = world.ownItem(v.key)) {
    s.image = own->image;
    s.title = own->title;
    s.toolTip = own->toolTip;
  }
  return s;
}

// The row a click at the pointer would choose, as the world maps it.
std::optional<size_t> hoveredEntry(const Rect& menu, size_t count, Point pointer) {
  if (!menu.contains(pointer)) return std::nullopt;
  double row = (pointer.y - menu.minY() - kMenuTopInset) / kMenuRowHeight;
  if (row < 0 || row >= double(count)) return std::nullopt;
  return size_t(row);
}

}  // namespace

std::string clockText(std::chrono::system_clock::time_point time) {
  static const char* const weekdays[] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
  std::time_t t = std::chrono::system_clock::to_time_t(time);
  std::tm local{};
  localtime_r(&t, &local);
  char minute[8];
  std::snprintf(minute, sizeof minute, "%02d:%02d", local.tm_hour, local.tm_min);
  return std::string(weekdays[local.tm_wday % 7]) + " " + minute;
}

Rect reopenIconFrame(const SceneDisplay& d) {
  constexpr double side = 64;
  return {d.bounds.maxX() - side - 40, d.bounds.maxY() - side - 56, side, side};
}

Scene captureScene(sim::World& world) {
  Scene scene;
  for (const sim::ScreenSpec& s : world.screens()) {
    SceneDisplay d;
    d.bounds = s.displayBounds;
    d.menuBarHeight = s.menuBarHeight;
    d.notch = world.notchInWindowServer(s);
    scene.area = scene.displays.empty() ? d.bounds : unite(scene.area, d.bounds);
    scene.displays.push_back(d);
  }
  if (!scene.displays.empty()) {
    const SceneDisplay& main = scene.displays.front();
    scene.barClip = Rect(main.bounds.minX(), main.bounds.minY(), main.bounds.width, main.menuBarHeight);
  }
  sim::FrontAppSpec front = world.barMenus();
  scene.appName = front.name;
  scene.appMenus = front.menus;
  scene.clockText = clockText(world.wallClock());
  scene.cursorVisible = world.cursorVisible();
  for (const sim::ItemView& v : world.items()) scene.items.push_back(sceneItem(world, v));
  std::vector<sim::MenuView> menus = world.openMenus();  // front to back
  for (auto it = menus.rbegin(); it != menus.rend(); ++it)
    scene.menus.push_back({it->windowNumber, it->frame, it->own, it->ownerName, it->entries,
                           it->own ? hoveredEntry(it->frame, it->entries.size(), world.pointer()) : std::nullopt});
  if (!menus.empty())
    if (auto v = world.itemByKey(menus.front().item)) scene.highlighted = v->windowNumber;
  std::vector<sim::OwnWindowView> windows = world.ownWindows();  // front to back
  for (auto w = windows.rbegin(); w != windows.rend(); ++w)
    if (w->visible) scene.windows.push_back({w->handle, w->serverFrame, w->configuration, w->key, w->popover, w->content});
  if (auto key = world.draggingItem())
    if (auto v = world.itemByKey(*key)) {
      scene.dragged = sceneItem(world, *v);
      scene.pointer = world.pointer();
      scene.insertionX = world.dropMarkX();
    }
  return scene;
}

}  // namespace vimbo::desktop
