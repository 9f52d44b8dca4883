#pragma once
// The quick-search panel's content: a card of 440 x 416 with a search field and every captured
// item ranked against the query. Only the rows in view, and a few either side, are built; the
// rest are made as they scroll in. The keys that move and open the selection belong to the
// controller's key monitor; the content lets the rest through to the field. The selection comes
// from the session alone. The pointer selects a row when it moves into it, and only on real
// motion, never when the list scrolls under a still pointer. Parts are named for tests: "queryField", "waiting",
// "waitingText", "noMatch", "list".

#include <QScrollArea>
#include <QVariantAnimation>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "Platform/Runtime/Executor.h"
#include "Platform/Workspace.h"
#include "Views/ApplicationIcon.h"
#include "Views/ItemGlyphs.h"
#include "Views/MenuBarSearchPanelModel.h"
#include "Views/Widgets/CoalescedTurn.h"

class QLineEdit;
class QPropertyAnimation;

namespace vimbo::views {

class TextLabel;
class MenuBarSearchPanel;

class QuickSearchRow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int rowHeight = 40;

  QuickSearchRow(MenuBarSearchPanel& panel, const platform::Workspace& workspace, QWidget* parent);
  void setModel(const SearchRowModel& model);
  const SearchRowModel& model() const { return model_; }
  QString displayedName() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  MenuBarSearchPanel& panel_;
  const platform::Workspace& workspace_;
  SearchRowModel model_;
  ApplicationIcon icon_;
  GlyphContent glyph_;
  bool pressed_ = false;
};

class MenuBarSearchPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int contentWidth = 440;
  static constexpr int contentHeight = 416;
  static constexpr int headerHeight = 56;
  static constexpr int listTopPadding = 6;
  static constexpr int rowPitch = QuickSearchRow::rowHeight + 1;

  // The store, the session, the executor and the workspace outlive the panel.
  MenuBarSearchPanel(MenuBarStore& store, MenuBarSearchSession& session, QuickSearchActions actions,
                     async::Executor& executor, const platform::Workspace& workspace, QWidget* parent = nullptr);
  ~MenuBarSearchPanel() override;

  MenuBarSearchPanelModel& model() { return *model_; }
  QLineEdit* field() const { return field_; }
  QScrollArea* list() const { return list_; }
  // The rows built: those on screen and a few either side, in list order from firstRow().
  const std::vector<QuickSearchRow*>& rows() const { return rows_; }
  int64_t firstRow() const { return firstRow_; }
  // The row of R's index, when it is built.
  QuickSearchRow* row(int64_t index) const;
  // Applies the model now instead of on the next turn.
  void applyNow();

  // From the rows.
  void pointerMoved(const QuickSearchRow& row, QPointF globalPosition);
  void pointerLeft(const QuickSearchRow& row);
  void rowClicked(const QuickSearchRow& row);

 protected:
  void paintEvent(QPaintEvent*) override;
  void showEvent(QShowEvent*) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void placeRows();
  void buildRowsInView(bool rebuildAll);
  void performScroll(SearchScrollRequest request);

  async::Executor& executor_;
  const platform::Workspace& workspace_;
  std::unique_ptr<MenuBarSearchPanelModel> model_;
  CoalescedTurn applyLater_{executor_, [this] { applyNow(); }};
  std::optional<SearchScrollRequest> pendingScroll_;
  std::optional<QPointF> lastPointer_;
  // The item whose row the pointer last moved into; moving on inside it selects nothing again.
  std::optional<std::uint32_t> hoveredItem_;

  QLineEdit* field_ = nullptr;
  QWidget* waiting_ = nullptr;
  TextLabel* waitingText_ = nullptr;
  QWidget* noMatch_ = nullptr;
  QScrollArea* list_ = nullptr;
  QWidget* rowsHost_ = nullptr;  // as tall as the whole list, so the scroll range is the list's
  std::vector<QuickSearchRow*> rows_;
  int64_t firstRow_ = 0;
  bool applying_ = false;  // the scroll that applyNow makes builds no rows of its own
  QPropertyAnimation* scrollAnimation_ = nullptr;
};

}  // namespace vimbo::views
