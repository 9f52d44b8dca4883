#pragma once
// Synthetic events, the pointer and the cursor. Events are plain values built by an event source;
// creation can fail (none). Locations are window-server points (origin top left).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "Platform/Foundation/Geometry.h"

namespace vimbo::platform {

enum class EventType : uint32_t {
  Null = 0,
  LeftMouseDown = 1,
  LeftMouseUp = 2,
  RightMouseDown = 3,
  RightMouseUp = 4,
  MouseMoved = 5,
  LeftMouseDragged = 6,
  RightMouseDragged = 7,
  KeyDown = 10,
  KeyUp = 11,
  FlagsChanged = 12,
  ScrollWheel = 22,
};

// A mask of event types, as monitors and action masks take them.
using EventMask = uint64_t;
constexpr EventMask eventMaskBit(EventType t) { return EventMask{1} << static_cast<uint32_t>(t); }

enum class MouseButton : uint32_t { Left = 0, Right = 1, Center = 2 };

using EventFlags = uint64_t;
namespace eventflag {
inline constexpr EventFlags capsLock = 0x10000;
inline constexpr EventFlags shift = 0x20000;
inline constexpr EventFlags control = 0x40000;
inline constexpr EventFlags option = 0x80000;
inline constexpr EventFlags command = 0x100000;
inline constexpr EventFlags numericPad = 0x200000;
inline constexpr EventFlags help = 0x400000;
inline constexpr EventFlags function = 0x800000;
// The device-independent part: what "modifier flags" of an application event mean.
inline constexpr EventFlags deviceIndependentMask = 0xFFFF0000;
}  // namespace eventflag

// Integer fields that travel on an event.
namespace eventfield {
inline constexpr int mouseEventClickState = 1;
inline constexpr int targetUnixProcessID = 40;
// The process that made the event; 0 for the person's own (hardware) input.
inline constexpr int eventSourceUnixProcessID = 41;
inline constexpr int sourceUserData = 42;
inline constexpr int sourceStateID = 45;
inline constexpr int mouseEventWindowNumber = 51;
inline constexpr int windowUnderMousePointer = 91;
inline constexpr int windowUnderMousePointerThatCanHandleThisEvent = 92;
}  // namespace eventfield

namespace keycode {
inline constexpr uint16_t returnKey = 36;
inline constexpr uint16_t tab = 48;
inline constexpr uint16_t escape = 53;
inline constexpr uint16_t command = 55;
inline constexpr uint16_t keypadEnter = 76;
inline constexpr uint16_t leftArrow = 123;
inline constexpr uint16_t rightArrow = 124;
inline constexpr uint16_t downArrow = 125;
inline constexpr uint16_t upArrow = 126;
}  // namespace keycode

enum class EventSourceStateID : int32_t { Private = -1, CombinedSession = 0, HIDSystem = 1 };

enum class EventTap : uint32_t { HID = 0, Session = 1, AnnotatedSession = 2 };

struct Event {
  EventType type = EventType::Null;
  Point location;  // window-server coordinates
  EventFlags flags = 0;
  uint16_t keyCode = 0;
  MouseButton button = MouseButton::Left;
  int64_t sourceID = 0;  // the event source that made it; 0 for none
  std::map<int, int64_t> fields;

  int64_t integerValueField(int field) const {
    auto it = fields.find(field);
    return it == fields.end() ? 0 : it->second;
  }
  void setIntegerValueField(int field, int64_t value) { fields[field] = value; }
  EventFlags modifierFlags() const { return flags & eventflag::deviceIndependentMask; }
};

class EventSource {
 public:
  virtual ~EventSource() = default;
  virtual int64_t id() const = 0;
  virtual EventSourceStateID stateID() const = 0;
  virtual void setLocalEventsSuppressionInterval(double seconds) = 0;
  // state 0 is the suppression-interval state; the mask says which local events pass.
  virtual void setLocalEventsFilterDuringSuppressionState(uint32_t filterMask, int state) = 0;
};
using EventSourceRef = std::shared_ptr<EventSource>;

class Events {
 public:
  virtual ~Events() = default;

  virtual EventSourceRef createSource(EventSourceStateID state) = 0;  // null on failure
  // With no source the event carries no source state.
  virtual std::optional<Event> createMouseEvent(const EventSource* source, EventType type, Point location,
                                                MouseButton button) = 0;
  virtual std::optional<Event> createKeyboardEvent(const EventSource* source, uint16_t keyCode, bool keyDown) = 0;
  // An empty event: its location is the pointer's current location.
  virtual std::optional<Event> createNullEvent() = 0;

  // An event made by create… is posted as made: its fields, flags and location as set, our process
  // as its source. Whatever else we post (the person's input a tap took) is stamped with our
  // process as its source too, so the source tells no such event from one we made.
  virtual void post(EventTap tap, const Event& event) = 0;
  virtual void postToPid(int32_t pid, const Event& event) = 0;

  // Pointer and cursor. Warping moves the pointer without events; result 0 is success.
  virtual int32_t warpMouseCursorPosition(Point location) = 0;
  virtual int32_t hideCursor(uint32_t displayID) = 0;
  virtual int32_t showCursor(uint32_t displayID) = 0;
  // The pointer in screen coordinates (origin bottom left of the main screen).
  virtual Point mouseLocation() const = 0;
};

}  // namespace vimbo::platform
