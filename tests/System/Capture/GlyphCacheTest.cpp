// The glyph caches and the stored tables: hostile or corrupt defaults, caps, change detection
// and the lookup order of remembered pictures.

#include <chrono>
#include <random>

#include "CaptureFixture.h"
#include "Platform/Foundation/Image.h"
#include "Platform/Sim/Generator.h"
#include "Support/HandMadePNG.h"
#include "Support/LargestAllocation.h"

namespace vimbo::capture_testing {
namespace {

ImageRef glyph(uint32_t rgb) {
  std::vector<uint8_t> px(8 * 8 * 4, 0);
  for (int i = 0; i < 8 * 8; i += 3) {
    px[i * 4] = rgb >> 16;
    px[i * 4 + 1] = (rgb >> 8) & 0xFF;
    px[i * 4 + 2] = rgb & 0xFF;
    px[i * 4 + 3] = 255;
  }
  return platform::Image::make({4, 4}, 8, 8, px);
}

CapturedMenuBarItem itemNamed(std::string identity, std::string name) {
  CapturedMenuBarItem i;
  i.id = 7;
  i.stableIdentity = std::move(identity);
  i.name = std::move(name);
  i.windowName = "Item-0";
  i.ownerBundleIdentifier = "com.x";
  i.originalFrame = Rect(0, 0, 4, 4);
  return i;
}

class GlyphCache : public CaptureWorld {
 protected:
  void SetUp() override { start({}); }
};

TEST_F(GlyphCache, CorruptOrHostileStoredTablesAreHandledTableByTable) {
  const auto good = glyph(0xFF0000)->encodePNG();
  platform::Data truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  // One value that is not data spoils the whole glyph dictionary.
  defaults->set("capturedNativeGlyphs.v1", platform::DefaultsDictionary{{"a", good}, {"b", std::string("not data")}});
  // Undecodable pictures are dropped one by one.
  defaults->set("capturedNativeGlyphAliases.v1",
                platform::DefaultsDictionary{{"good", good}, {"bad", truncated}, {"empty", platform::Data{}}});
  const std::string aliases = R"({"windowID=1": {"observedWindowID": "one"}})";
  defaults->set("capturedMenuExtraAliases.v1", platform::Data(aliases.begin(), aliases.end()));
  const std::string names =
      R"({"com.x|window=W|ax=a": "Rain", "com.x|window=W": "NoAx", "com.x|window=W|ax=b": "com.x.y", "com.x|window=W|ax=c": "Item-0"})";
  defaults->set("capturedMenuExtraDisplayNames.v1", platform::Data(names.begin(), names.end()));
  makeService();
  const auto& s = service->state();
  EXPECT_TRUE(s.persistedNativeGlyphs.empty());
  ASSERT_EQ(s.persistedNativeGlyphAliases.size(), 1u);
  EXPECT_TRUE(s.persistedNativeGlyphAliases.contains("good"));
  EXPECT_TRUE(s.persistedMenuExtraAliases.empty());
  EXPECT_EQ(s.persistedDisplayNames, (std::map<std::string, std::string>{{"com.x|window=W|ax=a", "Rain"}}));
  // Nothing is written back at creation.
  EXPECT_EQ(defaults->dictionary("capturedNativeGlyphAliases.v1")->size(), 3u);

  // Wrong types under the keys, and a name table with a non-string value: empty tables.
  defaults->set("capturedNativeGlyphs.v1", std::string("x"));
  defaults->set("capturedMenuExtraAliases.v1", int64_t{3});
  const std::string mixed = R"({"com.x|window=W|ax=a": "Rain", "com.x|window=W|ax=d": 5})";
  defaults->set("capturedMenuExtraDisplayNames.v1", platform::Data(mixed.begin(), mixed.end()));
  makeService();
  EXPECT_TRUE(service->state().persistedNativeGlyphs.empty());
  EXPECT_TRUE(service->state().persistedMenuExtraAliases.empty());
  EXPECT_TRUE(service->state().persistedDisplayNames.empty());
}

TEST_F(GlyphCache, StoredTablesAreCutToTheirCapOnLoadSkippingWhatCouldNeverHaveBeenStored) {
  // Random pixels do not compress: a picture over the stored-size limit that would still decode.
  std::mt19937 noise(7);
  std::vector<uint8_t> px(300 * 300 * 4);
  for (auto& b : px) b = uint8_t(noise());
  const auto oversized = platform::Image::make({150, 150}, 300, 300, px)->encodePNG();
  ASSERT_GT(oversized.size(), MenuBarCaptureService::glyphMaxBytes);
  const auto tooManyPixels = test_support::oneColourPNG(513, 512, 0x336699FF);
  ASSERT_TRUE(platform::Image::decode(tooManyPixels));
  ASSERT_TRUE(platform::Image::decode(test_support::oneColourPNG(512, 512, 0x336699FF)));

  platform::DefaultsDictionary table;
  for (int i = 0; i < 100; ++i) table.emplace("k" + std::to_string(100 + i), glyph(0x010101 * uint32_t(i))->encodePNG());
  table.emplace("k900", oversized);
  table.emplace("k901", tooManyPixels);
  table.emplace("k902", platform::Data{1, 2, 3});
  defaults->set(std::string(MenuBarCaptureService::nativeGlyphsKey), table);
  defaults->set(std::string(MenuBarCaptureService::nativeGlyphAliasesKey), table);
  makeService();
  for (const auto* loaded : {&service->state().persistedNativeGlyphs, &service->state().persistedNativeGlyphAliases}) {
    ASSERT_EQ(loaded->size(), MenuBarCaptureService::glyphCap);
    EXPECT_EQ(loaded->begin()->first, "k104");  // the greatest keys are kept, as a flush would
    EXPECT_EQ(loaded->rbegin()->first, "k199");
  }
}

TEST_F(GlyphCache, HugeStoredGlyphsCostNeitherMemoryNorTimeAtStart) {
  // Sixteen one-colour 4096 x 4096 pictures, about 64 KB each, would take a gigabyte decoded.
  const auto huge = test_support::oneColourPNG(4096, 4096, 0xCC2020FF);
  ASSERT_LT(huge.size(), 100'000u);
  platform::DefaultsDictionary table;
  for (int i = 0; i < 16; ++i) table.emplace("huge" + std::to_string(i), huge);
  table.emplace("small", glyph(0x00FF00)->encodePNG());
  defaults->set(std::string(MenuBarCaptureService::nativeGlyphsKey), table);

  test_support::LargestAllocation probe;
  const auto started = std::chrono::steady_clock::now();
  makeService();
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_LT(probe.bytes(), 1u << 20);
  EXPECT_LT(took, std::chrono::milliseconds(500));
  EXPECT_EQ(service->state().persistedNativeGlyphs.size(), 1u);
  EXPECT_TRUE(service->state().persistedNativeGlyphs.contains("small"));
}

TEST_F(GlyphCache, StoresOnlyChangedPicturesWithinTheSizeLimit) {
  auto item = itemNamed("com.x|window=Item-0|ax=a", "Rain");
  service->persistNativeGlyph(glyph(0xFF0000), item, std::string("com.x|window=Item-0|name=Rain"));
  EXPECT_TRUE(service->state().glyphCacheNeedsFlush);
  service->flushGlyphDictionariesIfNeeded();
  EXPECT_FALSE(service->state().glyphCacheNeedsFlush);
  service->persistNativeGlyph(glyph(0xFF0000), item, std::string("com.x|window=Item-0|name=Rain"));
  EXPECT_FALSE(service->state().glyphCacheNeedsFlush);  // same bytes: nothing to write

  // Pictures over 262,144 bytes of encoded data are not persisted.
  std::vector<uint8_t> noise(512 * 512 * 4);
  uint32_t seed = 12345;
  for (auto& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  auto big = platform::Image::make({256, 256}, 512, 512, noise);
  ASSERT_GT(big->encodePNG().size(), MenuBarCaptureService::glyphMaxBytes);
  service->persistNativeGlyph(big, itemNamed("com.x|window=Item-0|ax=big", "Big"), std::nullopt);
  EXPECT_FALSE(service->state().persistedNativeGlyphs.contains("com.x|window=Item-0|ax=big"));

  // An empty identity can still store its alias.
  service->persistNativeGlyph(glyph(0x00FF00), itemNamed("", "Leaf"), std::string("com.x|window=Item-0|name=Leaf"));
  EXPECT_TRUE(service->state().persistedNativeGlyphAliases.contains("com.x|window=Item-0|name=Leaf"));
  EXPECT_FALSE(service->state().persistedNativeGlyphs.contains(""));
}

TEST_F(GlyphCache, FlushKeepsTheNinetySixGreatestKeys) {
  auto& s = service->mutableStateForTesting();
  auto picture = glyph(0x0000FF);
  for (int i = 0; i < 97; ++i) s.persistedNativeGlyphs["id" + std::to_string(100 + i)] = picture;
  s.glyphCacheNeedsFlush = true;
  service->flushGlyphDictionariesIfNeeded();
  EXPECT_EQ(service->state().persistedNativeGlyphs.size(), 96u);
  EXPECT_FALSE(service->state().persistedNativeGlyphs.contains("id100"));
  auto stored = defaults->dictionary("capturedNativeGlyphs.v1");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), 96u);
  EXPECT_FALSE(stored->contains("id100"));
}

// More items than the glyph tables keep.
class GlyphCacheOfAFullBar : public CaptureWorld {
 protected:
  void SetUp() override { start(sim::generateWorld(120)); }
};

TEST_F(GlyphCacheOfAFullBar, UnchangedPicturesKeepTheStoredTablesPastTheCapAndOldBytesStillLoad) {
  auto pass = [&] {
    service->preparePreDividerMenuExtraCandidates();
    run(service->captureImages(service->discoverMenuBarItems(), {}));
  };
  auto stored = [&](std::string_view key) { return *defaults->dictionary(std::string(key)); };
  pass();
  const auto glyphs = stored(MenuBarCaptureService::nativeGlyphsKey);
  const auto aliases = stored(MenuBarCaptureService::nativeGlyphAliasesKey);
  ASSERT_EQ(glyphs.size(), MenuBarCaptureService::glyphCap);
  for (int i = 0; i < 2; ++i) {
    pass();
    EXPECT_EQ(stored(MenuBarCaptureService::nativeGlyphsKey), glyphs);
    EXPECT_EQ(stored(MenuBarCaptureService::nativeGlyphAliasesKey), aliases);
    EXPECT_EQ(service->state().persistedNativeGlyphs.size(), MenuBarCaptureService::glyphCap);
  }

  // Bytes of another encoder (no text chunks, one IDAT) for the same pixels load after a restart.
  const auto& [key, value] = *glyphs.begin();
  const auto picture = platform::Image::decode(std::get<platform::Data>(value));
  ASSERT_TRUE(picture);
  std::string raw;
  for (int y = 0; y < picture->pixelHeight(); ++y) {
    raw.push_back('\0');
    const auto* row = picture->pixels().data() + size_t(y) * size_t(picture->pixelWidth()) * 4;
    raw.append(reinterpret_cast<const char*>(row), size_t(picture->pixelWidth()) * 4);
  }
  auto old = glyphs;
  old[key] = test_support::handMadePNG(uint32_t(picture->pixelWidth()), uint32_t(picture->pixelHeight()), 6, 8, raw);
  defaults->set(std::string(MenuBarCaptureService::nativeGlyphsKey), old);
  makeService();
  EXPECT_EQ(service->state().persistedNativeGlyphs.at(key)->pixels(), picture->pixels());
  pass();
  EXPECT_EQ(stored(MenuBarCaptureService::nativeGlyphsKey), glyphs);  // its point size differed: stored anew
  EXPECT_EQ(stored(MenuBarCaptureService::nativeGlyphAliasesKey), aliases);
}

TEST_F(GlyphCache, LookupOrderNeverGuesses) {
  auto& s = service->mutableStateForTesting();
  auto red = glyph(0xFF0000), green = glyph(0x00FF00), blue = glyph(0x0000FF);
  auto item = itemNamed("com.x|window=Item-0|ax=identifier:a", "Rain");
  s.persistedNativeGlyphs["com.x|window=Item-0|ax=identifier:a"] = red;
  EXPECT_EQ(service->persistedNativeGlyph(item, {}), red);  // exact

  item.stableIdentity = "com.x|window=Item-0|size=40x40";
  EXPECT_EQ(service->persistedNativeGlyph(item, {}), red);  // the one entry of the same base
  s.persistedNativeGlyphs["com.x|window=Item-0|ax=title:Rain gauge"] = green;
  EXPECT_EQ(service->persistedNativeGlyph(item, {}), green);  // two of that base; one with the title
  s.persistedNativeGlyphs["com.x|window=Item-0|ax=title:Rainy"] = blue;
  EXPECT_FALSE(service->persistedNativeGlyph(item, {}));  // two titles begin with the name
  s.persistedNativeGlyphAliases["com.x|window=Item-0|name=Rain"] = blue;
  EXPECT_FALSE(service->persistedNativeGlyph(item, {}));  // the alias key is not unique in this pass
  EXPECT_EQ(service->persistedNativeGlyph(item, {"com.x|window=Item-0|name=Rain"}), blue);
}

}  // namespace
}  // namespace vimbo::capture_testing
