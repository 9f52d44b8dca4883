#pragma once
// A world loaded from the shipped files with our divider and control item installed the way the
// system installs them, plus a Command-drag posted the way the mover posts it.

#include <gtest/gtest.h>

#include <memory>

#include "VirtualLoop.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Sim/SimPlatform.h"
#include "Platform/Sim/WorldJson.h"

namespace vimbo {
inline void PrintTo(const Rect& r, std::ostream* os) { *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")"; }
inline void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }
}  // namespace vimbo

namespace vimbo::sim::testing {

using namespace platform;

inline WorldSpec shippedWorld(const std::string& file) {
  WorldLoad load = loadWorld(shippedWorldsFolder() / file);
  if (auto* e = std::get_if<WorldError>(&load)) {
    ADD_FAILURE() << e->message;
    return {};
  }
  return std::get<WorldSpec>(load);
}

class SimWorld : public ::testing::Test {
 protected:
  // Worker threads read the world through its facades: they finish before those go.
  ~SimWorld() override { loop.ex.shutdown(); }

  void start(WorldSpec spec, bool install = true) {
    world = std::make_unique<World>(std::move(spec), loop.clockwork());
    world->setDefaults(defaults);
    sim = std::make_unique<SimPlatform>(*world);
    if (install) installOwnItems();
  }
  void startShipped(const std::string& file, bool install = true) { start(shippedWorld(file), install); }

  void seed(const std::string& name, double value) {
    std::string key = "NSStatusItem Preferred Position " + name;
    if (!defaults->hasObject(key)) defaults->set(key, value);
  }
  void installOwnItems() {
    seed("Vimbo.Control", 0);
    seed("Vimbo.HiddenDivider", 1);
    divider = sim->statusBar.statusItem(0);
    divider->setAutosaveName("Vimbo.HiddenDivider");
    defaults->set("NSStatusItem Visible Vimbo.HiddenDivider", true);
    divider->setVisible(true);
    divider->setLength(1);
    control = sim->statusBar.statusItem(statusitemlength::square);
    control->setAutosaveName("Vimbo.Control");
    defaults->set("NSStatusItem Visible Vimbo.Control", true);
    control->setVisible(true);
  }

  Rect frame(const std::string& key) {
    auto f = world->frameOf(key);
    EXPECT_TRUE(f) << "no frame for " << key;
    return f.value_or(Rect());
  }
  Rect D() { return frame("Vimbo.HiddenDivider"); }
  Rect C() { return frame("Vimbo.Control"); }

  void post(EventType type, Point p, EventFlags flags, EventTap tap = EventTap::HID) {
    auto e = sim->events.createMouseEvent(source.get(), type, p, MouseButton::Left);
    ASSERT_TRUE(e);
    e->flags = flags;
    sim->events.post(tap, *e);
  }
  void key(uint16_t code, bool down, EventFlags flags) {
    auto e = sim->events.createKeyboardEvent(source.get(), code, down);
    ASSERT_TRUE(e);
    e->flags = flags;
    sim->events.post(EventTap::HID, *e);
  }
  // The mover's Command-drag: park, Command down, button down, twelve drag steps, button up.
  void commandDrag(Point from, Point to) {
    source = sim->events.createSource(EventSourceStateID::HIDSystem);
    sim->events.warpMouseCursorPosition(from);
    post(EventType::MouseMoved, from, eventflag::command);
    key(keycode::command, true, eventflag::command);
    post(EventType::LeftMouseDown, from, eventflag::command);
    for (int i = 1; i <= 12; ++i)
      post(EventType::LeftMouseDragged, {from.x + (to.x - from.x) * i / 12, from.y + (to.y - from.y) * i / 12},
           eventflag::command);
    post(EventType::LeftMouseUp, to, eventflag::command);
    key(keycode::command, false, 0);
  }
  void dragItem(const std::string& item, Point to) { commandDrag(frame(item).center(), to); }

  // Left-to-right keys of the non-fixed items, as displayed.
  std::vector<std::string> order() { return world->displayedOrder(); }
  int indexOf(const std::string& key) {
    auto o = order();
    auto it = std::find(o.begin(), o.end(), key);
    return it == o.end() ? -1 : static_cast<int>(it - o.begin());
  }
  std::string leftNeighbour(const std::string& key) {
    int i = indexOf(key);
    return i > 0 ? order()[i - 1] : "";
  }

  VirtualLoop loop;
  std::shared_ptr<UserDefaults> defaults = UserDefaults::inMemory();
  std::unique_ptr<World> world;
  std::unique_ptr<SimPlatform> sim;
  StatusItemRef divider, control;
  EventSourceRef source;
};

}  // namespace vimbo::sim::testing
