#include "StoreFixture.h"

using namespace vimbo;
using vimbo::testing::StoreTest;
using Zone = MenuBarLayoutZone;
using Ids = std::vector<std::string>;

namespace {

std::string P(const std::string& x) { return "com.a|window=Item-0|ax=" + x; }      // persistable
std::string S(const std::string& x) { return P(x) + "|slot=1"; }                    // session only
const std::string clockIdentity = "com.apple.controlcenter|window=Clock|ax=Clock";

CapturedMenuBarItem item(std::uint32_t id, std::string identity, bool collected = false, std::string name = "App",
                         std::string windowName = "Item-0", std::string bundle = "com.a") {
  CapturedMenuBarItem i;
  i.id = id;
  i.stableIdentity = std::move(identity);
  i.name = std::move(name);
  i.windowName = std::move(windowName);
  i.ownerBundleIdentifier = std::move(bundle);
  i.isCollected = collected;
  return i;
}

CapturedMenuBarItem clockItem(std::uint32_t id) { return item(id, clockIdentity, true, "时钟", "Clock", "com.apple.controlcenter"); }

MenuBarLayoutRecord record(Ids visible, Ids collected = {}, Ids hidden = {}) {
  MenuBarLayoutRecord r;
  r.orderedIdentities = {{Zone::visible, visible}, {Zone::collected, collected}, {Zone::hidden, hidden}};
  return r;
}

std::vector<std::uint32_t> ids(const std::vector<CapturedMenuBarItem>& items) {
  std::vector<std::uint32_t> out;
  for (const auto& i : items) out.push_back(i.id);
  return out;
}

MenuBarLayoutDraft draft(std::vector<std::uint32_t> visible, std::vector<std::uint32_t> collected = {},
                         std::vector<std::uint32_t> hidden = {}) {
  MenuBarLayoutDraft d;
  d.orderedIDs = {{Zone::visible, visible}, {Zone::collected, collected}, {Zone::hidden, hidden}};
  return d;
}

class LayoutTest : public StoreTest {
 protected:
  std::unique_ptr<MenuBarStore> store = makeStore();
  const MenuBarLayoutRecord& layout() const { return store->menuBarLayout.get(); }
  std::optional<MenuBarLayoutRecord> saved() const {
    auto text = storedText(MenuBarStore::layoutKey);
    return text ? MenuBarLayoutRecord::decode(*text) : std::nullopt;
  }
  void forgetSaved() { defaults->removeObject(MenuBarStore::layoutKey); }
};

}  // namespace

TEST_F(LayoutTest, ZonesAndOrderComeFromFixedSessionRecordThenCaptureSide) {
  store->menuBarLayout.set(record({P("gone"), P("y"), P("x")}, {P("b")}));
  auto sub = store->capturedSystemItems.subscribe([&](const auto&) {
    EXPECT_EQ(layout(), record({P("gone"), P("y"), P("x")}, {P("b")}));  // items publish before the layout
  });
  store->replaceCapturedSystemItems({clockItem(1), item(2, P("x")), item(3, P("c"), true), item(4, P("y")),
                                     item(5, P("b")), item(6, P("z")), item(7, S("s"), true), item(8, P("y"), true)});
  EXPECT_EQ(store->layoutZone(store->capturedSystemItems.get()[0]), Zone::visible);
  // A repeated identity: the record places the first capture; the other follows in capture order.
  EXPECT_EQ(ids(store->capturedItems(Zone::visible)), (std::vector<std::uint32_t>{4, 2, 6, 1, 8}));
  EXPECT_EQ(ids(store->capturedItems(Zone::collected)), (std::vector<std::uint32_t>{5, 3, 7}));
  EXPECT_EQ(store->persistableLayoutIdentities(Zone::collected), (Ids{P("b"), P("c")}));
  // The record learns captured identities, keeps absent ones and never holds fixed or session ones.
  EXPECT_EQ(layout(), record({P("gone"), P("y"), P("x"), P("z")}, {P("b"), P("c")}));
  EXPECT_EQ(saved(), layout());
  EXPECT_EQ(store->currentMenuBarLayoutDraft(), draft({4, 2, 6, 1, 8}, {5, 3, 7}));
}

