#include "Platform/Foundation/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <locale>

using namespace vimbo::platform::text;

TEST(TextClasses, TrimmingUsesUnicodeWhiteSpace) {
  EXPECT_EQ(trimmingWhitespaceAndNewlines("\u00A0\u3000 \t\n Wi-Fi\u2028\u0085\r\n"), "Wi-Fi");
  EXPECT_EQ(trimmingWhitespaceAndNewlines("  内 部  空白 "), "内 部  空白");
  EXPECT_EQ(trimmingWhitespaceAndNewlines("\u2003\u202F\u205F"), "");
  // Not White_Space: zero-width space and the BOM stay, as on the real platform.
  EXPECT_EQ(trimmingWhitespaceAndNewlines("\u200Bx\uFEFF"), "\u200Bx\uFEFF");
  // A combining mark after a trailing letter is not cut off, nor a lone trailing mark.
  EXPECT_EQ(trimmingWhitespaceAndNewlines(" e\u0301 "), "e\u0301");
  EXPECT_EQ(trimmingWhitespaceAndNewlines(" \u0301"), "\u0301");
  // Ill-formed bytes are kept, not mistaken for spaces.
  EXPECT_EQ(trimmingWhitespaceAndNewlines(" \xC3 "), "\xC3");
}

TEST(TextClasses, CategoriesOfTrickyCodePoints) {
  EXPECT_TRUE(isLetter(U'é'));
  EXPECT_TRUE(isLetter(U'字'));
  EXPECT_FALSE(isLetter(0x0301));  // combining acute
  EXPECT_FALSE(isLetter(U'Ⅻ'));
  EXPECT_TRUE(isNumber(U'Ⅻ'));
  EXPECT_TRUE(isNumber(U'²'));
  EXPECT_FALSE(isDecimalDigit(U'²'));
  EXPECT_FALSE(isDecimalDigit(U'Ⅻ'));
  EXPECT_TRUE(isDecimalDigit(U'٣'));  // Arabic-Indic three
  EXPECT_FALSE(isNumber(U'三'));      // a Han numeral is a letter
  EXPECT_TRUE(isLetter(U'三'));
  EXPECT_TRUE(isPunctuation(U'-'));
  EXPECT_TRUE(isPunctuation(U'。'));
  EXPECT_TRUE(isPunctuation(U'_'));
  EXPECT_TRUE(isSymbol(U'+'));
  EXPECT_TRUE(isSymbol(U'€'));
  EXPECT_TRUE(isSymbol(U'⌘'));
  EXPECT_FALSE(isSymbol(U'-'));
  EXPECT_TRUE(isWhitespace(0x00A0));
  EXPECT_TRUE(isWhitespace(0x3000));
  EXPECT_TRUE(isWhitespace(0x2029));
  EXPECT_FALSE(isWhitespace(0x200B));
}

TEST(TextFolding, CaseAndDiacriticInsensitive) {
  EXPECT_TRUE(containsFolded("Café Menu", "cafe"));
  EXPECT_TRUE(containsFolded("cafe\u0301", "CAFÉ"));
  EXPECT_EQ(folded("ÉCOLE"), folded("ecole"));
  EXPECT_EQ(folded("ÉCOLE"), "ecole");
  EXPECT_EQ(folded("İstanbul"), "istanbul");
  EXPECT_EQ(folded("Straße"), "strasse");
  EXPECT_EQ(folded("控制中心"), "控制中心");
  EXPECT_EQ(folded("가"), "가");  // Hangul survives decomposition
  EXPECT_FALSE(containsFolded("abc", ""));
  // A match may not stop inside a combining sequence the fold keeps (a spacing mark).
  EXPECT_FALSE(containsFolded("\u0915\u093F", "\u0915"));

  EXPECT_TRUE(localizedCaseInsensitiveContains("Bluetooth Menu", "TOOTH"));
  EXPECT_TRUE(localizedCaseInsensitiveContains("ÉCOLE", "école"));
  EXPECT_FALSE(localizedCaseInsensitiveContains("École", "ecole"));
  EXPECT_FALSE(localizedCaseInsensitiveContains("cafe\u0301", "cafe"));
  EXPECT_FALSE(localizedCaseInsensitiveContains("abc", ""));

  EXPECT_EQ(lowercased("ÀB İ"), "àb i\u0307");
}

