#include "Platform/Desktop/DesktopPaint.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "Platform/Desktop/Appearance.h"
#include "Platform/Sim/SimPlatform.h"

namespace vimbo::desktop {

namespace {

const QColor kOutside(0x1C, 0x1C, 0x1E);
const QColor kMenuBar(0xF4, 0xF4, 0xF6, 0xE6);
const QColor kMenuBarLine(0, 0, 0, 0x30);
const QColor kInk(0x1D, 0x1D, 0x1F);
const QColor kMenuPanel(0xED, 0xED, 0xED);
const QColor kMenuBorder(0, 0, 0, 0x40);
const QColor kMenuMuted(0x8E, 0x8E, 0x93);
const QColor kHighlight(0, 0, 0, 0x22);
const QColor kAccent(0x0A, 0x84, 0xFF);

QColor rgb(uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// Draws an image rendered for the device pixels under `frame`, on whole device pixels.
void drawOnPixels(QPainter& p, const Rect& frame, const QImage& image) {
  if (image.isNull()) return;
  QPointF at = p.transform().map(QPointF(frame.minX(), frame.minY()));
  QRectF device = p.transform().mapRect(qrect(frame));
  p.save();
  p.resetTransform();
  double dpr = image.devicePixelRatio();
  double x = std::round((at.x() + (device.width() - image.width() / dpr) / 2) * dpr) / dpr;
  double y = std::round((at.y() + (device.height() - image.height() / dpr) / 2) * dpr) / dpr;
  p.drawImage(QPointF(x, y), image);
  p.restore();
}

// Device pixels per point under the painter.
double deviceScale(const QPainter& p) {
  double dpr = p.device() ? p.device()->devicePixelRatioF() : 1;
  return std::hypot(p.transform().m11(), p.transform().m12()) * dpr;
}

void paintOwnItem(QPainter& p, const SceneItem& item, PictureCache& pictures) {
  if (item.image) {
    Size s = item.image->pointSize();
    if (s.width <= 0 || s.height <= 0) s = {double(item.image->pixelWidth()), double(item.image->pixelHeight())};
    double k = deviceScale(p);
    QImage image = pictures.ownImage(item.image, std::max(1, int(std::lround(s.width * k))),
                                     std::max(1, int(std::lround(s.height * k))));
    image.setDevicePixelRatio(p.device() ? p.device()->devicePixelRatioF() : 1);
    drawOnPixels(p, item.frame, image);
  } else if (!item.title.empty()) {
    p.setPen(kInk);
    p.setFont(uiFont(13));
    p.drawText(qrect(item.frame), Qt::AlignCenter, QString::fromStdString(item.title));
  }
}

void paintItem(QPainter& p, const SceneItem& item, PictureCache& pictures, const std::string& clock) {
  if (item.own) {
    paintOwnItem(p, item, pictures);
    return;
  }
  if (item.clock) {
    p.setPen(kInk);
    p.setFont(uiFont(13));
    p.drawText(qrect(item.frame).adjusted(0, 0, -6, 0), Qt::AlignVCenter | Qt::AlignRight, QString::fromStdString(clock));
    return;
  }
  double k = deviceScale(p);
  int w = std::max(1, int(std::lround(item.frame.width * k))), h = std::max(1, int(std::lround(item.frame.height * k)));
  QImage image = pictures.itemPicture(item.picture, item.frame.size(), w, h);
  image.setDevicePixelRatio(p.device() ? p.device()->devicePixelRatioF() : 1);
  drawOnPixels(p, item.frame, image);
}

void paintWallpaper(QPainter& p, const SceneDisplay& d) {
  QRectF b = qrect(d.bounds);
  QLinearGradient wallpaper(b.topLeft(), b.bottomRight());
  wallpaper.setColorAt(0, QColor(0x2B, 0x4C, 0x8C));
  wallpaper.setColorAt(0.55, QColor(0x6A, 0x5A, 0xA8));
  wallpaper.setColorAt(1, QColor(0xD9, 0x8C, 0x9E));
  p.fillRect(b, wallpaper);
}

void paintReopenIcon(QPainter& p, const SceneDisplay& d) {
  QRectF icon = qrect(reopenIconFrame(d));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 40));
  p.drawRoundedRect(icon.translated(0, 2), 14, 14);
  QLinearGradient fill(icon.topLeft(), icon.bottomLeft());
  fill.setColorAt(0, rgb(0x5A94FF));
  fill.setColorAt(1, rgb(sim::SimWorkspace::kOwnIconColor));
  p.setBrush(fill);
  p.drawRoundedRect(icon, 14, 14);
  // Three grouped tiles: the organiser's mark.
  p.setBrush(Qt::white);
  double u = icon.width() / 8;
  p.drawRoundedRect(QRectF(icon.x() + 1.5 * u, icon.y() + 2 * u, 5 * u, 1.6 * u), 0.5 * u, 0.5 * u);
  p.drawRoundedRect(QRectF(icon.x() + 1.5 * u, icon.y() + 4.3 * u, 2.3 * u, 1.6 * u), 0.5 * u, 0.5 * u);
  p.drawRoundedRect(QRectF(icon.x() + 4.2 * u, icon.y() + 4.3 * u, 2.3 * u, 1.6 * u), 0.5 * u, 0.5 * u);
  p.setFont(uiFont(12));
  QRectF label(icon.x() - 20, icon.bottom() + 4, icon.width() + 40, 18);
  p.setPen(QColor(0, 0, 0, 90));
  p.drawText(label.translated(0, 1), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Vimbo"));
  p.setPen(Qt::white);
  p.drawText(label, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Vimbo"));
}

void paintNotch(QPainter& p, const Rect& notch) {
  QRectF n = qrect(notch);
  double r = std::min(10.0, n.height() / 2);
  QPainterPath path;
  path.moveTo(n.topLeft());
  path.lineTo(n.topRight());
  path.lineTo(n.right(), n.bottom() - r);
  path.quadTo(n.right(), n.bottom(), n.right() - r, n.bottom());
  path.lineTo(n.left() + r, n.bottom());
  path.quadTo(n.left(), n.bottom(), n.left(), n.bottom() - r);
  path.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPath(path);
}

// Whether the item draws anything: our divider is a window without a picture, and while the bar
// is collapsed it reaches far past the screen's left edge.
bool hasPicture(const SceneItem& item) { return !item.own || item.image || !item.title.empty(); }

// The active application's name in bold, then its menu titles, up to where the status items a
// person sees or the notch begin.
void paintAppMenus(QPainter& p, const Scene& s) {
  if (s.displays.empty() || s.appName.empty()) return;
  const SceneDisplay& main = s.displays.front();
  double limit = main.bounds.maxX();
  if (main.notch) limit = main.notch->minX();
  for (const SceneItem& item : s.items)
    if (hasPicture(item) && isItemShown(s, item)) limit = std::min(limit, item.frame.minX());
  QRectF bar = qrect(s.barClip);
  p.save();
  p.setClipRect(QRectF(bar.x(), bar.y(), limit - 8 - bar.x(), bar.height()));
  p.setPen(kInk);
  double x = bar.x() + 18;
  QFont bold = uiFont(13, QFont::Bold), plain = uiFont(13);
  p.setFont(bold);
  QString name = QString::fromStdString(s.appName);
  p.drawText(QRectF(x, bar.y(), 400, bar.height()), Qt::AlignVCenter | Qt::AlignLeft, name);
  x += QFontMetricsF(bold).horizontalAdvance(name) + 20;
  p.setFont(plain);
  for (const std::string& menu : s.appMenus) {
    QString title = QString::fromStdString(menu);
    p.drawText(QRectF(x, bar.y(), 400, bar.height()), Qt::AlignVCenter | Qt::AlignLeft, title);
    x += QFontMetricsF(plain).horizontalAdvance(title) + 20;
  }
  p.restore();
}

void paintMenu(QPainter& p, const SceneMenu& m) {
  QRectF f = qrect(m.frame);
  p.setPen(Qt::NoPen);
  for (int i = 1; i <= 4; ++i) {  // a soft shadow
    p.setBrush(QColor(0, 0, 0, 14));
    p.drawRoundedRect(f.adjusted(-i, -i + 2, i, i + 2), 6 + i, 6 + i);
  }
  p.setBrush(kMenuPanel);
  p.setPen(QPen(kMenuBorder, 0.5));
  p.drawRoundedRect(f, 6, 6);
  p.setFont(uiFont(13));
  if (m.own) {
    for (size_t i = 0; i < m.entries.size(); ++i) {
      QRectF row(f.x() + 12, f.y() + kMenuTopInset + kMenuRowHeight * double(i), f.width() - 24, kMenuRowHeight);
      bool hovered = m.hovered == i;
      if (hovered) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawRoundedRect(row.adjusted(-7, 0, 7, 0), 4, 4);
      }
      p.setPen(hovered ? QColor(Qt::white) : kInk);
      p.drawText(row, Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(m.entries[i]));
    }
    return;
  }
  // Another application's menu: its owner on top, then the outline of a few entries.
  QRectF title(f.x() + 12, f.y() + kMenuTopInset, f.width() - 24, kMenuRowHeight);
  p.setPen(kMenuMuted);
  p.drawText(title, Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(m.ownerName));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 0x22));
  for (int i = 1; i <= 4; ++i) {
    double y = f.y() + kMenuTopInset + kMenuRowHeight * i + kMenuRowHeight / 2 - 3;
    if (y + 6 > f.bottom() - 4) break;
    p.drawRoundedRect(QRectF(f.x() + 12, y, (f.width() - 24) * (i % 2 ? 0.7 : 0.5), 6), 3, 3);
  }
}

