#pragma once
// The manager's compact search result: the owner's application icon, the name over the owner
// name (when there is one), and the item's glyph at the trailing end, 42 points high. A click
// anywhere in the row, the gap between text and glyph included, activates it.

#include <QWidget>
#include <functional>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Workspace.h"
#include "Views/ApplicationIcon.h"
#include "Views/ItemGlyphs.h"

namespace vimbo::views {

class CapturedMenuBarSearchRow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int rowHeight = 42;

  // The workspace outlives the row; its icon is looked up again at every setItem.
  CapturedMenuBarSearchRow(const platform::Workspace& workspace, QWidget* parent = nullptr);

  void setItem(const CapturedMenuBarItem& item);
  void setOnActivate(std::function<void()> onActivate);
  const CapturedMenuBarItem& item() const { return item_; }
  const ApplicationIcon& icon() const { return icon_; }
  // The texts as drawn at the current width.
  QString displayedName() const;
  QString displayedOwner() const;

  QSize sizeHint() const override;

  // The 26-point icon: the picture, or the kit's own drawing of its symbol.
  static void paintIcon(QPainter& painter, const QRect& box, const ApplicationIcon& icon);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  QRect textRect() const;

  const platform::Workspace& workspace_;
  CapturedMenuBarItem item_;
  ApplicationIcon icon_;
  GlyphContent glyph_;
  std::function<void()> onActivate_;
  bool pressed_ = false;
};

}  // namespace vimbo::views
