// One seed's rounds and the starts of the second mode. Each round runs on a fresh launch of its
// world, once with the person's hands still and once with the person acting, so that the two runs
// begin alike and differ by the person alone; a restore round's first session (its pins and quit)
// is run once and its saved defaults copied into both.
#include "Rounds.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <utility>
#include <variant>

#include "App/OperationsFixture.h"
#include "App/RestoreWorlds.h"
#include "Ledger.h"
#include "Person.h"
#include "Platform/Sim/WorldJson.h"
#include "System/MenuBarProxyManager.h"

namespace vimbo::harness {

using namespace std::chrono_literals;
using testing::OperationsFixture;
using platform::EventType;
using Zone = MenuBarLayoutZone;

namespace {

int64_t complaints = 0;

// The person acts within this long of a round's start.
constexpr async::Duration kActWindow = 1500ms;
// Past the window, for an act's tail (a reaction, a release, a drag's steps).
constexpr async::Duration kActTail = 1s;

enum class Op { pin, collect, layoutApply, opening, restore };
constexpr int kOps = 5;

const char* opName(Op op) {
  switch (op) {
    case Op::pin: return "pin";
    case Op::collect: return "collect";
    case Op::layoutApply: return "layout-apply";
    case Op::opening: return "opening";
    case Op::restore: return "restore";
  }
  return "?";
}

enum class Fault { none, lateDrop, lateLayout, refusedReveal, refusedCollapse, barMoves, landsSlotOff, bouncesBack };
constexpr int kFaults = 7;  // besides none

const char* faultName(Fault fault) {
  switch (fault) {
    case Fault::none: return "none";
    case Fault::lateDrop: return "drop-shown-late";
    case Fault::lateLayout: return "bar-laid-out-late";
    case Fault::refusedReveal: return "reveal-refused";
    case Fault::refusedCollapse: return "collapse-refused";
    case Fault::barMoves: return "another-item-moves";
    case Fault::landsSlotOff: return "drop-lands-a-slot-off";
    case Fault::bouncesBack: return "item-bounces-back";
  }
  return "?";
}

uint64_t mix(uint64_t a, uint64_t b) {
  // splitmix64 of the pair: neighbouring seeds and rounds give unrelated streams.
  uint64_t z = a * 0x9E3779B97F4A7C15ULL + b + 0x632BE59BD9B4E019ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

int uniform(std::mt19937_64& rng, int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng); }

template <class T>
const T& pickFrom(std::mt19937_64& rng, const std::vector<T>& items) {
  return items[static_cast<size_t>(uniform(rng, 0, static_cast<int>(items.size()) - 1))];
}

// ---- Worlds ----

// Other applications' items that a person can move: shown, and not fixed at the bar's right end.
std::vector<std::string> movableKeys(const sim::WorldSpec& spec) {
  std::vector<std::string> keys;
  for (const auto& item : spec.items)
    if (item.visible && !sim::isFixedWindowName(item.windowName)) keys.push_back(item.key);
  return keys;
}

// Movable items whose identity can be confirmed (their element says something of itself): our
// operations refuse the others before moving anything, so rounds aim at these.
std::vector<std::string> identifiedKeys(const sim::WorldSpec& spec) {
  std::vector<std::string> keys;
  for (const auto& item : spec.items)
    if (item.visible && !sim::isFixedWindowName(item.windowName) && (item.axIdentifier || item.axTitle || item.axDescription))
      keys.push_back(item.key);
  return keys;
}

std::vector<HarnessWorld> fileWorlds() {
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(sim::shippedWorldsFolder()))
    if (entry.path().extension() == ".json") paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  std::vector<HarnessWorld> worlds;
  for (const auto& path : paths) {
    auto loaded = sim::loadWorld(path);
    if (auto* error = std::get_if<sim::WorldError>(&loaded)) {
      std::cerr << "skipped: " << error->message << '\n';
      continue;
    }
    auto spec = std::make_shared<const sim::WorldSpec>(std::get<sim::WorldSpec>(std::move(loaded)));
    worlds.push_back({path.stem().string(), [spec] { return *spec; }});
  }
  return worlds;
}

std::vector<HarnessWorld> fixtureWorlds() {
  return {{"operations", [] { return testing::operationsWorld(false); }},
          {"operations-notched", [] { return testing::operationsWorld(true); }},
          {"crowded-notch", [] { return testing::crowdedNotchWorld(); }},
          {"controller", [] { return testing::controllerWorld(false); }}};
}

// ---- A round's plan ----

struct RoundPlan {
  Op op = Op::pin;
  std::vector<std::string> visibleAtStart;  // right of the divider, left to right
  std::string target;                        // pin, collect, opening
  std::vector<std::pair<std::string, Zone>> moves;  // layout apply
  std::vector<std::string> pins;             // restore: pinned in this order, then a restart
  Fault fault = Fault::none;
  async::Duration faultAt{};
  async::Duration lateness{};
  std::string faultItem;
  std::string faultBefore;
  std::vector<PlannedAct> acts;
};

RoundPlan planRound(uint64_t seed, int round, const sim::WorldSpec& spec) {
  // The person's stream is its own: the operation and the fault are the same with hands still.
  std::mt19937_64 rng(mix(seed, static_cast<uint64_t>(round)));
  std::mt19937_64 personRng(mix(seed, 1000 + static_cast<uint64_t>(round)));
  RoundPlan plan;
  const std::vector<std::string> movable = movableKeys(spec);
  const std::vector<std::string> identified = identifiedKeys(spec);
  plan.op = static_cast<Op>(uniform(rng, 0, kOps - 1));

  std::vector<std::string> shuffled = identified;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  size_t visibleCount = static_cast<size_t>(uniform(rng, 0, 2));
  if (plan.op == Op::collect) visibleCount = std::max<size_t>(visibleCount, 1);
  visibleCount = std::min(visibleCount, shuffled.size() - 1);
  plan.visibleAtStart.assign(shuffled.begin(), shuffled.begin() + static_cast<std::ptrdiff_t>(visibleCount));
  const std::vector<std::string> collected(shuffled.begin() + static_cast<std::ptrdiff_t>(visibleCount), shuffled.end());
  std::vector<std::string> involved;
  switch (plan.op) {
    case Op::pin:
    case Op::opening:
      plan.target = pickFrom(rng, collected);
      involved = {plan.target};
      break;
    case Op::collect:
      plan.target = pickFrom(rng, plan.visibleAtStart);
      involved = {plan.target};
      break;
    case Op::layoutApply: {
      std::vector<std::string> candidates = shuffled;
      std::shuffle(candidates.begin(), candidates.end(), rng);
      const size_t count = std::min<size_t>(static_cast<size_t>(uniform(rng, 1, 2)), candidates.size());
      for (size_t i = 0; i < count; ++i) {
        const bool shown = std::count(plan.visibleAtStart.begin(), plan.visibleAtStart.end(), candidates[i]) > 0;
        plan.moves.emplace_back(candidates[i], shown ? Zone::collected : Zone::visible);
        involved.push_back(candidates[i]);
      }
      break;
    }
    case Op::restore: {
      std::vector<std::string> pins = identified;
      std::shuffle(pins.begin(), pins.end(), rng);
      const size_t count = std::min<size_t>(static_cast<size_t>(uniform(rng, 2, 3)), pins.size());
      plan.pins.assign(pins.begin(), pins.begin() + static_cast<std::ptrdiff_t>(count));
      involved = plan.pins;
      break;
    }
  }

  if (std::bernoulli_distribution(0.5)(rng)) {
    plan.fault = static_cast<Fault>(uniform(rng, 1, kFaults));
    plan.lateness = std::bernoulli_distribution(0.5)(rng) ? 600ms : 1400ms;
    plan.faultAt = std::chrono::milliseconds(uniform(rng, 0, 1499));
    std::vector<std::string> bystanders;
    for (const auto& key : movable)
      if (std::count(involved.begin(), involved.end(), key) == 0) bystanders.push_back(key);
    if (plan.fault == Fault::barMoves && bystanders.size() >= 2) {
      plan.faultItem = pickFrom(rng, bystanders);
      do {
        plan.faultBefore = pickFrom(rng, movable);
      } while (plan.faultBefore == plan.faultItem);
    } else if (plan.fault == Fault::barMoves) {
      plan.fault = Fault::lateDrop;
    }
    if (plan.fault == Fault::landsSlotOff || plan.fault == Fault::bouncesBack) plan.faultItem = involved.front();
  }
  plan.acts = planActs(personRng, kActWindow);
  return plan;
}

// ---- Running a round ----

// Timers of the harness's own on the round's clock, all withdrawn with the round.
class Watch {
 public:
  explicit Watch(async::Executor& executor) : executor_(executor) {}
  ~Watch() {
    for (const auto& [slot, timer] : timers_) executor_.cancelTimer(timer);
  }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  // Checks every 5 ms until `done` says so.
  void until(std::function<bool()> done) { arm(nextSlot_++, std::move(done)); }
  void after(async::Duration delay, std::function<void()> fn) {
    const size_t slot = nextSlot_++;
    timers_[slot] = executor_.scheduleAfter(delay, [this, slot, fn = std::move(fn)] {
      timers_.erase(slot);
      fn();
    });
  }

