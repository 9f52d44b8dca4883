#include "Views/Widgets/CapturedMenuBarSearchRow.h"

#include <QMouseEvent>
#include <QPainter>

#include "Views/Widgets/CapturedMenuBarGlyph.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kPadding = 10;
constexpr int kSpacing = 10;
constexpr int kIconSide = 26;
constexpr int kGlyphSlot = 30;
constexpr int kMinimumGap = 4;
constexpr int kLineSpacing = 2;

QFont nameFont() { return views::font(13, SymbolWeight::medium); }
QFont ownerFont() { return views::font(TextStyle::caption2); }

}  // namespace

CapturedMenuBarSearchRow::CapturedMenuBarSearchRow(const platform::Workspace& workspace, QWidget* parent)
    : QWidget(parent), workspace_(workspace) {
  setFixedHeight(rowHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setAttribute(Qt::WA_Hover);
  setContextMenuPolicy(Qt::PreventContextMenu);
}

void CapturedMenuBarSearchRow::setItem(const CapturedMenuBarItem& item) {
  item_ = item;
  icon_ = applicationIcon(item, workspace_);
  glyph_ = capturedMenuBarGlyph(item);
  setAccessibleName(QString::fromStdString(item.name));
  update();
}

void CapturedMenuBarSearchRow::setOnActivate(std::function<void()> onActivate) { onActivate_ = std::move(onActivate); }

QSize CapturedMenuBarSearchRow::sizeHint() const { return {300, rowHeight}; }

QRect CapturedMenuBarSearchRow::textRect() const {
  int left = kPadding + kIconSide + kSpacing;
  int right = width() - kPadding - kGlyphSlot - kSpacing - kMinimumGap - kSpacing;
  return QRect(left, 0, std::max(0, right - left), rowHeight);
}

QString CapturedMenuBarSearchRow::displayedName() const {
  return elided(QString::fromStdString(item_.name), nameFont(), textRect().width());
}

QString CapturedMenuBarSearchRow::displayedOwner() const {
  if (item_.ownerName.empty()) return {};
  return elided(QString::fromStdString(item_.ownerName), ownerFont(), textRect().width());
}

void CapturedMenuBarSearchRow::paintIcon(QPainter& painter, const QRect& box, const ApplicationIcon& icon) {
  if (icon.symbol) {
    SymbolCatalog::draw(painter, QRectF(box), qstr(*icon.symbol), theme::secondary());
  } else if (icon.image) {
    QImage image = toQImage(*icon.image);
    painter.drawImage(QRectF(box), image);
  }
}

void CapturedMenuBarSearchRow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(theme::quaternary(0.38));
  p.drawRoundedRect(QRectF(rect()), 8, 8);
  if (underMouse()) {
    // A faint highlight under the pointer, well apart from the selected and pinned fills.
    p.setBrush(theme::primary(pressed_ ? 0.07 : 0.035));
    p.drawRoundedRect(QRectF(rect()), 8, 8);
  }

  paintIcon(p, QRect(kPadding, (rowHeight - kIconSide) / 2, kIconSide, kIconSide), icon_);

  QRect text = textRect();
  QFontMetrics nameMetrics(nameFont());
  QFontMetrics ownerMetrics(ownerFont());
  QString owner = displayedOwner();
  int block = nameMetrics.height() + (owner.isEmpty() ? 0 : kLineSpacing + ownerMetrics.height());
  int top = (rowHeight - block) / 2;
  p.setFont(nameFont());
  p.setPen(theme::primary());
  p.drawText(QPoint(text.left(), top + nameMetrics.ascent()), displayedName());
  if (!owner.isEmpty()) {
    p.setFont(ownerFont());
    p.setPen(theme::secondary());
    p.drawText(QPoint(text.left(), top + nameMetrics.height() + kLineSpacing + ownerMetrics.ascent()), owner);
  }

  QRect slot(width() - kPadding - kGlyphSlot, (rowHeight - int(kGlyphSlotHeight)) / 2, kGlyphSlot, int(kGlyphSlotHeight));
  CapturedMenuBarGlyph::paint(p, slot, glyph_);
}

void CapturedMenuBarSearchRow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  pressed_ = true;
  update();
}

void CapturedMenuBarSearchRow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  update();
  if (rect().contains(event->position().toPoint()) && onActivate_) {
    auto activate = onActivate_;  // the panel may close and rebuild during the call
    activate();
  }
}

void CapturedMenuBarSearchRow::enterEvent(QEnterEvent* e) {
  update();
  QWidget::enterEvent(e);
}

void CapturedMenuBarSearchRow::leaveEvent(QEvent* e) {
  pressed_ = false;
  update();
  QWidget::leaveEvent(e);
}

}  // namespace vimbo::views
