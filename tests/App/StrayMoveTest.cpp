// Nothing but the item asked for moves: a press goes only where that item stands, and a move that
// starts while another is in flight waits for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "App/OperationsFixture.h"
#include "Platform/Sim/WorldJson.h"

namespace vimbo::testing {
namespace {

constexpr uint16_t kSearchKeyB = 11;
constexpr platform::EventFlags kSearchHotKeys = platform::eventflag::option | platform::eventflag::command;
constexpr platform::EventFlags kRevealHotKeys = platform::eventflag::control | platform::eventflag::command;
const std::string kAccessibilityPrompt = "需要在系统设置中允许 Vimbo 使用辅助功能；授权后请再点一次。";
std::string notPressable(const std::string& name) { return "“" + name + "”不在菜单栏中可以点按的位置，无法移动或打开。"; }

// Every item but `asked`, our own two included, where the window server lists it.
std::map<std::string, Rect> framesBut(OperationsFixture& f, const std::string& asked) {
  std::map<std::string, Rect> out;
  for (const auto& item : f.world().items()) {
    if (item.specKey != asked) out[item.specKey] = item.frame;
  }
  return out;
}

// The plain screen with "notes" leftmost of so many items that it stays beyond the screen's left
// edge even with the bar revealed.
sim::WorldSpec widerThanItsScreenWorld() {
  sim::WorldSpec spec = operationsWorld(false);
  for (int i = 0; i < 70; ++i) {
    const int32_t pid = 700 + i;
    const std::string key = "f" + std::to_string(i);
    spec.apps.push_back(test_support::installedApp(pid, "填充" + std::to_string(i), "org.filler." + key));
    spec.items.insert(spec.items.begin(), test_support::titledItem(key, "Filler" + std::to_string(i), pid, key));
  }
  const auto notes = std::find_if(spec.items.begin(), spec.items.end(), [](const auto& i) { return i.key == "notes"; });
  std::rotate(spec.items.begin(), notes, notes + 1);
  return spec;
}

void pinFromTheManager(OperationsFixture& f, const std::string& key) {
  f.manager().pinSystemItem(f.window(key));
  f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 30s);
}

void openFromQuickSearch(OperationsFixture& f, const std::string& key) {
  f.pressKey(kSearchKeyB, kSearchHotKeys);
  f.runFor(1s);
  f.app().activateQuickSearchItem(f.captured(key));
  f.runUntil([&] { return !f.app().systemItemActivationTask; }, 60s);
}

struct StrayCase {
  const char* what;
  std::function<sim::WorldSpec()> world;
  std::function<void(OperationsFixture&)> act;
};

// Each time the item stands where no press reaches it, and the person is told so.
TEST(PressesOnItems, LandOnTheItemAskedForOrAreNotPostedAtAll) {
  const std::vector<StrayCase> cases = {
      {"pinning an item beyond the screen's edge", widerThanItsScreenWorld,
       [](OperationsFixture& f) { pinFromTheManager(f, "notes"); }},
      {"opening it from quick search", widerThanItsScreenWorld,
       [](OperationsFixture& f) { openFromQuickSearch(f, "notes"); }},
      {"opening a collected item when the reveal is refused", [] { return operationsWorld(); },
       [](OperationsFixture& f) {
         f.world().switches().onScreenCountZeros = 1;
         f.manager().activateSystemItem(f.window("notes"));
         f.runUntil([&] { return !f.app().systemItemActivationTask; }, 60s);
       }},
      {"pinning while the bar is laid out 600 ms late", [] { return operationsWorld(); },
       [](OperationsFixture& f) {
         f.world().switches().dividerRelayoutLatency = 600ms;
         pinFromTheManager(f, "notes");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OperationsFixture f(c.world());
    f.start({"tally"});
    const auto before = framesBut(f, "notes");
    c.act(f);
    f.runFor(2s);
    EXPECT_EQ(framesBut(f, "notes"), before);
    EXPECT_EQ(f.drags(), 0u) << "no press may land beside the item";
    EXPECT_EQ(f.store().lastError.get(), notPressable(f.captured("notes").name));
    f.expectSafe();
  }
}

TEST(MovesInFlight, AMoveStartedDuringAnotherWaitsUntilItsPointerIsBack) {
  OperationsFixture f(crowdedNotchWorld());
  f.start({"tally"});
  int mostHidden = 0;
  f.when(
      [&] {
        mostHidden = std::max(mostHidden, f.world().totalCursorHideCount());
        return false;
      },
      [] {});
  Activation a(f);
  f.when([&] { return f.now() - f.startedAt >= 120ms; }, [&] { f.manager().pinSystemItem(f.window("drift")); });
  a.run("notes");
  f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 30s);

  EXPECT_EQ(mostHidden, 1) << "one move at a time";
  // Each press is let go, and Command released, before the next move presses.
  int held = 0, command = 0;
  for (const auto& p : f.world().postedEvents()) {
    held += p.event.type == EventType::LeftMouseDown ? 1 : p.event.type == EventType::LeftMouseUp ? -1 : 0;
    command += p.event.type == EventType::KeyDown ? 1 : p.event.type == EventType::KeyUp ? -1 : 0;
    EXPECT_GE(held, 0);
    EXPECT_LE(held, 1);
    EXPECT_LE(command, 1);
  }
  EXPECT_EQ(f.world().menuOpenCount("notes"), 1);
  EXPECT_TRUE(f.standsVisible("drift"));
  f.expectSafe();
}

// Each move alone succeeds; the second must not drop where the divider stood before the first.
TEST(MovesInFlight, AMoveThatWaitedAimsAtTheBarAsItStandsAfterTheWait) {
  {
    SCOPED_TRACE("a visible move, then a collected one 10 ms later, on the studio display");
    auto load = sim::loadWorld(sim::shippedWorldsFolder() / "plain-1920.json");
    OperationsFixture f(std::get<sim::WorldSpec>(std::move(load)));
    f.start({"tallybird"});
    ASSERT_TRUE(f.app().menuBarHider.setCollapsed(false));
    f.runFor(50ms);
    using Side = MenuBarCaptureService::MenuBarMoveDestination;
    MenuBarCaptureService& mover = f.app().captureService;
    const CapturedMenuBarItem in = f.captured("quietfox-vpn"), out = f.captured("tallybird");
    const Point shown = bar_side::visibleDropPoint(f.control(), in.originalFrame.width);
    auto first = async::spawn(f.executor, [&]() { return mover.moveMenuBarItem(in, shown, false, Side::visible); });
    f.runFor(10ms);
    const Point collected = bar_side::collectedDropPoint(f.divider());
    auto second = async::spawn(f.executor, [&]() { return mover.moveMenuBarItem(out, collected, false, Side::collected); });
    f.runUntil([&] { return first.isDone() && second.isDone(); });
    EXPECT_TRUE(first.result().value_or(false));
    EXPECT_TRUE(second.result().value_or(false));
    EXPECT_TRUE(f.standsVisible("quietfox-vpn"));
    EXPECT_TRUE(f.standsCollected("tallybird"));
    ASSERT_TRUE(f.app().menuBarHider.setCollapsed(true));
    f.expectSafe();
  }
  SCOPED_TRACE("a collect queued 120 ms into an activation's carry from under the notch");
  OperationsFixture f(crowdedNotchWorld());
  f.start({"tally"});
  Activation a(f);
  f.when([&] { return f.now() - f.startedAt >= 120ms; }, [&] { f.manager().collectSystemItem(f.window("tally")); });
  a.run("notes");
  f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 30s);
  EXPECT_TRUE(f.standsCollected("tally"));
  EXPECT_EQ(f.store().layoutZone(f.captured("tally")), MenuBarLayoutZone::collected);
}

TEST(MovesInFlight, TheClickStandingInForARefusedPressWaitsForTheDragInFlight) {
  OperationsFixture f(operationsWorld());
  f.start({"notes"});
  f.world().faults("notes").pressRefused = true;
  f.world().itemSpec("notes").hitChild = true;
  f.whenPosted(EventType::LeftMouseDown, [&] { f.manager().activateSystemItem(f.window("notes")); });
  f.manager().pinSystemItem(f.window("bare"));  // its moves are Command-drags alone
  f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0 && !f.app().systemItemActivationTask; }, 30s);

  int held = 0;
  for (const auto& p : f.world().postedEvents()) {
    held += p.event.type == EventType::LeftMouseDown ? 1 : p.event.type == EventType::LeftMouseUp ? -1 : 0;
    EXPECT_LE(held, 1) << "two buttons held at once";
  }
  EXPECT_EQ(f.posted(EventType::LeftMouseDown).back().route, sim::PostRoute::Pid) << "the click came after the drag";
  EXPECT_EQ(f.world().menuOpenCount("notes"), 1);
  EXPECT_TRUE(f.standsVisible("bare"));
  f.expectSafe();
}