 private:
  void arm(size_t slot, std::function<bool()> done) {
    timers_[slot] = executor_.scheduleAfter(5ms, [this, slot, done = std::move(done)] {
      if (done()) timers_.erase(slot);
      else arm(slot, done);
    });
  }
  async::Executor& executor_;
  std::map<size_t, async::TimerId> timers_;
  size_t nextSlot_ = 0;
};

struct Outcome {
  bool finished = false;
  bool reached = false;  // the item, or every item, on the side asked for
  bool failed = false;
  bool commandDragged = false;
  std::optional<std::string> error;
  std::string order;  // the bar left to right, our own items in brackets
};

std::shared_ptr<platform::UserDefaults> copyOf(platform::UserDefaults& from) {
  auto to = platform::UserDefaults::inMemory();
  for (const auto& [key, value] : from.dictionaryRepresentation()) to->set(key, value);
  return to;
}

bool ourWorkGoesOn(OperationsFixture& f) {
  AppDelegate& app = f.app();
  return app.activeSystemItemOperationCount > 0 || app.systemItemActivationTask || app.initialSystemSetupTask;
}

// The first session of a restore round, with hands still: the pins in order, then a quit.
std::shared_ptr<platform::UserDefaults> savePins(const HarnessWorld& world, const std::vector<std::string>& pins) {
  auto defaults = platform::UserDefaults::inMemory();
  OperationsFixture first(world.make(), defaults);
  first.launch();
  for (const auto& key : pins) {
    first.manager().pinSystemItem(first.window(key));
    first.runUntil([&] { return first.app().activeSystemItemOperationCount == 0; }, 30s);
  }
  first.application().terminate();
  return defaults;
}

void armFault(OperationsFixture& f, const RoundPlan& plan, Watch& watch) {
  sim::World& w = f.world();
  switch (plan.fault) {
    case Fault::none:
      break;
    case Fault::lateDrop:
      w.switches().dragSettleLatency = plan.lateness;
      break;
    case Fault::lateLayout:
      w.switches().dividerRelayoutLatency = 600ms;
      break;
    case Fault::refusedReveal:
      w.switches().onScreenCountFailures = 1;
      break;
    case Fault::refusedCollapse:
      // The collapse after our first drop, and the one tried after it.
      watch.until([&f] {
        for (const auto& posted : f.world().postedEvents())
          if (posted.event.type == EventType::LeftMouseUp) {
            f.world().switches().onScreenCountFailures = 2;
            return true;
          }
        return false;
      });
      break;
    case Fault::barMoves:
      watch.after(plan.faultAt, [&f, plan] { f.world().moveItemBefore(plan.faultItem, plan.faultBefore); });
      break;
    case Fault::landsSlotOff:
      w.faults(plan.faultItem).landsSlotsOff = 1;
      break;
    case Fault::bouncesBack:
      w.faults(plan.faultItem).bouncesBackAfter = 800ms;
      break;
  }
}

std::string barOrder(sim::World& w) {
  std::string order;
  for (const auto& item : w.items()) order += (item.own ? "[" + item.specKey + "]" : item.specKey) + ' ';
  return order;
}

// Closes the opened item's menu a moment after it opens, as a person who looked at it does.
void closeOpenedMenus(OperationsFixture& f, const std::string& key, Watch& watch) {
  const auto item = f.world().keyOf(key);
  auto closing = std::make_shared<bool>(false);
  watch.until([&f, &watch, item, closing] {
    if (*closing) return false;
    for (const auto& menu : f.world().openMenus())
      if (item && menu.item == *item) {
        *closing = true;
        watch.after(200ms, [&f, window = menu.windowNumber, closing] {
          f.world().dismissMenu(window);
          *closing = false;
        });
      }
    return false;
  });
}

Outcome runRound(const HarnessWorld& world, const RoundPlan& plan, const std::shared_ptr<platform::UserDefaults>& saved,
                 bool withPerson, Tally& t) {
  const int64_t complaintsBefore = complaints;
  OperationsFixture f(world.make(), saved ? copyOf(*saved) : platform::UserDefaults::inMemory());
  // Before our code launches: the ledger's tap must come before our hold's.
  Ledger ledger(f.executor, f.world(), f.env.sim().inputHold);
  Person person(f.executor, f.world(), ledger);
  Watch watch(f.executor);
  SettingsActions settings;
  if (plan.op != Op::restore) {
    f.start(plan.visibleAtStart);
    if (plan.op == Op::layoutApply) settings = f.settings();
  }
  f.store().lastError.set(std::nullopt);
  armFault(f, plan, watch);
  if (withPerson) person.perform(plan.acts);
  const async::TimePoint begun = f.now();
  async::TaskHandle<bool> applied;
  switch (plan.op) {
    case Op::pin:
      f.manager().pinSystemItem(f.window(plan.target));
      break;
    case Op::collect:
      f.manager().collectSystemItem(f.window(plan.target));
      break;
    case Op::layoutApply:
      applied = async::spawn(f.executor, [apply = settings.applyMenuBarLayout, draft = f.draftWith(plan.moves)] {
        return apply(draft);
      });
      break;
    case Op::opening:
      closeOpenedMenus(f, plan.target, watch);
      f.manager().activateSystemItem(f.window(plan.target));
      break;
    case Op::restore:
      f.launch(false);
      break;
  }
  const auto working = [&] { return ourWorkGoesOn(f) || (applied && !applied.isDone()); };
  Outcome out;
  out.finished = f.runUntil([&] { return !working() && f.now() - begun >= kActWindow + kActTail; }, 60s);
  // What the hold took goes on, and the bar and the first capture after a restore settle.
  f.runFor(1s);
  f.runUntil([&] {
    return !f.env.sim().inputHold.isTaking() && !working() && !f.store().isCapturingSystemItems.get();
  }, 10s);
  f.runFor(500ms);

  bool reached = true;
  switch (plan.op) {
    case Op::pin:
      reached = f.standsVisible(plan.target);
      break;
    case Op::collect:
      reached = f.standsCollected(plan.target);
      break;
    case Op::layoutApply:
      reached = applied.isDone() && applied.result().value_or(false);
      for (const auto& [key, zone] : plan.moves) reached &= zone == Zone::visible ? f.standsVisible(key) : f.standsCollected(key);
      break;
    case Op::opening:
      reached = f.world().menuOpenCount(plan.target) > 0 && f.standsCollected(plan.target);
      break;
    case Op::restore:
      for (const auto& key : plan.pins) reached &= f.standsVisible(key);
      break;
  }
  out.reached = reached;
  out.error = f.store().lastError.get();
  out.failed = !out.finished || out.error || !reached;
  out.commandDragged = person.madeCommandDrag();
  out.order = barOrder(f.world());

  sim::World& w = f.world();
  if (w.isMouseButtonDown()) t.add("buttonLeftDown");
  if (w.isCommandHeld()) t.add("commandLeftDown");
  if (w.sessionEventTapCount() > 1) t.add("tapsLeft");  // besides the ledger's own
  if (w.totalCursorHideCount() != 0) t.add("cursorLeftHidden");
  ledger.finish(t);
  t.add("fixtureComplaints", complaints - complaintsBefore);
  return out;
}

}  // namespace

