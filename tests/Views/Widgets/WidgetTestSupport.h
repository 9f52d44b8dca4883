#pragma once
// Shared set-up of the offscreen view tests: one application with the fixed look, motion off,
// pictures built in code, pixel sampling and a screenshot per content for a person to look at.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "Platform/Desktop/QtTestApp.h"
#include "Platform/Foundation/Image.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views::testing {

// A picture of w x h points at 2x, every pixel `rgba`.
inline platform::ImageRef solidImage(double w, double h, std::uint32_t rgba, bool isTemplate) {
  int pw = int(w * 2);
  int ph = int(h * 2);
  std::vector<std::uint8_t> pixels;
  pixels.reserve(size_t(pw * ph * 4));
  for (int i = 0; i < pw * ph; ++i)
    pixels.insert(pixels.end(), {std::uint8_t(rgba >> 24), std::uint8_t(rgba >> 16), std::uint8_t(rgba >> 8),
                                 std::uint8_t(rgba)});
  return platform::Image::make({w, h}, pw, ph, std::move(pixels), isTemplate);
}

struct MotionOff {
  MotionOff() { motion::setEnabled(false); }
  ~MotionOff() { motion::setEnabled(true); }
};

// Renders at one device pixel per point.
inline QImage render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  widget.render(&image);
  return image;
}

// Saved under the test's working folder (the build tree), for a person to look at.
inline void saveScreenshot(const QImage& image, const QString& name) {
  QDir().mkpath(QStringLiteral("screenshots"));
  image.save(QStringLiteral("screenshots/%1.png").arg(name));
}

// A fill of `color` over white, as composited.
inline QColor overWhite(const QColor& color) {
  double a = color.alphaF();
  return QColor::fromRgbF(float(color.redF() * a + (1 - a)), float(color.greenF() * a + (1 - a)),
                          float(color.blueF() * a + (1 - a)));
}

inline bool near(const QColor& a, const QColor& b, int tolerance = 3) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace vimbo::views::testing
