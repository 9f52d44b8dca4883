#include <gtest/gtest.h>

#include "Store/MenuBarStore.h"
#include "Views/HoverSettingsModel.h"
#include "Views/SettingsSection.h"

namespace vimbo::testing {
namespace {

class SettingsModelsTest : public ::testing::Test {
 protected:
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  platform::InMemoryLoginItem login;
  platform::InMemoryScreenCaptureAccess capture{true};
  std::unique_ptr<MenuBarStore> store = std::make_unique<MenuBarStore>(*defaults, login, capture);
};

TEST(SettingsSectionTest, OnlyTheFourTitlesNameASection) {
  for (auto section : allSettingsSections) EXPECT_EQ(settingsSectionFromTitle(title(section)), section);
  EXPECT_EQ(settingsSectionFromTitle("关于"), SettingsSection::about);
  for (const char* other : {" 关于", "关于 ", "", "About", "通用\n"}) {
    EXPECT_EQ(settingsSectionFromTitle(other), std::nullopt) << other;
  }
}

TEST_F(SettingsModelsTest, AnOffGridStoredTimingShowsAsStoredAndSyncingNeverWrites) {
  defaults->set(MenuBarStore::hoverRevealDelayKey, 0.123);
  store = std::make_unique<MenuBarStore>(*defaults, login, capture);
  const double stored = storedHoverTiming(*store, HoverTiming::revealDelay);
  EXPECT_EQ(hoverTimingDisplay(stored), "123 毫秒");
  EXPECT_EQ(hoverTimingNearestTick(HoverTiming::revealDelay, stored), 1);
  EXPECT_EQ(store->hoverRevealDelay.get(), 0.123);
  EXPECT_EQ(defaults->number(MenuBarStore::hoverRevealDelayKey), 0.123);
}

TEST(HoverTimingTest, TheEndTicksGiveTheRangesEnds) {
  struct Case {
    HoverTiming timing;
    int maxTick;
    double first, second, last;
  };
  for (auto c : {Case{HoverTiming::samplingInterval, 18, 0.02, 0.03, 0.2}, Case{HoverTiming::revealDelay, 19, 0.05, 0.1, 1.0},
                 Case{HoverTiming::collapseDelay, 18, 0.2, 0.3, 2.0}}) {
    EXPECT_EQ(hoverTimingMaxTick(c.timing), c.maxTick);
    EXPECT_EQ(hoverTimingValue(c.timing, 0), c.first);
    EXPECT_EQ(hoverTimingValue(c.timing, 1), c.second);
    EXPECT_EQ(hoverTimingValue(c.timing, c.maxTick), c.last);
    EXPECT_EQ(hoverTimingNearestTick(c.timing, c.last + 5), c.maxTick);
    EXPECT_EQ(hoverTimingNearestTick(c.timing, -1), 0);
  }
  EXPECT_EQ(hoverTimingDisplay(0.15), "150 毫秒");
  EXPECT_EQ(hoverTimingDisplay(0.0125), "13 毫秒");  // halves away from zero
}

TEST(HoverControlsStateTest, DimmingFollowsTheSwitchesAndMultipliesWhenNested) {
  auto offEventDriven = hoverControlsState(false, HoverDetectionMethod::eventDriven, true);
  EXPECT_FALSE(offEventDriven.expansionEnabled);
  EXPECT_FALSE(offEventDriven.intervalEffectivelyEnabled());
  EXPECT_TRUE(offEventDriven.showsIntervalNote);
  EXPECT_DOUBLE_EQ(offEventDriven.intervalEffectiveOpacity(), 0.3025);
  EXPECT_TRUE(offEventDriven.collapseDelayEnabled);

  auto onPolling = hoverControlsState(true, HoverDetectionMethod::polling, false);
  EXPECT_TRUE(onPolling.intervalEffectivelyEnabled());
  EXPECT_FALSE(onPolling.showsIntervalNote);
  EXPECT_EQ(onPolling.intervalEffectiveOpacity(), 1);
  EXPECT_FALSE(onPolling.collapseDelayEnabled);
  EXPECT_EQ(onPolling.collapseDelayOpacity, 0.55);
}

}  // namespace
}  // namespace vimbo::testing