void paintInsertionMark(QPainter& p, const Scene& s, double x) {
  QRectF bar = qrect(s.barClip);
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  p.drawRoundedRect(QRectF(x - 1, bar.y() + 4, 2, bar.height() - 8), 1, 1);
  QPolygonF top;
  top << QPointF(x - 4, bar.y() + 2) << QPointF(x + 4, bar.y() + 2) << QPointF(x, bar.y() + 7);
  p.drawPolygon(top);
}

}  // namespace

QRectF qrect(const Rect& r) { return {r.minX(), r.minY(), r.maxX() - r.minX(), r.maxY() - r.minY()}; }

bool isItemShown(const Scene& s, const SceneItem& item) {
  if (!item.frame.intersects(s.barClip)) return false;
  if (s.displays.empty() || !s.displays.front().notch) return true;
  return item.frame.minX() >= s.displays.front().notch->maxX();
}

QImage PictureCache::itemPicture(const sim::Picture& picture, Size points, int w, int h) {
  auto key = std::make_tuple(picture.color, picture.glyph, picture.symbol, points.width, points.height, w, h);
  auto it = pictures_.find(key);
  if (it != pictures_.end()) return it->second;
  sim::World::Pixels px = sim::renderItemPicture(picture, points.width, points.height, w, h);
  QImage image(reinterpret_cast<const uchar*>(px.rgba.data()), px.width, px.height, px.width * 4,
               QImage::Format_RGBA8888);
  return pictures_[key] = image.copy();
}

