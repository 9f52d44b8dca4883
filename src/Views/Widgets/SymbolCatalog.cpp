#include "Views/Widgets/SymbolCatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmapCache>
#include <cmath>

#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

// Names drawn from the theme; the others are vector glyphs.
const QHash<QString, QString>& themeTable() {
  static const QHash<QString, QString> table{
      {"magnifyingglass", "edit-find-symbolic"},
      {"arrow.clockwise", "view-refresh-symbolic"},
      {"lock.fill", "changes-prevent-symbolic"},
      {"clock", "preferences-system-time-symbolic"},
      // A neutral system glyph: no trademark is drawn.
      {"apple.logo", "computer-symbolic"},
      {"gearshape", "emblem-system-symbolic"},
      {"list.bullet.rectangle", "view-list-bullet-symbolic"},
      {"info.circle", "help-about-symbolic"},
      {"power", "system-shutdown-symbolic"},
      {"arrow.counterclockwise", "edit-undo-symbolic"},
      {"square.grid.3x3.fill", "view-app-grid-symbolic"},
      {"eye.fill", "view-reveal-symbolic"},
      {"eye.slash.fill", "view-conceal-symbolic"},
      {"archivebox.fill", "package-x-generic-symbolic"},
      {"wifi", "network-wireless-symbolic"},
      {"speaker.wave.2.fill", "audio-volume-high-symbolic"},
      {"battery.75percent", "battery-level-70-symbolic"},
      {"moon.fill", "weather-clear-night-symbolic"},
      {"airdrop", "network-wireless-hotspot-symbolic"},
      {"clock.arrow.circlepath", "document-open-recent-symbolic"},
      {"shield.lefthalf.filled", "security-medium-symbolic"},
      {"bolt.horizontal.fill", "thunderbolt-symbolic"},
  };
  return table;
}

// Qt's theme loader does not read the theme's ".symbolic.png" files, so they are gathered from
// the theme's own size folders, under the search paths and theme name the application set.
QString themeFile(const QDir& sizeDir, const QString& iconName) {
  for (const QString& context : sizeDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    for (const QString& suffix : {QStringLiteral(".symbolic.png"), QStringLiteral(".png")}) {
      QString file = sizeDir.filePath(context + QLatin1Char('/') + iconName + suffix);
      if (QFileInfo::exists(file)) return file;
    }
  }
  return {};
}

QIcon loadThemeIcon(const QString& iconName) {
  static QHash<QString, QIcon> loaded;
  auto found = loaded.constFind(iconName);
  if (found != loaded.constEnd()) return *found;
  QIcon icon;
  for (const QString& root : QIcon::themeSearchPaths()) {
    QDir theme(root + QLatin1Char('/') + QIcon::themeName());
    if (!theme.exists()) continue;
    for (int side : {16, 24, 32, 48, 64, 96}) {
      QDir sizeDir(theme.filePath(QStringLiteral("%1x%1").arg(side)));
      if (!sizeDir.exists()) continue;
      QString file = themeFile(sizeDir, iconName);
      if (!file.isEmpty()) icon.addFile(file, QSize(side, side));
    }
    if (!icon.isNull()) break;
  }
  loaded.insert(iconName, icon);
  return icon;
}

}  // namespace

const QStringList& SymbolCatalog::names() {
  static const QStringList all = [] {
    QStringList list = themeTable().keys();
    list.sort();
    list += vectorSymbolNames();
    return list;
  }();
  return all;
}

bool SymbolCatalog::contains(const QString& name) {
  return themeTable().contains(name) || vectorSymbolNames().contains(name);
}

QString SymbolCatalog::themeIconName(const QString& name) { return themeTable().value(name); }

QImage SymbolCatalog::image(const QString& name, int size, const QColor& color, qreal ratio) {
  if (size <= 0 || !contains(name)) return {};
  int px = std::max(1, int(std::lround(size * ratio)));
  QString key = QStringLiteral("vimbo-symbol:%1:%2:%3").arg(name).arg(px).arg(color.rgba(), 8, 16);
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) {
    QImage out = cached.toImage();
    out.setDevicePixelRatio(ratio);
    return out;
  }
  QImage out(px, px, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QString iconName = themeIconName(name);
  if (!iconName.isEmpty()) {
    QIcon icon = loadThemeIcon(iconName);
    if (icon.isNull()) return {};
    QPixmap pixmap = icon.pixmap(QSize(px, px));
    if (pixmap.isNull()) return {};
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRect(0, 0, px, px), pixmap);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), color);
  } else {
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    paintVectorSymbol(p, name, px, color);
  }
  QPixmapCache::insert(key, QPixmap::fromImage(out));
  out.setDevicePixelRatio(ratio);
  return out;
}

void SymbolCatalog::draw(QPainter& painter, const QRectF& box, const QString& name, const QColor& color) {
  int size = int(std::floor(std::min(box.width(), box.height())));
  qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  QImage symbol = image(name, size, color, ratio);
  if (symbol.isNull()) return;
  QPointF topLeft(std::floor(box.center().x() - size / 2.0), std::floor(box.center().y() - size / 2.0));
  painter.drawImage(QRectF(topLeft, QSizeF(size, size)), symbol);
}

SymbolView::SymbolView(const QString& name, int size, const QColor& color, QWidget* parent)
    : QWidget(parent), name_(name), size_(size), color_(color) {
  setFixedSize(size, size);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolView::setSymbol(const QString& name) {
  if (name == name_) return;
  name_ = name;
  update();
}

void SymbolView::setColor(const QColor& color) {
  if (color == color_) return;
  color_ = color;
  update();
}

void SymbolView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRectF box(0, 0, size_, size_);
  box.moveCenter(QRectF(rect()).center());
  SymbolCatalog::draw(p, box, name_, color_);
}

}  // namespace vimbo::views
