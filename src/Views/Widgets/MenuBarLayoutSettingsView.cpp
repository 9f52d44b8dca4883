#include "Views/Widgets/MenuBarLayoutSettingsView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Views/HoverSettingsModel.h"
#include "Views/Widgets/LayoutWell.h"
#include "Views/Widgets/PlainButton.h"
#include "Views/Widgets/SettingsPanels.h"
#include "Views/Widgets/Surfaces.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/Toast.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

const QString kProductMark = QStringLiteral("rectangle.3.group.fill");

// The page's background: the window colour under the scrolling column.
class PageBackground : public QWidget {
 public:
  explicit PageBackground(QWidget* parent) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), theme::windowBackground()); }
};

}  // namespace

MenuBarLayoutSettingsView::MenuBarLayoutSettingsView(MenuBarStore& store, async::Executor& executor,
                                                     MenuBarLayoutEditorModel::ApplyLayout applyLayout,
                                                     MenuBarLayoutEditorModel::RefreshItems refreshItems,
                                                     QWidget* parent)
    : QWidget(parent),
      executor_(executor),
      model_(MenuBarLayoutEditorModel::make(store, executor, std::move(applyLayout), std::move(refreshItems))) {
  auto* background = new PageBackground(this);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->addWidget(background);
  auto* backgroundLayout = new QVBoxLayout(background);
  backgroundLayout->setContentsMargins(0, 0, 0, 0);

  // No visible scroll bars; the wheel still scrolls.
  page_ = new QScrollArea(background);
  page_->setFrameShape(QFrame::NoFrame);
  page_->setWidgetResizable(true);
  page_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  page_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  page_->viewport()->setAutoFillBackground(false);
  auto* content = new QWidget;
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(18, 18, 18, 28);
  column->setSpacing(15);
  column->addWidget(makeHeader(content));
  column->addWidget(makeHeroCard(content));
  column->addWidget(makePermissionCard(content));
  column->addWidget(makeApplySection(content));
  for (auto zone : allMenuBarLayoutZones) column->addWidget(makeZoneSection(zone, content));
  column->addStretch(1);
  page_->setWidget(content);
  content->setAutoFillBackground(false);  // setWidget turns it on
  backgroundLayout->addWidget(page_);

  toast_ = new Toast(model_->toastMessage(), ToastStyle::layoutEditor(), background);

  model_->setChangeHandler([this] { renderLater_.request(); });
  render();
}

MenuBarLayoutSettingsView::~MenuBarLayoutSettingsView() {
  *alive_ = false;
  // Tasks and timers of the editor hold it weakly: with this view gone it dies here, and so do
  // their effects.
  model_->setChangeHandler(nullptr);
}

QWidget* MenuBarLayoutSettingsView::makeHeader(QWidget* parent) {
  auto* header = new QWidget(parent);
  auto* row = new QHBoxLayout(header);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(10);
  row->addWidget(new SymbolTile(36, 10, SymbolTile::solid(theme::quaternary()), kProductMark, 17, theme::primary(),
                                header));
  row->addWidget(plainLabel(QStringLiteral("菜单栏布局"), views::font(22, SymbolWeight::bold), theme::primary(), header));
  row->addStretch(1);
  auto* refresh = new PlainButton(header);
  refresh->setSymbol(QStringLiteral("arrow.clockwise"), 15);
  refresh->setBackground(theme::quaternary(), 16);
  refresh->setBoxSize(QSize(32, 32));
  refresh->setDisabledOpacity(vimbo::inapplicableControlOpacity);
  refresh->setPlainToolTip(QStringLiteral("刷新菜单栏项目"));
  refresh->setAccessibleName(QStringLiteral("刷新菜单栏项目"));
  connect(refresh, &QAbstractButton::clicked, this, [this] { model_->refresh(); });
  refresh_ = refresh;
  row->addWidget(refresh);
  return header;
}

QWidget* MenuBarLayoutSettingsView::makeHeroCard(QWidget* parent) {
  auto* card = roundedPanel(theme::controlBackground(0.78), 20, theme::primary(0.06), 0.7, parent);
  auto* column = new QVBoxLayout(card);
  column->setContentsMargins(16, 28, 16, 28);
  column->setSpacing(12);
  column->addWidget(new SymbolTile(72, 16, SymbolTile::solid(theme::quaternary(0.72)), kProductMark, 29,
                                   theme::primary(), card),
                    0, Qt::AlignHCenter);
  auto* title = plainLabel(QStringLiteral("菜单栏项目"), views::font(27, SymbolWeight::bold), theme::primary(), card);
  column->addWidget(title, 0, Qt::AlignHCenter);
  auto* text = wrappingLabel(QStringLiteral("在此拖动只预览布局；点击“整理我的菜单栏”后才应用到真实菜单栏。"),
                             views::font(TextStyle::callout), theme::secondary(), card);
  text->setAlignment(Qt::AlignCenter);
  column->addWidget(text);
  return card;
}

