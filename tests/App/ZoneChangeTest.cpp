// A drop of an item into a zone of the manager: a pin, a collect or only a new record, by where
// the item is recorded and where it stands; the fixed items refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "App/OperationsFixture.h"
#include "System/MenuBarProxyManager.h"

namespace vimbo::testing {
namespace {

using Zone = MenuBarLayoutZone;

struct ZoneRow {
  std::string name;
  std::string key;
  std::function<void(OperationsFixture&)> arrange = [](OperationsFixture&) {};
  Zone target;
  std::optional<int64_t> position = std::nullopt;
  size_t drags = 0;
  std::vector<double> dividerLengths = {10000, 1, 10000};
  bool visibleAfter = false;
};

std::ostream& operator<<(std::ostream& os, const ZoneRow& row) { return os << row.name; }

struct ZoneChange : ::testing::TestWithParam<ZoneRow> {};

// notes and tally stand pinned and recorded visible; drift and bare stand collected.
TEST_P(ZoneChange, MovesOnlyWhatMustMoveAndSavesTheRecord) {
  const ZoneRow& row = GetParam();
  OperationsFixture f(operationsWorld());
  f.start({"notes", "tally"});
  AppDelegate& app = f.app();
  for (const auto& key : {"notes", "tally"}) {
    app.proxyManager.pin(f.captured(key));
    app.store.commitLayoutMovement(f.window(key), Zone::visible, std::nullopt, true);
  }
  row.arrange(f);
  f.defaults->removeObject(MenuBarStore::layoutKey);
  f.world().clearRecords();
  f.dividerLengths = {f.dividerLength()};

  f.manager().moveSystemItemToLayout(f.window(row.key), row.target, row.position);
  EXPECT_TRUE(f.runUntil([&] { return app.activeSystemItemOperationCount == 0; }));
  EXPECT_EQ(f.drags(), row.drags);
  EXPECT_TRUE(row.drags > 0 || !f.anyMouseEvent());
  EXPECT_EQ(f.dividerLengths, row.dividerLengths);
  EXPECT_EQ(f.standsVisible(row.key), row.visibleAfter);

  const CapturedMenuBarItem item = f.captured(row.key);
  EXPECT_EQ(app.store.layoutZone(item), row.target);
  const auto listed = app.store.persistableLayoutIdentities(row.target);
  const size_t at = static_cast<size_t>(std::find(listed.begin(), listed.end(), item.stableIdentity) - listed.begin());
  EXPECT_EQ(at, row.position ? static_cast<size_t>(*row.position) : listed.size() - 1);
  EXPECT_TRUE(f.defaults->hasObject(MenuBarStore::layoutKey)) << "the record is saved";
  // The pinned list follows the visible zone's order and holds exactly the visible items.
  std::vector<std::string> visibleIdentities = app.store.persistableLayoutIdentities(Zone::visible);
  EXPECT_EQ(app.proxyManager.pinnedIdentities(), visibleIdentities);
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);
  f.expectSafe();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ZoneChange,
    ::testing::Values(
        // A full pin that finds the item in place: the bar cycles, nothing is dragged.
        ZoneRow{.name = "visible_to_another_place_in_visible",
                .key = "tally",
                .target = Zone::visible,
                .position = 0,
                .visibleAfter = true},
        ZoneRow{.name = "visible_to_hidden_collects", .key = "notes", .target = Zone::hidden, .drags = 1},
        ZoneRow{.name = "collected_to_visible_pins",
                .key = "drift",
                .target = Zone::visible,
                .drags = 1,
                .visibleAfter = true},
        ZoneRow{.name = "collected_to_hidden_only_records",
                .key = "drift",
                .target = Zone::hidden,
                .dividerLengths = {10000}},
        ZoneRow{.name = "hidden_but_standing_visible_to_collected_collects",
                .key = "drift",
                .arrange =
                    [](OperationsFixture& f) {
                      f.store().commitLayoutMovement(f.window("drift"), Zone::hidden, std::nullopt, true);
                      f.world().moveItemBefore("drift", hider::controlName);
                    },
                .target = Zone::collected,
                .drags = 1}),
    [](const ::testing::TestParamInfo<ZoneRow>& info) { return info.param.name; });

TEST(ZoneChangeOfAFixedItem, IsRefusedWithItsSentenceWhileAQueuedPinOfItStaysSilent) {
  OperationsFixture f(operationsWorld());
  f.start();
  AppDelegate& app = f.app();
  const auto layout = app.store.menuBarLayout.get();

  app.pinSystemItem(f.window("clock"));
  app.collectSystemItem(f.window("bento"));
  EXPECT_TRUE(f.runUntil([&] { return app.activeSystemItemOperationCount == 0; }));
  EXPECT_EQ(f.store().lastError.get(), std::nullopt);

  app.moveSystemItemToLayout(f.window("clock"), Zone::collected, std::nullopt);
  EXPECT_TRUE(f.runUntil([&] { return app.activeSystemItemOperationCount == 0; }));
  EXPECT_EQ(f.store().lastError.get(), "时钟由 macOS 固定，无法收纳");
  app.moveSystemItemToLayout(f.window("bento"), Zone::hidden, std::nullopt);
  EXPECT_TRUE(f.runUntil([&] { return app.activeSystemItemOperationCount == 0; }));
  EXPECT_EQ(f.store().lastError.get(), "控制中心由 macOS 固定，无法收纳");

  EXPECT_FALSE(f.anyMouseEvent());
  EXPECT_EQ(f.dividerLengths, (std::vector<double>{10000}));
  EXPECT_EQ(app.store.menuBarLayout.get(), layout);
  f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing
