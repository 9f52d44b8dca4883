// Picture capture: the full pass, the pass without screen capture, the permission and
// shareable-content errors as values, the fallbacks, and a restart on the same defaults.

#include "CaptureFixture.h"
#include "Platform/Foundation/Image.h"

namespace vimbo::capture_testing {
namespace {

using Error = MenuBarCaptureService::CaptureError;

class Pictures : public CaptureWorld {
 protected:
  void SetUp() override {
    startShipped("notched-laptop.json");
    service->preparePreDividerMenuExtraCandidates();
    items = service->discoverMenuBarItems();
  }
  MenuBarCaptureService::CaptureImagesResult capture(std::map<std::string, ImageRef> preserving = {}) {
    return run(service->captureImages(items, std::move(preserving)));
  }
  const CapturedMenuBarItem& of(const std::vector<CapturedMenuBarItem>& list, const char* key) {
    const auto* found = find(list, key);
    EXPECT_TRUE(found) << key;
    return *found;
  }
  std::vector<CapturedMenuBarItem> items;
};

TEST(VisibleContent, SamplesAboutATwentyByTwentyGridAndNeedsSomeAlphaAndContrast) {
  // Opaque white on odd columns only, on a transparent ground.
  auto stripes = [](int width, uint8_t alpha) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * 4 * 4, 0);
    for (int y = 0; y < 4; ++y) {
      for (int x = 1; x < width; x += 2) {
        uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        p[0] = p[1] = p[2] = 255;
        p[3] = alpha;
      }
    }
    return platform::Image::make(Size(width / 2.0, 2), width, 4, std::move(rgba));
  };
  EXPECT_TRUE(MenuBarCaptureService::hasVisibleContent(stripes(39, 255)));   // every column sampled
  EXPECT_FALSE(MenuBarCaptureService::hasVisibleContent(stripes(40, 255)));  // every second column: all clear
  EXPECT_FALSE(MenuBarCaptureService::hasVisibleContent(stripes(39, 20)));   // max alpha 0.078
  EXPECT_TRUE(MenuBarCaptureService::hasVisibleContent(stripes(39, 21)));    // max alpha 0.082
  // Opaque and flat: neither alpha nor brightness varies.
  EXPECT_FALSE(MenuBarCaptureService::hasVisibleContent(
      platform::Image::make(Size(2, 2), 4, 4, std::vector<uint8_t>(64, 255))));
  EXPECT_FALSE(MenuBarCaptureService::hasVisibleContent(nullptr));
}

TEST_F(Pictures, FullCaptureGivesEveryItemAPictureAndRemembersThem) {
  auto result = capture();
  ASSERT_FALSE(result.error);
  ASSERT_EQ(result.items.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(result.items[i].id, items[i].id);
    EXPECT_EQ(result.items[i].stableIdentity, items[i].stableIdentity);
    EXPECT_EQ(result.items[i].isCollected, items[i].isCollected);
    ASSERT_TRUE(result.items[i].image) << items[i].stableIdentity;
    EXPECT_TRUE(MenuBarCaptureService::hasVisibleContent(result.items[i].image));
  }
  const auto& clock = of(result.items, "clock");
  EXPECT_TRUE(clock.image->isTemplate());
  EXPECT_FALSE(service->state().sessionGlyphImages.contains(clock.id));
  EXPECT_FALSE(service->state().persistedNativeGlyphs.contains(clock.stableIdentity));
  EXPECT_EQ(of(result.items, "kettle-weather").image->pointSize(), (Size{34, 37}));
  EXPECT_EQ(service->state().sessionGlyphImages.size(), items.size() - 1);
  auto stored = defaults->dictionary("capturedNativeGlyphs.v1");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), items.size() - 1);
  EXPECT_FALSE(service->state().glyphCacheNeedsFlush);
}

TEST_F(Pictures, MissingPermissionIsAValueAndChangesNothing) {
  world().switches().screenCaptureGranted = false;
  auto result = capture();
  ASSERT_TRUE(result.error);
  EXPECT_EQ(*result.error, Error::permissionRequired());
  EXPECT_EQ(result.error->description(), "需要“屏幕与系统音频录制”权限才能显示收纳图标。");
  EXPECT_TRUE(result.items.empty());
  EXPECT_TRUE(service->state().sessionGlyphImages.empty());
  EXPECT_FALSE(defaults->hasObject("capturedNativeGlyphs.v1"));

  // Without permission the visible pass still answers, from the symbol and the caches only.
  auto visible = service->captureVisibleImages(items, {});
  EXPECT_TRUE(of(visible, "clock").image);
  EXPECT_FALSE(of(visible, "kettle-weather").image);
}

