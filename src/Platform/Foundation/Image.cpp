#include "Platform/Foundation/Image.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <numbers>

namespace vimbo::platform {

namespace {

constexpr char kPointSizeKey[] = "PointSize";
constexpr char kTemplateKey[] = "Template";
constexpr char kDescriptionKey[] = "Description";

bool validPointSize(Size s) {
  return std::isfinite(s.width) && std::isfinite(s.height) && s.width >= 0 && s.height >= 0;
}

bool validPixelSize(std::int64_t w, std::int64_t h) {
  return w >= 1 && h >= 1 && w <= Image::kMaxSide && h <= Image::kMaxSide && w * h <= Image::kMaxPixels;
}

// Shortest text that reads back as the same double, independent of the locale.
std::string shortest(double v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

std::optional<Size> parsePointSize(const std::string& s) {
  auto space = s.find(' ');
  if (space == std::string::npos) return std::nullopt;
  Size size;
  const char* begin = s.data();
  auto r1 = std::from_chars(begin, begin + space, size.width);
  auto r2 = std::from_chars(begin + space + 1, begin + s.size(), size.height);
  if (r1.ec != std::errc() || r1.ptr != begin + space || r2.ec != std::errc() || r2.ptr != begin + s.size())
    return std::nullopt;
  if (!validPointSize(size)) return std::nullopt;
  return size;
}

// libpng reports errors by longjmp back to the setjmp of the calling function; we print nothing.
[[noreturn]] void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep bytes, png_size_t n) {
  auto* out = static_cast<Data*>(png_get_io_ptr(png));
  out->insert(out->end(), bytes, bytes + n);
}
void pngFlush(png_structp) {}

struct EncodeState {
  Data out;
  std::vector<png_bytep> rows;
  std::string pointSize;
  std::string description;
  png_text text[3];
  int textCount = 0;
};

// Everything that may longjmp lives here, away from objects with destructors.
void encodeBody(png_structp png, png_infop info, const Image& image, EncodeState& st) {
  png_set_write_fn(png, &st.out, pngWrite, pngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.pixelWidth()), static_cast<png_uint_32>(image.pixelHeight()), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Glyphs are small and mostly flat: unfiltered rows at the default level compress them as well
  // as the filter search at the top level does, at a tenth of the time.
  png_set_compression_level(png, 6);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_text(png, info, st.text, st.textCount);
  png_write_info(png, info);
  png_write_image(png, st.rows.data());
  png_write_end(png, info);
}

struct ReadSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

void pngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<ReadSource*>(png_get_io_ptr(png));
  if (n > src->size - src->pos) png_error(png, "truncated");
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
}

struct DecodeState {
  ReadSource source{};
  std::int64_t maxPixels = Image::kMaxPixels;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  std::vector<std::uint8_t> pixels;
  std::vector<png_bytep> rows;
  std::optional<Size> pointSize;
  bool isTemplate = false;
  std::string description;
};

std::uint32_t readU32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// What the chunk walk learns before libpng sees the data.
struct ChunkSummary {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitsPerPixel = 0;
  std::uint64_t compressedImageBytes = 0;  // the IDAT chunks' data, together
};

// Deflate writes at least two bits per 258 bytes it reproduces, so no stream inflates by more
// than this factor.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

int bitsPerPixel(std::uint8_t colorType, std::uint8_t depth) {
  switch (colorType) {
    case 0: case 3: return depth;  // grey, palette
    case 2: return 3 * depth;      // RGB
    case 4: return 2 * depth;      // grey and alpha
    case 6: return 4 * depth;      // RGBA
    default: return 0;
  }
}

// Walks the chunk structure before libpng sees it: every length must fit the bytes that are
// there and every CRC must match, from IHDR first to IEND last. A lying length would otherwise
// have libpng allocate and clear up to 2 GB before noticing the data is missing.
std::optional<ChunkSummary> summarizeChunks(const std::uint8_t* bytes, std::size_t size) {
  ChunkSummary summary;
  std::size_t pos = 8;
  bool first = true;
  while (size - pos >= 12) {
    const std::uint32_t length = readU32(bytes + pos);
    if (length > size - pos - 12) return std::nullopt;
    const std::uint8_t* type = bytes + pos + 4;
    const std::uint8_t* body = bytes + pos + 8;
    if (first) {
      if (std::memcmp(type, "IHDR", 4) != 0 || length != 13) return std::nullopt;
      summary.width = readU32(body);
      summary.height = readU32(body + 4);
      summary.bitsPerPixel = bitsPerPixel(body[9], body[8]);
    }
    first = false;
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), type, static_cast<uInt>(length + 4));
    if (crc != readU32(body + length)) return std::nullopt;
    if (std::memcmp(type, "IDAT", 4) == 0) summary.compressedImageBytes += length;
    pos += std::size_t(length) + 12;
    if (std::memcmp(type, "IEND", 4) == 0) return summary;
  }
  return std::nullopt;
}

