#include <gtest/gtest.h>

#include "LayoutFixture.h"
#include "Views/MenuBarLayoutEditorModel.h"

namespace vimbo::testing {
namespace {

using Zone = MenuBarLayoutZone;

class LayoutEditorModelTest : public ::testing::Test {
 protected:
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  platform::InMemoryLoginItem login;
  platform::InMemoryScreenCaptureAccess capture{true};
  async::VirtualExecutor executor;
  MenuBarStore store{*defaults, login, capture};
  RecordingSettingsActions actions;
  std::shared_ptr<MenuBarLayoutEditorModel> editor;

  void SetUp() override {
    store.replaceCapturedSystemItems(layoutFixtureItems());
    editor = makeEditor();
  }
  std::shared_ptr<MenuBarLayoutEditorModel> makeEditor() {
    return MenuBarLayoutEditorModel::make(store, executor, actions.apply(), actions.refresh());
  }
  // Runs what is due now, without moving the clock.
  void settle() { executor.runUntil(executor.now()); }
  // A capture as the controller runs it: the flag up, new items, the flag down.
  void runCapture(std::vector<CapturedMenuBarItem> items) {
    store.isCapturingSystemItems.set(true);
    store.replaceCapturedSystemItems(std::move(items));
    store.isCapturingSystemItems.set(false);
    settle();
  }
};

struct DropCase {
  const char* name;
  const char* payload;
  Zone zone;
  std::optional<int64_t> visualIndex;
  bool accepted;
  Zones expected;
};

class LayoutDropTest : public LayoutEditorModelTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(LayoutDropTest, DropsEditOnlyTheDraft) {
  const auto& c = GetParam();
  const auto storedLayout = store.currentMenuBarLayoutDraft();
  EXPECT_EQ(editor->handleDrop(c.payload, c.zone, c.visualIndex), c.accepted);
  EXPECT_EQ(editor->draft().orderedIDs, c.expected);
  EXPECT_EQ(editor->toast(), std::nullopt);
  EXPECT_EQ(store.currentMenuBarLayoutDraft(), storedLayout);
}

Zones withVisible(std::vector<std::uint32_t> visible) {
  auto zones = layoutFixtureZones();
  zones[Zone::visible] = std::move(visible);
  return zones;
}

const Zones unchanged = layoutFixtureZones();

INSTANTIATE_TEST_SUITE_P(
    Drops, LayoutDropTest,
    ::testing::Values(
        DropCase{"OnAChipLandsBeforeIt", "21", Zone::visible, 4, true, withVisible({11, 12, 24, 21, 25})},
        DropCase{"OnItself", "21", Zone::visible, 2, true, unchanged},
        DropCase{"OnTheNextChip", "21", Zone::visible, 3, true, unchanged},
        DropCase{"OnItsOwnWellAppends", "21", Zone::visible, std::nullopt, true, withVisible({11, 12, 24, 25, 21})},
        DropCase{"OnTheFirstChipOfAnotherWell", "21", Zone::collected, 0, true,
                 Zones{{Zone::visible, {11, 12, 24, 25}}, {Zone::collected, {21, 22, 23}}, {Zone::hidden, {}}}},
        DropCase{"IntoAnEmptyWell", "23", Zone::hidden, std::nullopt, true,
                 Zones{{Zone::visible, {11, 12, 21, 24, 25}}, {Zone::collected, {22}}, {Zone::hidden, {23}}}},
        DropCase{"BeyondTheRowAppends", "21", Zone::collected, 9, true,
                 Zones{{Zone::visible, {11, 12, 24, 25}}, {Zone::collected, {22, 23, 21}}, {Zone::hidden, {}}}},
        DropCase{"WithAPlusSign", "+21", Zone::visible, 4, true, withVisible({11, 12, 24, 21, 25})},
        DropCase{"WithALeadingZero", "021", Zone::visible, 4, true, withVisible({11, 12, 24, 21, 25})},
        DropCase{"Letters", "abc", Zone::visible, 0, false, unchanged},
        DropCase{"Empty", "", Zone::visible, 0, false, unchanged},
        DropCase{"LeadingBlank", " 21", Zone::visible, 0, false, unchanged},
        DropCase{"TrailingBlank", "21 ", Zone::visible, 0, false, unchanged},
        DropCase{"InnerBlank", "2 1", Zone::visible, 0, false, unchanged},
        DropCase{"BeyondUInt32", "4294967296", Zone::visible, 0, false, unchanged},
        DropCase{"Negative", "-1", Zone::visible, 0, false, unchanged},
        DropCase{"Decimal", "1.0", Zone::visible, 0, false, unchanged},
        DropCase{"NotCaptured", "99", Zone::visible, 0, false, unchanged},
        DropCase{"NegativeZeroIsNotCaptured", "-0", Zone::visible, 0, false, unchanged}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LayoutEditorModelTest, AnItemCapturedAfterTheDraftWasTakenIsRefused) {
  auto items = layoutFixtureItems();
  items.push_back(layoutItem(31, "Item-0", "Newcomer", 24, false));
  store.replaceCapturedSystemItems(items);
  EXPECT_FALSE(editor->acceptsDrop("31"));
  EXPECT_FALSE(editor->handleDrop("31", Zone::visible, 0));
  EXPECT_EQ(editor->draft().orderedIDs, layoutFixtureZones());
}

TEST_F(LayoutEditorModelTest, FixedItemsAreRefusedWithTheirOwnToast) {
  EXPECT_FALSE(editor->acceptsDrop("11"));
  EXPECT_FALSE(editor->handleDrop("11", Zone::collected, std::nullopt));
  EXPECT_EQ(editor->toast(), "时钟由 macOS 固定，无法收纳");
  EXPECT_FALSE(editor->handleDrop("12", Zone::hidden, 0));
  EXPECT_EQ(editor->toast(), "控制中心由 macOS 固定，无法收纳");
  EXPECT_EQ(editor->draft().orderedIDs, layoutFixtureZones());
}

TEST_F(LayoutEditorModelTest, InsertionIndexDoesNotCountTheDraggedItem) {
  EXPECT_EQ(editor->logicalInsertionIndex(std::nullopt, Zone::visible, 21), std::nullopt);
  EXPECT_EQ(editor->logicalInsertionIndex(4, Zone::visible, 21), 3);
  EXPECT_EQ(editor->logicalInsertionIndex(2, Zone::visible, 21), 2);
  EXPECT_EQ(editor->logicalInsertionIndex(-5, Zone::visible, 21), 0);
  EXPECT_EQ(editor->logicalInsertionIndex(50, Zone::visible, 21), 4);
  EXPECT_EQ(editor->logicalInsertionIndex(1, Zone::collected, 21), 1);
  EXPECT_EQ(editor->logicalInsertionIndex(3, Zone::hidden, 21), 0);
}

TEST_F(LayoutEditorModelTest, ApplyWithAnUnchangedDraftDoesNothing) {
  editor->applyDraft();
  settle();
  EXPECT_FALSE(editor->isApplying());
  EXPECT_TRUE(actions.appliedDrafts.empty());
}

TEST_F(LayoutEditorModelTest, WhileAnApplyIsHeldNothingElseEditsOrApplies) {
  ASSERT_TRUE(editor->handleDrop("21", Zone::collected, 0));
  const auto edited = editor->draft();
  editor->applyDraft();
  settle();
  ASSERT_EQ(actions.appliedDrafts.size(), 1u);
  EXPECT_EQ(actions.appliedDrafts[0], edited);
  EXPECT_TRUE(editor->isApplying());
  EXPECT_FALSE(editor->pageEnabled());
  EXPECT_FALSE(editor->applyEnabled());
  EXPECT_FALSE(editor->refreshEnabled());
  EXPECT_EQ(editor->refreshOpacity(), 0.55);
  EXPECT_EQ(editor->statusLine()->text, "正在应用预览布局…");
  EXPECT_EQ(editor->statusLine()->symbol, "hourglass");

  editor->applyDraft();
  EXPECT_FALSE(editor->acceptsDrop("24"));
  EXPECT_FALSE(editor->handleDrop("24", Zone::hidden, std::nullopt));
  editor->refresh();
  // A capture that ends during the apply leaves the draft alone.
  runCapture(layoutFixtureItems());
  settle();
  EXPECT_EQ(actions.appliedDrafts.size(), 1u);
  EXPECT_EQ(actions.refreshCalls, 0);
  EXPECT_EQ(editor->draft(), edited);
}

TEST_F(LayoutEditorModelTest, OnlyARealEndOfACaptureWhileIdleRebuilds) {
  ASSERT_TRUE(editor->handleDrop("21", Zone::collected, 0));
  // Assigning false again is no change: the edits stay.
  store.isCapturingSystemItems.set(false);
  settle();
  EXPECT_TRUE(editor->draftDiffers());
  // A capture that starts changes nothing yet; one that ends replaces the draft.
  store.isCapturingSystemItems.set(true);
  settle();
  EXPECT_TRUE(editor->draftDiffers());
  EXPECT_FALSE(editor->refreshEnabled());
  EXPECT_FALSE(editor->applyEnabled());
  store.isCapturingSystemItems.set(false);
  settle();
  EXPECT_FALSE(editor->draftDiffers());
  EXPECT_EQ(editor->draft().orderedIDs, layoutFixtureZones());
}

TEST_F(LayoutEditorModelTest, AppearanceRefreshesOnlyWhenNothingIsCaptured) {
  editor->appear();
  settle();
  EXPECT_EQ(actions.refreshCalls, 0);

  store.replaceCapturedSystemItems({});
  auto empty = makeEditor();
  actions.onRefresh = [this] { store.replaceCapturedSystemItems(layoutFixtureItems()); };
  empty->appear();
  settle();
  EXPECT_EQ(actions.refreshCalls, 1);
  EXPECT_EQ(empty->draft().orderedIDs, layoutFixtureZones());
}

TEST_F(LayoutEditorModelTest, ARefreshRebuildsUnlessAnApplyStartedMeanwhile) {
  actions.holdRefresh = true;
  ASSERT_TRUE(editor->handleDrop("21", Zone::collected, 0));
  editor->refresh();
  settle();
  ASSERT_EQ(actions.refreshCalls, 1);
  editor->applyDraft();
  settle();
  actions.pendingRefresh->resume();
  settle();
  EXPECT_TRUE(editor->draftDiffers());

  actions.releaseApply(false);
  settle();
  editor->refresh();
  settle();
  actions.pendingRefresh->resume();
  settle();
  EXPECT_FALSE(editor->draftDiffers());
}

}  // namespace
}  // namespace vimbo::testing
