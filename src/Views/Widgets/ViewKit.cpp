#include "Views/Widgets/ViewKit.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QToolTip>
#include <QVariantAnimation>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "Platform/Desktop/Appearance.h"

namespace vimbo::views {

namespace {

QColor withAlpha(QColor c, double opacity) {
  c.setAlphaF(float(std::clamp(c.alphaF() * opacity, 0.0, 1.0)));
  return c;
}

QColor black(double base, double opacity) { return withAlpha(QColor(0, 0, 0), base * opacity); }

bool motionEnabled = true;

}  // namespace

namespace theme {

QColor accent(double opacity) { return withAlpha(QColor(0x00, 0x7A, 0xFF), opacity); }

QLinearGradient accentGradient(const QRectF& rect) {
  QLinearGradient g(rect.topLeft(), rect.bottomRight());
  g.setColorAt(0, QColor(0x4D, 0xA3, 0xFF));
  g.setColorAt(1, accent());
  return g;
}

QColor primary(double opacity) { return views::black(0.85, opacity); }
QColor secondary(double opacity) { return views::black(0.50, opacity); }
QColor tertiary(double opacity) { return views::black(0.26, opacity); }
QColor quaternary(double opacity) { return views::black(0.10, opacity); }
QColor orange(double opacity) { return withAlpha(QColor(0xFF, 0x95, 0x00), opacity); }
QColor red(double opacity) { return withAlpha(QColor(0xFF, 0x3B, 0x30), opacity); }
QColor green(double opacity) { return withAlpha(QColor(0x28, 0xCD, 0x41), opacity); }
QColor white(double opacity) { return withAlpha(QColor(0xFF, 0xFF, 0xFF), opacity); }
QColor black(double opacity) { return withAlpha(QColor(0, 0, 0), opacity); }
QColor windowBackground(double opacity) { return withAlpha(QColor(0xEC, 0xEC, 0xEC), opacity); }
QColor controlBackground(double opacity) { return withAlpha(QColor(0xFF, 0xFF, 0xFF), opacity); }

QColor material(Material material, double opacity) {
  switch (material) {
    case Material::ultraThin: return withAlpha(QColor(0xF2, 0xF2, 0xF2), opacity);
    case Material::thin: return withAlpha(QColor(0xF5, 0xF5, 0xF5), 0.9 * opacity);
    case Material::regular: return withAlpha(QColor(0xF6, 0xF6, 0xF6), 0.95 * opacity);
  }
  return {};
}

QColor color(const Color& c, double opacity) {
  QColor q;
  q.setRgbF(float(std::clamp(c.red, 0.0, 1.0)), float(std::clamp(c.green, 0.0, 1.0)),
            float(std::clamp(c.blue, 0.0, 1.0)), float(std::clamp(c.opacity * opacity, 0.0, 1.0)));
  return q;
}

QColor color(GlyphTint tint) {
  switch (tint) {
    case GlyphTint::secondary: return secondary();
    case GlyphTint::accent: return accent();
    case GlyphTint::primary:
    case GlyphTint::original: break;
  }
  return primary();
}

}  // namespace theme

QFont font(int size, SymbolWeight weight) {
  QFont::Weight w = QFont::Normal;
  switch (weight) {
    case SymbolWeight::regular: w = QFont::Normal; break;
    case SymbolWeight::medium: w = QFont::Medium; break;
    case SymbolWeight::semibold: w = QFont::DemiBold; break;
    case SymbolWeight::bold: w = QFont::Bold; break;
  }
  return desktop::uiFont(size, w);
}

QFont font(TextStyle style, SymbolWeight weight) {
  switch (style) {
    case TextStyle::caption:
    case TextStyle::caption2: return font(10, weight);
    case TextStyle::callout: return font(12, weight);
    case TextStyle::body: return font(13, weight);
    case TextStyle::title2: return font(17, weight);
    case TextStyle::title: return font(22, weight);
  }
  return font(13, weight);
}

QFont withTabularDigits(QFont f) {
  QStringList families = desktop::fontFamilies();
  families.removeAll(QStringLiteral("DejaVu Sans"));
  families.prepend(QStringLiteral("DejaVu Sans"));
  f.setFamilies(families);
  return f;
}

namespace motion {

bool enabled() { return motionEnabled; }
void setEnabled(bool enabled) { motionEnabled = enabled; }
int duration(double seconds) { return motionEnabled ? int(seconds * 1000 + 0.5) : 0; }

QEasingCurve easeOut() {
  QEasingCurve c(QEasingCurve::BezierSpline);
  c.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
  return c;
}

QEasingCurve easeIn() {
  QEasingCurve c(QEasingCurve::BezierSpline);
  c.addCubicBezierSegment(QPointF(0.42, 0), QPointF(1, 1), QPointF(1, 1));
  return c;
}

void run(QVariantAnimation& animation, double seconds, const QEasingCurve& curve) {
  animation.stop();
  animation.setEasingCurve(curve);
  // A zero-length animation lands on its end value and finishes inside start().
  animation.setDuration(duration(seconds));
  animation.start();
}

}  // namespace motion

QString qstr(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

QLabel* plainLabel(const QString& text, const QFont& f, const QColor& color, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->setFont(f);
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, color);
  label->setPalette(p);
  return label;
}

void setPlainToolTip(QWidget* widget, const QString& text) {
  widget->setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal));
}

