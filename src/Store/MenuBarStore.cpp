#include "Store/MenuBarStore.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Platform/Foundation/Diagnostics.h"
#include "Platform/Foundation/Text.h"

namespace vimbo {

namespace {

constexpr double defaultSamplingInterval = 0.05;
constexpr double defaultRevealDelay = 0.15;
constexpr double defaultCollapseDelay = 0.4;

double sanitized(double value, double fallback, double lower, double upper) {
  if (!std::isfinite(value)) value = fallback;
  if (value <= lower) return lower;
  if (value > upper) return upper;
  return value;
}

platform::Data bytes(const std::string& text) { return platform::Data(text.begin(), text.end()); }

std::string_view text(const platform::Data& data) {
  return {reinterpret_cast<const char*>(data.data()), data.size()};
}

}  // namespace

std::string_view rawValue(HoverDetectionMethod method) {
  return method == HoverDetectionMethod::eventDriven ? "eventDriven" : "polling";
}

std::optional<HoverDetectionMethod> hoverDetectionMethodFromRawValue(std::string_view raw) {
  for (auto method : allHoverDetectionMethods) {
    if (rawValue(method) == raw) return method;
  }
  return std::nullopt;
}

MenuBarStore::MenuBarStore(platform::UserDefaults& defaults, platform::LoginItem& loginItem,
                           platform::ScreenCaptureAccess& screenCapture)
    : items(sampleItems()),
      showLabels(true, [this](const bool& v) { defaults_.set(showLabelsKey, v); }),
      expandOnHover(false, [this](const bool& v) { defaults_.set(expandOnHoverKey, v); }),
      collapseOnPointerExit(true, [this](const bool& v) { defaults_.set(collapseOnPointerExitKey, v); }),
      hoverDetectionMethod(HoverDetectionMethod::polling,
                           [this](const HoverDetectionMethod& m) {
                             defaults_.set(hoverDetectionMethodKey, std::string(rawValue(m)));
                           }),
      shortcutEnabled(true, [this](const bool& v) { defaults_.set(shortcutEnabledKey, v); }),
      menuBarLayout(MenuBarLayoutRecord{}),
      screenCapturePermissionGranted(screenCapture.preflight()),
      defaults_(defaults),
      loginItem_(loginItem) {
  // Stored values of the wrong type fall back to the defaults; every setting is written back
  // so that all keys exist after the first launch.
  showLabels.set(defaults_.boolean(showLabelsKey).value_or(true));
  expandOnHover.set(defaults_.boolean(expandOnHoverKey).value_or(false));
  collapseOnPointerExit.set(defaults_.boolean(collapseOnPointerExitKey).value_or(true));
  hoverDetectionMethod.set(defaults_.string(hoverDetectionMethodKey) == "eventDriven"
                               ? HoverDetectionMethod::eventDriven
                               : HoverDetectionMethod::polling);

  hoverSamplingInterval.set(
      sanitizedHoverSamplingInterval(defaults_.number(hoverSamplingIntervalKey).value_or(defaultSamplingInterval)));
  hoverRevealDelay.set(sanitizedHoverRevealDelay(defaults_.number(hoverRevealDelayKey).value_or(defaultRevealDelay)));
  hoverCollapseDelay.set(
      sanitizedHoverCollapseDelay(defaults_.number(hoverCollapseDelayKey).value_or(defaultCollapseDelay)));
  defaults_.set(hoverSamplingIntervalKey, hoverSamplingInterval.get());
  defaults_.set(hoverRevealDelayKey, hoverRevealDelay.get());
  defaults_.set(hoverCollapseDelayKey, hoverCollapseDelay.get());
  defaults_.set(hoverDetectionMethodKey, std::string(rawValue(hoverDetectionMethod.get())));

  shortcutEnabled.set(defaults_.boolean(shortcutEnabledKey).value_or(true));
  launchAtLogin.set(loginItem_.status() == platform::LoginItemStatus::enabled);

  // Undecodable rows or layouts are left in place; the next save overwrites them.
  if (auto data = defaults_.data(itemsKey)) {
    if (auto decoded = MenuBarItem::decodeList(text(*data))) items.set(std::move(*decoded));
  }
  if (auto data = defaults_.data(layoutKey)) {
    if (auto decoded = MenuBarLayoutRecord::decode(text(*data)); decoded && decoded->version == 1) {
      menuBarLayout.set(std::move(*decoded));
    }
  }

  auto forward = [this](auto& property) {
    changeForwarding_.push_back(property.subscribe([this](const auto&) { announceWillChange(); }));
  };
  forward(items);
  forward(isExpanded);
  forward(searchText);
  forward(showLabels);
  forward(expandOnHover);
  forward(collapseOnPointerExit);
  forward(hoverDetectionMethod);
  forward(hoverSamplingInterval);
  forward(hoverRevealDelay);
  forward(hoverCollapseDelay);
  forward(launchAtLogin);
  forward(shortcutEnabled);
  forward(systemItemsCollapsed);
  forward(privateAPIAvailable);
  forward(capturedSystemItems);
  forward(menuBarLayout);
  forward(screenCapturePermissionGranted);
  forward(isCapturingSystemItems);
  forward(lastError);
}

void MenuBarStore::announceWillChange() { objectWillChange.set(objectWillChange.get() + 1); }

// MARK: - Settings

double MenuBarStore::sanitizedHoverSamplingInterval(double seconds) {
  return sanitized(seconds, defaultSamplingInterval, 0.02, 0.2);
}

double MenuBarStore::sanitizedHoverRevealDelay(double seconds) {
  return sanitized(seconds, defaultRevealDelay, 0.05, 1.0);
}

double MenuBarStore::sanitizedHoverCollapseDelay(double seconds) {
  return sanitized(seconds, defaultCollapseDelay, 0.2, 2.0);
}

void MenuBarStore::setHoverSamplingInterval(double seconds) {
  hoverSamplingInterval.set(sanitizedHoverSamplingInterval(seconds));
  defaults_.set(hoverSamplingIntervalKey, hoverSamplingInterval.get());
}

void MenuBarStore::setHoverRevealDelay(double seconds) {
  hoverRevealDelay.set(sanitizedHoverRevealDelay(seconds));
  defaults_.set(hoverRevealDelayKey, hoverRevealDelay.get());
}

void MenuBarStore::setHoverCollapseDelay(double seconds) {
  hoverCollapseDelay.set(sanitizedHoverCollapseDelay(seconds));
  defaults_.set(hoverCollapseDelayKey, hoverCollapseDelay.get());
}

void MenuBarStore::setLaunchAtLogin(bool enabled) {
  const auto error = enabled ? loginItem_.registerItem() : loginItem_.unregisterItem();
  if (!error) {
    launchAtLogin.set(enabled);
    return;
  }
  launchAtLogin.set(loginItem_.status() == platform::LoginItemStatus::enabled);
  lastError.set("无法更新登录项：" + *error);
}

void MenuBarStore::reset() {
  items.set(sampleItems());
  isExpanded.set(false);
  searchText.set("");
  setHoverSamplingInterval(defaultSamplingInterval);
  setHoverRevealDelay(defaultRevealDelay);
  setHoverCollapseDelay(defaultCollapseDelay);
  collapseOnPointerExit.set(true);
  save();
}

// MARK: - Item rows

const std::vector<MenuBarItem>& MenuBarStore::sampleItems() {
  static const std::vector<MenuBarItem> rows{
      {UUID(), "Wi-Fi", "已连接 · Studio 5G", "wifi", "5B8DEF", ItemVisibility::shown, true, 0},
      {UUID(), "声音", "MacBook Pro 扬声器", "speaker.wave.2.fill", "8B7CF6", ItemVisibility::shown, true, 1},
      {UUID(), "电池", "已充电 82%", "battery.75percent", "41B883", ItemVisibility::shown, true, 2},
      {UUID(), "专注模式", "未开启", "moon.fill", "6A70D6", ItemVisibility::tucked, true, 0},
      {UUID(), "AirDrop", "仅限联系人", "airdrop", "2EA8E5", ItemVisibility::tucked, true, 1},
      {UUID(), "时间机器", "上次备份：今天 11:40", "clock.arrow.circlepath", "49A078", ItemVisibility::tucked, true, 2},
      {UUID(), "VPN", "未连接", "shield.lefthalf.filled", "F0A04B", ItemVisibility::hidden, true, 0},
      {UUID(), "蓝牙", "3 台设备已连接", "bolt.horizontal.fill", "3C8DFF", ItemVisibility::hidden, true, 1},
  };
  return rows;
}

std::vector<MenuBarItem> MenuBarStore::filteredItems() const {
  std::vector<MenuBarItem> sorted = items.get();
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.order < b.order; });
  const std::string& query = searchText.get();
  if (query.empty()) return sorted;
  std::erase_if(sorted, [&](const MenuBarItem& item) {
    return !platform::text::localizedCaseInsensitiveContains(item.name, query) &&
           !platform::text::localizedCaseInsensitiveContains(item.detail, query);
  });
  return sorted;
}

