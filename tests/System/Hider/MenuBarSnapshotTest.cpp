#include "HiderFixture.h"
#include "System/MenuBarSnapshot.h"

namespace vimbo::testing {
namespace {

using platform::WindowListOption;

// One look answers every window as the live reads do, in both states of the bar; the single-window
// query gives what the full list holds for that window.
TEST(MenuBarSnapshot, AnswersAsTheLiveReadsAndTheSingleWindowQueryAsTheFullList) {
  Desk d(smallWorld(true));
  d.installOwnItems();
  d.world().switches().controlWindowDuplicates = 1;
  const uint32_t unreadable = d.world().item("b")->windowNumber;
  d.world().overrideWindowField(unreadable, platform::windowkey::bounds, platform::WindowValue{platform::UnreadableBounds{}});
  for (bool collapsed : {false, true}) {
    d.hider.setCollapsed(collapsed);
    d.executor.runUntilIdle();
    const MenuBarSnapshot bar(d.platform.windowServer, d.capture(), d.hider);
    EXPECT_EQ(bar.divider(), d.hider.windowServerFrame(hider::dividerName));
    EXPECT_EQ(bar.control(), d.hider.windowServerFrame(hider::controlName));
    const auto all = *d.platform.windowServer.copyWindowList(WindowListOption::All);
    for (const auto& entry : all) {
      const uint32_t id = *entry.number();
      const auto live = d.capture().currentFrame(id);
      EXPECT_EQ(bar.frame(id), live) << id;
      const bool shown = live && d.divider().maxX() < live->midX() && d.capture().isFrameOnScreen(*live) &&
                         d.hider.isMenuBarFrameSafe(*live);
      EXPECT_EQ(bar.isShown(id), live ? std::optional<bool>(shown) : std::nullopt) << id;
      auto single = *d.platform.windowServer.copyWindowList(WindowListOption::IncludingWindow, id);
      std::vector<platform::WindowInfo> expected;
      for (const auto& e : all) {
        if (e.number() == id) expected.push_back(e);
      }
      ASSERT_EQ(single.size(), expected.size()) << id;
      for (size_t i = 0; i < single.size(); ++i) EXPECT_EQ(single[i].fields, expected[i].fields) << id;
    }
    EXPECT_FALSE(bar.frame(unreadable));
    CapturedMenuBarItem item = d.itemFor("a");
    EXPECT_EQ(bar.isDisplayedCollected(item, false), !*bar.isShown(item.id));
    EXPECT_TRUE(bar.isDisplayedCollected(d.itemFor("b"), true));
    EXPECT_FALSE(bar.isDisplayedCollected(d.itemFor("b"), false));
    EXPECT_FALSE(bar.isDisplayedCollected(d.itemFor("clock"), true));
  }
  d.world().switches().windowListUnavailable = true;
  const MenuBarSnapshot none(d.platform.windowServer, d.capture(), d.hider);
  EXPECT_FALSE(none.divider());
  EXPECT_FALSE(none.frame(d.world().item("a")->windowNumber));
}

}  // namespace
}  // namespace vimbo::testing
