// The symbols the icon theme has nothing close to, drawn as clean vector glyphs on a 16-point
// grid and scaled to the size asked for.
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtMath>
#include <functional>

#include "Views/Widgets/SymbolCatalog.h"

namespace vimbo::views {

namespace {

QPainterPath rounded(double x, double y, double w, double h, double r) {
  QPainterPath path;
  path.addRoundedRect(QRectF(x, y, w, h), r, r);
  return path;
}

QPainterPath circle(double cx, double cy, double r) {
  QPainterPath path;
  path.addEllipse(QPointF(cx, cy), r, r);
  return path;
}

QPainterPath stroked(const QPainterPath& path, double width, Qt::PenCapStyle cap = Qt::RoundCap) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(cap);
  stroker.setJoinStyle(Qt::RoundJoin);
  return stroker.createStroke(path);
}

QPainterPath line(QPointF a, QPointF b) {
  QPainterPath path(a);
  path.lineTo(b);
  return path;
}

// A horizontal arrow with its tip at `tip`, pointing right (dir 1) or left (dir -1).
QPainterPath arrow(double tailX, double tipX, double y) {
  double dir = tipX > tailX ? 1 : -1;
  QPainterPath path = line({tailX, y}, {tipX, y});
  path.moveTo(tipX - dir * 2.6, y - 2.6);
  path.lineTo(tipX, y);
  path.lineTo(tipX - dir * 2.6, y + 2.6);
  return path;
}

QPainterPath verticalArrow(double x, double tailY, double tipY) {
  double dir = tipY > tailY ? 1 : -1;
  QPainterPath path = line({x, tailY}, {x, tipY});
  path.moveTo(x - 2.2, tipY - dir * 2.2);
  path.lineTo(x, tipY);
  path.lineTo(x + 2.2, tipY - dir * 2.2);
  return path;
}

QPainterPath dashedOutline(const QPainterPath& shape, double width) {
  QPainterPathStroker stroker;
  stroker.setWidth(width);
  stroker.setCapStyle(Qt::FlatCap);
  stroker.setDashPattern({2.2, 1.6});
  return stroker.createStroke(shape);
}

using Glyph = std::function<QPainterPath()>;

const QHash<QString, Glyph>& glyphs() {
  static const QHash<QString, Glyph> table{
      {"xmark.circle.fill",
       [] {
         QPainterPath cross = line({5.5, 5.5}, {10.5, 10.5});
         cross.addPath(line({10.5, 5.5}, {5.5, 10.5}));
         return circle(8, 8, 7).subtracted(stroked(cross, 1.6));
       }},
      {"rectangle.3.group.fill",
       [] {
         QPainterPath p = rounded(1, 2.5, 8, 11, 1.8);
         p.addPath(rounded(10.2, 2.5, 4.8, 5.2, 1.5));
         p.addPath(rounded(10.2, 8.3, 4.8, 5.2, 1.5));
         return p;
       }},
      {"arrow.right.and.line.vertical.and.arrow.left",
       [] {
         QPainterPath p = line({8, 2}, {8, 14});
         p.addPath(arrow(0.8, 6, 8));
         p.addPath(arrow(15.2, 10, 8));
         return stroked(p, 1.5);
       }},
      {"arrow.left.and.line.vertical.and.arrow.right",
       [] {
         QPainterPath p = line({8, 2}, {8, 14});
         p.addPath(arrow(6, 0.8, 8));
         p.addPath(arrow(10, 15.2, 8));
         return stroked(p, 1.5);
       }},
      {"circle.grid.2x2.fill",
       [] {
         QPainterPath p = circle(4.5, 4.5, 3);
         p.addPath(circle(11.5, 4.5, 3));
         p.addPath(circle(4.5, 11.5, 3));
         p.addPath(circle(11.5, 11.5, 3));
         return p;
       }},
      {"circle.lefthalf.filled",
       [] {
         QPainterPath ring = stroked(circle(8, 8, 6.4), 1.3);
         QPainterPath half;
         half.moveTo(8, 1.6);
         half.arcTo(QRectF(1.6, 1.6, 12.8, 12.8), 90, 180);
         half.closeSubpath();
         return ring.united(half);
       }},
      {"rectangle.dashed.badge.record",
       [] {
         QPainterPath frame = dashedOutline(rounded(1, 2.5, 13, 10, 2), 1.3);
         QPainterPath badgeRoom = circle(13, 12, 3.8);
         return frame.subtracted(badgeRoom).united(circle(13, 12, 2.6));
       }},
      {"slider.horizontal.3",
       [] {
         QPainterPath lines = line({1.5, 3.5}, {14.5, 3.5});
         lines.addPath(line({1.5, 8}, {14.5, 8}));
         lines.addPath(line({1.5, 12.5}, {14.5, 12.5}));
         QPainterPath knobs = circle(5, 3.5, 2.2);
         knobs.addPath(circle(11, 8, 2.2));
         knobs.addPath(circle(6.5, 12.5, 2.2));
         return stroked(lines, 1.3).united(knobs);
       }},
      {"app.dashed", [] { return dashedOutline(rounded(1.5, 1.5, 13, 13, 3.5), 1.3); }},
      {"circle.dotted",
       [] {
         QPainterPath p;
         for (int i = 0; i < 12; ++i) {
           double a = i * M_PI / 6;
           p.addPath(circle(8 + 6.2 * std::cos(a), 8 + 6.2 * std::sin(a), 0.9));
         }
         return p;
       }},
      {"hourglass",
       [] {
         QPainterPath glass;
         glass.moveTo(4, 2.5);
         glass.lineTo(12, 2.5);
         glass.cubicTo(12, 6, 8.8, 7, 8.8, 8);
         glass.cubicTo(8.8, 9, 12, 10, 12, 13.5);
         glass.lineTo(4, 13.5);
         glass.cubicTo(4, 10, 7.2, 9, 7.2, 8);
         glass.cubicTo(7.2, 7, 4, 6, 4, 2.5);
         glass.closeSubpath();
         QPainterPath bars = line({2.8, 1.8}, {13.2, 1.8});
         bars.addPath(line({2.8, 14.2}, {13.2, 14.2}));
         QPainterPath sand;
         sand.moveTo(5.2, 13.5);
         sand.lineTo(8, 10.6);
         sand.lineTo(10.8, 13.5);
         sand.closeSubpath();
         return stroked(glass, 1.2).united(stroked(bars, 1.4)).united(sand);
       }},
      {"arrow.up.arrow.down.square.fill",
       [] {
         QPainterPath arrows = verticalArrow(5.5, 12, 4);
         arrows.addPath(verticalArrow(10.5, 4, 12));
         return rounded(1, 1, 14, 14, 3.2).subtracted(stroked(arrows, 1.5));
       }},
  };
  return table;
}

}  // namespace

const QStringList& vectorSymbolNames() {
  static const QStringList names = [] {
    QStringList list = glyphs().keys();
    list.sort();
    return list;
  }();
  return names;
}

bool paintVectorSymbol(QPainter& painter, const QString& name, double size, const QColor& color) {
  auto found = glyphs().constFind(name);
  if (found == glyphs().constEnd()) return false;
  QPainterPath path = (*found)();
  painter.save();
  painter.scale(size / 16.0, size / 16.0);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawPath(path);
  painter.restore();
  return true;
}

}  // namespace vimbo::views
