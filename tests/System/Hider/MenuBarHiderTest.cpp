#include <limits>

#include "HiderFixture.h"
#include "Platform/Foundation/Diagnostics.h"

namespace vimbo::testing {
namespace {

using platform::DefaultsValue;

int windowsNamed(Desk& d, const std::string& name) {
  auto list = d.platform.windowServer.copyWindowList(platform::WindowListOption::All);
  int count = 0;
  for (const auto& entry : list.value_or(std::vector<platform::WindowInfo>{})) count += entry.name() == name;
  return count;
}

TEST(Hider, InstallSeedsForcesKeysAndPutsTheDividerJustLeftOfTheControlItem) {
  Desk d(smallWorld(true));
  d.installOwnItems();
  auto& defaults = *d.defaults;
  EXPECT_EQ(defaults.number("NSStatusItem Preferred Position Vimbo.Control"), 0.0);
  EXPECT_EQ(defaults.number("NSStatusItem Preferred Position Vimbo.HiddenDivider"), 1.0);
  EXPECT_EQ(defaults.boolean("NSStatusItem Visible Vimbo.AlignmentGap"), false);
  EXPECT_EQ(defaults.boolean("NSStatusItem VisibleCC Vimbo.AlignmentGap"), false);
  EXPECT_EQ(defaults.boolean("NSStatusItem Visible Vimbo.HiddenDivider"), true);
  EXPECT_EQ(defaults.boolean("NSStatusItem Visible Vimbo.Control"), true);
  EXPECT_TRUE(CompactStatusItemLayout::isInstalled());
  EXPECT_TRUE(d.world().viewFillsWindowNames().contains("Vimbo.HiddenDivider"));

  ASSERT_TRUE(d.hider.dividerItem);
  EXPECT_EQ(d.hider.dividerItem->length(), 1);
  EXPECT_EQ(d.hider.dividerItem->button()->toolTip(), "Vimbo 收纳分隔线");
  EXPECT_EQ(d.hider.dividerItem->button()->title(), "");
  const Rect divider = d.divider(), control = d.control();
  EXPECT_EQ(divider.width, 1);
  EXPECT_EQ(divider.maxX(), control.minX());
  EXPECT_LT(d.frame("wifi").maxX(), divider.minX() + 0.5);
  EXPECT_LT(control.maxX(), d.frame("bento").minX() + 0.5);

  // A second install makes no second divider and rewrites nothing.
  defaults.set("NSStatusItem Visible Vimbo.AlignmentGap", DefaultsValue(true));
  d.hider.installDivider();
  EXPECT_EQ(windowsNamed(d, "Vimbo.HiddenDivider"), 1);
  EXPECT_EQ(defaults.boolean("NSStatusItem Visible Vimbo.AlignmentGap"), true);
}

TEST(Hider, ExistingPositionsAreKeptAndAFailedLayoutInstallIsRetried) {
  Desk d(smallWorld(false));
  d.defaults->set("NSStatusItem Preferred Position Vimbo.HiddenDivider", DefaultsValue(5.0));
  d.defaults->set("NSStatusItem Preferred Position Vimbo.Control", DefaultsValue(0.0));
  d.defaults->set("NSStatusItem Visible Vimbo.HiddenDivider", DefaultsValue(false));
  d.world().switches().viewFillsWindowAvailable = false;
  d.installOwnItems();
  EXPECT_EQ(d.defaults->number("NSStatusItem Preferred Position Vimbo.HiddenDivider"), 5.0);
  EXPECT_EQ(d.defaults->boolean("NSStatusItem Visible Vimbo.HiddenDivider"), true);
  EXPECT_FALSE(CompactStatusItemLayout::isInstalled());

  d.hider.restoreAndRemove();
  EXPECT_FALSE(d.hider.dividerItem);
  EXPECT_EQ(windowsNamed(d, "Vimbo.HiddenDivider"), 0);
  d.world().switches().viewFillsWindowAvailable = true;
  d.hider.installDivider();
  EXPECT_TRUE(CompactStatusItemLayout::isInstalled());
}

// A hand-edited position that would put our items beyond the bar's left end for good is replaced
// at start, and said once on stderr.
TEST(Hider, AJunkStoredPositionIsReplacedAndTheControlItemShows) {
  const std::string control = "NSStatusItem Preferred Position Vimbo.Control";
  const std::string divider = "NSStatusItem Preferred Position Vimbo.HiddenDivider";
  for (const DefaultsValue& junk : {DefaultsValue("left"), DefaultsValue(1e300), DefaultsValue(-3.0), DefaultsValue(10001),
                                    DefaultsValue(std::numeric_limits<double>::quiet_NaN())}) {
    Desk d(smallWorld(true));
    platform::forgetReportsForTesting();
    d.defaults->set(control, junk);
    d.defaults->set(divider, junk);
    ::testing::internal::CaptureStderr();
    d.installOwnItems();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(d.defaults->object(control), DefaultsValue(0.0));
    EXPECT_EQ(d.defaults->object(divider), DefaultsValue(1.0));
    EXPECT_TRUE(d.hider.isMenuBarFrameSafe(d.control()));
    EXPECT_EQ(d.divider().maxX(), d.control().minX());
    for (const std::string& key : {control, divider}) {
      const auto first = said.find(key);
      EXPECT_TRUE(first != std::string::npos && said.find(key, first + 1) == std::string::npos) << said;
    }
  }
}

TEST(Hider, CollapseAndExpandMoveOnlyWhatStandsLeftOfTheDivider) {
  Desk d(smallWorld(true));
  d.installOwnItems();
  const Rect a = d.frame("a"), wifi = d.frame("wifi"), control = d.control(), clock = d.frame("clock");

  ASSERT_TRUE(d.hider.setCollapsed(true));
  d.executor.runUntilIdle();
  EXPECT_TRUE(d.hider.isCollapsed);
  EXPECT_EQ(d.hider.dividerItem->length(), 10000);
  EXPECT_LT(d.frame("a").maxX(), 0);
  EXPECT_LT(d.frame("wifi").maxX(), 0);
  EXPECT_TRUE(d.world().itemByWindow(d.itemFor("a").id).has_value());
  EXPECT_EQ(d.control(), control);
  EXPECT_EQ(d.frame("clock"), clock);

  ASSERT_TRUE(d.hider.setCollapsed(false));
  d.executor.runUntilIdle();
  EXPECT_FALSE(d.hider.isCollapsed);
  EXPECT_EQ(d.frame("a"), a);
  EXPECT_EQ(d.frame("wifi"), wifi);
}

// A refused change leaves both the length and the flag as they were, so the flag keeps meaning
// "the divider is 10000 long".
TEST(Hider, RefusedChangesKeepTheStateThatIsReallyShown) {
  Desk d(smallWorld(true));
  EXPECT_FALSE(d.hider.setCollapsed(true));  // no divider yet
  EXPECT_FALSE(d.hider.isCollapsed);

  d.installOwnItems();
  d.world().switches().onScreenCountZeros = 1;
  EXPECT_FALSE(d.hider.setCollapsed(true));
  EXPECT_FALSE(d.hider.isCollapsed);
  EXPECT_EQ(d.hider.dividerItem->length(), 1);

  ASSERT_TRUE(d.hider.setCollapsed(true));
  d.world().switches().onScreenCountFailures = 1;
  EXPECT_FALSE(d.hider.setCollapsed(false));
  d.executor.runUntilIdle();
  EXPECT_TRUE(d.hider.isCollapsed);
  EXPECT_EQ(d.hider.dividerItem->length(), 10000);
  EXPECT_LT(d.frame("a").maxX(), 0);

  // Quit brings everything back whatever the guard says.
  d.world().switches().onScreenCountFailures = 1;
  d.hider.restoreAndRemove();
  d.executor.runUntilIdle();
  EXPECT_FALSE(d.hider.isCollapsed);
  EXPECT_GT(d.frame("a").minX(), 0);
  EXPECT_FALSE(d.hider.windowServerFrame(hider::dividerName));
}

TEST(HiderGeometry, SafeAreaIsTheStripOrTheRightOfTheNotch) {
  Desk notched(smallWorld(true));
  notched.installOwnItems();
  const Rect area = notched.hider.menuBarSafeArea(notched.frame("a")).value_or(Rect{});
  EXPECT_EQ(area, (Rect{856, 0, 656, 37}));
  EXPECT_TRUE(notched.hider.isMenuBarFrameSafe({858, 0, 30, 37}));
  EXPECT_FALSE(notched.hider.isMenuBarFrameSafe({600, 0, 30, 37}));  // on screen, left of the notch
  EXPECT_FALSE(notched.hider.isMenuBarFrameSafe({853, 0, 30, 37}));
  EXPECT_TRUE(notched.hider.isResidentFrameSafe(notched.frame("a")));
  EXPECT_FALSE(notched.hider.isResidentFrameSafe(notched.frame("a"), Rect{1300, 0, 24, 37}));
  notched.world().switches().controlWindowMissing = true;
  EXPECT_FALSE(notched.hider.isResidentFrameSafe(notched.frame("a")));
  EXPECT_FALSE(notched.hider.isResidentFrameSafe({900, 0, 0, 37}, Rect{1300, 0, 24, 37}));

  Desk plain(smallWorld(false));
  EXPECT_EQ(plain.hider.menuBarSafeArea(std::nullopt), (Rect{0, 0, 1920, 29}));
  EXPECT_TRUE(plain.hider.isMenuBarFrameSafe({100, 0, 30, 31}));
  EXPECT_FALSE(plain.hider.isMenuBarFrameSafe({100, 0, 30, 32}));
}

TEST(HiderGeometry, AFrameJustOffAScreenBelongsToThatScreen) {
  sim::WorldSpec spec = smallWorld(false);
  sim::ScreenSpec second;
  second.name = "Side";
  second.displayID = 2;
  second.displayBounds = {1920, 1100, 1512, 982};
  second.frame = {1920, 1080 - 1100 - 982, 1512, 982};
  second.menuBarHeight = 24;
  spec.screens.push_back(second);
  // A notched screen above-left whose screen frame is half its display size.
  sim::ScreenSpec third;
  third.name = "Scaled";
  third.displayID = 3;
  third.displayBounds = {-1512, -982, 1512, 982};
  third.frame = {-756, 1080, 756, 491};
  third.menuBarHeight = 20;
  third.notchWidth = 100;
  spec.screens.push_back(third);
  Desk d(std::move(spec));
  EXPECT_EQ(d.hider.menuBarSafeArea(Rect{-600, -980, 30, 20}), (Rect{-656, -982, 656, 40}));
  // Centre (1921, 1099): off both screens, within 2 points of the second only.
  EXPECT_EQ(d.hider.menuBarSafeArea(Rect{1906, 1089.5, 30, 19}), (Rect{1920, 1100, 1512, 29}));
  EXPECT_EQ(d.hider.menuBarSafeArea(Rect{1906, 1085, 30, 10}), (Rect{0, 0, 1920, 29}));  // near neither: the first
}

}  // namespace
}  // namespace vimbo::testing
