// The quick-search session: wrap-around keyboard moves, clamping, and the revision counters that
// tell the view when to scroll.
#include <gtest/gtest.h>

#include <vector>

#include "Views/MenuBarSearchSession.h"

namespace vimbo {
namespace {

struct MoveCase {
  int64_t start;
  int64_t step;
  int64_t count;
  int64_t expected;
  bool counted;  // the keyboard revision grows
};

class SessionMove : public ::testing::TestWithParam<MoveCase> {};

TEST_P(SessionMove, WrapsWithinTheResultsAndCountsEachKeyboardMoveOnce) {
  const MoveCase c = GetParam();
  MenuBarSearchSession session;
  session.selectedIndex.set(c.start);
  session.moveSelection(c.step, c.count);
  EXPECT_EQ(session.selectedIndex.get(), c.expected);
  EXPECT_EQ(session.keyboardNavigationRevision.get(), c.counted ? 1 : 0);
  EXPECT_EQ(session.queryRevision.get(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, SessionMove,
                         ::testing::Values(MoveCase{4, 1, 5, 0, true}, MoveCase{0, -1, 5, 4, true},
                                           MoveCase{1, 1, 5, 2, true},
                                           MoveCase{7, 1, 3, 2, true},  // left over from a longer list
                                           MoveCase{3, 1, 0, 0, false}, MoveCase{0, -7, 3, 2, true}));

TEST(SearchSession, SelectAndClampKeepTheIndexInRangeWithoutCounting) {
  MenuBarSearchSession session;
  session.select(-3, 4);
  EXPECT_EQ(session.selectedIndex.get(), 0);
  session.select(9, 4);
  EXPECT_EQ(session.selectedIndex.get(), 3);
  session.select(2, 0);
  EXPECT_EQ(session.selectedIndex.get(), 0);
  session.selectedIndex.set(6);
  session.clampSelection(4);
  EXPECT_EQ(session.selectedIndex.get(), 3);
  session.clampSelection(0);
  EXPECT_EQ(session.selectedIndex.get(), 0);
  EXPECT_EQ(session.keyboardNavigationRevision.get(), 0);
  EXPECT_EQ(session.queryRevision.get(), 0);
}

TEST(SearchSession, ResetCountsTheQueryRevisionOnlyWhenTheQueryWasAlreadyEmpty) {
  MenuBarSearchSession session;
  session.selectedIndex.set(2);
  session.reset();
  EXPECT_EQ(session.queryRevision.get(), 1);
  EXPECT_EQ(session.selectedIndex.get(), 0);

  session.query.set("wifi");
  session.selectedIndex.set(2);
  session.reset();
  EXPECT_EQ(session.query.get(), "");
  EXPECT_EQ(session.selectedIndex.get(), 0);
  EXPECT_EQ(session.queryRevision.get(), 1) << "the view's reaction to the cleared query counts it";

  session.selectFirstForQuery(5);
  EXPECT_EQ(session.queryRevision.get(), 2);
}

TEST(SearchSession, EveryAssignmentNotifiesEvenWithAnUnchangedValue) {
  MenuBarSearchSession session;
  int queries = 0, selections = 0;
  auto a = session.query.subscribe([&](const std::string&) { ++queries; });
  auto b = session.selectedIndex.subscribe([&](const int64_t&) { ++selections; });
  session.reset();
  session.reset();
  EXPECT_EQ(queries, 2);
  EXPECT_EQ(selections, 2);
}

}  // namespace
}  // namespace vimbo
