// Accessibility reads from worker threads during a blocking fan-out, on the runtime's virtual clock.
#include <gtest/gtest.h>

#include <mutex>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Parallel.h"
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