TEST(TextOrdering, NfcThenScalars) {
  EXPECT_EQ(nfc("e\u0301"), "é");
  EXPECT_FALSE(lessByScalars("e\u0301", "é"));
  EXPECT_FALSE(lessByScalars("é", "e\u0301"));
  EXPECT_TRUE(lessByScalars("Z", "a"));
  EXPECT_TRUE(lessByScalars("z", "é"));
  EXPECT_TRUE(lessByScalars("\uFFFD", "\U0001F600"));  // scalar order, not UTF-16 order
  EXPECT_TRUE(lessByScalars("ab", "abc"));
  std::vector<std::string> names{"中", "b", "A", "a\u0300", "a"};
  std::sort(names.begin(), names.end(), [](auto& x, auto& y) { return lessByScalars(x, y); });
  EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "b", "a\u0300", "中"}));
  EXPECT_EQ(nfc("\xC3"), "\uFFFD");
}

TEST(TextSplitting, LinesAndPieces) {
  EXPECT_EQ(splitLines("a\nb\x0B" "c\x0C" "d\re\u0085f\u2028g\u2029h"),
            (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h"}));
  EXPECT_EQ(splitLines("\r\nx\n"), (std::vector<std::string>{"", "", "x", ""}));
  EXPECT_EQ(splitLines(""), (std::vector<std::string>{""}));
  EXPECT_EQ(splitLines("a\u2027b"), (std::vector<std::string>{"a\u2027b"}));

  EXPECT_EQ(splitOmittingEmpty("..com.example..app.", U'.'), (std::vector<std::string>{"com", "example", "app"}));
  EXPECT_EQ(splitOmittingEmpty("a|ax=title:b||c", "|"), (std::vector<std::string>{"a", "ax=title:b", "c"}));
  EXPECT_EQ(splitOmittingEmpty("一・二", U'・'), (std::vector<std::string>{"一", "二"}));
  EXPECT_TRUE(splitOmittingEmpty("", ".").empty());
  EXPECT_EQ(splitOmittingEmpty("xabyabz", "ab"), (std::vector<std::string>{"x", "y", "z"}));

  EXPECT_EQ(codePoints("a\u00E9\U0001F600"), (std::vector<char32_t>{U'a', 0xE9, 0x1F600}));
  EXPECT_EQ(codePoints("\xF0\x9F"), (std::vector<char32_t>{0xFFFD}));
  EXPECT_EQ(toUTF8(codePoints("Wi‑Fi 字")), "Wi‑Fi 字");
  EXPECT_EQ(toUTF8(char32_t(0xD800)), "\uFFFD");
}

TEST(TextFormatting, FixedOneDecimalIgnoresLocale) {
  struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  const std::locale saved;
  std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  EXPECT_EQ(formatFixed1(1203), "1203.0");
  EXPECT_EQ(formatFixed1(0.05), "0.1");
  EXPECT_EQ(formatFixed1(0.25), "0.2");  // the binary value is exactly .25: ties go to even, as printf
  EXPECT_EQ(formatFixed1(0.35), "0.3");  // 0.35 is slightly below in binary
  EXPECT_EQ(formatFixed1(-0.04), "-0.0");
  std::locale::global(saved);
  // Same digits as printf in the C locale, including the extremes.
  for (double v : {-1e300, 1.7976931348623157e308, 5e-324, 2.5, 1e15 + 0.05, -0.0}) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    EXPECT_EQ(formatFixed1(v), buf);
  }
}

struct Utf8Case {
  std::string bytes;
  std::string valid;
};

class TextValidity : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(TextValidity, IllFormedSequencesBecomeOneReplacementPerMaximalSubpart) {
  const auto& c = GetParam();
  EXPECT_EQ(validUTF8(c.bytes), c.valid);
  EXPECT_EQ(isValidUTF8(c.bytes), c.bytes == c.valid);
  EXPECT_TRUE(isValidUTF8(validUTF8(c.bytes)));
  EXPECT_EQ(validUTF8(validUTF8(c.bytes)), c.valid);  // replacing twice changes nothing more
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, TextValidity,
    ::testing::Values(Utf8Case{"", ""}, Utf8Case{"Wi\u2011Fi 系统 😀", "Wi\u2011Fi 系统 😀"},
                      Utf8Case{std::string("a\0b", 3), std::string("a\0b", 3)},
                      Utf8Case{"Caf\xe9", "Caf\uFFFD"},                   // a Latin-1 byte
                      Utf8Case{"\xf0\x9f\x98", "\uFFFD"},                 // a sequence cut short
                      Utf8Case{"\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD"},    // an encoded surrogate
                      Utf8Case{"\xc0\xaf", "\uFFFD\uFFFD"},              // an overlong slash
                      Utf8Case{"\xf4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
                      Utf8Case{"x\x80\x80y", "x\uFFFD\uFFFDy"}));
