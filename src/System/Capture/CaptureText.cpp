#include "System/Capture/CaptureText.h"

#include "Platform/Foundation/Text.h"

namespace vimbo::capture_text {

namespace text = platform::text;

std::string trimmed(std::string_view s) { return text::trimmingWhitespaceAndNewlines(s); }

std::string foldedLettersAndDigits(std::string_view s) {
  std::vector<char32_t> kept;
  for (char32_t c : text::codePoints(text::folded(s))) {
    if (text::isLetter(c) || text::isDecimalDigit(c)) kept.push_back(c);
  }
  return text::toUTF8(kept);
}

bool onlyLettersDigitsDotDashUnderscore(std::string_view s) {
  for (char32_t c : text::codePoints(s)) {
    if (c == U'.' || c == U'-' || c == U'_' || text::isLetter(c) || text::isDecimalDigit(c)) continue;
    return false;
  }
  return true;
}

std::vector<std::string> splitLines(std::string_view s) { return text::splitLines(s); }

bool lessByScalars(std::string_view a, std::string_view b) { return text::lessByScalars(a, b); }

std::string formatFixed1(double v) { return text::formatFixed1(v); }

}  // namespace vimbo::capture_text
