// One drag while the bar is held revealed (it never expands or collapses the bar), and the
// fewest-drags reorder that the layout apply builds on it.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "App/OperationsFixture.h"

namespace vimbo::testing {
namespace {

struct RevealedRow {
  std::string name;
  bool revealed = true;
  std::string key = "bare";  // stands right of the divider
  Destination destination = Destination::visible;
  bool forceMove = false;
  std::function<std::optional<Point>(OperationsFixture&)> point = [](OperationsFixture&) { return std::nullopt; };
  std::function<void(OperationsFixture&)> arrange = [](OperationsFixture&) {};
  bool result = true;
  size_t drags = 0;
  std::optional<std::string> error = std::nullopt;
  // Checks on the finished row: where the drag ended, when it began.
  std::function<void(OperationsFixture&, std::optional<Point>)> also = [](OperationsFixture&, std::optional<Point>) {};
};

std::ostream& operator<<(std::ostream& os, const RevealedRow& row) { return os << row.name; }

struct RevealedMove : ::testing::TestWithParam<RevealedRow> {};

TEST_P(RevealedMove, DragsOnlyWhenAskedAndLeavesTheBarAsItWas) {
  const RevealedRow& row = GetParam();
  OperationsFixture f(operationsWorld());
  f.start({"bare"});
  AppDelegate& app = f.app();
  if (row.revealed) {
    ASSERT_TRUE(app.menuBarHider.setCollapsed(false));
    f.runFor(10ms);
  }
  row.arrange(f);
  f.dividerLengths = {f.dividerLength()};
  const CapturedMenuBarItem item = f.captured(row.key);
  const std::optional<Point> point = row.point(f);

  EXPECT_EQ(f.run([&](AppDelegate& a) {
    return a.moveSystemItemWhileRevealed(item, row.destination, point, false, row.forceMove);
  }),
            row.result);
  EXPECT_EQ(f.drags(), row.drags);
  EXPECT_EQ(f.store().lastError.get(), row.error);
  EXPECT_EQ(f.dividerLengths.size(), 1u) << "the divider's length never changes";
  row.also(f, point);
  if (row.revealed) {
    ASSERT_TRUE(app.menuBarHider.setCollapsed(true));
  }
  f.expectSafe();
}

Point dropPoint(OperationsFixture& f) {
  const auto ups = f.posted(EventType::LeftMouseUp);
  return ups.empty() ? Point{} : ups.back().event.location;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RevealedMove,
    ::testing::Values(
        RevealedRow{.name = "bar_collapsed", .revealed = false, .destination = Destination::collected, .result = false},
        RevealedRow{.name = "fixed_item", .key = "clock", .result = false},
        RevealedRow{.name = "already_there",
                    .also = [](OperationsFixture& f, std::optional<Point>) { EXPECT_EQ(f.elapsed(), 40ms); }},
        RevealedRow{.name = "elsewhere_waits_before_the_drag",
                    .destination = Destination::collected,
                    .drags = 1,
                    .also =
                        [](OperationsFixture& f, std::optional<Point>) {
                          ASSERT_FALSE(f.world().postedEvents().empty());
                          EXPECT_GE(f.world().postedEvents().front().time - f.startedAt, 40ms + 1500ms);
                          EXPECT_TRUE(f.standsCollected("bare"));
                        }},
        RevealedRow{.name = "forced_although_already_there", .forceMove = true, .drags = 1},
        RevealedRow{.name = "given_point_wins_for_the_collected_side",
                    .destination = Destination::collected,
                    .point = [](OperationsFixture& f) -> std::optional<Point> {
                      return Point{f.divider().minX() - 70, f.divider().midY()};
                    },
                    .drags = 1,
                    .also =
                        [](OperationsFixture& f, std::optional<Point> given) {
                          EXPECT_EQ(dropPoint(f), given);
                        }},
        RevealedRow{.name = "visible_drag_ends_at_the_control_item",
                    .forceMove = true,
                    .point = [](OperationsFixture& f) -> std::optional<Point> {
                      return Point{f.divider().maxX() + 5, f.divider().midY()};
                    },
                    .drags = 1,
                    .also =
                        [](OperationsFixture& f, std::optional<Point>) {
                          EXPECT_EQ(dropPoint(f), (Point{f.control().minX(), f.control().midY()}));
                        }},
        RevealedRow{.name = "divider_missing",
                    .destination = Destination::collected,
                    .forceMove = true,
                    .arrange = [](OperationsFixture& f) { f.world().switches().dividerWindowMissing = true; },
                    .result = false,
                    .error = "无法定位 Vimbo.HiddenDivider，未移动“Plainly”。"}),
    [](const ::testing::TestParamInfo<RevealedRow>& info) { return info.param.name; });

struct SuffixRow {
  std::vector<uint32_t> desired, actual, suffix;
};

TEST(MinimalReorderSuffix, KeepsTheLongestInOrderPrefixAndMovesTheRest) {
  const std::vector<SuffixRow> rows = {
      {{1, 2, 3, 4}, {2, 1, 3, 4}, {2, 3, 4}},
      {{1, 2, 3}, {1, 3, 2}, {3}},
      {{1, 2, 3}, {3, 1, 2}, {3}},
      {{1, 2}, {2, 1}, {2}},
      {{1, 3, 5, 2, 4}, {1, 2, 3, 4, 5}, {2, 4}},
      {{}, {4, 5, 6}, {}},
      {{1, 2}, {1, 9, 2}, {}},
      {{1, 2, 3}, {1, 2, 3}, {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(AppDelegate::minimalNativeReorderSuffix(row.desired, row.actual), row.suffix)
        << ::testing::PrintToString(row.desired) << " against " << ::testing::PrintToString(row.actual);
  }
}

}  // namespace
}  // namespace vimbo::testing
