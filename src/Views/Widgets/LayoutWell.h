#pragma once
// One zone's well in the layout editor: its chips in a row that scrolls sideways, or a hint when
// empty. The well is the only drop target of its zone: a drop on a chip lands before that chip,
// anywhere else in the well after the last one. While a drag hovers, the well marks itself and a
// thin bar shows where the drop would land, using the editor's drop checks without their effects.

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "Models/MenuBarLayout.h"
#include "Views/Widgets/MenuBarLayoutItemView.h"

class QLabel;
class QScrollArea;
class QHBoxLayout;

namespace vimbo::views {

class LayoutWell : public QWidget {
 public:
  static constexpr int kContentHeight = 78;
  static constexpr int kPadding = 12;
  static constexpr int kEdgeScrollZone = 24;

  struct Callbacks {
    // Whether a drop of this text could be accepted now (no effects).
    std::function<bool(const QString& payload)> acceptsDrop;
    // The drop itself; the visual index is the chip's position in the row, none for the well.
    std::function<bool(const QString& payload, std::optional<int64_t> visualIndex)> drop;
    // The callbacks each chip gets.
    std::function<MenuBarLayoutItemView::Callbacks(const CapturedMenuBarItem&)> chipCallbacks;
  };

  LayoutWell(MenuBarLayoutZone zone, Callbacks callbacks, QWidget* parent = nullptr);

  MenuBarLayoutZone zone() const { return zone_; }
  // Rebuilds the chips when the row differs from the one shown.
  void setItems(const std::vector<CapturedMenuBarItem>& items);
  const std::vector<MenuBarLayoutItemView*>& chips() const { return chips_; }
  bool showsEmptyHint() const;
  QScrollArea* scrollArea() const { return scroll_; }

  // The chip under a point of the well, none over gaps, padding and empty space.
  std::optional<int64_t> chipIndexAt(QPoint position) const;
  // Drag feedback: where the insertion mark stands (none when hidden), in chips' positions; the
  // chip count means after the last chip.
  std::optional<std::size_t> insertionIndex() const { return markIndex_; }
  QWidget* insertionMark() const { return mark_; }
  bool isDropTargeted() const { return targeted_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dragLeaveEvent(QDragLeaveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  void showMark(std::optional<std::size_t> index);
  void clearFeedback();
  void updateEdgeScroll(QPoint position);

  MenuBarLayoutZone zone_;
  Callbacks callbacks_;
  std::vector<CapturedMenuBarItem> items_;
  bool built_ = false;
  std::vector<MenuBarLayoutItemView*> chips_;
  QLabel* empty_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QWidget* row_ = nullptr;
  QHBoxLayout* rowLayout_ = nullptr;
  QWidget* mark_ = nullptr;
  std::optional<std::size_t> markIndex_;
  bool targeted_ = false;
  int edgeDirection_ = 0;
  QTimer edgeTimer_;
};

}  // namespace vimbo::views
