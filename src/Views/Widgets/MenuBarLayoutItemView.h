#pragma once
// One captured item as a chip in a well of the layout editor: its glyph in a slot sized from the
// item's width in the real bar, a lock badge on fixed items, a tool tip and accessible name. A
// click on a fixed chip reports itself; a movable chip starts a drag once pressed and moved
// beyond the drag distance. Chips take no drops: the well under them does.

#include <QPoint>
#include <QWidget>
#include <functional>

#include "Models/CapturedMenuBarItem.h"
#include "Views/ItemGlyphs.h"
#include "Views/MenuBarLayoutItemModel.h"

class QMimeData;

namespace vimbo::views {

class MenuBarLayoutItemView : public QWidget {
 public:
  struct Callbacks {
    std::function<void()> onFixedTap;
    // Around the drag's nested loop (X11 runs one inside QDrag::exec).
    std::function<void(const QString& payload)> onDragStarted;
    std::function<void()> onDragEnded;
  };

  MenuBarLayoutItemView(const CapturedMenuBarItem& item, Callbacks callbacks, QWidget* parent = nullptr);

  const CapturedMenuBarItem& item() const { return item_; }
  const LayoutChipMetrics& metrics() const { return metrics_; }
  bool isFixed() const { return item_.isFixed(); }
  bool isDragSource() const { return dragging_; }
  // The picture a drag carries.
  QPixmap dragPixmap();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  void startDrag();

  CapturedMenuBarItem item_;
  Callbacks callbacks_;
  LayoutChipMetrics metrics_;
  GlyphContent glyph_;
  QRect slot_;
  QPoint pressPosition_;
  bool pressed_ = false;
  bool dragging_ = false;
  bool hovered_ = false;
};

}  // namespace vimbo::views