void MenuBarStore::move(const UUID& id, ItemVisibility visibility) {
  auto rows = items.get();
  auto it = std::find_if(rows.begin(), rows.end(), [&](const MenuBarItem& item) { return item.id == id; });
  if (it == rows.end()) return;
  it->visibility = visibility;
  int64_t largest = std::numeric_limits<int64_t>::min();
  for (const auto& row : rows) {
    if (row.visibility == visibility) largest = std::max(largest, row.order);
  }
  // Hostile stored orders must not overflow; normalising renumbers the group anyway.
  it->order = largest == std::numeric_limits<int64_t>::max() ? largest : largest + 1;
  items.set(std::move(rows));
  normalizeAndSave();
}

void MenuBarStore::normalizeAndSave() {
  auto rows = items.get();
  for (auto visibility : allItemVisibilities) {
    std::vector<MenuBarItem> group;
    for (const auto& row : rows) {
      if (row.visibility == visibility) group.push_back(row);
    }
    std::stable_sort(group.begin(), group.end(), [](const auto& a, const auto& b) { return a.order < b.order; });
    for (std::size_t n = 0; n < group.size(); ++n) {
      auto target = std::find_if(rows.begin(), rows.end(), [&](const MenuBarItem& r) { return r.id == group[n].id; });
      target->order = static_cast<int64_t>(n);
    }
  }
  items.set(std::move(rows));
  save();
}

void MenuBarStore::save() {
  if (auto json = MenuBarItem::encodeList(items.get())) {
    defaults_.set(itemsKey, bytes(*json));
  } else {  // text that is not UTF-8: the list stored before stays
    platform::reportOnce("无法保存项目列表：其中有无法编码的文本，已保留上次保存的列表。");
  }
  announceWillChange();
}

}  // namespace vimbo
