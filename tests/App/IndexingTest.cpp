// Indexing unnamed items end to end: carried into the safe slot, identified there, carried back,
// and the bar put back as it was; and the cases where it does not run or stops at its start.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "App/RestoreWorlds.h"

namespace vimbo::testing {
namespace {

using Result = AppDelegate::MenuExtraIndexingResult;

// The notched controller world with three 250-pt items of one application between Drift and
// Wi-Fi, so that whatever stands left of them sits left of the notch (or under it) when the bar
// is expanded, and an unnamed item: its window is "Item-0" of an application without a name,
// and its one accessibility element belongs to another process ("Mystery Sync"), a little off
// the window's frame, so nothing pairs the two until a hit test in the safe slot.
sim::ItemSpec unnamedItem() {
  sim::ItemSpec item;
  item.key = "mystery";
  item.windowName = "Item-0";
  item.ownerPID = 600;
  item.axPID = 601;
  item.width = 30;
  item.axTitle = platform::AXValue{std::string("Mystery Sync")};
  item.axOffset = Rect{8, 0, -10, 0};
  return item;
}

constexpr const char* kUnnamedIdentity = "com.example.mystery|window=Item-0|ax=bundle:com.example.mystery.sync";

sim::WorldSpec indexingWorld(bool withUnnamedItem) {
  sim::WorldSpec spec = controllerWorld(true);
  sim::AppSpec nameless = test_support::installedApp(600, "Mystery", "com.example.mystery");
  nameless.name = std::nullopt;
  spec.apps.push_back(nameless);
  spec.apps.push_back(test_support::installedApp(601, "Mystery Sync", "com.example.mystery.sync"));
  spec.apps.push_back(test_support::installedApp(602, "Widebar", "org.widebar.app"));
  auto wifi = std::find_if(spec.items.begin(), spec.items.end(), [](const sim::ItemSpec& i) { return i.key == "wifi"; });
  std::vector<sim::ItemSpec> inserted;
  if (withUnnamedItem) inserted.push_back(unnamedItem());
  for (int n = 1; n <= 3; ++n) {
    sim::ItemSpec wide;
    wide.key = "wide" + std::to_string(n);
    wide.windowName = "Wide" + std::to_string(n);
    wide.ownerPID = 602;
    wide.width = 250;
    wide.axTitle = platform::AXValue{"Wide " + std::to_string(n)};
    inserted.push_back(wide);
  }
  spec.items.insert(wifi, inserted.begin(), inserted.end());
  return spec;
}

constexpr const char* kExpandRefused = "无法展开菜单栏以识别未命名项目。";

std::optional<CapturedMenuBarItem> discovered(ControllerFixture& f, const std::string& key) {
  const uint32_t id = windowOf(f, key);
  for (auto& item : f.app().captureService.discoverMenuBarItems()) {
    if (item.id == id) return item;
  }
  return std::nullopt;
}

Result runIndexing(ControllerFixture& f, std::vector<CapturedMenuBarItem> items) {
  auto run = f.drive([items](AppDelegate& app) { return app.indexUnresolvedMenuExtrasIfNeeded(items); });
  EXPECT_TRUE(run.isDone());
  return run.result().value_or(Result::notNeeded);
}

TEST(MenuExtraIndexing, FirstRefreshIdentifiesAnUnnamedCollectedItemAndPutsTheBarBack) {
  ControllerFixture f(indexingWorld(true));
  f.launch(false);
  // Before any refresh: discovery knows the item only by a placeholder, and its process has one
  // accessibility element.
  ASSERT_EQ(discovered(f, "mystery")->name, "系统项目");
  size_t candidates = 0;
  for (const auto& c : f.app().captureService.state().menuExtraDisplayCandidates) candidates += c.processIdentifier == 601;
  ASSERT_EQ(candidates, 1u);
  ASSERT_TRUE(f.store().capturedSystemItems.get().empty() || !f.store().isCapturingSystemItems.get());

  // Wi-Fi is pinned but stands collected: the refresh reconciles it after the indexing.
  f.app().proxyManager.pin(*discovered(f, "wifi"));
  const ZoneOrders baseline = zoneOrders(f);
  ASSERT_EQ(baseline.collected.size(), 8u);
  std::optional<ZoneOrders> atRestoreCollapse;
  bool expanded = false;
  auto watch = f.store().systemItemsCollapsed.subscribe([&](const bool& collapsed) {
    if (!collapsed) expanded = true;
    if (collapsed && expanded && !atRestoreCollapse) atRestoreCollapse = zoneOrders(f);
  });
  DragLog drags(f);
  finishNextRefresh(f);

  // In and back out, then the collected order pass; last the pin reconcile brings Wi-Fi back.
  EXPECT_EQ(drags.items, (std::vector<std::string>{"mystery", "wide1", "wide2", "wide3", "wifi"}));
  ASSERT_TRUE(atRestoreCollapse);
  EXPECT_EQ(*atRestoreCollapse, baseline);
  const CapturedMenuBarItem named = capturedOf(f, "mystery");
  EXPECT_EQ(named.name, "Mystery Sync") << "the captured metadata was refreshed";
  EXPECT_EQ(named.stableIdentity, kUnnamedIdentity);
  const auto& state = f.app().captureService.state();
  EXPECT_TRUE(state.persistedMenuExtraAliases.contains("windowID=" + std::to_string(named.id)));
  ASSERT_TRUE(state.persistedDisplayNames.contains(kUnnamedIdentity));
  EXPECT_EQ(state.persistedDisplayNames.at(kUnnamedIdentity), "Mystery Sync");
  EXPECT_TRUE(f.defaults->hasObject(std::string(MenuBarCaptureService::aliasesKey)));
  EXPECT_TRUE(f.defaults->hasObject(std::string(MenuBarCaptureService::displayNamesKey)));

  ZoneOrders reconciled = baseline;
  std::erase(reconciled.collected, "wifi");
  reconciled.visible = {"wifi"};
  EXPECT_EQ(zoneOrders(f), reconciled) << "the saved pin came back after the indexing";
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  f.expectSafe();
}

// With the drag refused, the run stops there; its sentence outlives the restore, which finds
// nothing to put back.
class UnsafeVisibleIndexing : public ::testing::TestWithParam<bool> {};

TEST_P(UnsafeVisibleIndexing, AVisibleItemUnderTheNotchIsCarriedInAndLeftToTheRestore) {
  const bool refusesDrags = GetParam();
  ControllerFixture f(indexingWorld(false));
  launchAndRefresh(f);
  for (const char* key : {"wide1", "wide2", "wide3"}) f.world().moveItemBefore(key, hider::controlName);
  sim::ItemSpec unnamed = unnamedItem();
  unnamed.faults.ignoresDrags = refusesDrags;
  f.world().addItem(unnamed);
  f.world().moveItemBefore("mystery", "wide1");
  f.executor.runUntilIdle();
  const Rect before = *f.world().frameOf("mystery");
  ASSERT_FALSE(f.app().menuBarHider.isMenuBarFrameSafe(before)) << "the item stands under the notch";

  const ZoneOrders baseline = zoneOrders(f);
  ASSERT_EQ(baseline.visible, (std::vector<std::string>{"mystery", "wide1", "wide2", "wide3"}));
  f.world().clearRecords();
  DragLog drags(f);
  // As the refresh does before it indexes: read the accessibility elements again.
  f.drive([](AppDelegate& app) { return app.captureService.refreshMenuExtraDisplayNames(); });
  std::vector<CapturedMenuBarItem> items = f.app().captureService.discoverMenuBarItems();
  ASSERT_EQ(discovered(f, "mystery")->name, "系统项目");

  EXPECT_EQ(runIndexing(f, items), Result::finished);
  EXPECT_EQ(zoneOrders(f), baseline);
  EXPECT_EQ(*f.world().frameOf("mystery"), before) << "back in its slot";
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  if (refusesDrags) {
    EXPECT_EQ(discovered(f, "mystery")->name, "系统项目");
    EXPECT_EQ(drags.items, (std::vector<std::string>{"mystery"}));
    EXPECT_EQ(f.store().lastError.get(), "移动“系统项目”后未检测到它位于 Vimbo.HiddenDivider 的目标侧。");
  } else {
    EXPECT_EQ(discovered(f, "mystery")->name, "Mystery Sync");
    // One drag in, then the visible order pass drags the three items that now stand left of it.
    EXPECT_EQ(drags.items, (std::vector<std::string>{"mystery", "wide1", "wide2", "wide3"}));
    EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  }
  f.expectSafe();
}

INSTANTIATE_TEST_SUITE_P(Drags, UnsafeVisibleIndexing, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
  return std::string(info.param ? "Refused" : "Taken");
});

struct NotRunRow {
  const char* what;
  bool withUnnamedItem;
  bool expanded;
  bool repeatedWindow;
  bool guardRefuses;
  Result result;
  std::optional<std::string> sentence;
};

void PrintTo(const NotRunRow& row, std::ostream* os) { *os << row.what; }

class MenuExtraIndexingStart : public ::testing::TestWithParam<NotRunRow> {};

TEST_P(MenuExtraIndexingStart, DoesNotRunOrStopsBeforeMovingAnything) {
  const NotRunRow& row = GetParam();
  ControllerFixture f(indexingWorld(false));
  launchAndRefresh(f);
  if (row.withUnnamedItem) {
    f.world().addItem(unnamedItem());
    f.world().moveItemBefore("mystery", "wide1");
    f.executor.runUntilIdle();
  }
  std::vector<CapturedMenuBarItem> items = f.app().captureService.discoverMenuBarItems();
  if (row.repeatedWindow) items.push_back(items.front());
  if (row.expanded) f.app().setSystemCollection(false);
  if (row.guardRefuses) f.world().switches().onScreenCountFailures = 1;
  f.world().clearRecords();
  int expands = 0;
  auto watch = f.store().systemItemsCollapsed.subscribe([&](const bool& collapsed) { expands += !collapsed; });

  EXPECT_EQ(runIndexing(f, items), row.result) << row.what;
  EXPECT_EQ(mouseEventCount(f), 0u) << row.what;
  EXPECT_EQ(expands, 0) << row.what;
  EXPECT_EQ(f.store().lastError.get(), row.sentence) << row.what;
  EXPECT_EQ(f.app().menuBarHider.isCollapsed, !row.expanded) << row.what;
  f.expectSafe(row.expanded ? hider::expandedLength : hider::collapsedLength);
}

const NotRunRow kNotRunRows[] = {
    {"BarExpanded", true, true, false, false, Result::notNeeded, std::nullopt},
    {"RepeatedWindowNumber", true, false, true, false, Result::notNeeded, std::nullopt},
    {"NothingUnresolved", false, false, false, false, Result::notNeeded, std::nullopt},
    {"ExpandRefused", true, false, false, true, Result::failed, kExpandRefused},
};

INSTANTIATE_TEST_SUITE_P(Rows, MenuExtraIndexingStart, ::testing::ValuesIn(kNotRunRows),
                         [](const ::testing::TestParamInfo<NotRunRow>& info) { return std::string(info.param.what); });

TEST(MenuExtraIndexing, ARefreshWhoseIndexingCouldNotExpandOnlyReconcilesTheDisplayedStates) {
  ControllerFixture f(indexingWorld(true));
  f.launch(false);
  f.app().proxyManager.pin(*discovered(f, "wifi"));
  const ZoneOrders baseline = zoneOrders(f);
  f.world().switches().onScreenCountFailures = 1;
  f.world().clearRecords();
  finishNextRefresh(f);

  EXPECT_EQ(f.store().lastError.get(), std::string(kExpandRefused));
  EXPECT_EQ(mouseEventCount(f), 0u) << "the saved pin out of place is not moved";
  EXPECT_EQ(zoneOrders(f), baseline);
  EXPECT_EQ(capturedOf(f, "mystery").name, "系统项目");
  EXPECT_TRUE(capturedOf(f, "wifi").isCollected);
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing
