// The global hot keys, the quick-search panel, its keys and its closing on loss of key status.
#include <gtest/gtest.h>

#include "App/ControllerFixture.h"
#include "Views/CapturedMenuBarSearch.h"

namespace vimbo::testing {
namespace {

using platform::EventType;
using test_support::ContentKind;
namespace flag = platform::eventflag;

constexpr uint16_t kB = 11;
constexpr platform::EventFlags kRevealKeys = flag::control | flag::command;
constexpr platform::EventFlags kSearchKeys = flag::option | flag::command;

CapturedMenuBarItem row(uint32_t id, std::string name) {
  CapturedMenuBarItem item;
  item.id = id;
  item.name = std::move(name);
  item.windowName = "Row";
  return item;
}

struct QuickSearch : ::testing::Test {
  QuickSearch() : f(controllerWorld(true)) { f.launch(); }
  AppDelegate& app() { return f.app(); }
  bool panelOpen() { return app().quickSearchPanel && app().quickSearchPanel->isVisible(); }
  // Quick search open over exactly three rows.
  void openWithThreeRows() {
    f.pressKey(kB, kSearchKeys);
    f.runFor(2s);
    ASSERT_TRUE(panelOpen());
    f.store().replaceCapturedSystemItems({row(901, "Alpha"), row(902, "Beta"), row(903, "Gamma")});
  }
  ControllerFixture f;
};

TEST_F(QuickSearch, BothHotKeysAreRegisteredOnTheBKeyWithTheirIdentifiers) {
  auto keys = f.world().hotKeys();
  ASSERT_EQ(keys.size(), 2u);
  std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.id.id < b.id.id; });
  EXPECT_EQ(keys[0].keyCode, kB);
  EXPECT_EQ(keys[0].modifiers, 0x1100u);
  EXPECT_EQ(keys[0].id, (platform::HotKeyID{platform::fourCharCode("VMBO"), 1}));
  EXPECT_EQ(keys[1].modifiers, 0x900u);
  EXPECT_EQ(keys[1].id, (platform::HotKeyID{platform::fourCharCode("VMBO"), 2}));
}

TEST_F(QuickSearch, RevealHotKeyExpandsWithoutASessionAndCollapsesOnTheNextPress) {
  f.pressKey(kB, kRevealKeys);
  f.runFor(50ms);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength);
  EXPECT_FALSE(app().revealSessionTask) << "a reveal without a session stays until collapsed";
  EXPECT_TRUE(app().hoverRequiresPointerExit);
  EXPECT_TRUE(app().userRevealCaptureTask);
  f.runFor(5s);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength);
  f.pressKey(kB, kRevealKeys);
  f.runFor(50ms);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  EXPECT_TRUE(f.world().keysToFocusedApp().empty()) << "neither press nor release reaches anyone else";
}

TEST_F(QuickSearch, DisabledShortcutsSwallowTheirKeysAndWorkAgainWithoutRegistering) {
  f.store().shortcutEnabled.set(false);
  f.pressKey(kB, kRevealKeys);
  f.pressKey(kB, kSearchKeys);
  f.runFor(100ms);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  EXPECT_FALSE(panelOpen());
  EXPECT_TRUE(f.world().keysToFocusedApp().empty());
  f.store().shortcutEnabled.set(true);
  f.pressKey(kB, kRevealKeys);
  f.runFor(50ms);
  EXPECT_EQ(f.dividerLength(), hider::expandedLength);
  EXPECT_EQ(f.world().hotKeys().size(), 2u);
}

TEST_F(QuickSearch, ForeignOrUnreadableHotKeyEventsAreLeftToOtherHandlers) {
  EXPECT_EQ(app().handleHotKeyEvent(platform::HotKeyID{platform::fourCharCode("XXXX"), 1}),
            platform::hotkeystatus::eventNotHandled);
  EXPECT_EQ(app().handleHotKeyEvent(std::nullopt), platform::hotkeystatus::eventNotHandled);
  f.world().switches().unreadableHotKeyEvents = 1;
  f.pressKey(kB, kRevealKeys);
  f.runFor(100ms);
  EXPECT_EQ(f.dividerLength(), hider::collapsedLength);
  EXPECT_EQ(app().handleHotKeyEvent(platform::HotKeyID{platform::fourCharCode("VMBO"), 7}),
            platform::hotkeystatus::noErr);
}

TEST_F(QuickSearch, OpensCentredAndKeyReusesItsPanelAndRefreshesWithoutRevealFallback) {
  bool refreshed = false;
  auto watch = f.store().isCapturingSystemItems.subscribe([&](const bool& v) { refreshed |= v; });
  app().quickSearchSession.query.set("wifi");
  app().quickSearchSession.selectedIndex.set(2);
  f.pressKey(kB, kSearchKeys);
  f.runFor(10ms);
  ASSERT_TRUE(panelOpen());
  auto panel = app().quickSearchPanel;
  EXPECT_EQ(panel->frame(), (Rect{536, 264.5, 440, 416}));
  EXPECT_TRUE(panel->isKeyWindow());
  EXPECT_TRUE(f.world().isOwnActive());
  EXPECT_EQ(app().quickSearchSession.query.get(), "");
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 0);
  const auto& c = panel->configuration();
  EXPECT_EQ(c.title, "搜索菜单栏项目");
  EXPECT_TRUE(c.titleHidden && c.standardButtonsHidden && c.clearBackground && !c.opaque);
  EXPECT_EQ(c.level, platform::windowlevel::floating);
  f.runFor(2s);
  EXPECT_TRUE(refreshed);
  const auto monitors = f.world().monitorCount();

  app().quickSearchSession.query.set("x");
  app().showQuickSearch();
  EXPECT_EQ(app().quickSearchPanel, panel);
  EXPECT_EQ(app().quickSearchSession.query.get(), "");
  EXPECT_EQ(f.world().monitorCount(), monitors) << "the key monitor is installed once";
  auto contents = f.made(ContentKind::quickSearchPanel);
  ASSERT_EQ(contents.size(), 1u);
  EXPECT_EQ(contents.front()->session, &app().quickSearchSession);
  contents.front()->quickSearch.onClose();
  EXPECT_FALSE(panelOpen());
  EXPECT_EQ(f.world().monitorCount(), monitors - 1);
}

enum class Effect { activatesAndCloses, closes, moves, consumesOnly, passes };

struct KeyCase {
  const char* label;
  uint16_t keyCode;
  platform::EventFlags flags;
  Effect effect;
  int64_t selectionAfter = 0;
};

class QuickSearchKeys : public QuickSearch, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(QuickSearchKeys, HandlesTheKeyTable) {
  const KeyCase& c = GetParam();
  openWithThreeRows();
  platform::Event event;
  event.type = EventType::KeyDown;
  event.keyCode = c.keyCode;
  event.flags = c.flags;
  const int64_t revision = app().quickSearchSession.keyboardNavigationRevision.get();
  const auto result = app().handleQuickSearchKeyDown(event);
  EXPECT_EQ(result.has_value(), c.effect == Effect::passes) << c.label;
  const bool closed = c.effect == Effect::activatesAndCloses || c.effect == Effect::closes;
  EXPECT_EQ(panelOpen(), !closed) << c.label;
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), c.selectionAfter) << c.label;
  EXPECT_EQ(app().quickSearchSession.keyboardNavigationRevision.get(), revision + (c.effect == Effect::moves ? 1 : 0))
      << c.label;
  EXPECT_EQ(bool(app().systemItemActivationTask), c.effect == Effect::activatesAndCloses) << c.label;
}

constexpr platform::EventFlags kArrow = flag::numericPad | flag::function;

