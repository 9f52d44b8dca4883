#pragma once
// The look every Vimbo view shares: one light theme, the fonts, the motion rules, plain-text
// helpers and the conversion of captured pictures. Sizes are points, one point to one pixel of
// the content widget; the desktop host scales the whole desktop, content never does.
//
// The kit: this header (theme, fonts, motion, plain text, pictures), SymbolCatalog.h (symbols),
// TextLabel.h (an eliding line), PlainButton.h, Toast.h, Spinner.h and CapturedMenuBarGlyph.h.
//
// Colours follow the hierarchical styles of the light appearance: primary is black at 0.85,
// secondary 0.50, tertiary 0.26 and quaternary 0.10, each multiplied by the opacity asked for.
// Materials are flat fills. Continuous corners are drawn as circular ones.

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>

#include "Platform/Foundation/Image.h"
#include "Utilities/ColorHex.h"
#include "Views/ItemGlyphs.h"

class QAbstractScrollArea;
class QLabel;
class QPainter;
class QStyle;
class QVariantAnimation;
class QWidget;

namespace vimbo::views {

namespace theme {

QColor accent(double opacity = 1);
// A lighter tint at the top left running into the accent at the bottom right.
QLinearGradient accentGradient(const QRectF& rect);
QColor primary(double opacity = 1);
QColor secondary(double opacity = 1);
QColor tertiary(double opacity = 1);
QColor quaternary(double opacity = 1);
QColor orange(double opacity = 1);
QColor red(double opacity = 1);
QColor green(double opacity = 1);
QColor white(double opacity = 1);
QColor black(double opacity = 1);
QColor windowBackground(double opacity = 1);
QColor controlBackground(double opacity = 1);

enum class Material { ultraThin, thin, regular };
QColor material(Material material, double opacity = 1);

// A colour of the item rows (six hexadecimal digits) in Qt's terms.
QColor color(const Color& color, double opacity = 1);
QColor color(GlyphTint tint);

}  // namespace theme

// MARK: Fonts. Sizes are the points the views name, drawn as pixels.

enum class TextStyle { caption, caption2, callout, body, title2, title };

QFont font(int size, SymbolWeight weight = SymbolWeight::regular);
QFont font(TextStyle style, SymbolWeight weight = SymbolWeight::regular);
// Digits of equal width: DejaVu Sans comes first in the families.
QFont withTabularDigits(QFont font);

// MARK: Motion. One switch turns every duration to 0 (tests, screenshots).

namespace motion {

bool enabled();
void setEnabled(bool enabled);
// Milliseconds, or 0 while motion is off.
int duration(double seconds);
QEasingCurve easeOut();  // cubic Bezier (0, 0, 0.58, 1)
QEasingCurve easeIn();   // cubic Bezier (0.42, 0, 1, 1)
// Sets the animation's duration and curve and starts it; with motion off it jumps to the end.
void run(QVariantAnimation& animation, double seconds, const QEasingCurve& curve);

}  // namespace motion

// MARK: Plain text. Names come from other applications: never markup.

QString qstr(std::string_view utf8);
// A label that never interprets its text as rich text.
QLabel* plainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
void setPlainToolTip(QWidget* widget, const QString& text);
QString elided(const QString& text, const QFont& font, int width);
// The text's lines as they fit in `width`: broken between words where it can, else anywhere. A
// path (a word that starts with "/") breaks only after one of its inner separators, so no line
// ends on a lone "/" and no file name is cut in two while a separator is left to break at.
QStringList brokenLines(const QString& text, const QFont& font, int width);

// MARK: Tool tips. Every tool tip, a widget's or the menu bar's, is plain text in the kit's font
// and colours, broken into lines no wider than kToolTipWidth (between words where it can, else
// anywhere: a long name without spaces breaks too).

inline constexpr int kToolTipWidth = 320;
QFont toolTipFont();
// The text as the tool tip shows it: escaped, its lines broken where they would run past the width.
QString toolTipMarkup(const QString& plain);
// Fusion with the kit's tool tip panel.
QStyle* houseStyle();
// The kit's tool tip font and colours for every tool tip, and every widget's tool tip shown as
// toolTipMarkup of its plain text.
void installToolTips();

// MARK: Scrolling

// A frameless, transparent scroll area with slim overlay-like scroll bars that show when the
// content is taller than the view.
void styleScrollArea(QAbstractScrollArea& area);

// MARK: Captured pictures

// The picture's size in points (its pixel size when it has none).
QSizeF pointSize(const platform::Image& image);
// RGBA8888 with the picture's scale as device pixel ratio, so it draws at its point size.
QImage toQImage(const platform::Image& image);
// Every pixel in `color`, coverage kept (SourceIn).
QImage tinted(const QImage& image, const QColor& color);
// The picture at `topLeft` in points; a template picture tinted with `templateColor`.
void drawImage(QPainter& painter, const platform::Image& image, QPointF topLeft, const QColor& templateColor);

}  // namespace vimbo::views