TEST_F(LayoutTest, ReplaceSavesOnlyWhenTheRecordChanged) {
  store->replaceCapturedSystemItems({});
  EXPECT_EQ(saved(), record({}));  // the three empty zones differ from the bare start record
  forgetSaved();
  store->replaceCapturedSystemItems({});
  EXPECT_EQ(saved(), std::nullopt);
  store->replaceCapturedSystemItems({item(1, P("a"))});
  EXPECT_EQ(saved(), record({P("a")}));
}

TEST_F(LayoutTest, PlaceholderNamesGiveWayToMeaningfulOnes) {
  const std::vector<std::pair<std::string, bool>> names{
      {"Item-0", false}, {" \n ", false}, {"com.apple.menuextra.battery", false}, {"owner:Foo", false},
      {"x window=y", false}, {"控制中心", false}, {"v1.2", false}, {"Wi-Fi", true}, {"Mr. Smith", true},
      {"Item-0 ", false}, {"battery", true}, {"a..b", false},
      // Any number counts as an identifier character here, unlike the capture service's digits.
      {"²2.Ⅻ", false}};
  for (const auto& [name, meaningful] : names) {
    store->replaceCapturedSystemItems({item(1, P("a"), false, "Original")});
    store->replaceCapturedSystemItems({item(1, P("a"), false, name)});
    EXPECT_EQ(store->capturedSystemItems.get()[0].name, meaningful ? name : "Original") << name;
  }
  // A predecessor found by identity alone serves too; a returning item gets its remembered name.
  store->replaceCapturedSystemItems({item(1, P("bt"), false, "蓝牙")});
  store->replaceCapturedSystemItems({item(9, P("bt"), false, "")});
  EXPECT_EQ(store->capturedSystemItems.get()[0].name, "蓝牙");
  store->replaceCapturedSystemItems({});
  store->replaceCapturedSystemItems({item(4, P("bt"), false, "系统项目")});
  EXPECT_EQ(store->capturedSystemItems.get()[0].name, "蓝牙");
}

TEST_F(LayoutTest, IdentityChangesKeepZoneAndPlace) {
  store->menuBarLayout.set(record({P("a"), P("b"), P("c")}, {P("d")}));
  store->replaceCapturedSystemItems({item(1, P("a")), item(2, P("b")), item(3, P("c")), item(4, P("d"))});
  store->updateCapturedSystemItemIdentity(2, P("b2"));
  EXPECT_EQ(layout(), record({P("a"), P("b2"), P("c")}, {P("d")}));

  // To a session-only identity: the zone lives on for the session, the record keeps the old one.
  store->updateCapturedSystemItemIdentity(4, S("d"));
  EXPECT_EQ(store->layoutZone(store->capturedSystemItems.get()[3]), Zone::collected);
  EXPECT_EQ(layout(), record({P("a"), P("b2"), P("c")}, {P("d")}));
  // And back to a persistable one: the session zone becomes a record entry at the zone's end.
  store->updateCapturedSystemItemIdentity(4, P("d2"));
  EXPECT_EQ(layout(), record({P("a"), P("b2"), P("c")}, {P("d"), P("d2")}));

  store->updateCapturedSystemItemIdentity(99, P("zz"));  // unknown window: nothing
  EXPECT_EQ(layout(), record({P("a"), P("b2"), P("c")}, {P("d"), P("d2")}));
}

