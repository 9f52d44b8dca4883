#include "Views/Widgets/MenuBarSearchPanel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Store/MenuBarStore.h"
#include "Views/MenuBarSearchSession.h"
#include "Views/Widgets/CapturedMenuBarGlyph.h"
#include "Views/Widgets/CapturedMenuBarSearchRow.h"
#include "Views/Widgets/Spinner.h"
#include "Views/Widgets/Surfaces.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/TextLabel.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kRowPadding = 7;
constexpr int kRowSpacing = 9;
constexpr int kHintWidth = 35;
constexpr int kIconSide = 26;
constexpr int kGlyphSlot = 30;
constexpr int kMinimumGap = 4;
constexpr int kListSidePadding = 8;
// Rows built beyond each edge of the view, so a short scroll finds them ready.
constexpr int64_t kRowMargin = 4;

QFont nameFont(bool selected) { return views::font(14, selected ? SymbolWeight::semibold : SymbolWeight::medium); }

}  // namespace

// MARK: - Row

QuickSearchRow::QuickSearchRow(MenuBarSearchPanel& panel, const platform::Workspace& workspace, QWidget* parent)
    : QWidget(parent), panel_(panel), workspace_(workspace) {
  setMouseTracking(true);
  setContextMenuPolicy(Qt::PreventContextMenu);
}

void QuickSearchRow::setModel(const SearchRowModel& model) {
  model_ = model;
  icon_ = applicationIcon(model.item, workspace_);  // asked again at every rebuild: nothing cached
  glyph_ = capturedMenuBarGlyph(model.item);
  setAccessibleName(QString::fromStdString(model.item.name));
  update();
}

QString QuickSearchRow::displayedName() const {
  int left = kRowPadding + kHintWidth + kRowSpacing + kIconSide + kRowSpacing;
  int right = width() - kRowPadding - kGlyphSlot - kRowSpacing - kMinimumGap - kRowSpacing;
  return elided(QString::fromStdString(model_.item.name), nameFont(model_.selected), right - left);
}

void QuickSearchRow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(model_.selected ? theme::accent(0.2) : theme::primary(0.045));
  p.drawRoundedRect(QRectF(rect()), 8, 8);

  int x = kRowPadding;
  QFont hintFont = views::font(17, SymbolWeight::medium);
  p.setFont(hintFont);
  p.setPen(model_.selected ? theme::primary() : theme::secondary());
  p.drawText(QRect(x, 0, kHintWidth, rowHeight), Qt::AlignCenter, QString::fromStdString(model_.hint));
  x += kHintWidth + kRowSpacing;

  CapturedMenuBarSearchRow::paintIcon(p, QRect(x, (rowHeight - kIconSide) / 2, kIconSide, kIconSide), icon_);
  x += kIconSide + kRowSpacing;

  QFont name = nameFont(model_.selected);
  QFont subtitle = views::font(TextStyle::caption2);
  QFontMetrics nameMetrics(name);
  QFontMetrics subtitleMetrics(subtitle);
  int block = nameMetrics.height() + 1 + subtitleMetrics.height();  // the subtitle always takes its room
  int top = (rowHeight - block) / 2;
  p.setFont(name);
  p.setPen(theme::primary());
  p.drawText(QPoint(x, top + nameMetrics.ascent()), displayedName());
  if (model_.selected) {
    p.setFont(subtitle);
    p.setPen(theme::secondary());
    p.drawText(QPoint(x, top + nameMetrics.height() + 1 + subtitleMetrics.ascent()),
               QString::fromUtf8(MenuBarSearchPanelModel::subtitle));
  }

  QRect slot(width() - kRowPadding - kGlyphSlot, (rowHeight - int(kGlyphSlotHeight)) / 2, kGlyphSlot,
             int(kGlyphSlotHeight));
  CapturedMenuBarGlyph::paint(p, slot, glyph_);
}

void QuickSearchRow::mouseMoveEvent(QMouseEvent* event) {
  panel_.pointerMoved(*this, event->globalPosition());
  QWidget::mouseMoveEvent(event);
}

void QuickSearchRow::leaveEvent(QEvent* event) {
  panel_.pointerLeft(*this);
  QWidget::leaveEvent(event);
}

void QuickSearchRow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
}

void QuickSearchRow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if (rect().contains(event->position().toPoint())) panel_.rowClicked(*this);
}

// MARK: - Panel

