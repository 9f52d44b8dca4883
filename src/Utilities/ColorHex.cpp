#include "Utilities/ColorHex.h"

#include <cstdint>
#include <limits>


namespace vimbo {

namespace {

// TEMP until the platform text module lands: Unicode White_Space, UTF-8 decoded.
std::size_t skipLeadingWhitespaceAndNewlines(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    char32_t cp;
    std::size_t len;
    if (b < 0x80) { cp = b; len = 1; }
    else if ((b & 0xE0) == 0xC0 && i + 1 < s.size()) { cp = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F); len = 2; }
    else if ((b & 0xF0) == 0xE0 && i + 2 < s.size()) { cp = ((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F); len = 3; }
    else break;
    const bool ws = (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
                    (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
                    cp == 0x205F || cp == 0x3000;
    if (!ws) break;
    i += len;
  }
  return i;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Like the platform's hexadecimal scanner: digits after an optional prefix, saturating on
// overflow; nothing scannable gives 0.
std::uint64_t scanHex(std::string_view text) {
  std::size_t i = skipLeadingWhitespaceAndNewlines(text);
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
  std::uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size(); ++i) {
    const int d = hexDigit(text[i]);
    if (d < 0) break;
    if (value > (std::numeric_limits<std::uint64_t>::max() >> 4)) overflow = true;
    value = (value << 4) | static_cast<std::uint64_t>(d);
  }
  return overflow ? std::numeric_limits<std::uint64_t>::max() : value;
}

}  // namespace

Color Color::fromHex(std::string_view hex) {
  const std::uint64_t value = scanHex(hex);
  return Color{
      static_cast<double>((value >> 16) & 0xFF) / 255.0,
      static_cast<double>((value >> 8) & 0xFF) / 255.0,
      static_cast<double>(value & 0xFF) / 255.0,
      1.0,
  };
}

}  // namespace vimbo
