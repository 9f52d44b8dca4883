#pragma once
// A store holding seven captured items and no saved layout: two fixed ones and three movable
// ones standing visible, two collected. Its draft is visible [11, 12, 21, 24, 25],
// collected [22, 23], hidden [].

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"
#include "Store/MenuBarStore.h"

namespace vimbo::testing {

inline CapturedMenuBarItem layoutItem(std::uint32_t id, std::string windowName, std::string name, double width,
                                      bool collected, platform::ImageRef image = nullptr) {
  CapturedMenuBarItem item;
  item.id = id;
  item.windowName = std::move(windowName);
  item.name = std::move(name);
  item.ownerBundleIdentifier = "com.example.item" + std::to_string(id);
  item.ownerName = item.name;
  item.ownerPID = static_cast<std::int32_t>(500 + id);
  // Not persistable (no accessibility part), so the draft keeps capture order.
  item.stableIdentity = item.ownerBundleIdentifier + "|window=" + item.windowName;
  item.originalFrame = Rect(1000 + id * 40.0, 0, width, 24);
  item.image = std::move(image);
  item.isCollected = collected;
  return item;
}

inline std::vector<CapturedMenuBarItem> layoutFixtureItems() {
  auto clock = layoutItem(11, "Clock", "时钟", 40, false);
  clock.stableIdentity = "com.apple.controlcenter|window=Clock";
  auto control = layoutItem(12, "BentoBox-0", "控制中心", 28, false);
  control.stableIdentity = "com.apple.controlcenter|window=BentoBox-0";
  return {clock,
          control,
          layoutItem(21, "Item-0", "番茄钟", 30, false, platform::Image::symbol("timer")),
          layoutItem(24, "Item-0", "Quill", 22, false, platform::Image::symbol("pencil")),
          layoutItem(25, "Item-0", "Lumen", 80, false),
          layoutItem(22, "Item-0", "剪贴板", 36, true, platform::Image::symbol("doc")),
          layoutItem(23, "Item-0", "Beacon", 26, true, platform::Image::symbol("dot"))};
}

using Zones = MenuBarLayoutDraft::Mapping;

inline Zones layoutFixtureZones() {
  return {{MenuBarLayoutZone::visible, {11, 12, 21, 24, 25}},
          {MenuBarLayoutZone::collected, {22, 23}},
          {MenuBarLayoutZone::hidden, {}}};
}

// The two closures the settings view receives, recording their calls. The apply holds its
// completion until the test releases it.
struct RecordingSettingsActions {
  std::vector<MenuBarLayoutDraft> appliedDrafts;
  int refreshCalls = 0;
  std::optional<async::OneShot<bool>> pendingApply;
  std::optional<async::OneShot<>> pendingRefresh;
  bool holdRefresh = false;
  // Runs when a refresh completes (before the closure returns), e.g. to fill the store.
  std::function<void()> onRefresh;

  std::function<async::Task<bool>(MenuBarLayoutDraft)> apply() {
    return [this](MenuBarLayoutDraft draft) -> async::Task<bool> {
      appliedDrafts.push_back(draft);
      async::OneShot<bool> gate;
      pendingApply = gate;
      co_return co_await gate.wait();
    };
  }
  std::function<async::Task<void>()> refresh() {
    return [this]() -> async::Task<void> {
      ++refreshCalls;
      if (holdRefresh) {
        async::OneShot<> gate;
        pendingRefresh = gate;
        co_await gate.wait();
      }
      if (onRefresh) onRefresh();
    };
  }
  // Completes the held apply; the caller runs the loop.
  void releaseApply(bool result) {
    ASSERT_TRUE(pendingApply.has_value());
    auto gate = *pendingApply;
    pendingApply.reset();
    gate.resume(result);
  }
};

}  // namespace vimbo::testing
