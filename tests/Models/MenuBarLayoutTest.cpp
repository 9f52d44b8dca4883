#include <gtest/gtest.h>

#include "Models/MenuBarLayout.h"

using namespace vimbo;
using Zone = MenuBarLayoutZone;
using Ids = std::vector<std::string>;

namespace {

MenuBarLayoutRecord record(Ids visible, Ids collected = {}, Ids hidden = {}) {
  MenuBarLayoutRecord r;
  r.orderedIdentities = {{Zone::visible, visible}, {Zone::collected, collected}, {Zone::hidden, hidden}};
  return r;
}

}  // namespace

TEST(MenuBarLayoutRecordJSON, EncodesAlternatingPairsAndRoundTrips) {
  auto r = record({"a", "b"}, {"c"}, {});
  EXPECT_EQ(*r.encode(),
            R"({"version":1,"orderedIdentities":["visible",["a","b"],"collected",["c"],"hidden",[]]})");
  EXPECT_EQ(MenuBarLayoutRecord::decode(*r.encode()), r);
}

TEST(MenuBarLayoutRecordJSON, ReaderAcceptsAnyOrderAndNormalises) {
  auto decoded = MenuBarLayoutRecord::decode(
      R"({"orderedIdentities":["hidden",["h"],"collected",["v","","c"],"visible",["v"]],"version":3})");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->version, 3);  // read, not stamped
  EXPECT_EQ(decoded->orderedIdentities, record({"v"}, {"c"}, {"h"}).orderedIdentities);

  // Missing keys: version 0, and all three zones present after normalising.
  auto empty = MenuBarLayoutRecord::decode("{}");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->version, 0);
  EXPECT_EQ(empty->orderedIdentities, record({}).orderedIdentities);
}

TEST(MenuBarLayoutRecordJSON, RejectsMalformedData) {
  for (const char* bad : {
           R"({"version":1,"orderedIdentities":["visible"]})",                // odd length
           R"({"version":1,"orderedIdentities":["visible",["a"],"pinned",[]]})",  // unknown zone
           R"({"version":"1","orderedIdentities":[]})",                       // wrong type
           R"({"version":1.5})",
           R"({"version":1,"orderedIdentities":{"visible":["a"]}})",
           R"({"version":1,"orderedIdentities":["visible",[1]]})",
           R"([1])", "not json", ""}) {
    EXPECT_FALSE(MenuBarLayoutRecord::decode(bad)) << bad;
  }
}

TEST(MenuBarLayoutRecordJSON, AbsentZoneKeyDiffersFromEmptyList) {
  MenuBarLayoutRecord bare;
  EXPECT_NE(bare, record({}));
  EXPECT_EQ(*bare.encode(), R"({"version":1,"orderedIdentities":[]})");
}

TEST(MenuBarLayoutRecordEdits, MoveClampsIndexAndStampsVersion) {
  auto r = record({"a", "b", "c"});
  r.version = 0;
  r.move("x", Zone::visible, -5);
  EXPECT_EQ(r.orderedIdentities[Zone::visible], (Ids{"x", "a", "b", "c"}));
  EXPECT_EQ(r.version, 1);
  r.move("x", Zone::visible, 99);
  EXPECT_EQ(r.orderedIdentities[Zone::visible], (Ids{"a", "b", "c", "x"}));
  // The index counts after the identity left its old place.
  r.move("a", Zone::visible, 2);
  EXPECT_EQ(r.orderedIdentities[Zone::visible], (Ids{"b", "c", "a", "x"}));
  r.move("c", Zone::hidden, std::nullopt);
  EXPECT_EQ(r, record({"b", "a", "x"}, {}, {"c"}));
}

TEST(MenuBarLayoutRecordEdits, MigrateTakesTheOldPlace) {
  auto r = record({"N", "O", "X"});
  r.migrateIdentity("O", "N");
  EXPECT_EQ(r.orderedIdentities[Zone::visible], (Ids{"N", "X"}));

  r = record({"a", "O", "b"}, {"c", "N"});
  r.migrateIdentity("O", "N");
  EXPECT_EQ(r, record({"a", "N", "b"}, {"c"}));

  r = record({"a"}, {"N"});
  r.version = 0;
  r.migrateIdentity("missing", "N");  // the new identity leaves; version stamped
  EXPECT_EQ(r, record({"a"}));

  r = record({"a"});
  r.version = 7;
  r.migrateIdentity("a", "a");
  EXPECT_EQ(r.version, 7);
}

TEST(MenuBarLayoutRecordPersistable, Grammar) {
  EXPECT_TRUE(MenuBarLayoutRecord::isPersistableIdentity("com.example.app|window=Item-0|ax=Wi-Fi"));
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity("com.example.app|window=Item-0|ax=Wi-Fi|size=22x24"));
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity("com.example.app|window=Item-0|ax=Wi-Fi|slot=2"));
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity("com.apple.x|WINDOW=Clock|ax=Clock"));
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity("com.apple.x|window=BentoBox-0|ax=CC"));
  EXPECT_TRUE(MenuBarLayoutRecord::isPersistableIdentity("com.apple.x|window=clock|ax=c"));  // case-sensitive name
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity("com.example.app|window=Item-0"));
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity("com.example.app|ax=Wi-Fi"));
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity(""));
  // Empty pieces after the window part are skipped.
  EXPECT_FALSE(MenuBarLayoutRecord::isPersistableIdentity("owner:x|ax=a|window=||Clock"));
}

TEST(MenuBarLayoutDraftMoves, ReportsWhetherAnythingChanged) {
  MenuBarLayoutDraft d;
  d.orderedIDs = {{Zone::visible, {1, 2, 3}}, {Zone::collected, {4}}, {Zone::hidden, {}}};
  EXPECT_EQ(d.zone(4), Zone::collected);
  EXPECT_EQ(d.zone(9), std::nullopt);
  EXPECT_FALSE(d.move(9, Zone::hidden, 0));
  EXPECT_FALSE(d.move(3, Zone::visible, std::nullopt));  // already last
  EXPECT_FALSE(d.move(2, Zone::visible, 1));             // its own place
  EXPECT_TRUE(d.move(1, Zone::hidden, -3));
  EXPECT_TRUE(d.move(4, Zone::visible, 0));
  EXPECT_EQ(d.allIDs(), (std::vector<std::uint32_t>{4, 2, 3, 1}));
  EXPECT_EQ(d.zone(1), Zone::hidden);
}

TEST(MenuBarLayoutDraftMoves, MoveKeepsOneCopyAndFillsKeys) {
  MenuBarLayoutDraft d;
  d.orderedIDs = {{Zone::collected, {0, 5, 0}}};
  EXPECT_TRUE(d.move(5, Zone::visible, std::nullopt));
  EXPECT_EQ(d.orderedIDs.size(), 3u);
  EXPECT_EQ(d.orderedIDs[Zone::visible], (std::vector<std::uint32_t>{5}));
  EXPECT_EQ(d.orderedIDs[Zone::collected], (std::vector<std::uint32_t>{0}));  // window number 0 is valid
}
