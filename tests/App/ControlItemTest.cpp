// The control item's clicks and menu, the mouse-down monitors while the manager is open, our
// windows' sizes and places, re-open, resigning active and the activation policy.
#include <gtest/gtest.h>

#include "App/ControllerFixture.h"

namespace vimbo::testing {
namespace {

using platform::EventType;
using test_support::ContentKind;

struct ControlItem : ::testing::Test {
  ControlItem() : f(controllerWorld(true)) { f.launch(); }
  AppDelegate& app() { return f.app(); }
  bool popoverShown() { return app().popover->isShown(); }
  // Schedules a person's choice in our menu, to run inside the menu's own loop.
  void chooseInMenuSoon(size_t entry, std::vector<std::string>* seen = nullptr) {
    f.executor.scheduleAfter(10ms, [this, entry, seen] {
      auto menus = f.world().openMenus();
      ASSERT_FALSE(menus.empty());
      if (seen) *seen = menus.front().entries;
      f.world().chooseMenuEntry(menus.front().windowNumber, entry);
    });
  }
  ControllerFixture f;
};

TEST_F(ControlItem, LeftClickRevealsWithASessionAndTheNextCollapses) {
  f.clickControl();
  f.runFor(50ms);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength);
  EXPECT_FALSE(f.store().systemItemsCollapsed.get());
  EXPECT_TRUE(app().revealSessionTask);
  EXPECT_TRUE(app().hoverRequiresPointerExit);
  f.clickControl();
  f.runFor(50ms);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  EXPECT_FALSE(app().revealSessionTask);
  f.rememberPointer();  // the person moved it
  f.expectSafe();
}

TEST_F(ControlItem, OptionClickTogglesThePopover) {
  f.clickControl(platform::eventflag::option);
  f.runFor(50ms);
  EXPECT_TRUE(popoverShown());
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  f.clickControl(platform::eventflag::option);
  f.runFor(50ms);
  EXPECT_FALSE(popoverShown());
}

TEST_F(ControlItem, RightClickShowsTheThreeEntriesEachDoingItsPartThenDetachesTheMenu) {
  std::vector<std::string> entries;
  chooseInMenuSoon(1, &entries);
  f.rightClick(f.controlFrame().center());
  f.runFor(50ms);
  EXPECT_EQ(entries, (std::vector<std::string>{"搜索菜单栏项目", "管理面板", "偏好设置"}));
  EXPECT_TRUE(popoverShown()) << "管理面板 opens the popover";
  EXPECT_FALSE(app().statusItem->hasMenu());
  app().popover->performClose();
  f.clickControl();
  f.runFor(50ms);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength) << "the next left click reveals";

  chooseInMenuSoon(0);
  f.rightClick(f.controlFrame().center());
  f.runFor(50ms);
  ASSERT_TRUE(app().quickSearchPanel);
  EXPECT_TRUE(app().quickSearchPanel->isVisible());
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength) << "the menu collapses first";
  chooseInMenuSoon(2);
  f.rightClick(f.controlFrame().center());
  f.runFor(50ms);
  ASSERT_TRUE(app().settingsWindowController);
  EXPECT_TRUE(app().settingsWindowController->isVisible());
}

TEST_F(ControlItem, PopoverSitsUnderTheControlItemWithManagerContentAndBecomesKey) {
  app().togglePopover();
  ASSERT_TRUE(popoverShown());
  EXPECT_EQ(app().popover->behavior(), platform::PopoverBehavior::applicationDefined);
  EXPECT_EQ(app().popover->contentSize(), (Size{388, 590}));
  auto* window = app().popover->contentWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_EQ(window->frame().y, 945 - 590);
  EXPECT_TRUE(f.world().isOwnActive());
  auto content = test_support::RecordingViewFactory::recorded(app().popover->content());
  ASSERT_TRUE(content);
  EXPECT_EQ(content->kind, ContentKind::managerPanel);
  EXPECT_EQ(content->store, &f.store());
}

TEST_F(ControlItem, PopoverOnAnEmptyCacheStartsARefreshWithRevealFallback) {
  f.store().replaceCapturedSystemItems({});
  bool refreshed = false;
  auto watch = f.store().isCapturingSystemItems.subscribe([&](const bool& v) { refreshed |= v; });
  app().togglePopover();
  f.runFor(2s);
  EXPECT_TRUE(refreshed);
  EXPECT_FALSE(f.store().capturedSystemItems.get().empty());
}