INSTANTIATE_TEST_SUITE_P(
    Table, QuickSearchKeys,
    ::testing::Values(KeyCase{"Return", 36, 0, Effect::activatesAndCloses},
                      KeyCase{"keypad Enter", 76, flag::numericPad, Effect::activatesAndCloses},
                      KeyCase{"Shift-Return", 36, flag::shift, Effect::passes},
                      KeyCase{"Return with Caps Lock", 36, flag::capsLock, Effect::passes},
                      KeyCase{"Escape", 53, 0, Effect::closes},
                      KeyCase{"Option-Escape", 53, flag::option, Effect::passes},
                      KeyCase{"Escape with Caps Lock", 53, flag::capsLock, Effect::passes},
                      KeyCase{"Down", 125, kArrow, Effect::moves, 1}, KeyCase{"Up wraps", 126, kArrow, Effect::moves, 2},
                      KeyCase{"Shift-Down", 125, kArrow | flag::shift, Effect::passes},
                      KeyCase{"Option-Up", 126, kArrow | flag::option, Effect::passes},
                      KeyCase{"Down with Caps Lock", 125, kArrow | flag::capsLock, Effect::passes},
                      KeyCase{"Command-1", 18, flag::command, Effect::activatesAndCloses},
                      KeyCase{"Command-3", 20, flag::command, Effect::activatesAndCloses},
                      KeyCase{"Command-1 with Caps Lock", 18, flag::command | flag::capsLock, Effect::activatesAndCloses},
                      KeyCase{"Command-5 beyond the list", 23, flag::command, Effect::consumesOnly},
                      KeyCase{"Command-9 beyond the list", 25, flag::command, Effect::consumesOnly},
                      KeyCase{"Command-keypad-5", 87, flag::command | flag::numericPad, Effect::passes},
                      KeyCase{"Command-Shift-1", 18, flag::command | flag::shift, Effect::passes},
                      KeyCase{"Option-1", 18, flag::option, Effect::passes}, KeyCase{"plain 1", 18, 0, Effect::passes},
                      KeyCase{"Command-B", 11, flag::command, Effect::passes}));

TEST_F(QuickSearch, KeysReachTheSessionThroughTheKeyMonitor) {
  openWithThreeRows();
  app().quickSearchSession.selectedIndex.set(2);
  f.pressKey(platform::keycode::downArrow);
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 0);
  f.pressKey(platform::keycode::downArrow);
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 1);
  EXPECT_EQ(app().quickSearchSession.keyboardNavigationRevision.get(), 2);
  f.pressKey(platform::keycode::downArrow, flag::shift);
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 1) << "Shift-Down reaches the panel";
  f.pressKey(platform::keycode::keypadEnter, flag::numericPad);
  EXPECT_FALSE(panelOpen());
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 0) << "the session is reset";
  EXPECT_EQ(f.world().monitorCount(), 2u) << "the key monitor went with the panel";

  openWithThreeRows();
  f.store().replaceCapturedSystemItems({});
  f.pressKey(platform::keycode::returnKey);
  EXPECT_TRUE(panelOpen()) << "Return with no rows";
}

TEST_F(QuickSearch, KeypadEnterOpensTheMenuOfTheSelectedRankedRow) {
  f.pressKey(kB, kSearchKeys);
  f.runFor(2s);
  const auto ranked = CapturedMenuBarSearch::rankedItems(f.store().capturedSystemItems.get(), "");
  ASSERT_GE(ranked.size(), 3u);
  f.pressKey(platform::keycode::downArrow);
  f.pressKey(platform::keycode::downArrow);
  f.pressKey(platform::keycode::keypadEnter, flag::numericPad);
  EXPECT_FALSE(panelOpen());
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 0) << "the session is reset";
  EXPECT_TRUE(app().systemItemActivationTask);
  const auto row = f.world().itemByWindow(ranked[2].id);
  ASSERT_TRUE(row);
  ASSERT_TRUE(f.runUntil([&] { return !f.world().openMenus().empty(); }, 5s));
  EXPECT_EQ(f.world().openMenus().front().item, row->key);
  f.world().dismissAllMenus();
  f.runUntil([&] { return !app().systemItemActivationTask; }, 60s);
}

TEST_F(QuickSearch, ClosesOneTurnAfterLosingKeyStatusUnlessRegainedInTheSameTurn) {
  openWithThreeRows();
  platform::WindowConfiguration other;
  other.contentSize = {200, 100};
  auto window = f.platform.windows.makeWindow(other);
  window->makeKeyAndOrderFront();
  app().quickSearchPanel->makeKey();
  f.runFor(10ms);
  EXPECT_TRUE(panelOpen()) << "key again within the same turn";

  window->makeKey();
  f.pressKey(platform::keycode::downArrow);
  EXPECT_EQ(app().quickSearchSession.selectedIndex.get(), 0) << "keys are not touched while another window is key";
  EXPECT_TRUE(panelOpen()) << "closes only on the next turn";
  f.runFor(10ms);
  EXPECT_FALSE(panelOpen());

  app().showQuickSearch();
  f.world().personClick({300, 600});
  f.runFor(10ms);
  EXPECT_FALSE(panelOpen()) << "a click on the wallpaper";
}

}  // namespace
}  // namespace vimbo::testing
