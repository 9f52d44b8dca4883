#include "HiderFixture.h"

namespace vimbo::testing {
namespace {

struct SafeSlotTest : ::testing::Test {
  std::unique_ptr<Desk> d;

  void makeDesk(bool secondLumenItem, std::string lumenName = "Lumen Notes") {
    sim::WorldSpec spec = smallWorld(true);
    spec.apps[1].name = lumenName;
    if (secondLumenItem) {
      sim::ItemSpec extra = spec.items.front();
      extra.key = "a2";
      extra.axTitle = platform::AXValue{std::string("Lumen Sync")};
      spec.items.insert(spec.items.begin(), extra);
    }
    d = std::make_unique<Desk>(std::move(spec));
    d->installOwnItems();
    MenuBarCaptureService* service = &d->capture();
    auto scan = async::spawn(d->executor, [=]() { return service->refreshMenuExtraDisplayNames(); });
    d->executor.runUntilIdle();
    ASSERT_TRUE(scan.isDone());
  }
  const MenuBarCaptureService::State& state() { return d->capture().state(); }
};

TEST_F(SafeSlotTest, TheOnlyExtraOfTheHitProcessNamesTheWindowAndPersistsOnlyOnRequest) {
  makeDesk(false);
  const CapturedMenuBarItem a = d->itemFor("a");
  ASSERT_TRUE(d->capture().indexMenuExtraFromSafeSlot(a, /*persist=*/false));

  const std::string identity = "com.lumenware.notes|window=Item-0|ax=bundle:com.lumenware.notes";
  ASSERT_TRUE(state().sessionIdentityCache.contains(a.id));
  EXPECT_EQ(state().sessionIdentityCache.at(a.id).identity, identity);
  EXPECT_EQ(state().sessionIdentityCache.at(a.id).height, a.originalFrame.height);
  EXPECT_EQ(state().menuExtraAXOwnerPIDs.at(a.id), 501);
  ASSERT_TRUE(state().preDividerMenuExtraCandidates.contains(a.id));
  EXPECT_EQ(state().preDividerMenuExtraCandidates.at(a.id).candidate.processIdentifier, 501);
  EXPECT_TRUE(state().confirmedDisplayNames.contains(identity));
  EXPECT_TRUE(state().confirmedDisplayNameObservations.contains(a.id));
  EXPECT_TRUE(state().persistedMenuExtraAliases.empty());
  EXPECT_FALSE(d->defaults->hasObject(std::string(MenuBarCaptureService::aliasesKey)));

  ASSERT_TRUE(d->capture().indexMenuExtraFromSafeSlot(a, /*persist=*/true));
  const std::string key = "windowID=" + std::to_string(a.id);
  ASSERT_TRUE(state().persistedMenuExtraAliases.contains(key));
  EXPECT_EQ(state().persistedMenuExtraAliases.at(key).verification, "safe-hit");
  EXPECT_TRUE(d->defaults->hasObject(std::string(MenuBarCaptureService::aliasesKey)));
}

TEST_F(SafeSlotTest, ARejectedNameStillIndexesTheWindowButLearnsNothing) {
  makeDesk(false, "Item-0");
  const CapturedMenuBarItem a = d->itemFor("a");
  ASSERT_TRUE(d->capture().indexMenuExtraFromSafeSlot(a, false));
  ASSERT_TRUE(state().sessionIdentityCache.contains(a.id));
  EXPECT_EQ(state().menuExtraAXOwnerPIDs.at(a.id), 501);
  EXPECT_FALSE(state().confirmedDisplayNames.contains(state().sessionIdentityCache.at(a.id).identity));
  EXPECT_FALSE(state().confirmedDisplayNameObservations.contains(a.id));
}

TEST_F(SafeSlotTest, TwoExtrasOfOneProcessOrNoWindowChangeNothing) {
  makeDesk(true);
  const CapturedMenuBarItem a = d->itemFor("a");
  EXPECT_FALSE(d->capture().indexMenuExtraFromSafeSlot(a, true));
  CapturedMenuBarItem gone = d->itemFor("b");
  d->world().removeItem("b");
  EXPECT_FALSE(d->capture().indexMenuExtraFromSafeSlot(gone, true));
  EXPECT_TRUE(state().sessionIdentityCache.empty());
  EXPECT_TRUE(state().menuExtraAXOwnerPIDs.empty());
  EXPECT_TRUE(state().persistedMenuExtraAliases.empty());
}

}  // namespace
}  // namespace vimbo::testing
