// Ranking captured items against a typed query: which field and which test decides, folding, the
// compact forms, and the order of ties.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Views/CapturedMenuBarSearch.h"

namespace vimbo {
namespace {

CapturedMenuBarItem item(uint32_t id, std::string name, std::string owner = "Owner", std::string window = "Window",
                         std::string bundle = "com.example.owner") {
  CapturedMenuBarItem i;
  i.id = id;
  i.name = std::move(name);
  i.ownerName = std::move(owner);
  i.windowName = std::move(window);
  i.ownerBundleIdentifier = std::move(bundle);
  return i;
}

std::vector<uint32_t> ids(const std::vector<CapturedMenuBarItem>& items) {
  std::vector<uint32_t> out;
  for (const auto& i : items) out.push_back(i.id);
  return out;
}

struct ScoreCase {
  const char* label;
  CapturedMenuBarItem item;
  const char* query;
  std::optional<int> expected;
};

class Score : public ::testing::TestWithParam<ScoreCase> {};

TEST_P(Score, FirstHitInFieldAndTestOrderDecides) {
  const ScoreCase& c = GetParam();
  EXPECT_EQ(CapturedMenuBarSearch::score(c.item, CapturedMenuBarSearch::normalized(c.query)), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Score,
    ::testing::Values(
        ScoreCase{"name equal up to case and spaces", item(1, "Wi-Fi"), "  wi-fi \n", 0},
        ScoreCase{"name equal once punctuation is gone", item(1, "Wi-Fi"), "wifi", 5},
        ScoreCase{"name prefix", item(1, "Battery"), "bat", 10},
        ScoreCase{"accented query matches the plain name", item(1, "Ecran"), "écr", 10},
        ScoreCase{"full case folding", item(1, "Strasse"), "STRAß", 10},
        ScoreCase{"name compact prefix", item(1, "Time Machine"), "timem", 15},
        ScoreCase{"a substring wins over a better compact hit", item(1, "My Wi-Fi"), "wi", 20},
        ScoreCase{"name compact contains", item(1, "My Wi-Fi Box"), "wifib", 25},
        ScoreCase{"owner equal", item(1, "x", "Tallybird"), "tallybird", 30},
        ScoreCase{"owner contains", item(1, "x", "Tallybird"), "lyb", 40},
        ScoreCase{"window compact equal", item(1, "x", "y", "Item-0"), "item0", 52},
        ScoreCase{"window prefix", item(1, "x", "y", "BentoBox-0"), "bento", 55},
        ScoreCase{"bundle contains", item(1, "x", "y", "z", "io.tallybird.app"), "tallybird.a", 80},
        ScoreCase{"punctuation-only query skips the compact tests", item(1, "WiFi", "y", "z", "com.a-b"), "-", 80},
        ScoreCase{"no match", item(1, "Battery"), "zzz", std::nullopt}));

TEST(SearchRanking, EmptyOrBlankQueryReturnsEveryItemInInputOrder) {
  const std::vector<CapturedMenuBarItem> items{item(3, "c"), item(1, "a"), item(2, "b")};
  EXPECT_EQ(ids(CapturedMenuBarSearch::rankedItems(items, "")), (std::vector<uint32_t>{3, 1, 2}));
  EXPECT_EQ(ids(CapturedMenuBarSearch::rankedItems(items, " \n\t ")), (std::vector<uint32_t>{3, 1, 2}));
}

TEST(SearchRanking, SortsByScoreThenInputOrderAndDropsNonMatches) {
  const std::vector<CapturedMenuBarItem> items{
      item(1, "Clock", "x", "y", "com.apple.tally"),  // bundle contains: 80
      item(2, "Tally Counter"),                       // name prefix: 10
      item(3, "Battery"),                             // no match
      item(4, "tally"),                               // name equal: 0
      item(5, "Tally Sheet"),                         // name prefix: 10, after 2
  };
  EXPECT_EQ(ids(CapturedMenuBarSearch::rankedItems(items, "Tally")), (std::vector<uint32_t>{4, 2, 5, 1}));
  EXPECT_TRUE(CapturedMenuBarSearch::rankedItems(items, "nothing here").empty());
}

TEST(SearchRanking, CompactFormDropsEmojiOutsideTheBasicPlane) {
  EXPECT_EQ(CapturedMenuBarSearch::compact(" Wi-Fi 📶 Box "), "wifibox");
}

}  // namespace
}  // namespace vimbo