// A plain mouse-down on the control item while the popover is open reveals at once; its mouse-up
// within half a second is not a second toggle; a later one is a click of its own.
TEST_F(ControlItem, ControlClickWhileThePopoverIsOpenRevealsOnMouseDown) {
  const Rect c = f.controlFrame();
  app().togglePopover();
  f.world().personMouse(EventType::LeftMouseDown, c.center());
  EXPECT_EQ(f.dividerLength(), hider::expandedLength) << "revealed on the mouse-down";
  EXPECT_FALSE(popoverShown()) << "the reveal closes the manager";
  f.runFor(300ms);
  f.world().personMouse(EventType::LeftMouseUp, c.center());
  f.runFor(10ms);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength) << "the mouse-up at 0.3 s is ignored";

  app().collapseNativeReveal();
  app().togglePopover();
  f.world().personMouse(EventType::LeftMouseDown, c.center());
  f.runFor(600ms);
  f.world().personMouse(EventType::LeftMouseUp, c.center());
  f.runFor(10ms);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength) << "the mouse-up at 0.6 s is a click: it collapses";
}

TEST_F(ControlItem, ClicksNearOrInsideTheManagerKeepItOpenOthersCloseIt) {
  const Rect c = f.controlFrame();
  app().togglePopover();
  f.rightClick({c.minX() - 5, c.midY()});
  f.runFor(10ms);
  EXPECT_TRUE(popoverShown()) << "a right click within 6 pt of the control item";
  const Rect popoverFrame = app().popover->contentWindow()->frame();
  f.world().personClick({popoverFrame.midX(), 982 - popoverFrame.midY()});
  f.runFor(10ms);
  EXPECT_TRUE(popoverShown()) << "a click inside the popover";
  f.world().personClick(c.center(), platform::eventflag::command);
  f.runFor(10ms);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength) << "a Command-click is not a reveal";
  f.rightClick({c.minX() - 7, c.midY()});
  f.runFor(10ms);
  EXPECT_FALSE(popoverShown()) << "7 pt away closes the manager";
}

TEST_F(ControlItem, WhileBusyClicksNeitherCloseTheManagerNorReveal) {
  app().togglePopover();
  app().activeSystemItemOperationCount = 1;
  f.world().personClick({300, 600});
  f.runFor(10ms);
  EXPECT_TRUE(popoverShown());
  f.world().personMouse(EventType::LeftMouseDown, f.controlFrame().center());
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  app().activeSystemItemOperationCount = 0;
}

struct PanelPlacement {
  Rect screen;
  Point expected;
};

class DetachedPanelPlacement : public ::testing::TestWithParam<PanelPlacement> {};

TEST_P(DetachedPanelPlacement, StandsTopRightOfTheVisibleFrame) {
  sim::WorldSpec spec = controllerWorld(true);
  spec.screens.front().displayBounds = GetParam().screen;
  spec.screens.front().frame = GetParam().screen;
  ControllerFixture f(spec);
  f.launch();
  f.app().showDetachedPanel();
  auto panel = f.app().detachedPanel;
  ASSERT_TRUE(panel);
  EXPECT_EQ(panel->frame().origin(), GetParam().expected);
  EXPECT_EQ(panel->contentSize(), (Size{388, 590}));
  EXPECT_TRUE(panel->isKeyWindow());
  const auto& c = panel->configuration();
  EXPECT_EQ(c.level, platform::windowlevel::floating);
  EXPECT_TRUE(c.hasStyle(platform::windowstyle::fullSizeContentView));
  EXPECT_TRUE(c.titleHidden && c.movableByBackground && !c.releasedWhenClosed);
  f.app().showDetachedPanel();
  EXPECT_EQ(f.app().detachedPanel, panel) << "created once";
  EXPECT_EQ(f.made(ContentKind::managerPanel).size(), 2u) << "the popover's and the panel's";
}

INSTANTIATE_TEST_SUITE_P(Screens, DetachedPanelPlacement,
                         ::testing::Values(PanelPlacement{{0, 0, 1512, 982}, {1112, 345}},
                                           PanelPlacement{{0, 0, 400, 982}, {12, 345}}));

