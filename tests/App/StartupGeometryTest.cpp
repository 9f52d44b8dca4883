// The start-up layout geometry: frame validity and signatures, the bar snapshot read from the
// world, the band test, the resident test and the append plan on hand-built snapshots.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "App/RestoreWorlds.h"

namespace vimbo::testing {
namespace {

using Snapshot = AppDelegate::StartupLayoutSnapshot;
using Plan = std::optional<std::vector<std::string>>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The plain world's screen: divider at 1700..1701, control item at 1800..1824; a band of 99 pt.
const Rect kDivider{1700, 0, 1, 24};
const Rect kControl{1800, 0, 24, 24};

CapturedMenuBarItem candidate(const std::string& identity, Rect frame, std::string windowName = "Status") {
  CapturedMenuBarItem item;
  static uint32_t nextID = 100;
  item.id = nextID++;
  item.stableIdentity = identity;
  item.windowName = std::move(windowName);
  item.originalFrame = frame;
  return item;
}

// An item standing in the band at x.
CapturedMenuBarItem resident(const std::string& identity, double x, double width = 30) {
  return candidate(identity, {x, 0, width, 24});
}
// An item left of the divider.
CapturedMenuBarItem outside(const std::string& identity, double x = 400) { return candidate(identity, {x, 0, 30, 24}); }

Snapshot snapshotOf(std::vector<CapturedMenuBarItem> candidates, Rect divider = kDivider, Rect control = kControl) {
  return Snapshot{std::move(candidates), divider, control, "hand-built"};
}

struct StartupGeometry : ::testing::Test {
  StartupGeometry() : f(controllerWorld()) {}
  ControllerFixture f;
  AppDelegate& app() { return f.app(); }
};

TEST(StartupFrames, ValidityNeedsPositiveSizeAndFiniteEdges) {
  struct Row {
    Rect frame;
    bool valid;
  };
  const std::vector<Row> rows{
      {{1203, 0, 30, 24}, true},  {{1203, 0, 0, 24}, false},    {{1203, 0, 30, 0}, false},
      {{1203, 0, kNaN, 24}, false}, {{kInf, 0, 30, 24}, false}, {{1203, -kInf, 30, 24}, false},
      {{1203, 0, -30, 24}, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(AppDelegate::isValidStartupFrame(row.frame), row.valid)
        << row.frame.x << "," << row.frame.y << "," << row.frame.width << "," << row.frame.height;
  }
}

TEST(StartupFrames, SignatureIsOneDecimalOfMinXMinYWidthAndHeight) {
  EXPECT_EQ(AppDelegate::startupFrameSignature({1203, 0, 30, 24}), "1203.0,0.0,30.0,24.0");
  EXPECT_EQ(AppDelegate::startupFrameSignature({12.25, 0.5, 30.04, 24}), "12.2,0.5,30.0,24.0");
}

TEST_F(StartupGeometry, SnapshotSignsDividerControlAndEachSavedIdentityAndNeedsBothFrames) {
  f.launch(false);
  const std::string notes = identityOfKey("notes"), gone = "gone|window=Nothing|ax=title:Gone";
  const std::string d = AppDelegate::startupFrameSignature(f.dividerFrame());
  const std::string c = AppDelegate::startupFrameSignature(f.controlFrame());
  const std::string notesSignature = AppDelegate::startupFrameSignature(*f.world().frameOf("notes"));
  auto snapshot = app().startupLayoutSnapshot({notes, gone, notes});
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(snapshot->signature, d + "|" + c + "|" + notes + "=" + notesSignature + ";" + gone + "=missing;" + notes +
                                     "=" + notesSignature);
  EXPECT_EQ(snapshot->dividerFrame, f.dividerFrame());
  EXPECT_EQ(snapshot->candidates.size(), app().captureService.discoverMenuBarItems().size());
  EXPECT_EQ(app().startupLayoutSnapshot({})->signature, d + "|" + c + "|");

  // A saved item whose window reports no usable frame reads as missing.
  f.world().overrideWindowField(windowOf(f, "notes"), platform::windowkey::bounds, platform::WindowValue{Rect(400, 0, 0, 24)});
  EXPECT_TRUE(app().startupLayoutSnapshot({notes})->signature.ends_with("|" + notes + "=missing"));

  // A zero-width divider or control window gives no snapshot.
  for (const std::string key : {hider::dividerName, hider::controlName}) {
    const Rect frame = *f.world().frameOf(key);
    const uint32_t number = f.world().item(key)->windowNumber;
    f.world().overrideWindowField(number, platform::windowkey::bounds, platform::WindowValue{Rect(frame.x, 0, 0, 24)});
    EXPECT_FALSE(app().startupLayoutSnapshot({})) << key;
    f.world().overrideWindowField(number, platform::windowkey::bounds, platform::WindowValue{frame});
  }
  EXPECT_TRUE(app().startupLayoutSnapshot({}));
  f.expectSafe();
}

TEST_F(StartupGeometry, BandHoldsEverySavedWidthWithTwoPointsOfSlack) {
  struct Row {
    const char* what;
    std::vector<CapturedMenuBarItem> candidates;
    std::vector<std::string> saved;
    Rect control;
    bool sufficient;
  };
  // The band is C.minX - D.maxX; widths - 2 must not exceed it.
  const std::vector<Row> rows{
      {"equality", {outside("A"), outside("B", 500)}, {"A", "B"}, {1759, 0, 24, 24}, true},
      {"one point short", {outside("A"), outside("B", 500)}, {"A", "B"}, {1758, 0, 24, 24}, false},
      {"a repeated identity counts twice", {outside("A", 400)}, {"A", "A"}, {1759, 0, 24, 24}, true},
      {"a repeat that no longer fits", {outside("A", 400)}, {"A", "A", "A"}, {1759, 0, 24, 24}, false},
      {"a saved identity without an item", {outside("A")}, {"A", "B"}, kControl, false},
      {"an item with an invalid frame", {outside("A"), candidate("B", {500, 0, 0, 24})}, {"A", "B"}, kControl, false},
      {"only a fixed item carries it", {outside("A"), candidate("B", {500, 0, 30, 24}, "Clock")}, {"A", "B"}, kControl,
       false},
      {"empty saved order", {}, {}, kControl, true},
      {"empty saved order, control overlapping by 2", {}, {}, {1699, 0, 24, 24}, true},
      {"empty saved order, control overlapping by 3", {}, {}, {1698, 0, 24, 24}, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(app().hasSufficientStartupBand(snapshotOf(row.candidates, kDivider, row.control), row.saved),
              row.sufficient)
        << row.what;
  }
}

TEST_F(StartupGeometry, ResidentStandsOnScreenBetweenDividerAndControlWithTwoPointsOfSlack) {
  struct Row {
    const char* what;
    Rect frame;
    bool isResident;
  };
  const std::vector<Row> rows{
      {"in the band", {1740, 0, 30, 24}, true},
      {"2 pt over the divider", {1699, 0, 30, 24}, true},
      {"2.5 pt over the divider", {1698.5, 0, 30, 24}, false},
      {"2 pt over the control item", {1772, 0, 30, 24}, true},
      {"2.5 pt over the control item", {1772.5, 0, 30, 24}, false},
      {"left of the divider", {400, 0, 30, 24}, false},
      {"off every screen", {-5000, 0, 30, 24}, false},
      {"below the menu bar", {1740, 500, 30, 24}, false},
      {"zero width", {1740, 0, 0, 24}, false},
      {"a NaN width", {1740, 0, kNaN, 24}, false},
  };
  const Snapshot snapshot = snapshotOf({});
  for (const auto& row : rows) {
    EXPECT_EQ(app().isStartupResident(candidate("A", row.frame), snapshot), row.isResident) << row.what;
  }
}

TEST_F(StartupGeometry, AppendPlanKeepsTheSavedOrderAfterItsLongestResidentPrefix) {
  struct Row {
    const char* what;
    std::vector<CapturedMenuBarItem> candidates;
    std::vector<std::string> saved;
    Plan plan;
  };
  const std::vector<Row> rows{
      {"residents out of order",
       {outside("W"), resident("B", 1702), resident("A", 1732), resident("C", 1762)},
       {"A", "B", "C", "W"},
       std::vector<std::string>{"B", "C", "W"}},
      {"all resident in order",
       {resident("A", 1702), resident("B", 1732), resident("C", 1762)},
       {"A", "B", "C"},
       std::vector<std::string>{}},
      {"no residents", {outside("A"), outside("B", 500)}, {"A", "B"}, std::vector<std::string>{"A", "B"}},
      {"residents reversed", {resident("B", 1702), resident("A", 1732)}, {"A", "B"}, std::vector<std::string>{"B"}},
      {"empty saved order", {resident("A", 1702)}, {}, std::vector<std::string>{}},
      {"a saved identity with no item", {resident("A", 1702)}, {"A", "B"}, std::nullopt},
      {"a saved identity only on a fixed item",
       {resident("A", 1702), candidate("B", {1850, 0, 30, 24}, "BentoBox-0")},
       {"A", "B"},
       std::nullopt},
      {"an item with an invalid frame is appended",
       {resident("A", 1702), candidate("B", {1732, 0, 0, 24})},
       {"A", "B"},
       std::vector<std::string>{"B"}},
      {"the first of two items with one identity is used",
       {outside("A", 300), resident("A", 1702), resident("B", 1732)},
       {"A", "B"},
       std::vector<std::string>{"A", "B"}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(app().startupAppendPlan(snapshotOf(row.candidates), row.saved), row.plan) << row.what;
  }
}

}  // namespace
}  // namespace vimbo::testing
