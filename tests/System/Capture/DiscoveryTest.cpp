// Discovery against the simulated desktop: the notched laptop's table written out by hand, the
// window-list skip rules, screens and ordering.

#include "CaptureFixture.h"
#include "CountingPlatform.h"

namespace vimbo::capture_testing {
namespace {

struct Expected {
  const char* key;
  const char* identity;
  const char* name;
};

// Start-up scan with empty defaults, then one discovery. Only windows right of the notch can be
// hit-tested; every item stands on the screen, so none is collected.
const Expected kNotched[] = {
    {"lumen-notes", "com.lumenware.notes|window=Item-0|ax=identifier:com.lumenware.notes.status", "Lumen Notes"},
    {"tallybird", "io.tallybird.app|window=Item-0", "Tallybird"},
    {"quietfox-vpn", "net.quietfox.vpn|window=Item-0|ax=description:Quietfox VPN menu", "Quietfox VPN"},
    {"pebblesync", "com.pebblesync.agent|window=Item-0|ax=identifier:com.pebblesync.agent.status", "Pebblesync"},
    {"orbit-timer", "app.orbittimer|window=Item-0|ax=bundle:app.orbittimer", "Orbit Timer"},
    {"kettle-weather", "com.kettle.weather|window=Item-0|ax=description:Kettle Weather menu", "Kettle Weather"},
    {"marmot-clipboard", "com.marmot.clip|window=Item-0|ax=description:Marmot Clipboard", "Marmot Clipboard"},
    {"nimbus-drive", "com.nimbus.drive|window=Item-0|ax=bundle:com.nimbus.drive", "Nimbus Drive"},
    {"bytecount", "org.bytecount.meter|window=Item-0|ax=description:Bytecount menu", "Bytecount"},
    {"fernpad", "com.fernpad.mini|window=Item-0|ax=identifier:com.fernpad.mini.status", "Fernpad"},
    {"glowworm", "com.glowworm.battery|window=Item-0|ax=bundle:com.glowworm.battery", "Glowworm"},
    {"harbor-mail", "com.harbor.mail|window=Item-0|ax=description:Harbor Mail menu", "Harbor Mail"},
    {"inkwell", "com.inkwell.capture|window=Item-0|ax=identifier:com.inkwell.capture.status", "Inkwell"},
    {"juniper-music", "com.juniper.music|window=Item-0|ax=bundle:com.juniper.music", "Juniper Music"},
    {"spotlight", "com.apple.Spotlight|window=Item-0|ax=identifier:com.apple.menuextra.spotlight", "Spotlight"},
    {"input-menu", "com.apple.systemuiserver|window=Item-0|ax=identifier:com.apple.menuextra.textinput", "TextInputMenuAgent"},
    {"bluetooth", "com.apple.controlcenter|window=Bluetooth|ax=identifier:com.apple.menuextra.bluetooth", "蓝牙"},
    {"sound", "com.apple.controlcenter|window=Sound|ax=identifier:com.apple.menuextra.sound", "Sound"},
    {"wifi", "com.apple.controlcenter|window=WiFi|ax=identifier:com.apple.menuextra.wifi", "Wi\u2011Fi"},
    {"battery", "com.apple.controlcenter|window=Battery|ax=identifier:com.apple.menuextra.battery", "电池"},
    {"control-center", "com.apple.controlcenter|window=BentoBox-0|ax=identifier:com.apple.menuextra.controlcenter", "控制中心"},
    {"clock", "com.apple.controlcenter|window=Clock|ax=identifier:com.apple.menuextra.clock", "时钟"},
};

class Discovery : public CaptureWorld {};

TEST_F(Discovery, NotchedLaptopMatchesTheHandWrittenTable) {
  startShipped("notched-laptop.json");
  service->preparePreDividerMenuExtraCandidates();
  auto items = service->discoverMenuBarItems();
  ASSERT_EQ(items.size(), std::size(kNotched));
  for (size_t i = 0; i < items.size(); ++i) {
    const auto& e = kNotched[i];
    auto view = world().item(e.key);
    ASSERT_TRUE(view) << e.key;
    EXPECT_EQ(items[i].id, view->windowNumber) << "position " << i << " should be " << e.key;
    EXPECT_EQ(items[i].stableIdentity, e.identity) << e.key;
    EXPECT_EQ(items[i].name, e.name) << e.key;
    EXPECT_FALSE(items[i].isCollected) << e.key;
    EXPECT_FALSE(items[i].image) << e.key;
    EXPECT_EQ(items[i].originalFrame, view->frame) << e.key;
  }
  // The same pass again gives the same table: nothing learned in the first changes the second.
  auto again = service->discoverMenuBarItems();
  ASSERT_EQ(again.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(again[i].stableIdentity, items[i].stableIdentity);
    EXPECT_EQ(again[i].name, items[i].name);
  }
}

TEST_F(Discovery, OwnWindowsNeverAppearAndOneWindowListCopyPerPass) {
  startShipped("plain-1920.json");
  auto& bar = env->sim().statusBar;
  auto divider = bar.statusItem(1);
  divider->setAutosaveName("Vimbo.HiddenDivider");
  auto control = bar.statusItem(24);
  control->setAutosaveName("Vimbo.Control");
  CountingPlatform counting(env->platform());
  MenuBarCaptureService counted(counting.platform, defaults, executor);
  auto items = counted.discoverMenuBarItems();
  EXPECT_EQ(counting.counts.windowListCopies, 1);
  EXPECT_EQ(items.size(), 14u);
  for (const auto& i : items) EXPECT_FALSE(i.windowName.starts_with("Vimbo.")) << i.windowName;
}

TEST_F(Discovery, WindowListSkipRules) {
  sim::WorldSpec spec;
  spec.screens = {plainScreen()};
  spec.apps = {app(601, "Anvil", "com.anvil")};
  auto noBundle = app(602, "Loose", "");
  noBundle.bundleIdentifier.reset();
  spec.apps.push_back(noBundle);
  spec.items = {item("a", "Item-0", 601), item("b", "Item-0", 601), item("c", "Item-0", 601), item("d", "Item-0", 602),
                item("e", "Item-0", 601), item("f", "Item-0", 601)};
  start(spec);
  auto window = [&](const char* key) { return world().item(key)->windowNumber; };
  const Rect a = world().item("a")->frame;
  world().overrideWindowField(window("a"), platform::windowkey::bounds, Rect(a.x, a.y, a.width, 40));
  world().overrideWindowField(window("b"), platform::windowkey::bounds, Rect(a.x, a.y, a.width, 40.5));
  world().overrideWindowField(window("c"), platform::windowkey::layer, std::string("25"));
  world().overrideWindowField(window("d"), platform::windowkey::ownerName, std::nullopt);
  world().overrideWindowField(window("e"), platform::windowkey::name, std::nullopt);
  world().overrideWindowField(window("f"), platform::windowkey::bounds, Rect(a.x, a.y, 0, 24));

  auto records = service->menuBarWindowMetadata();
  std::map<uint32_t, MenuBarCaptureService::WindowMetadata> byID;
  for (auto& r : records) byID[r.windowID] = r;
  EXPECT_TRUE(byID.contains(window("a")));   // 40 pt high stays
  EXPECT_FALSE(byID.contains(window("b")));  // 40.5 pt is dropped
  EXPECT_FALSE(byID.contains(window("c")));  // a layer that is not an integer
  EXPECT_FALSE(byID.contains(window("f")));  // zero width
  ASSERT_TRUE(byID.contains(window("d")));
  EXPECT_EQ(byID[window("d")].ownerName, "菜单栏项目");
  EXPECT_EQ(byID[window("d")].ownerBundleIdentifier, "owner:菜单栏项目");
  ASSERT_TRUE(byID.contains(window("e")));
  EXPECT_EQ(byID[window("e")].windowName, "");
  EXPECT_EQ(byID[window("e")].ownerBundleIdentifier, "com.anvil");

  EXPECT_EQ(service->currentFrame(window("a")), Rect(a.x, a.y, a.width, 40));
  EXPECT_FALSE(service->currentFrame(window("f")));
  EXPECT_FALSE(service->currentFrame(999999));

  world().switches().windowListUnavailable = true;
  EXPECT_TRUE(service->discoverMenuBarItems().empty());
  EXPECT_FALSE(service->currentFrame(window("a")));
}

TEST_F(Discovery, EqualMinXOrdersByWindowNameThenOwner) {
  sim::WorldSpec spec;
  spec.screens = {plainScreen()};
  spec.apps = {app(601, "Anvil", "com.b.anvil"), app(602, "Bolt", "com.a.bolt")};
  spec.items = {item("z", "Zeta", 601), item("y", "Alpha", 601), item("x", "Alpha", 602)};
  start(spec);
  const Rect f = world().item("z")->frame;
  for (const char* key : {"y", "x"}) world().overrideWindowField(world().item(key)->windowNumber, platform::windowkey::bounds, f);
  auto items = service->discoverMenuBarItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].ownerBundleIdentifier, "com.a.bolt");
  EXPECT_EQ(items[1].windowName, "Alpha");
  EXPECT_EQ(items[1].ownerBundleIdentifier, "com.b.anvil");
  EXPECT_EQ(items[2].windowName, "Zeta");
}

