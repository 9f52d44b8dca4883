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
  using test_support::installedApp;
  using test_support::titledItem;
  return test_support::menuBarWorld(
      notch, {installedApp(501, "Lumen Notes", "com.lumenware.notes"), installedApp(502, "Tallybird", "io.tallybird.app")},
      {titledItem("a", "Item-0", 501, "Lumen"), titledItem("b", "Item-0", 502, "Tally")});
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
