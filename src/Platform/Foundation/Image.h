#pragma once
// An immutable picture: RGBA8 pixels (not premultiplied, rows top to bottom) with a size in
// points kept apart from the pixel size, a template flag and an accessibility description.
// Shared as ImageRef; nothing mutates an Image after it is made.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Data.h"

namespace vimbo::platform {

// A device-RGB colour with components in 0...1.
struct RGBAColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;
  // 0xRRGGBB as opaque sRGB; bits above the low 24 are ignored.
  static RGBAColor fromRGB24(std::uint32_t rgb);
  friend bool operator==(const RGBAColor&, const RGBAColor&) = default;
};

class Image;
using ImageRef = std::shared_ptr<const Image>;

class Image {
 public:
  // Largest side and pixel count accepted from callers and from stored bytes: a bound on memory
  // that a hostile file could otherwise make us allocate.
  static constexpr int kMaxSide = 16384;
  static constexpr std::int64_t kMaxPixels = 4096 * 4096;
  static constexpr int kFingerprintSide = 64;
  static constexpr int kFingerprintBytesPerRow = kFingerprintSide * 4;

  // Null when the pixel count does not match, a side is outside 1...kMaxSide, the area exceeds
  // kMaxPixels, or the point size is negative or not finite.
  static ImageRef make(Size pointSize, int pixelWidth, int pixelHeight, std::vector<std::uint8_t> rgba,
                       bool isTemplate = false, std::string accessibilityDescription = {});

  // Small generated template glyphs (black with coverage alpha), the same pixels every time.
  // Names without a drawing of their own get a generic framed glyph marked by the name's hash.
  static ImageRef symbol(const std::string& name, std::string accessibilityDescription = {});

  // PNG bytes; the same picture always gives the same bytes. Point size, template flag and
  // description travel in text chunks. Empty only if the encoder fails.
  Data encodePNG() const;
  // No encodePNG() of this picture is longer than this: it bounds stored sizes without encoding.
  std::size_t encodedPNGSizeBound() const;
  // Whether the two pictures encode to the same bytes: the same pixels, point size, template flag
  // and description. Costs a comparison of the pixels, not an encoding.
  bool hasSameContent(const Image& other) const;
  // Null for anything that is not a sound PNG within the size limits; never crashes. Every chunk's
  // CRC is checked up front, so a damaged ancillary chunk rejects the picture too. A caller may
  // lower the pixel limit. Both the limit and whether the compressed data could fill the declared
  // size at all are checked from the header, before any pixel memory is taken.
  static ImageRef decode(const Data& bytes, std::int64_t maxPixels = kMaxPixels);
  static ImageRef decode(const std::uint8_t* bytes, std::size_t size, std::int64_t maxPixels = kMaxPixels);

  Size pointSize() const { return pointSize_; }
  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  // Pixels per point horizontally (1 when the point width is 0).
  double scale() const { return pointSize_.width > 0 ? width_ / pointSize_.width : 1.0; }
  bool isTemplate() const { return isTemplate_; }
  const std::string& accessibilityDescription() const { return description_; }
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }

  // Top-left origin, pixel coordinates; none outside the picture.
  std::optional<RGBAColor> colorAt(int x, int y) const;

  // The picture drawn over a 64 x 64 RGBA8 bitmap: whole picture to whole bitmap, nearest
  // neighbour, copy compositing (transparent pixels replace), premultiplied like the platform's
  // default bitmap format, 256 bytes per row, 16384 bytes.
  std::vector<std::uint8_t> render64Fingerprint() const;

  // A copy with every pixel's colour replaced (alpha kept), no longer a template.
  ImageRef tinted(RGBAColor color) const;

  struct Key {  // only this class constructs
   private:
    friend class Image;
    Key() = default;
  };
  Image(Key, Size pointSize, int w, int h, std::vector<std::uint8_t> rgba, bool isTemplate, std::string description);

 private:
  Size pointSize_;
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
  bool isTemplate_;
  std::string description_;
};

}  // namespace vimbo::platform
