#include "Views/Widgets/SettingsPanels.h"

#include <QHBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QVBoxLayout>

#include "Views/Widgets/Surfaces.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

FilledBox* roundedPanel(const QColor& fill, double radius, const QColor& stroke, double strokeWidth, QWidget* parent) {
  auto* box = new FilledBox(fill, radius, parent);
  box->setStroke(stroke, strokeWidth);
  return box;
}

SymbolTile::SymbolTile(int side, double radius, Fill fill, const QString& symbol, int symbolSize, QColor symbolColor,
                       QWidget* parent)
    : QWidget(parent),
      radius_(radius),
      fill_(std::move(fill)),
      symbol_(symbol),
      symbolSize_(symbolSize),
      symbolColor_(symbolColor) {
  setFixedSize(side, side);
}

SymbolTile::Fill SymbolTile::solid(QColor color) {
  return [color](const QRectF&) { return QBrush(color); };
}

void SymbolTile::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box = QRectF(rect());
  QPainterPath path;
  path.addRoundedRect(box, radius_, radius_);
  p.fillPath(path, fill_(box));
  QRectF symbolBox(0, 0, symbolSize_, symbolSize_);
  symbolBox.moveCenter(box.center());
  SymbolCatalog::draw(p, symbolBox, symbol_, symbolColor_);
}

QWidget* sectionLabel(const QString& title, const QString& symbol, QWidget* parent) {
  auto* label = new QWidget(parent);
  auto* row = new QHBoxLayout(label);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  row->addWidget(new SymbolView(symbol, 15, theme::primary(), label));
  row->addWidget(plainLabel(title, views::font(15, SymbolWeight::semibold), theme::primary(), label));
  row->addStretch(1);
  return label;
}

FormSection::FormSection(const QString& header, QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6);
  if (!header.isEmpty()) {
    auto* title = plainLabel(header, views::font(TextStyle::body, SymbolWeight::semibold), theme::primary(), this);
    title->setContentsMargins(4, 0, 0, 0);
    column->addWidget(title);
  }
  auto* group = roundedPanel(theme::controlBackground(), 8, theme::primary(0.08), 1, this);
  rows_ = new QVBoxLayout(group);
  rows_->setContentsMargins(0, 4, 0, 4);
  rows_->setSpacing(0);
  column->addWidget(group);
}

void FormSection::addRow(QWidget* row) {
  if (rows_->count() > 0) rows_->addWidget(new Divider(0.8));
  auto* holder = new QWidget(this);
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(10, 7, 10, 7);
  layout->addWidget(row);
  rows_->addWidget(holder);
}

QWidget* FormSection::addLabelledRow(const QString& title, QWidget* content) {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addWidget(plainLabel(title, views::font(TextStyle::body), theme::primary(), row));
  layout->addStretch(1);
  content->setParent(row);
  layout->addWidget(content);
  addRow(row);
  return row;
}

namespace {

constexpr const char* kDimmingProperty = "vimboDimming";

// The veil over a dimmed widget: above every child, as large as the widget, and blind to the mouse.
class DimVeil : public QWidget {
 public:
  explicit DimVeil(QWidget* target) : QWidget(target) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    target->installEventFilter(this);
    setGeometry(target->rect());
  }
  void setColor(const QColor& color) {
    color_ = color;
    update();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parent()) {
      if (event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
      if (event->type() == QEvent::ChildAdded || event->type() == QEvent::LayoutRequest) raise();
    }
    return false;
  }
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), color_); }

 private:
  QColor color_;
};

DimVeil* veilOf(QWidget* widget) {
  for (auto* child : widget->children()) {
    if (auto* veil = dynamic_cast<DimVeil*>(child)) return veil;
  }
  return nullptr;
}

}  // namespace

void setDimmed(QWidget* widget, double opacity, const QColor& backdrop) {
  opacity = std::clamp(opacity, 0.0, 1.0);
  widget->setProperty(kDimmingProperty, opacity);
  DimVeil* veil = veilOf(widget);
  if (opacity >= 1) {
    if (veil) veil->hide();
    return;
  }
  if (!veil) veil = new DimVeil(widget);
  QColor color = backdrop;
  color.setAlphaF(float(1 - opacity));
  veil->setColor(color);
  veil->setGeometry(widget->rect());
  veil->raise();
  veil->show();
}

double dimming(const QWidget* widget) {
  const QVariant value = widget->property(kDimmingProperty);
  return value.isValid() ? value.toDouble() : 1;
}

double effectiveDimming(const QWidget* widget) {
  double opacity = 1;
  for (const QWidget* w = widget; w; w = w->parentWidget()) opacity *= dimming(w);
  return opacity;
}

QLabel* wrappingLabel(const QString& text, const QFont& f, const QColor& color, QWidget* parent) {
  auto* label = plainLabel(text, f, color, parent);
  label->setWordWrap(true);
  label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
  return label;
}

LineLimitedLabel::LineLimitedLabel(const QString& text, const QFont& f, const QColor& color, int maxLines,
                                   QWidget* parent)
    : QWidget(parent), text_(text), color_(color), maxLines_(std::max(1, maxLines)) {
  setFont(f);
  QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  setAccessibleName(text);
}

QStringList LineLimitedLabel::lines(int width) const {
  if (width <= 0 || text_.isEmpty()) return {};
  QTextLayout layout(text_, font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  QStringList out;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (out.size() == maxLines_ - 1) {
      // The last line allowed takes the rest of the text, elided.
      out.append(fontMetrics().elidedText(text_.mid(line.textStart()), Qt::ElideRight, width));
      break;
    }
    out.append(text_.mid(line.textStart(), line.textLength()));
  }
  layout.endLayout();
  return out;
}

int LineLimitedLabel::heightForWidth(int width) const {
  return std::max<int>(1, int(lines(width).size())) * fontMetrics().lineSpacing();
}

QSize LineLimitedLabel::sizeHint() const {
  const int natural = fontMetrics().horizontalAdvance(text_) + 1;
  return {natural, heightForWidth(natural)};
}

QSize LineLimitedLabel::minimumSizeHint() const {
  return {fontMetrics().averageCharWidth() * 4, fontMetrics().lineSpacing()};
}

void LineLimitedLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(color_);
  const QStringList shown = lines(width());
  const int lineHeight = fontMetrics().lineSpacing();
  int y = (height() - int(shown.size()) * lineHeight) / 2;
  for (const QString& line : shown) {
    p.drawText(QRect(0, y, width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
    y += lineHeight;
  }
}

}  // namespace vimbo::views
