#pragma once
// The controller on a simulated world, with in-memory defaults, a recording view factory and the
// virtual clock: the fixture every controller test starts from, and the safety check that ends
// each scenario (nothing held, the cursor shown, the pointer back, the bar as the scenario left it).

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "App/AppDelegate.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Sim/SimPlatform.h"
#include "Support/RecordingViewFactory.h"
#include "Support/SimSpecs.h"
#include "System/MenuBarHider.h"

namespace vimbo::testing {

using namespace std::chrono_literals;

// A plain or notched screen with three third-party items, a Control Center module and the two
// fixed items. The items carry accessibility titles, so their identities can be restored.
inline sim::WorldSpec controllerWorld(bool notch = false) {
  using test_support::installedApp;
  using test_support::titledItem;
  return test_support::menuBarWorld(notch,
                                    {installedApp(501, "Lumen Notes", "com.lumenware.notes"),
                                     installedApp(502, "Tallybird", "io.tallybird.app"),
                                     installedApp(503, "Driftwood", "net.driftwood.sync")},
                                    {titledItem("notes", "NotesStatus", 501, "Lumen"),
                                     titledItem("tally", "TallyStatus", 502, "Tally"),
                                     titledItem("drift", "DriftStatus", 503, "Drift")});
}

// The same screen without any status item of other applications.
inline sim::WorldSpec emptyControllerWorld(bool notch = false) {
  sim::WorldSpec spec = controllerWorld(notch);
  spec.items.clear();
  return spec;
}

struct ControllerFixture {
  // Lets a test put decorators (e.g. call counters) between the controller and the platform.
  using PlatformWrapper = std::function<platform::Platform(platform::Platform)>;

  explicit ControllerFixture(sim::WorldSpec spec,
                             std::shared_ptr<platform::UserDefaults> sharedDefaults = platform::UserDefaults::inMemory(),
                             const PlatformWrapper& wrap = {})
      : defaults(std::move(sharedDefaults)),
        env(prepared(std::move(spec)), executor, defaults),
        platform(wrap ? wrap(env.platform()) : env.platform()) {
    controller = std::make_shared<AppDelegate>(platform, defaults, factory);
    env.sim().application.setDelegate(controller.get());
    pointerBefore = world().pointer();
  }
  ~ControllerFixture() {
    // A scan may still run on a worker thread (a refresh cut short by the end of a scenario); it
    // reads the world, which goes before the executor does.
    executor.shutdown();
    env.sim().application.setDelegate(nullptr);
    controller.reset();
  }
  ControllerFixture(const ControllerFixture&) = delete;
  ControllerFixture& operator=(const ControllerFixture&) = delete;

  sim::World& world() { return env.world(); }
  sim::SimApplication& application() { return env.sim().application; }
  AppDelegate& app() { return *controller; }
  MenuBarStore& store() { return controller->store; }

  // Launch as the platform does, then let start-up settle: with settle, until the initial capture
  // has finished a refresh that filled the store (or a few seconds passed for an empty bar).
  void launch(bool settle = true) {
    bool refreshed = false;
    auto watch = store().isCapturingSystemItems.subscribe([&](const bool& capturing) {
      if (!capturing) refreshed = true;
    });
    application().finishLaunching();
    if (settle) {
      runUntil([&] { return refreshed && !store().capturedSystemItems.get().empty(); }, 5s);
    }
    pointerBefore = world().pointer();
  }

  // ---- The virtual clock ----
  async::TimePoint now() { return executor.now(); }
  void runFor(async::Duration d) { executor.runFor(d); }
  // Turns until the condition holds or the limit passes; false when it never held.
  bool runUntil(const std::function<bool()>& condition, async::Duration limit = 10s) {
    return executor.runUntil(condition, executor.now() + limit);
  }
  // Runs body(controller) as a task, holding the controller, until it finishes or the limit passes.
  template <class F>
  auto drive(F body, async::Duration limit = 60s) {
    auto handle = async::spawn(executor, [self = controller, body = std::move(body)]() mutable { return body(*self); });
    executor.runUntil([&] { return handle.isDone(); }, executor.now() + limit);
    return handle;
  }

  // ---- Our status items and a person's hands ----
  Rect controlFrame() { return controller->menuBarHider.windowServerFrame(hider::controlName).value_or(Rect{}); }
  Rect dividerFrame() { return controller->menuBarHider.windowServerFrame(hider::dividerName).value_or(Rect{}); }
  void clickControl(platform::EventFlags flags = 0) { world().personClick(controlFrame().center(), flags); }
  void rightClick(Point p) {
    world().personMouse(platform::EventType::RightMouseDown, p);
    world().personMouse(platform::EventType::RightMouseUp, p);
  }
  // Presses and releases a key with the given modifiers held, as a person does.
  void pressKey(uint16_t keyCode, platform::EventFlags flags = 0) {
    world().personKey(keyCode, true, flags);
    world().personKey(keyCode, false, flags);
  }
  const std::vector<std::shared_ptr<test_support::RecordedContent>> made(test_support::ContentKind kind) const {
    return factory.made(kind);
  }

  // ---- The safety check after every scenario ----
  // Call when a scenario moves the pointer on purpose.
  void rememberPointer() { pointerBefore = world().pointer(); }
  double dividerLength() {
    auto divider = controller->menuBarHider.dividerItem;
    return divider ? divider->length() : -1;
  }
  // dividerLength: none when the scenario removed the divider (quit); else the expected length,
  // 10000 unless the scenario left the bar expanded.
  void expectSafe(std::optional<double> expectedDividerLength = hider::collapsedLength) {
    EXPECT_FALSE(world().isCommandHeld()) << "Command is still held";
    EXPECT_FALSE(world().isMouseButtonDown()) << "a mouse button is still held";
    EXPECT_EQ(world().totalCursorHideCount(), 0) << "the cursor is still hidden";
    EXPECT_EQ(world().pointer(), pointerBefore) << "the pointer did not come back";
    if (expectedDividerLength) {
      EXPECT_EQ(dividerLength(), *expectedDividerLength);
    }
  }

  async::VirtualExecutor executor;
  std::shared_ptr<platform::UserDefaults> defaults;
  sim::SimEnvironment env;
  platform::Platform platform;
  test_support::RecordingViewFactory factory;
  std::shared_ptr<AppDelegate> controller;
  Point pointerBefore;

 private:
  static sim::WorldSpec prepared(sim::WorldSpec spec) {
    CompactStatusItemLayout::resetForTesting();  // each world is a fresh process
    return spec;
  }
};

}  // namespace vimbo::testing
