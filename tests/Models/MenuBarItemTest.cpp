#include <gtest/gtest.h>

#include "Models/MenuBarItem.h"

using namespace vimbo;

TEST(MenuBarItemJSON, EncodesKeysInOrderAndRoundTrips) {
  const auto id = *UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  const std::vector<MenuBarItem> items{
      {id, "Wi-Fi", "已连接", "wifi", "5B8DEF", ItemVisibility::tucked, false, -3}};
  const auto json = MenuBarItem::encodeList(items);
  ASSERT_TRUE(json);
  EXPECT_EQ(*json,
            R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Wi-Fi","detail":"已连接","symbol":"wifi",)"
            R"("tintHex":"5B8DEF","visibility":"tucked","isEnabled":false,"order":-3}])");
  EXPECT_EQ(MenuBarItem::decodeList(*json), items);
  EXPECT_EQ(MenuBarItem::decodeList("[]"), std::vector<MenuBarItem>{});
}

TEST(MenuBarItemJSON, OneBadRowRejectsTheList) {
  const std::string good =
      R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"a","detail":"b","symbol":"c",)"
      R"("tintHex":"000000","visibility":"shown","isEnabled":true,"order":0})";
  ASSERT_TRUE(MenuBarItem::decodeList("[" + good + "]"));
  auto withRow = [&](const std::string& row) { return "[" + good + "," + row + "]"; };
  auto replace = [&](const std::string& from, const std::string& to) {
    std::string row = good;
    row.replace(row.find(from), from.size(), to);
    return withRow(row);
  };
  EXPECT_FALSE(MenuBarItem::decodeList(replace(R"(,"isEnabled":true)", "")));
  EXPECT_FALSE(MenuBarItem::decodeList(replace(R"("isEnabled":true)", R"("isEnabled":1)")));
  EXPECT_FALSE(MenuBarItem::decodeList(replace(R"("order":0)", R"("order":1.5)")));
  EXPECT_FALSE(MenuBarItem::decodeList(replace(R"("order":0)", R"("order":9223372036854775808)")));
  EXPECT_FALSE(MenuBarItem::decodeList(replace(R"("shown")", R"("Shown")")));
  EXPECT_FALSE(MenuBarItem::decodeList(replace("E621E1F8-", "not-a-uuid")));
  EXPECT_FALSE(MenuBarItem::decodeList(replace(R"("name":"a")", R"("name":null)")));
  EXPECT_FALSE(MenuBarItem::decodeList(good));  // not an array
  EXPECT_FALSE(MenuBarItem::decodeList("[1]"));
  // Extremes of the order survive.
  auto extreme = MenuBarItem::decodeList(replace(R"("order":0)", R"("order":-9223372036854775808)"));
  ASSERT_TRUE(extreme);
  EXPECT_EQ(extreme->back().order, std::numeric_limits<int64_t>::min());
}
