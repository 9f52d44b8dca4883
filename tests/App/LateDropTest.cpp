// A drop the window server shows late is judged by where the item ends: pin, collect, a layout
// apply and the start-up restore wait for it as long as a move waits for its item, and no
// sentence claims a state the bar does not show.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "App/OperationsFixture.h"
#include "App/RestoreWorlds.h"

namespace vimbo::testing {
namespace {

struct LateDropRow {
  const char* what;
  bool notch = false;
  std::vector<std::string> pinnedAtStart{};  // with saved pins: the restart restores them
  std::vector<std::string> savedPins{};
  std::function<void(OperationsFixture&)> act;
  bool dropShowsLate = true;
  bool landsBeyondControl = false;
  bool endsVisible = true;
  std::optional<std::string> sentence{};
};

void awaitQueue(OperationsFixture& f) {
  EXPECT_TRUE(f.runUntil([&] { return f.app().activeSystemItemOperationCount == 0; }, 60s));
}

TEST(LateDrop, TheItemEndsWhereItEndsAndNoSentenceClaimsOtherwise) {
  const auto pin = [](OperationsFixture& f) {
    f.manager().pinSystemItem(f.window("drift"));
    awaitQueue(f);
  };
  const std::vector<LateDropRow> rows = {
      {.what = "a pin on a plain screen", .act = pin},
      {.what = "a pin on a notched screen", .notch = true, .act = pin},
      {.what = "a collect",
       .pinnedAtStart = {"drift"},
       .act =
           [](OperationsFixture& f) {
             f.manager().collectSystemItem(f.window("drift"));
             awaitQueue(f);
           },
       .endsVisible = false},
      {.what = "a layout apply collecting one",
       .pinnedAtStart = {"drift", "notes"},
       .act = [](OperationsFixture& f) { EXPECT_TRUE(f.apply(f.draftWith({{"drift", MenuBarLayoutZone::collected}}))); },
       .endsVisible = false},
      {.what = "the start-up restore",
       .savedPins = {"notes", "drift"},
       .act = [](OperationsFixture& f) { EXPECT_TRUE(f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s)); }},
      // Shown at once but beyond the control item, there and back: the pin says what it could not do.
      {.what = "a pin whose item cannot be taken back",
       .act = pin,
       .dropShowsLate = false,
       .landsBeyondControl = true,
       .endsVisible = false,
       .sentence = "移动“DriftStatus”后未检测到它位于 Vimbo.HiddenDivider 的目标侧。"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto defaults = platform::UserDefaults::inMemory();
    if (!row.savedPins.empty()) {
      platform::DefaultsArray saved;
      for (const auto& key : row.savedPins) saved.emplace_back(identityOfKey(key));
      defaults->set(MenuBarProxyManager::pinnedIdentitiesKey, platform::DefaultsValue(std::move(saved)));
    }
    OperationsFixture f(operationsWorld(row.notch), defaults);
    if (row.dropShowsLate) f.world().switches().dragSettleLatency = 600ms;
    if (row.savedPins.empty()) {
      f.start(row.pinnedAtStart);
      f.pinAsVisible(row.pinnedAtStart);
    } else {
      f.launch(false);
    }
    f.world().faults("drift").landsRightOfControl = row.landsBeyondControl;
    row.act(f);
    f.runFor(3s);

    EXPECT_EQ(f.store().lastError.get(), row.sentence);
    EXPECT_EQ(f.standsVisible("drift"), row.endsVisible);
    if (!row.landsBeyondControl) {
      EXPECT_EQ(f.standsCollected("drift"), !row.endsVisible);
    }
    EXPECT_TRUE(f.app().menuBarHider.isCollapsed);
    const auto pins = f.defaults->stringArray(MenuBarProxyManager::pinnedIdentitiesKey).value_or(std::vector<std::string>{});
    EXPECT_EQ(std::count(pins.begin(), pins.end(), f.captured("drift").stableIdentity), row.endsVisible ? 1 : 0);
  }
}

}  // namespace
}  // namespace vimbo::testing
