#pragma once
// Holding the person's input while one of our synthetic sequences runs. Hiding the cursor holds
// nothing on a Mac: a click made during a Command-drag goes into the drag. So for the length of a
// sequence we take the person's pointer and keyboard input off the event stream ourselves (on a Mac
// an active event tap at the session level that takes every event whose source is not our own
// process) and post it again, in the order it was made, once the last hold has ended. While
// anything taken still waits to be posted again, what the person does next waits behind it.
//
// What a backend owes the person:
// - What it posts again carries a mark of its own on the event itself, which its tap lets pass:
//   no flag of the poster's, which a nested loop run by the event's handling would keep set. Posted
//   again, an event carries our process as its source, as all we post does on a Mac: only the
//   mark (isPostedAgain) tells it from one we made.
// - One event is posted again per turn of the main loop, by one chain at a time, so that what an
//   event sets off on a later turn (a hot key's handler) comes before the next event.
// - A pointer gesture (a press, its drags and its release) goes on only onto the window it was
//   pressed on. A native tap knows that window from the event it takes (the window under the
//   pointer); the wallpaper counts as a window, the notch, which is no screen, as none. When the
//   press is due, it is moved as far as that window has moved meanwhile (read from the window
//   list), and it goes on only when a press at that point would reach that same window: not a
//   window that came up over the place, not whatever stands where the list places a window it
//   misplaces, not the notch. Otherwise the press and the rest of its gesture go nowhere. Once a
//   press went on, the rest of its gesture keeps that press's offset and always goes on, so that
//   no button is left down.
// - A gesture made with Command on the bar rearranges it: its drop is aimed at a place between
//   items, not inside the window pressed. When the bar's windows changed between its press being
//   made and going on, the whole gesture goes nowhere; otherwise it goes on where the person made
//   it. Made with Command anywhere else, a gesture is held like any other.
// - A Mac's person must never be locked out by us. A native backend caps any one hold (about 2 s,
//   then the input goes on as it comes), does the tap's own work off the main thread so that a
//   stalled main loop does not stall the session, and enables its tap again when the system
//   switches it off for being slow.

#include <utility>

#include "Platform/Events.h"

namespace vimbo::platform {

class InputHold {
 public:
  virtual ~InputHold() = default;
  // Holds nest. False when no hold could be taken: the person's input then goes on as it comes.
  virtual bool begin() = 0;
  // Ends one begin() that returned true; the input goes on once no hold is left.
  virtual void end() = 0;
  // Ends every hold and posts what was taken now, in the order made: a quitting process has no
  // later turn, and input it took must not be lost with it.
  virtual void releaseAll() = 0;
  // Whether an event is one this hold posted again: the person's, though it carries our process.
  virtual bool isPostedAgain(const Event& e) const = 0;
};

// One hold for as long as the scope lives.
class InputHoldScope {
 public:
  InputHoldScope() = default;
  explicit InputHoldScope(InputHold& hold) : hold_(hold.begin() ? &hold : nullptr) {}
  InputHoldScope(InputHoldScope&& other) noexcept : hold_(std::exchange(other.hold_, nullptr)) {}
  InputHoldScope& operator=(InputHoldScope&& other) noexcept {
    if (this != &other) {
      release();
      hold_ = std::exchange(other.hold_, nullptr);
    }
    return *this;
  }
  InputHoldScope(const InputHoldScope&) = delete;
  InputHoldScope& operator=(const InputHoldScope&) = delete;
  ~InputHoldScope() { release(); }

  // Whether the person's input is held by this scope.
  explicit operator bool() const { return hold_ != nullptr; }

  void release() {
    if (InputHold* hold = std::exchange(hold_, nullptr)) hold->end();
  }

 private:
  InputHold* hold_ = nullptr;
};

}  // namespace vimbo::platform
