#include <cmath>
#include <limits>

#include "StoreFixture.h"

using namespace vimbo;
using vimbo::testing::StoreTest;

namespace {
constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST_F(StoreTest, FirstLaunchStartsFromDefaultsAndWritesEverySetting) {
  capture.setGranted(true);
  login.setStatus(platform::LoginItemStatus::requiresApproval);
  auto store = makeStore();
  EXPECT_TRUE(store->showLabels.get());
  EXPECT_FALSE(store->expandOnHover.get());
  EXPECT_TRUE(store->collapseOnPointerExit.get());
  EXPECT_EQ(store->hoverDetectionMethod.get(), HoverDetectionMethod::polling);
  EXPECT_TRUE(store->shortcutEnabled.get());
  EXPECT_FALSE(store->launchAtLogin.get());  // only "enabled" counts
  EXPECT_TRUE(store->screenCapturePermissionGranted.get());
  EXPECT_TRUE(store->systemItemsCollapsed.get());
  EXPECT_EQ(store->items.get(), MenuBarStore::sampleItems());
  EXPECT_EQ(store->menuBarLayout.get(), MenuBarLayoutRecord{});

  EXPECT_EQ(defaults->boolean("showLabels"), true);
  EXPECT_EQ(defaults->boolean("expandOnHover"), false);
  EXPECT_EQ(defaults->boolean("collapseOnPointerExit"), true);
  EXPECT_EQ(defaults->boolean("shortcutEnabled"), true);
  EXPECT_EQ(defaults->string("hoverDetectionMethod"), "polling");
  EXPECT_EQ(defaults->number("hoverSamplingInterval"), 0.05);
  EXPECT_EQ(defaults->number("hoverRevealDelay"), 0.15);
  EXPECT_EQ(defaults->number("hoverCollapseDelay"), 0.4);
  // Rows and layout are written only when they change.
  EXPECT_FALSE(defaults->hasObject("menuBarItems.v1"));
  EXPECT_FALSE(defaults->hasObject("Vimbo.MenuBarLayout.v1"));
}

TEST_F(StoreTest, LoadingSanitisesAndRewritesStoredSettings) {
  defaults->set("hoverRevealDelay", 5.0);
  defaults->set("hoverSamplingInterval", std::string("0.1"));  // mistyped
  defaults->set("hoverCollapseDelay", notANumber);
  defaults->set("hoverDetectionMethod", std::string("EventDriven"));
  defaults->set("showLabels", std::int64_t{0});      // a 0/1 number reads as a Boolean
  defaults->set("expandOnHover", std::string("yes"));  // mistyped: default
  defaults->set("shortcutEnabled", false);
  login.setStatus(platform::LoginItemStatus::enabled);
  auto store = makeStore();
  EXPECT_EQ(store->hoverRevealDelay.get(), 1.0);
  EXPECT_EQ(store->hoverSamplingInterval.get(), 0.05);
  EXPECT_EQ(store->hoverCollapseDelay.get(), 0.4);
  EXPECT_EQ(store->hoverDetectionMethod.get(), HoverDetectionMethod::polling);
  EXPECT_FALSE(store->showLabels.get());
  EXPECT_FALSE(store->expandOnHover.get());
  EXPECT_FALSE(store->shortcutEnabled.get());
  EXPECT_TRUE(store->launchAtLogin.get());
  EXPECT_EQ(defaults->number("hoverRevealDelay"), 1.0);
  EXPECT_EQ(defaults->number("hoverSamplingInterval"), 0.05);
  EXPECT_EQ(defaults->string("hoverDetectionMethod"), "polling");
  EXPECT_EQ(defaults->boolean("expandOnHover"), false);
  EXPECT_EQ(defaults->object("showLabels"), platform::DefaultsValue(false));  // rewritten as a Boolean

  defaults->set("hoverDetectionMethod", std::string("eventDriven"));
  defaults->set("hoverSamplingInterval", 0.02);  // the lower bound itself stays
  defaults->set("hoverCollapseDelay", -infinity);
  store = makeStore();
  EXPECT_EQ(store->hoverDetectionMethod.get(), HoverDetectionMethod::eventDriven);
  EXPECT_EQ(store->hoverSamplingInterval.get(), 0.02);
  EXPECT_EQ(store->hoverCollapseDelay.get(), 0.4);
}

TEST_F(StoreTest, TimingSettersSanitiseAndPersistWhilePlainAssignmentOnlyPublishes) {
  auto store = makeStore();
  store->setHoverSamplingInterval(0);
  store->setHoverCollapseDelay(infinity);
  store->setHoverRevealDelay(notANumber);
  EXPECT_EQ(defaults->number("hoverSamplingInterval"), 0.02);
  EXPECT_EQ(defaults->number("hoverCollapseDelay"), 0.4);
  EXPECT_EQ(defaults->number("hoverRevealDelay"), 0.15);
  store->setHoverSamplingInterval(0.2000001);
  store->setHoverCollapseDelay(2.0);
  store->setHoverRevealDelay(0.5);
  EXPECT_EQ(store->hoverSamplingInterval.get(), 0.2);
  EXPECT_EQ(store->hoverCollapseDelay.get(), 2.0);
  EXPECT_EQ(defaults->number("hoverRevealDelay"), 0.5);

  store->hoverSamplingInterval.set(7);
  EXPECT_EQ(store->hoverSamplingInterval.get(), 7);
  EXPECT_EQ(defaults->number("hoverSamplingInterval"), 0.2);
}

TEST_F(StoreTest, SubscribersSeeNewValuesBeforeTheyArePersisted) {
  auto store = makeStore();
  std::vector<std::string> seen;
  auto a = store->expandOnHover.subscribe([&](const bool& v) {
    seen.push_back(std::string("expand ") + (v ? "1" : "0") + " stored " +
                   (store->expandOnHover.get() ? "1" : "0") + " persisted " +
                   (*defaults->boolean("expandOnHover") ? "1" : "0"));
  });
  auto b = store->hoverDetectionMethod.subscribe([&](const HoverDetectionMethod& m) {
    seen.push_back("method " + std::string(rawValue(m)) + " persisted " + *defaults->string("hoverDetectionMethod"));
  });
  auto c = store->hoverRevealDelay.subscribe(
      [&](const double& v) { seen.push_back("delay " + std::to_string(v) + " persisted " +
                                            std::to_string(*defaults->number("hoverRevealDelay"))); });
  store->expandOnHover.set(true);
  store->hoverDetectionMethod.set(HoverDetectionMethod::eventDriven);
  store->setHoverRevealDelay(3);
  EXPECT_EQ(seen, (std::vector<std::string>{"expand 1 stored 0 persisted 0", "method eventDriven persisted polling",
                                            "delay 1.000000 persisted 0.150000"}));
  EXPECT_EQ(defaults->boolean("expandOnHover"), true);
  EXPECT_EQ(defaults->string("hoverDetectionMethod"), "eventDriven");
}

TEST_F(StoreTest, StoredRowsAndLayoutLoadOnlyWhenValid) {
  storeText("menuBarItems.v1", R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"a","detail":"b",)"
                               R"("symbol":"c","tintHex":"000000","visibility":"hidden","order":0}])");  // no isEnabled
  storeText("Vimbo.MenuBarLayout.v1", R"({"version":2,"orderedIdentities":["visible",["x|window=a|ax=b"]]})");
  auto store = makeStore();
  EXPECT_EQ(store->items.get(), MenuBarStore::sampleItems());
  EXPECT_EQ(store->menuBarLayout.get(), MenuBarLayoutRecord{});
  EXPECT_EQ(storedText("Vimbo.MenuBarLayout.v1")->substr(0, 12), R"({"version":2)");  // left until the next save

