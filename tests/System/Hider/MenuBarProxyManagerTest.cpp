#include <gtest/gtest.h>

#include "System/MenuBarProxyManager.h"

namespace vimbo {
namespace {

using platform::DefaultsArray;
using platform::DefaultsValue;
using platform::UserDefaults;
using Strings = std::vector<std::string>;

constexpr const char* kKey = MenuBarProxyManager::pinnedIdentitiesKey;

DefaultsValue strings(const Strings& list) {
  DefaultsArray array;
  for (const auto& s : list) array.emplace_back(s);
  return DefaultsValue(std::move(array));
}

CapturedMenuBarItem item(uint32_t id, std::string identity, std::string windowName = "Item-0") {
  CapturedMenuBarItem i;
  i.id = id;
  i.stableIdentity = std::move(identity);
  i.windowName = std::move(windowName);
  return i;
}

std::string ident(const std::string& tag) { return "com.example." + tag + "|window=Item-0|ax=bundle:" + tag; }

struct ProxyManagerTest : ::testing::Test {
  std::shared_ptr<UserDefaults> defaults = UserDefaults::inMemory();
  Strings stored() const { return defaults->stringArray(kKey).value_or(Strings{"<missing>"}); }
};

TEST(ProxyRestorable, DecidesByAxWindowSizeAndSlotParts) {
  EXPECT_FALSE(MenuBarProxyManager::canSafelyRestore("com.a|window=Item-0|ax="));
  EXPECT_FALSE(MenuBarProxyManager::canSafelyRestore("com.a|window=Item-0"));
  EXPECT_TRUE(MenuBarProxyManager::canSafelyRestore("com.a|window=Y|ax=title:Hello"));
  EXPECT_FALSE(MenuBarProxyManager::canSafelyRestore("com.apple.cc|window=Clock|ax=identifier:x"));
  EXPECT_FALSE(MenuBarProxyManager::canSafelyRestore("com.apple.cc|window=BentoBox-0|ax=identifier:x"));
  EXPECT_TRUE(MenuBarProxyManager::canSafelyRestore("com.apple.cc|window=Clock2|ax=identifier:x"));
  EXPECT_TRUE(MenuBarProxyManager::canSafelyRestore("com.a|ax=identifier:x"));
  EXPECT_FALSE(MenuBarProxyManager::canSafelyRestore("com.a|window=Y|ax=title:T|size=220x240"));
  EXPECT_FALSE(MenuBarProxyManager::canSafelyRestore("com.a|window=Y|ax=title:T|size=220x240|slot=1"));
}

TEST_F(ProxyManagerTest, LoadSanitisesWritesBackAndDropsLegacyKeys) {
  const std::string good = ident("a");
  defaults->set(kKey, strings({good, "com.apple.cc|window=Clock|ax=identifier:c", good,
                               "com.b|window=Item-0|ax=title:B|size=220x240"}));
  defaults->set("NSStatusItem Preferred Position Vimbo.Proxy.1", DefaultsValue(3.0));
  defaults->set("NSStatusItem Visible Vimbo.Proxy.x", DefaultsValue(true));
  defaults->set("NSStatusItem VisibleCC Vimbo.Proxy.y", DefaultsValue(false));
  defaults->set("NSStatusItem Visible Vimbo.Control", DefaultsValue(true));

  MenuBarProxyManager manager(defaults);
  EXPECT_EQ(manager.pinnedIdentities(), Strings{good});
  EXPECT_EQ(stored(), Strings{good});
  EXPECT_FALSE(defaults->hasObject("NSStatusItem Preferred Position Vimbo.Proxy.1"));
  EXPECT_FALSE(defaults->hasObject("NSStatusItem Visible Vimbo.Proxy.x"));
  EXPECT_FALSE(defaults->hasObject("NSStatusItem VisibleCC Vimbo.Proxy.y"));
  EXPECT_TRUE(defaults->hasObject("NSStatusItem Visible Vimbo.Control"));

  defaults->set(kKey, DefaultsValue(std::string("not an array")));
  MenuBarProxyManager mistyped(defaults);
  EXPECT_TRUE(mistyped.pinnedIdentities().empty());
}

TEST_F(ProxyManagerTest, PinReplacesInPlaceAppendsOnceAndKeepsUnrestorableForTheRunOnly) {
  const Strings five{ident("a"), ident("n"), ident("old"), ident("d"), ident("e")};
  defaults->set(kKey, strings(five));
  MenuBarProxyManager manager(defaults);

  manager.pin(item(7, ident("n")), ident("old"));  // the copy before index 2 shifts the insert point
  EXPECT_EQ(manager.pinnedIdentities(), (Strings{ident("a"), ident("d"), ident("n"), ident("e")}));
  EXPECT_EQ(stored(), manager.pinnedIdentities());

  defaults->removeObject(kKey);
  manager.pin(item(8, ident("a")));  // already pinned: no write
  EXPECT_FALSE(defaults->hasObject(kKey));
  manager.pin(item(9, ident("z")), ident("absent"));
  EXPECT_EQ(manager.pinnedIdentities().back(), ident("z"));

  const std::string sized = "com.s|window=Item-0|ax=title:S|size=220x240";
  manager.pin(item(10, sized));
  EXPECT_EQ(manager.runtimePinnedIdentities().at(10), sized);
  EXPECT_FALSE(std::count(manager.pinnedIdentities().begin(), manager.pinnedIdentities().end(), sized));

  manager.pin(item(11, "com.apple.cc|window=Clock|ax=identifier:c", "Clock"));
  EXPECT_FALSE(manager.runtimePinnedIdentities().contains(11));
}

TEST_F(ProxyManagerTest, UnpinDropsCurrentAndRuntimeIdentityAndRemoveReportsChange) {
  MenuBarProxyManager manager(defaults);
  manager.pin(item(5, ident("older")));
  manager.pin(item(6, ident("other")));
  auto renamed = item(5, ident("newer"));
  manager.pin(renamed);
  manager.pin(item(5, ident("older")));  // the runtime entry now holds the older identity again
  manager.unpin(item(5, ident("newer")));
  EXPECT_EQ(manager.pinnedIdentities(), Strings{ident("other")});
  EXPECT_FALSE(manager.runtimePinnedIdentities().contains(5));

  defaults->removeObject(kKey);
  manager.unpin(item(99, ident("never")));
  EXPECT_FALSE(defaults->hasObject(kKey));

  EXPECT_FALSE(manager.remove(ident("never")));
  EXPECT_FALSE(defaults->hasObject(kKey));
  EXPECT_TRUE(manager.remove(ident("other")));
  EXPECT_EQ(stored(), Strings{});
}

TEST_F(ProxyManagerTest, MergeReordersOnlyVisiblePinnedSlots) {
  const auto A = ident("A"), B = ident("B"), C = ident("C"), D = ident("D"), X = ident("X");
  defaults->set(kKey, strings({A, B, C, D}));
  MenuBarProxyManager manager(defaults);
  manager.mergeVisibleOrder({X});
  EXPECT_EQ(manager.pinnedIdentities(), (Strings{A, B, C, D}));
  manager.mergeVisibleOrder({C, X, A, C});
  EXPECT_EQ(manager.pinnedIdentities(), (Strings{C, B, A, D}));
  EXPECT_EQ(stored(), (Strings{C, B, A, D}));
}

}  // namespace
}  // namespace vimbo
