#include <gtest/gtest.h>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"
#include "System/MenuWindowRelocator.h"

namespace vimbo {
namespace {

using namespace std::chrono_literals;
using platform::WindowInfo;
using Snapshot = MenuWindowRelocator::MenuWindowSnapshot;

// The relocator reads nothing but the on-screen list; this list is scripted per test.
struct ScriptedWindowServer : platform::WindowServer {
  std::optional<std::vector<WindowInfo>> list = std::vector<WindowInfo>{};
  int reads = 0;

  std::optional<std::vector<WindowInfo>> copyWindowList(platform::WindowListOption, uint32_t) override {
    ++reads;
    return list;
  }
  int windowLevel(platform::WindowLevelKey key) const override {
    return key == platform::WindowLevelKey::PopUpMenu ? 101 : 25;
  }
  std::optional<uint32_t> windowNumberAtPoint(Point) override { return std::nullopt; }
  platform::ImageRef createWindowImage(uint32_t, uint32_t) override { return nullptr; }
  platform::ImageRef createImageFromArray(Rect, const std::vector<uint32_t>&, uint32_t) override { return nullptr; }
  int32_t mainConnectionID() override { return 1; }
  platform::OnScreenWindowCount getOnScreenWindowCount(int32_t, int32_t) override { return {0, 1}; }
  bool isScreenRectBridgeAvailable() const override { return false; }
  int32_t bridgeMainConnectionID() override { return 0; }
  platform::ScreenRectResult getScreenRectForWindow(int32_t, uint32_t) override { return {}; }

