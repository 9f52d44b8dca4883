// The layout rule, collapse and expand, removal, the notch.
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

class Layout : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
};

// Right-aligned from x 1512, fixed items rightmost, then ours, then the rest, 37 pt high.
TEST_F(Layout, ItemsStandRightAlignedWithFixedItemsRightmost) {
  EXPECT_EQ(frame("clock"), Rect(1382, 0, 130, 37));
  EXPECT_EQ(frame("control-center"), Rect(1352, 0, 30, 37));
  EXPECT_EQ(C(), Rect(1328, 0, 24, 37));
  EXPECT_EQ(D(), Rect(1327, 0, 1, 37));
  EXPECT_EQ(frame("battery"), Rect(1287, 0, 40, 37));
  auto items = world->items();
  ASSERT_EQ(items.size(), 24u);
  for (size_t i = 0; i + 1 < items.size(); ++i) EXPECT_EQ(items[i].frame.maxX(), items[i + 1].frame.minX());
  EXPECT_EQ(items.front().specKey, "lumen-notes");
  EXPECT_EQ(items.front().frame, Rect(699, 0, 28, 37));

  auto list = sim->windowServer.copyWindowList(WindowListOption::All, 0);
  ASSERT_TRUE(list);
  int status = 0;
  for (const WindowInfo& w : *list)
    if (w.layer() == 25) {
      ++status;
      EXPECT_EQ(w.isOnscreen(), true);
    }
  EXPECT_EQ(status, 24);
  auto control = std::find_if(list->begin(), list->end(), [](const WindowInfo& w) { return w.name() == "Vimbo.Control"; });
  ASSERT_NE(control, list->end());
  EXPECT_EQ(control->ownerPID(), 4242);
  EXPECT_EQ(control->bounds(), C());

  // A configured spacing stands between neighbours.
  world->switches().itemSpacing = 4;
  EXPECT_EQ(frame("clock"), Rect(1382, 0, 130, 37));
  EXPECT_EQ(frame("control-center"), Rect(1348, 0, 30, 37));
  EXPECT_EQ(C(), Rect(1320, 0, 24, 37));
  EXPECT_EQ(D(), Rect(1315, 0, 1, 37));
}

// Our items are placed by their preferred positions; a new item without one appears at the left end.
TEST_F(Layout, PreferredPositionsPlaceOurItemsAndNewItemsAppearLeft) {
  auto extra = sim->statusBar.statusItem(20);
  EXPECT_EQ(world->items().front().windowNumber, extra->windowNumber());
  EXPECT_EQ(world->items().front().frame, Rect(679, 0, 20, 37));
  defaults->set("NSStatusItem Preferred Position Extra", 60.0);  // 60 pt left of the right end
  extra->setAutosaveName("Extra");
  // battery (40) + divider (1) + control (24) end at 65 from the right: 60 falls in battery, so right of it.
  EXPECT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "battery");
  EXPECT_EQ(leftNeighbour("battery"), "Extra");
  EXPECT_EQ(frame("Extra"), Rect(1267, 0, 20, 37));
}

// Our two items keep their seeded order (control rightmost, divider just left of it) whichever is
// named first.
class LayoutOwnItems : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json", /*install=*/false); }
};

TEST_F(LayoutOwnItems, SeededOrderHoldsWhenTheControlItemIsNamedFirst) {
  defaults->set("NSStatusItem Preferred Position Vimbo.Control", 0.0);
  defaults->set("NSStatusItem Preferred Position Vimbo.HiddenDivider", 1.0);
  auto control = sim->statusBar.statusItem(statusitemlength::square);
  control->setAutosaveName("Vimbo.Control");
  auto divider = sim->statusBar.statusItem(0);
  divider->setAutosaveName("Vimbo.HiddenDivider");
  divider->setLength(1);
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "Vimbo.HiddenDivider");
  EXPECT_EQ(frame("Vimbo.Control"), Rect(1328, 0, 24, 37));
  EXPECT_EQ(frame("Vimbo.HiddenDivider"), Rect(1327, 0, 1, 37));
}

