// A run that ends while a refresh's accessibility scan still runs on a worker thread, the way the
// desktop tests and the preview end theirs: with the loop stopped and nothing joined. The world
// and its facades must still be there for every worker until it has finished.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "App/ControllerFixture.h"

namespace vimbo::testing {
namespace {

// Counts the requests to stop the loop: the first is the run's own, a later one comes from
// whoever tears the run down.
class CountingStops : public async::VirtualExecutor {
 public:
  ~CountingStops() override { shutdown(); }
  void stop() override {
    stops.fetch_add(1);
    stops.notify_all();
    VirtualExecutor::stop();
  }
  std::atomic<int> stops{0};
};

struct ReadOutcome {
  std::atomic<bool> caught{false}, worldWasGone{false};
};

// Once armed, catches the n-th accessibility read made on a worker and holds it until the loop is
// asked to stop a second time, so that read lands in the teardown itself; it reaches the world
// only while the world is there.
class HeldRead : public sim::SimAccessibility {
 public:
  HeldRead(sim::World& world, CountingStops& executor, int n, std::shared_ptr<ReadOutcome> outcome)
      : SimAccessibility(world), alive_(world.aliveToken()), executor_(executor), n_(n), outcome_(std::move(outcome)) {}
  std::atomic<bool> armed{false};

  platform::AXCopyResult copyAttributeValue(platform::AXElement e, const std::string& a) override {
    if (armed && std::this_thread::get_id() != main_ && ++reads_ == n_) {
      outcome_->caught = true;
      executor_.postFromAnyThread([] {});  // the loop waits for this worker: wake it
      for (int s = executor_.stops.load(); s < 2; s = executor_.stops.load()) executor_.stops.wait(s);
    }
    if (alive_.expired()) {
      outcome_->worldWasGone = true;
      return {};
    }
    return SimAccessibility::copyAttributeValue(e, a);
  }

 private:
  std::weak_ptr<bool> alive_;
  CountingStops& executor_;
  const int n_;
  std::shared_ptr<ReadOutcome> outcome_;
  std::atomic<int> reads_{0};
  const std::thread::id main_ = std::this_thread::get_id();
};

// The controller on a world; the run ends with executor.stop() alone.
struct RunStoppedMidScan {
  RunStoppedMidScan(int n, std::shared_ptr<ReadOutcome> outcome) {
    CompactStatusItemLayout::resetForTesting();
    env = std::make_unique<sim::SimEnvironment>(controllerWorld(true), executor, defaults);
    held = std::make_unique<HeldRead>(env->world(), executor, n, std::move(outcome));
    platform::Platform p = env->platform();
    platform = std::make_unique<platform::Platform>(platform::Platform{
        p.executor, p.defaults, p.windowServer, p.screenCaptureAccess, p.screenCapture, *held, p.events, p.inputHold,
        p.statusBar, p.screens, p.workspace, p.eventMonitors, p.hotKeys, p.application, p.loginItem, p.windows});
    controller = std::make_shared<AppDelegate>(*platform, defaults, factory);
  }
  ~RunStoppedMidScan() { executor.stop(); }

  std::unique_ptr<HeldRead> held;  // outlives every worker
  CountingStops executor;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  std::unique_ptr<sim::SimEnvironment> env;
  std::unique_ptr<platform::Platform> platform;
  test_support::RecordingViewFactory factory;
  std::shared_ptr<AppDelegate> controller;
};

TEST(RunStoppedDuringAScan, EveryWorkerFinishesItsReadsBeforeTheWorldGoes) {
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE(run);
    auto outcome = std::make_shared<ReadOutcome>();
    {
      RunStoppedMidScan r(run % 4 + 1, outcome);
      r.env->sim().application.setDelegate(r.controller.get());
      r.env->sim().application.finishLaunching();
      auto& store = r.controller->store;
      ASSERT_TRUE(r.executor.runUntil(
          [&] { return !store.capturedSystemItems.get().empty() && !store.isCapturingSystemItems.get(); },
          r.executor.now() + 10s));
      r.held->armed = true;
      async::spawn(r.executor, [c = r.controller] { return c->refreshSystemItems(false); });
      ASSERT_TRUE(r.executor.runUntil([&] { return outcome->caught.load(); }, r.executor.now() + 10s));
    }
    EXPECT_FALSE(outcome->worldWasGone);
  }
}

}  // namespace
}  // namespace vimbo::testing
