#pragma once
// Global hot keys. A registered combination is taken for the whole session: pressing it calls the
// installed handlers on the main thread with the {signature, id}, and the keystroke reaches no one else.

#include <cstdint>
#include <functional>
#include <optional>

namespace vimbo::platform {

struct HotKeyID {
  uint32_t signature = 0;
  uint32_t id = 0;
  friend bool operator==(const HotKeyID&, const HotKeyID&) = default;
};

namespace hotkeystatus {
inline constexpr int32_t noErr = 0;
inline constexpr int32_t eventNotHandled = -9874;
inline constexpr int32_t hotKeyExists = -9878;
inline constexpr int32_t paramErr = -50;
}  // namespace hotkeystatus

// Carbon modifier masks.
namespace hotkeymodifier {
inline constexpr uint32_t command = 0x100;
inline constexpr uint32_t shift = 0x200;
inline constexpr uint32_t option = 0x800;
inline constexpr uint32_t control = 0x1000;
}  // namespace hotkeymodifier

constexpr uint32_t fourCharCode(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

using HotKeyRef = uint64_t;       // 0 is none
using HotKeyHandlerRef = uint64_t;  // 0 is none

struct HotKeyRegistration {
  int32_t status = hotkeystatus::noErr;
  HotKeyRef ref = 0;
};

class HotKeys {
 public:
  virtual ~HotKeys() = default;
  // The handler returns noErr when it handled the key, eventNotHandled to let others see it. It gets
  // none when the pressed key's identifier cannot be read from the event.
  virtual HotKeyHandlerRef installHandler(std::function<int32_t(std::optional<HotKeyID>)> handler) = 0;
  virtual void removeHandler(HotKeyHandlerRef handler) = 0;
  virtual HotKeyRegistration registerHotKey(uint32_t keyCode, uint32_t modifiers, HotKeyID id) = 0;
  virtual int32_t unregisterHotKey(HotKeyRef ref) = 0;
};

}  // namespace vimbo::platform