int64_t fixtureComplaints() { return complaints; }
void noteFixtureComplaint() { ++complaints; }

std::vector<std::string> allWorldNames() {
  std::vector<std::string> names;
  for (const auto& world : fileWorlds()) names.push_back(world.name);
  for (const auto& world : fixtureWorlds()) names.push_back(world.name);
  return names;
}

std::vector<HarnessWorld> harnessWorlds(const std::vector<std::string>& names) {
  std::vector<HarnessWorld> files = fileWorlds();
  std::vector<HarnessWorld> chosen;
  if (names.empty()) {
    constexpr size_t kWorlds = 6;
    if (files.size() >= kWorlds) {
      for (size_t i = 0; i < kWorlds; ++i) chosen.push_back(files[i * files.size() / kWorlds]);
      return chosen;
    }
    chosen = files;
    for (auto& world : fixtureWorlds())
      if (chosen.size() < kWorlds) chosen.push_back(world);
    return chosen;
  }
  std::vector<HarnessWorld> every = files;
  for (auto& world : fixtureWorlds()) every.push_back(world);
  for (const auto& name : names) {
    auto it = std::find_if(every.begin(), every.end(), [&](const HarnessWorld& w) { return w.name == name; });
    if (it != every.end()) chosen.push_back(*it);
    else std::cerr << "no world named " << name << '\n';
  }
  return chosen;
}

