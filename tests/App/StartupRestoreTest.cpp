// The start-up restore of the saved pins: after a restart the pinned items come back next to the
// control item in saved order; every way out leaves the bar collapsed with the first capture on
// its way, and says why when something could not be put back.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "App/OperationsFixture.h"
#include "App/RestoreWorlds.h"
#include "Platform/Sim/WorldJson.h"

namespace vimbo::testing {
namespace {

constexpr const char* kUnconfirmed = "启动时无法安全确认已保存菜单栏项目的身份，已跳过自动移动。";
constexpr const char* kResidentsUnconfirmed = "启动时未能确认已在场常驻项目位于 Vimbo.Control 前的收纳区域。";

void writeSavedPins(platform::UserDefaults& defaults, const std::vector<std::string>& keys) {
  platform::DefaultsArray array;
  for (const auto& key : keys) array.emplace_back(identityOfKey(key));
  defaults.set(MenuBarProxyManager::pinnedIdentitiesKey, platform::DefaultsValue(std::move(array)));
}

// Runs start-up with a saved pin list until the set-up task has cleared itself, then until the
// first capture has filled the store. Refresh starts are recorded from launch on.
struct RestoredStart {
  explicit RestoredStart(sim::WorldSpec spec, const std::vector<std::string>& savedKeys,
                         std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory())
      : f(std::move(spec), withSavedPins(std::move(defaults), savedKeys)) {
    refreshes = f.store().isCapturingSystemItems.subscribe([this](const bool& capturing) {
      if (capturing) refreshStarts.push_back(f.now());
    });
    sentences = f.store().lastError.subscribe([this](const std::optional<std::string>& sentence) {
      if (sentence && !initialSetupEnded) sentencesDuringSetup.push_back(*sentence);
    });
  }
  static std::shared_ptr<platform::UserDefaults> withSavedPins(std::shared_ptr<platform::UserDefaults> defaults,
                                                               const std::vector<std::string>& savedKeys) {
    if (!savedKeys.empty()) writeSavedPins(*defaults, savedKeys);
    return defaults;
  }
  void launch() { f.launch(false); }
  // False when the set-up task did not end within the limit.
  bool finish() {
    const bool ended = f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s);
    initialSetupEnded = true;
    setupEndedAt = f.now();
    mouseEventsAtSetupEnd = mouseEventCount(f);
    sentenceAtSetupEnd = f.store().lastError.get();
    bandAtSetupEnd = keysInBand(f);
    collapsedAtSetupEnd = f.app().menuBarHider.isCollapsed && f.store().systemItemsCollapsed.get();
    f.runUntil([&] { return refreshStartedAfterSetup() && !f.store().isCapturingSystemItems.get(); }, 10s);
    return ended;
  }
  bool refreshStartedAfterSetup() const {
    return !refreshStarts.empty() && refreshStarts.back() >= setupEndedAt;
  }

