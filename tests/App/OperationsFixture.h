#pragma once
// The controller launched on a small world with some items put right of the divider, and the
// probes the item-operation tests share: posted mouse events, the divider's length over time, a
// switch flipped the moment a given event is posted.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "App/ControllerFixture.h"
#include "Platform/Sim/Model.h"

namespace vimbo::testing {

using platform::EventType;
using Destination = AppDelegate::SystemItemDestination;

// The controller's world with one more third-party item whose accessibility element gives nothing
// to pair it with (no text, and no height for a hit test to land on): no accessibility owner is
// ever recorded for it, so its moves are the Command-drag alone.
inline sim::WorldSpec operationsWorld(bool notch = false) {
  sim::WorldSpec spec = controllerWorld(notch);
  sim::AppSpec app = test_support::installedApp(504, "Plainly", "org.plainly.agent");
  spec.apps.push_back(app);
  sim::ItemSpec bare;
  bare.key = "bare";
  bare.windowName = "Plainly";
  bare.ownerPID = 504;
  bare.width = 30;
  bare.axOffset = Rect{0, 0, 0, -spec.screens.front().menuBarHeight};
  spec.items.insert(spec.items.begin(), bare);
  return spec;
}

// A notched screen 1300 pt wide whose seeable band starts at `notchRight`; the control item's
// left edge stands at 1200 (bento 30 and a clock 46 wide right of it). One application per item,
// each with a title, so every identity can be restored.
inline sim::WorldSpec notchWorld(double notchRight, const std::vector<std::pair<std::string, double>>& items) {
  sim::WorldSpec spec;
  sim::ScreenSpec screen;
  screen.name = "Built-in";
  screen.displayBounds = Rect{0, 0, 1300, 982};
  screen.frame = screen.displayBounds;
  screen.menuBarHeight = 37;
  screen.notchWidth = 2 * (notchRight - 650);
  spec.screens.push_back(screen);
  sim::AppSpec controlCenter = test_support::installedApp(300, "Control Center", "com.apple.controlcenter");
  controlCenter.hostsControlCenter = true;
  spec.apps.push_back(controlCenter);
  int32_t pid = 600;
  for (const auto& [key, width] : items) {
    // An application name unlike the window name, so the item is known by its window name.
    ++pid;
    spec.apps.push_back(test_support::installedApp(pid, "应用" + std::to_string(pid), "org.example." + key));
    sim::ItemSpec item;
    item.key = key;
    item.windowName = key;
    item.ownerPID = pid;
    item.width = width;
    item.axTitle = platform::AXValue{key};
    spec.items.push_back(item);
  }
  for (const auto& [key, name, width] : {std::tuple{"bento", "BentoBox-0", 30.0}, std::tuple{"clock", "Clock", 46.0}}) {
    sim::ItemSpec fixed;
    fixed.key = key;
    fixed.windowName = name;
    fixed.ownerPID = 300;
    fixed.width = width;
    fixed.axTitle = platform::AXValue{std::string(name)};
    spec.items.push_back(fixed);
  }
  spec.pointer = {700, 500};
  return spec;
}

struct OperationsFixture : ControllerFixture {
  explicit OperationsFixture(sim::WorldSpec spec,
                             std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory())
      : ControllerFixture(std::move(spec), std::move(defaults)) {}

  // Launches, puts `visible` right of the divider in that order (left to right), refreshes the
  // store and forgets what was posted so far.
  void start(const std::vector<std::string>& visible = {}) {
    launch();
    for (const auto& key : visible) world().moveItemBefore(key, hider::controlName);
    refresh();
    world().clearRecords();
    world().setChangeObserver([this] {
      const double length = dividerLength();
      if (dividerLengths.empty() || dividerLengths.back() != length) {
        dividerLengths.push_back(length);
        dividerChanges.push_back(now());
      }
    });
    dividerLengths = {dividerLength()};
    rememberPointer();
  }
  ~OperationsFixture() { world().setChangeObserver(nullptr); }

  void refresh() {
    drive([](AppDelegate& app) { return app.refreshSystemItems(false); });
  }

  // ---- Items and frames ----
  uint32_t window(const std::string& key) { return world().item(key).value().windowNumber; }
  CapturedMenuBarItem captured(const std::string& key) {
    const uint32_t id = window(key);
    for (const auto& item : store().capturedSystemItems.get()) {
      if (item.id == id) return item;
    }
    ADD_FAILURE() << "nothing captured for " << key;
    return {};
  }
  Rect frame(const std::string& key) { return world().frameOf(key).value_or(Rect{}); }
  Rect divider() { return app().menuBarHider.windowServerFrame(hider::dividerName).value_or(Rect{}); }
  Rect control() { return app().menuBarHider.windowServerFrame(hider::controlName).value_or(Rect{}); }
  // Between the divider and the control item, as a person would see it.
  bool standsVisible(const std::string& key) {
    const Rect f = frame(key);
    return f.minX() >= divider().maxX() - 0.5 && f.maxX() <= control().minX() + 0.5;
  }
  bool standsCollected(const std::string& key) { return frame(key).maxX() <= divider().minX() + 0.5; }
  // The listed frame of the item replaced by one the layout would not give.
  void overrideFrame(const std::string& key, Rect frame) {
    world().overrideWindowField(window(key), platform::windowkey::bounds, frame);
  }

