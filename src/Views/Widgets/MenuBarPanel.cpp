#include "Views/Widgets/MenuBarPanel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <map>

#include "Store/MenuBarStore.h"
#include "Views/Widgets/CapturedMenuBarSearchRow.h"
#include "Views/Widgets/MenuBarItemWell.h"
#include "Views/Widgets/PlainButton.h"
#include "Views/Widgets/Spinner.h"
#include "Views/Widgets/Surfaces.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/TextLabel.h"
#include "Views/Widgets/Toast.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

// The product mark: three rounded rectangles in white on the accent gradient.
class ProductMark : public QWidget {
 public:
  explicit ProductMark(QWidget* parent) : QWidget(parent) {
    setFixedSize(30, 30);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::accentGradient(QRectF(rect())));
    p.drawRoundedRect(QRectF(rect()), 8, 8);
    SymbolCatalog::draw(p, QRectF(7.5, 7.5, 15, 15), QStringLiteral("rectangle.3.group.fill"), theme::white());
  }
};

TextLabel* label(const QString& text, const QFont& f, const QColor& color, QWidget* parent) {
  return new TextLabel(text, f, color, parent);
}

template <class W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

MenuBarPanel::MenuBarPanel(MenuBarStore& store, ManagerPanelActions actions, async::Executor& executor,
                           const platform::Workspace& workspace, QWidget* parent)
    : QWidget(parent),
      executor_(executor),
      workspace_(workspace),
      model_(std::make_unique<MenuBarPanelModel>(store, std::move(actions), executor)) {
  setFixedSize(contentWidth, contentHeight);
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_NoSystemBackground);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(buildHeader());
  layout->addWidget(new Divider(0.6, this));

  auto* scroll = new QScrollArea(this);
  styleScrollArea(*scroll);
  scroll->setWidgetResizable(true);
  auto* body = new QWidget;
  auto* bodyLayout = new QVBoxLayout(body);
  bodyLayout->setContentsMargins(16, 16, 16, 16);
  bodyLayout->setSpacing(14);
  bodyLayout->addWidget(buildCollectedBar());
  bodyLayout->addWidget(buildResults());
  bodyLayout->addStretch(1);
  scroll->setWidget(body);
  body->setAutoFillBackground(false);  // the panel's own fill shows through
  layout->addWidget(scroll, 1);

  layout->addWidget(new Divider(0.6, this));
  layout->addWidget(buildFooter());

  toast_ = new Toast(model_->toast(), ToastStyle::manager(), this);

  storeChanges_ = store.objectWillChange.subscribe([this](std::uint64_t) { applyLater_.request(); });
  applyNow();
}

MenuBarPanel::~MenuBarPanel() = default;

QWidget* MenuBarPanel::buildHeader() {
  auto* header = new QWidget(this);
  header->setFixedHeight(54);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(16, 12, 16, 12);
  row->setSpacing(10);
  row->addWidget(new ProductMark(header));

  auto* titles = new QVBoxLayout;
  titles->setSpacing(1);
  titles->addWidget(label(QStringLiteral("Vimbo"), views::font(14, SymbolWeight::semibold), theme::primary(), header));
  subtitle_ = named(label(QString(), views::font(TextStyle::caption), theme::secondary(), header), "subtitle");
  titles->addWidget(subtitle_);
  row->addLayout(titles);
  row->addStretch(1);

  auto* field = new FilledBox(theme::quaternary(0.6), 8, header);
  field->setFixedSize(155, 30);
  auto* fieldRow = new QHBoxLayout(field);
  fieldRow->setContentsMargins(9, 0, 9, 0);
  fieldRow->setSpacing(6);
  fieldRow->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 13, theme::secondary(), field));
  searchField_ = named(new QLineEdit(field), "searchField");
  searchField_->setFrame(false);
  searchField_->setFont(views::font(TextStyle::body));
  searchField_->setPlaceholderText(QStringLiteral("搜索"));
  searchField_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; padding: 0px; }"));
  connect(searchField_, &QLineEdit::textChanged, this,
          [this](const QString& text) { model_->setSearchText(text.toStdString()); });
  fieldRow->addWidget(searchField_, 1);
  clearButton_ = named(new PlainButton(field), "clearButton");
  clearButton_->setSymbol(QStringLiteral("xmark.circle.fill"), 13);
  clearButton_->setForeground(theme::tertiary());
  clearButton_->setPadding(0, 0);
  connect(clearButton_, &PlainButton::clicked, this, [this] { model_->setSearchText(std::string()); });
  fieldRow->addWidget(clearButton_);
  row->addWidget(field);

  collapseButton_ = named(new PlainButton(header), "collapseButton");
  collapseButton_->setBoxSize(QSize(28, 28));
  connect(collapseButton_, &PlainButton::clicked, this, [this] { model_->toggleCollection(); });
  row->addWidget(collapseButton_);
  return header;
}

