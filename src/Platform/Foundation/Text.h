#pragma once
// Text services over ICU, on UTF-8 std::string throughout.
//
// Locale: every locale-sensitive operation (lower-casing, folding, "localized" contains) uses
// ICU's root locale. This is deliberate: the user's locale differs between machines, and stored
// identities and matching must not. Ill-formed UTF-8 is read as U+FFFD.

#include <string>
#include <string_view>
#include <vector>

namespace vimbo::platform::text {

// Whether the bytes are well-formed UTF-8 (no surrogates, overlong forms or values past U+10FFFF).
bool isValidUTF8(std::string_view s);
// The text with every ill-formed sequence replaced by U+FFFD (one per maximal subpart, as ICU
// and the platform's decoders do); well-formed text comes back byte for byte.
std::string validUTF8(std::string_view s);

// Removes Unicode White_Space (which includes every newline character) from both ends.
std::string trimmingWhitespaceAndNewlines(std::string_view s);

// Code-point classes by general category: letter (L*), number (N*: "²" and "Ⅻ" count),
// decimal digit (Nd), punctuation (P*), symbol (S*). Whitespace is the White_Space property.
bool isLetter(char32_t c);
bool isNumber(char32_t c);
bool isDecimalDigit(char32_t c);
bool isPunctuation(char32_t c);
bool isSymbol(char32_t c);
bool isWhitespace(char32_t c);

// Full lower-case mapping ("İ" becomes two code points, as on the real platform).
std::string lowercased(std::string_view s);
// Case- and diacritic-insensitive form: case fold, decompose, drop non-spacing marks, recompose.
std::string folded(std::string_view s);
// Whether the folded haystack contains the folded needle. An empty needle is never contained,
// matching the platform's range search. A match must not end inside a combining sequence.
bool containsFolded(std::string_view haystack, std::string_view needle);
// Case-insensitive (not diacritic-insensitive) containment with the same rules.
bool localizedCaseInsensitiveContains(std::string_view haystack, std::string_view needle);

// Canonical composition (NFC).
std::string nfc(std::string_view s);
// Ordering by Unicode scalars after NFC; canonically equivalent strings are equal under it.
bool lessByScalars(std::string_view a, std::string_view b);

// Splits at LF, VT, FF, CR, U+0085, U+2028 and U+2029, each on its own (CR LF gives an empty
// piece between). Empty pieces are kept.
std::vector<std::string> splitLines(std::string_view s);
// Splits at every occurrence of the separator and drops empty pieces.
std::vector<std::string> splitOmittingEmpty(std::string_view s, char32_t separator);
std::vector<std::string> splitOmittingEmpty(std::string_view s, std::string_view separator);

// "%.1f" with a '.' decimal point whatever the process locale.
std::string formatFixed1(double value);

std::vector<char32_t> codePoints(std::string_view s);
std::string toUTF8(char32_t c);
std::string toUTF8(const std::vector<char32_t>& scalars);

}  // namespace vimbo::platform::text
