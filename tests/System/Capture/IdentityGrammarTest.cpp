// The pure rules behind identities and names: grammar pieces, name tests, tolerances, the
// persisted alias encoding and the settling signatures.

#include <gtest/gtest.h>

#include "System/MenuBarCaptureService.h"

namespace vimbo {
namespace {

using S = MenuBarCaptureService;

TEST(IdentityGrammar, SizePartRoundsTenthsHalfAwayFromZero) {
  EXPECT_EQ(S::sizeSuffix(22.25, 24), "|size=223x240");
  EXPECT_EQ(S::sizeSuffix(21.95, 24), "|size=220x240");
  EXPECT_EQ(S::sizeSuffix(21.94, 37.5), "|size=219x375");
  EXPECT_EQ(S::tenthsOfPoint(-0.25), -3);
  // Hostile sizes never overflow the conversion.
  EXPECT_EQ(S::tenthsOfPoint(std::numeric_limits<double>::infinity()), 0);
  EXPECT_GT(S::tenthsOfPoint(1e300), 0);
}

TEST(IdentityGrammar, FixedIdentitiesCoverSixSystemExtrasOnly) {
  EXPECT_EQ(S::fixedMenuExtraAccessibilityIdentity("Clock"), "identifier:com.apple.menuextra.clock");
  EXPECT_EQ(S::fixedMenuExtraAccessibilityIdentity("BentoBox-0"), "identifier:com.apple.menuextra.controlcenter");
  EXPECT_EQ(S::fixedMenuExtraAccessibilityIdentity("FocusModes"), "identifier:com.apple.menuextra.focusmode");
  EXPECT_FALSE(S::fixedMenuExtraAccessibilityIdentity("Siri"));
  EXPECT_FALSE(S::fixedMenuExtraAccessibilityIdentity("clock"));
  // The display-name table is a different table: it has Siri and the non-breaking hyphen.
  EXPECT_EQ(S::fixedDisplayName("Siri"), "Siri");
  EXPECT_EQ(S::fixedDisplayName("WiFi"), "Wi\u2011Fi");
  EXPECT_EQ(S::fixedDisplayName("BentoBox-0"), "控制中心");
}

TEST(IdentityGrammar, TitleInsideIdentity) {
  EXPECT_EQ(S::accessibilityTitle("com.x|window=Item-0|ax=title:  Weather  "), "Weather");
  EXPECT_EQ(S::accessibilityTitle("com.x|window=Item-0|ax=title:Weather|size=220x240"), "Weather");
  EXPECT_EQ(S::accessibilityTitle("com.x|window=Item-0|ax=title:||Rain"), "Rain");
  EXPECT_FALSE(S::accessibilityTitle("com.x|window=Item-0|ax=identifier:abc"));
  EXPECT_FALSE(S::accessibilityTitle("com.x|window=Item-0|ax=title:   "));
}

TEST(IdentityGrammar, FirstNonEmptyLineSplitsAtEveryLineBreakOnly) {
  EXPECT_EQ(S::firstNonEmptyLine("\n\u2028  Two words\nsecond"), "  Two words");
  EXPECT_EQ(S::firstNonEmptyLine("a\u0085b"), "a");
  EXPECT_FALSE(S::firstNonEmptyLine("\r\n\u2029"));
}

TEST(IdentityGrammar, SavedIdentityDescriptor) {
  auto d = S::savedIdentityDescriptor("com.a|window=Item-0|ax=identifier:x|window=y");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->owner, "com.a");
  EXPECT_EQ(d->windowName, "Item-0");
  EXPECT_EQ(d->accessibilityIdentity, "identifier:x|window=y");
  auto empty = S::savedIdentityDescriptor("com.a|window=W|ax=");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->accessibilityIdentity, "");
  EXPECT_FALSE(S::savedIdentityDescriptor("com.a|window=Item-0"));
  EXPECT_FALSE(S::savedIdentityDescriptor("|window=Item-0|ax=x"));
  EXPECT_FALSE(S::savedIdentityDescriptor("com.a|window=|ax=x"));
  EXPECT_FALSE(S::savedIdentityDescriptor("com.a|ax=x|window=W"));
}

TEST(IdentityGrammar, SignaturesFormatFramesLocaleIndependently) {
  S::WindowMetadata m{7, "Item-0", "Owner", "com.a", 42, Rect(100.25, 0, 22.25, 37), std::nullopt};
  EXPECT_EQ(S::windowMetadataSignature(m), "7|com.a|Item-0|42|100.2,0.0,22.2,37.0|-");
  m.accessibilityIdentity = "title:T";
  EXPECT_EQ(S::windowMetadataStableSignature(m), "7|com.a|Item-0|42|22.2,37.0|title:T");
}

TEST(FrameMatch, TolerancesAreInclusiveAndOneSided) {
  const Rect c(100, 0, 20, 24);
  auto window = [&](double dw, double dh, double dx = 0, double dy = 0) {
    return Rect(c.midX() + dx - (c.width + dw) / 2, c.midY() + dy - (c.height + dh) / 2, c.width + dw, c.height + dh);
  };
  EXPECT_TRUE(S::framesMatch(window(17, 8), c));
  EXPECT_TRUE(S::framesMatch(window(-2.5, -2.5), c));
  EXPECT_FALSE(S::framesMatch(window(-2.6, 0), c));
  EXPECT_FALSE(S::framesMatch(window(17.1, 0), c));
  EXPECT_FALSE(S::framesMatch(window(0, 8.1), c));
  EXPECT_TRUE(S::framesMatch(window(0, 0, 2.5, 3.0), c));
  EXPECT_FALSE(S::framesMatch(window(0, 0, 2.6, 0), c));
  EXPECT_FALSE(S::framesMatch(window(0, 0, 0, 3.1), c));
}

