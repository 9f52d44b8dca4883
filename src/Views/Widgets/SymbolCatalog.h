#pragma once
// The symbols the views name, drawn from the installed Adwaita icon theme (its symbolic PNGs,
// recoloured) or, where the theme has nothing close, as vector glyphs of our own. A name that is
// not in the catalogue draws nothing.

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QWidget>

class QPainter;

namespace vimbo::views {

class SymbolCatalog {
 public:
  // Every name the catalogue draws.
  static const QStringList& names();
  static bool contains(const QString& name);
  // The theme icon a name is drawn from; empty for painted glyphs and unknown names.
  static QString themeIconName(const QString& name);
  // The symbol in a square of `size` points in `color`; null for an unknown name or when the
  // theme's picture is missing.
  static QImage image(const QString& name, int size, const QColor& color, qreal devicePixelRatio = 1);
  // Centred in `box`, as large as its shorter side.
  static void draw(QPainter& painter, const QRectF& box, const QString& name, const QColor& color);
};

// A symbol as a fixed-size widget, e.g. inside a layout row: `size` square, or centred in a
// larger box set with setBoxSize.
class SymbolView : public QWidget {
  Q_OBJECT

 public:
  SymbolView(const QString& name, int size, const QColor& color, QWidget* parent = nullptr);
  void setBoxSize(QSize box) { setFixedSize(box); }
  void setSymbol(const QString& name);
  void setColor(const QColor& color);
  const QString& symbol() const { return name_; }
  const QColor& color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString name_;
  int size_;
  QColor color_;
};

// The vector glyphs, drawn into (0, 0, size, size); false for a name without one.
const QStringList& vectorSymbolNames();
bool paintVectorSymbol(QPainter& painter, const QString& name, double size, const QColor& color);

}  // namespace vimbo::views