void runSeed(uint64_t seed, const HarnessWorld& world, int rounds, Tally& all, Tally& noFault, bool verbose) {
  const sim::WorldSpec spec = world.make();
  for (int round = 0; round < rounds; ++round) {
    const RoundPlan plan = planRound(seed, round, spec);
    const auto saved = plan.op == Op::restore ? savePins(world, plan.pins) : nullptr;
    Tally still, t;
    const Outcome calm = runRound(world, plan, saved, false, still);
    // Without acts the person's run is the run with hands still, which is deterministic.
    const Outcome acted = plan.acts.empty() ? calm : runRound(world, plan, saved, true, t);
    if (plan.acts.empty()) t = still;

    const std::string op = opName(plan.op);
    t.add("held." + op, t["held"]);
    t.add("rounds");
    t.add("rounds." + op);
    t.add("acts", static_cast<int64_t>(plan.acts.size()));
    if (!plan.acts.empty()) t.add("roundsWithActs");
    for (const auto& act : plan.acts) t.add(std::string("act.") + actName(act.act));
    t.atLeast("still.longestHoldMs", still["longestHoldMs"]);
    for (const char* name : {"holdsOver2s", "buttonLeftDown", "commandLeftDown", "tapsLeft", "cursorLeftHidden"})
      t.add(std::string("still.") + name, still[name]);
    if (!acted.finished) t.add("unfinished");
    if (!calm.finished) t.add("unfinishedStill");
    if (acted.failed) {
      t.add("failed");
      t.add("failed." + op);
    }
    if (calm.failed) {
      t.add("failedStill");
      t.add("failedStill." + op);
    }
    if (acted.failed && !calm.failed) {
      t.add("failedOnlyWithPerson");
      t.add("failedOnlyWithPerson." + op);
      if (acted.commandDragged) t.add("failedOnlyWithPersonAfterDrag");
    }
    if (!acted.failed && calm.failed) t.add("failedOnlyStill");
    if (acted.failed && calm.failed && (acted.error != calm.error || acted.reached != calm.reached)) t.add("failedDifferently");
    if (!acted.failed && !calm.failed && !acted.commandDragged) {
      t.add("comparable");
      if (acted.order != calm.order) t.add("endedElsewhere");
    }
    if (verbose) {
      std::cerr << "seed " << seed << " round " << round << " " << world.name << " " << op << " fault " << faultName(plan.fault)
                << " acts";
      for (const auto& act : plan.acts)
        std::cerr << " [" << std::chrono::duration_cast<std::chrono::milliseconds>(act.at).count() << "ms "
                  << actName(act.act) << "]";
      std::cerr << " | person: " << (acted.failed ? "failed" : "ok") << (acted.error ? " (" + *acted.error + ")" : "")
                << " still: " << (calm.failed ? "failed" : "ok") << (calm.error ? " (" + *calm.error + ")" : "")
                << (acted.order != calm.order ? " | order differs" : "") << " | held " << t["held"] << ", dropped by design "
                << t["droppedByDesign"] << ", gestures dropped " << t["gesturesDropped"] << " whole, "
                << t["gesturesPartlyDropped"] << " partly, presses elsewhere " << t["pressesElsewhere"] << '\n';
    }
    all.merge(t);
    all.add(std::string("fault.") + faultName(plan.fault));
    if (plan.fault == Fault::none) noFault.merge(t);
  }
}

