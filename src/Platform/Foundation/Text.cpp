#include "Platform/Foundation/Text.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <charconv>
#include <cstdint>

namespace vimbo::platform::text {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one scalar at `i`, advancing it; ill-formed sequences give U+FFFD.
char32_t nextScalar(std::string_view s, size_t& i) {
  int32_t pos = static_cast<int32_t>(i);
  UChar32 c;
  U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), pos, static_cast<int32_t>(s.size()), c);
  i = static_cast<size_t>(pos);
  return c < 0 ? kReplacement : static_cast<char32_t>(c);
}

icu::UnicodeString toICU(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string fromICU(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

icu::UnicodeString normalize(const icu::UnicodeString& u, const icu::Normalizer2* n) {
  if (!n) return u;
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString out = n->normalize(u, status);
  return U_SUCCESS(status) ? out : u;
}

const icu::Normalizer2* nfcInstance() {
  static const icu::Normalizer2* n = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* p = icu::Normalizer2::getNFCInstance(status);
    return U_SUCCESS(status) ? p : nullptr;
  }();
  return n;
}

const icu::Normalizer2* nfdInstance() {
  static const icu::Normalizer2* n = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* p = icu::Normalizer2::getNFDInstance(status);
    return U_SUCCESS(status) ? p : nullptr;
  }();
  return n;
}

bool isWellFormed(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    int32_t pos = static_cast<int32_t>(i);
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), pos, static_cast<int32_t>(s.size()), c);
    if (c < 0) return false;
    i = static_cast<size_t>(pos);
  }
  return true;
}

bool isMark(char32_t c) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_M_MASK) != 0; }

// Byte search on normalised UTF-8 that refuses a match ending before a combining mark, so "e"
// is not found inside "e" + U+0323.
bool containsAtBoundary(const std::string& haystack, const std::string& needle) {
  if (needle.empty()) return false;
  for (size_t pos = haystack.find(needle); pos != std::string::npos; pos = haystack.find(needle, pos + 1)) {
    size_t end = pos + needle.size();
    if (end == haystack.size()) return true;
    size_t i = end;
    if (!isMark(nextScalar(haystack, i))) return true;
  }
  return false;
}

std::string foldCaseNFC(std::string_view s) {
  icu::UnicodeString u = toICU(s);
  u.foldCase(U_FOLD_CASE_DEFAULT);
  return fromICU(normalize(u, nfcInstance()));
}

}  // namespace

bool isValidUTF8(std::string_view s) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
  const auto length = static_cast<int32_t>(s.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string validUTF8(std::string_view s) {
  if (isValidUTF8(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  for (size_t i = 0; i < s.size();) out += toUTF8(nextScalar(s, i));
  return out;
}

std::string trimmingWhitespaceAndNewlines(std::string_view s) {
  size_t begin = 0;
  while (begin < s.size()) {
    size_t i = begin;
    if (!isWhitespace(nextScalar(s, i))) break;
    begin = i;
  }
  size_t end = s.size();
  while (end > begin) {
    int32_t pos = static_cast<int32_t>(end);
    UChar32 c;
    U8_PREV(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int32_t>(begin), pos, c);
    if (c < 0 || !isWhitespace(static_cast<char32_t>(c))) break;
    end = static_cast<size_t>(pos);
  }
  return std::string(s.substr(begin, end - begin));
}

bool isLetter(char32_t c) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_L_MASK) != 0; }
bool isNumber(char32_t c) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_N_MASK) != 0; }
bool isDecimalDigit(char32_t c) { return u_charType(static_cast<UChar32>(c)) == U_DECIMAL_DIGIT_NUMBER; }
bool isPunctuation(char32_t c) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_P_MASK) != 0; }
bool isSymbol(char32_t c) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_S_MASK) != 0; }
bool isWhitespace(char32_t c) { return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE); }

std::string lowercased(std::string_view s) {
  icu::UnicodeString u = toICU(s);
  u.toLower(icu::Locale::getRoot());
  return fromICU(u);
}

std::string folded(std::string_view s) {
  icu::UnicodeString u = toICU(s);
  // Fold first: folding can itself produce combining marks ("İ" gives "i" + U+0307).
  u.foldCase(U_FOLD_CASE_DEFAULT);
  icu::UnicodeString decomposed = normalize(u, nfdInstance());
  icu::UnicodeString bare;
  for (int32_t i = 0; i < decomposed.length();) {
    UChar32 c = decomposed.char32At(i);
    if (u_charType(c) != U_NON_SPACING_MARK) bare.append(c);
    i += U16_LENGTH(c);
  }
  return fromICU(normalize(bare, nfcInstance()));
}

bool containsFolded(std::string_view haystack, std::string_view needle) {
  return containsAtBoundary(folded(haystack), folded(needle));
}

bool localizedCaseInsensitiveContains(std::string_view haystack, std::string_view needle) {
  return containsAtBoundary(foldCaseNFC(haystack), foldCaseNFC(needle));
}

std::string nfc(std::string_view s) {
  const icu::Normalizer2* n = nfcInstance();
  if (n) {
    UErrorCode status = U_ZERO_ERROR;
    // Already-normal well-formed text (the common case) is returned without a round trip.
    if (isWellFormed(s) && n->isNormalizedUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())), status) && U_SUCCESS(status))
      return std::string(s);
  }
  return fromICU(normalize(toICU(s), n));
}

bool lessByScalars(std::string_view a, std::string_view b) {
  // UTF-8 byte order is scalar order; std::string compares bytes as unsigned.
  return nfc(a) < nfc(b);
}

std::vector<std::string> splitLines(std::string_view s) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < s.size();) {
    size_t at = i;
    char32_t c = nextScalar(s, i);
    if (c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029) {
      lines.emplace_back(s.substr(start, at - start));
      start = i;
    }
  }
  lines.emplace_back(s.substr(start));
  return lines;
}

std::vector<std::string> splitOmittingEmpty(std::string_view s, char32_t separator) {
  return splitOmittingEmpty(s, std::string_view(toUTF8(separator)));
}

std::vector<std::string> splitOmittingEmpty(std::string_view s, std::string_view separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) {
    if (!s.empty()) pieces.emplace_back(s);
    return pieces;
  }
  size_t start = 0;
  while (start <= s.size()) {
    size_t at = s.find(separator, start);
    if (at == std::string_view::npos) at = s.size();
    if (at > start) pieces.emplace_back(s.substr(start, at - start));
    start = at + separator.size();
  }
  return pieces;
}

std::string formatFixed1(double value) {
  char buf[400];  // the longest finite double in fixed notation fits easily
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 1);
  if (ec != std::errc()) return {};
  return std::string(buf, end);
}

std::vector<char32_t> codePoints(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) out.push_back(nextScalar(s, i));
  return out;
}

std::string toUTF8(char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  uint8_t buf[4];
  int32_t len = 0;
  UBool error = false;
  U8_APPEND(buf, len, 4, static_cast<UChar32>(c), error);
  if (error) return "\uFFFD";
  return std::string(reinterpret_cast<const char*>(buf), static_cast<size_t>(len));
}

std::string toUTF8(const std::vector<char32_t>& scalars) {
  std::string out;
  out.reserve(scalars.size());
  for (char32_t c : scalars) out += toUTF8(c);
  return out;
}

}  // namespace vimbo::platform::text
