#include "HiderFixture.h"
#include "System/MenuWindowRelocator.h"

namespace vimbo::testing {
namespace {

using platform::EventType;

struct ActivationTest : ::testing::Test {
  Desk d{smallWorld(true)};
  void SetUp() override {
    d.installOwnItems();
    d.world().clearRecords();
  }
  bool activate(const CapturedMenuBarItem& item) {
    auto done = async::spawn(d.executor, [this, item]() { return d.capture().activate(item); });
    d.executor.runUntilIdle();
    return done.result().value_or(false);
  }
};

TEST_F(ActivationTest, PressOpensTheMenuWhichTheRelocatorFindsAndWaitsOut) {
  MenuWindowRelocator relocator(d.platform.windowServer,
                                MenuWindowRelocator::defaultPopupWindowLevels(d.platform.windowServer));
  const auto before = relocator.visibleMenuWindowIDs();
  ASSERT_TRUE(activate(d.itemFor("a")));
  EXPECT_EQ(d.world().pressCount("a"), 1);
  EXPECT_TRUE(d.world().postedEvents().empty());
  EXPECT_TRUE(d.world().warps().empty());

  auto found = async::spawn(d.executor, [&]() { return relocator.newMenuWindowID(before); });
  d.executor.runUntilIdle();
  ASSERT_TRUE(found.result().value_or(std::nullopt).has_value());
  const uint32_t menu = **found.result();
  ASSERT_EQ(d.world().openMenus().size(), 1u);
  EXPECT_EQ(d.world().openMenus().front().windowNumber, menu);

  const auto began = d.executor.now();
  d.executor.scheduleAfter(500ms, [&] { d.world().dismissMenu(menu); });
  auto closed = async::spawn(d.executor, [&]() { return relocator.waitForMenuToClose(menu); });
  d.executor.runUntilIdle();
  EXPECT_TRUE(closed.isDone());
  EXPECT_EQ(d.executor.now() - began, 500ms);
}

TEST_F(ActivationTest, AChildThatRefusesThePressHandsItToItsParent) {
  d.world().itemSpec("a").hitChild = true;
  ASSERT_TRUE(activate(d.itemFor("a")));
  EXPECT_EQ(d.world().pressCount("a"), 1);
  EXPECT_TRUE(d.world().postedEvents().empty());
}

TEST_F(ActivationTest, RefusedPressFallsBackToAPlainClickPostedToTheOwner) {
  d.world().faults("b").pressRefused = true;
  d.world().itemSpec("b").hitChild = true;
  const CapturedMenuBarItem b = d.itemFor("b");
  ASSERT_TRUE(activate(b));
  const auto& posted = d.world().postedEvents();
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].event.type, EventType::LeftMouseDown);
  EXPECT_EQ(posted[1].event.type, EventType::LeftMouseUp);
  for (const auto& p : posted) {
    EXPECT_EQ(p.route, sim::PostRoute::Pid);
    EXPECT_EQ(p.pid, 502);
    EXPECT_EQ(p.event.location, b.originalFrame.center());
    EXPECT_EQ(p.event.flags, 0u);  // a click, never a drag
    EXPECT_EQ(p.event.integerValueField(40), 502);
    EXPECT_EQ(p.event.integerValueField(91), b.id);
    EXPECT_EQ(p.event.integerValueField(92), b.id);
    EXPECT_EQ(p.event.integerValueField(51), b.id);
    EXPECT_EQ(p.event.integerValueField(1), 1);
    EXPECT_EQ(p.event.integerValueField(42), 0);
  }
  EXPECT_EQ(d.world().menuOpenCount("b"), 1);
  EXPECT_EQ(d.world().totalCursorHideCount(), 0);
}

// A click aimed where a gone window stood would reach whatever stands there now.
TEST_F(ActivationTest, GoneWindowIsNotClickedAndUntrustedDoesNothing) {
  const CapturedMenuBarItem b = d.itemFor("b");
  d.world().removeItem("b");
  EXPECT_FALSE(activate(b));
  EXPECT_TRUE(d.world().postedEvents().empty());

  d.world().clearRecords();
  d.world().switches().eventSourceFails = true;
  d.world().faults("a").pressRefused = true;
  EXPECT_FALSE(activate(d.itemFor("a")));
  EXPECT_TRUE(d.world().postedEvents().empty());

  d.world().switches().eventSourceFails = false;
  d.world().faults("a").pressRefused = false;
  d.world().setAccessibilityTrusted(false);
  const int prompts = d.world().accessibilityPrompts();
  EXPECT_FALSE(activate(d.itemFor("a")));
  EXPECT_EQ(d.world().accessibilityPrompts(), prompts + 1);
  EXPECT_EQ(d.world().pressCount("a"), 0);
  EXPECT_TRUE(d.world().postedEvents().empty());
}

}  // namespace
}  // namespace vimbo::testing