QString elided(const QString& text, const QFont& f, int width) {
  return QFontMetrics(f).elidedText(text, Qt::ElideRight, std::max(width, 0));
}

namespace {

// Where a path in running text stops: at a space or at the full-width punctuation of the sentence.
bool endsPath(QChar c) {
  const char16_t u = c.unicode();
  return c.isSpace() || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF01 && u <= 0xFF0F) || (u >= 0xFF1A && u <= 0xFF20);
}

constexpr char16_t kWordJoiner = 0x2060;  // no break here
constexpr char16_t kBreakHere = 0x200B;   // a break is allowed here

// The paragraph with marks for the line breaker inside each path: a break is allowed before the
// path and after each inner separator, nowhere else in it. `inserted` flags the marks.
QString markPaths(const QString& paragraph, std::vector<bool>& inserted) {
  QString marked;
  auto put = [&](QChar c, bool mark) {
    marked.append(c);
    inserted.push_back(mark);
  };
  for (qsizetype i = 0; i < paragraph.size();) {
    const bool startsPath = paragraph[i] == QLatin1Char('/') && (i == 0 || endsPath(paragraph[i - 1]));
    if (!startsPath) {
      put(paragraph[i++], false);
      continue;
    }
    if (i > 0) put(kBreakHere, true);  // text rules keep a "/" with the space before it
    const qsizetype begin = i;
    for (; i < paragraph.size() && !endsPath(paragraph[i]); ++i) {
      if (i > begin && !paragraph[i].isLowSurrogate())
        put(paragraph[i - 1] == QLatin1Char('/') && i - 1 > begin ? kBreakHere : kWordJoiner, true);
      put(paragraph[i], false);
    }
  }
  return marked;
}

}  // namespace

QStringList brokenLines(const QString& text, const QFont& f, int width) {
  QStringList lines;
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    std::vector<bool> inserted;
    const QString marked = markPaths(paragraph, inserted);
    QTextLayout layout(marked, f);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    const qsizetype before = lines.size();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      QString shown;
      for (int i = line.textStart(); i < line.textStart() + line.textLength(); ++i)
        if (!inserted[size_t(i)]) shown.append(marked[i]);
      lines.append(shown.trimmed());
    }
    layout.endLayout();
    if (lines.size() == before) lines.append(QString());  // an empty line stays a line
  }
  return lines;
}

// MARK: Tool tips

namespace {

QColor toolTipFill() { return theme::material(theme::Material::regular, 1 / 0.95); }

// The tool tip's panel: the kit's fill and hairline instead of Fusion's dark frame.
class HouseStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_PanelTipLabel) return QProxyStyle::drawPrimitive(element, option, painter, widget);
    painter->save();
    painter->fillRect(option->rect, toolTipFill());
    painter->setPen(QPen(theme::primary(0.18), 0));
    painter->drawRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5));
    painter->restore();
  }
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_ToolTipLabelFrameWidth) return 4;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

