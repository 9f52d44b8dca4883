#pragma once
// Holding the person's input while one of our synthetic sequences runs. Hiding the cursor holds
// nothing on a Mac: a click made during a Command-drag goes into the drag. So for the length of a
// sequence we take the person's pointer and keyboard input off the event stream ourselves (on a Mac
// an active event tap at the session level that takes every event whose source is not our own
// process) and post it again, in the order it was made, once the last hold has ended. While
// anything taken still waits to be posted again, what the person does next waits behind it.

#include <utility>

namespace vimbo::platform {

class InputHold {
 public:
  virtual ~InputHold() = default;
  // Holds nest. False when no hold could be taken: the person's input then goes on as it comes.
  virtual bool begin() = 0;
  // Ends one begin() that returned true; the input goes on once no hold is left.
  virtual void end() = 0;
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

  void release() {
    if (InputHold* hold = std::exchange(hold_, nullptr)) hold->end();
  }

 private:
  InputHold* hold_ = nullptr;
};

}  // namespace vimbo::platform
