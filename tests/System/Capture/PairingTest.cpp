// Pairing windows with accessibility candidates and the persisted aliases that remember them.

#include <nlohmann/json.hpp>

#include "CaptureFixture.h"

namespace vimbo::capture_testing {
namespace {

nlohmann::json storedJSON(platform::UserDefaults& d, const std::string& key) {
  auto data = d.data(key);
  if (!data) return nullptr;
  return nlohmann::json::parse(data->begin(), data->end(), nullptr, false);
}

std::string aliasKey(uint32_t window) { return "windowID=" + std::to_string(window); }

class Pairing : public CaptureWorld {
 protected:
  void SetUp() override {
    startShipped("notched-laptop.json");
    service->preparePreDividerMenuExtraCandidates();
  }
  nlohmann::json aliases() { return storedJSON(*defaults, "capturedMenuExtraAliases.v1"); }
  uint32_t window(const char* key) { return world().item(key)->windowNumber; }
};

TEST_F(Pairing, StartUpPairsAreRecordedAsAliasesWithTheirEvidence) {
  auto stored = aliases();
  ASSERT_TRUE(stored.is_object());
  EXPECT_EQ(stored.size(), 19u);  // every item but tallybird, orbit-timer and sound
  auto kettle = stored.at(aliasKey(window("kettle-weather")));
  EXPECT_EQ(kettle.at("verification"), "safe-hit");
  EXPECT_EQ(kettle.at("accessibilityIdentity"), "description:Kettle Weather menu");
  EXPECT_EQ(kettle.at("displayName"), "Kettle Weather");
  EXPECT_EQ(kettle.at("height"), 37);
  EXPECT_EQ(stored.at(aliasKey(window("lumen-notes"))).at("verification"), "strict-ax");
  auto input = stored.at(aliasKey(window("input-menu")));
  EXPECT_EQ(input.at("ownerBundleIdentifier"), "com.apple.systemuiserver");
  EXPECT_EQ(input.at("candidateBundleIdentifier"), "com.apple.TextInputMenuAgent");
  EXPECT_EQ(input.at("candidateProcessIdentifier"), 303);
  EXPECT_FALSE(stored.contains(aliasKey(window("tallybird"))));  // a title identity outside the safe area

  auto names = storedJSON(*defaults, "capturedMenuExtraDisplayNames.v1");
  EXPECT_EQ(names.at("com.kettle.weather|window=Item-0|ax=description:Kettle Weather menu"), "Kettle Weather");
  EXPECT_EQ(service->state().menuExtraAXOwnerPIDs.at(window("input-menu")), 303);
  EXPECT_EQ(service->state().preDividerMenuExtraCandidates.size(), 19u);
}

TEST_F(Pairing, ACandidateWithoutAPositionChangesNoPair) {
  auto pairs = [&] {
    std::vector<std::pair<uint32_t, int32_t>> out;
    for (const auto& [w, c] : service->highConfidencePreDividerPairs(service->menuBarWindowMetadata())) {
      out.emplace_back(w.windowID, c.processIdentifier);
    }
    return out;
  };
  service->mutableStateForTesting().persistedMenuExtraAliases.clear();  // pairs by frame, not by alias
  const auto before = pairs();
  const auto scanned = service->state().menuExtraDisplayCandidates;
  MenuBarCaptureService::MenuExtraDisplayCandidate broken{Rect(std::nan(""), 0, 20, 37), 4242, "Broken", "com.broken", {}, {}, {}, {}};
  for (size_t at = 0; at <= scanned.size(); ++at) {
    auto candidates = scanned;
    candidates.insert(candidates.begin() + static_cast<std::ptrdiff_t>(at), broken);
    service->mutableStateForTesting().menuExtraDisplayCandidates = candidates;
    EXPECT_EQ(pairs(), before) << "inserted at " << at;
  }
}

TEST_F(Pairing, AnAliasWithoutItsCandidateIsSkippedAndOneWithCounterEvidenceIsDeleted) {
  auto kettle = metadata("kettle-weather");
  ASSERT_TRUE(service->persistedMenuExtraAlias(kettle));
  // The candidate's application does not answer: no candidate, the alias is kept.
  world().setUnresponsive(506, true);
  run(service->refreshMenuExtraDisplayNames());
  EXPECT_FALSE(service->persistedMenuExtraAlias(kettle));
  EXPECT_TRUE(aliases().contains(aliasKey(kettle.windowID)));
  // It answers again with another identity: the alias is deleted.
  world().setUnresponsive(506, false);
  world().itemSpec("kettle-weather").axDescription = platform::AXValue(std::string("Kettle Weather menu v2"));
  run(service->refreshMenuExtraDisplayNames());
  EXPECT_FALSE(service->persistedMenuExtraAlias(kettle));
  EXPECT_FALSE(aliases().contains(aliasKey(kettle.windowID)));
}

TEST_F(Pairing, ANewWindowOfTheSameCandidateReplacesItsOldAlias) {
  const uint32_t before = window("kettle-weather");
  world().restartApplication(506);
  executor.runUntilIdle();
  service->discoverMenuBarItems();  // the safe-right association records the new window
  auto stored = aliases();
  EXPECT_FALSE(stored.contains(aliasKey(before)));
  EXPECT_TRUE(stored.contains(aliasKey(window("kettle-weather"))));
  EXPECT_EQ(stored.size(), 19u);
}

TEST_F(Pairing, AliasesAreCappedBySmallestKeyAsStrings) {
  nlohmann::json junk = nlohmann::json::object();
  for (int i = 0; i < 130; ++i) {
    junk["windowID=" + std::to_string(1000 + i)] = {
        {"observedWindowID", 1000 + i}, {"ownerBundleIdentifier", "com.gone"}, {"windowName", "Item-0"}, {"ownerPID", 9},
        {"width", 30},  {"height", 24}, {"candidateBundleIdentifier", "com.gone"}, {"candidateProcessIdentifier", 9},
        {"displayName", "Gone"}, {"accessibilityIdentity", "identifier:gone"}, {"verification", "strict-ax"}};
  }
  const std::string text = junk.dump();
  defaults->set("capturedMenuExtraAliases.v1", platform::Data(text.begin(), text.end()));
  makeService();
  // Loading keeps the 128 greatest keys.
  EXPECT_EQ(service->state().persistedMenuExtraAliases.size(), 128u);
  EXPECT_FALSE(service->state().persistedMenuExtraAliases.contains("windowID=1001"));
  EXPECT_TRUE(service->state().persistedMenuExtraAliases.contains("windowID=1002"));
  // Storing removes the smallest other keys: "windowID=1002" sorts before "windowID=103".
  service->preparePreDividerMenuExtraCandidates();
  auto stored = aliases();
  EXPECT_EQ(stored.size(), 128u);
  EXPECT_FALSE(stored.contains("windowID=1002"));
  EXPECT_TRUE(stored.contains(aliasKey(window("clock"))));
}

TEST_F(Pairing, APlaceholderNeverReplacesAStoredMeaningfulName) {
  const std::string identity = "com.kettle.weather|window=Item-0|ax=description:Kettle Weather menu";
  service->learnDisplayName("com.kettle.weather", identity, nullptr);
  EXPECT_EQ(service->state().confirmedDisplayNames.at(identity), "com.kettle.weather");  // for this run
  EXPECT_EQ(service->state().persistedDisplayNames.at(identity), "Kettle Weather");
  EXPECT_EQ(storedJSON(*defaults, "capturedMenuExtraDisplayNames.v1").at(identity), "Kettle Weather");
  // Identities with a size or slot part learn for the run only.
  service->learnDisplayName("Rain", "com.x|window=Item-0|ax=bundle:com.x|size=300x370", nullptr);
  EXPECT_FALSE(service->state().persistedDisplayNames.contains("com.x|window=Item-0|ax=bundle:com.x|size=300x370"));
  // Rejected outright.
  service->learnDisplayName("owner:Kettle", "com.y|window=W|ax=x", nullptr);
  EXPECT_FALSE(service->state().confirmedDisplayNames.contains("com.y|window=W|ax=x"));
}

class NameTable : public CaptureWorld {};

TEST_F(NameTable, KeepsThe128GreatestKeysWhateverTheLearningOrder) {
  start({});
  auto identity = [](int i) { return "com.n|window=Item-0|ax=identifier:" + std::to_string(1000 + (i * 37) % 300); };
  std::set<std::string> all;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300; ++i) {
      service->learnDisplayName("Name " + std::to_string(i), identity(i), nullptr);
      all.insert(identity(i));
    }
  }
  const std::set<std::string> greatest(std::prev(all.end(), 128), all.end());
  std::set<std::string> kept;
  for (const auto& [k, v] : service->state().persistedDisplayNames) kept.insert(k);
  EXPECT_EQ(kept, greatest);
  const auto json = storedJSON(*defaults, "capturedMenuExtraDisplayNames.v1");
  std::set<std::string> stored;
  for (auto& [k, v] : json.items()) stored.insert(k);
  EXPECT_EQ(stored, greatest);
  // Every name is still confirmed for the run.
  EXPECT_EQ(service->state().confirmedDisplayNames.size(), 300u);
}

TEST_F(Pairing, ConfirmedNamesNeedTheirLiveCandidate) {
  auto sound = metadata("sound");
  const std::string identity = "com.apple.controlcenter|window=Sound|ax=identifier:com.apple.menuextra.sound";
  service->learnDisplayName("Loudness", identity, &sound, "com.apple.controlcenter", 300);
  // Control Center has six candidates: the confirmed name is not trusted.
  EXPECT_FALSE(service->confirmedDisplayName(sound, identity));
  service->learnDisplayName("Loudness", identity, &sound, "com.apple.Spotlight", 302);
  EXPECT_EQ(service->confirmedDisplayName(sound, identity), "Loudness");
  sound.frame.height += 0.5;
  EXPECT_FALSE(service->confirmedDisplayName(sound, identity));
}

}  // namespace
}  // namespace vimbo::capture_testing