// Shows a widget's tool tip through toolTipMarkup, whatever set it.
class ToolTipFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ToolTip || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    const QString tip = widget->toolTip();
    if (tip.isEmpty()) return false;  // the parent's, if any, shows instead
    QString plain = Qt::mightBeRichText(tip) ? QTextDocumentFragment::fromHtml(tip).toPlainText() : tip;
    plain.replace(QChar::Nbsp, QLatin1Char(' '));
    auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), toolTipMarkup(plain), widget, QRect(), widget->toolTipDuration());
    event->accept();
    return true;
  }
};

}  // namespace

QFont toolTipFont() { return font(TextStyle::callout); }

QString toolTipMarkup(const QString& plain) {
  QStringList lines;
  for (const QString& paragraph : plain.split(QLatin1Char('\n'))) {
    const qsizetype before = lines.size();
    QTextLayout layout(paragraph, toolTipFont());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(kToolTipWidth);
      lines.append(paragraph.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    if (lines.size() == before) lines.append(QString());  // an empty line stays a line
  }
  // Pre-formatted, so the label shows exactly these lines; escaped, so nothing reads as markup.
  for (QString& line : lines) line = line.toHtmlEscaped();
  return QStringLiteral("<p style='white-space:pre'>") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

QStyle* houseStyle() { return new HouseStyle(QStyleFactory::create(QStringLiteral("Fusion"))); }

void installToolTips() {
  QToolTip::setFont(toolTipFont());
  QPalette p = QToolTip::palette();
  p.setColor(QPalette::ToolTipBase, toolTipFill());
  p.setColor(QPalette::ToolTipText, theme::primary());
  p.setColor(QPalette::Window, toolTipFill());
  p.setColor(QPalette::WindowText, theme::primary());
  QToolTip::setPalette(p);
  static ToolTipFilter* filter = nullptr;
  if (!filter) {
    filter = new ToolTipFilter(qApp);
    qApp->installEventFilter(filter);
  }
}

void styleScrollArea(QAbstractScrollArea& area) {
  area.setFrameShape(QFrame::NoFrame);
  area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area.viewport()->setAutoFillBackground(false);
  area.setStyleSheet(QStringLiteral(
      "QScrollBar:vertical { width: 8px; background: transparent; margin: 2px 1px 2px 0px; }"
      "QScrollBar::handle:vertical { background: rgba(0, 0, 0, 70); border-radius: 3px; min-height: 24px; }"
      "QScrollBar::handle:vertical:hover { background: rgba(0, 0, 0, 110); }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
}

QSizeF pointSize(const platform::Image& image) {
  Size s = image.pointSize();
  if (s.width <= 0 || s.height <= 0) return {double(image.pixelWidth()), double(image.pixelHeight())};
  return {s.width, s.height};
}

QImage toQImage(const platform::Image& image) {
  QImage q(reinterpret_cast<const uchar*>(image.pixels().data()), image.pixelWidth(), image.pixelHeight(),
           image.pixelWidth() * 4, QImage::Format_RGBA8888);
  QImage owned = q.copy();
  QSizeF points = pointSize(image);
  owned.setDevicePixelRatio(points.width() > 0 ? image.pixelWidth() / points.width() : 1.0);
  return owned;
}

QImage tinted(const QImage& image, const QColor& color) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  qreal ratio = out.devicePixelRatio();
  out.setDevicePixelRatio(1);  // fill every pixel, whatever the ratio
  {
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), color);
  }
  out.setDevicePixelRatio(ratio);
  return out;
}

void drawImage(QPainter& painter, const platform::Image& image, QPointF topLeft, const QColor& templateColor) {
  QImage q = toQImage(image);
  if (image.isTemplate()) q = tinted(q, templateColor);
  painter.drawImage(QRectF(topLeft, pointSize(image)), q);
}

}  // namespace vimbo::views