  ControllerFixture f;
  async::Subscription refreshes, sentences;
  bool initialSetupEnded = false;
  std::vector<std::string> sentencesDuringSetup;
  std::vector<async::TimePoint> refreshStarts;
  async::TimePoint setupEndedAt{};
  size_t mouseEventsAtSetupEnd = 0;
  std::optional<std::string> sentenceAtSetupEnd;
  std::vector<std::string> bandAtSetupEnd;
  bool collapsedAtSetupEnd = false;
};

// ---- The restart, end to end ---------------------------------------------------------------

class StartupRestart : public ::testing::TestWithParam<bool> {};

TEST_P(StartupRestart, PinnedItemsComeBackNextToTheControlItemInSavedOrder) {
  const bool notch = GetParam();
  const std::vector<std::string> pinOrder{"drift", "notes", "tally"};
  auto defaults = platform::UserDefaults::inMemory();
  {
    // The first session pins three items, in an order other than the bar's, and quits.
    ControllerFixture first(controllerWorld(notch), defaults);
    launchAndRefresh(first);
    for (const auto& key : pinOrder) {
      const CapturedMenuBarItem item = capturedOf(first, key);
      first.app().proxyManager.pin(item);
      auto moved = first.drive([item](AppDelegate& app) {
        return app.moveSystemItem(item, AppDelegate::SystemItemDestination::visible);
      });
      ASSERT_TRUE(moved.isDone() && *moved.result()) << key;
    }
    ASSERT_EQ(keysInBand(first), pinOrder);
    first.application().terminate();
    first.executor.stop();
  }
  ASSERT_EQ(defaults->stringArray(MenuBarProxyManager::pinnedIdentitiesKey),
            (std::vector<std::string>{identityOfKey("drift"), identityOfKey("notes"), identityOfKey("tally")}));

  // The second start: the owners put their items back in the world file's order, left of the divider.
  RestoredStart second(controllerWorld(notch), {}, defaults);
  second.launch();
  EXPECT_TRUE(second.f.app().initialSystemSetupTask);
  EXPECT_EQ(second.f.dividerLength(), hider::expandedLength) << "start-up leaves the bar expanded for the restore";
  EXPECT_TRUE(keysInBand(second.f).empty());
  ASSERT_TRUE(second.finish());

  EXPECT_EQ(second.bandAtSetupEnd, pinOrder);
  EXPECT_TRUE(second.collapsedAtSetupEnd);
  EXPECT_EQ(second.sentenceAtSetupEnd, std::nullopt);
  ASSERT_TRUE(second.refreshStartedAfterSetup());
  EXPECT_FALSE(second.f.store().capturedSystemItems.get().empty());
  EXPECT_EQ(mouseEventCount(second.f), second.mouseEventsAtSetupEnd) << "the first refresh moves nothing";
  EXPECT_EQ(keysInBand(second.f), pinOrder);
  second.f.expectSafe();
}

INSTANTIATE_TEST_SUITE_P(Screens, StartupRestart, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Notched" : "Plain");
                         });

// ---- The ways out ----------------------------------------------------------------------------

struct WayOutRow {
  const char* what;
  std::vector<std::string> saved;
  std::vector<std::string> residentAtStart;  // moved in front of the control item before the restore runs
  std::optional<std::string> ignoresDrags;
  bool ambiguousNotes = false;
  bool keepsChanging = false;
  std::vector<std::string> sentences;  // in the order written; the last one stays
  std::vector<std::string> bandAfter;
  bool anyMouseEvent;
};

void PrintTo(const WayOutRow& row, std::ostream* os) { *os << row.what; }

class StartupRestoreWayOut : public ::testing::TestWithParam<WayOutRow> {};

TEST_P(StartupRestoreWayOut, EndsCollapsedWithTheFirstCaptureScheduled) {
  const WayOutRow& row = GetParam();
  sim::WorldSpec spec = controllerWorld();
  if (row.ambiguousNotes) {
    // A second window of the same application with the same name and title: no one can say which
    // of the two was pinned.
    sim::ItemSpec twin = spec.items.front();
    twin.key = "notes-twin";
    spec.items.insert(spec.items.begin() + 1, twin);
  }
  RestoredStart s(spec, row.saved);
  if (row.ignoresDrags) s.f.world().faults(*row.ignoresDrags).ignoresDrags = true;
  s.launch();
  for (const auto& key : row.residentAtStart) s.f.world().moveItemBefore(key, hider::controlName);
  if (row.keepsChanging) {
    keepMoving(s.f, "wifi", {"notes", "tally", std::string(hider::dividerName)}, s.f.now() + 2s);
  }
  s.f.world().clearRecords();
  ASSERT_TRUE(s.finish());

  EXPECT_TRUE(s.collapsedAtSetupEnd) << row.what;
  EXPECT_TRUE(s.refreshStartedAfterSetup()) << row.what;
  EXPECT_EQ(s.sentencesDuringSetup, row.sentences) << row.what;
  EXPECT_EQ(s.sentenceAtSetupEnd.value_or(""), row.sentences.empty() ? "" : row.sentences.back()) << row.what;
  EXPECT_EQ(s.bandAtSetupEnd, row.bandAfter) << row.what;
  EXPECT_EQ(s.mouseEventsAtSetupEnd > 0, row.anyMouseEvent) << row.what;
  s.f.expectSafe();
}

const WayOutRow kWayOutRows[] = {
    {"AllSavedItemsAlreadyResidentMoveNothing", {"notes", "tally"}, {"notes", "tally"}, {}, false, false, {},
     {"notes", "tally"}, false},
    {"ARefusedSecondDragLeavesTheFirstAndSkipsTheThird",
     {"notes", "tally", "drift"},
     {},
     "tally",
     false,
     false,
     {"移动“TallyStatus”后未检测到它位于 Vimbo.HiddenDivider 的目标侧。", kResidentsUnconfirmed},
     {"notes"},
     true},
    {"UnconfirmedIdentitiesMoveNothing", {"notes", "tally"}, {}, {}, true, false, {kUnconfirmed}, {}, false},
    {"ALayoutThatNeverSettlesGoesStraightToTheFinish", {"notes", "tally"}, {}, {}, false, true, {}, {}, false},
};

