// The keyboard as the Mac's: which key code and flags a key of this keyboard reaches the world
// with.
#include "DesktopFixture.h"
#include "Platform/Desktop/Keys.h"

namespace vimbo::desktop::testing {
namespace {

using namespace platform::eventflag;

struct KeyRow {
  const char* name;
  int key;
  Qt::KeyboardModifiers modifiers;
  bool capsLock;
  uint16_t code;
  platform::EventFlags flags;
};

class MacKeys : public DesktopFixture, public ::testing::WithParamInterface<KeyRow> {};

TEST_P(MacKeys, ReachTheWorldWithTheMacsCodeAndFlags) {
  const KeyRow& row = GetParam();
  if (row.capsLock) QTest::keyClick(&view, Qt::Key_CapsLock);
  world.clearRecords();
  // As the platform delivers it (QTest renames some keypad keys).
  QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers);
  QApplication::sendEvent(&view, &press);
  ASSERT_FALSE(world.keysToFocusedApp().empty());
  const platform::Event& e = world.keysToFocusedApp().back();
  EXPECT_EQ(e.keyCode, row.code);
  EXPECT_EQ(e.modifierFlags(), row.flags);
  EXPECT_EQ(macKey(row.key, row.modifiers, row.capsLock), (MacKey{row.code, row.flags}));
  QKeyEvent release(QEvent::KeyRelease, row.key, row.modifiers);
  QApplication::sendEvent(&view, &release);
}

constexpr Qt::KeyboardModifiers none = Qt::NoModifier;
constexpr Qt::KeyboardModifiers keypad = Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Desktop, MacKeys,
    ::testing::Values(
        KeyRow{"MainRow1", Qt::Key_1, none, false, 18, 0}, KeyRow{"MainRow2", Qt::Key_2, none, false, 19, 0},
        KeyRow{"MainRow3", Qt::Key_3, none, false, 20, 0}, KeyRow{"MainRow4", Qt::Key_4, none, false, 21, 0},
        KeyRow{"MainRow5", Qt::Key_5, none, false, 23, 0}, KeyRow{"MainRow6", Qt::Key_6, none, false, 22, 0},
        KeyRow{"MainRow7", Qt::Key_7, none, false, 26, 0}, KeyRow{"MainRow8", Qt::Key_8, none, false, 28, 0},
        KeyRow{"MainRow9", Qt::Key_9, none, false, 25, 0},
        KeyRow{"CommandMainRow5", Qt::Key_5, Qt::ControlModifier, false, 23, command},
        KeyRow{"Keypad0", Qt::Key_0, keypad, false, 82, numericPad},
        KeyRow{"Keypad1", Qt::Key_1, keypad, false, 83, numericPad},
        KeyRow{"Keypad4", Qt::Key_4, keypad, false, 86, numericPad},
        KeyRow{"Keypad7", Qt::Key_7, keypad, false, 89, numericPad},
        KeyRow{"Keypad8", Qt::Key_8, keypad, false, 91, numericPad},
        KeyRow{"Keypad9", Qt::Key_9, keypad, false, 92, numericPad},
        KeyRow{"CommandKeypad5", Qt::Key_5, Qt::ControlModifier | keypad, false, 87, command | numericPad},
        // Num Lock off: X names the keypad keys for their second use; their place decides.
        KeyRow{"Keypad5WithoutNumLock", Qt::Key_Clear, keypad, false, 87, numericPad},
        KeyRow{"Keypad8WithoutNumLock", Qt::Key_Up, keypad, false, 91, numericPad},
        KeyRow{"Keypad1WithoutNumLock", Qt::Key_End, keypad, false, 83, numericPad},
        KeyRow{"Keypad0WithoutNumLock", Qt::Key_Insert, keypad, false, 82, numericPad},
        KeyRow{"KeypadEnter", Qt::Key_Enter, keypad, false, 76, numericPad},
        KeyRow{"Return", Qt::Key_Return, none, false, 36, 0},
        KeyRow{"ReturnWithCapsLock", Qt::Key_Return, none, true, 36, capsLock},
        KeyRow{"LetterWithCapsLockAndShift", Qt::Key_A, Qt::ShiftModifier, true, 0, capsLock | shift}),
    [](const ::testing::TestParamInfo<KeyRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vimbo::desktop::testing