TEST_F(Pictures, ShareableContentFailureComesBackAsItsOwnError) {
  world().switches().shareableContentFails = true;
  auto result = capture();
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->kind, Error::Kind::shareableContent);
  EXPECT_FALSE(result.error->description().empty());
  EXPECT_TRUE(service->state().sessionGlyphImages.empty());
}

TEST_F(Pictures, FallbacksInOrder) {
  // A blank screenshot falls back to the window server; with the bridge off, to the window image.
  world().faults("kettle-weather").screenshotBlank = true;
  world().switches().screenRectBridgeAvailable = false;
  auto first = capture();
  ASSERT_FALSE(first.error);
  EXPECT_TRUE(of(first.items, "kettle-weather").image);

  // Every picture path fails: the session glyph of this run stands in.
  world().faults("kettle-weather").captureFails = true;
  auto second = capture();
  const auto& kettle = of(second.items, "kettle-weather");
  ASSERT_TRUE(kettle.image);
  EXPECT_EQ(kettle.image->encodePNG(), of(first.items, "kettle-weather").image->encodePNG());

  // Not once the window's height changed: the caller's picture, then the remembered glyph.
  auto& session = service->mutableStateForTesting().sessionGlyphImages.at(kettle.id);
  session.height += 0.5;
  auto preserved = platform::Image::symbol("star");
  auto third = capture({{kettle.stableIdentity, preserved}});
  EXPECT_EQ(of(third.items, "kettle-weather").image, preserved);
  service->mutableStateForTesting().sessionGlyphImages.at(kettle.id).height += 0.5;
  auto fourth = capture();
  ASSERT_TRUE(of(fourth.items, "kettle-weather").image);
  EXPECT_EQ(of(fourth.items, "kettle-weather").image->encodePNG(), kettle.image->encodePNG());
}

TEST_F(Pictures, ARestartWithoutPermissionBringsBackGlyphsAliasesAndNames) {
  auto captured = capture();
  ASSERT_FALSE(captured.error);

  world().switches().screenCaptureGranted = false;
  makeService();
  EXPECT_EQ(service->state().persistedMenuExtraAliases.size(), 19u);
  EXPECT_EQ(service->state().persistedDisplayNames.at("com.kettle.weather|window=Item-0|ax=description:Kettle Weather menu"),
            "Kettle Weather");
  run(service->refreshMenuExtraDisplayNames());
  auto again = service->discoverMenuBarItems();
  // The input menu's window belongs to another process than its element: only the stored alias
  // can name it after a restart that made no start-up pairs.
  const auto& input = of(again, "input-menu");
  EXPECT_EQ(input.stableIdentity, "com.apple.systemuiserver|window=Item-0|ax=identifier:com.apple.menuextra.textinput");
  EXPECT_EQ(input.name, "TextInputMenuAgent");

  auto visible = service->captureVisibleImages(again, {});
  for (const auto& item : visible) {
    ASSERT_TRUE(item.image) << item.stableIdentity;
    if (item.windowName == "Clock") continue;
    const auto* before = find(captured.items, world().itemByWindow(item.id)->specKey);
    ASSERT_TRUE(before);
    EXPECT_EQ(item.image->encodePNG(), before->image->encodePNG()) << item.stableIdentity;
  }
}

TEST_F(Pictures, APlaceholderNameIsBackFilledFromAMatchingRememberedGlyph) {
  auto captured = capture();
  auto kettle = of(captured.items, "kettle-weather");
  kettle.name = "Item-0";
  kettle.stableIdentity = "com.kettle.weather|window=Item-0|size=340x370";
  auto& aliases = service->mutableStateForTesting().persistedNativeGlyphAliases;
  EXPECT_TRUE(aliases.contains("com.kettle.weather|window=Item-0|name=Kettle Weather"));
  world().switches().screenCaptureGranted = false;  // the session glyph supplies the same picture
  auto visible = service->captureVisibleImages({kettle}, {});
  EXPECT_EQ(visible.at(0).name, "Kettle Weather");
  EXPECT_EQ(service->state().confirmedDisplayNames.at(kettle.stableIdentity), "Kettle Weather");
  // Two remembered names for the same picture: no guess.
  aliases["com.kettle.weather|window=Item-0|name=Other"] = aliases.at("com.kettle.weather|window=Item-0|name=Kettle Weather");
  EXPECT_EQ(service->captureVisibleImages({kettle}, {}).at(0).name, "Item-0");
}

}  // namespace
}  // namespace vimbo::capture_testing