TEST_F(LayoutTest, UnlistedIdentityChangeKeepsTheOldCaptureSide) {
  store->replaceCapturedSystemItems({item(1, "com.a|window=Item-0", true), item(2, "com.b|window=Item-0")});
  EXPECT_EQ(layout(), record({}));
  // Item 1 was collected; its new capture says visible, but its old zone wins.
  store->replaceCapturedSystemItems({item(1, P("one"), false), item(2, P("two"), false)});
  EXPECT_EQ(layout(), record({P("two")}, {P("one")}));
  // An item seen anew by another owner is no identity change.
  store->replaceCapturedSystemItems({item(1, P("other"), false, "App", "Item-0", "com.other")});
  EXPECT_EQ(layout(), record({P("two"), P("other")}, {P("one")}));
}

TEST_F(LayoutTest, SingleMovements) {
  store->replaceCapturedSystemItems({clockItem(1), item(2, P("a")), item(3, P("b")), item(4, S("s"))});
  EXPECT_FALSE(store->commitLayoutMovement(1, Zone::collected, std::nullopt, true));
  EXPECT_FALSE(store->commitLayoutMovement(42, Zone::collected, std::nullopt, true));

  forgetSaved();
  const auto before = layout();
  EXPECT_TRUE(store->commitLayoutMovement(4, Zone::hidden, 0, true));
  EXPECT_EQ(layout(), before);
  EXPECT_EQ(saved(), std::nullopt);
  EXPECT_TRUE(store->commitLayoutMovement(3, Zone::hidden, std::nullopt, false));
  EXPECT_EQ(ids(store->capturedItems(Zone::hidden)), (std::vector<std::uint32_t>{3, 4}));
  EXPECT_EQ(layout(), record({P("a")}, {}, {P("b")}));
  EXPECT_EQ(saved(), std::nullopt);
  EXPECT_TRUE(store->commitLayoutMovement(3, Zone::visible, 0, true));
  EXPECT_EQ(saved(), record({P("b"), P("a")}));
}

TEST_F(LayoutTest, DraftsAreValidatedAgainstTheCapturedItems) {
  store->menuBarLayout.set(record({P("a")}, {P("gone"), P("b")}));
  store->replaceCapturedSystemItems({clockItem(1), item(2, P("a")), item(3, P("b")), item(4, S("s"))});
  const auto before = layout();
  EXPECT_FALSE(store->commitMenuBarLayoutDraft(draft({1, 2}, {3}), true));          // omits one
  EXPECT_FALSE(store->commitMenuBarLayoutDraft(draft({1, 2}, {3, 4, 2}), true));    // lists one twice
  EXPECT_FALSE(store->commitMenuBarLayoutDraft(draft({2}, {1, 3, 4}), true));       // the clock collected
  EXPECT_FALSE(store->commitMenuBarLayoutDraft(draft({1, 2, 5}, {3}), true));       // a stranger
  EXPECT_EQ(layout(), before);
  EXPECT_EQ(store->layoutZone(store->capturedSystemItems.get()[3]), Zone::visible);

  forgetSaved();
  ASSERT_TRUE(store->commitMenuBarLayoutDraft(draft({3, 1}, {2}, {4}), false));
  EXPECT_EQ(layout(), record({P("b")}, {P("gone"), P("a")}));  // the absent identity keeps its place
  EXPECT_EQ(store->layoutZone(store->capturedSystemItems.get()[3]), Zone::hidden);
  EXPECT_EQ(saved(), std::nullopt);
  ASSERT_TRUE(store->commitMenuBarLayoutDraft(store->currentMenuBarLayoutDraft(), true));  // unchanged, saved
  EXPECT_EQ(saved(), layout());
}

TEST_F(LayoutTest, DraftEdgeCasesWithoutOrWithRepeatedItems) {
  store->menuBarLayout.set(record({P("a")}, {P("b")}));
  ASSERT_TRUE(store->commitMenuBarLayoutDraft(MenuBarLayoutDraft{}, true));
  EXPECT_EQ(saved(), record({P("a")}, {P("b")}));

  store->capturedSystemItems.set({item(2, P("a")), item(2, P("b"))});  // repeated window numbers
  EXPECT_FALSE(store->commitMenuBarLayoutDraft(draft({2, 2}), true));
}
