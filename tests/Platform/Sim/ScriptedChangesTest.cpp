// scripted changes: late items, restarts, removal of ours, normalised strings.
#include "Platform/Foundation/Image.h"
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

class Scripted : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
};

TEST_F(Scripted, LateItemsAppearAtTheLeftEnd) {
  ItemSpec late;
  late.key = "late";
  late.windowName = "Item-0";
  late.ownerPID = 501;
  late.width = 30;
  world->addItem(late, millis(1000));
  EXPECT_FALSE(world->frameOf("late"));
  loop.runFor(millis(1000));
  EXPECT_EQ(order().front(), "late");
  EXPECT_EQ(frame("late"), Rect(669, 0, 30, 37));
  uint32_t newest = world->item("late")->windowNumber;
  for (const ItemView& v : world->items()) EXPECT_LE(v.windowNumber, newest);
}

TEST_F(Scripted, TimersOutliveTheirWorldHarmlessly) {
  ItemSpec late;
  late.key = "late";
  late.ownerPID = 501;
  world->addItem(late, millis(1000));
  world->itemSpec("wifi").menu.closesAfter = millis(900);
  sim->accessibility.performAction(world->menuExtraElement("wifi"), "AXPress");
  startShipped("plain-1920.json");  // the old world goes away with its timers pending
  loop.runFor(millis(2000));
  EXPECT_FALSE(world->frameOf("late"));
}

TEST_F(Scripted, RestartGivesNewWindowNumbersInPlace) {
  auto before = *world->item("wifi");
  world->restartApplication(300);
  auto after = *world->item("wifi");
  EXPECT_GT(after.windowNumber, before.windowNumber);
  EXPECT_EQ(after.frame, before.frame);
  EXPECT_FALSE(world->itemByWindow(before.windowNumber));
}

TEST_F(Scripted, StringsAreComposedAndObserversHearChanges) {
  WorldSpec spec = shippedWorld("plain-1920.json");
  spec.apps[4].name = "Cafe\xCC\x81";  // e + combining acute
  spec.items[0].axTitle = AXValue{std::string("Cafe\xCC\x81")};
  start(spec);
  EXPECT_EQ(sim->workspace.runningApplication(spec.apps[4].pid)->localizedName, "Caf\xC3\xA9");
  auto title = sim->accessibility.copyAttributeValue(world->menuExtraElement(spec.items[0].key), "AXTitle");
  EXPECT_EQ(*title.value->string(), "Caf\xC3\xA9");
  world->itemSpec(spec.items[0].key).axHelp = AXValue{std::string("Cafe\xCC\x81 help")};
  auto help = sim->accessibility.copyAttributeValue(world->menuExtraElement(spec.items[0].key), "AXHelp");
  EXPECT_EQ(*help.value->string(), "Caf\xC3\xA9 help");
  int changes = 0;
  world->setChangeObserver([&] { ++changes; });
  divider->setLength(10000);
  world->personMove({10, 500});
  EXPECT_GE(changes, 2);
  sim->events.hideCursor(1);
  WorldSnapshot snap = world->snapshot();
  EXPECT_EQ(snap.items.size(), world->items().size());
  EXPECT_EQ(snap.pointer, Point(10, 500));
  EXPECT_FALSE(snap.cursorVisible);
}

TEST_F(Scripted, StatusItemsWithoutButtonsAndWorkspace) {
  auto variable = sim->statusBar.statusItem(statusitemlength::variable);
  variable->setAutosaveName("Variable");
  EXPECT_EQ(frame("Variable").width, 24);
  variable->button()->setImage(Image::symbol("wifi"));
  variable->button()->setTitle("Hi");
  EXPECT_EQ(frame("Variable").width, variable->button()->image()->pointSize().width + 4 + 14 + 10);
  world->switches().statusItemsHaveButtons = false;
  auto item = sim->statusBar.statusItem(statusitemlength::square);
  EXPECT_EQ(item->button(), nullptr);
  EXPECT_NE(control->button(), nullptr);

  auto apps = sim->workspace.runningApplications();
  EXPECT_EQ(apps.front().processIdentifier, 4242);
  auto tally = sim->workspace.runningApplication(502);
  ASSERT_TRUE(tally && tally->bundleURL);
  EXPECT_EQ(std::get<std::string>(sim->workspace.bundleInfo(*tally->bundleURL)->at("LSUIElement")), "1");
  EXPECT_EQ(sim->workspace.urlForApplication("com.apple.controlcenter"), "/System/Library/CoreServices/Control Center.app");
  EXPECT_FALSE(sim->workspace.runningApplication(77777));
  auto icon = sim->workspace.iconForFile(*tally->bundleURL);
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->pointSize(), Size(32, 32));
}

}  // namespace
}  // namespace vimbo::sim::testing