// ---- The second mode ----

namespace {

std::vector<std::string> savedPins(platform::UserDefaults& defaults) {
  return defaults.stringArray(MenuBarProxyManager::pinnedIdentitiesKey).value_or(std::vector<std::string>{});
}

// A start's first session: the items pinned in order, then a quit. The identities they were
// captured under, by key.
std::map<std::string, std::string> pinAndQuit(const HarnessWorld& world, const std::vector<std::string>& pins,
                                              const std::shared_ptr<platform::UserDefaults>& defaults) {
  std::map<std::string, std::string> identities;
  OperationsFixture first(world.make(), defaults);
  first.launch();
  for (const auto& key : pins) {
    first.manager().pinSystemItem(first.window(key));
    first.runUntil([&] { return first.app().activeSystemItemOperationCount == 0; }, 30s);
    identities[key] = first.captured(key).stableIdentity;
  }
  first.application().terminate();
  return identities;
}

}  // namespace

void runStart(uint64_t seed, const HarnessWorld& world, Tally& t, bool verbose) {
  const auto say = [&](const std::string& what) {
    if (verbose) std::cerr << "start " << seed << " " << world.name << ": " << what << '\n';
  };
  std::mt19937_64 rng(mix(seed, 7777));
  const sim::WorldSpec spec = world.make();
  std::vector<std::string> pins = identifiedKeys(spec);
  if (pins.size() < 3) return;
  std::shuffle(pins.begin(), pins.end(), rng);
  pins.resize(3);
  const std::string absent = pickFrom(rng, pins);
  const bool dragLeftOne = std::bernoulli_distribution(0.5)(rng);

  auto defaults = platform::UserDefaults::inMemory();
  std::map<std::string, std::string> identities = pinAndQuit(world, pins, defaults);
  t.add("starts");
  // An item whose identity could not be confirmed is pinned for the session only: not this case.
  if (savedPins(*defaults).size() != 3) return say("fewer than three pins saved");
  t.add("threePinsSaved");

  // The next start finds one pinned item's application gone.
  sim::WorldSpec missing = spec;
  int32_t owner = 0;
  for (const auto& item : missing.items)
    if (item.key == absent) owner = item.ownerPID;
  std::erase_if(missing.items, [&](const sim::ItemSpec& item) { return item.key == absent; });
  if (std::none_of(missing.items.begin(), missing.items.end(), [&](const sim::ItemSpec& i) { return i.ownerPID == owner; }))
    std::erase_if(missing.apps, [&](const sim::AppSpec& app) { return app.pid == owner; });
  std::vector<std::string> present;
  for (const auto& key : pins)
    if (key != absent) present.push_back(key);

  OperationsFixture f(std::move(missing), defaults);
  f.launch(false);
  if (f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s)) t.add("restoreEnded");
  f.runFor(1s);
  f.runUntil([&] { return !f.store().isCapturingSystemItems.get() && !ourWorkGoesOn(f); }, 10s);
  const auto pinsInBand = [&] {
    std::vector<std::string> band;
    for (const auto& key : testing::keysInBand(f))
      if (std::count(present.begin(), present.end(), key)) band.push_back(key);
    return band;
  };
  const std::vector<std::string> restored = pinsInBand();
  if (restored.size() != 2) {
    std::string band;
    for (const auto& key : testing::keysInBand(f)) band += " " + key;
    return say("the present pins are not both back; the band holds" + band);
  }
  t.add("bothPinsRestored");
  if (restored == present) t.add("restoredInSavedOrder");

  // The person Command-drags one restored pin past the other.
  const Rect left = f.frame(restored[0]), right = f.frame(restored[1]);
  const Point from = dragLeftOne ? left.center() : right.center();
  const Point to{dragLeftOne ? right.maxX() - 2 : left.minX() - 1, from.y};
  sim::World& w = f.world();
  w.personMouse(EventType::LeftMouseDown, from, platform::eventflag::command);
  for (int i = 1; i <= 4; ++i) {
    f.runFor(40ms);
    w.personMouse(EventType::LeftMouseDragged, {from.x + (to.x - from.x) * i / 4, from.y}, platform::eventflag::command);
  }
  f.runFor(40ms);
  w.personMouse(EventType::LeftMouseUp, to, platform::eventflag::command);
  f.runFor(1s);
  const std::vector<std::string> reordered = pinsInBand();
  if (reordered != std::vector<std::string>{restored[1], restored[0]}) return say("the drag did not reorder them");
  t.add("dragTook");

  f.refresh();
  f.runFor(1s);
  f.application().terminate();
  const auto saved = savedPins(*defaults);
  std::vector<std::string> savedPresent;
  for (const auto& identity : saved)
    for (const auto& key : present)
      if (identities[key] == identity) savedPresent.push_back(key);
  const bool absentKept = std::count(saved.begin(), saved.end(), identities[absent]) > 0;
  if (absentKept) t.add("absentPinKept");
  if (savedPresent == reordered) {
    t.add("personOrderKept");
    say(std::string("the person's order kept") + (absentKept ? ", the absent pin too" : ""));
  } else if (savedPresent == restored) {
    t.add("restoredOrderKept");
    say(std::string("the restored order kept") + (absentKept ? ", the absent pin too" : ""));
  }
}

