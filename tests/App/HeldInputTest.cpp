// What the person does while our moves hold their input acts on what they aimed at, afterwards:
// a click on an item that has moved meanwhile reaches that item, one on an item gone off the screen
// reaches nothing, a quit lets none of it be lost, and a manager they open stays open.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <variant>

#include "App/OperationsFixture.h"
#include "App/RestoreWorlds.h"
#include "Platform/Sim/WorldJson.h"

namespace vimbo::testing {
namespace {

sim::WorldSpec worldFile(const std::string& file) {
  return std::get<sim::WorldSpec>(sim::loadWorld(sim::shippedWorldsFolder() / file));
}
bool noOperation(OperationsFixture& f) { return f.app().activeSystemItemOperationCount == 0; }

// Some collected item that the revealed bar shows where a person can click it.
std::string revealedCollectedItem(OperationsFixture& f, const std::string& besides) {
  for (const auto& item : f.world().items()) {
    const Point c = item.frame.center();
    if (!item.own && !item.fixed && item.specKey != besides && f.standsCollected(item.specKey) && f.world().isOnSomeDisplay(c) &&
        !f.world().isInNotch(c)) {
      return item.specKey;
    }
  }
  return {};
}

// Wi-Fi pinned, then Lumen Notes pinned next to the control item, which shifts Wi-Fi left; a click
// on Wi-Fi and one on a collected item of the revealed bar while the pin's move holds the input.
// A quit while the hold has the click, while our drag holds the button and Command down, or once
// the move let go and before the click went on, still lets it reach Wi-Fi, and a click on our own
// control item then asks nothing of us.
TEST(HeldClicks, GoToTheItemClickedWhereverItStandsAndNowhereOnceItIsOffTheScreen) {
  for (const char* quitAt : {"", "while held", "mid-drag", "once let go"}) {
    SCOPED_TRACE(*quitAt ? quitAt : "no quit");
    OperationsFixture f(worldFile("plain-1920.json"));
    f.start({"wifi"});
    f.pointerBefore = f.controlFrame().center();
    std::string collected;
    bool hidden = false, quit = false;
    // A quitting process has no later turn: what it took must have gone on by the time it is gone.
    const auto quitNow = [&] {
      quit = true;
      f.application().terminate();
      EXPECT_EQ(f.world().menuOpenCount("wifi"), 1);
      EXPECT_FALSE(f.env.sim().inputHold.isTaking());
    };
    f.when([&] { return f.world().totalCursorHideCount() > 0; },
           [&] {
             hidden = true;
             collected = revealedCollectedItem(f, "lumen-notes");
             f.world().personClick(f.frame("wifi").center());
             f.world().personClick(f.frame(collected).center());
             f.clickControl(platform::eventflag::option);
             if (std::string(quitAt) == "while held") quitNow();
           });
    if (std::string(quitAt) == "mid-drag") {
      f.when([&] { return hidden && f.world().isMouseButtonDown() && f.world().isCommandHeld(); }, quitNow);
    }
    if (std::string(quitAt) == "once let go") {
      // On the turn after the cursor shows again, before the first click goes on.
      f.world().setChangeObserver([&] {
        if (!hidden || quit || f.world().totalCursorHideCount() > 0) return;
        quit = true;
        f.executor.post([&, quitNow] {
          EXPECT_TRUE(f.env.sim().inputHold.isTaking()) << "the clicks have not gone on yet";
          EXPECT_EQ(f.world().menuOpenCount("wifi"), 0);
          quitNow();
        });
      });
    }
    f.manager().pinSystemItem(f.window("lumen-notes"));
    ASSERT_TRUE(f.runUntil([&] { return hidden && (quit || noOperation(f)); }, 30s));
    f.runFor(1s);
    ASSERT_FALSE(collected.empty());
    EXPECT_EQ(f.world().menuOpenCount("wifi"), 1);
    EXPECT_EQ(f.world().menuOpenCount("lumen-notes"), 0) << "the click went to what stands where Wi-Fi stood";
    // After a quit the divider is gone and the item stands on the screen again, where it is clicked.
    EXPECT_EQ(f.world().menuOpenCount(collected), quit ? 1 : 0);
    // The manager asked for last opens, except at a quit, when the process is going.
    EXPECT_EQ(f.app().popover->isShown(), !quit);
    if (!quit) {
      EXPECT_EQ(f.store().lastError.get(), std::nullopt);
    }
    EXPECT_FALSE(f.env.sim().inputHold.isTaking());
    EXPECT_FALSE(f.world().isMouseButtonDown());
  }
}

// A right-click on our control item and Escape, both made while a pin's move holds them: the first
// opens our menu, whose tracking runs a nested loop that a Mac never leaves for want of work, and
// the second still goes on inside that loop and closes it at once.
TEST(HeldClicks, GoOnInsideTheLoopOfOurMenuTheFirstOpens) {
  OperationsFixture f(worldFile("plain-1920.json"));
  f.start();
  std::optional<async::TimePoint> opened, closed;
  f.world().setChangeObserver([&] {
    const bool open = !f.world().openMenus().empty();
    if (open && !opened) opened = f.now();
    if (!open && opened && !closed) closed = f.now();
  });
  f.when([&] { return f.world().totalCursorHideCount() > 0; },
         [&] {
           f.rightClick(f.controlFrame().center());
           f.pressKey(platform::keycode::escape);
           // A person's hand on the mouse: the loop has work throughout.
           f.when([&] { return closed.has_value(); }, [] {});
         });
  f.manager().pinSystemItem(f.window("lumen-notes"));
  ASSERT_TRUE(f.runUntil([&] { return noOperation(f) && !f.env.sim().inputHold.isTaking(); }, 30s));
  f.runFor(1s);
  ASSERT_TRUE(opened && closed);
  EXPECT_LE(*closed - *opened, 20ms);
  EXPECT_EQ(f.world().menuOpenCount("Vimbo.Control"), 1);
}

// An opening carries a collected item out from under the notch and back. Its holds cover the bar
// changing under the person's pointer for it (the collapse after the carry, the reveal before the
// put-back, the collapse after it) and never a wait in which nothing of ours is in flight: a click
// made in those moments on an item the bar then hides reaches nothing, and with the drops shown
// late no stretch of holding is longer than one of the mover's own sequences.
TEST(OpeningHolds, CoverTheBarChangingForItAndNoLongerThanAMove) {
  struct Moment {
    const char* what;
    size_t dividerLengths;  // so far, of 10000, 1, 10000, 1, 10000
    int movesDone;
  };
  for (const Moment& m : {Moment{"the carry's collapse", 2, 1}, Moment{"the put-back's reveal", 4, 1},
                          Moment{"the put-back's collapse", 4, 2}}) {
    SCOPED_TRACE(m.what);
    OperationsFixture f(crowdedNotchWorld());
    f.start({"tally"});
    int moves = 0;
    bool wasHidden = false;
    std::string clicked;
    f.when([&] {
             const bool hidden = f.world().totalCursorHideCount() > 0;
             if (wasHidden && !hidden) ++moves;
             wasHidden = hidden;
             return !hidden && moves == m.movesDone && f.dividerLengths.size() == m.dividerLengths &&
                    f.dividerLength() == hider::expandedLength;
           },
           [&] {
             clicked = revealedCollectedItem(f, "notes");
             f.world().personClick(f.frame(clicked).center());
           });
    Activation a(f);
    a.run("notes");
    f.runFor(1s);
    ASSERT_FALSE(clicked.empty());
    EXPECT_EQ(f.world().menuOpenCount(clicked), 0);
    EXPECT_EQ(f.world().menuOpenCount("notes"), 1);
    EXPECT_TRUE(f.standsCollected("notes"));
    f.expectSafe();
  }

  OperationsFixture f(crowdedNotchWorld());
  f.start({"tally"});
  f.world().switches().dragSettleLatency = 1400ms;
  async::Duration longest{}, stretch{};
  auto sampler = async::spawn(f.executor, [&]() -> async::Task<void> {
    for (int i = 0; i < 2000; ++i) {
      stretch = f.env.sim().inputHold.isHolding() ? stretch + 5ms : async::Duration{};
      longest = std::max(longest, stretch);
      co_await async::sleepFor(5ms);
    }
  });
  Activation a(f);
  a.run("notes");
  f.runFor(2s);
  EXPECT_EQ(f.world().menuOpenCount("notes"), 1);
  EXPECT_TRUE(f.standsCollected("notes"));
  EXPECT_GT(longest, 500ms);
  EXPECT_LE(longest, 1100ms);
}

// The manager a person opens with Option and a click on the control item stays open through the
// moves that follow: the start-up restore's drags, an opening's put-back; and a reveal the person
// asked for before it, which waits for a pin's move, comes before it and does not close it.
TEST(ManagerThePersonOpens, StaysOpenThroughOurMoves) {
  {
    // Between the two moves of a layout apply, which holds the bar throughout.
    OperationsFixture f(worldFile("plain-1920.json"));
    f.start();
    const auto draft = f.draftWith({{"lumen-notes", MenuBarLayoutZone::visible}, {"tallybird", MenuBarLayoutZone::visible}});
    f.when([&] { return !f.posted(platform::EventType::LeftMouseUp).empty() && f.world().totalCursorHideCount() == 0; },
           [&] {
             f.clickControl();
             f.clickControl(platform::eventflag::option);
           });
    ASSERT_TRUE(f.apply(draft));
    f.runFor(1s);
    EXPECT_TRUE(f.app().popover->isShown());
    EXPECT_TRUE(f.app().menuBarHider.isCollapsed) << "the manager, asked last, collapses the reveal";
  }
  auto defaults = platform::UserDefaults::inMemory();
  {
    OperationsFixture first(worldFile("notched-laptop.json"), defaults);
    first.launch();
    for (const char* key : {"inkwell", "juniper-music", "spotlight"}) {
      first.manager().pinSystemItem(first.window(key));
      ASSERT_TRUE(first.runUntil([&] { return noOperation(first); }, 30s));
    }
    first.application().terminate();
  }
  {
    OperationsFixture f(worldFile("notched-laptop.json"), defaults);
    f.launch(false);
    f.runFor(1500ms);
    ASSERT_TRUE(f.app().initialSystemSetupTask) << "the restore is still moving the pins";
    f.clickControl(platform::eventflag::option);
    ASSERT_TRUE(f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s));
    f.runFor(1s);
    EXPECT_TRUE(f.app().popover->isShown());
  }
  OperationsFixture f(crowdedNotchWorld());
  f.start({"tally"});
  f.when([&] { return !f.world().openMenus().empty(); }, [&] { f.clickControl(platform::eventflag::option); });
  f.manager().activateSystemItem(f.window("notes"));
  ASSERT_TRUE(f.runUntil([&] { return !f.app().systemItemActivationTask; }, 30s));
  f.runFor(1s);
  EXPECT_EQ(f.world().menuOpenCount("notes"), 1);
  EXPECT_TRUE(f.standsCollected("notes")) << "put back";
  EXPECT_TRUE(f.app().popover->isShown());
}

// The manager a person opens with a held Alt-click gets no held click made where it then comes up,
// and a click of theirs on the bar away from the control item, which our hold posts again with our
// process as its source, closes it.
TEST(ManagerThePersonOpens, GetsNoClickMadeBeforeItCameAndClosesOnOneElsewhere) {
  ControllerFixture f(controllerWorld(true));
  f.launch();
  std::vector<sim::InputDelivery> delivered;
  f.world().setLateDeliveryObserver([&](uint64_t, sim::InputDelivery d) { delivered.push_back(d); });
  f.app().togglePopover();
  const Rect frame = f.app().popover->contentWindow()->frame();
  const Point inside{frame.midX(), f.world().screens().front().frame.height - frame.midY()};
  f.app().togglePopover();
  auto& hold = f.env.sim().inputHold;
  ASSERT_TRUE(hold.begin());
  f.clickControl(platform::eventflag::option);
  f.world().personClick(inside);
  hold.end();
  f.runFor(50ms);
  ASSERT_TRUE(f.app().popover->isShown());
  EXPECT_EQ(std::count_if(delivered.begin(), delivered.end(), [](const auto& d) { return d.window != 0; }), 0);

  const Rect c = f.controlFrame();
  // Heard as the manager's monitor hears it: our process its source, only the hold's mark the person's.
  std::vector<platform::Event> heard;
  auto& monitors = f.env.sim().eventMonitors;
  const auto monitor = monitors.addLocalMonitor(platform::eventMaskBit(platform::EventType::RightMouseDown),
                                                [&](const platform::Event& e) -> std::optional<platform::Event> {
                                                  heard.push_back(e);
                                                  return e;
                                                });
  ASSERT_TRUE(hold.begin());
  f.rightClick({c.minX() - 7, c.midY()});
  hold.end();
  f.runFor(50ms);
  monitors.removeMonitor(monitor);
  EXPECT_FALSE(f.app().popover->isShown());
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].integerValueField(platform::eventfield::eventSourceUnixProcessID), f.world().ownPID());
  EXPECT_TRUE(hold.isPostedAgain(heard[0]));
}

}  // namespace
}  // namespace vimbo::testing
