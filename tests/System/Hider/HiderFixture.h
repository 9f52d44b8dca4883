#pragma once
// A small simulated desktop for the hider, mover and activation tests: one screen (notched or
// plain), two third-party items, a Control Center module and the two fixed items, with our
// divider and control item installed the way the controller installs them.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Sim/SimPlatform.h"
#include "Support/SimSpecs.h"
#include "System/MenuBarCaptureService.h"
#include "System/MenuBarHider.h"

namespace vimbo::testing {

using namespace std::chrono_literals;

inline sim::WorldSpec smallWorld(bool notch) {
  sim::WorldSpec spec;
  sim::ScreenSpec screen;
  screen.name = notch ? "Built-in" : "Studio";
  screen.displayID = 1;
  screen.displayBounds = notch ? Rect{0, 0, 1512, 982} : Rect{0, 0, 1920, 1080};
  screen.frame = screen.displayBounds;
  screen.menuBarHeight = notch ? 37 : 24;
  screen.notchWidth = notch ? 200 : 0;
  spec.screens.push_back(screen);

  auto app = [&](int32_t pid, std::string name, std::string bundle, bool cc = false) {
    sim::AppSpec a = test_support::installedApp(pid, name, std::move(bundle));
    a.hostsControlCenter = cc;
    spec.apps.push_back(a);
  };
  app(300, "Control Center", "com.apple.controlcenter", true);
  app(501, "Lumen Notes", "com.lumenware.notes");
  app(502, "Tallybird", "io.tallybird.app");

  auto item = [&](std::string key, std::string windowName, int32_t pid, std::string title) {
    sim::ItemSpec i;
    i.key = key;
    i.windowName = windowName;
    i.ownerPID = pid;
    i.width = 30;
    i.axTitle = platform::AXValue{title};
    spec.items.push_back(i);
  };
  item("a", "Item-0", 501, "Lumen");
  item("b", "Item-0", 502, "Tally");
  item("wifi", "WiFi", 300, "Wi-Fi");
  item("bento", "BentoBox-0", 300, "Control Center");
  item("clock", "Clock", 300, "Clock");
  spec.pointer = {700, 500};
  return spec;
}

struct Desk {
  explicit Desk(sim::WorldSpec spec)
      : env(std::move(spec), executor, defaults), platform(env.platform()) {
    CompactStatusItemLayout::resetForTesting();
  }
  ~Desk() {
    service.reset();
    executor.shutdown();  // a scan's worker threads read the world, which goes before the executor
  }

  sim::World& world() { return env.world(); }

  // The divider, then the control item, as the controller does at start-up.
  void installOwnItems() {
    hider.installDivider();
    hider.configureControlItem(platform.statusBar.statusItem(24));
    executor.runUntilIdle();
  }

  MenuBarCaptureService& capture() {
    if (!service) service = std::make_unique<MenuBarCaptureService>(platform, defaults, executor);
    return *service;
  }

  CapturedMenuBarItem itemFor(const std::string& key) {
    auto view = world().item(key);
    EXPECT_TRUE(view.has_value()) << key;
    CapturedMenuBarItem item;
    if (!view) return item;
    item.id = view->windowNumber;
    item.windowName = view->windowName.value_or("");
    item.ownerPID = view->ownerPID;
    for (const auto& app : world().spec().apps) {
      if (app.pid == view->ownerPID) item.ownerBundleIdentifier = app.bundleIdentifier.value_or("");
    }
    item.originalFrame = view->frame;
    item.stableIdentity = item.ownerBundleIdentifier + "|window=" + item.windowName;
    return item;
  }

  Rect frame(const std::string& key) { return world().frameOf(key).value_or(Rect{}); }
  Rect divider() { return hider.windowServerFrame(hider::dividerName).value_or(Rect{}); }
  Rect control() { return hider.windowServerFrame(hider::controlName).value_or(Rect{}); }

  async::VirtualExecutor executor;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  sim::SimEnvironment env;
  platform::Platform platform;
  MenuBarHider hider{platform};
  std::unique_ptr<MenuBarCaptureService> service;
};

}  // namespace vimbo::testing