// Collapse: everything left of the divider goes to negative x, stays listed and ordered in,
// keeps its window number and accessibility frame; expanding restores the exact frames.
TEST_F(Layout, CollapsePushesCollectedItemsOffScreenAndExpandBringsThemBack) {
  auto before = world->items();
  divider->setLength(10000);
  EXPECT_EQ(D(), Rect(1327 - 9999, 0, 10000, 37));
  EXPECT_EQ(C(), Rect(1328, 0, 24, 37));
  EXPECT_EQ(frame("battery"), Rect(1327 - 9999 - 40, 0, 40, 37));
  auto after = world->items();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].windowNumber, before[i].windowNumber);
    if (after[i].frame.maxX() <= D().minX()) {
      EXPECT_LT(after[i].frame.maxX(), 0) << after[i].specKey;
    }
  }
  auto list = sim->windowServer.copyWindowList(WindowListOption::OnScreenOnly, 0);
  ASSERT_TRUE(list);
  uint32_t battery = world->item("battery")->windowNumber;
  auto entry = std::find_if(list->begin(), list->end(), [&](const WindowInfo& w) { return w.number() == battery; });
  ASSERT_NE(entry, list->end());
  EXPECT_EQ(entry->bounds(), frame("battery"));
  auto pos = sim->accessibility.copyAttributeValue(world->menuExtraElement("battery"), "AXPosition");
  ASSERT_EQ(pos.error, AXError::Success);
  EXPECT_EQ(*pos.value->point(), Point(1327 - 9999 - 40, 0));

  // The pointer cannot reach them: a click at battery's centre lands clamped on the divider.
  world->personClick(frame("battery").center());
  EXPECT_EQ(world->pointer(), Point(0, 18.5));
  EXPECT_EQ(world->menuOpenCount("battery"), 0);

  divider->setLength(1);
  auto restored = world->items();
  for (size_t i = 0; i < restored.size(); ++i) EXPECT_EQ(restored[i].frame, before[i].frame) << restored[i].specKey;
}

TEST_F(Layout, DividerRelayoutLatencyDelaysTheFrames) {
  world->switches().dividerRelayoutLatency = millis(120);
  divider->setLength(10000);
  EXPECT_EQ(D().width, 1);
  loop.runFor(millis(119));
  EXPECT_EQ(D().width, 1);
  loop.runFor(millis(1));
  EXPECT_EQ(D().width, 10000);
}

// Removing an item shifts the items left of it right by its width.
TEST_F(Layout, RemovalShiftsLeftItemsRight) {
  Rect spotlight = frame("spotlight"), battery = frame("battery");
  world->removeItem("wifi");
  EXPECT_FALSE(world->frameOf("wifi"));
  EXPECT_EQ(frame("spotlight"), spotlight.offsetBy(30, 0));
  EXPECT_EQ(frame("battery"), battery);
  Rect lumen = frame("lumen-notes");
  sim->statusBar.removeStatusItem(divider);
  EXPECT_FALSE(world->frameOf("Vimbo.HiddenDivider"));
  EXPECT_EQ(frame("lumen-notes"), lumen.offsetBy(1, 0));
  control.reset();  // an item nobody holds leaves the bar, as on the real system
  EXPECT_FALSE(world->frameOf("Vimbo.Control"));
  EXPECT_EQ(frame("lumen-notes"), lumen.offsetBy(25, 0));
}

// The notch: auxiliary area right of a 200 pt notch; items flow on under and left of it.
TEST_F(Layout, TheNotchLeavesTheBarRightOfItToTheItems) {
  auto screens = sim->screens.screens();
  ASSERT_EQ(screens.size(), 1u);
  ASSERT_TRUE(screens[0].auxiliaryTopRightArea);
  EXPECT_EQ(*screens[0].auxiliaryTopRightArea, Rect(856, 945, 656, 37));
  EXPECT_EQ(screens[0].visibleFrame, Rect(0, 0, 1512, 945));
  EXPECT_EQ(sim->screens.displayBounds(1), Rect(0, 0, 1512, 982));
  int outside = 0;
  for (const ItemView& v : world->items())
    if (v.frame.minX() < 856) ++outside;
  EXPECT_GE(outside, 2);
  EXPECT_LT(frame("lumen-notes").maxX(), 856);
  EXPECT_GT(frame("lumen-notes").minX(), 656);  // under the notch, still on screen
}

TEST_F(Layout, PlainScreenHasNoNotchAnd24PointBar) {
  startShipped("plain-1920.json");
  auto screens = sim->screens.screens();
  EXPECT_FALSE(screens[0].auxiliaryTopRightArea);
  EXPECT_EQ(frame("clock"), Rect(1790, 0, 130, 24));
  EXPECT_EQ(sim->statusBar.thickness(), 24);
}

TEST_F(Layout, TwoDisplaysKeepWindowServerAndScreenCoordinatesApart) {
  startShipped("two-displays.json");
  auto screens = sim->screens.screens();
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_EQ(screens[1].frame, Rect(1440, -380, 1920, 1080));
  EXPECT_EQ(sim->screens.displayBounds(*screens[1].screenNumber), Rect(1440, 200, 1920, 1080));
  EXPECT_EQ(sim->screens.mainDisplayID(), 1u);
  EXPECT_EQ(frame("clock"), Rect(1310, 0, 130, 24));  // the menu bar is on the main display
  world->warp({3000, 1000});
  EXPECT_EQ(world->pointer(), Point(3000, 1000));
  EXPECT_EQ(sim->events.mouseLocation(), Point(3000, -100));  // bottom-left from the main screen
  world->warp({5000, -50});
  EXPECT_EQ(world->pointer(), Point(3359, 200));  // clamped into the side display
}

}  // namespace
}  // namespace vimbo::sim::testing