// The declared size must be within the limits, and the compressed data must be long enough to
// inflate to at least the declared pixels; otherwise nothing is allocated for them.
bool declaredSizeIsPlausible(const ChunkSummary& s, std::int64_t maxPixels) {
  if (!validPixelSize(s.width, s.height) || std::int64_t(s.width) * s.height > maxPixels) return false;
  if (s.bitsPerPixel <= 0) return false;
  const std::uint64_t rawBytes = (std::uint64_t(s.width) * s.height * std::uint64_t(s.bitsPerPixel) + 7) / 8;
  return s.compressedImageBytes * kMaxDeflateRatio + kMaxDeflateRatio >= rawBytes;
}

void decodeBody(png_structp png, png_infop info, DecodeState& st) {
  png_set_read_fn(png, &st.source, pngRead);
  png_set_user_limits(png, Image::kMaxSide, Image::kMaxSide);
  png_set_chunk_malloc_max(png, 4u << 20);  // bounds what a compressed text or profile may inflate to
  png_set_chunk_cache_max(png, 256);
  png_read_info(png, info);

  st.width = png_get_image_width(png, info);
  st.height = png_get_image_height(png, info);
  if (!validPixelSize(st.width, st.height) || std::int64_t(st.width) * st.height > st.maxPixels) png_error(png, "size");
  const int colorType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t(st.width) * 4) png_error(png, "layout");

  st.pixels.assign(std::size_t(st.width) * st.height * 4, 0);
  st.rows.resize(st.height);
  for (png_uint_32 y = 0; y < st.height; ++y) st.rows[y] = st.pixels.data() + std::size_t(y) * st.width * 4;
  png_read_image(png, st.rows.data());
  png_read_end(png, info);

  png_textp text = nullptr;
  int count = 0;
  png_get_text(png, info, &text, &count);
  for (int i = 0; i < count; ++i) {
    if (!text[i].key || !text[i].text) continue;
    if (std::strcmp(text[i].key, kPointSizeKey) == 0) {
      st.pointSize = parsePointSize(text[i].text);
    } else if (std::strcmp(text[i].key, kTemplateKey) == 0) {
      st.isTemplate = std::strcmp(text[i].text, "1") == 0;
    } else if (std::strcmp(text[i].key, kDescriptionKey) == 0) {
      st.description = text[i].text;
    }
  }
}

// ---- Symbol drawing: shapes are predicates over an 18 x 18 point canvas, y down. ----

using Shape = std::function<bool(double, double)>;

constexpr double kSymbolPoints = 18;
constexpr int kSymbolScale = 2;
constexpr double kDegrees = std::numbers::pi / 180;