INSTANTIATE_TEST_SUITE_P(Rows, StartupRestoreWayOut, ::testing::ValuesIn(kWayOutRows),
                         [](const ::testing::TestParamInfo<WayOutRow>& info) { return std::string(info.param.what); });

// ---- A quit during the restore --------------------------------------------------------------

sim::WorldSpec notchedLaptop() {
  return std::get<sim::WorldSpec>(sim::loadWorld(sim::shippedWorldsFolder() / "notched-laptop.json"));
}

// Until the restore has put the saved pins back, the bar shows them in their owners' order: a quit
// then keeps the saved order; a quit after the restore records the bar's order as always.
TEST(QuitDuringStartupRestore, KeepsTheSavedOrderOfThePins) {
  auto copyOf = [](platform::UserDefaults& from) {
    auto to = platform::UserDefaults::inMemory();
    for (const auto& [key, value] : from.dictionaryRepresentation()) to->set(key, value);
    return to;
  };
  // Each list is pinned in an order other than the bar's.
  for (const std::vector<std::string>& pins : {std::vector<std::string>{"spotlight", "lumen-notes"},
                                               std::vector<std::string>{"spotlight", "lumen-notes", "tallybird"}}) {
    SCOPED_TRACE(pins.size());
    auto afterFirstRun = platform::UserDefaults::inMemory();
    std::vector<std::string> saved;
    {
      OperationsFixture first(notchedLaptop(), afterFirstRun);
      first.launch();
      for (const auto& key : pins) {
        first.manager().pinSystemItem(first.window(key));
        ASSERT_TRUE(first.runUntil([&] { return first.app().activeSystemItemOperationCount == 0; }, 30s));
        saved.push_back(first.captured(key).stableIdentity);
      }
      first.application().terminate();
    }
    ASSERT_EQ(afterFirstRun->stringArray(MenuBarProxyManager::pinnedIdentitiesKey), saved);

    // A start quit only after its restore, which also measures how long the restore takes.
    async::Duration restoreTime{};
    {
      auto defaults = copyOf(*afterFirstRun);
      ControllerFixture f(notchedLaptop(), defaults);
      f.launch(false);
      const async::TimePoint launchedAt = f.now();
      ASSERT_TRUE(f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s));
      restoreTime = f.now() - launchedAt;
      f.runFor(1s);
      f.application().terminate();
      EXPECT_EQ(defaults->stringArray(MenuBarProxyManager::pinnedIdentitiesKey), saved);
    }
    for (const double share : {0.0, 0.15, 0.4, 0.65, 0.9}) {
      SCOPED_TRACE(share);
      auto defaults = copyOf(*afterFirstRun);
      ControllerFixture f(notchedLaptop(), defaults);
      f.launch(false);
      f.runFor(std::chrono::duration_cast<async::Duration>(restoreTime * share));
      ASSERT_TRUE(f.app().initialSystemSetupTask) << "the restore is still running";
      f.application().terminate();
      EXPECT_EQ(defaults->stringArray(MenuBarProxyManager::pinnedIdentitiesKey), saved);
    }
  }
}

// ---- After a restore that did not put the saved pins back --------------------------------------

// Pinned in this order in the first run: not the order their owners give the bar.
const std::vector<std::string> kSavedPins{"spotlight", "lumen-notes", "tallybird"};

// A first run on the notched laptop that pins kSavedPins and quits: their identities by key.
std::map<std::string, std::string> savePinsInAFirstRun(const std::shared_ptr<platform::UserDefaults>& defaults,
                                                       const std::vector<std::string>& keys = kSavedPins) {
  std::map<std::string, std::string> identities;
  OperationsFixture first(notchedLaptop(), defaults);
  first.launch();
  for (const std::string& key : keys) {
    first.manager().pinSystemItem(first.window(key));
    EXPECT_TRUE(first.runUntil([&] { return first.app().activeSystemItemOperationCount == 0; }, 30s));
    identities[key] = first.captured(key).stableIdentity;
  }
  first.application().terminate();
  return identities;
}

