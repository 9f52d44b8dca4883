#pragma once
// Colours of the item rows, given as six hexadecimal digits RRGGBB. The colour is plain sRGB
// components so that the views (Qt) and the system code share one value type.

#include <string_view>

namespace vimbo {

struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double opacity = 1;

  // Scans one hexadecimal integer (leading white space skipped, an optional "0x" prefix) and
  // takes its low 24 bits as red, green and blue; text that holds no number gives opaque black.
  static Color fromHex(std::string_view hex);

  friend bool operator==(const Color&, const Color&) = default;
};

}  // namespace vimbo