Shape disc(double cx, double cy, double r) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) <= r; };
}
Shape ring(double cx, double cy, double r, double t) {
  return [=](double x, double y) { return std::abs(std::hypot(x - cx, y - cy) - r) <= t / 2; };
}
// A stretch of ring between two angles (degrees, y down, 0 pointing right).
Shape arc(double cx, double cy, double r, double t, double from, double to) {
  return [=](double x, double y) {
    if (std::abs(std::hypot(x - cx, y - cy) - r) > t / 2) return false;
    double a = std::atan2(y - cy, x - cx) / kDegrees;
    return a >= from && a <= to;
  };
}
Shape segment(double x1, double y1, double x2, double y2, double t) {
  return [=](double x, double y) {
    double dx = x2 - x1, dy = y2 - y1;
    double len2 = dx * dx + dy * dy;
    double u = len2 > 0 ? std::clamp(((x - x1) * dx + (y - y1) * dy) / len2, 0.0, 1.0) : 0;
    return std::hypot(x - (x1 + u * dx), y - (y1 + u * dy)) <= t / 2;
  };
}
Shape box(double x0, double y0, double w, double h) {
  return [=](double x, double y) { return x >= x0 && x <= x0 + w && y >= y0 && y <= y0 + h; };
}
Shape frame(double x0, double y0, double w, double h, double t) {
  return [=](double x, double y) {
    bool outer = x >= x0 && x <= x0 + w && y >= y0 && y <= y0 + h;
    bool inner = x > x0 + t && x < x0 + w - t && y > y0 + t && y < y0 + h - t;
    return outer && !inner;
  };
}
Shape polygon(std::vector<Point> pts) {
  return [pts = std::move(pts)](double x, double y) {
    bool inside = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      const Point& a = pts[i];
      const Point& b = pts[j];
      if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
  };
}

std::uint32_t fnv1a(const std::string& s) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : s) h = (h ^ c) * 16777619u;
  return h;
}

std::vector<Shape> symbolShapes(const std::string& name) {
  if (name == "clock")
    return {ring(9, 9, 7.5, 1.5), segment(9, 9, 9, 4.5, 1.5), segment(9, 9, 12, 9, 1.5)};
  if (name == "wifi")
    return {disc(9, 14.5, 1.6), arc(9, 14.5, 5, 1.8, -135, -45), arc(9, 14.5, 8.5, 1.8, -135, -45),
            arc(9, 14.5, 12, 1.8, -125, -55)};
  if (name == "speaker.wave.2.fill")
    return {box(1.5, 7, 3, 4), polygon({{4.5, 7}, {8.5, 3.5}, {8.5, 14.5}, {4.5, 11}}),
            arc(9, 9, 3.5, 1.5, -50, 50), arc(9, 9, 6.5, 1.5, -50, 50)};
  if (name == "battery.100")
    return {frame(1, 5, 14, 8, 1.2), box(2.8, 6.8, 10.4, 4.4), box(15.4, 7.5, 1.6, 3)};
  if (name == "bolt.fill")
    return {polygon({{10.5, 1}, {3.5, 10}, {8.5, 10}, {7, 17}, {14.5, 7.5}, {9.5, 7.5}, {11.5, 1}})};
  if (name == "magnifyingglass") return {ring(7.5, 7.5, 5, 1.6), segment(11, 11, 16, 16, 2.2)};
  if (name == "gearshape")
    return {[](double x, double y) {
      double r = std::hypot(x - 9, y - 9);
      double a = std::atan2(y - 9, x - 9);
      double outer = std::cos(8 * a) > 0 ? 8 : 6.2;
      return r <= outer && r >= 2.6;
    }};
  // Generic: a framed square with dots placed by the name's hash, so names stay distinguishable.
  std::vector<Shape> shapes{frame(2, 2, 14, 14, 1.4)};
  std::uint32_t h = fnv1a(name) | 1;
  for (int i = 0; i < 9; ++i)
    if (h & (1u << i)) shapes.push_back(disc(5.5 + 3.5 * (i % 3), 5.5 + 3.5 * (i / 3), 1.2));
  return shapes;
}

