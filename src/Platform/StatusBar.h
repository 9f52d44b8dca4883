#pragma once
// The system status bar and our own status items. Each status item is a window at the status
// level owned by our process and named after its autosave name; setting the autosave name makes
// the bar read (and later write) the "NSStatusItem ..." keys of our user defaults.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Events.h"
#include "Platform/Foundation/Geometry.h"

namespace vimbo::platform {

class Image;
using ImageRef = std::shared_ptr<const Image>;

namespace statusitemlength {
inline constexpr double variable = -1;
inline constexpr double square = -2;
}  // namespace statusitemlength

// Options of a tracking area (bit values as the system defines them).
namespace trackingoption {
inline constexpr uint32_t mouseEnteredAndExited = 0x01;
inline constexpr uint32_t mouseMoved = 0x02;
inline constexpr uint32_t activeAlways = 0x80;
inline constexpr uint32_t inVisibleRect = 0x200;
inline constexpr uint32_t enabledDuringMouseDrag = 0x400;
}  // namespace trackingoption

enum class TrackingEventKind { Entered, Exited, Moved };

struct MenuEntry {
  std::string title;
  std::string keyEquivalent;
  std::function<void()> action;
};

using TrackingAreaID = uint64_t;

class StatusBarButton {
 public:
  virtual ~StatusBarButton() = default;

  virtual std::string title() const = 0;
  virtual void setTitle(std::string title) = 0;
  virtual std::string toolTip() const = 0;
  virtual void setToolTip(std::string toolTip) = 0;
  virtual ImageRef image() const = 0;
  virtual void setImage(ImageRef image) = 0;

  // The mouse-up (or down) types that send the action; the action runs on the main thread with the
  // application's current event set to the triggering event.
  virtual void sendActionOn(EventMask mask) = 0;
  virtual void setAction(std::function<void()> action) = 0;
  // Acts as a click: with a menu attached it opens the menu and returns when the menu has closed
  // (running the main loop meanwhile); otherwise it sends the action.
  virtual void performClick() = 0;

  virtual Rect bounds() const = 0;  // in the button's own coordinates
  virtual uint32_t windowNumber() const = 0;
  virtual void setAcceptsMouseMovedEvents(bool accepts) = 0;

  // rect in the button's own coordinates; events come from real pointer motion only.
  virtual TrackingAreaID addTrackingArea(Rect rect, uint32_t options,
                                         std::function<void(TrackingEventKind, const Event&)> handler) = 0;
  virtual void removeTrackingArea(TrackingAreaID id) = 0;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;

  virtual double length() const = 0;
  virtual void setLength(double length) = 0;
  virtual std::string autosaveName() const = 0;
  virtual void setAutosaveName(std::string name) = 0;
  virtual bool isVisible() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual StatusBarButton* button() = 0;  // may be null
  virtual void setMenu(std::optional<std::vector<MenuEntry>> menu) = 0;
  virtual bool hasMenu() const = 0;
  virtual uint32_t windowNumber() const = 0;  // 0 when the item has no window
};
using StatusItemRef = std::shared_ptr<StatusItem>;

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  virtual StatusItemRef statusItem(double length) = 0;
  virtual void removeStatusItem(const StatusItemRef& item) = 0;
  virtual double thickness() const = 0;
  // Makes the view of the item with this autosave name fill its window; false when the
  // mechanism is unavailable.
  virtual bool installViewFillsWindow(const std::string& autosaveName) = 0;
};

}  // namespace vimbo::platform
