#pragma once
// A controller on a simulated desktop, on the virtual clock, with nothing stored yet: built, not
// launched. The launch and refresh benchmarks start from it.

#include <chrono>
#include <memory>

#include "App/AppDelegate.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/SimPlatform.h"
#include "Support/RecordingViewFactory.h"

namespace vimbo::bench {

struct SimController {
  explicit SimController(const sim::WorldSpec& world) {
    env = std::make_unique<sim::SimEnvironment>(world, executor, defaults);
    platform = std::make_unique<platform::Platform>(env->platform());
    controller = std::make_shared<AppDelegate>(*platform, defaults, factory);
    env->sim().application.setDelegate(controller.get());
  }
  ~SimController() {
    executor.shutdown();
    env->sim().application.setDelegate(nullptr);
    controller.reset();
  }
  SimController(const SimController&) = delete;
  SimController& operator=(const SimController&) = delete;

  void launch() { env->sim().application.finishLaunching(); }
  // The initial capture has filled the store.
  bool captured() const {
    return !controller->store.isCapturingSystemItems.get() && !controller->store.capturedSystemItems.get().empty();
  }
  void runUntilCaptured() {
    executor.runUntil([&] { return captured(); }, executor.now() + std::chrono::seconds(60));
  }

  async::VirtualExecutor executor;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  test_support::RecordingViewFactory factory;
  std::unique_ptr<sim::SimEnvironment> env;
  std::unique_ptr<platform::Platform> platform;
  std::shared_ptr<AppDelegate> controller;
};

}  // namespace vimbo::bench
