// A run that ends while a refresh's accessibility scan still runs on a worker thread, the way the
// desktop tests and the preview end theirs: with the loop stopped and nothing joined. The world
// and its facades must still be there for every worker until it has finished.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <type_traits>

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
  std::atomic<bool> caught{false}, read{false}, worldWasGone{false};
};

// Once armed, catches the n-th accessibility read made on a worker and holds it until the loop is
// asked to stop a second time, so that read lands in the teardown itself. A call that comes after
// the world has gone is recorded and answered with a failure instead of reaching it.
class HeldRead : public platform::Accessibility {
 public:
  HeldRead(int n, std::shared_ptr<ReadOutcome> outcome) : n_(n), outcome_(std::move(outcome)) {}
  platform::Platform around(platform::Platform p, CountingStops& executor, sim::World& world) {
    inner_ = &p.accessibility;
    executor_ = &executor;
    alive_ = world.aliveToken();
    return {p.executor, p.defaults, p.windowServer, p.screenCaptureAccess, p.screenCapture, *this, p.events, p.inputHold, p.statusBar,
            p.screens, p.workspace, p.eventMonitors, p.hotKeys, p.application, p.loginItem, p.windows};
  }
  std::atomic<bool> armed{false};

  platform::AXCopyResult copyAttributeValue(platform::AXElement e, const std::string& a) override {
    if (!armed || std::this_thread::get_id() == main_ || ++reads_ != n_) {
      return forward<platform::AXCopyResult>([&](auto& ax) { return ax.copyAttributeValue(e, a); });
    }
    outcome_->caught = true;
    executor_->postFromAnyThread([] {});  // the loop waits for this worker: wake it
    for (int s = executor_->stops.load(); s < 2; s = executor_->stops.load()) executor_->stops.wait(s);
    auto result = forward<platform::AXCopyResult>([&](auto& ax) { return ax.copyAttributeValue(e, a); });
    outcome_->read = !outcome_->worldWasGone;
    return result;
  }
  bool isProcessTrusted(bool p) override { return forward<bool>([&](auto& ax) { return ax.isProcessTrusted(p); }); }
  platform::AXElement createApplication(int32_t pid) override {
    return forward<platform::AXElement>([&](auto& ax) { return ax.createApplication(pid); });
  }
  platform::AXElement createSystemWide() override {
    return forward<platform::AXElement>([&](auto& ax) { return ax.createSystemWide(); });
  }
  platform::AXSettableResult isAttributeSettable(platform::AXElement e, const std::string& a) override {
    return forward<platform::AXSettableResult>([&](auto& ax) { return ax.isAttributeSettable(e, a); });
  }
  platform::AXError setAttributeValue(platform::AXElement e, const std::string& a, const platform::AXValue& v) override {
    return forward<platform::AXError>([&](auto& ax) { return ax.setAttributeValue(e, a, v); });
  }
  platform::AXError performAction(platform::AXElement e, const std::string& a) override {
    return forward<platform::AXError>([&](auto& ax) { return ax.performAction(e, a); });
  }
  platform::AXElementResult copyElementAtPosition(platform::AXElement e, float x, float y) override {
    return forward<platform::AXElementResult>([&](auto& ax) { return ax.copyElementAtPosition(e, x, y); });
  }
  platform::AXPidResult getPid(platform::AXElement e) override {
    return forward<platform::AXPidResult>([&](auto& ax) { return ax.getPid(e); });
  }
  platform::AXError setMessagingTimeout(platform::AXElement e, float s) override {
    return forward<platform::AXError>([&](auto& ax) { return ax.setMessagingTimeout(e, s); });
  }

 private:
  template <class R, class F>
  R forward(F call) {
    if (!alive_.expired()) return call(*inner_);
    outcome_->worldWasGone = true;
    if constexpr (std::is_same_v<R, platform::AXError>) return platform::AXError::Failure;
    else return R{};
  }

  const int n_;
  std::shared_ptr<ReadOutcome> outcome_;
  std::atomic<int> reads_{0};
  const std::thread::id main_ = std::this_thread::get_id();
  platform::Accessibility* inner_ = nullptr;
  CountingStops* executor_ = nullptr;
  std::weak_ptr<bool> alive_;
};

// The controller on a world; the run ends with executor.stop() alone.
struct RunStoppedMidScan {
  RunStoppedMidScan(int n, std::shared_ptr<ReadOutcome> outcome) : held(n, std::move(outcome)) {
    CompactStatusItemLayout::resetForTesting();
  }
  ~RunStoppedMidScan() { executor.stop(); }

  HeldRead held;  // outlives every worker
  CountingStops executor;
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  sim::SimEnvironment env{controllerWorld(true), executor, defaults};
  platform::Platform platform = held.around(env.platform(), executor, env.world());
  test_support::RecordingViewFactory factory;
  std::shared_ptr<AppDelegate> controller = std::make_shared<AppDelegate>(platform, defaults, factory);
};

TEST(RunStoppedDuringAScan, EveryWorkerFinishesItsReadsBeforeTheWorldGoes) {
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE(run);
    auto outcome = std::make_shared<ReadOutcome>();
    {
      RunStoppedMidScan r(run % 4 + 1, outcome);
      r.env.sim().application.setDelegate(r.controller.get());
      r.env.sim().application.finishLaunching();
      auto& store = r.controller->store;
      ASSERT_TRUE(r.executor.runUntil(
          [&] { return !store.capturedSystemItems.get().empty() && !store.isCapturingSystemItems.get(); },
          r.executor.now() + 10s));
      r.held.armed = true;
      async::spawn(r.executor, [c = r.controller] { return c->refreshSystemItems(false); });
      ASSERT_TRUE(r.executor.runUntil([&] { return outcome->caught.load(); }, r.executor.now() + 10s));
    }
    EXPECT_TRUE(outcome->read);
    EXPECT_FALSE(outcome->worldWasGone);
  }
}

}  // namespace
}  // namespace vimbo::testing
