#include "Utilities/ColorHex.h"

#include <cstdint>
#include <limits>
#include <vector>

#include "Platform/Foundation/Text.h"

namespace vimbo {

namespace {

int hexDigit(char32_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Like the platform's hexadecimal scanner: digits after an optional prefix, saturating on
// overflow; nothing scannable gives 0.
std::uint64_t scanHex(std::string_view hex) {
  const std::vector<char32_t> text = platform::text::codePoints(hex);
  std::size_t i = 0;
  while (i < text.size() && platform::text::isWhitespace(text[i])) ++i;
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
