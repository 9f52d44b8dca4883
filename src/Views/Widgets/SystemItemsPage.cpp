#include "Views/Widgets/SystemItemsPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Views/Widgets/SettingsPanels.h"
#include "Views/Widgets/Surfaces.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

bool sameRows(const std::vector<SystemItemRow>& a, const std::vector<SystemItemRow>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.id == y.id && x.name == y.name && x.detail == y.detail && x.symbol == y.symbol && x.tint == y.tint &&
           x.visibility == y.visibility;
  });
}

}  // namespace

SystemItemsPage::SystemItemsPage(MenuBarStore& store, QWidget* parent) : QWidget(parent), store_(store) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(22, 22, 22, 22);
  column->setSpacing(12);
  column->addWidget(
      plainLabel(QStringLiteral("菜单栏项目"), views::font(TextStyle::title2, SymbolWeight::bold), theme::primary(), this));
  column->addWidget(wrappingLabel(QStringLiteral("选择每个项目在 Vimbo 中的位置。也可以在菜单栏面板中拖放项目。"),
                                  views::font(TextStyle::callout), theme::secondary(), this));

  // The inset list: rows on a white rounded group that scrolls.
  auto* group = roundedPanel(theme::controlBackground(), 10, theme::primary(0.08), 1, this);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->setContentsMargins(0, 4, 0, 4);
  list_ = new QScrollArea(group);
  styleScrollArea(*list_);
  list_->setWidgetResizable(true);
  auto* listContent = new QWidget;
  listColumn_ = new QVBoxLayout(listContent);
  listColumn_->setContentsMargins(10, 0, 10, 0);
  listColumn_->setSpacing(0);
  listColumn_->addStretch(1);
  list_->setWidget(listContent);
  listContent->setAutoFillBackground(false);  // setWidget turns it on
  groupLayout->addWidget(list_);
  column->addWidget(group, 1);
  sync();
}

void SystemItemsPage::sync() {
  auto models = systemItemRows(store_);
  if (!rows_.empty() && sameRows(models, shown_)) return;
  rebuild(std::move(models));
}

void SystemItemsPage::rebuild(std::vector<SystemItemRow> models) {
  for (auto& row : rows_) delete row.widget;
  rows_.clear();
  shown_ = models;
  auto* content = list_->widget();
  int position = 0;
  for (const auto& model : models) {
    Row row;
    row.model = model;
    row.widget = new QWidget(content);
    auto* layout = new QHBoxLayout(row.widget);
    layout->setContentsMargins(0, 3 + 4, 0, 3 + 4);
    layout->setSpacing(10);
    auto* symbolColumn = new QWidget(row.widget);
    symbolColumn->setFixedWidth(24);
    auto* symbolLayout = new QHBoxLayout(symbolColumn);
    symbolLayout->setContentsMargins(0, 0, 0, 0);
    // A name the kit does not know draws nothing.
    row.symbol = new SymbolView(qstr(model.symbol), 16, theme::color(model.tint), symbolColumn);
    symbolLayout->addWidget(row.symbol, 0, Qt::AlignCenter);
    layout->addWidget(symbolColumn);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    row.name = plainLabel(qstr(model.name), views::font(TextStyle::body), theme::primary(), row.widget);
    texts->addWidget(row.name);
    texts->addWidget(plainLabel(qstr(model.detail), views::font(TextStyle::caption), theme::secondary(), row.widget));
    layout->addLayout(texts);
    layout->addStretch(1);

    row.picker = new PageControl<QComboBox>(row.widget);
    row.picker->setFixedWidth(90);
    row.picker->setAccessibleName(QStringLiteral("位置"));
    for (auto visibility : allItemVisibilities) row.picker->addItem(qstr(itemVisibilityTitle(visibility)));
    row.picker->setCurrentIndex(static_cast<int>(model.visibility));
    // activated: a user's choice only. The list redraws from the store on a later turn, never
    // inside the picker's own signal.
    connect(row.picker, &QComboBox::activated, this, [this, model](int index) {
      chooseSystemItemPlace(store_, model, allItemVisibilities[static_cast<std::size_t>(index)]);
    });
    layout->addWidget(row.picker);
    listColumn_->insertWidget(position++, row.widget);
    rows_.push_back(row);
  }
}

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setSpacing(14);
  column->addStretch(1);
  auto* tile = new SymbolTile(76, 18, [](const QRectF& r) { return QBrush(theme::accentGradient(r)); },
                              QStringLiteral("rectangle.3.group.fill"), 34, theme::white(), this);
  column->addWidget(tile, 0, Qt::AlignHCenter);
  auto addLine = [&](const QString& text, const QFont& f, const QColor& color) {
    auto* label = plainLabel(text, f, color, this);
    label->setAlignment(Qt::AlignCenter);
    column->addWidget(label, 0, Qt::AlignHCenter);
  };
  addLine(QStringLiteral("Vimbo"), views::font(TextStyle::title, SymbolWeight::bold), theme::primary());
  addLine(QStringLiteral("让菜单栏保持清爽"), views::font(TextStyle::body), theme::secondary());
  addLine(QStringLiteral("原生 macOS 菜单栏整理工具原型"), views::font(TextStyle::caption), theme::tertiary());
  column->addStretch(1);
}

}  // namespace vimbo::views