// ---- Pinned applications starting late ----

namespace {

// Where a late application's items appear: wherever their owner puts them.
enum class LatePlace { leftEnd, beforeCollectedItem, beforeDivider, beforeShownItem, beforeControl, pastControl };
constexpr int kLatePlaces = 6;

const char* latePlaceName(LatePlace place) {
  switch (place) {
    case LatePlace::leftEnd: return "left-end";
    case LatePlace::beforeCollectedItem: return "before-a-collected-item";
    case LatePlace::beforeDivider: return "before-the-divider";
    case LatePlace::beforeShownItem: return "before-a-shown-item";
    case LatePlace::beforeControl: return "before-the-control-item";
    case LatePlace::pastControl: return "past-the-control-item";
  }
  return "?";
}

// What looks at the bar after the late items appeared. Only the manager's refresh looks again at
// items it could not name while collected, so it comes in half the starts.
enum class LateLook { firstCapture, managerRefresh, quickSearch };

LateLook pickLateLook(std::mt19937_64& rng) {
  switch (uniform(rng, 0, 3)) {
    case 0: return LateLook::firstCapture;
    case 1: return LateLook::quickSearch;
    default: return LateLook::managerRefresh;
  }
}

const char* lateLookName(LateLook look) {
  switch (look) {
    case LateLook::firstCapture: return "first-capture";
    case LateLook::managerRefresh: return "manager-refresh";
    case LateLook::quickSearch: return "quick-search";
  }
  return "?";
}

// Items of an application that can start after us: not Control Center's (it is there before any
// login item), nor an application's that also owns an item fixed at the bar's right end.
std::vector<std::string> lateCapableKeys(const sim::WorldSpec& spec) {
  std::vector<std::string> keys;
  for (const auto& key : identifiedKeys(spec)) {
    int32_t owner = 0;
    for (const auto& item : spec.items)
      if (item.key == key) owner = item.ownerPID;
    const bool controlCenter = std::any_of(spec.apps.begin(), spec.apps.end(),
                                           [&](const sim::AppSpec& app) { return app.pid == owner && app.hostsControlCenter; });
    const bool ownsFixed = std::any_of(spec.items.begin(), spec.items.end(), [&](const sim::ItemSpec& item) {
      return item.ownerPID == owner && sim::isFixedWindowName(item.windowName);
    });
    if (!controlCenter && !ownsFixed) keys.push_back(key);
  }
  return keys;
}

// Other applications' movable items left of the divider, or right of it (past the control item too).
std::vector<std::string> keysBesideDivider(OperationsFixture& f, bool collected) {
  std::vector<std::string> keys;
  const auto divider = f.world().frameOf(hider::dividerName);
  if (!divider) return keys;
  for (const auto& view : f.world().items())
    if (!view.own && !view.fixed && (collected ? view.frame.maxX() <= divider->minX() : view.frame.minX() >= divider->maxX()))
      keys.push_back(view.specKey);
  return keys;
}

std::string keysText(const std::vector<std::string>& keys) {
  std::string text;
  for (const auto& key : keys) text += (text.empty() ? "" : " ") + key;
  return text;
}

}  // namespace

