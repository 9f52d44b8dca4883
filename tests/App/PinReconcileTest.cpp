// Saved pins that drifted: moved back to the visible side in saved order, one full move each;
// with the reveal fallback, items captured under another identity are matched again first.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "App/RestoreWorlds.h"

namespace vimbo::testing {
namespace {

constexpr const char* kFallbackRefused = "无法展开菜单栏以恢复已保存的项目；请稍后重试。";
constexpr const char* kFallbackRefusedUntrusted = "无法展开菜单栏以恢复已保存的项目；请允许 Vimbo 使用辅助功能后重试。";

// The notched controller world with three 250-pt items at the left end: at start-up every other
// item stands right of the notch, so all of them are known by their accessibility identities.
sim::WorldSpec reconcileWorld() {
  sim::WorldSpec spec = controllerWorld(true);
  spec.apps.push_back(test_support::installedApp(602, "Widebar", "org.widebar.app"));
  for (int n = 3; n >= 1; --n) {
    sim::ItemSpec wide;
    wide.key = "wide" + std::to_string(n);
    wide.windowName = "Wide" + std::to_string(n);
    wide.ownerPID = 602;
    wide.width = 250;
    spec.items.insert(spec.items.begin(), wide);
  }
  return spec;
}

struct ReconcileRun {
  ReconcileRun() : f(reconcileWorld()) {
    launchAndRefresh(f);
    for (const char* key : {"notes", "tally", "drift"}) {
      EXPECT_EQ(capturedOf(f, key).stableIdentity, identityOfKey(key));
    }
    watch = f.store().systemItemsCollapsed.subscribe([this](const bool& collapsed) { expands += !collapsed; });
  }
  void pin(const std::vector<std::string>& keys) {
    for (const auto& key : keys) f.app().proxyManager.pin(capturedOf(f, key));
  }
  void reconcile(bool allowRevealFallback) {
    f.world().clearRecords();
    drags = std::make_unique<DragLog>(f);
    auto run = f.drive([allowRevealFallback](AppDelegate& app) { return app.reconcileSavedPinIntents(allowRevealFallback); });
    EXPECT_TRUE(run.isDone());
  }
  ControllerFixture f;
  async::Subscription watch;
  int expands = 0;
  std::unique_ptr<DragLog> drags;
};

TEST(SavedPinReconcile, PinsOutOfPlaceMoveInSavedOrderEachWithItsOwnExpandAndCollapse) {
  ReconcileRun r;
  // Notes stands right of the divider but under the notch; Tally stands collected, left of it.
  for (const char* key : {"wide1", "wide2", "wide3"}) r.f.world().moveItemBefore(key, hider::controlName);
  r.f.world().moveItemBefore("notes", "wide1");
  r.f.executor.runUntilIdle();
  ASSERT_EQ(keysInBand(r.f), (std::vector<std::string>{"notes", "wide1", "wide2", "wide3"}));
  ASSERT_FALSE(r.f.app().menuBarHider.isMenuBarFrameSafe(*r.f.world().frameOf("notes")));
  r.pin({"notes", "tally"});

  r.reconcile(false);
  EXPECT_EQ(r.drags->items, (std::vector<std::string>{"notes", "tally"})) << "saved order, not screen order";
  EXPECT_EQ(r.expands, 2);
  const auto band = keysInBand(r.f);
  ASSERT_GE(band.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(band.end() - 2, band.end()), (std::vector<std::string>{"notes", "tally"}));
  EXPECT_TRUE(r.f.app().menuBarHider.isCollapsed);
  EXPECT_TRUE(r.f.store().systemItemsCollapsed.get());
  r.f.expectSafe();
}

TEST(SavedPinReconcile, AFirstRefreshWithNothingToIndexBringsASavedPinBack) {
  ControllerFixture f(controllerWorld());
  f.launch(false);
  f.app().proxyManager.pin(capturedOf(f, "tally"));
  DragLog drags(f);
  finishNextRefresh(f);
  EXPECT_EQ(drags.items, (std::vector<std::string>{"tally"}));
  EXPECT_EQ(keysInBand(f), (std::vector<std::string>{"tally"}));
  EXPECT_FALSE(capturedOf(f, "tally").isCollected) << "the displayed states follow";
  EXPECT_TRUE(f.store().systemItemsCollapsed.get());
  f.expectSafe();
}

struct FallbackRow {
  const char* what;
  bool allowRevealFallback;
  bool expandedBefore;
  bool guardRefuses;
  bool moved;
  std::optional<std::string> sentence;
  bool untrusted = false;
};

void PrintTo(const FallbackRow& row, std::ostream* os) { *os << row.what; }

class SavedPinRevealFallback : public ::testing::TestWithParam<FallbackRow> {};

TEST_P(SavedPinRevealFallback, MatchesAnItemCapturedUnderAnotherIdentityOnlyWhileCollapsed) {
  const FallbackRow& row = GetParam();
  ReconcileRun r;
  r.pin({"drift"});
  const uint32_t drift = windowOf(r.f, "drift");
  const std::string sized = "net.driftwood.sync|window=DriftStatus|size=30.0x24.0";
  r.f.store().updateCapturedSystemItemIdentity(drift, sized);
  ASSERT_EQ(capturedOf(r.f, "drift").stableIdentity, sized);
  if (row.expandedBefore) r.f.app().setSystemCollection(false);
  if (row.guardRefuses) r.f.world().switches().onScreenCountFailures = 1;
  if (row.untrusted) r.f.world().setAccessibilityTrusted(false);
  r.expands = 0;
  std::optional<async::TimePoint> rewrittenAt;
  auto identities = r.f.store().capturedSystemItems.subscribe([&](const std::vector<CapturedMenuBarItem>& items) {
    for (const auto& item : items) {
      if (item.id == drift && item.stableIdentity == identityOfKey("drift") && !rewrittenAt) rewrittenAt = r.f.now();
    }
  });
  const async::TimePoint start = r.f.now();

  r.reconcile(row.allowRevealFallback);
  EXPECT_EQ(r.drags->items, row.moved ? std::vector<std::string>{"drift"} : std::vector<std::string>{}) << row.what;
  EXPECT_EQ(keysInBand(r.f), row.moved ? std::vector<std::string>{"drift"} : std::vector<std::string>{}) << row.what;
  EXPECT_EQ(r.f.store().lastError.get(), row.sentence) << row.what;
  const bool fallbackTaken = row.allowRevealFallback && !row.expandedBefore && !row.guardRefuses;
  EXPECT_EQ(rewrittenAt.has_value(), fallbackTaken) << row.what;
  if (fallbackTaken && rewrittenAt) {
    EXPECT_EQ(*rewrittenAt - start, 50ms) << row.what;
  }
  EXPECT_TRUE(r.f.app().menuBarHider.isCollapsed) << row.what;
  EXPECT_TRUE(r.f.store().systemItemsCollapsed.get()) << row.what;
  if (row.guardRefuses) {
    EXPECT_EQ(r.expands, 0) << "nothing expanded, moved or collapsed";
    EXPECT_EQ(mouseEventCount(r.f), 0u);
  }
  r.f.expectSafe();
}

const FallbackRow kFallbackRows[] = {
    {"WithoutFallbackNotMatched", false, false, false, false, std::nullopt},
    {"FallbackWhileCollapsedRewritesAndMoves", true, false, false, true, std::nullopt},
    {"FallbackNotTakenWhileExpanded", true, true, false, false, std::nullopt},
    {"FallbackExpandRefused", true, false, true, false, kFallbackRefused},
    {"FallbackExpandRefusedWithoutAccessibility", true, false, true, false, kFallbackRefusedUntrusted, true},
};

INSTANTIATE_TEST_SUITE_P(Rows, SavedPinRevealFallback, ::testing::ValuesIn(kFallbackRows),
                         [](const ::testing::TestParamInfo<FallbackRow>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace vimbo::testing