struct UnfinishedRestoreRow {
  const char* what;
  bool revealRefused;                         // the restore's first reveal does not take
  std::optional<std::string> twinned;         // a saved pin with an identical second window: unconfirmable
  std::optional<std::string> pin, collect;    // asked of the manager once the restore ended
  std::vector<std::string> savedAfterQuit;
  std::optional<std::string> draggedLast;     // dragged next to the control item by the person
  std::optional<std::string> ownersLast = {}; // put next to the control item by its owner as Vimbo starts
};

void PrintTo(const UnfinishedRestoreRow& row, std::ostream* os) { *os << row.what; }

class UnfinishedStartupRestore : public ::testing::TestWithParam<UnfinishedRestoreRow> {};

// The pins were saved in an order other than their owners'; the bar still shows the owners'.
TEST_P(UnfinishedStartupRestore, OnlyAPinOrCollectChangesTheSavedOrderUntilTheBarShowsIt) {
  const UnfinishedRestoreRow& row = GetParam();
  auto defaults = platform::UserDefaults::inMemory();
  std::map<std::string, std::string> identities = savePinsInAFirstRun(defaults);
  ASSERT_FALSE(::testing::Test::HasFailure());

  sim::WorldSpec spec = notchedLaptop();
  if (row.twinned) {
    auto it = std::find_if(spec.items.begin(), spec.items.end(), [&](const auto& item) { return item.key == *row.twinned; });
    sim::ItemSpec twin = *it;
    twin.key += "-twin";
    spec.items.insert(it + 1, twin);
  }
  OperationsFixture f(std::move(spec), defaults);
  bool armed = !row.revealRefused;
  auto guard = f.store().systemItemsCollapsed.subscribe([&](const bool& collapsed) {
    if (armed || !collapsed) return;
    armed = true;
    f.world().switches().onScreenCountFailures = 1;
  });
  f.launch(false);
  if (row.ownersLast) f.world().moveItemBefore(*row.ownersLast, hider::controlName);
  ASSERT_TRUE(f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s));
  if (row.pin) f.manager().pinSystemItem(f.window(*row.pin));
  if (row.collect) f.manager().collectSystemItem(f.window(*row.collect));
  ASSERT_TRUE(f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 30s));
  if (row.pin) identities[*row.pin] = f.captured(*row.pin).stableIdentity;
  // Once the first refresh has put the pins back.
  if (row.draggedLast || row.ownersLast) {
    ASSERT_TRUE(f.runUntil([&] { return f.liveBand().size() == 3 && !f.store().isCapturingSystemItems.get(); }, 30s));
  }
  if (row.draggedLast) f.world().moveItemBefore(*row.draggedLast, hider::controlName);
  f.application().terminate();

  std::vector<std::string> expected;
  for (const auto& key : row.savedAfterQuit) expected.push_back(identities.at(key));
  EXPECT_EQ(defaults->stringArray(MenuBarProxyManager::pinnedIdentitiesKey), expected);
}

const UnfinishedRestoreRow kUnfinishedRestoreRows[] = {
    {"ARefusedRevealThenAQuit", true, {}, {}, {}, kSavedPins, {}},
    {"ARefusedRevealThenAPin", true, {}, "orbit-timer", {}, {"spotlight", "lumen-notes", "tallybird", "orbit-timer"}, {}},
    {"ARefusedRevealThenACollect", true, {}, {}, "tallybird", {"spotlight", "lumen-notes"}, {}},
    {"ARefusedRevealThenAReconcileThatShowsTheSavedOrder", true, {}, {}, {}, {"lumen-notes", "tallybird", "spotlight"},
     "spotlight"},
    {"AnUnconfirmableSavedPinThenAQuit", false, "tallybird", {}, {}, kSavedPins, {}},
    {"AnUnconfirmableSavedPinThenAPin", false, "tallybird", "orbit-timer", {},
     {"spotlight", "lumen-notes", "tallybird", "orbit-timer"}, {}},
    {"ARefusedRevealWithAPinAtItsOwnersPlaceThenPutBacksBehindIt", true, {}, {}, {}, kSavedPins, {}, "tallybird"},
};

