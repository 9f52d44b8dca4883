#include "Platform/Foundation/Image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Support/HandMadePNG.h"
#include "Support/LargestAllocation.h"

using namespace vimbo::platform;
using vimbo::Size;
using vimbo::test_support::handMadePNG;

namespace {

// A w x h picture whose pixel (x, y) has red x, green y, blue 7 and alpha 200.
ImageRef gradient(int w, int h, Size points, bool isTemplate = false, std::string description = {}) {
  std::vector<std::uint8_t> rgba;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rgba.insert(rgba.end(), {std::uint8_t(x), std::uint8_t(y), 7, 200});
  return Image::make(points, w, h, std::move(rgba), isTemplate, std::move(description));
}

void putU32(Data& d, size_t at, std::uint32_t v) {
  d[at] = std::uint8_t(v >> 24);
  d[at + 1] = std::uint8_t(v >> 16);
  d[at + 2] = std::uint8_t(v >> 8);
  d[at + 3] = std::uint8_t(v);
}

// Rewrites the IHDR size of an encoded picture and fixes the chunk's CRC, so only the limits stop it.
Data withHeaderSize(Data png, std::uint32_t w, std::uint32_t h) {
  putU32(png, 16, w);
  putU32(png, 20, h);
  putU32(png, 29, std::uint32_t(crc32(0, png.data() + 12, 17)));
  return png;
}

// Recomputes every chunk CRC, so a corruption reaches libpng's own checks instead of ours.
Data withFixedCrcs(Data png) {
  size_t pos = 8;
  while (pos + 12 <= png.size()) {
    std::uint32_t len = (std::uint32_t(png[pos]) << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
    if (len > png.size() - pos - 12) break;
    putU32(png, pos + 8 + len, std::uint32_t(crc32(0, png.data() + pos + 4, len + 4)));
    pos += len + 12;
  }
  return png;
}

}  // namespace

TEST(ImageCoding, AShortFileDeclaringAHugePictureIsRefusedBeforeItsPixelsAreAllocated) {
  // One row's worth of data under a header that claims 4096 x 4096 RGBA (64 MB of pixels).
  const Data png = handMadePNG(4096, 4096, 6, 8, std::string(1 + 4 * 4096, '\0'));
  EXPECT_LT(png.size(), 100u);
  vimbo::test_support::LargestAllocation probe;
  EXPECT_FALSE(Image::decode(png));
  EXPECT_LT(probe.bytes(), 1u << 20);

  // Data that can fill what its header declares still decodes, also when it compresses very well.
  const std::string rows = [] {
    std::string r;
    for (int y = 0; y < 256; ++y) r += std::string(1, '\0') + std::string(256 * 4, '\x7f');
    return r;
  }();
  auto flat = Image::decode(handMadePNG(256, 256, 6, 8, rows));
  ASSERT_TRUE(flat);
  EXPECT_EQ(flat->colorAt(255, 255)->alpha, 127 / 255.0);
}

TEST(ImageCoding, ACallerMayLowerThePixelLimit) {
  const Data png = gradient(64, 32, {32, 16})->encodePNG();
  EXPECT_TRUE(Image::decode(png, 64 * 32));
  EXPECT_FALSE(Image::decode(png, 64 * 32 - 1));
  EXPECT_TRUE(Image::decode(png, std::numeric_limits<std::int64_t>::max()));  // never above the built-in limit
  EXPECT_FALSE(Image::decode(withHeaderSize(png, 4097, 4097), std::numeric_limits<std::int64_t>::max()));
}

TEST(ImageBasics, MakeValidatesAndKeepsPointSizeApart) {
  auto img = gradient(30, 44, {15.3, 22.0});
  ASSERT_TRUE(img);
  EXPECT_EQ(img->pointSize().width, 15.3);
  EXPECT_EQ(img->pixelWidth(), 30);
  EXPECT_DOUBLE_EQ(img->scale(), 30 / 15.3);
  EXPECT_FALSE(Image::make({1, 1}, 2, 2, std::vector<std::uint8_t>(15)));
  EXPECT_FALSE(Image::make({1, 1}, 0, 0, {}));
  EXPECT_FALSE(Image::make({-1, 1}, 1, 1, std::vector<std::uint8_t>(4)));
  EXPECT_FALSE(Image::make({std::nan(""), 1}, 1, 1, std::vector<std::uint8_t>(4)));
  EXPECT_FALSE(Image::make({1, 1}, Image::kMaxSide + 1, 1, std::vector<std::uint8_t>((Image::kMaxSide + 1) * 4)));
}

TEST(ImageBasics, ColorAtIsTopLeftAndUnpremultiplied) {
  auto img = Image::make({2, 2}, 2, 2, {255, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0, 0, 0, 51, 255, 255});
  ASSERT_TRUE(img);
  auto tl = img->colorAt(0, 0);
  ASSERT_TRUE(tl);
  EXPECT_EQ(tl->red, 1.0);
  EXPECT_NEAR(tl->alpha, 128 / 255.0, 1e-12);
  EXPECT_EQ(*img->colorAt(1, 1), (RGBAColor{0, 0.2, 1, 1}));
  EXPECT_FALSE(img->colorAt(2, 0));
  EXPECT_FALSE(img->colorAt(0, -1));
  EXPECT_EQ(RGBAColor::fromRGB24(0x1FF0000), (RGBAColor{1, 0, 0, 1}));
}

TEST(ImageCoding, EncodingIsDeterministicAndRoundTripsMetadata) {
  auto a = gradient(37, 19, {18.5, 9.55}, true, "时钟 — clock");
  auto b = gradient(37, 19, {18.5, 9.55}, true, "时钟 — clock");
  Data bytes = a->encodePNG();
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes, a->encodePNG());
  EXPECT_EQ(bytes, b->encodePNG());
  EXPECT_NE(bytes, gradient(37, 19, {18.5, 9.5}, true, "时钟 — clock")->encodePNG());