std::uint8_t unitToByte(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

}  // namespace

RGBAColor RGBAColor::fromRGB24(std::uint32_t rgb) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, 1.0};
}

Image::Image(Key, Size pointSize, int w, int h, std::vector<std::uint8_t> rgba, bool isTemplate, std::string description)
    : pointSize_(pointSize), width_(w), height_(h), pixels_(std::move(rgba)), isTemplate_(isTemplate),
      description_(std::move(description)) {}

ImageRef Image::make(Size pointSize, int pixelWidth, int pixelHeight, std::vector<std::uint8_t> rgba, bool isTemplate,
                     std::string accessibilityDescription) {
  if (!validPointSize(pointSize) || !validPixelSize(pixelWidth, pixelHeight)) return nullptr;
  if (rgba.size() != std::size_t(pixelWidth) * std::size_t(pixelHeight) * 4) return nullptr;
  return std::make_shared<const Image>(Key{}, pointSize, pixelWidth, pixelHeight, std::move(rgba), isTemplate,
                                       std::move(accessibilityDescription));
}

ImageRef Image::symbol(const std::string& name, std::string accessibilityDescription) {
  const int side = static_cast<int>(kSymbolPoints) * kSymbolScale;
  const std::vector<Shape> shapes = symbolShapes(name);
  std::vector<std::uint8_t> rgba(std::size_t(side) * side * 4, 0);
  // 4 x 4 samples per pixel give smooth, deterministic edges.
  for (int py = 0; py < side; ++py) {
    for (int px = 0; px < side; ++px) {
      int covered = 0;
      for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
          double x = (px + (i + 0.5) / 4) / kSymbolScale;
          double y = (py + (j + 0.5) / 4) / kSymbolScale;
          for (const auto& s : shapes) {
            if (s(x, y)) {
              ++covered;
              break;
            }
          }
        }
      }
      rgba[(std::size_t(py) * side + px) * 4 + 3] = static_cast<std::uint8_t>((covered * 255 + 8) / 16);
    }
  }
  return make({kSymbolPoints, kSymbolPoints}, side, side, std::move(rgba), true, std::move(accessibilityDescription));
}

Data Image::encodePNG() const {
  EncodeState st;
  st.pointSize = shortest(pointSize_.width) + " " + shortest(pointSize_.height);
  st.description = description_;
  std::memset(st.text, 0, sizeof st.text);
  st.text[0].compression = PNG_TEXT_COMPRESSION_NONE;
  st.text[0].key = const_cast<char*>(kPointSizeKey);
  st.text[0].text = st.pointSize.data();
  st.text[1].compression = PNG_TEXT_COMPRESSION_NONE;
  st.text[1].key = const_cast<char*>(kTemplateKey);
  st.text[1].text = const_cast<char*>(isTemplate_ ? "1" : "0");
  st.textCount = 2;
  if (!st.description.empty()) {
    st.text[2].compression = PNG_ITXT_COMPRESSION_NONE;  // UTF-8
    st.text[2].key = const_cast<char*>(kDescriptionKey);
    st.text[2].text = st.description.data();
    st.text[2].lang = const_cast<char*>("");
    st.text[2].lang_key = const_cast<char*>("");
    st.textCount = 3;
  }
  st.rows.resize(height_);
  for (int y = 0; y < height_; ++y)
    st.rows[y] = const_cast<png_bytep>(pixels_.data() + std::size_t(y) * width_ * 4);

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  encodeBody(png, info, *this, st);
  png_destroy_write_struct(&png, &info);
  return std::move(st.out);
}

std::size_t Image::encodedPNGSizeBound() const {
  // Deflate at its worst (stored blocks, whatever the settings) over the filtered rows, in IDAT
  // chunks of at most 8 KB, plus the signature, the fixed chunks and the texts.
  const std::size_t raw = std::size_t(height_) * (1 + std::size_t(width_) * 4);
  const std::size_t deflated = raw + raw / 8 + raw / 64 + 64;
  return deflated + 12 * (deflated / 8192 + 2) + 1024 + description_.size();
}