  void add(uint32_t id, Rect frame, int64_t layer = 101, int32_t pid = 500) {
    WindowInfo info;
    info.fields[platform::windowkey::number] = int64_t{id};
    info.fields[platform::windowkey::layer] = layer;
    info.fields[platform::windowkey::bounds] = frame;
    info.fields[platform::windowkey::ownerPID] = int64_t{pid};
    list->push_back(std::move(info));
  }
};

struct RelocatorTest : ::testing::Test {
  ScriptedWindowServer ws;
  MenuWindowRelocator relocator{ws, MenuWindowRelocator::defaultPopupWindowLevels(ws)};
};

TEST_F(RelocatorTest, ReadsOnlyMenuSizedWindowsAtThePopupLevels) {
  EXPECT_EQ(relocator.popupWindowLevels(), (std::set<int>{101, 23}));
  ws.add(1, {100, 30, 220, 160});
  ws.add(2, {100, 30, 20, 160});   // 20 wide: a sliver
  ws.add(3, {100, 30, 220, 10});   // 10 high
  ws.add(4, {100, 30, 220, 160}, 23);
  ws.add(5, {100, 30, 220, 160}, 25);  // a status item
  WindowInfo noNumber;
  noNumber.fields[platform::windowkey::layer] = int64_t{101};
  noNumber.fields[platform::windowkey::bounds] = Rect{0, 30, 200, 100};
  ws.list->push_back(noNumber);
  EXPECT_EQ(relocator.visibleMenuWindowIDs(), (std::set<uint32_t>{1, 4}));
  auto snapshot = relocator.visibleMenuWindowSnapshot();
  EXPECT_EQ(snapshot.at(4).order, 3);
  EXPECT_EQ(snapshot.at(4).ownerName, "");

  ws.list.reset();
  EXPECT_TRUE(relocator.visibleMenuWindowIDs().empty());
}

TEST(RelocatorRules, ChangeNeedsMoreThanHalfAPointAndIgnoresTheLevel) {
  Snapshot a{7, {100, 30, 220, 160}, 500, "App", "", 101, 0};
  Snapshot b = a;
  b.frame.x += 0.5;
  b.layer = 23;
  EXPECT_FALSE(MenuWindowRelocator::windowChanged(a, b));
  b.frame.x += 0.1;
  EXPECT_TRUE(MenuWindowRelocator::windowChanged(a, b));
  Snapshot c = a;
  c.order = 1;
  EXPECT_TRUE(MenuWindowRelocator::windowChanged(a, c));
}

TEST(RelocatorRules, NearnessGrowsTheFrameOrFallsBackToTheBarBand) {
  const Rect menu{1000, 60, 220, 160};
  EXPECT_TRUE(MenuWindowRelocator::isNearInteraction(menu, Point{1000 - 259, 60 + 160 + 319}));
  EXPECT_TRUE(MenuWindowRelocator::isNearInteraction(menu, Point{1110 - 320, 900}));   // minY <= 80
  EXPECT_FALSE(MenuWindowRelocator::isNearInteraction(menu, Point{1110 - 321, 900}));
  const Rect lower{1000, 90, 220, 160};
  EXPECT_FALSE(MenuWindowRelocator::isNearInteraction(lower, Point{1110 - 300, 900}));
  EXPECT_TRUE(MenuWindowRelocator::isNearInteraction({1000, 320, 220, 160}, std::nullopt));
  EXPECT_FALSE(MenuWindowRelocator::isNearInteraction({1000, 321, 220, 160}, std::nullopt));
}

TEST_F(RelocatorTest, RelevanceAgainstBaselineAndTrackedOwners) {
  ws.add(1, {100, 30, 220, 160}, 101, 500);  // open before the session began
  MenuWindowRelocator::TrackingSession session;
  session.baseline = relocator.visibleMenuWindowSnapshot();
  EXPECT_FALSE(relocator.hasRelevantPopup(session, Point{110, 10}));

  ws.add(2, {1200, 30, 220, 160}, 101, 0);  // new, near, owner unknown
  EXPECT_TRUE(relocator.hasRelevantPopup(session, Point{1250, 10}));
  EXPECT_EQ(session.trackedWindowIDs, (std::set<uint32_t>{2}));
  EXPECT_TRUE(session.trackedOwnerPIDs.empty());

  // A tracked window stays relevant while active, even far from the point.
  EXPECT_TRUE(relocator.hasRelevantPopup(session, Point{5000, 5000}));
  // Its owner changed: judged again as a new window, and now it is far.
  ws.list->back().fields[platform::windowkey::ownerPID] = int64_t{600};
  EXPECT_FALSE(relocator.hasRelevantPopup(session, Point{5000, 5000}));
  EXPECT_TRUE(relocator.hasRelevantPopup(session, Point{1250, 10}));
  EXPECT_EQ(session.trackedOwnerPIDs, (std::set<int32_t>{600}));
}

TEST_F(RelocatorTest, PollingWaitsKeepTheirCadenceAndLimits) {
  async::VirtualExecutor ex;
  ws.add(1, {100, 30, 220, 160});
  auto start = ex.now();

  auto none = async::spawn(ex, [&]() { return relocator.newMenuWindowID({1}); });
  ex.runUntilIdle();
  EXPECT_FALSE(none.result()->has_value());
  EXPECT_EQ(ex.now() - start, 2000ms);
  EXPECT_EQ(ws.reads, 80);

  ex.scheduleAfter(100ms, [&] {
    ws.add(9, {400, 30, 220, 160});
    ws.add(8, {500, 30, 220, 160});
  });
  start = ex.now();
  auto found = async::spawn(ex, [&]() { return relocator.newMenuWindowID({1}); });
  ex.runUntilIdle();
  EXPECT_EQ(found.result()->value_or(0), 9u);  // the front-most of the two
  EXPECT_EQ(ex.now() - start, 100ms);

  ex.scheduleAfter(250ms, [&] { ws.list->erase(ws.list->begin()); });
  start = ex.now();
  auto closed = async::spawn(ex, [&]() { return relocator.waitForMenuToClose(1); });
  ex.runUntilIdle();
  EXPECT_TRUE(closed.isDone());
  EXPECT_EQ(ex.now() - start, 250ms);

  start = ex.now();
  ws.reads = 0;
  auto open = async::spawn(ex, [&]() { return relocator.waitForMenuToClose(9); });
  ex.runUntilIdle();
  EXPECT_TRUE(open.isDone());
  EXPECT_EQ(ex.now() - start, 30000ms);  // gives up after 1200 waits
  EXPECT_EQ(ws.reads, 1200);

  start = ex.now();
  auto stuck = async::spawn(ex, [&]() { return relocator.waitForMenuToClose(9); });
  ex.runFor(1000ms);
  stuck.cancel();
  ex.runUntilIdle();
  EXPECT_TRUE(stuck.isDone());
  EXPECT_EQ(ex.now() - start, 1000ms);

  start = ex.now();
  auto cancelled = async::spawn(ex, [&]() { return relocator.newMenuWindowID({1, 8, 9}); });
  ex.runFor(100ms);
  cancelled.cancel();
  ex.runUntilIdle();
  EXPECT_FALSE(cancelled.result()->has_value());
  EXPECT_EQ(ex.now() - start, 100ms);
}

}  // namespace
}  // namespace vimbo
