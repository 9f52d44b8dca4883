#pragma once
// The real keyboard as the simulated Mac's keyboard. Command has no key of its own here, so the
// keys stand in as Qt does on macOS: Ctrl is Command, Alt is Option, Super (Meta) is Control,
// Shift is Shift. The hot keys Control-Command-B and Option-Command-B are therefore Super+Ctrl+B
// and Alt+Ctrl+B.

#include <Qt>
#include <cstdint>
#include <optional>

#include "Platform/Events.h"

namespace vimbo::desktop {

// The Mac virtual key code of a Qt key; none for keys the simulated keyboard lacks. A key of the
// keypad (Qt's keypad modifier) is mapped by its place, whatever Num Lock says: with Num Lock off
// X reports keypad 5 as Clear and keypad 8 as Up, and a Mac keypad has no Num Lock.
std::optional<uint16_t> macKeyCode(int qtKey, bool keypad = false);
// Modifier flags of a pointer event from the held Qt modifiers.
platform::EventFlags eventFlags(Qt::KeyboardModifiers modifiers);

struct MacKey {
  uint16_t code = 0;
  platform::EventFlags flags = 0;
  friend bool operator==(const MacKey&, const MacKey&) = default;
};
// A key as the Mac would send it: its code and flags, the numeric-pad flag for keypad keys and
// the Caps Lock flag while the lock is on.
std::optional<MacKey> macKey(int qtKey, Qt::KeyboardModifiers modifiers, bool capsLock);

}  // namespace vimbo::desktop
