// Waiting for a settled bar at start-up: a repeated signature is taken at once when the saved
// items fit the band, otherwise once it has stood for 0.22 s; a bar that keeps changing gives
// nothing within 0.75 s; cancelling ends the wait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "App/RestoreWorlds.h"

namespace vimbo::testing {
namespace {

using Snapshot = AppDelegate::StartupLayoutSnapshot;

struct StableWaitRow {
  const char* what;
  bool itemInBand;
  bool moving;
  std::optional<async::Duration> cancelAfter;
  bool returnsSnapshot;
  async::Duration endedAfter;
};

class StartupStableWait : public ::testing::TestWithParam<StableWaitRow> {};

TEST_P(StartupStableWait, ReturnsASettledSnapshotOrNone) {
  const StableWaitRow& row = GetParam();
  ControllerFixture f(controllerWorld());
  launchAndRefresh(f);
  if (row.itemInBand) {
    f.world().moveItemBefore("tally", hider::controlName);
    f.executor.runUntilIdle();
  }
  std::string identity;
  for (const auto& item : f.store().capturedSystemItems.get()) {
    if (item.id == f.world().item("tally")->windowNumber) identity = item.stableIdentity;
  }
  ASSERT_FALSE(identity.empty());

  const async::TimePoint start = f.now();
  if (row.moving) keepMoving(f, "tally", {"notes", "drift", std::string(hider::dividerName)}, start + 2s);
  auto wait = async::spawn(f.executor, [app = f.controller, identity]() {
    return app->waitForStableStartupLayout({identity});
  });
  if (row.cancelAfter) {
    f.runFor(*row.cancelAfter);
    wait.cancel();
  }
  f.runUntil([&] { return wait.isDone(); }, 5s);
  ASSERT_TRUE(wait.isDone());
  EXPECT_EQ(f.now() - start, row.endedAfter) << row.what;
  const std::optional<Snapshot>& result = *wait.result();
  EXPECT_EQ(result.has_value(), row.returnsSnapshot) << row.what;
  f.runFor(2s);
  f.expectSafe();
}

const StableWaitRow kStableWaitRows[] = {
    {"SufficientBandTakesTheSecondSample", true, false, std::nullopt, true, 40ms},
    {"InsufficientBandWaitsUntilUnchangedFor220ms", false, false, std::nullopt, true, 240ms},
    {"KeepsChangingGivesNoneAfter750ms", false, true, std::nullopt, false, 760ms},
    {"CancelledEndsTheWait", false, false, 100ms, false, 100ms},
};

INSTANTIATE_TEST_SUITE_P(Rows, StartupStableWait, ::testing::ValuesIn(kStableWaitRows),
                         [](const ::testing::TestParamInfo<StableWaitRow>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace vimbo::testing