void runLateStart(uint64_t seed, const HarnessWorld& world, Tally& t, bool verbose) {
  const auto say = [&](const std::string& what) {
    if (verbose) std::cerr << "late start " << seed << " " << world.name << ": " << what << '\n';
  };
  std::mt19937_64 rng(mix(seed, 8888));
  const sim::WorldSpec spec = world.make();
  std::vector<std::string> late = lateCapableKeys(spec);
  if (late.size() < 2) return;
  std::shuffle(late.begin(), late.end(), rng);
  late.resize(2);
  std::vector<std::string> others;
  for (const auto& key : identifiedKeys(spec))
    if (std::count(late.begin(), late.end(), key) == 0) others.push_back(key);
  if (others.empty()) return;
  const std::string present = pickFrom(rng, others);
  std::vector<std::string> pins = late;
  pins.push_back(present);
  std::shuffle(pins.begin(), pins.end(), rng);
  const LateLook look = pickLateLook(rng);

  auto defaults = platform::UserDefaults::inMemory();
  std::map<std::string, std::string> identities = pinAndQuit(world, pins, defaults);
  t.add("starts");
  const std::vector<std::string> savedFirst = savedPins(*defaults);
  if (savedFirst.size() != 3) return say("fewer than three pins saved");
  t.add("threePinsSaved");

  // The late pins' applications, with every item of theirs on show, are not yet running (their
  // processes stay listed: the simulated workspace cannot start one later).
  std::vector<int32_t> owners;
  for (const auto& item : spec.items)
    if (std::count(late.begin(), late.end(), item.key) && std::count(owners.begin(), owners.end(), item.ownerPID) == 0)
      owners.push_back(item.ownerPID);
  struct LateApp {
    std::vector<sim::ItemSpec> items;
    LatePlace place = LatePlace::leftEnd;
    async::Duration after{};
    size_t anchorPick = 0;
  };
  std::vector<LateApp> apps;
  sim::WorldSpec atStart = spec;
  for (const int32_t owner : owners) {
    LateApp app;
    for (const auto& item : spec.items)
      if (item.ownerPID == owner && item.visible) app.items.push_back(item);
    app.place = static_cast<LatePlace>(uniform(rng, 0, kLatePlaces - 1));
    // Before the first capture's look (450 ms after the restore) when that is the only look.
    app.after = std::chrono::milliseconds(look == LateLook::firstCapture ? uniform(rng, 0, 350) : uniform(rng, 0, 3000));
    app.anchorPick = static_cast<size_t>(uniform(rng, 0, 1 << 20));
    apps.push_back(std::move(app));
    std::erase_if(atStart.items, [&](const sim::ItemSpec& item) { return item.ownerPID == owner && item.visible; });
  }

  OperationsFixture f(std::move(atStart), defaults);
  Watch watch(f.executor);
  f.launch(false);
  if (!f.runUntil([&] { return !f.app().initialSystemSetupTask; }, 20s)) return say("the restore did not end");
  t.add("restoreEnded");
  const std::vector<std::string> bandAfterRestore = testing::keysInBand(f);
  if (std::count(bandAfterRestore.begin(), bandAfterRestore.end(), present)) t.add("presentPinRestored");

  // The applications start, each putting its items in one place.
  size_t started = 0;
  std::string places;
  for (const auto& app : apps) {
    watch.after(app.after, [&f, &app, &started] {
      std::optional<std::string> anchor;
      const auto pick = [&](const std::vector<std::string>& keys, const char* otherwise) {
        anchor = keys.empty() ? std::string(otherwise) : keys[app.anchorPick % keys.size()];
      };
      switch (app.place) {
        case LatePlace::leftEnd: break;
        case LatePlace::beforeCollectedItem: pick(keysBesideDivider(f, true), hider::dividerName); break;
        case LatePlace::beforeDivider: anchor = hider::dividerName; break;
        case LatePlace::beforeShownItem: pick(testing::keysInBand(f), hider::controlName); break;
        case LatePlace::beforeControl: anchor = hider::controlName; break;
        case LatePlace::pastControl: break;  // the right end of the movable items
      }
      for (const auto& item : app.items) {
        f.world().addItem(item);
        if (app.place != LatePlace::leftEnd) f.world().moveItemBefore(item.key, anchor);
      }
      ++started;
    });
    t.add(std::string("place.") + latePlaceName(app.place));
    places += std::string(places.empty() ? "" : ", ") + latePlaceName(app.place) + " after " +
              std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(app.after).count()) + " ms";
  }
  f.runUntil([&] { return started == apps.size(); }, 5s);
  const std::vector<std::string> collectedAtStart = keysBesideDivider(f, true);
  const auto settle = [&] {
    f.runFor(1s);
    f.runUntil([&] { return !f.store().isCapturingSystemItems.get() && !ourWorkGoesOn(f); }, 30s);
    f.runFor(500ms);
  };
  if (look != LateLook::firstCapture) {
    settle();
    bool refreshStarted = false;
    auto watchRefresh = f.store().isCapturingSystemItems.subscribe([&](const bool& capturing) { refreshStarted |= capturing; });
    if (look == LateLook::managerRefresh) {
      f.drive([refresh = f.manager().refreshSystemItems](AppDelegate&) { return refresh(); });
    } else {
      f.app().openQuickSearchAction();
      f.runUntil([&] { return refreshStarted && !f.store().isCapturingSystemItems.get(); }, 60s);
      f.app().closeQuickSearch();
    }
  }
  settle();
  const std::vector<std::string> band = testing::keysInBand(f);
  const std::vector<std::string> shown = keysBesideDivider(f, false);
  bool putBack = false;
  for (const auto& key : late) {
    const bool wasCollected = std::count(collectedAtStart.begin(), collectedAtStart.end(), key) > 0;
    const bool isShown = std::count(shown.begin(), shown.end(), key) > 0;
    t.add("latePins");
    if (wasCollected) t.add("latePinsAppearedCollected");
    if (wasCollected && isShown) t.add("latePinsPutBack");
    if (isShown) t.add("latePinsShown");
    putBack |= wasCollected && isShown;
  }
  f.application().terminate();
  t.add(std::string("look.") + lateLookName(look));

  const std::vector<std::string> savedAfter = savedPins(*defaults);
  std::map<std::string, std::string> keyOf;
  for (const auto& [key, identity] : identities) keyOf[identity] = key;
  const auto keys = [&](const std::vector<std::string>& saved) {
    std::vector<std::string> out;
    for (const auto& identity : saved) out.push_back(keyOf.count(identity) ? keyOf[identity] : "?");
    return out;
  };
  const std::string story = std::string(lateLookName(look)) + "; late " + keysText(late) + " (" + places + "); saved " +
                            keysText(keys(savedFirst)) + " -> " + keysText(keys(savedAfter)) + "; band " + keysText(band) +
                            (putBack ? "; a late pin put back" : "");
  if (savedAfter == savedFirst) {
    t.add("savedUnchanged");
    t.add(std::string("unchanged.") + lateLookName(look));
    return say("unchanged: " + story);
  }
  t.add("savedChanged");
  for (const auto& app : apps) t.add(std::string("changedWithPlace.") + latePlaceName(app.place));
  t.add(std::string("changed.") + lateLookName(look));
  if (putBack) t.add("changedAfterPutBack");
  std::vector<std::string> sortedFirst = savedFirst, sortedAfter = savedAfter;
  std::sort(sortedFirst.begin(), sortedFirst.end());
  std::sort(sortedAfter.begin(), sortedAfter.end());
  t.add(sortedFirst == sortedAfter ? "savedReordered" : "savedOtherPins");
  say("changed: " + story);
}

}  // namespace vimbo::harness
