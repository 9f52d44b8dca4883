#pragma once
// The one observable store: the editable item rows, transient panel state, the hover and
// shortcut settings, the login item, the captured menu-bar items with their three-zone layout
// and the last error. Main thread only.
//
// Every published value is an async::Property, which notifies its subscribers before it stores
// the new value. Settings that persist are `Setting`s: assigning one publishes first and then
// writes the user defaults, on every assignment.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Models/MenuBarItem.h"
#include "Models/MenuBarLayout.h"
#include "Platform/Foundation/LoginItem.h"
#include "Platform/Foundation/ScreenCaptureAccess.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Property.h"

namespace vimbo {

enum class HoverDetectionMethod { eventDriven, polling };

inline constexpr std::array<HoverDetectionMethod, 2> allHoverDetectionMethods{
    HoverDetectionMethod::eventDriven, HoverDetectionMethod::polling};

std::string_view rawValue(HoverDetectionMethod method);
std::optional<HoverDetectionMethod> hoverDetectionMethodFromRawValue(std::string_view raw);

// A published value whose every assignment is also written to the user defaults.
template <class T>
class Setting {
 public:
  Setting(T initial, std::function<void(const T&)> persist)
      : property_(std::move(initial)), persist_(std::move(persist)) {}
  Setting(const Setting&) = delete;
  Setting& operator=(const Setting&) = delete;

  const T& get() const { return property_.get(); }
  void set(T value) {
    property_.set(value);
    persist_(value);
  }
  async::Subscription subscribe(std::function<void(const T&)> fn) { return property_.subscribe(std::move(fn)); }
  async::Subscription subscribeQueued(async::Executor& executor, std::function<void(const T&)> fn) {
    return property_.subscribeQueued(executor, std::move(fn));
  }
  // For subscriptions only (combine helpers take the property): assign through set().
  async::Property<T>& publisher() { return property_; }

 private:
  async::Property<T> property_;
  std::function<void(const T&)> persist_;
};

class MenuBarStore {
 public:
  static constexpr const char* itemsKey = "menuBarItems.v1";
  static constexpr const char* layoutKey = "Vimbo.MenuBarLayout.v1";
  static constexpr const char* showLabelsKey = "showLabels";
  static constexpr const char* expandOnHoverKey = "expandOnHover";
  static constexpr const char* collapseOnPointerExitKey = "collapseOnPointerExit";
  static constexpr const char* hoverDetectionMethodKey = "hoverDetectionMethod";
  static constexpr const char* hoverSamplingIntervalKey = "hoverSamplingInterval";
  static constexpr const char* hoverRevealDelayKey = "hoverRevealDelay";
  static constexpr const char* hoverCollapseDelayKey = "hoverCollapseDelay";
  static constexpr const char* shortcutEnabledKey = "shortcutEnabled";

  // The platform objects outlive the store (they live for the process).
  MenuBarStore(platform::UserDefaults& defaults, platform::LoginItem& loginItem,
               platform::ScreenCaptureAccess& screenCapture);
  MenuBarStore(const MenuBarStore&) = delete;
  MenuBarStore& operator=(const MenuBarStore&) = delete;

  // MARK: Published state, in declaration order.
  async::Property<std::vector<MenuBarItem>> items;
  async::Property<bool> isExpanded{false};
  async::Property<std::string> searchText;
  Setting<bool> showLabels;
  Setting<bool> expandOnHover;
  Setting<bool> collapseOnPointerExit;
  Setting<HoverDetectionMethod> hoverDetectionMethod;
  // Plain assignment only publishes; the set... methods sanitise and persist.
  async::Property<double> hoverSamplingInterval{0.05};
  async::Property<double> hoverRevealDelay{0.15};
  async::Property<double> hoverCollapseDelay{0.4};
  async::Property<bool> launchAtLogin{false};
  Setting<bool> shortcutEnabled;
  async::Property<bool> systemItemsCollapsed{true};
  async::Property<bool> privateAPIAvailable{true};
  async::Property<std::vector<CapturedMenuBarItem>> capturedSystemItems;
  async::Property<MenuBarLayoutRecord> menuBarLayout;
  async::Property<bool> screenCapturePermissionGranted{false};
  async::Property<bool> isCapturingSystemItems{false};
  async::Property<std::optional<std::string>> lastError;

  // Fires before any published value changes, and when the item rows are saved.
  async::Property<std::uint64_t> objectWillChange{0};

  // MARK: Settings
  void setHoverSamplingInterval(double seconds);
  void setHoverRevealDelay(double seconds);
  void setHoverCollapseDelay(double seconds);
  // The setters' rule, for readers of a value that a plain assignment may have published: a
  // non-finite value becomes the default, any other is clamped into the setting's range.
  static double sanitizedHoverSamplingInterval(double seconds);
  static double sanitizedHoverRevealDelay(double seconds);
  static double sanitizedHoverCollapseDelay(double seconds);
  void setLaunchAtLogin(bool enabled);
  // Sample rows, panel state and hover timings; other settings, the login item, the captured
  // items and the layout stay.
  void reset();

  // MARK: Item rows
  static const std::vector<MenuBarItem>& sampleItems();
  std::vector<MenuBarItem> filteredItems() const;
  void move(const UUID& id, ItemVisibility visibility);

  // MARK: Captured items and layout
  void replaceCapturedSystemItems(std::vector<CapturedMenuBarItem> items);
  void updateCapturedSystemItemIdentity(std::uint32_t windowID, const std::string& identity);
  void updateCapturedSystemItem(const CapturedMenuBarItem& item);
  MenuBarLayoutZone layoutZone(const CapturedMenuBarItem& item) const;
  std::vector<CapturedMenuBarItem> capturedItems(MenuBarLayoutZone zone) const;
  std::vector<std::string> persistableLayoutIdentities(MenuBarLayoutZone zone) const;
  MenuBarLayoutDraft currentMenuBarLayoutDraft() const;
  bool commitLayoutMovement(std::uint32_t windowID, MenuBarLayoutZone zone, std::optional<int64_t> index, bool persist);
  bool commitMenuBarLayoutDraft(const MenuBarLayoutDraft& draft, bool persist);

 private:
  void normalizeAndSave();
  void save();
  void applyMenuBarLayout(MenuBarLayoutRecord record, bool persist, bool forcePersist);
  void saveMenuBarLayout();
  static bool isMeaningfulCapturedName(std::string_view name);
  void announceWillChange();

  platform::UserDefaults& defaults_;
  platform::LoginItem& loginItem_;
  std::map<std::uint32_t, MenuBarLayoutZone> sessionLayoutZones_;
  std::map<std::string, std::string> knownCapturedNamesByIdentity_;
  std::vector<async::Subscription> changeForwarding_;
};

}  // namespace vimbo
