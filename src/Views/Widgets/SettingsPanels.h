#pragma once
// Building blocks the settings pages share: rounded cards, symbol tiles, section labels and the
// grouped form's sections. Colours, fonts and symbols come from the view kit.

#include <QBrush>
#include <QColor>
#include <QString>
#include <QWheelEvent>
#include <QWidget>
#include <functional>
#include <memory>

class QBoxLayout;
class QFormLayout;
class QLabel;
class QVBoxLayout;

namespace vimbo::views {

class FilledBox;

// The kit's rounded fill, outlined inside its border; children lay out on top.
FilledBox* roundedPanel(const QColor& fill, double radius, const QColor& stroke, double strokeWidth,
                        QWidget* parent = nullptr);

// A fixed-size rounded tile with a symbol centred on it; a gradient fill is given per tile size.
class SymbolTile : public QWidget {
 public:
  using Fill = std::function<QBrush(const QRectF&)>;
  SymbolTile(int side, double radius, Fill fill, const QString& symbol, int symbolSize, QColor symbolColor,
             QWidget* parent = nullptr);
  static Fill solid(QColor color);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  double radius_;
  Fill fill_;
  QString symbol_;
  int symbolSize_;
  QColor symbolColor_;
};

// A label of a title and a symbol in 15 semibold.
QWidget* sectionLabel(const QString& title, const QString& symbol, QWidget* parent = nullptr);

// A grouped-form section: an optional header over a white rounded group whose rows are parted by
// hairlines.
class FormSection : public QWidget {
 public:
  explicit FormSection(const QString& header, QWidget* parent = nullptr);
  // A full-width row.
  void addRow(QWidget* row);
  // A title on the left, the content on the right.
  QWidget* addLabelledRow(const QString& title, QWidget* content);

 private:
  QVBoxLayout* rows_;
};

// A slider or picker that leaves the wheel to the page it stands on, as the system's own controls
// do: scrolling the page past it must not change a setting on the way.
template <class Control>
class PageControl : public Control {
 public:
  using Control::Control;

 protected:
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

// Dims a widget to the opacity (1 removes the dimming) over a backdrop of one colour: a veil of
// that colour at 1 - opacity lies over the widget, which is what drawing it at the opacity would
// show. Nested dimming multiplies on screen. (Graphics effects draw nothing inside the desktop's
// window proxies, so they are not used.)
void setDimmed(QWidget* widget, double opacity, const QColor& backdrop);
// The opacity set on the widget itself, 1 when none.
double dimming(const QWidget* widget);
// What the widget is drawn at: its own opacity times that of every ancestor.
double effectiveDimming(const QWidget* widget);

// Text that wraps at any width and keeps its whole height.
QLabel* wrappingLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);

// Plain text wrapped onto at most `maxLines` lines; what does not fit ends the last line in "…",
// so no line is ever cut through its glyphs.
class LineLimitedLabel : public QWidget {
 public:
  LineLimitedLabel(const QString& text, const QFont& font, const QColor& color, int maxLines,
                   QWidget* parent = nullptr);

  const QString& text() const { return text_; }
  // The lines drawn at the current width.
  QStringList displayedLines() const { return lines(width()); }

  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QStringList lines(int width) const;

  QString text_;
  QColor color_;
  int maxLines_;
};

}  // namespace vimbo::views