QWidget* MenuBarPanel::buildCollectedBar() {
  auto* bar = new QWidget;
  auto* column = new QVBoxLayout(bar);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(9);

  auto* title = new QHBoxLayout;
  title->addWidget(label(QStringLiteral("已收纳的菜单栏"), views::font(12, SymbolWeight::semibold), theme::secondary(), bar));
  title->addStretch(1);
  spinner_ = named(new Spinner(14, bar), "spinner");
  title->addWidget(spinner_);
  refreshButton_ = named(new PlainButton(bar), "refreshButton");
  refreshButton_->setSymbol(QStringLiteral("arrow.clockwise"), 13);
  refreshButton_->setPlainToolTip(QStringLiteral("刷新图标"));
  connect(refreshButton_, &PlainButton::clicked, this, [this] { model_->refresh(); });
  title->addWidget(refreshButton_);
  column->addLayout(title);

  auto* card = named(new FilledBox(theme::orange(0.08), 10, bar), "permissionCard");
  auto* cardRow = new QHBoxLayout(card);
  cardRow->setContentsMargins(11, 11, 11, 11);
  cardRow->setSpacing(10);
  cardRow->addWidget(new SymbolView(QStringLiteral("rectangle.dashed.badge.record"), 20, theme::orange(), card));
  auto* cardText = new QVBoxLayout;
  cardText->setSpacing(2);
  cardText->addWidget(label(QStringLiteral("需要屏幕录制权限"), views::font(12, SymbolWeight::semibold), theme::primary(), card));
  cardText->addWidget(
      label(QStringLiteral("授权后才能在第二栏显示真实图标"), views::font(TextStyle::caption), theme::secondary(), card));
  cardRow->addLayout(cardText, 1);
  auto* grant = named(new PlainButton(card), "grantButton");
  grant->setText(QStringLiteral("授权"));
  grant->setTextFont(views::font(11));
  grant->setForeground(theme::primary());
  grant->setBordered(true);
  connect(grant, &PlainButton::clicked, this, [this] { model_->refresh(); });
  cardRow->addWidget(grant);
  permissionCard_ = card;
  column->addWidget(card);

  emptyBox_ = named(new NoticeBox(QStringLiteral("没有检测到菜单栏项目"), 48, bar), "emptyBox");
  column->addWidget(emptyBox_);

  mainWell_ = named(new MenuBarItemWell(bar), "mainWell");
  column->addWidget(mainWell_);

  hiddenSection_ = named(new QWidget(bar), "hiddenSection");
  auto* hidden = new QVBoxLayout(hiddenSection_);
  hidden->setContentsMargins(0, 0, 0, 0);
  hidden->setSpacing(6);
  auto* hiddenTitle = new QHBoxLayout;
  hiddenTitle->addWidget(
      label(QStringLiteral("已隐藏的项目"), views::font(12, SymbolWeight::semibold), theme::secondary(), hiddenSection_));
  hiddenTitle->addStretch(1);
  hiddenTitle->addWidget(label(QStringLiteral("右键移回收纳"), views::font(TextStyle::body), theme::secondary(), hiddenSection_));
  hidden->addLayout(hiddenTitle);
  noHiddenItems_ = named(new NoticeBox(QStringLiteral("暂无隐藏项目"), 44, hiddenSection_), "noHiddenItems");
  hidden->addWidget(noHiddenItems_);
  hiddenWell_ = named(new MenuBarItemWell(hiddenSection_), "hiddenWell");
  hidden->addWidget(hiddenWell_);
  column->addWidget(hiddenSection_);
  return bar;
}

