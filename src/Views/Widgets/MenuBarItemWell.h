#pragma once
// A well of item tiles: a legend row, then five flexible columns of tiles, or a notice when the
// well is empty. Tiles are kept and updated in place by window number.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "Views/MenuBarPanelModel.h"
#include "Views/Widgets/Surfaces.h"

class QGridLayout;

namespace vimbo::views {

class MenuBarItemTile;
class TextLabel;

class MenuBarItemWell : public FilledBox {
  Q_OBJECT

 public:
  static constexpr int columns = 5;

  explicit MenuBarItemWell(QWidget* parent = nullptr);

  void setModel(const ManagerWellModel& model, std::function<void(std::uint32_t, TileButton)> press);

  // In display order.
  std::vector<MenuBarItemTile*> tiles() const;
  MenuBarItemTile* tile(std::uint32_t id) const;
  TextLabel* hint() const { return hint_; }
  NoticeBox* emptyNotice() const { return empty_; }

 private:
  TextLabel* hint_;
  QWidget* grid_;
  QGridLayout* gridLayout_;
  NoticeBox* empty_;
  std::vector<std::uint32_t> order_;
  std::map<std::uint32_t, MenuBarItemTile*> tiles_;
};

}  // namespace vimbo::views