bool Image::hasSameContent(const Image& other) const {
  // Point sizes by their bits: the encoded text of two equal doubles differs only for -0 and 0,
  // which then count as a change.
  return width_ == other.width_ && height_ == other.height_ && isTemplate_ == other.isTemplate_ &&
         std::bit_cast<std::uint64_t>(pointSize_.width) == std::bit_cast<std::uint64_t>(other.pointSize_.width) &&
         std::bit_cast<std::uint64_t>(pointSize_.height) == std::bit_cast<std::uint64_t>(other.pointSize_.height) &&
         description_ == other.description_ && pixels_ == other.pixels_;
}

ImageRef Image::decode(const Data& bytes, std::int64_t maxPixels) { return decode(bytes.data(), bytes.size(), maxPixels); }

ImageRef Image::decode(const std::uint8_t* bytes, std::size_t size, std::int64_t maxPixels) {
  if (!bytes || size < 8 || png_sig_cmp(const_cast<png_bytep>(bytes), 0, 8) != 0) return nullptr;
  const auto chunks = summarizeChunks(bytes, size);
  if (!chunks || !declaredSizeIsPlausible(*chunks, std::min(maxPixels, kMaxPixels))) return nullptr;
  DecodeState st;
  st.source = {bytes, size, 0};
  st.maxPixels = std::min(maxPixels, kMaxPixels);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  decodeBody(png, info, st);
  png_destroy_read_struct(&png, &info, nullptr);

  const int w = static_cast<int>(st.width);
  const int h = static_cast<int>(st.height);
  Size points = st.pointSize.value_or(Size{double(w), double(h)});
  return make(points, w, h, std::move(st.pixels), st.isTemplate, std::move(st.description));
}

std::optional<RGBAColor> Image::colorAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return std::nullopt;
  const std::uint8_t* p = pixels_.data() + (std::size_t(y) * width_ + x) * 4;
  return RGBAColor{p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, p[3] / 255.0};
}

std::vector<std::uint8_t> Image::render64Fingerprint() const {
  constexpr int n = kFingerprintSide;
  std::vector<std::uint8_t> out(std::size_t(kFingerprintBytesPerRow) * n, 0);
  for (int dy = 0; dy < n; ++dy) {
    // Nearest neighbour: the source pixel under the centre of each destination pixel.
    const int sy = static_cast<int>((std::int64_t(2 * dy + 1) * height_) / (2 * n));
    for (int dx = 0; dx < n; ++dx) {
      const int sx = static_cast<int>((std::int64_t(2 * dx + 1) * width_) / (2 * n));
      const std::uint8_t* s = pixels_.data() + (std::size_t(sy) * width_ + sx) * 4;
      std::uint8_t* d = out.data() + std::size_t(dy) * kFingerprintBytesPerRow + std::size_t(dx) * 4;
      const unsigned a = s[3];
      for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>((s[c] * a + 127) / 255);
      d[3] = static_cast<std::uint8_t>(a);
    }
  }
  return out;
}

ImageRef Image::tinted(RGBAColor color) const {
  std::vector<std::uint8_t> rgba = pixels_;
  const std::uint8_t r = unitToByte(color.red), g = unitToByte(color.green), b = unitToByte(color.blue);
  const double alpha = std::clamp(color.alpha, 0.0, 1.0);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    rgba[i] = r;
    rgba[i + 1] = g;
    rgba[i + 2] = b;
    rgba[i + 3] = static_cast<std::uint8_t>(std::lround(rgba[i + 3] * alpha));
  }
  return make(pointSize_, width_, height_, std::move(rgba), false, description_);
}

}  // namespace vimbo::platform