QWidget* MenuBarPanel::buildResults() {
  results_ = named(new QWidget, "results");
  auto* column = new QVBoxLayout(results_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(8);
  column->addWidget(label(QStringLiteral("搜索结果"), views::font(12, SymbolWeight::semibold), theme::secondary(), results_));
  resultRowsLayout_ = new QVBoxLayout;
  resultRowsLayout_->setSpacing(8);
  column->addLayout(resultRowsLayout_);
  noMatch_ = named(new UnavailableContent(QStringLiteral("magnifyingglass"), QStringLiteral("没有匹配项目"), results_),
                   "noMatch");
  noMatch_->setMinimumHeight(250);
  column->addWidget(noMatch_);
  return results_;
}

QWidget* MenuBarPanel::buildFooter() {
  auto* footer = new QWidget(this);
  footer->setFixedHeight(46);
  auto* row = new QHBoxLayout(footer);
  row->setContentsMargins(16, 0, 16, 0);
  auto* settings = named(new PlainButton(footer), "settingsButton");
  settings->setSymbol(QStringLiteral("slider.horizontal.3"), 13);
  settings->setText(QStringLiteral("偏好设置"));
  settings->setTextFont(views::font(TextStyle::body));
  settings->setForeground(theme::primary());
  connect(settings, &PlainButton::clicked, this, [this] { model_->openSettings(); });
  row->addWidget(settings);
  row->addStretch(1);
  auto* chip = new FilledBox(theme::quaternary(), 5, footer);
  auto* chipRow = new QHBoxLayout(chip);
  chipRow->setContentsMargins(7, 4, 7, 4);
  footerChip_ = named(label(QString(), views::font(11, SymbolWeight::medium), theme::secondary(), chip), "footerChip");
  chipRow->addWidget(footerChip_);
  row->addWidget(chip, 0, Qt::AlignVCenter);
  return footer;
}

void MenuBarPanel::applyNow() { apply(model_->state()); }

void MenuBarPanel::apply(const ManagerPanelState& s) {
  subtitle_->setText(QString::fromStdString(s.subtitle));
  QString search = QString::fromStdString(s.searchText);
  if (searchField_->text() != search) {
    QSignalBlocker quiet(searchField_);
    searchField_->setText(search);
  }
  clearButton_->setVisible(!s.searchText.empty());

  collapseButton_->setSymbol(QString::fromStdString(s.collapseSymbol), 12);
  collapseButton_->setPlainToolTip(QString::fromStdString(s.collapseToolTip));
  collapseButton_->setBackground(s.isCollapsed ? theme::accent(0.16) : theme::primary(0.07), 8);
  collapseButton_->setForeground(s.isCollapsed ? theme::accent() : theme::primary());
  footerChip_->setText(QString::fromStdString(s.footerChip));

  spinner_->setVisible(s.isCapturing);
  refreshButton_->setVisible(!s.isCapturing);

  permissionCard_->setVisible(s.body == ManagerBody::permissionCard);
  emptyBox_->setVisible(s.body == ManagerBody::emptyBox);
  bool wells = s.body == ManagerBody::wells;
  auto press = [this](std::uint32_t id, TileButton button) { model_->press(id, button); };
  if (wells) {
    mainWell_->setModel(s.mainWell, press);
    hiddenWell_->setModel(s.hiddenWell.value_or(ManagerWellModel{}), press);
  }
  mainWell_->setVisible(wells);
  hiddenSection_->setVisible(wells);
  noHiddenItems_->setVisible(wells && !s.hiddenWell);
  hiddenWell_->setVisible(wells && s.hiddenWell);
  applyResults(s);
}

void MenuBarPanel::applyResults(const ManagerPanelState& s) {
  results_->setVisible(s.results.has_value());
  const std::vector<CapturedMenuBarItem> none;
  const auto& items = s.results ? *s.results : none;
  std::map<std::uint32_t, CapturedMenuBarSearchRow*> old;
  for (auto* row : resultRows_) old[row->item().id] = row;
  std::vector<CapturedMenuBarSearchRow*> rows;
  for (const auto& item : items) {
    auto found = old.find(item.id);
    CapturedMenuBarSearchRow* row = nullptr;
    if (found != old.end()) {
      row = found->second;
      old.erase(found);
    } else {
      row = new CapturedMenuBarSearchRow(workspace_, results_);
    }
    row->setItem(item);  // the icon is looked up again at every rebuild
    std::uint32_t id = item.id;
    row->setOnActivate([this, id] { model_->activate(id); });
    rows.push_back(row);
  }
  for (auto& [id, gone] : old) {
    gone->hide();
    gone->deleteLater();
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    resultRowsLayout_->removeWidget(rows[i]);
    resultRowsLayout_->insertWidget(int(i), rows[i]);
    rows[i]->show();
  }
  resultRows_ = std::move(rows);
  noMatch_->setVisible(s.results && s.results->empty());
}

void MenuBarPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), theme::material(theme::Material::ultraThin));
}

void MenuBarPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    model_->escape();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void MenuBarPanel::mousePressEvent(QMouseEvent* event) {
  event->ignore();  // the window may be moved by its background
}

}  // namespace vimbo::views
