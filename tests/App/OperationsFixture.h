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

struct OperationsFixture : ControllerFixture {
  explicit OperationsFixture(sim::WorldSpec spec) : ControllerFixture(std::move(spec)) {}

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

  // ---- The views' ways back into the controller ----
  const ManagerPanelActions& manager() { return made(test_support::ContentKind::managerPanel).front()->manager; }
  SettingsActions settings() {
    if (made(test_support::ContentKind::settingsView).empty()) app().openSettings();
    return made(test_support::ContentKind::settingsView).back()->settings;
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

}  // namespace vimbo::testing