  // The items as a person who pinned them left them: pinned, and recorded visible, in this order.
  void pinAsVisible(const std::vector<std::string>& keys) {
    for (const auto& key : keys) {
      app().proxyManager.pin(captured(key));
      store().commitLayoutMovement(window(key), MenuBarLayoutZone::visible, std::nullopt, true);
    }
  }
  // The items standing between the divider and the control item, left to right.
  std::vector<std::string> liveBand() {
    std::vector<std::string> band;
    for (const auto& item : world().items()) {
      if (!item.own && !item.fixed && standsVisible(item.specKey)) band.push_back(item.specKey);
    }
    return band;
  }
  // The current layout with the given items dropped at the end of the given zones, in order.
  MenuBarLayoutDraft draftWith(const std::vector<std::pair<std::string, MenuBarLayoutZone>>& moves) {
    MenuBarLayoutDraft draft = store().currentMenuBarLayoutDraft();
    for (const auto& [key, zone] : moves) draft.move(window(key), zone, std::nullopt);
    return draft;
  }

  // ---- The views' ways back into the controller ----
  const ManagerPanelActions& manager() { return made(test_support::ContentKind::managerPanel).front()->manager; }
  SettingsActions settings() {
    if (made(test_support::ContentKind::settingsView).empty()) app().openSettings();
    return made(test_support::ContentKind::settingsView).back()->settings;
  }

  // Applies through the settings window's closure, from a clean record of events.
  bool apply(const MenuBarLayoutDraft& draft) {
    const SettingsActions actions = settings();
    world().clearRecords();
    dividerLengths = {dividerLength()};
    return run([&](AppDelegate&) { return actions.applyMenuBarLayout(draft); });
  }

  // ---- Running operations ----
  bool run(std::function<async::Task<bool>(AppDelegate&)> body, async::Duration limit = 60s) {
    startedAt = now();
    auto handle = drive(std::move(body), limit);
    EXPECT_TRUE(handle.isDone()) << "the operation did not finish";
    return handle.result().value_or(false);
  }
  async::Duration elapsed() { return now() - startedAt; }

  // ---- What was posted ----
  std::vector<sim::PostedEvent> posted(EventType type) {
    std::vector<sim::PostedEvent> out;
    for (const auto& p : world().postedEvents()) {
      if (p.event.type == type) out.push_back(p);
    }
    return out;
  }
  size_t drags() { return posted(EventType::LeftMouseDown).size(); }
  bool anyMouseEvent() {
    return std::any_of(world().postedEvents().begin(), world().postedEvents().end(), [](const sim::PostedEvent& p) {
      return p.event.type != EventType::KeyDown && p.event.type != EventType::KeyUp;
    });
  }

  // Runs `change` once, on the turn after the first posted event of `type` beyond `skip` earlier
  // ones; a watcher polls every 5 ms for at most a minute.
  void whenPosted(EventType type, std::function<void()> change, size_t skip = 0) {
    watchers.push_back(async::spawn(executor, [this, type, change = std::move(change), skip]() -> async::Task<void> {
      for (int i = 0; i < 12000; ++i) {
        if (posted(type).size() > skip) {
          change();
          co_return;
        }
        co_await async::sleepFor(5ms);
      }
    }));
  }
  // The same, once a condition holds.
  void when(std::function<bool()> condition, std::function<void()> change) {
    watchers.push_back(async::spawn(executor, [condition = std::move(condition), change = std::move(change)]() -> async::Task<void> {
      for (int i = 0; i < 12000; ++i) {
        if (condition()) {
          change();
          co_return;
        }
        co_await async::sleepFor(5ms);
      }
    }));
  }

  std::vector<double> dividerLengths;
  std::vector<async::TimePoint> dividerChanges;  // when each length after the first began
  async::TimePoint startedAt;
  std::vector<async::TaskHandle<>> watchers;
};

// The notched laptop with so many collected items that the leftmost, "notes", comes back under
// the notch when the bar is revealed; "tally" stands visible.
inline sim::WorldSpec crowdedNotchWorld() {
  sim::WorldSpec spec = operationsWorld(true);
  std::vector<sim::ItemSpec> fillers;
  for (int i = 0; i < 20; ++i) {
    const int32_t pid = 700 + i;
    spec.apps.push_back(test_support::installedApp(pid, "填充" + std::to_string(i), "org.filler.f" + std::to_string(i)));
    sim::ItemSpec filler;
    filler.key = "f" + std::to_string(i);
    filler.windowName = "Filler" + std::to_string(i);
    filler.ownerPID = pid;
    filler.axTitle = platform::AXValue{filler.key};
    fillers.push_back(filler);
  }
  auto notes = std::find_if(spec.items.begin(), spec.items.end(), [](const auto& i) { return i.key == "notes"; });
  sim::ItemSpec first = *notes;
  spec.items.erase(notes);
  spec.items.insert(spec.items.begin(), fillers.begin(), fillers.end());
  spec.items.insert(spec.items.begin(), first);
  return spec;
}

struct Activation {
  explicit Activation(OperationsFixture& fixture) : f(fixture) {}
  OperationsFixture& f;
  std::optional<double> lengthWhenOpened;
  std::optional<async::TimePoint> openedAt, closedAt;

  // Starts the activation and closes the item's menu like a person once it has opened (after
  // `whileOpen` ran), then runs until the activation has ended.
  void run(const std::string& key, const std::function<void()>& whileOpen = [] {}) {
    f.startedAt = f.now();
    f.manager().activateSystemItem(f.window(key));
    f.when([this] { return !f.world().openMenus().empty(); },
           [this, whileOpen] {
             lengthWhenOpened = f.dividerLength();
             openedAt = f.now();
             whileOpen();
             f.world().dismissMenu(f.world().openMenus().front().windowNumber);
             closedAt = f.now();
           });
    EXPECT_TRUE(f.runUntil([this] { return !f.app().systemItemActivationTask; }, 60s));
  }
};

}  // namespace vimbo::testing
