#include "Views/Widgets/MenuBarItemWell.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Views/Widgets/MenuBarItemTile.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/TextLabel.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

MenuBarItemWell::MenuBarItemWell(QWidget* parent) : FilledBox(theme::windowBackground(0.38), 14, parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->setSpacing(6);

  auto* legend = new QHBoxLayout;
  legend->setSpacing(4);
  QFont legendFont = views::font(10, SymbolWeight::medium);
  legend->addWidget(new SymbolView(QStringLiteral("circle.lefthalf.filled"), 10, theme::tertiary(), this));
  legend->addWidget(new TextLabel(QStringLiteral("亮色常驻，暗色收纳"), legendFont, theme::tertiary(), this));
  legend->addStretch(1);
  hint_ = new TextLabel(QString(), legendFont, theme::tertiary(), this);
  hint_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  legend->addWidget(hint_, 0);
  layout->addLayout(legend);

  grid_ = new QWidget(this);
  gridLayout_ = new QGridLayout(grid_);
  gridLayout_->setContentsMargins(0, 0, 0, 0);
  gridLayout_->setHorizontalSpacing(8);
  gridLayout_->setVerticalSpacing(8);
  for (int c = 0; c < columns; ++c) {
    gridLayout_->setColumnStretch(c, 1);
    gridLayout_->setColumnMinimumWidth(c, 10);
  }
  layout->addWidget(grid_);

  empty_ = new NoticeBox(QStringLiteral("没有检测到菜单栏项目"), 44, this);
  layout->addWidget(empty_);
  empty_->hide();
}

void MenuBarItemWell::setModel(const ManagerWellModel& model, std::function<void(std::uint32_t, TileButton)> press) {
  hint_->setText(QString::fromStdString(model.hint));

  std::vector<std::uint32_t> order;
  std::map<std::uint32_t, MenuBarItemTile*> kept;
  for (const ManagerTileModel& m : model.tiles) {
    if (kept.count(m.id)) continue;  // one tile per window number
    auto found = tiles_.find(m.id);
    MenuBarItemTile* tile = found != tiles_.end() ? found->second : new MenuBarItemTile(grid_);
    if (found != tiles_.end()) tiles_.erase(found);
    tile->setModel(m);
    std::uint32_t id = m.id;
    tile->setActions([press, id] { press(id, TileButton::left); }, [press, id] { press(id, TileButton::right); });
    kept[id] = tile;
    order.push_back(id);
  }
  for (auto& [id, gone] : tiles_) {
    gone->hide();
    gone->deleteLater();  // never inside its own press: updates run on a later turn
  }
  tiles_ = std::move(kept);

  if (order != order_) {
    while (gridLayout_->count() > 0) delete gridLayout_->takeAt(0);
    for (std::size_t i = 0; i < order.size(); ++i)
      gridLayout_->addWidget(tiles_[order[i]], int(i / columns), int(i % columns));
    order_ = std::move(order);
  }
  for (auto& [id, tile] : tiles_) tile->show();
  grid_->setVisible(!order_.empty());
  empty_->setVisible(order_.empty());
}

std::vector<MenuBarItemTile*> MenuBarItemWell::tiles() const {
  std::vector<MenuBarItemTile*> list;
  for (std::uint32_t id : order_) list.push_back(tiles_.at(id));
  return list;
}

MenuBarItemTile* MenuBarItemWell::tile(std::uint32_t id) const {
  auto found = tiles_.find(id);
  return found == tiles_.end() ? nullptr : found->second;
}

}  // namespace vimbo::views
