#pragma once
// PNG files built byte by byte, so a test can declare any size and hold any data.

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "Platform/Foundation/Data.h"

namespace vimbo::test_support {

inline void putU32(platform::Data& d, size_t at, std::uint32_t v) {
  d[at] = std::uint8_t(v >> 24);
  d[at + 1] = std::uint8_t(v >> 16);
  d[at + 2] = std::uint8_t(v >> 8);
  d[at + 3] = std::uint8_t(v);
}

inline void appendChunk(platform::Data& png, const char* type, const platform::Data& body) {
  size_t at = png.size();
  png.resize(at + 12 + body.size());
  putU32(png, at, std::uint32_t(body.size()));
  std::memcpy(png.data() + at + 4, type, 4);
  if (!body.empty()) std::memcpy(png.data() + at + 8, body.data(), body.size());
  putU32(png, at + 8 + body.size(), std::uint32_t(crc32(0, png.data() + at + 4, uInt(body.size() + 4))));
}

inline platform::Data pngStart(std::uint32_t w, std::uint32_t h, std::uint8_t colorType, std::uint8_t depth) {
  platform::Data png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  platform::Data ihdr(13, 0);
  putU32(ihdr, 0, w);
  putU32(ihdr, 4, h);
  ihdr[8] = depth;
  ihdr[9] = colorType;
  appendChunk(png, "IHDR", ihdr);
  return png;
}

// Signature, IHDR, one IDAT holding `raw` (filter bytes included) compressed, IEND.
inline platform::Data handMadePNG(std::uint32_t w, std::uint32_t h, std::uint8_t colorType, std::uint8_t depth,
                                  const std::string& raw) {
  platform::Data png = pngStart(w, h, colorType, depth);
  uLongf packed = compressBound(uLong(raw.size()));
  platform::Data idat(packed);
  compress2(idat.data(), &packed, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9);
  idat.resize(packed);
  appendChunk(png, "IDAT", idat);
  appendChunk(png, "IEND", {});
  return png;
}

// A w x h RGBA picture of one colour, compressed row by row (a 4096 x 4096 one takes about 64 KB
// and never needs its pixels in memory).
inline platform::Data oneColourPNG(std::uint32_t w, std::uint32_t h, std::uint32_t rgba) {
  platform::Data png = pngStart(w, h, 6, 8);
  std::string row(1 + size_t(w) * 4, '\0');
  for (size_t x = 0; x < w; ++x)
    for (int c = 0; c < 4; ++c) row[1 + x * 4 + size_t(c)] = char((rgba >> (24 - 8 * c)) & 0xFF);
  z_stream z{};
  deflateInit(&z, 9);
  platform::Data idat;
  unsigned char out[1 << 16];
  for (std::uint32_t y = 0; y < h; ++y) {
    z.next_in = reinterpret_cast<Bytef*>(row.data());
    z.avail_in = uInt(row.size());
    const int flush = y + 1 == h ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = out;
      z.avail_out = sizeof out;
      deflate(&z, flush);
      idat.insert(idat.end(), out, out + (sizeof out - z.avail_out));
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  appendChunk(png, "IDAT", idat);
  appendChunk(png, "IEND", {});
  return png;
}

}  // namespace vimbo::test_support
