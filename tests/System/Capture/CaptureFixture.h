#pragma once
// A simulated desktop on a virtual clock with a capture service over it.

#include <gtest/gtest.h>

#include <memory>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Sim/SimPlatform.h"
#include "Platform/Sim/WorldJson.h"
#include "Support/SimSpecs.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo::capture_testing {

inline sim::WorldSpec shippedWorld(const std::string& file) {
  sim::WorldLoad load = sim::loadWorld(sim::shippedWorldsFolder() / file);
  if (auto* e = std::get_if<sim::WorldError>(&load)) {
    ADD_FAILURE() << e->message;
    return {};
  }
  return std::get<sim::WorldSpec>(load);
}

// One application with the given status items (window names), each with its own element texts.
inline sim::AppSpec app(int32_t pid, std::string name, std::string bundle,
                        platform::ActivationPolicy policy = platform::ActivationPolicy::Accessory) {
  sim::AppSpec a = test_support::installedApp(pid, name, std::move(bundle));
  a.activationPolicy = policy;
  return a;
}

inline sim::ItemSpec item(std::string key, std::string windowName, int32_t owner, double width = 30) {
  sim::ItemSpec i;
  i.key = std::move(key);
  i.windowName = std::move(windowName);
  i.ownerPID = owner;
  i.width = width;
  return i;
}

inline sim::ScreenSpec plainScreen() {
  sim::ScreenSpec s;
  s.name = "Plain";
  s.displayBounds = Rect(0, 0, 1920, 1080);
  s.frame = Rect(0, 0, 1920, 1080);
  s.menuBarHeight = 24;
  return s;
}

inline sim::ScreenSpec notchedScreen() {
  sim::ScreenSpec s;
  s.name = "Notched";
  s.displayBounds = Rect(0, 0, 1512, 982);
  s.frame = Rect(0, 0, 1512, 982);
  s.menuBarHeight = 37;
  s.notchWidth = 200;
  return s;
}

class CaptureWorld : public ::testing::Test {
 protected:
  // A scan's worker threads read the world, which goes before the executor does.
  ~CaptureWorld() override { executor.shutdown(); }

  void start(sim::WorldSpec spec) {
    // The executor goes down with its world: one world per test.
    ASSERT_FALSE(env) << "a second world on the same executor";
    env = std::make_unique<sim::SimEnvironment>(std::move(spec), executor, defaults);
    makeService();
  }
  void startShipped(const std::string& file) { start(shippedWorld(file)); }
  // A new service over the same world and defaults, as after a restart of the system.
  void makeService() {
    service.reset();
    service = std::make_unique<MenuBarCaptureService>(env->platform(), defaults, executor);
  }
  sim::World& world() { return env->world(); }

  template <class T>
  T run(async::Task<T> task) {
    auto handle = async::spawn(executor, std::move(task));
    executor.runUntil([&] { return handle.isDone(); }, executor.now() + std::chrono::seconds(30));
    EXPECT_TRUE(handle.isDone());
    if constexpr (!std::is_void_v<T>) return *handle.result();
  }

  const CapturedMenuBarItem* find(const std::vector<CapturedMenuBarItem>& items, const std::string& specKey) {
    auto view = world().item(specKey);
    if (!view) return nullptr;
    for (const auto& i : items) {
      if (i.id == view->windowNumber) return &i;
    }
    return nullptr;
  }
  MenuBarCaptureService::WindowMetadata metadata(const std::string& specKey) {
    auto view = world().item(specKey);
    for (auto& m : service->menuBarWindowMetadata()) {
      if (view && m.windowID == view->windowNumber) return m;
    }
    ADD_FAILURE() << "no window for " << specKey;
    return {};
  }

  async::VirtualExecutor executor;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  std::unique_ptr<sim::SimEnvironment> env;
  std::unique_ptr<MenuBarCaptureService> service;
};

}  // namespace vimbo::capture_testing
