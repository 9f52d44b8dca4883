// Settling identities on the virtual clock: how long each wait blocks, when a pass counts as
// settled, and what is left in the identity cache.

#include "CaptureFixture.h"

namespace vimbo::capture_testing {
namespace {

using namespace std::chrono_literals;

class Settling : public CaptureWorld {
 protected:
  void SetUp() override {
    sim::WorldSpec spec;
    spec.screens = {plainScreen()};
    spec.apps = {app(601, "Anvil", "com.anvil"), app(602, "Bolt", "com.bolt"), app(603, "Cask", "com.cask")};
    for (auto [key, pid] : {std::pair{"a", 601}, std::pair{"b", 602}, std::pair{"c", 603}}) {
      auto i = item(key, std::string("W") + key, pid, 30);
      i.axIdentifier = platform::AXValue(std::string("id.") + key);
      spec.items.push_back(i);
    }
    start(spec);
  }
  std::string identityOf(const char* key) { return std::string("com.") + (key[0] == 'a' ? "anvil" : key[0] == 'b' ? "bolt" : "cask") + "|window=W" + key + "|ax=identifier:id." + key; }
  async::Duration timed(const std::function<void()>& f) {
    auto start = executor.now();
    f();
    return executor.now() - start;
  }
};

TEST_F(Settling, PlainSettlingPollsFor120Milliseconds) {
  auto elapsed = timed([&] { service->cacheVisibleStableIdentities(); });
  EXPECT_GE(elapsed, 120ms);
  EXPECT_LE(elapsed, 135ms);
  EXPECT_EQ(service->state().sessionIdentityCache.size(), 3u);
  EXPECT_EQ(service->state().sessionIdentityCache.at(world().item("b")->windowNumber).identity, identityOf("b"));
}

TEST_F(Settling, ExpectedIdentitiesSettleOnTheSecondPassAndReplaceTheCache) {
  service->cacheVisibleStableIdentities();
  std::optional<std::set<std::string>> found;
  auto elapsed = timed([&] { found = service->cacheVisibleStableIdentities({identityOf("a"), identityOf("c")}); });
  EXPECT_EQ(elapsed, 15ms);
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, (std::set<std::string>{identityOf("a"), identityOf("c")}));
  EXPECT_EQ(service->state().sessionIdentityCache.size(), 2u);  // b's entry is dropped

  found = service->cacheVisibleStableIdentities({});
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->empty());
  EXPECT_TRUE(service->state().sessionIdentityCache.empty());
}

TEST_F(Settling, AnUnparsableIdentityNeverSettles) {
  service->cacheVisibleStableIdentities();
  std::optional<std::set<std::string>> found;
  auto elapsed = timed([&] { found = service->cacheVisibleStableIdentities({identityOf("a"), "com.anvil|window=Wa"}); });
  EXPECT_FALSE(found);
  EXPECT_GE(elapsed, 400ms);
  EXPECT_LE(elapsed, 415ms);
  EXPECT_TRUE(service->state().sessionIdentityCache.empty());
}

TEST_F(Settling, AnAbsentItemMustStayAbsentFor220Milliseconds) {
  std::optional<std::set<std::string>> found;
  auto elapsed = timed([&] { found = service->cacheVisibleStableIdentities({identityOf("a"), "com.late|window=Late|ax=identifier:x"}); });
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, std::set<std::string>{identityOf("a")});
  EXPECT_GE(elapsed, 220ms);
  EXPECT_LT(elapsed, 240ms);
}

TEST_F(Settling, AnItemThatAppearsLateIsFoundOnceTheBarIsCalm) {
  world().addItem([] {
    auto late = item("late", "Late", 601, 30);
    late.axIdentifier = platform::AXValue(std::string("late.id"));
    return late;
  }(), 100ms);
  std::optional<std::set<std::string>> found;
  const std::string lateIdentity = "com.anvil|window=Late|ax=identifier:late.id";
  auto elapsed = timed([&] { found = service->cacheVisibleStableIdentities({identityOf("b"), lateIdentity}); });
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, (std::set<std::string>{identityOf("b"), lateIdentity}));
  EXPECT_GE(elapsed, 100ms);
  EXPECT_EQ(service->state().sessionIdentityCache.count(world().item("late")->windowNumber), 1u);
}

TEST_F(Settling, ARowThatOnlyShiftsSidewaysStillSettles) {
  // Removing the rightmost item shifts every item left of it: positions change, sizes do not.
  executor.scheduleAfter(5ms, [&] { world().removeItem("c"); });
  std::optional<std::set<std::string>> found;
  auto elapsed = timed([&] { found = service->cacheVisibleStableIdentities({identityOf("a"), identityOf("b")}); });
  ASSERT_TRUE(found);
  EXPECT_EQ(found->size(), 2u);
  EXPECT_LE(elapsed, 30ms);
}

TEST_F(Settling, WorkRunInsideThePlainSettlingSeesTheTablesAsTheyAreThen) {
  // Timers and tasks run inside the settling's 15 ms steps: here a rescan lands there and a
  // discovery follows; it must see the new candidates, not what the settling pass had read.
  std::map<uint32_t, int32_t> owners;
  executor.scheduleAfter(5ms, [&] {
    MenuBarCaptureService::MenuExtraDisplayCandidate bolt;
    bolt.frame = world().item("b")->frame;
    bolt.processIdentifier = 602;
    bolt.applicationName = "Wb";  // a name the window name agrees with
    bolt.bundleIdentifier = "com.bolt";
    service->mutableStateForTesting().menuExtraDisplayCandidates = {bolt};
    service->discoverMenuBarItems();
    owners = service->state().menuExtraAXOwnerPIDs;
  });
  service->cacheVisibleStableIdentities();
  EXPECT_EQ(owners, (std::map<uint32_t, int32_t>{{world().item("b")->windowNumber, 602}}));
}

TEST_F(Settling, TwoSavedIdentitiesOnOneWindowEmptyTheCache) {
  service->cacheVisibleStableIdentities();
  auto window = world().item("a")->windowNumber;
  auto& cache = service->mutableStateForTesting().sessionIdentityCache;
  // A cache entry that names a second saved identity for a's window.
  cache[window].identity = "com.anvil|window=Wa|ax=identifier:old";
  auto found = service->cacheVisibleStableIdentities({identityOf("a"), "com.anvil|window=Wa|ax=identifier:old"});
  EXPECT_FALSE(found);
  EXPECT_TRUE(service->state().sessionIdentityCache.empty());
}

}  // namespace
}  // namespace vimbo::capture_testing
