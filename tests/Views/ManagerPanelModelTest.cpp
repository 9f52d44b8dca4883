// The manager panel's behaviour without widgets: what a press asks of the controller, which body
// shows, the wells, the search results and Escape.
#include <gtest/gtest.h>

#include <algorithm>

#include "Support/PanelFixture.h"
#include "Views/MenuBarLayoutItemModel.h"
#include "Views/MenuBarPanelModel.h"

using namespace vimbo;
using namespace vimbo::test_support;

namespace {

struct ManagerModelTest : ::testing::Test {
  async::VirtualExecutor ex;
  PanelStore world;
  MenuBarStore& store = world.store;
  ActionLog log;
  MenuBarPanelModel model{store, log.managerActions(), ex};

  std::vector<std::uint32_t> ids(const ManagerWellModel& well) {
    std::vector<std::uint32_t> list;
    for (const auto& tile : well.tiles) list.push_back(tile.id);
    return list;
  }
};

struct PressCase {
  std::uint32_t id;
  TileButton button;
  std::string call;  // empty: no closure
  bool refuses;
};

struct ManagerPressTest : ManagerModelTest, ::testing::WithParamInterface<PressCase> {};

}  // namespace

TEST_P(ManagerPressTest, PressAsksTheControllerOrRefuses) {
  const PressCase& c = GetParam();
  model.press(c.id, c.button);
  if (c.call.empty()) EXPECT_TRUE(log.calls.empty());
  else EXPECT_EQ(log.calls, std::vector<std::string>{c.call});
  EXPECT_EQ(model.toast()->text().has_value(), c.refuses);
}

INSTANTIATE_TEST_SUITE_P(
    BothButtons, ManagerPressTest,
    ::testing::Values(PressCase{11, TileButton::left, "", true}, PressCase{12, TileButton::left, "", true},
                      PressCase{21, TileButton::left, "collect 21", false},
                      PressCase{22, TileButton::left, "pin 22", false},
                      // a hidden item is collected too: a left press pins it
                      PressCase{23, TileButton::left, "pin 23", false}, PressCase{11, TileButton::right, "", true},
                      PressCase{12, TileButton::right, "", true}, PressCase{21, TileButton::right, "", false},
                      PressCase{22, TileButton::right, "move 22 hidden", false},
                      PressCase{23, TileButton::right, "move 23 collected", false}));

TEST_F(ManagerModelTest, BodyShowsTheCardTheEmptyBoxOrTheWells) {
  ManagerPanelState s = model.state();
  ASSERT_EQ(s.body, ManagerBody::wells);
  EXPECT_EQ(ids(s.mainWell), (std::vector<std::uint32_t>{11, 12, 21, 22}));
  ASSERT_TRUE(s.hiddenWell);
  EXPECT_EQ(ids(*s.hiddenWell), std::vector<std::uint32_t>{23});
  EXPECT_EQ(s.mainWell.hint, "左键显示 / 收纳，右键在收纳与隐藏之间切换");
  EXPECT_EQ(s.hiddenWell->hint, "隐藏项目仍可通过搜索找到");

  store.screenCapturePermissionGranted.set(false);
  EXPECT_EQ(model.state().body, ManagerBody::permissionCard);  // even with items captured earlier

  store.screenCapturePermissionGranted.set(true);
  store.replaceCapturedSystemItems({});
  EXPECT_EQ(model.state().body, ManagerBody::emptyBox);
}

TEST_F(ManagerModelTest, WithoutHiddenItemsTheHiddenWellIsAbsent) {
  PanelStore noHidden(true, false);
  MenuBarPanelModel other(noHidden.store, log.managerActions(), ex);
  EXPECT_FALSE(other.state().hiddenWell);
  EXPECT_EQ(other.state().body, ManagerBody::wells);
}

TEST_F(ManagerModelTest, TilesShowLockFillTooltipAndTheirOwnGlyph) {
  ManagerPanelState s = model.state();
  const ManagerTileModel& clock = s.mainWell.tiles[0];
  EXPECT_TRUE(clock.showsLock);
  EXPECT_EQ(clock.toolTip, "时钟由 macOS 固定，无法收纳");
  EXPECT_EQ(clock.glyph.symbol, "clock");
  EXPECT_EQ(clock.glyph.symbolSize, 14);
  EXPECT_EQ(s.mainWell.tiles[1].toolTip, "控制中心由 macOS 固定，无法收纳");
  const auto& items = store.capturedSystemItems.get();
  auto clockItem = std::find_if(items.begin(), items.end(), [&](const auto& i) { return i.id == clock.id; });
  ASSERT_NE(clockItem, items.end());
  EXPECT_EQ(fixedItemRefusal(*clockItem), clock.toolTip);  // the layout editor's chips say the same
  const ManagerTileModel& tomato = s.mainWell.tiles[2];
  EXPECT_FALSE(tomato.showsLock);
  EXPECT_TRUE(tomato.isBright);
  EXPECT_EQ(tomato.toolTip, "番茄钟");
  EXPECT_EQ(tomato.glyph.tint, GlyphTint::original);
  const ManagerTileModel& clip = s.mainWell.tiles[3];
  EXPECT_FALSE(clip.isBright);
  EXPECT_EQ(clip.glyph.tint, GlyphTint::secondary);
  EXPECT_EQ(s.mainWell.tiles[1].glyph.tint, GlyphTint::accent);  // a pinned template picture
  EXPECT_EQ(s.hiddenWell->tiles[0].glyph.symbol, "circle.grid.2x2.fill");
  EXPECT_EQ(s.hiddenWell->tiles[0].glyph.symbolSize, 18);
}

TEST_F(ManagerModelTest, SearchRanksEveryItemAndEscapeClearsOnlyText) {
  EXPECT_FALSE(model.state().results);
  store.searchText.set("   ");  // spaces count as text and rank every item in capture order
  auto all = model.state().results;
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 5u);
  EXPECT_EQ(all->back().name, "Lumen");

  store.searchText.set("剪");
  ASSERT_EQ(model.state().results->size(), 1u);
  EXPECT_EQ(model.state().results->front().id, 22u);
  store.searchText.set("zzz");
  EXPECT_TRUE(model.state().results->empty());

  int writes = 0;
  auto counting = store.searchText.subscribe([&](const std::string&) { ++writes; });
  EXPECT_TRUE(model.escape());
  EXPECT_EQ(store.searchText.get(), "");
  EXPECT_FALSE(model.escape());
  EXPECT_EQ(writes, 1);
}

TEST_F(ManagerModelTest, PressesActOnTheStoresNewestState) {
  store.commitLayoutMovement(22, MenuBarLayoutZone::hidden, std::nullopt, false);
  model.press(22, TileButton::right);
  EXPECT_EQ(log.calls, std::vector<std::string>{"move 22 collected"});
  model.press(99, TileButton::left);  // gone from the store: nothing
  EXPECT_EQ(log.calls.size(), 1u);
}

TEST_F(ManagerModelTest, RefreshIsAwaitedInATaskThatOutlivesThePanel) {
  auto panel = std::make_unique<MenuBarPanelModel>(store, log.managerActions(), ex);
  panel->refresh();
  panel.reset();
  ex.runUntilIdle();
  EXPECT_EQ(log.calls, std::vector<std::string>{"refresh"});
}
