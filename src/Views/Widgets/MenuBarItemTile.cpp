#include "Views/Widgets/MenuBarItemTile.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "Views/Widgets/CapturedMenuBarGlyph.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kTopPadding = 8;
constexpr int kGlyphFrameHeight = 29;
constexpr int kNameDrop = 14;  // the name's bottom edge below the glyph frame's
constexpr int kBadgeSide = 17;  // a 9-point lock padded 4 on every side

QColor mix(const QColor& a, const QColor& b, qreal t) {
  return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                          float(a.blueF() + (b.blueF() - a.blueF()) * t),
                          float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

}  // namespace

MenuBarItemTile::MenuBarItemTile(QWidget* parent) : QWidget(parent) {
  setContextMenuPolicy(Qt::PreventContextMenu);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setFocusPolicy(Qt::NoFocus);
  connect(&pressAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
    pressed_ = v.toReal();
    update();
  });
}

void MenuBarItemTile::setModel(const ManagerTileModel& model) {
  bool resized = model.name != model_.name || model.glyph.image != model_.glyph.image;
  model_ = model;
  setAccessibleName(QString::fromStdString(model.name));
  setPlainToolTip(this, QString::fromStdString(model.toolTip));
  if (resized) updateGeometry();
  update();
}

void MenuBarItemTile::setActions(std::function<void()> left, std::function<void()> right) {
  left_ = std::move(left);
  right_ = std::move(right);
}

QSize MenuBarItemTile::sizeHint() const {
  int width = 44;
  if (model_.glyph.image) width = std::max(width, int(std::ceil(pointSize(*model_.glyph.image).width())) + 8);
  return {width, tileHeight};
}

QSize MenuBarItemTile::minimumSizeHint() const { return {10, tileHeight}; }

void MenuBarItemTile::mousePressEvent(QMouseEvent* event) {
  std::function<void()> action;
  if (event->button() == Qt::LeftButton) action = left_;
  else if (event->button() == Qt::RightButton) action = right_;
  else {
    event->ignore();
    return;
  }
  event->accept();
  animatePress(true);
  // A copy of the closure: the action may change the store at once, and although the panel
  // applies that only on its next turn, nothing here depends on the tile's members afterwards.
  if (action) action();
}

void MenuBarItemTile::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->buttons() == Qt::NoButton) animatePress(false);
}

void MenuBarItemTile::animatePress(bool down) {
  pressAnimation_.stop();
  pressAnimation_.setStartValue(pressed_);
  pressAnimation_.setEndValue(down ? 1.0 : 0.0);
  motion::run(pressAnimation_, 0.12, motion::easeOut());
}

void MenuBarItemTile::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QRectF box(rect());
  if (pressed_ > 0) {
    qreal scale = 1 - 0.06 * pressed_;
    p.translate(box.center());
    p.scale(scale, scale);
    p.translate(-box.center());
  }
  QColor resting = model_.isBright ? theme::accent(0.2) : theme::primary(0.055);
  p.setPen(Qt::NoPen);
  p.setBrush(mix(resting, theme::accent(0.22), pressed_));
  p.drawRoundedRect(box, 12, 12);

  QRect glyphFrame(0, kTopPadding, width(), kGlyphFrameHeight);
  CapturedMenuBarGlyph::paint(p, glyphFrame, model_.glyph);

  QFont nameFont = views::font(9, SymbolWeight::semibold);
  QFontMetrics fm(nameFont);
  int nameBottom = glyphFrame.bottom() + 1 + kNameDrop;
  QString name = elided(QString::fromStdString(model_.name), nameFont, width() - 4);
  p.setFont(nameFont);
  p.setPen(theme::secondary());
  p.drawText(QPoint((width() - fm.horizontalAdvance(name)) / 2, nameBottom - fm.descent()), name);

  if (model_.showsLock) {
    QRectF badge(width() - kBadgeSide - 2, 1, kBadgeSide, kBadgeSide);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::material(theme::Material::thin));
    p.drawEllipse(badge);
    SymbolCatalog::draw(p, badge.adjusted(4, 4, -4, -4), QStringLiteral("lock.fill"), theme::secondary());
  }
}

}  // namespace vimbo::views