TEST_F(Discovery, ScreensAreComparedInWindowServerCoordinates) {
  startShipped("two-displays.json");
  auto items = service->discoverMenuBarItems();
  ASSERT_EQ(items.size(), 14u);
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_FALSE(items[i].isCollected) << items[i].stableIdentity;
    if (i) {
      EXPECT_LT(items[i - 1].originalFrame.minX(), items[i].originalFrame.minX());
    }
  }
  EXPECT_EQ(items.back().windowName, "Clock");
  // On the side display by its window-server bounds (y 200...1280), though its AppKit frame
  // spans y -380...700.
  EXPECT_TRUE(service->isFrameOnScreen(Rect(2000, 1000, 30, 24)));
  EXPECT_FALSE(service->isOutsideVisibleScreens(Rect(2000, 1000, 30, 24)));
  // Above the side display and right of the main one: on no screen at all.
  EXPECT_FALSE(service->isFrameOnScreen(Rect(2000, 50, 30, 24)));
  EXPECT_TRUE(service->isOutsideVisibleScreens(Rect(2000, 50, 30, 24)));
  // Touching edges do not count.
  EXPECT_FALSE(service->isFrameOnScreen(Rect(-30, 0, 30, 24)));
  EXPECT_TRUE(service->isFrameOnScreen(Rect(-29, 0, 30, 24)));

  world().setScreens({});
  for (const auto& i : service->discoverMenuBarItems()) EXPECT_TRUE(i.isCollected) << i.windowName;
  EXPECT_FALSE(service->isFrameInAuxiliaryTopRightArea(Rect(100, 0, 30, 24)));
}