MenuBarSearchPanel::MenuBarSearchPanel(MenuBarStore& store, MenuBarSearchSession& session, QuickSearchActions actions,
                                       async::Executor& executor, const platform::Workspace& workspace,
                                       QWidget* parent)
    : QWidget(parent),
      executor_(executor),
      workspace_(workspace),
      model_(std::make_unique<MenuBarSearchPanelModel>(store, session, std::move(actions))) {
  setFixedSize(contentWidth, contentHeight);
  setAttribute(Qt::WA_TranslucentBackground);  // the corners show what lies beneath
  setAutoFillBackground(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* header = new QWidget(this);
  header->setFixedHeight(headerHeight);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(15, 0, 15, 0);
  row->setSpacing(12);
  row->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 23, theme::secondary(), header));
  field_ = new QLineEdit(header);
  field_->setObjectName(QStringLiteral("queryField"));
  field_->setFrame(false);
  field_->setFont(views::font(20));
  field_->setPlaceholderText(QStringLiteral("搜索菜单栏项目"));
  field_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; padding: 0px; }"));
  connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) { model_->editQuery(text.toStdString()); });
  row->addWidget(field_, 1);
  auto* mark = new SymbolView(QStringLiteral("rectangle.3.group.fill"), 21, theme::secondary(), header);
  mark->setBoxSize(QSize(28, 28));
  row->addWidget(mark);
  layout->addWidget(header);
  layout->addWidget(new Divider(0.7, this));

  waiting_ = new QWidget(this);
  waiting_->setObjectName(QStringLiteral("waiting"));
  auto* waitingColumn = new QVBoxLayout(waiting_);
  waitingColumn->setSpacing(8);
  waitingColumn->addStretch(1);
  waitingColumn->addWidget(new Spinner(16, waiting_), 0, Qt::AlignHCenter);
  waitingText_ = new TextLabel(QString(), views::font(TextStyle::callout), theme::secondary(), waiting_);
  waitingText_->setObjectName(QStringLiteral("waitingText"));
  waitingText_->setAlignment(Qt::AlignCenter);
  waitingColumn->addWidget(waitingText_);
  waitingColumn->addStretch(1);
  layout->addWidget(waiting_, 1);

  noMatch_ = new UnavailableContent(QStringLiteral("magnifyingglass"), QStringLiteral("没有匹配项目"), this);
  noMatch_->setObjectName(QStringLiteral("noMatch"));
  layout->addWidget(noMatch_, 1);

  list_ = new QScrollArea(this);
  list_->setObjectName(QStringLiteral("list"));
  styleScrollArea(*list_);
  list_->setWidgetResizable(false);
  rowsHost_ = new QWidget;
  rowsHost_->setMouseTracking(true);
  list_->setWidget(rowsHost_);
  rowsHost_->setAutoFillBackground(false);  // the card shows through
  list_->viewport()->installEventFilter(this);
  layout->addWidget(list_, 1);

  scrollAnimation_ = new QPropertyAnimation(list_->verticalScrollBar(), "value", this);
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    if (!applying_) buildRowsInView(false);
  });

  model_->onChange = [this] { applyLater_.request(); };
  model_->onScroll = [this](SearchScrollRequest request) {
    // Rows are rebuilt on the next turn; the scroll follows them there. A move into view wins
    // over a jump to the top asked for in the same turn only if it came later.
    pendingScroll_ = request;
    applyLater_.request();
  };
  applyNow();
}

MenuBarSearchPanel::~MenuBarSearchPanel() {
  model_->onChange = nullptr;
  model_->onScroll = nullptr;
  // The children go after the model: nothing of theirs may call back into this panel then.
  list_->verticalScrollBar()->disconnect(this);
  list_->viewport()->removeEventFilter(this);
}

void MenuBarSearchPanel::applyNow() {
  QString query = QString::fromStdString(model_->query());
  if (field_->text() != query) {
    QSignalBlocker quiet(field_);
    field_->setText(query);
  }
  SearchPanelContent content = model_->content();
  waiting_->setVisible(content == SearchPanelContent::waitingForItems);
  waitingText_->setText(QString::fromStdString(model_->waitingText()));
  noMatch_->setVisible(content == SearchPanelContent::noMatch);
  list_->setVisible(content == SearchPanelContent::list);

  // The list takes its full height and its scroll first, so rows are built once, where they show.
  applying_ = true;
  placeRows();
  if (auto request = std::exchange(pendingScroll_, std::nullopt)) performScroll(*request);
  applying_ = false;
  buildRowsInView(true);
}

QuickSearchRow* MenuBarSearchPanel::row(int64_t index) const {
  if (index < firstRow_ || index >= firstRow_ + int64_t(rows_.size())) return nullptr;
  return rows_[std::size_t(index - firstRow_)];
}

