#pragma once
// Points, sizes and rectangles in points (64-bit floating point). Window-server frames use a
// top-left origin; screen (AppKit) frames use a bottom-left origin. The types do not know which:
// the caller keeps the two apart.

#include <algorithm>
#include <cmath>

namespace vimbo {

struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  Rect() = default;
  Rect(double x_, double y_, double w, double h) : x(x_), y(y_), width(w), height(h) {}
  Rect(Point origin, Size size) : x(origin.x), y(origin.y), width(size.width), height(size.height) {}

  double minX() const { return width >= 0 ? x : x + width; }
  double maxX() const { return width >= 0 ? x + width : x; }
  double minY() const { return height >= 0 ? y : y + height; }
  double maxY() const { return height >= 0 ? y + height : y; }
  double midX() const { return (minX() + maxX()) / 2; }
  double midY() const { return (minY() + maxY()) / 2; }
  Point origin() const { return {x, y}; }
  Size size() const { return {width, height}; }
  Point center() const { return {midX(), midY()}; }

  bool isFinite() const {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(width) && std::isfinite(height) &&
           std::isfinite(x + width) && std::isfinite(y + height);
  }
  // Positive width and height with finite edges: the validity test most callers need.
  bool isValidPositive() const { return isFinite() && width > 0 && height > 0; }

  // Half-open containment, like CGRectContainsPoint.
  bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
  bool contains(const Rect& r) const {
    return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
  }
  // Strict overlap on both axes: rectangles that only touch do not intersect.
  bool intersects(const Rect& r) const {
    return minX() < r.maxX() && r.minX() < maxX() && minY() < r.maxY() && r.minY() < maxY();
  }
  Rect insetBy(double dx, double dy) const { return {minX() + dx, minY() + dy, (maxX() - minX()) - 2 * dx, (maxY() - minY()) - 2 * dy}; }
  Rect offsetBy(double dx, double dy) const { return {x + dx, y + dy, width, height}; }

  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace vimbo