INSTANTIATE_TEST_SUITE_P(Rows, UnfinishedStartupRestore, ::testing::ValuesIn(kUnfinishedRestoreRows),
                         [](const ::testing::TestParamInfo<UnfinishedRestoreRow>& info) {
                           return std::string(info.param.what);
                         });

// ---- Saved pins confirmed one by one -----------------------------------------------------------

struct ConfirmRow {
  const char* what;
  std::vector<std::string> absentAtStart;  // their items are not on the bar when Vimbo starts
  // Once the restore has ended, in turn: "drag K" (the person's Command-drag next to the control
  // item, at once); after the first capture and any operation: "refresh" (the manager's), "start K
  // BEFORE" (the absent item comes, moved before BEFORE), "restart K BEFORE" (its application
  // starts again, its item put before BEFORE), "apply K..." (the visible zone ends with them),
  // "pin K INDEX" (dragged in the manager into the visible zone at INDEX), "collect K".
  std::vector<std::string> steps;
  std::vector<std::string> savedAfterQuit;
  std::vector<std::string> saved = kSavedPins;  // pinned in this order in the first run
};

void PrintTo(const ConfirmRow& row, std::ostream* os) { *os << row.what; }

class SavedPinConfirmation : public ::testing::TestWithParam<ConfirmRow> {};

// Spotlight, Lumen Notes and Tallybird are saved in that order.
TEST_P(SavedPinConfirmation, AQuitRecordsTheBarsOrderOfThePinsSeenOrPutInSavedOrder) {
  const ConfirmRow& row = GetParam();
  auto defaults = platform::UserDefaults::inMemory();
  std::map<std::string, std::string> identities = savePinsInAFirstRun(defaults, row.saved);
  ASSERT_FALSE(::testing::Test::HasFailure());
  sim::WorldSpec spec = notchedLaptop();
  std::map<std::string, sim::ItemSpec> late;
  std::erase_if(spec.items, [&](const sim::ItemSpec& item) {
    const bool absent = std::find(row.absentAtStart.begin(), row.absentAtStart.end(), item.key) != row.absentAtStart.end();
    if (absent) late.emplace(item.key, item);
    return absent;
  });
  OperationsFixture f(std::move(spec), defaults);
  f.launch(false);
  ASSERT_TRUE(f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s));
  auto idle = [&] {
    return f.runUntil([&] {
      return f.app().activeSystemItemOperationCount == 0 && !f.store().isCapturingSystemItems.get() &&
             !f.store().capturedSystemItems.get().empty();
    }, 30s);
  };
  for (const std::string& step : row.steps) {
    SCOPED_TRACE(step);
    std::istringstream words(step);
    std::string verb, key;
    words >> verb >> key;
    if (verb == "drag") {
      const Point from = f.frame(key).center(), to{f.control().minX(), from.y};
      f.world().personMouse(EventType::LeftMouseDown, from, platform::eventflag::command);
      f.world().personMouse(EventType::LeftMouseDragged, to, platform::eventflag::command);
      f.world().personMouse(EventType::LeftMouseUp, to, platform::eventflag::command);
      f.runFor(300ms);
      continue;
    }
    ASSERT_TRUE(idle());
    if (verb == "refresh") f.drive([refresh = f.manager().refreshSystemItems](AppDelegate&) { return refresh(); });
    if (verb == "start" || verb == "restart") {
      if (verb == "start") f.world().addItem(late.at(key));
      if (verb == "restart") f.world().restartApplication(f.world().itemSpec(key).ownerPID);
      std::string before;
      words >> before;
      f.world().moveItemBefore(key, before);
      f.runFor(300ms);
    }
    if (verb == "collect") {
      f.manager().collectSystemItem(f.window(key));
      ASSERT_TRUE(idle());
    }
    if (verb == "pin") {
      int64_t index = 0;
      words >> index;
      f.manager().moveSystemItemToLayout(f.window(key), MenuBarLayoutZone::visible, index);
      ASSERT_TRUE(idle());
      identities[key] = f.captured(key).stableIdentity;
    }
    if (verb == "apply") {
      MenuBarLayoutDraft draft = f.store().currentMenuBarLayoutDraft();
      for (std::istringstream keys(step.substr(6)); keys >> key;) draft.move(f.window(key), MenuBarLayoutZone::visible, std::nullopt);
      ASSERT_TRUE(f.apply(draft));
    }
  }
  ASSERT_TRUE(idle());
  f.application().terminate();

  std::vector<std::string> expected;
  for (const auto& key : row.savedAfterQuit) expected.push_back(identities.at(key));
  EXPECT_EQ(defaults->stringArray(MenuBarProxyManager::pinnedIdentitiesKey), expected);
}

