#pragma once
// What the restore, indexing and pin tests share: identities and orders read off the world, the
// record of the bar by item, a log of the items the pointer pressed, and an item that keeps moving.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "App/ControllerFixture.h"
#include "System/MenuBarProxyManager.h"

namespace vimbo::testing {

// The identities the controller world's items are discovered under.
inline std::string identityOfKey(const std::string& key) {
  if (key == "notes") return "com.lumenware.notes|window=NotesStatus|ax=title:Lumen";
  if (key == "tally") return "io.tallybird.app|window=TallyStatus|ax=title:Tally";
  if (key == "drift") return "net.driftwood.sync|window=DriftStatus|ax=title:Drift";
  if (key == "wifi") return "com.apple.controlcenter|window=WiFi|ax=title:Wi-Fi";
  ADD_FAILURE() << "no identity for " << key;
  return {};
}

inline uint32_t windowOf(ControllerFixture& f, const std::string& key) {
  auto view = f.world().item(key);
  EXPECT_TRUE(view) << key;
  return view ? view->windowNumber : 0;
}

// The store's captured item of a world item.
inline CapturedMenuBarItem capturedOf(ControllerFixture& f, const std::string& key) {
  const uint32_t id = windowOf(f, key);
  for (const auto& item : f.store().capturedSystemItems.get()) {
    if (item.id == id) return item;
  }
  ADD_FAILURE() << key << " is not captured";
  return {};
}

// Other applications' items between the divider and the control item, left to right.
inline std::vector<std::string> keysInBand(ControllerFixture& f) {
  auto divider = f.world().frameOf(hider::dividerName);
  auto control = f.world().frameOf(hider::controlName);
  std::vector<std::string> keys;
  if (!divider || !control) return keys;
  for (const auto& view : f.world().items()) {
    if (view.own || view.fixed) continue;
    if (view.frame.minX() >= divider->maxX() && view.frame.maxX() <= control->minX()) keys.push_back(view.specKey);
  }
  return keys;
}

inline size_t mouseEventCount(ControllerFixture& f) {
  size_t count = 0;
  for (const auto& posted : f.world().postedEvents()) {
    const auto type = static_cast<uint32_t>(posted.event.type);
    if (type >= 1 && type <= 7) ++count;
  }
  return count;
}

// Runs until the next full refresh has started and ended.
inline void finishNextRefresh(ControllerFixture& f) {
  bool started = false;
  auto watch = f.store().isCapturingSystemItems.subscribe([&](const bool& capturing) { started |= capturing; });
  f.runUntil([&] { return started && !f.store().isCapturingSystemItems.get(); }, std::chrono::seconds(60));
}

// Start-up without a saved order, through the first full refresh (the store is seeded before it).
inline void launchAndRefresh(ControllerFixture& f) {
  f.launch(false);
  finishNextRefresh(f);
  f.rememberPointer();
}

// Moves one item through three places in turn, every 30 ms from now until `until`.
inline void keepMoving(ControllerFixture& f, const std::string& key, const std::vector<std::optional<std::string>>& befores,
                       async::TimePoint until) {
  size_t n = 0;
  for (async::TimePoint t = f.now(); t < until; t += std::chrono::milliseconds(30), ++n) {
    f.executor.scheduleAt(t, [&f, key, before = befores[n % befores.size()]] { f.world().moveItemBefore(key, before); });
  }
}

}  // namespace vimbo::testing

namespace vimbo::testing {

// The indexing's record of the bar by spec key, for comparing layouts across window numbers.
struct ZoneOrders {
  std::vector<std::string> collected, visible, fixed;
  friend bool operator==(const ZoneOrders&, const ZoneOrders&) = default;
};

inline ZoneOrders zoneOrders(ControllerFixture& f) {
  ZoneOrders orders;
  auto snapshot = f.app().nativeMenuExtraIndexingSnapshot(std::nullopt);
  EXPECT_TRUE(snapshot) << "no record of the bar";
  if (!snapshot) return orders;
  auto keys = [&](const std::vector<uint32_t>& ids) {
    std::vector<std::string> out;
    for (uint32_t id : ids) out.push_back(f.world().itemByWindow(id) ? f.world().itemByWindow(id)->specKey : "?");
    return out;
  };
  return {keys(snapshot->collectedIDs), keys(snapshot->visibleIDs), keys(snapshot->fixedIDs)};
}

// The items the pointer pressed, in order (another try at the same item counts once): each
// mouse-down is matched, within 5 ms, to the item standing under it. Every way of moving starts
// with a press on the item and waits far longer than that before it moves anything.
class DragLog {
 public:
  explicit DragLog(ControllerFixture& f) : f_(f), seen_(f.world().postedEvents().size()) { arm(); }
  ~DragLog() { f_.executor.cancelTimer(timer_); }
  DragLog(const DragLog&) = delete;
  DragLog& operator=(const DragLog&) = delete;
  std::vector<std::string> items;

 private:
  void arm() {
    timer_ = f_.executor.scheduleAfter(std::chrono::milliseconds(5), [this] {
      look();
      arm();
    });
  }
  void look() {
    const auto& posted = f_.world().postedEvents();
    for (; seen_ < posted.size(); ++seen_) {
      if (posted[seen_].event.type != platform::EventType::LeftMouseDown) continue;
      const Point p = posted[seen_].event.location;
      for (const auto& view : f_.world().items()) {
        if (view.own || !view.frame.contains(p)) continue;
        if (items.empty() || items.back() != view.specKey) items.push_back(view.specKey);
      }
    }
  }
  ControllerFixture& f_;
  size_t seen_;
  async::TimerId timer_ = 0;
};

}  // namespace vimbo::testing