QWidget* MenuBarLayoutSettingsView::makePermissionCard(QWidget* parent) {
  auto* card = roundedPanel(theme::orange(0.08), 14, theme::orange(0.14), 0.7, parent);
  auto* row = new QHBoxLayout(card);
  row->setContentsMargins(12, 12, 12, 12);
  row->setSpacing(10);
  row->addWidget(new SymbolTile(30, 8, SymbolTile::solid(theme::orange(0.12)),
                                QStringLiteral("rectangle.dashed.badge.record"), 14, theme::orange(), card));
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(
      plainLabel(QStringLiteral("需要屏幕录制权限"), views::font(12, SymbolWeight::semibold), theme::primary(), card));
  texts->addWidget(plainLabel(QStringLiteral("授权后才能读取真实菜单栏图标。"), views::font(TextStyle::caption),
                              theme::secondary(), card));
  row->addLayout(texts);
  row->addStretch(1);
  auto* button = new PlainButton(card);
  button->setText(QStringLiteral("刷新权限"));
  button->setTextFont(views::font(TextStyle::callout));
  button->setBordered(true);
  button->setPadding(8, 3);
  connect(button, &QAbstractButton::clicked, this, [this] { model_->refresh(); });
  permissionButton_ = button;
  row->addWidget(button);
  permissionCard_ = card;
  return card;
}

QWidget* MenuBarLayoutSettingsView::makeApplySection(QWidget* parent) {
  auto* section = new QWidget(parent);
  auto* column = new QVBoxLayout(section);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(8);
  column->addWidget(sectionLabel(QStringLiteral("按需布局"), QStringLiteral("arrow.up.arrow.down.square.fill"), section));

  auto* card = roundedPanel(theme::controlBackground(0.68), 16, theme::primary(0.06), 0.7, section);
  auto* row = new QHBoxLayout(card);
  row->setContentsMargins(14, 14, 14, 14);
  row->setSpacing(12);
  row->addWidget(new SymbolTile(42, 10, SymbolTile::solid(theme::accent()), QStringLiteral("square.grid.3x3.fill"), 20,
                                theme::white(), card));
  applyText_ = new LineLimitedLabel(QStringLiteral("排列好项目后，点击“整理我的菜单栏”进行整理。"),
                                    views::font(TextStyle::callout), theme::secondary(), 2, card);
  row->addWidget(applyText_, 1);
  row->addSpacing(4);
  auto* apply = new PlainButton(card);
  apply->setText(QStringLiteral("整理我的菜单栏"));
  apply->setTextFont(views::font(13, SymbolWeight::semibold));
  apply->setForeground(theme::white());
  apply->setBackground(theme::accent(), 7);
  apply->setPadding(14, 7);
  connect(apply, &QAbstractButton::clicked, this, [this] { model_->applyDraft(); });
  apply_ = apply;
  row->addWidget(apply);
  column->addWidget(card);

  statusLine_ = new QWidget(section);
  auto* status = new QHBoxLayout(statusLine_);
  status->setContentsMargins(2, 0, 0, 0);
  status->setSpacing(5);
  statusSymbol_ = new SymbolView(QStringLiteral("circle.dotted"), 11, theme::secondary(), statusLine_);
  status->addWidget(statusSymbol_);
  statusText_ = plainLabel({}, views::font(TextStyle::caption), theme::secondary(), statusLine_);
  status->addWidget(statusText_);
  status->addStretch(1);
  column->addWidget(statusLine_);
  return section;
}

QWidget* MenuBarLayoutSettingsView::makeZoneSection(MenuBarLayoutZone zone, QWidget* parent) {
  auto* section = new QWidget(parent);
  auto* column = new QVBoxLayout(section);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(8);
  column->addWidget(sectionLabel(qstr(layoutZoneTitle(zone)), qstr(layoutZoneSymbol(zone)), section));

  LayoutWell::Callbacks callbacks;
  callbacks.acceptsDrop = [this](const QString& payload) { return model_->acceptsDrop(payload.toStdString()); };
  callbacks.drop = [this, zone](const QString& payload, std::optional<int64_t> index) {
    return model_->handleDrop(payload.toStdString(), zone, index);
  };
  callbacks.chipCallbacks = [this](const CapturedMenuBarItem& item) {
    MenuBarLayoutItemView::Callbacks chip;
    chip.onFixedTap = [this, item] { model_->chipClicked(item); };
    chip.onDragStarted = [this](const QString& payload) { dragStarted(payload); };
    chip.onDragEnded = [this, alive = alive_] {
      if (*alive) dragEnded();
    };
    return chip;
  };
  auto* well = new LayoutWell(zone, std::move(callbacks), section);
  wells_[static_cast<std::size_t>(zone)] = well;
  column->addWidget(well);
  return section;
}

void MenuBarLayoutSettingsView::appear() { model_->appear(); }

void MenuBarLayoutSettingsView::dragStarted(const QString& payload) {
  dragging_ = true;
  lastDragPayload_ = payload;
}

// After QDrag::exec returned: the source chip may be replaced again.
void MenuBarLayoutSettingsView::dragEnded() {
  dragging_ = false;
  renderLater_.request();
}

void MenuBarLayoutSettingsView::render() {
  const auto& model = *model_;
  // While applying, nothing on the page takes input.
  page_->setEnabled(model.pageEnabled());
  refresh_->setEnabled(model.refreshEnabled());
  permissionCard_->setVisible(model.showsPermissionCard());
  apply_->setEnabled(model.applyEnabled());
  if (auto status = model.statusLine()) {
    statusText_->setText(qstr(status->text));
    statusSymbol_->setSymbol(qstr(status->symbol));
    statusLine_->show();
  } else {
    statusLine_->hide();
  }
  // Replacing a chip while its drag runs would delete the drag's source inside QDrag::exec: the
  // wells catch up when the drag has ended.
  if (!dragging_) {
    for (auto zone : allMenuBarLayoutZones) well(zone)->setItems(model.rowItems(zone));
  }
  for (auto* w : wells_) w->setEnabled(model.pageEnabled());
}

}  // namespace vimbo::views
