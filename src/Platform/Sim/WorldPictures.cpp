// Window contents: status-item pictures drawn from their description (a symbol of the installed
// icon theme, else a plain glyph), menus as plain panels.
#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "Platform/Foundation/Image.h"
#include "Platform/Sim/World.h"

namespace vimbo::sim {

namespace {

// A theme symbol as coverage (0...255), square.
struct Coverage {
  int side = 0;
  std::vector<uint8_t> alpha;
};

constexpr const char* kThemeFolder = "/usr/share/icons/Adwaita";

// The symbolic picture of the theme at the smallest size that is at least `pixels` wide; none when
// the theme lacks the symbol. Decoded once per size (pictures are drawn on every capture).
std::shared_ptr<const Coverage> themeSymbol(const std::string& name, int pixels) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, int>, std::shared_ptr<const Coverage>> cache;
  static constexpr std::array<int, 6> sides{16, 24, 32, 48, 64, 96};
  int side = sides.back();
  for (int s : sides)
    if (s >= pixels) {
      side = s;
      break;
    }
  std::lock_guard lock(mutex);
  auto key = std::make_pair(name, side);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  std::shared_ptr<const Coverage> found;
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::path(kThemeFolder) / (std::to_string(side) + "x" + std::to_string(side));
  for (const auto& context : std::filesystem::directory_iterator(folder, ec)) {
    std::ifstream in(context.path() / (name + "-symbolic.symbolic.png"), std::ios::binary);
    if (!in) continue;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    platform::ImageRef image = platform::Image::decode(bytes.data(), bytes.size());
    if (!image || image->pixelWidth() != image->pixelHeight()) continue;
    auto c = std::make_shared<Coverage>();
    c->side = image->pixelWidth();
    for (size_t i = 3; i < image->pixels().size(); i += 4) c->alpha.push_back(image->pixels()[i]);
    found = std::move(c);
    break;
  }
  cache[key] = found;
  return found;
}

// Bilinear coverage at (u, v) in the symbol's pixels.
double sample(const Coverage& c, double u, double v) {
  u -= 0.5, v -= 0.5;
  int x0 = int(std::floor(u)), y0 = int(std::floor(v));
  double fx = u - x0, fy = v - y0;
  auto at = [&](int x, int y) -> double {
    if (x < 0 || y < 0 || x >= c.side || y >= c.side) return 0;
    return c.alpha[size_t(y) * size_t(c.side) + size_t(x)];
  };
  return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) + (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
}

enum class GlyphShape { dot, ring, square, bar, triangle, blank };

// Named once per picture, not once per pixel.
GlyphShape glyphShape(const std::string& glyph) {
  if (glyph == "dot") return GlyphShape::dot;
  if (glyph == "ring") return GlyphShape::ring;
  if (glyph == "square") return GlyphShape::square;
  if (glyph == "bar") return GlyphShape::bar;
  if (glyph == "triangle") return GlyphShape::triangle;
  return GlyphShape::blank;
}

bool insideGlyph(GlyphShape glyph, double dx, double dy, double r) {
  switch (glyph) {
    case GlyphShape::dot:
      return dx * dx + dy * dy <= r * r;
    case GlyphShape::ring: {
      double d = std::sqrt(dx * dx + dy * dy);
      return d <= r && d >= r * 0.6;
    }
    case GlyphShape::square:
      return std::abs(dx) <= r && std::abs(dy) <= r;
    case GlyphShape::bar:
      return std::abs(dx) <= r * 1.2 && std::abs(dy) <= r * 0.35;
    case GlyphShape::triangle:
      return dy >= -r && dy <= r && std::abs(dx) <= (dy + r) / 2;
    case GlyphShape::blank:
      return false;
  }
  return false;
}

// Renders a w x h point picture into W x H pixels, scaled to fit and centred.
World::Pixels render(const Picture& picture, double pw, double ph, int W, int H, bool panel) {
  World::Pixels px;
  px.width = W;
  px.height = H;
  px.pointWidth = pw;
  px.pointHeight = ph;
  px.rgba.assign(static_cast<size_t>(W) * H * 4, 0);
  if (pw <= 0 || ph <= 0) return px;
  double s = std::min(W / pw, H / ph);
  double ox = (W - pw * s) / 2, oy = (H - ph * s) / 2;
  double r = std::min(std::min(pw, ph) * 0.32, 8.0);
  uint8_t cr = (picture.color >> 16) & 0xFF, cg = (picture.color >> 8) & 0xFF, cb = picture.color & 0xFF;
  if (!panel && !picture.symbol.empty() && picture.glyph != "blank") {
    // The symbol in a square box centred in the window, as menu-bar pictures stand.
    double side = std::min(std::min(pw, ph) * 0.55, 18.0) * s;
    if (auto c = themeSymbol(picture.symbol, int(std::ceil(side)))) {
      double bx = ox + (pw * s - side) / 2, by = oy + (ph * s - side) / 2;
      for (int j = std::max(0, int(by)); j < std::min(H, int(std::ceil(by + side))); ++j)
        for (int i = std::max(0, int(bx)); i < std::min(W, int(std::ceil(bx + side))); ++i) {
          double a = sample(*c, (i + 0.5 - bx) / side * c->side, (j + 0.5 - by) / side * c->side);
          if (a <= 0) continue;
          uint8_t* p = &px.rgba[(static_cast<size_t>(j) * W + i) * 4];
          p[0] = cr, p[1] = cg, p[2] = cb, p[3] = uint8_t(std::clamp(std::lround(a), 0L, 255L));
        }
      return px;
    }
  }
  const GlyphShape shape = glyphShape(picture.glyph);
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) {
      double x = (i + 0.5 - ox) / s, y = (j + 0.5 - oy) / s;
      if (x < 0 || y < 0 || x > pw || y > ph) continue;
      bool on = panel || insideGlyph(shape, x - pw / 2, y - ph / 2, r);
      if (!on) continue;
      uint8_t* p = &px.rgba[(static_cast<size_t>(j) * W + i) * 4];
      p[0] = cr, p[1] = cg, p[2] = cb, p[3] = 255;
    }
  return px;
}

}  // namespace

