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

// The Mac virtual key code of a Qt key; none for keys the simulated keyboard lacks.
std::optional<uint16_t> macKeyCode(int qtKey);
// Modifier flags of an event from the held Qt modifiers.
platform::EventFlags eventFlags(Qt::KeyboardModifiers modifiers);

}  // namespace vimbo::desktop