TEST_F(Discovery, HitTestIdentityNeedsTheRightProcess) {
  startShipped("notched-laptop.json");
  // An "Item-0" window needs a start-up pairing for its exact window number first.
  EXPECT_FALSE(metadata("kettle-weather").accessibilityIdentity);
  service->preparePreDividerMenuExtraCandidates();
  // The walk ignores descriptions: past the bar it reaches the application's title.
  EXPECT_EQ(metadata("kettle-weather").accessibilityIdentity, "title:Kettle Weather");
  EXPECT_EQ(metadata("orbit-timer").accessibilityIdentity, std::nullopt);  // not paired
  EXPECT_EQ(metadata("sound").accessibilityIdentity, "identifier:com.apple.menuextra.sound");
  // Two candidates on the window's frame and no pairing: no accepted process.
  auto& candidates = service->mutableStateForTesting().menuExtraDisplayCandidates;
  auto twin = *std::find_if(candidates.begin(), candidates.end(),
                            [](const auto& c) { return c.accessibilityIdentity == "identifier:com.apple.menuextra.sound"; });
  twin.processIdentifier = 302;
  candidates.push_back(twin);
  EXPECT_FALSE(metadata("sound").accessibilityIdentity);
  // Left of the notch nothing can be hit at all.
  EXPECT_FALSE(service->accessibilityHitPID(world().item("tallybird")->frame));
}

TEST_F(Discovery, NotchAreaToleratesTwoPoints) {
  startShipped("notched-laptop.json");
  // Right of the notch: x 856...1512, y 0...37 in window-server coordinates.
  EXPECT_TRUE(service->isFrameInAuxiliaryTopRightArea(Rect(854, -2, 30, 41)));
  EXPECT_FALSE(service->isFrameInAuxiliaryTopRightArea(Rect(853.9, 0, 30, 37)));
  EXPECT_TRUE(service->isFrameInAuxiliaryTopRightArea(Rect(1484, 0, 30, 37)));
  EXPECT_FALSE(service->isFrameInAuxiliaryTopRightArea(Rect(1484.1, 0, 30, 37)));
  EXPECT_FALSE(service->isFrameInAuxiliaryTopRightArea(Rect(700, 0, 30, 37)));
}

}  // namespace
}  // namespace vimbo::capture_testing