  storeText("Vimbo.MenuBarLayout.v1", R"({"orderedIdentities":["visible",["x|window=a|ax=b"]]})");
  EXPECT_EQ(makeStore()->menuBarLayout.get(), MenuBarLayoutRecord{});  // no version reads as 0

  const std::vector<MenuBarItem> rows{{UUID(), "n", "d", "s", "112233", ItemVisibility::tucked, false, 4}};
  storeText("menuBarItems.v1", *MenuBarItem::encodeList(rows));
  storeText("Vimbo.MenuBarLayout.v1", R"({"orderedIdentities":["hidden",["x|window=a|ax=b"]],"version":1})");
  store = makeStore();
  EXPECT_EQ(store->items.get(), rows);
  EXPECT_EQ(store->menuBarLayout.get().orderedIdentities.at(MenuBarLayoutZone::hidden),
            std::vector<std::string>{"x|window=a|ax=b"});
}

TEST_F(StoreTest, ResetRestoresRowsPanelAndTimingsOnly) {
  auto store = makeStore();
  store->items.set({});
  store->isExpanded.set(true);
  store->searchText.set("x");
  store->setHoverRevealDelay(0.9);
  store->collapseOnPointerExit.set(false);
  store->showLabels.set(false);
  store->hoverDetectionMethod.set(HoverDetectionMethod::eventDriven);
  store->menuBarLayout.set(MenuBarLayoutRecord{7, {}});
  int announcements = 0;
  auto s = store->objectWillChange.subscribe([&](const std::uint64_t&) { ++announcements; });
  store->reset();
  EXPECT_GT(announcements, 0);
  EXPECT_EQ(store->items.get(), MenuBarStore::sampleItems());
  EXPECT_FALSE(store->isExpanded.get());
  EXPECT_EQ(store->searchText.get(), "");
  EXPECT_EQ(defaults->number("hoverRevealDelay"), 0.15);
  EXPECT_EQ(defaults->boolean("collapseOnPointerExit"), true);
  EXPECT_EQ(MenuBarItem::decodeList(*storedText("menuBarItems.v1")), MenuBarStore::sampleItems());
  EXPECT_FALSE(store->showLabels.get());
  EXPECT_EQ(store->hoverDetectionMethod.get(), HoverDetectionMethod::eventDriven);
  EXPECT_EQ(store->menuBarLayout.get().version, 7);
}

TEST_F(StoreTest, LoginItemSuccessAndFailure) {
  auto store = makeStore();
  store->setLaunchAtLogin(true);
  EXPECT_TRUE(store->launchAtLogin.get());
  EXPECT_EQ(store->lastError.get(), std::nullopt);
  store->setLaunchAtLogin(false);
  EXPECT_FALSE(store->launchAtLogin.get());

  // Unregistering an item that is not registered fails: the flag mirrors the platform.
  store->setLaunchAtLogin(false);
  EXPECT_FALSE(store->launchAtLogin.get());
  EXPECT_EQ(store->lastError.get(), "无法更新登录项：登录项尚未注册。");

  login.setStatus(platform::LoginItemStatus::enabled);
  login.setFailUnregister(true);
  store->setLaunchAtLogin(false);
  EXPECT_TRUE(store->launchAtLogin.get());

  // On success the requested value shows, even while approval is still pending.
  login.setStatus(platform::LoginItemStatus::notRegistered);
  login.setRequiresApproval(true);
  store->setLaunchAtLogin(true);
  EXPECT_TRUE(store->launchAtLogin.get());
  EXPECT_EQ(login.status(), platform::LoginItemStatus::requiresApproval);
}