QImage PictureCache::ownImage(const platform::ImageRef& image, int w, int h) {
  auto key = std::make_tuple(image.get(), w, h);
  auto it = images_.find(key);
  if (it != images_.end() && it->second.first == image) return it->second.second;
  QImage source(reinterpret_cast<const uchar*>(image->pixels().data()), image->pixelWidth(), image->pixelHeight(),
                image->pixelWidth() * 4, QImage::Format_RGBA8888);
  source = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (image->isTemplate()) {
    QPainter tint(&source);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(source.rect(), kInk);
  }
  QImage scaled = source.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  images_[key] = {image, scaled};
  return scaled;
}

void paintDesktop(QPainter& p, const Scene& s) {
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(qrect(s.area), kOutside);
  for (const SceneDisplay& d : s.displays) paintWallpaper(p, d);
  if (!s.displays.empty()) paintReopenIcon(p, s.displays.front());
}

void paintOverWindows(QPainter& p, const Scene& s, PictureCache& pictures) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  for (const SceneDisplay& d : s.displays) {
    QRectF bar(d.bounds.minX(), d.bounds.minY(), d.bounds.width, d.menuBarHeight);
    p.fillRect(bar, kMenuBar);
    p.fillRect(QRectF(bar.x(), bar.bottom() - 0.5, bar.width(), 0.5), kMenuBarLine);
  }
  paintAppMenus(p, s);
  p.save();
  p.setClipRect(qrect(s.barClip));
  for (const SceneItem& item : s.items) {
    if (!isItemShown(s, item)) continue;
    if (s.highlighted == item.windowNumber) {
      p.setPen(Qt::NoPen);
      p.setBrush(kHighlight);
      p.drawRoundedRect(qrect(item.frame).adjusted(0, 4, 0, -4), 5, 5);
    }
    paintItem(p, item, pictures, s.clockText);
  }
  p.restore();
  for (const SceneDisplay& d : s.displays)
    if (d.notch) paintNotch(p, *d.notch);
  for (const SceneMenu& m : s.menus) paintMenu(p, m);
  if (s.insertionX) paintInsertionMark(p, s, *s.insertionX);
  if (s.dragged) {
    // The dragged item follows the pointer, faintly, until it is dropped.
    SceneItem ghost = *s.dragged;
    ghost.frame = Rect(s.pointer.x - ghost.frame.width / 2, s.pointer.y - ghost.frame.height / 2, ghost.frame.width,
                       ghost.frame.height);
    p.save();
    p.setOpacity(0.6);
    paintItem(p, ghost, pictures, s.clockText);
    p.restore();
  }
}

}  // namespace vimbo::desktop
