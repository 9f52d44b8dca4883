// A person's clicks and keys while Vimbo moves an item: the bar stays as the move set it until the
// move lets go of it, then follows what the person asked; the item ends where it was asked to.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "App/OperationsFixture.h"
#include "App/RestoreWorlds.h"
#include "Platform/Sim/WorldJson.h"

namespace vimbo::testing {
namespace {

constexpr uint16_t kKeyB = 11;

sim::WorldSpec shippedWorld(const std::string& file) {
  auto load = sim::loadWorld(sim::shippedWorldsFolder() / file);
  EXPECT_TRUE(std::holds_alternative<sim::WorldSpec>(load)) << file;
  return std::get<sim::WorldSpec>(load);
}

bool queueIdle(OperationsFixture& f) { return f.app().activeSystemItemOperationCount == 0; }

// The bar as the hider has it and as the store shows it agree.
void expectBar(OperationsFixture& f, bool collapsed) {
  EXPECT_EQ(f.app().menuBarHider.isCollapsed, collapsed);
  EXPECT_EQ(f.store().systemItemsCollapsed.get(), collapsed);
  EXPECT_EQ(f.dividerLength(), collapsed ? hider::collapsedLength : hider::expandedLength);
}

class PersonDuringMove : public ::testing::TestWithParam<std::string> {};

TEST_P(PersonDuringMove, TheItemEndsWhereAskedAndTheBarThenDoesWhatThePersonAsked) {
  OperationsFixture f(shippedWorld(GetParam()));
  f.start();
  f.manager().pinSystemItem(f.window("spotlight"));
  ASSERT_TRUE(f.runUntil([&] { return queueIdle(f); }, 30s));
  ASSERT_TRUE(f.standsVisible("spotlight"));
  ASSERT_EQ(f.store().lastError.get(), std::nullopt);

  // Collect it; quick search's hot key 0.3 s later, while the move has the pointer, opens the panel
  // once the move has put the pointer back, and collapses the bar once the collect is done.
  f.manager().collectSystemItem(f.window("spotlight"));
  f.runFor(300ms);
  ASSERT_GT(f.world().totalCursorHideCount(), 0);
  f.pressKey(kKeyB, platform::eventflag::option | platform::eventflag::command);
  ASSERT_TRUE(f.runUntil([&] { return f.app().quickSearchPanel && f.app().quickSearchPanel->isVisible(); }, 2s));
  EXPECT_EQ(f.world().totalCursorHideCount(), 0) << "the key reached the bar while the move had the pointer";
  ASSERT_TRUE(f.runUntil([&] { return queueIdle(f); }, 30s));
  f.runFor(100ms);
  EXPECT_TRUE(f.standsCollected("spotlight"));
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  expectBar(f, true);
  f.expectSafe();

  // Pin a collected item; a click on the control item 0.25 s later reveals the bar once the pin
  // is done, as a click on the collapsed bar does.
  f.pressKey(platform::keycode::escape);
  f.manager().pinSystemItem(f.window("lumen-notes"));
  f.runFor(250ms);
  f.clickControl();  // waits for the pin's pointer put-back, then leaves the pointer where it clicked
  f.pointerBefore = f.controlFrame().center();
  ASSERT_TRUE(f.runUntil([&] { return queueIdle(f); }, 30s));
  f.runFor(100ms);
  EXPECT_TRUE(f.standsVisible("lumen-notes"));
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  expectBar(f, false);
  EXPECT_TRUE(f.app().revealSessionTask) << "the click's reveal session";
  f.expectSafe(hider::expandedLength);

  // Open a collected item; quick search's hot key as the activation reveals the bar opens the
  // panel at once, and the item's menu still opens, and the item goes back.
  f.app().collapseNativeReveal();
  f.world().clearRecords();
  f.when([&] { return f.app().systemItemActivationTask && f.dividerLength() == hider::expandedLength; },
         [&] { f.pressKey(kKeyB, platform::eventflag::option | platform::eventflag::command); });
  Activation opening(f);
  opening.run("tallybird");
  f.runFor(100ms);
  EXPECT_TRUE(opening.openedAt) << "the item's menu opened";
  EXPECT_TRUE(f.app().quickSearchPanel->isVisible());
  EXPECT_TRUE(f.standsCollected("tallybird"));
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  expectBar(f, true);
  f.expectSafe();
}

// A click on the control item and then quick search's hot key while a collect's move has the
// pointer: both wait for the move and then act in the order made. The click asks to reveal the
// bar and quick search, asked after it, collapses it again: quick search stays open on a
// collapsed bar. Asked the other way round, the bar ends revealed under quick search.
TEST_P(PersonDuringMove, WhatThePersonDidDuringAMoveActsInTheOrderMade) {
  for (const bool revealLast : {false, true}) {
    SCOPED_TRACE(revealLast ? "quick search, then the reveal's hot key" : "a click on the control item, then quick search");
    OperationsFixture f(shippedWorld(GetParam()));
    f.start();
    f.manager().pinSystemItem(f.window("spotlight"));
    ASSERT_TRUE(f.runUntil([&] { return queueIdle(f); }, 30s));
    bool acted = false;
    f.when([&] { return f.world().totalCursorHideCount() > 0; },
           [&] {
             acted = true;
             if (!revealLast) f.clickControl();
             f.pressKey(kKeyB, platform::eventflag::option | platform::eventflag::command);
             if (revealLast) f.pressKey(kKeyB, platform::eventflag::control | platform::eventflag::command);
           });
    f.manager().collectSystemItem(f.window("spotlight"));
    ASSERT_TRUE(f.runUntil([&] { return acted && queueIdle(f) && !f.store().isCapturingSystemItems.get(); }, 30s));
    f.runFor(500ms);
    if (!revealLast) f.pointerBefore = f.controlFrame().center();
    EXPECT_TRUE(f.standsCollected("spotlight"));
    EXPECT_TRUE(f.app().quickSearchPanel && f.app().quickSearchPanel->isVisible());
    EXPECT_EQ(f.store().lastError.get(), std::nullopt);
    expectBar(f, !revealLast);
    f.expectSafe(revealLast ? hider::expandedLength : hider::collapsedLength);
  }
}

// A reveal asked while a layout apply holds the bar, by a click or the hot key between its moves or
// by the hot key inside one, is carried out once the apply is done, after the apply's own collapse.
TEST_P(PersonDuringMove, ARevealAskedDuringALayoutApplyFollowsTheApply) {
  struct Ask {
    const char* what;
    bool click;
    std::function<bool(OperationsFixture&)> moment;
  };
  // The first move has let go of the pointer; the apply still holds the bar for the next one.
  const auto betweenMoves = [](OperationsFixture& f) {
    return !f.posted(platform::EventType::LeftMouseUp).empty() && f.world().totalCursorHideCount() == 0 &&
           !f.world().isCommandHeld() && !f.world().isMouseButtonDown();
  };
  const auto insideAMove = [](OperationsFixture& f) { return f.world().isMouseButtonDown(); };
  for (const Ask& ask : {Ask{"a click between the moves", true, betweenMoves},
                         Ask{"the hot key between the moves", false, betweenMoves},
                         Ask{"the hot key inside a move", false, insideAMove}}) {
    SCOPED_TRACE(ask.what);
    OperationsFixture f(shippedWorld(GetParam()));
    f.start();
    bool asked = false;
    f.when([&] { return ask.moment(f); },
           [&] {
             asked = true;
             if (ask.click) f.clickControl();
             else f.pressKey(kKeyB, platform::eventflag::control | platform::eventflag::command);
           });
    EXPECT_TRUE(f.apply(f.draftWith({{"lumen-notes", MenuBarLayoutZone::visible}, {"tallybird", MenuBarLayoutZone::visible}})));
    ASSERT_TRUE(asked);
    f.runFor(100ms);
    EXPECT_TRUE(f.standsVisible("lumen-notes"));
    EXPECT_TRUE(f.standsVisible("tallybird"));
    EXPECT_EQ(f.store().lastError.get(), std::nullopt);
    expectBar(f, false);
    if (ask.click) f.pointerBefore = f.controlFrame().center();
    f.expectSafe(hider::expandedLength);
  }
}

INSTANTIATE_TEST_SUITE_P(ShippedWorlds, PersonDuringMove, ::testing::Values("notched-laptop.json", "plain-1920.json"),
                         [](const auto& info) { return info.param == "plain-1920.json" ? "Plain" : "Notched"; });

class PersonDuringRestore : public ::testing::TestWithParam<bool> {};

TEST_P(PersonDuringRestore, AClickWaitsForTheSavedPinsAndNoUntrueSentenceIsSaid) {
  auto defaults = platform::UserDefaults::inMemory();
  defaults->set(MenuBarProxyManager::pinnedIdentitiesKey,
                platform::DefaultsValue(platform::DefaultsArray{identityOfKey("notes"), identityOfKey("tally")}));
  ControllerFixture f(controllerWorld(GetParam()), defaults);
  // The click comes as the restore sets the bar up for its first move.
  bool clicked = false;
  auto expanded = f.store().systemItemsCollapsed.subscribe([&](const bool& collapsed) {
    if (collapsed || clicked || !f.app().initialSystemSetupTask) return;
    clicked = true;
    f.executor.post([&] { f.clickControl(); });
  });
  f.launch(false);
  ASSERT_TRUE(f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s));
  ASSERT_TRUE(clicked);
  f.runFor(100ms);
  EXPECT_EQ(keysInBand(f), (std::vector<std::string>{"notes", "tally"}));
  EXPECT_FALSE(f.app().menuBarHider.isCollapsed) << "the click reveals the bar the restore left";
  EXPECT_EQ(f.store().systemItemsCollapsed.get(), f.app().menuBarHider.isCollapsed);
  f.runFor(5s);
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Screens, PersonDuringRestore, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Notched" : "Plain"; });

// Two items pinned and the app quit, then a click on the control item while a restore's move has
// the pointer: the click waits for the pointer's put-back, so it neither ends the drag nor becomes
// a Command-drag of the control item, and the pointer then stays where the person clicked.
TEST(PersonDuringRestoreMove, AClickWaitsForThePointerAndIsThenCarriedOut) {
  const std::vector<std::string> pins = {"inkwell", "juniper-music"};
  const std::vector<std::pair<const char*, std::function<bool(sim::World&)>>> moments = {
      {"button held", [](sim::World& w) { return w.isMouseButtonDown(); }},
      {"pointer parked", [](sim::World& w) { return w.totalCursorHideCount() > 0 && !w.isCommandHeld(); }},
      {"Command held", [](sim::World& w) { return w.isCommandHeld() && !w.isMouseButtonDown(); }},
  };
  for (const auto& [moment, holds] : moments) {
    SCOPED_TRACE(moment);
    auto defaults = platform::UserDefaults::inMemory();
    {
      OperationsFixture first(shippedWorld("notched-laptop.json"), defaults);
      first.launch();
      for (const auto& key : pins) {
        first.manager().pinSystemItem(first.window(key));
        ASSERT_TRUE(first.runUntil([&] { return queueIdle(first); }, 30s));
      }
      first.application().terminate();
    }
    OperationsFixture f(shippedWorld("notched-laptop.json"), defaults);
    std::optional<Point> clickedAt;
    f.when([&, &holds = holds] { return f.app().initialSystemSetupTask && holds(f.world()); },
           [&] {
             clickedAt = f.controlFrame().center();
             f.clickControl();
           });
    f.launch(false);
    std::map<std::string, bool> collected;
    for (const auto& item : f.world().items()) collected[item.specKey] = f.standsCollected(item.specKey);
    ASSERT_TRUE(f.runUntil([&] { return !f.app().initialSystemSetupTask && queueIdle(f); }, 20s));
    f.runFor(5s);
    ASSERT_TRUE(clickedAt);
    for (const auto& key : pins) EXPECT_TRUE(f.standsVisible(key)) << key;
    for (const auto& [key, was] : collected) {
      const bool pinned = std::find(pins.begin(), pins.end(), key) != pins.end();
      EXPECT_TRUE(pinned || f.standsCollected(key) == was) << key << " moved";
    }
    EXPECT_EQ(f.store().lastError.get(), std::nullopt);
    expectBar(f, false);
    EXPECT_EQ(f.world().pointer(), *clickedAt);
    EXPECT_TRUE(f.app().revealSessionTask) << "the click's reveal session";
  }
}

// An opening asked for while a queued pin has the bar revealed for its move: the bar is the pin's,
// to be collapsed again, so the opening waits for the pin to let go and then opens the item on the
// bar the pin and the person leave, carrying it out and back when it has to; a person who revealed
// and collapsed the bar meanwhile gets the collapse after the menu has opened.
TEST(OpeningBehindAQueuedMove, OpensTheItemOnTheBarTheMoveLeaves) {
  for (const char* world : {"notched-laptop.json", "plain-1920.json"}) {
    for (const bool personClicks : {false, true}) {
      SCOPED_TRACE(std::string(world) + (personClicks ? ", the person reveals and collapses" : ""));
      OperationsFixture f(shippedWorld(world));
      f.start();
      f.manager().pinSystemItem(f.window("pebblesync"));
      f.runFor(30ms);
      if (personClicks) f.clickControl();
      f.runFor(220ms);
      ASSERT_EQ(f.dividerLength(), hider::expandedLength) << "the pin's move has the bar revealed";
      if (personClicks) f.executor.scheduleAfter(100ms, [&f] { f.clickControl(); });
      Activation opening(f);
      opening.run("lumen-notes");
      ASSERT_TRUE(f.runUntil([&] { return queueIdle(f); }, 30s));
      f.runFor(2s);
      EXPECT_TRUE(opening.openedAt) << "the item's menu opened";
      EXPECT_TRUE(f.standsVisible("pebblesync"));
      EXPECT_TRUE(f.standsCollected("lumen-notes"));
      EXPECT_EQ(f.store().lastError.get(), std::nullopt);
      expectBar(f, true);
      if (personClicks) f.pointerBefore = f.controlFrame().center();
      f.expectSafe();
    }
  }
}

}  // namespace
}  // namespace vimbo::testing