const ConfirmRow kConfirmRows[] = {
    {"AnAbsentPinKeepsItsSlotWhileTheOthersReorder", {"tallybird"}, {"drag spotlight", "refresh"},
     {"lumen-notes", "spotlight", "tallybird"}},
    {"ALatePinSeenInOrderByAReconcileJoinsTheReorder", {"tallybird"},
     {"drag spotlight", "refresh", "start tallybird Vimbo.Control", "refresh", "drag lumen-notes"},
     {"spotlight", "tallybird", "lumen-notes"}},
    {"ALatePinMovedBackByAReconcileKeepsItsSavedSlot", {"lumen-notes"}, {"start lumen-notes battery", "refresh"},
     kSavedPins},
    {"TwoLatePinsMovedBackByAReconcileKeepTheirSavedSlots", {"spotlight", "lumen-notes"},
     {"start spotlight battery", "start lumen-notes battery", "refresh"}, kSavedPins},
    {"APinWhoseApplicationStartsAgainOutOfOrderKeepsItsSlot", {},
     {"refresh", "restart spotlight Vimbo.Control", "refresh"}, kSavedPins},
    {"ALateControlCenterPinPutBackInOrderJoinsTheReorder", {"wifi"},
     {"start wifi battery", "refresh", "drag lumen-notes"}, {"spotlight", "wifi", "lumen-notes"},
     {"spotlight", "lumen-notes", "wifi"}},
    {"ALateControlCenterPinCollectedIsNoLongerSaved", {"wifi"}, {"start wifi battery", "refresh", "collect wifi"},
     {"spotlight", "lumen-notes"}, {"spotlight", "lumen-notes", "wifi"}},
    {"AFullRestoreThenAReorderBeforeTheFirstCapture", {}, {"drag spotlight"}, {"lumen-notes", "tallybird", "spotlight"}},
    {"AnAppliedLayoutIsRecordedWithALatePinOutOfOrder", {"tallybird"},
     {"start tallybird spotlight", "refresh", "apply lumen-notes tallybird spotlight"},
     {"lumen-notes", "tallybird", "spotlight"}},
    {"APinOfAnotherItemKeepsTheSlotOfALatePinOutOfOrder", {"tallybird"},
     {"start tallybird spotlight", "refresh", "pin orbit-timer 0"}, {"spotlight", "lumen-notes", "tallybird", "orbit-timer"}},
    {"APinOfALatePinOutOfOrderConfirmsIt", {"tallybird"}, {"start tallybird spotlight", "refresh", "pin tallybird 0"},
     {"tallybird", "spotlight", "lumen-notes"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, SavedPinConfirmation, ::testing::ValuesIn(kConfirmRows),
                         [](const ::testing::TestParamInfo<ConfirmRow>& info) { return std::string(info.param.what); });

// ---- The divider's refusal contract ------------------------------------------------------------

TEST(StartupRestoreRefusal, AnExpansionThatDoesNotTakeMovesNothingAndTheFinishSaysSo) {
  RestoredStart s(controllerWorld(), {"notes", "tally", "drift"});
  s.launch();
  // The restore's own collapse is the first change of the displayed state; the guard then refuses
  // exactly the next call, the append loop's expand.
  bool armed = false;
  auto guard = s.f.store().systemItemsCollapsed.subscribe([&](const bool& collapsed) {
    if (armed || !collapsed) return;
    armed = true;
    s.f.world().switches().onScreenCountFailures = 1;
  });
  s.f.world().clearRecords();
  ASSERT_TRUE(s.finish());

  EXPECT_TRUE(armed);
  EXPECT_EQ(s.mouseEventsAtSetupEnd, 0u) << "nothing is dragged while the items are pushed off screen";
  EXPECT_TRUE(s.bandAtSetupEnd.empty());
  EXPECT_TRUE(s.collapsedAtSetupEnd);
  EXPECT_EQ(s.sentenceAtSetupEnd, std::string(kResidentsUnconfirmed));
  EXPECT_TRUE(s.refreshStartedAfterSetup());
  s.f.expectSafe();
}

}  // namespace
}  // namespace vimbo::testing
