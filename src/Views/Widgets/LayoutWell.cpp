#include "Views/Widgets/LayoutWell.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kChipSpacing = 7;
constexpr int kEdgeScrollStep = 12;

bool sameRow(const std::vector<CapturedMenuBarItem>& a, const std::vector<CapturedMenuBarItem>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.id == y.id && x.name == y.name && x.windowName == y.windowName && x.image == y.image &&
           x.originalFrame.width == y.originalFrame.width;
  });
}

// The row scrolls sideways only: a vertical wheel scrolls the page that holds the well.
class RowScrollArea : public QScrollArea {
 public:
  explicit RowScrollArea(QWidget* parent) : QScrollArea(parent) {}

 protected:
  void wheelEvent(QWheelEvent* event) override {
    const QPoint delta = event->angleDelta();
    if (std::abs(delta.y()) <= std::abs(delta.x())) return QScrollArea::wheelEvent(event);
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
      if (auto* page = qobject_cast<QAbstractScrollArea*>(w)) {
        QCoreApplication::sendEvent(page->verticalScrollBar(), event);
        return;
      }
    }
    event->ignore();
  }
};

class InsertionMark : public QWidget {
 public:
  explicit InsertionMark(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::accent());
    p.drawRoundedRect(QRectF(rect()), 1, 1);
  }
};

}  // namespace

LayoutWell::LayoutWell(MenuBarLayoutZone zone, Callbacks callbacks, QWidget* parent)
    : QWidget(parent), zone_(zone), callbacks_(std::move(callbacks)) {
  setAcceptDrops(true);
  setFixedHeight(kContentHeight + 2 * kPadding);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  empty_ = plainLabel(QStringLiteral("将项目拖到这里"), views::font(TextStyle::caption), theme::tertiary(), this);
  empty_->setAlignment(Qt::AlignCenter);

  scroll_ = new RowScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setWidgetResizable(true);
  scroll_->viewport()->setAutoFillBackground(false);
  row_ = new QWidget;
  rowLayout_ = new QHBoxLayout(row_);
  rowLayout_->setContentsMargins(12, 0, 12, 0);
  rowLayout_->setSpacing(kChipSpacing);
  scroll_->setWidget(row_);
  row_->setAutoFillBackground(false);  // setWidget turns it on
  mark_ = new InsertionMark(row_);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
  layout->addWidget(empty_);
  layout->addWidget(scroll_);
  scroll_->setFixedHeight(kContentHeight);
  empty_->setFixedHeight(kContentHeight);

  edgeTimer_.setInterval(40);
  connect(&edgeTimer_, &QTimer::timeout, this, [this] {
    auto* bar = scroll_->horizontalScrollBar();
    bar->setValue(bar->value() + edgeDirection_ * kEdgeScrollStep);
  });
  setItems({});
}

bool LayoutWell::showsEmptyHint() const { return !empty_->isHidden(); }

void LayoutWell::setItems(const std::vector<CapturedMenuBarItem>& items) {
  if (built_ && sameRow(items, items_)) return;
  built_ = true;
  items_ = items;
  clearFeedback();
  for (auto* chip : chips_) delete chip;
  chips_.clear();
  while (auto* item = rowLayout_->takeAt(0)) delete item;
  // Stretches on both sides centre a short row; a long one scrolls.
  rowLayout_->addStretch(1);
  for (const auto& item : items_) {
    auto callbacks = callbacks_.chipCallbacks ? callbacks_.chipCallbacks(item) : MenuBarLayoutItemView::Callbacks{};
    auto* chip = new MenuBarLayoutItemView(item, std::move(callbacks), row_);
    chips_.push_back(chip);
    rowLayout_->addWidget(chip, 0, Qt::AlignVCenter);
  }
  rowLayout_->addStretch(1);
  empty_->setVisible(items_.empty());
  scroll_->setVisible(!items_.empty());
}

std::optional<int64_t> LayoutWell::chipIndexAt(QPoint position) const {
  for (std::size_t i = 0; i < chips_.size(); ++i) {
    const QRect box(chips_[i]->mapTo(this, QPoint(0, 0)), chips_[i]->size());
    if (box.contains(position)) return static_cast<int64_t>(i);
  }
  return std::nullopt;
}

void LayoutWell::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box = QRectF(rect());
  QPainterPath path;
  path.addRoundedRect(box, 16, 16);
  p.fillPath(path, theme::controlBackground(0.64));
  if (targeted_) p.fillPath(path, theme::accent(0.06));
  const double width = targeted_ ? 1.5 : 0.7;
  const double inset = width / 2;
  QPainterPath border;
  border.addRoundedRect(box.adjusted(inset, inset, -inset, -inset), 16 - inset, 16 - inset);
  p.setPen(QPen(targeted_ ? theme::accent(0.7) : theme::primary(0.08), width));
  p.drawPath(border);
}

void LayoutWell::dragEnterEvent(QDragEnterEvent* event) {
  // Only plain text can name a window; the move that always follows decides the rest.
  if (!event->mimeData()->hasText()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void LayoutWell::dragMoveEvent(QDragMoveEvent* event) {
  const QPoint position = event->position().toPoint();
  updateEdgeScroll(position);
  const QString payload = event->mimeData()->text();
  if (!callbacks_.acceptsDrop || !callbacks_.acceptsDrop(payload)) {
    clearFeedback();
    event->ignore();
    return;
  }
  targeted_ = true;
  auto index = chipIndexAt(position);
  showMark(index ? static_cast<std::size_t>(*index) : chips_.size());
  update();
  event->acceptProposedAction();
}

void LayoutWell::dragLeaveEvent(QDragLeaveEvent* event) {
  clearFeedback();
  QWidget::dragLeaveEvent(event);
}

void LayoutWell::dropEvent(QDropEvent* event) {
  const auto index = chipIndexAt(event->position().toPoint());
  clearFeedback();
  // A drop may still arrive while the page is disabled for an apply: the editor refuses it.
  const bool accepted = event->mimeData()->hasText() && callbacks_.drop &&
                        callbacks_.drop(event->mimeData()->text(), index);
  if (accepted) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void LayoutWell::showMark(std::optional<std::size_t> index) {
  markIndex_ = index;
  if (!index || chips_.empty()) {
    mark_->hide();
    return;
  }
  int x = 0;
  if (*index < chips_.size()) {
    x = chips_[*index]->geometry().left() - kChipSpacing / 2 - 1;
  } else {
    x = chips_.back()->geometry().right() + 1 + kChipSpacing / 2 - 1;
  }
  const int height = int(LayoutChipMetrics::height);
  mark_->setGeometry(x, (row_->height() - height) / 2, 2, height);
  mark_->raise();
  mark_->show();
}

void LayoutWell::clearFeedback() {
  markIndex_.reset();
  mark_->hide();
  edgeTimer_.stop();
  edgeDirection_ = 0;
  if (targeted_) {
    targeted_ = false;
    update();
  }
}

void LayoutWell::updateEdgeScroll(QPoint position) {
  int direction = 0;
  if (position.x() < kEdgeScrollZone) direction = -1;
  if (position.x() > width() - kEdgeScrollZone) direction = 1;
  edgeDirection_ = direction;
  if (direction == 0) {
    edgeTimer_.stop();
  } else if (!edgeTimer_.isActive()) {
    auto* bar = scroll_->horizontalScrollBar();
    bar->setValue(bar->value() + direction * kEdgeScrollStep);
    edgeTimer_.start();
  }
}

}  // namespace vimbo::views
