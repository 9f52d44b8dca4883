#pragma once
// The few text operations the capture service needs, with a fixed (root) locale so results do
// not change from machine to machine.

#include <string>
#include <string_view>
#include <vector>

namespace vimbo::capture_text {

// Trims white space and newlines at both ends.
std::string trimmed(std::string_view s);
// Case- and diacritic-insensitive folding, then only letters and digits kept.
std::string foldedLettersAndDigits(std::string_view s);
// True when every character is a letter, a decimal digit, ".", "-" or "_".
bool onlyLettersDigitsDotDashUnderscore(std::string_view s);
// Lines split at LF, VT, FF, CR, U+0085, U+2028, U+2029 (nothing else trimmed).
std::vector<std::string> splitLines(std::string_view s);
// Lexicographic order by Unicode scalars after NFC.
bool lessByScalars(std::string_view a, std::string_view b);
// "%.1f" independent of the C locale.
std::string formatFixed1(double v);

}  // namespace vimbo::capture_text
