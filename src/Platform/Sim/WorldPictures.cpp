// Window contents: status-item glyphs drawn from their picture description, menus as plain panels.
#include <algorithm>
#include <cmath>

#include "Platform/Sim/World.h"

namespace vimbo::sim {

namespace {

bool insideGlyph(const std::string& glyph, double dx, double dy, double r) {
  if (glyph == "dot") return dx * dx + dy * dy <= r * r;
  if (glyph == "ring") {
    double d = std::sqrt(dx * dx + dy * dy);
    return d <= r && d >= r * 0.6;
  }
  if (glyph == "square") return std::abs(dx) <= r && std::abs(dy) <= r;
  if (glyph == "bar") return std::abs(dx) <= r * 1.2 && std::abs(dy) <= r * 0.35;
  if (glyph == "triangle") return dy >= -r && dy <= r && std::abs(dx) <= (dy + r) / 2;
  return false;  // blank
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
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) {
      double x = (i + 0.5 - ox) / s, y = (j + 0.5 - oy) / s;
      if (x < 0 || y < 0 || x > pw || y > ph) continue;
      bool on = panel || insideGlyph(picture.glyph, x - pw / 2, y - ph / 2, r);
      if (!on) continue;
      uint8_t* p = &px.rgba[(static_cast<size_t>(j) * W + i) * 4];
      p[0] = cr, p[1] = cg, p[2] = cb, p[3] = 255;
    }
  return px;
}

}  // namespace

std::optional<World::Pixels> World::windowPixels(uint32_t windowNumber, double scale, bool forScreenshot) {
  for (const Menu& m : menus_)
    if (m.view.windowNumber == windowNumber) {
      const Rect& f = m.view.frame;
      return render({0xEDEDED, "square"}, f.width, f.height, std::max(1, int(f.width * scale)),
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
    return render({0xEDEDED, "square"}, menu->pointWidth, menu->pointHeight, w, h, true);
  }
  const ItemFaults& f = find(v->key)->spec.faults;
  if (f.captureFails || f.screenshotFails) return std::nullopt;
  Picture picture = v->picture;
  if (f.captureBlank || f.screenshotBlank) picture.glyph = "blank";
  return render(picture, v->frame.width, v->frame.height, std::max(1, w), std::max(1, h), false);
}

}  // namespace vimbo::sim
