// Accessibility reads from worker threads during a blocking fan-out, on the runtime's virtual clock.
#include <gtest/gtest.h>

#include <mutex>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Parallel.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Sim/SimPlatform.h"
#include "Platform/Sim/WorldJson.h"

namespace vimbo::sim {
namespace {

using namespace platform;

TEST(AccessibilityThreaded, ScanFromWorkersChargesTimeOutsAndNeverNeedsTheMainThread) {
  async::VirtualExecutor ex;
  SimEnvironment env(std::get<WorldSpec>(loadWorld(shippedWorldsFolder() / "notched-laptop.json")), ex);
  auto control = env.sim().statusBar.statusItem(24);
  control->setAutosaveName("Vimbo.Control");
  env.world().setUnresponsive(502, true);
  Accessibility& ax = env.platform().accessibility;
  auto apps = env.platform().workspace.runningApplications();

  std::mutex lock;
  std::map<int32_t, size_t> extras;
  std::map<int32_t, AXError> failures;
  auto start = ex.now();
  async::parallelFor(ex, apps.size(), [&](size_t i) {
    int32_t pid = apps[i].processIdentifier;
    AXElement app = ax.createApplication(pid);
    ax.setMessagingTimeout(app, 0.15f);
    auto bar = ax.copyAttributeValue(app, "AXExtrasMenuBar");
    std::lock_guard guard(lock);
    if (bar.error != AXError::Success) {
      failures[pid] = bar.error;
      return;
    }
    auto children = ax.copyAttributeValue(*bar.value->element(), "AXChildren");
    for (const AXValue& child : *children.value->array()) {
      auto desc = ax.copyAttributeValue(*child.element(), "AXPosition");
      EXPECT_EQ(desc.error, AXError::Success);
    }
    extras[pid] = children.value->array()->size();
  });
  EXPECT_EQ(ex.now() - start, std::chrono::milliseconds(150));  // the slowest iteration
  EXPECT_EQ(failures[502], AXError::CannotComplete);   // unresponsive
  EXPECT_EQ(failures[4242], AXError::CannotComplete);  // our own process is blocked in the fan-out
  EXPECT_EQ(extras[300], 6u);
  EXPECT_EQ(extras[501], 1u);
  // On the main loop our own elements answer.
  EXPECT_EQ(ax.copyAttributeValue(ax.createApplication(4242), "AXExtrasMenuBar").error, AXError::Success);
}

// Our own elements need our main loop: a detached offload leaves it free, a fan-out blocks it.
TEST(AccessibilityThreaded, OwnElementsAnswerAnOffloadButTimeOutInAFanOut) {
  async::VirtualExecutor ex;
  SimEnvironment env(std::get<WorldSpec>(loadWorld(shippedWorldsFolder() / "notched-laptop.json")), ex);
  env.defaults().set("NSStatusItem Preferred Position Vimbo.Control", 0.0);  // right of the notch
  auto control = env.sim().statusBar.statusItem(24);
  control->setAutosaveName("Vimbo.Control");
  Accessibility& ax = env.platform().accessibility;
  AXElement own = ax.createApplication(4242);
  ax.setMessagingTimeout(own, 0.15f);
  ax.setMessagingTimeout(ax.createSystemWide(), 0.15f);
  Point centre = env.world().frameOf("Vimbo.Control")->center();
  struct Reads {
    AXError bar = AXError::Failure, hit = AXError::Failure;
    int32_t hitPID = 0;
  };
  auto read = [&] {
    Reads r;
    r.bar = ax.copyAttributeValue(own, "AXExtrasMenuBar").error;
    auto hit = ax.copyElementAtPosition(ax.createSystemWide(), static_cast<float>(centre.x), static_cast<float>(centre.y));
    r.hit = hit.error;
    if (hit.error == AXError::Success) r.hitPID = ax.getPid(hit.element).pid;
    return r;
  };
  const auto start = ex.now();
  Reads detached;
  auto body = [&]() -> async::Task<void> {
    auto job = async::offload(ex, read);
    detached = co_await std::move(job);
  };
  async::spawn(ex, body);
  ex.runUntilIdle();
  EXPECT_EQ(detached.bar, AXError::Success);
  EXPECT_EQ(detached.hit, AXError::Success);
  EXPECT_EQ(detached.hitPID, 4242);
  EXPECT_EQ(ex.now(), start);  // answered at once

  Reads blocked;
  async::parallelFor(ex, 1, [&](size_t) { blocked = read(); });
  EXPECT_EQ(blocked.bar, AXError::CannotComplete);
  EXPECT_EQ(blocked.hit, AXError::CannotComplete);
  EXPECT_EQ(ex.now() - start, std::chrono::milliseconds(300));  // the bar read and the hit test

  // Free again once the fan-out has returned.
  Reads after;
  async::spawn(ex, [&]() -> async::Task<void> {
    auto job = async::offload(ex, read);
    after = co_await std::move(job);
  });
  ex.runUntilIdle();
  EXPECT_EQ(after.bar, AXError::Success);
}

// A change made on the main thread reaches worker readers with the statement that makes it,
// with no main-thread read in between.
TEST(AccessibilityThreaded, ChangesReachWorkerReadersAtOnce) {
  async::VirtualExecutor ex;
  SimEnvironment env(std::get<WorldSpec>(loadWorld(shippedWorldsFolder() / "notched-laptop.json")), ex);
  Accessibility& ax = env.platform().accessibility;
  AXElement wifi = env.world().menuExtraElement("wifi");
  auto onWorker = [&](const char* attribute) {
    AXCopyResult r;
    async::parallelFor(ex, 1, [&](size_t) { r = ax.copyAttributeValue(wifi, attribute); });
    return r;
  };
  ASSERT_EQ(*onWorker("AXDescription").value->string(), "Wi-Fi");
  env.world().itemSpec("wifi").axDescription = AXValue{std::string("Wi-Fi menu")};
  auto description = onWorker("AXDescription");
  ASSERT_EQ(description.error, AXError::Success);
  EXPECT_EQ(*description.value->string(), "Wi-Fi menu");
  env.world().itemSpec("wifi").axOffset = Rect(0, 3, 0, -6);
  EXPECT_EQ(*onWorker("AXSize").value->size(), Size(30, 31));
  env.world().faults("wifi").positionSettable = true;
  bool settable = false;
  async::parallelFor(ex, 1, [&](size_t) { settable = ax.isAttributeSettable(wifi, "AXPosition").settable; });
  EXPECT_TRUE(settable);
  env.world().switches().accessibilityTrusted = false;
  EXPECT_EQ(onWorker("AXPosition").error, AXError::APIDisabled);
}

TEST(AccessibilityThreaded, ReadsRaceWithMainThreadLayoutChanges) {
  async::VirtualExecutor ex;
  SimEnvironment env(std::get<WorldSpec>(loadWorld(shippedWorldsFolder() / "notched-laptop.json")), ex);
  Accessibility& ax = env.platform().accessibility;
  AXElement wifi = env.world().menuExtraElement("wifi");
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done) {
      auto r = ax.copyAttributeValue(wifi, "AXPosition");
      ASSERT_EQ(r.error, AXError::Success);
      double x = r.value->point()->x;
      ASSERT_TRUE(x == 1282 || x == 1252) << x;
    }
  });
  env.defaults().set("NSStatusItem Preferred Position Wide", 0.0);
  auto divider = env.sim().statusBar.statusItem(30);
  divider->setAutosaveName("Wide");
  for (int i = 0; i < 200; ++i) divider->setLength(i % 2 ? 30 : 0);
  done = true;
  reader.join();
}

}  // namespace
}  // namespace vimbo::sim
