#include "Platform/Desktop/Keys.h"

#include <map>

namespace vimbo::desktop {

namespace {

std::optional<uint16_t> keypadCode(int qtKey) {
  static const std::map<int, uint16_t> codes = {
      {Qt::Key_0, 82},        {Qt::Key_Insert, 82},   {Qt::Key_1, 83},    {Qt::Key_End, 83},
      {Qt::Key_2, 84},        {Qt::Key_Down, 84},     {Qt::Key_3, 85},    {Qt::Key_PageDown, 85},
      {Qt::Key_4, 86},        {Qt::Key_Left, 86},     {Qt::Key_5, 87},    {Qt::Key_Clear, 87},
      {Qt::Key_6, 88},        {Qt::Key_Right, 88},    {Qt::Key_7, 89},    {Qt::Key_Home, 89},
      {Qt::Key_8, 91},        {Qt::Key_Up, 91},       {Qt::Key_9, 92},    {Qt::Key_PageUp, 92},
      {Qt::Key_Period, 65},   {Qt::Key_Delete, 65},   {Qt::Key_Comma, 65}, {Qt::Key_Asterisk, 67},
      {Qt::Key_Plus, 69},     {Qt::Key_Minus, 78},    {Qt::Key_Slash, 75}, {Qt::Key_Equal, 81},
      {Qt::Key_Enter, 76},    {Qt::Key_NumLock, 71},
  };
  auto it = codes.find(qtKey);
  if (it == codes.end()) return std::nullopt;
  return it->second;
}

bool isKeypadCode(uint16_t code) { return code == 65 || code == 67 || code == 69 || code == 71 || (code >= 75 && code <= 92 && code != 77 && code != 79 && code != 80 && code != 90); }

}  // namespace

std::optional<uint16_t> macKeyCode(int qtKey, bool keypad) {
  if (keypad || qtKey == Qt::Key_Enter)
    if (auto code = keypadCode(qtKey)) return code;
  static const std::map<int, uint16_t> codes = {
      {Qt::Key_A, 0},         {Qt::Key_S, 1},          {Qt::Key_D, 2},          {Qt::Key_F, 3},
      {Qt::Key_H, 4},         {Qt::Key_G, 5},          {Qt::Key_Z, 6},          {Qt::Key_X, 7},
      {Qt::Key_C, 8},         {Qt::Key_V, 9},          {Qt::Key_B, 11},         {Qt::Key_Q, 12},
      {Qt::Key_W, 13},        {Qt::Key_E, 14},         {Qt::Key_R, 15},         {Qt::Key_Y, 16},
      {Qt::Key_T, 17},        {Qt::Key_1, 18},         {Qt::Key_2, 19},         {Qt::Key_3, 20},
      {Qt::Key_4, 21},        {Qt::Key_6, 22},         {Qt::Key_5, 23},         {Qt::Key_Equal, 24},
      {Qt::Key_9, 25},        {Qt::Key_7, 26},         {Qt::Key_Minus, 27},     {Qt::Key_8, 28},
      {Qt::Key_0, 29},        {Qt::Key_BracketRight, 30}, {Qt::Key_O, 31},      {Qt::Key_U, 32},
      {Qt::Key_BracketLeft, 33}, {Qt::Key_I, 34},      {Qt::Key_P, 35},         {Qt::Key_Return, 36},
      {Qt::Key_L, 37},        {Qt::Key_J, 38},         {Qt::Key_Apostrophe, 39}, {Qt::Key_K, 40},
      {Qt::Key_Semicolon, 41}, {Qt::Key_Backslash, 42}, {Qt::Key_Comma, 43},    {Qt::Key_Slash, 44},
      {Qt::Key_N, 45},        {Qt::Key_M, 46},         {Qt::Key_Period, 47},    {Qt::Key_Tab, 48},
      {Qt::Key_Space, 49},    {Qt::Key_QuoteLeft, 50}, {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53},
      {Qt::Key_Control, 55},  {Qt::Key_Shift, 56},     {Qt::Key_CapsLock, 57},  {Qt::Key_Alt, 58},
      {Qt::Key_Meta, 59},     {Qt::Key_Super_L, 59},   {Qt::Key_Super_R, 62},   {Qt::Key_Enter, 76},
      {Qt::Key_F5, 96},       {Qt::Key_F6, 97},        {Qt::Key_F7, 98},        {Qt::Key_F3, 99},
      {Qt::Key_F8, 100},      {Qt::Key_F9, 101},       {Qt::Key_F11, 103},      {Qt::Key_F10, 109},
      {Qt::Key_F12, 111},     {Qt::Key_Home, 115},     {Qt::Key_PageUp, 116},   {Qt::Key_Delete, 117},
      {Qt::Key_F4, 118},      {Qt::Key_End, 119},      {Qt::Key_F2, 120},       {Qt::Key_PageDown, 121},
      {Qt::Key_F1, 122},      {Qt::Key_Left, 123},     {Qt::Key_Right, 124},    {Qt::Key_Down, 125},
      {Qt::Key_Up, 126},
  };
  auto it = codes.find(qtKey);
  if (it == codes.end()) return std::nullopt;
  return it->second;
}

std::optional<MacKey> macKey(int qtKey, Qt::KeyboardModifiers modifiers, bool capsLock) {
  auto code = macKeyCode(qtKey, modifiers.testFlag(Qt::KeypadModifier));
  if (!code) return std::nullopt;
  MacKey key{*code, eventFlags(modifiers)};
  if (isKeypadCode(*code)) key.flags |= platform::eventflag::numericPad;
  if (capsLock) key.flags |= platform::eventflag::capsLock;
  return key;
}

platform::EventFlags eventFlags(Qt::KeyboardModifiers modifiers) {
  platform::EventFlags f = 0;
  if (modifiers & Qt::ControlModifier) f |= platform::eventflag::command;
  if (modifiers & Qt::AltModifier) f |= platform::eventflag::option;
  if (modifiers & Qt::MetaModifier) f |= platform::eventflag::control;
  if (modifiers & Qt::ShiftModifier) f |= platform::eventflag::shift;
  return f;
}

}  // namespace vimbo::desktop
