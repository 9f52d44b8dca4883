// Stored pictures: any bytes decode to nothing or to a sound picture, which encodes and decodes
// back to the same picture, and the fingerprint of any picture can be taken. Each input is tried
// as it is and with every chunk's CRC made right, so mutations reach libpng past the CRC check.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "Platform/Foundation/Image.h"

using vimbo::platform::Image;

namespace {

std::uint32_t readU32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::vector<std::uint8_t> withRightCrcs(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out(data, data + size);
  for (std::size_t pos = 8; pos + 12 <= out.size();) {
    const std::uint32_t length = readU32(out.data() + pos);
    if (length > out.size() - pos - 12) break;
    const std::uint32_t crc = std::uint32_t(crc32(0, out.data() + pos + 4, uInt(length + 4)));
    for (int i = 0; i < 4; ++i) out[pos + 8 + length + i] = std::uint8_t(crc >> (24 - 8 * i));
    pos += std::size_t(length) + 12;
  }
  return out;
}

void check(const std::uint8_t* data, std::size_t size) {
  auto image = Image::decode(data, size);
  if (!image) return;
  FUZZ_CHECK(image->pixels().size() == std::size_t(image->pixelWidth()) * std::size_t(image->pixelHeight()) * 4);
  FUZZ_CHECK(image->render64Fingerprint().size() == std::size_t(Image::kFingerprintBytesPerRow) * Image::kFingerprintSide);
  const auto bytes = image->encodePNG();
  FUZZ_CHECK(!bytes.empty());
  auto again = Image::decode(bytes);
  FUZZ_CHECK(again);
  FUZZ_CHECK(again->pixels() == image->pixels());
  FUZZ_CHECK(again->isTemplate() == image->isTemplate());
  FUZZ_CHECK(again->accessibilityDescription() == image->accessibilityDescription());
  FUZZ_CHECK(again->encodePNG() == bytes);  // the glyph caches compare these bytes
  // A lowered limit refuses before decoding, never after.
  FUZZ_CHECK(!Image::decode(data, size, std::int64_t(image->pixelWidth()) * image->pixelHeight() - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check(data, size);
  const auto repaired = withRightCrcs(data, size);
  check(repaired.data(), repaired.size());
  return 0;
}