  auto back = Image::decode(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->pointSize(), (Size{18.5, 9.55}));
  EXPECT_EQ(back->pixelWidth(), 37);
  EXPECT_EQ(back->pixelHeight(), 19);
  EXPECT_TRUE(back->isTemplate());
  EXPECT_EQ(back->accessibilityDescription(), "时钟 — clock");
  EXPECT_EQ(back->pixels(), a->pixels());
  EXPECT_EQ(back->encodePNG(), bytes);

  auto plain = Image::decode(gradient(3, 2, {3, 2})->encodePNG());
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->isTemplate());
  EXPECT_EQ(plain->accessibilityDescription(), "");
  // Fully transparent pixels keep their colour: the buffer is not premultiplied.
  auto clear = Image::make({1, 1}, 1, 1, {10, 20, 30, 0});
  EXPECT_EQ(Image::decode(clear->encodePNG())->pixels(), clear->pixels());
}

TEST(ImageCoding, CorruptTruncatedAndHostileBytesGiveNull) {
  EXPECT_FALSE(Image::decode(Data{}));
  EXPECT_FALSE(Image::decode(nullptr, 10));
  EXPECT_FALSE(Image::decode(Data{'M', 'M', 0, 42, 0, 0, 0, 8}));  // a TIFF header
  const Data good = gradient(20, 12, {10, 6})->encodePNG();
  ASSERT_TRUE(Image::decode(good));

  for (size_t n = 0; n < good.size(); ++n) {
    Data prefix(good.begin(), good.begin() + long(n));
    EXPECT_FALSE(Image::decode(prefix)) << "prefix " << n;
  }
  // Every single corrupted byte, with or without a matching CRC, either fails cleanly or still
  // yields a well-formed picture.
  int survived = 0;
  for (size_t i = 0; i < good.size(); ++i) {
    for (std::uint8_t mask : {0x5A, 0x01, 0x80}) {
      Data bad = good;
      bad[i] ^= mask;
      EXPECT_FALSE(Image::decode(bad)) << "byte " << i;
      if (auto img = Image::decode(withFixedCrcs(bad))) {
        ++survived;
        EXPECT_EQ(img->pixels().size(), size_t(img->pixelWidth()) * size_t(img->pixelHeight()) * 4);
      }
    }
  }
  EXPECT_GT(survived, 0);  // some corruptions (e.g. in the text) reach libpng and decode
  EXPECT_FALSE(Image::decode(withHeaderSize(good, 100000, 100000)));
  EXPECT_FALSE(Image::decode(withHeaderSize(good, 4097, 4097)));
  EXPECT_FALSE(Image::decode(withHeaderSize(good, 0, 12)));
  EXPECT_FALSE(Image::decode(withHeaderSize(good, 40, 24)));  // claims more pixels than the data holds
}

