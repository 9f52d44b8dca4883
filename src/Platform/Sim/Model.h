#pragma once
// The data a simulated world is made of: screens, applications, status items and fault switches.
// Worlds load from JSON (WorldJson.h) into these values.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/Accessibility.h"
#include "Platform/Events.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/LoginItem.h"
#include "Platform/WindowServer.h"
#include "Platform/Workspace.h"

namespace vimbo::sim {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;

inline Duration millis(double ms) {
  return std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::milli>(ms));
}

struct ScreenSpec {
  std::string name;
  uint32_t displayID = 1;
  bool hasScreenNumber = true;  // whether "NSScreenNumber" is present
  Rect displayBounds;           // window-server coordinates, origin top left of the main display
  Rect frame;                   // AppKit coordinates, origin bottom left of the main display
  double menuBarHeight = 24;
  double notchWidth = 0;        // 0: no notch
  double scale = 2;
};

struct AppSpec {
  int32_t pid = 0;
  std::optional<std::string> name;
  std::optional<std::string> bundleIdentifier;
  std::optional<std::string> executablePath;
  std::optional<std::string> bundlePath;
  platform::BundleInfo bundleInfo;  // e.g. "LSUIElement"
  platform::ActivationPolicy activationPolicy = platform::ActivationPolicy::Accessory;
  uint32_t iconColor = 0x808080;
  bool unresponsive = false;  // every accessibility read times out
  bool hostsControlCenter = false;
};

struct Picture {
  uint32_t color = 0x202020;  // 24-bit RGB
  std::string glyph = "dot";  // dot, bar, ring, square, triangle, blank
  // A symbol of the installed icon theme (e.g. "network-wireless-signal-excellent"), drawn in the
  // colour; the glyph stands in when the theme lacks it.
  std::string symbol;
};

struct MenuSpec {
  bool exists = true;
  int level = platform::windowlevel::popUpMenu;
  Size size{220, 160};
  bool neverCloses = false;
  std::optional<Duration> closesAfter;
  Duration appearDelay{0};
  std::optional<int32_t> ownerPID;  // default: the accessibility owner
};

struct ItemFaults {
  bool ignoresDrags = false;
  int landsSlotsOff = 0;  // positive: further left
  bool landsRightOfControl = false;
  std::optional<Duration> bouncesBackAfter;
  bool vanishesOnDrag = false;
  bool pressRefused = false;
  bool captureFails = false;      // every picture path
  bool captureBlank = false;      // every picture path
  bool screenshotFails = false;   // the one-window screenshot only
  bool screenshotBlank = false;   // the one-window screenshot only
  bool positionSettable = false;  // "AXPosition" of its element
  bool positionWriteIgnored = false;  // settable, accepted, nothing moves
  std::optional<bool> acceptsTargetedMove;  // default: hosted by Control Center
};

struct ItemSpec {
  std::string key;  // unique handle within the world
  std::optional<std::string> windowName;
  int32_t ownerPID = 0;                // window owner
  std::optional<int32_t> axPID;        // accessibility owner; default the window owner
  double width = 30;
  std::optional<platform::AXValue> axIdentifier, axTitle, axDescription, axHelp;
  Rect axOffset;  // element frame minus window frame (x, y, width, height deltas)
  bool hitChild = false;  // the hit test finds a text-less child element
  Picture picture;
  MenuSpec menu;
  ItemFaults faults;
  bool visible = true;  // false: not in the bar yet (appears later)
  int32_t effectiveAXPID() const { return axPID.value_or(ownerPID); }
};

struct Switches {
  bool accessibilityTrusted = true;
  bool screenCaptureGranted = true;
  bool screenCaptureRequestGrants = false;  // a request grants access (after relaunch)
  platform::LoginItemStatus loginItemStatus = platform::LoginItemStatus::notRegistered;  // at start
  bool loginItemRequiresApproval = false;  // registering leaves the item waiting for approval
  bool windowListUnavailable = false;
  int onScreenCountFailures = 0;  // next N calls fail
  int onScreenCountZeros = 0;     // next N calls report 0
  std::optional<Duration> onScreenCountFailsAfter;  // every call fails from this long after the start
  std::optional<Duration> onScreenCountZeroAfter;   // every call reports 0 from this long after the start
  bool dividerWindowMissing = false;
  bool controlWindowMissing = false;
  int controlWindowDuplicates = 0;
  std::optional<int32_t> duplicateControlOwnerPID;  // default: our own pid
  bool eventSourceFails = false;
  bool eventTapUnavailable = false;  // no event tap can be made (our input hold takes nothing)
  std::set<platform::EventType> failingEventTypes;
  bool hotKeyRegistrationFails = false;
  int unreadableHotKeyEvents = 0;  // the next N hot-key presses carry no readable identifier
  bool redactNamesWithoutCapture = false;
  bool screenRectBridgeAvailable = true;
  bool shareableContentFails = false;
  bool viewFillsWindowAvailable = true;
  bool statusItemsHaveButtons = true;  // false: our status items come without a button
  Duration dragSettleLatency{0};
  Duration dividerRelayoutLatency{0};
  double itemSpacing = 0;
};

// The application whose menus the bar's left side shows while ours is not in front.
struct FrontAppSpec {
  std::string name;
  std::vector<std::string> menus;
};

struct WorldSpec {
  std::vector<ScreenSpec> screens;
  std::vector<AppSpec> apps;
  std::vector<ItemSpec> items;  // left to right; fixed items may stand anywhere (they sort right)
  Switches switches;
  int32_t ownPID = 4242;
  std::string ownName = "Vimbo";
  std::string ownBundleIdentifier = "com.vimbo.app";
  Point pointer{100, 300};
  std::optional<FrontAppSpec> frontApp;
  // The wall clock when the world starts (the Clock's time); none: the real time at start.
  std::optional<std::chrono::system_clock::time_point> wallClockStart;
};

// Every string of the world in canonical composed form, as the platform hands strings out.
void normalizeStrings(WorldSpec& world);
void normalizeStrings(ItemSpec& item);

inline bool isFixedWindowName(const std::optional<std::string>& name) {
  return name && (*name == "Clock" || *name == "BentoBox-0");
}

}  // namespace vimbo::sim