struct SentenceCase {
  const char* what;
  bool notch;
  bool driftVisible;
  std::function<void(OperationsFixture&)> arrange;
  std::function<void(OperationsFixture&, uint32_t window)> request;
  std::function<std::string(const std::string& name)> sentence;
};

// The permission sentences only when the permission is missing or no event can be made; a window
// gone since it was listed asks for a refresh; a screen without a notch is not said to have one.
TEST(FailureSentences, NameTheirTrueCause) {
  const auto pin = [](OperationsFixture& f, uint32_t window) {
    f.manager().pinSystemItem(window);
    f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 30s);
  };
  const auto collect = [](OperationsFixture& f, uint32_t window) {
    f.manager().collectSystemItem(window);
    f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 30s);
  };
  const auto open = [](OperationsFixture& f, uint32_t window) {
    f.manager().activateSystemItem(window);
    f.runUntil([&] { return !f.app().systemItemActivationTask; }, 60s);
  };
  const auto gone = [](OperationsFixture& f) { f.world().removeItem("drift"); };
  // Once: the pin then takes it back, and its sentence may say so.
  const auto landsBeyondControl = [](OperationsFixture& f) {
    f.world().faults("drift").landsRightOfControl = true;
    f.whenPosted(EventType::LeftMouseUp, [&f] { f.world().faults("drift").landsRightOfControl = false; });
  };
  const auto untrusted = [](OperationsFixture& f) { f.world().setAccessibilityTrusted(false); };
  const auto refresh = [](const std::string&) { return std::string("菜单栏项目已更新，请刷新后重试。"); };
  const auto placed = [](const char* side) {
    return [side](const std::string& name) { return "无法将“" + name + "”安全放入" + side + "，已恢复原有常驻状态。"; };
  };
  const auto permission = [](const std::string& name) { return "无法移动“" + name + "”。请在系统设置中允许 Vimbo 使用辅助功能后重试。"; };
  const std::vector<SentenceCase> cases = {
      {"pinning a window gone since it was listed", false, false, gone, pin, refresh},
      {"collecting one", true, true, gone, collect, refresh},
      {"opening one", true, false, gone, open, refresh},
      {"a pin that lands beyond the control item on a plain screen", false, false, landsBeyondControl, pin,
       placed("菜单栏显示区域")},
      {"the same on a notched screen", true, false, landsBeyondControl, pin, placed("刘海右侧")},
      {"pinning without accessibility", false, false, untrusted, pin, permission},
      {"pinning when no event can be made", true, false,
       [](OperationsFixture& f) { f.world().switches().eventSourceFails = true; }, pin, permission},
      {"opening without accessibility", true, false, untrusted, open,
       [](const std::string&) { return kAccessibilityPrompt; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OperationsFixture f(operationsWorld(c.notch));
    f.start(c.driftVisible ? std::vector<std::string>{"drift"} : std::vector<std::string>{});
    const std::string name = f.captured("drift").name;
    const uint32_t window = f.window("drift");
    c.arrange(f);
    c.request(f, window);
    EXPECT_EQ(f.store().lastError.get(), c.sentence(name));
    f.expectSafe();
  }
}

struct UntoldCase {
  const char* what;
  std::function<sim::WorldSpec()> world;
  std::vector<std::string> visible;
  std::function<void(OperationsFixture&)> act;
  std::function<std::string(OperationsFixture&)> sentence;
};

// What failed is said on every path, and no more is claimed than was done.
TEST(FailureSentences, AreSaidOnEveryPathAndClaimOnlyWhatWasDone) {
  const std::vector<UntoldCase> cases = {
      {"a saved pin's reveal refused with accessibility granted", [] { return operationsWorld(); }, {},
       [](OperationsFixture& f) {
         CapturedMenuBarItem elsewhere = f.captured("drift");
         elsewhere.stableIdentity = "net.driftwood.sync|window=DriftStatus|ax=title:Elsewhere";
         f.app().proxyManager.pin(elsewhere);
         f.world().switches().onScreenCountFailures = 1;
         f.drive([](AppDelegate& app) { return app.reconcileSavedPinIntents(true); });
       },
       [](OperationsFixture&) { return std::string("无法展开菜单栏以恢复已保存的项目；请稍后重试。"); }},
      {"a failed pin whose swapped-out resident cannot be put back",
       [] { return notchWorld(1000, {{"P", 40}, {"A", 60}, {"B", 60}, {"E", 50}}); }, {"A", "B", "E"},
       [](OperationsFixture& f) {
         f.pinAsVisible({"A", "B", "E"});
         f.world().faults("P").ignoresDrags = true;
         f.whenPosted(EventType::LeftMouseUp, [&f] { f.world().faults("A").ignoresDrags = true; });
         pinFromTheManager(f, "P");
       },
       [](OperationsFixture& f) {
         return "无法将“" + f.captured("P").name + "”安全放入刘海右侧，且未能恢复“" + f.captured("A").name + "”的常驻状态。";
       }},
      {"opening a row whose window the refresh of quick search replaced", [] { return operationsWorld(); }, {},
       [](OperationsFixture& f) {
         const CapturedMenuBarItem shown = f.captured("drift");
         f.world().restartApplication(shown.ownerPID);
         f.app().showQuickSearch();
         f.runFor(1s);
         f.app().activateQuickSearchItem(shown);
         f.runUntil([&] { return !f.app().systemItemActivationTask; }, 60s);
       },
       [](OperationsFixture&) { return std::string("菜单栏项目已更新，请刷新后重试。"); }},
      {"opening an item beyond the screen's edge while the person reveals the bar", widerThanItsScreenWorld, {"tally"},
       [](OperationsFixture& f) {
         f.manager().activateSystemItem(f.window("notes"));
         f.runFor(20ms);
         f.pressKey(kSearchKeyB, kRevealHotKeys);
         f.runUntil([&] { return !f.app().systemItemActivationTask; }, 60s);
         f.pressKey(kSearchKeyB, kRevealHotKeys);
         f.runFor(50ms);
       },
       [](OperationsFixture& f) { return notPressable(f.captured("notes").name); }},
      {"a pin whose reveal the bar refuses", [] { return operationsWorld(); }, {},
       [](OperationsFixture& f) {
         f.world().switches().onScreenCountZeros = 1;
         pinFromTheManager(f, "drift");
       },
       [](OperationsFixture& f) {
         return "无法将“" + f.captured("drift").name + "”放入菜单栏显示区域：菜单栏未能展开，已恢复原有常驻状态。";
       }},
      {"a pin whose bar cannot be collapsed after its move", [] { return operationsWorld(); }, {},
       [](OperationsFixture& f) {
         f.whenPosted(EventType::LeftMouseUp, [&f] { f.world().switches().onScreenCountZeros = 1; });
         pinFromTheManager(f, "drift");
       },
       [](OperationsFixture& f) {
         return "无法将“" + f.captured("drift").name + "”留在菜单栏显示区域：菜单栏未能重新收纳，已恢复原有常驻状态。";
       }},
      {"a carry refused beyond the screen's edge does not hold the bar for a drop never made", widerThanItsScreenWorld, {"tally"},
       [](OperationsFixture& f) {
         f.startedAt = f.now();
         f.manager().activateSystemItem(f.window("notes"));
         f.runUntil([&] { return !f.app().systemItemActivationTask; }, 60s);
         EXPECT_LT(f.elapsed(), 1s);
       },
       [](OperationsFixture& f) { return notPressable(f.captured("notes").name); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OperationsFixture f(c.world());
    f.start(c.visible);
    c.act(f);
    EXPECT_EQ(f.store().lastError.get(), c.sentence(f));
    f.expectSafe();
  }
}

}  // namespace
}  // namespace vimbo::testing