TEST(NameTests, Placeholders) {
  for (const char* p : {"", "  \n", "系统项目", "菜单栏项目", "Item-0", " Item-0 ", "控制中心", "Control Center", "owner:Foo",
                        "a|window=b", "com.example.app", "a.b_c-d", "αβ.γδ"}) {
    EXPECT_TRUE(S::isPlaceholderWindowName(p)) << p;
    EXPECT_FALSE(S::isMeaningfulDisplayName(p)) << p;
  }
  for (const char* m : {"Wi-Fi", "Clock", "v1.2 beta", "...", "a.", "item-0", "Weather²", "²2.Ⅻ"}) {
    EXPECT_FALSE(S::isPlaceholderWindowName(m)) << m;
  }
}

TEST(NameTests, CompatibilityFoldsCaseAndDiacritics) {
  EXPECT_TRUE(S::isDisplayNameCompatible("anything", "Item-0"));
  EXPECT_TRUE(S::isDisplayNameCompatible("Café Menu", "CAFE"));
  EXPECT_TRUE(S::isDisplayNameCompatible("Wi-Fi", "WiFi"));
  EXPECT_FALSE(S::isDisplayNameCompatible("Weather", "Clock"));
  EXPECT_FALSE(S::isDisplayNameCompatible("---", "---"));
  EXPECT_FALSE(S::isDisplayNameCompatible("Rain", "item-0"));
}

TEST(NameTests, FriendlyNames) {
  S::MenuExtraDisplayCandidate c;
  c.bundleIdentifier = "com.apple.TextInputMenuAgent";
  c.applicationName = "Text Input";
  c.itemDescription = " 拼音，简体 ";
  EXPECT_EQ(S::friendlyDisplayName(c), "拼音，简体");
  c.bundleIdentifier = "com.setapp.DesktopClient.SetappLauncher";
  EXPECT_EQ(S::friendlyDisplayName(c), "Setapp");
  c.bundleIdentifier = "com.x";
  c.applicationName = "Weather Helper";
  EXPECT_EQ(S::friendlyDisplayName(c), "Weather ");
  c.applicationName = "Helper";
  EXPECT_EQ(S::friendlyDisplayName(c), "Helper");
  c.applicationName = "Control Center";
  EXPECT_EQ(S::friendlyDisplayName(c), "拼音");
  c.itemDescription.reset();
  c.itemTitle = "Title";
  EXPECT_EQ(S::friendlyDisplayName(c), "Title");
  c.itemTitle = "  ";
  c.itemHelp = "Help text，more";
  EXPECT_EQ(S::friendlyDisplayName(c), "Help text");
  c.itemHelp.reset();
  EXPECT_FALSE(S::friendlyDisplayName(c));
}

TEST(PersistedTables, AliasesRoundTripExactlyAndOmitAbsentVerification) {
  std::map<std::string, S::PersistedMenuExtraAlias> aliases;
  aliases["windowID=12"] = {12, "com.a", "Item-0", 501, 22.1, 37.3, "com.b", 502, "Rain", "identifier:x", "safe-hit"};
  aliases["windowID=9"] = {9, "com.c", "W", -1, 0.1 + 0.2, 24, "com.d", 7, "名字", "bundle:com.d", std::nullopt};
  const std::string json = S::encodeAliases(aliases);
  EXPECT_NE(json.find("\"verification\":\"safe-hit\""), std::string::npos);
  EXPECT_EQ(json.find("null"), std::string::npos);
  auto decoded = S::decodeAliases(json);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, aliases);
}

TEST(PersistedTables, AliasDecodingFailsWholeOnAnyBadEntry) {
  const std::string good =
      R"({"observedWindowID":1,"ownerBundleIdentifier":"a","windowName":"w","ownerPID":1,"width":1,"height":2,)"
      R"("candidateBundleIdentifier":"b","candidateProcessIdentifier":3,"displayName":"n","accessibilityIdentity":"i"})";
  EXPECT_TRUE(S::decodeAliases(R"({"windowID=1":)" + good + "}"));
  EXPECT_FALSE(S::decodeAliases("[]"));
  EXPECT_FALSE(S::decodeAliases("{not json"));
  EXPECT_FALSE(S::decodeAliases(R"({"windowID=1":)" + good + R"(,"windowID=2":{"observedWindowID":-1}})"));
  std::string negativeID = good;
  negativeID.replace(negativeID.find("\"observedWindowID\":1"), 20, "\"observedWindowID\":-4");
  EXPECT_FALSE(S::decodeAliases(R"({"k":)" + negativeID + "}"));
  std::string hugePID = good;
  hugePID.replace(hugePID.find("\"ownerPID\":1"), 12, "\"ownerPID\":99999999999");
  EXPECT_FALSE(S::decodeAliases(R"({"k":)" + hugePID + "}"));
}

TEST(PersistedTables, DisplayNameFilterKeepsMeaningfulPersistableAndGreatestKeys) {
  std::map<std::string, std::string> names;
  names["a|window=W|ax=x"] = "Rain";
  names["a|window=W"] = "NoAx";
  names["a|window=W|ax=x|slot=0"] = "Slot";
  names["a|window=W|ax=y"] = "Item-0";
  names["a|window=W|ax=z"] = "com.example.app";
  auto kept = S::filteredPersistedDisplayNames(names);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept.begin()->second, "Rain");

  std::map<std::string, std::string> many;
  for (int i = 0; i < 129; ++i) many["k|window=W|ax=" + std::to_string(1000 + i)] = "Name";
  auto capped = S::filteredPersistedDisplayNames(many);
  EXPECT_EQ(capped.size(), 128u);
  EXPECT_FALSE(capped.contains("k|window=W|ax=1000"));
}

}  // namespace
}  // namespace vimbo