TEST(ImageFingerprint, NearestNeighbourCopyPremultiplied) {
  // 2 x 1: left opaque red, right half-transparent white.
  auto img = Image::make({30, 24}, 2, 1, {255, 0, 0, 255, 255, 255, 255, 128});
  auto fp = img->render64Fingerprint();
  ASSERT_EQ(fp.size(), 64u * 256u);
  auto px = [&](int x, int y) { return std::vector<std::uint8_t>(fp.begin() + y * 256 + x * 4, fp.begin() + y * 256 + x * 4 + 4); };
  EXPECT_EQ(px(0, 0), (std::vector<std::uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(px(31, 63), (std::vector<std::uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(px(32, 0), (std::vector<std::uint8_t>{128, 128, 128, 128}));

  // Only what is drawn counts: point size and hidden colour of clear pixels do not.
  auto a = Image::make({10, 10}, 1, 1, {1, 2, 3, 0});
  auto b = Image::make({99, 3}, 1, 1, {9, 8, 7, 0});
  EXPECT_EQ(a->render64Fingerprint(), b->render64Fingerprint());
  EXPECT_NE(gradient(40, 40, {20, 20})->render64Fingerprint(), gradient(40, 41, {20, 20})->render64Fingerprint());
  // A 128-pixel picture samples every second column, starting at the first pixel centre.
  std::vector<std::uint8_t> row;
  for (int x = 0; x < 128; ++x) row.insert(row.end(), {std::uint8_t(x), 0, 0, 255});
  auto wide = Image::make({64, 1}, 128, 1, row);
  EXPECT_EQ(wide->render64Fingerprint()[4 * 5], 11);
  EXPECT_EQ(wide->render64Fingerprint()[63 * 256 + 4 * 63], 127);
}

TEST(ImageSymbols, GeneratedTemplatesAreStableAndDistinct) {
  const char* names[] = {"clock", "wifi", "speaker.wave.2.fill", "battery.100", "bolt.fill", "magnifyingglass",
                         "gearshape", "moon.fill", "lock.fill"};
  std::vector<std::vector<std::uint8_t>> seen;
  for (const char* name : names) {
    auto s = Image::symbol(name, name);
    ASSERT_TRUE(s) << name;
    EXPECT_TRUE(s->isTemplate());
    EXPECT_EQ(s->accessibilityDescription(), name);
    EXPECT_EQ(s->pixels(), Image::symbol(name)->pixels()) << name;
    int opaque = 0, clear = 0;
    for (size_t i = 3; i < s->pixels().size(); i += 4) {
      opaque += s->pixels()[i] == 255;
      clear += s->pixels()[i] == 0;
    }
    EXPECT_GT(opaque, 20) << name;
    EXPECT_GT(clear, 200) << name;
    for (const auto& other : seen) EXPECT_NE(s->pixels(), other) << name;
    seen.push_back(s->pixels());
  }
  auto red = Image::symbol("clock")->tinted(RGBAColor::fromRGB24(0xFF0000));
  EXPECT_FALSE(red->isTemplate());
  EXPECT_EQ(red->colorAt(18, 3)->red, 1.0);
}
