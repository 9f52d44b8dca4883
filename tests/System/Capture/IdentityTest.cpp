// Stable identities in a live pass: uniqueness suffixes, the durable candidate identity and the
// identity cache that keeps an item's identity across window-number changes.

#include "CaptureFixture.h"

namespace vimbo::capture_testing {
namespace {

class Identity : public CaptureWorld {};

TEST_F(Identity, CollidingBasesGetSizeThenSlotSuffixesLeftToRight) {
  sim::WorldSpec spec;
  spec.screens = {plainScreen()};
  spec.apps = {app(601, "Anvil", "com.anvil"), app(602, "Bolt", "com.bolt")};
  spec.items = {item("a", "Item-0", 601, 30), item("b", "Item-0", 601, 26), item("c", "Item-0", 601, 30),
                item("d", "Item-0", 601, 30), item("e", "Item-0", 602, 30)};
  start(spec);
  auto items = service->discoverMenuBarItems();
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(find(items, "a")->stableIdentity, "com.anvil|window=Item-0|size=300x240|slot=0");
  EXPECT_EQ(find(items, "b")->stableIdentity, "com.anvil|window=Item-0|size=260x240");
  EXPECT_EQ(find(items, "c")->stableIdentity, "com.anvil|window=Item-0|size=300x240|slot=1");
  EXPECT_EQ(find(items, "d")->stableIdentity, "com.anvil|window=Item-0|size=300x240|slot=2");
  EXPECT_EQ(find(items, "e")->stableIdentity, "com.bolt|window=Item-0");  // a unique base: no suffix
  EXPECT_EQ(find(items, "a")->name, "Anvil");  // the owner name, as nothing better is known
}

TEST_F(Identity, DurableCandidateIdentity) {
  start({});
  using C = MenuBarCaptureService::MenuExtraDisplayCandidate;
  C titled{Rect(0, 0, 10, 10), 5, "App", "com.one", std::string("title:T"), {}, {}, {}};
  C second = titled;
  second.accessibilityIdentity = "identifier:x";
  C blank{Rect(0, 0, 10, 10), 6, "App", "   ", std::nullopt, {}, {}, {}};
  auto& state = service->mutableStateForTesting();
  state.menuExtraDisplayCandidates = {titled, blank};
  EXPECT_EQ(service->durableCandidateAccessibilityIdentity(titled), "bundle:com.one");
  EXPECT_FALSE(service->durableCandidateAccessibilityIdentity(blank));
  state.menuExtraDisplayCandidates = {titled, second};
  EXPECT_EQ(service->durableCandidateAccessibilityIdentity(titled), "title:T");
  EXPECT_EQ(service->durableCandidateAccessibilityIdentity(second), "identifier:x");
}

class IdentityCache : public CaptureWorld {
 protected:
  void SetUp() override {
    sim::WorldSpec spec;
    spec.screens = {plainScreen()};
    spec.apps = {app(601, "Anvil", "com.anvil")};
    auto a = item("a", "Anvil", 601, 30);
    a.axIdentifier = platform::AXValue(std::string("com.anvil.status"));
    spec.items = {a};
    start(spec);
  }
  const std::string settled = "com.anvil|window=Anvil|ax=identifier:com.anvil.status";
};

TEST_F(IdentityCache, KeepsTheSettledIdentityWhileTheElementFlickers) {
  service->cacheVisibleStableIdentities();
  world().itemSpec("a").axIdentifier = platform::AXValue(std::string("com.anvil.other"));
  EXPECT_EQ(service->discoverMenuBarItems().at(0).stableIdentity, settled);
  // A later settling never overwrites an entry that still matches its window.
  service->cacheVisibleStableIdentities();
  EXPECT_EQ(service->state().sessionIdentityCache.begin()->second.identity, settled);
}

TEST_F(IdentityCache, FindsAMovedWindowOnlyByUniqueOwnerProcessAndSize) {
  service->cacheVisibleStableIdentities();
  world().itemSpec("a").axIdentifier = platform::AXValue(std::string("com.anvil.other"));
  world().restartApplication(601);  // same process here, new window number
  executor.runUntilIdle();
  auto items = service->discoverMenuBarItems();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_NE(items[0].id, service->state().sessionIdentityCache.begin()->first);
  EXPECT_EQ(items[0].stableIdentity, settled);
  // Wider by 2.5 points or more: not the same item.
  world().overrideWindowField(items[0].id, platform::windowkey::bounds,
                              Rect(items[0].originalFrame.x, 0, items[0].originalFrame.width + 2.5, 24));
  EXPECT_EQ(service->discoverMenuBarItems().at(0).stableIdentity, "com.anvil|window=Anvil|ax=identifier:com.anvil.other");
}

TEST_F(IdentityCache, ACandidateWithoutAPositionHidesNoOtherCandidate) {
  // An application may report a position that is not a number; such a candidate matches no
  // window, and the window's own matches are still found: here a helper process draws the item,
  // so the hit on the owner is not the item's identity.
  const Rect frame = world().item("a")->frame;
  MenuBarCaptureService::MenuExtraDisplayCandidate far{Rect(5, 0, 20, 24), 990, "Far", "com.far", {}, {}, {}, {}};
  auto broken = far;
  broken.frame.x = std::nan("");
  MenuBarCaptureService::MenuExtraDisplayCandidate helper{frame, 999, "Helper", "com.anvil.helper", {}, {}, {}, {}};
  service->mutableStateForTesting().menuExtraDisplayCandidates = {far, broken, helper};
  EXPECT_EQ(service->discoverMenuBarItems().at(0).stableIdentity, "com.anvil|window=Anvil");
}

}  // namespace
}  // namespace vimbo::capture_testing