TEST_F(ControlItem, SettingsWindowIsMadeOnceAndSwitchesThePolicyWhileVisible) {
  f.clickControl();
  ASSERT_EQ(f.dividerLength(), hider::expandedLength);
  app().openSettings();
  auto window = app().settingsWindowController;
  ASSERT_TRUE(window);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength) << "opening collapses a reveal";
  const auto& c = window->configuration();
  EXPECT_EQ(c.title, "偏好设置");
  EXPECT_TRUE(c.hasStyle(platform::windowstyle::titled) && c.hasStyle(platform::windowstyle::closable));
  EXPECT_EQ(c.level, platform::windowlevel::normal);
  EXPECT_EQ(window->contentSize(), (Size{760, 650}));
  EXPECT_EQ(window->contentMinSize(), (Size{720, 620}));
  EXPECT_EQ(window->contentMaxSize(), (Size{960, 820}));
  EXPECT_EQ(window->frame().origin(), (Point{376, 133.5})) << "centred";
  EXPECT_EQ(f.world().ownActivationPolicy(), platform::ActivationPolicy::Regular);
  auto settings = f.made(ContentKind::settingsView);
  ASSERT_EQ(settings.size(), 1u);
  EXPECT_TRUE(settings.front()->settings.applyMenuBarLayout && settings.front()->settings.refreshSystemItems);

  window->performClose();
  EXPECT_EQ(f.world().ownActivationPolicy(), platform::ActivationPolicy::Regular) << "one turn later";
  f.runFor(10ms);
  EXPECT_EQ(f.world().ownActivationPolicy(), platform::ActivationPolicy::Accessory);

  app().openSettings();
  EXPECT_EQ(app().settingsWindowController, window);
  app().settingsSceneDidAppear();
  window->performClose();
  f.runFor(10ms);
  EXPECT_EQ(f.world().ownActivationPolicy(), platform::ActivationPolicy::Regular) << "the scene is still visible";
  app().settingsSceneDidDisappear();
  EXPECT_EQ(f.world().ownActivationPolicy(), platform::ActivationPolicy::Accessory);
}

TEST_F(ControlItem, ReopenShowsTheSettingsWindowOrTheDetachedPanelAndAlwaysAnswersTrue) {
  EXPECT_TRUE(f.application().reopen(false));
  ASSERT_TRUE(app().detachedPanel);
  EXPECT_TRUE(app().detachedPanel->isVisible());

  app().openSettings();
  f.world().personClick({300, 600});  // another application becomes active
  const int changes = f.world().activationPolicyChanges();
  EXPECT_TRUE(f.application().reopen(true));
  EXPECT_EQ(f.world().activationPolicyChanges(), changes) << "the policy is set only when it differs";
  EXPECT_TRUE(app().settingsWindowController->isKeyWindow());
  EXPECT_TRUE(f.world().isOwnActive());

  // With only the settings scene visible: the policy and activation, and no manager panel.
  app().settingsWindowController->performClose();
  app().detachedPanel->orderOut();
  f.runFor(10ms);
  app().settingsSceneDidAppear();
  f.world().personClick({300, 600});
  f.world().setOwnActivationPolicy(platform::ActivationPolicy::Accessory);
  EXPECT_TRUE(f.application().reopen(false));
  EXPECT_EQ(f.world().ownActivationPolicy(), platform::ActivationPolicy::Regular);
  EXPECT_TRUE(f.world().isOwnActive());
  EXPECT_FALSE(app().detachedPanel->isVisible());
}

TEST_F(ControlItem, ResignActiveClosesQuickSearchAlwaysAndTheManagerUnlessBusy) {
  app().showDetachedPanel();
  app().activeSystemItemOperationCount = 1;
  f.world().personClick({300, 600});
  f.runFor(10ms);
  EXPECT_TRUE(app().detachedPanel->isVisible()) << "an operation is counted";
  app().activeSystemItemOperationCount = 0;

  app().togglePopover();
  ASSERT_TRUE(popoverShown());
  f.world().personClick({300, 600});
  f.runFor(10ms);
  EXPECT_FALSE(popoverShown());

  app().showQuickSearch();
  app().activeSystemItemOperationCount = 1;
  f.world().personClick({300, 600});
  f.runFor(10ms);
  EXPECT_FALSE(app().quickSearchPanel->isVisible());
  EXPECT_EQ(app().quickSearchKeyMonitor, 0u);
  app().activeSystemItemOperationCount = 0;
}

}  // namespace
}  // namespace vimbo::testing
