// Names and texts that other applications give their windows and elements may hold any bytes;
// what the system builds from them (identities, names, stored records) is always valid UTF-8.

#include "CaptureFixture.h"
#include "Platform/Foundation/Text.h"
#include "Store/MenuBarStore.h"

namespace vimbo::capture_testing {
namespace {

class ForeignText : public CaptureWorld {
 protected:
  void SetUp() override {
    sim::WorldSpec spec;
    spec.screens = {plainScreen()};
    spec.apps = {app(601, "Anvil", "com.anvil"), app(602, "Bolt", "com.bolt")};
    auto b = item("b", "Bolt", 602, 30);
    b.axIdentifier = platform::AXValue(std::string("com.bolt.status"));
    spec.items = {item("a", "Status", 601, 30), b};
    start(spec);
    // What the other application says now, bypassing the world's own tidying of its spec.
    world().overrideWindowField(world().item("a")->windowNumber, platform::windowkey::name, std::string("Status\xe9"));
    world().overrideWindowField(world().item("a")->windowNumber, platform::windowkey::ownerName, std::string("Anv\xffil"));
    world().itemSpec("a").axIdentifier = platform::AXValue(std::string("com.anvil.st\xed\xa0\x80tus"));  // a surrogate
    world().itemSpec("a").axTitle = platform::AXValue(std::string("Anvil \xf0\x9f"));  // cut short
  }
};

TEST_F(ForeignText, InvalidBytesBecomeReplacementCharactersAtThePlatformBoundary) {
  auto list = env->platform().windowServer.copyWindowList(platform::WindowListOption::All);
  ASSERT_TRUE(list);
  bool sawName = false;
  for (const auto& w : *list) {
    for (const auto& [key, value] : w.fields) {
      if (auto s = std::get_if<std::string>(&value)) {
        EXPECT_TRUE(platform::text::isValidUTF8(*s)) << key;
      }
    }
    sawName = sawName || (w.name() == "Status\xef\xbf\xbd" && w.ownerName() == "Anv\xef\xbf\xbdil");
  }
  EXPECT_TRUE(sawName);
  auto& ax = env->platform().accessibility;
  auto element = world().menuExtraElement("a");
  auto identifier = ax.copyAttributeValue(element, platform::axattr::identifier);
  ASSERT_TRUE(identifier.value && identifier.value->string());
  EXPECT_EQ(*identifier.value->string(), "com.anvil.st\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdtus");
  auto title = ax.copyAttributeValue(element, platform::axattr::title);
  ASSERT_TRUE(title.value && title.value->string());
  EXPECT_EQ(*title.value->string(), "Anvil \xef\xbf\xbd");
}

TEST_F(ForeignText, AnInvalidWindowNameGivesAValidIdentityAndTheLayoutStillSaves) {
  service->cacheVisibleStableIdentities();
  auto items = service->discoverMenuBarItems();
  ASSERT_EQ(items.size(), 2u);
  const CapturedMenuBarItem* a = find(items, "a");
  ASSERT_TRUE(a);
  EXPECT_TRUE(platform::text::isValidUTF8(a->stableIdentity)) << a->stableIdentity;
  EXPECT_TRUE(platform::text::isValidUTF8(a->name));
  EXPECT_NE(a->stableIdentity.find("|ax="), std::string::npos);
  ASSERT_TRUE(MenuBarLayoutRecord::isPersistableIdentity(a->stableIdentity));

  MenuBarStore store(*defaults, env->platform().loginItem, env->platform().screenCaptureAccess);
  store.replaceCapturedSystemItems(items);
  ASSERT_TRUE(store.commitLayoutMovement(a->id, MenuBarLayoutZone::collected, std::nullopt, true));
  auto stored = defaults->data(std::string(MenuBarStore::layoutKey));
  ASSERT_TRUE(stored) << "the layout record was not saved";
  auto record = MenuBarLayoutRecord::decode(std::string(stored->begin(), stored->end()));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->orderedIdentities[MenuBarLayoutZone::collected], std::vector<std::string>{a->stableIdentity});
}

}  // namespace
}  // namespace vimbo::capture_testing

namespace vimbo::capture_testing {
namespace {

class UnwritableTableEntries : public CaptureWorld {
 protected:
  void SetUp() override { start({}); }
};

TEST_F(UnwritableTableEntries, AnAliasWithTextThatIsNotUTF8IsLeftOutAlone) {
  MenuBarCaptureService::PersistedMenuExtraAlias good{7, "com.a", "Item-0", 5, 30, 24, "com.a", 5, "Anvil", "title:Anvil", "strict-ax"};
  auto bad = good;
  bad.displayName = "Anv\xe9l";
  auto& aliases = service->mutableStateForTesting().persistedMenuExtraAliases;
  aliases = {{"windowID=7", good}, {"windowID=8", bad}, {"windowID=9\xff", good}};
  service->flushPersistedMenuExtraAliases();
  auto data = defaults->data(std::string(MenuBarCaptureService::aliasesKey));
  ASSERT_TRUE(data);
  auto stored = MenuBarCaptureService::decodeAliases(std::string(data->begin(), data->end()));
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, (std::map<std::string, MenuBarCaptureService::PersistedMenuExtraAlias>{{"windowID=7", good}}));
}

TEST_F(UnwritableTableEntries, ADisplayNameWithTextThatIsNotUTF8IsLeftOutAlone) {
  auto& names = service->mutableStateForTesting().persistedDisplayNames;
  names = {{"com.a|window=Item-0|ax=title:A", "Anvil"},
           {"com.b|window=Item-0|ax=title:B", "Bol\xfft"},
           {"com.c|window=Item-0|ax=title:\xc3", "Cog"}};
  service->flushPersistedDisplayNames();
  auto data = defaults->data(std::string(MenuBarCaptureService::displayNamesKey));
  ASSERT_TRUE(data);
  EXPECT_EQ(std::string(data->begin(), data->end()), R"({"com.a|window=Item-0|ax=title:A":"Anvil"})");
}

}  // namespace
}  // namespace vimbo::capture_testing