World::Pixels renderItemPicture(const Picture& picture, double pointWidth, double pointHeight, int pixelWidth,
                                int pixelHeight) {
  return render(picture, pointWidth, pointHeight, std::max(1, pixelWidth), std::max(1, pixelHeight), false);
}

std::optional<World::Pixels> World::windowPixels(uint32_t windowNumber, double scale, bool forScreenshot) {
  for (const Menu& m : menus_)
    if (m.view.windowNumber == windowNumber) {
      const Rect& f = m.view.frame;
      return render({0xEDEDED, "square", ""}, f.width, f.height, std::max(1, int(f.width * scale)),
                    std::max(1, int(f.height * scale)), true);
    }
  auto v = itemByWindow(windowNumber);
  if (!v) return std::nullopt;
  const ItemFaults& f = find(v->key)->spec.faults;
  if (f.captureFails || (forScreenshot && f.screenshotFails)) return std::nullopt;
  int W = std::max(1, static_cast<int>(std::lround(v->frame.width * scale)));
  int H = std::max(1, static_cast<int>(std::lround(v->frame.height * scale)));
  Picture picture = v->picture;
  if (f.captureBlank || (forScreenshot && f.screenshotBlank)) picture.glyph = "blank";
  return render(picture, v->frame.width, v->frame.height, W, H, false);
}

std::optional<World::Pixels> World::screenshotPixels(uint32_t windowNumber, int w, int h) {
  auto v = itemByWindow(windowNumber);
  if (!v) {
    auto menu = windowPixels(windowNumber, 1, true);
    if (!menu) return std::nullopt;
    return render({0xEDEDED, "square", ""}, menu->pointWidth, menu->pointHeight, w, h, true);
  }
  const ItemFaults& f = find(v->key)->spec.faults;
  if (f.captureFails || f.screenshotFails) return std::nullopt;
  Picture picture = v->picture;
  if (f.captureBlank || f.screenshotBlank) picture.glyph = "blank";
  return render(picture, v->frame.width, v->frame.height, std::max(1, w), std::max(1, h), false);
}

}  // namespace vimbo::sim