void MenuBarSearchPanel::placeRows() {
  int w = list_->viewport()->width();
  int64_t n = model_->resultCount();
  int hostHeight = n == 0 ? 0 : int(2 * listTopPadding + n * rowPitch - 1);
  rowsHost_->resize(w, hostHeight);
  for (std::size_t i = 0; i < rows_.size(); ++i)
    rows_[i]->setGeometry(kListSidePadding, listTopPadding + int(firstRow_ + int64_t(i)) * rowPitch,
                          w - 2 * kListSidePadding, QuickSearchRow::rowHeight);
}

// Builds the rows that the view shows now, with their margins, reusing the ones that left it. A
// row that stays keeps what it was built with unless everything is rebuilt.
void MenuBarSearchPanel::buildRowsInView(bool rebuildAll) {
  const int64_t n = model_->resultCount();
  const int top = list_->verticalScrollBar()->value();
  const int height = list_->viewport()->height();
  int64_t first = std::max<int64_t>(0, (top - listTopPadding) / rowPitch - kRowMargin);
  int64_t end = std::min<int64_t>(n, (top + height - listTopPadding) / rowPitch + 1 + kRowMargin);
  if (end < first) end = first;

  std::vector<QuickSearchRow*> kept(std::size_t(end - first), nullptr);
  std::vector<QuickSearchRow*> spare;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    int64_t index = firstRow_ + int64_t(i);
    if (index >= first && index < end) kept[std::size_t(index - first)] = rows_[i];
    else spare.push_back(rows_[i]);
  }
  const int w = list_->viewport()->width();
  for (int64_t index = first; index < end; ++index) {
    QuickSearchRow*& row = kept[std::size_t(index - first)];
    const bool fresh = row == nullptr;
    if (fresh) {
      if (!spare.empty()) {
        row = spare.back();
        spare.pop_back();
      } else {
        row = new QuickSearchRow(*this, workspace_, rowsHost_);
      }
      row->setGeometry(kListSidePadding, listTopPadding + int(index) * rowPitch, w - 2 * kListSidePadding,
                       QuickSearchRow::rowHeight);
    }
    if (fresh || rebuildAll) row->setModel(model_->row(index));
    if (fresh) row->show();
  }
  for (QuickSearchRow* row : spare) {
    row->hide();
    row->deleteLater();  // never inside its own handler: this runs on a later turn or a scroll
  }
  rows_ = std::move(kept);
  firstRow_ = first;
}

void MenuBarSearchPanel::performScroll(SearchScrollRequest request) {
  QScrollBar* bar = list_->verticalScrollBar();
  scrollAnimation_->stop();
  if (request == SearchScrollRequest::toTop) {
    bar->setValue(0);
    return;
  }
  int64_t selected = model_->selectedIndex();
  if (selected < 0 || selected >= model_->resultCount()) return;
  int top = listTopPadding + int(selected) * rowPitch;
  int bottom = top + QuickSearchRow::rowHeight;
  int viewport = list_->viewport()->height();
  int value = bar->value();
  int target = value;
  if (top < value) target = top;
  else if (bottom > value + viewport) target = bottom - viewport;
  target = std::clamp(target, bar->minimum(), bar->maximum());
  if (target == value) return;
  scrollAnimation_->setStartValue(value);
  scrollAnimation_->setEndValue(target);
  motion::run(*scrollAnimation_, 0.12, motion::easeOut());
}

void MenuBarSearchPanel::pointerMoved(const QuickSearchRow& row, QPointF globalPosition) {
  // Only real motion selects: a list scrolling under a still pointer moves no pointer.
  if (lastPointer_ && *lastPointer_ == globalPosition) return;
  lastPointer_ = globalPosition;
  // Entering a row selects it; moving on inside it leaves a selection the keys have made since.
  const std::uint32_t item = row.model().item.id;
  if (hoveredItem_ == item) return;
  hoveredItem_ = item;
  if (row.model().selected) return;
  model_->pointerMovedInto(row.model().index);
}

void MenuBarSearchPanel::pointerLeft(const QuickSearchRow& row) {
  if (hoveredItem_ == row.model().item.id) hoveredItem_.reset();
}

void MenuBarSearchPanel::rowClicked(const QuickSearchRow& row) { model_->click(row.model().index); }

void MenuBarSearchPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QRectF card(rect());
  p.setPen(Qt::NoPen);
  p.setBrush(theme::material(theme::Material::regular));
  p.drawRoundedRect(card, 18, 18);
  p.setPen(QPen(theme::white(0.18), 0.7));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(card.adjusted(0.35, 0.35, -0.35, -0.35), 17.65, 17.65);
}

void MenuBarSearchPanel::showEvent(QShowEvent*) {
  field_->setFocus(Qt::OtherFocusReason);
  model_->shown();
}

void MenuBarSearchPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    model_->exitCommand();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool MenuBarSearchPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize) {
    placeRows();
    buildRowsInView(false);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace vimbo::views
