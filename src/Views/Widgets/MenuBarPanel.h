#pragma once
// The manager panel's content, 388 x 590, shown in the popover and in the detached panel (each
// with its own instance on the same store, so the search text is shared and each has its own
// toast). Header with the search field and the collapse button, a scrolling body with the
// collected bar, the wells and the search results, and a footer.
//
// Store changes are applied on the next turn of the main loop: a closure may change the store
// before the handler that called it returns, and the widgets that ran it must stay in place.
// Presses on the background are left unhandled, so the window may be moved by them.
// Parts are named (QObject::objectName) for tests: "searchField", "clearButton", "collapseButton",
// "subtitle", "refreshButton", "spinner", "permissionCard", "grantButton", "emptyBox",
// "mainWell", "hiddenSection", "noHiddenItems", "hiddenWell", "results", "noMatch",
// "settingsButton", "footerChip".

#include <QWidget>
#include <memory>
#include <vector>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Property.h"
#include "Platform/Workspace.h"
#include "Views/MenuBarPanelModel.h"
#include "Views/Widgets/CoalescedTurn.h"

class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace vimbo::views {

class CapturedMenuBarSearchRow;
class MenuBarItemWell;
class PlainButton;
class Spinner;
class SymbolView;
class TextLabel;
class Toast;

class MenuBarPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int contentWidth = 388;
  static constexpr int contentHeight = 590;

  // The store, the executor and the workspace outlive the panel.
  MenuBarPanel(MenuBarStore& store, ManagerPanelActions actions, async::Executor& executor,
               const platform::Workspace& workspace, QWidget* parent = nullptr);
  ~MenuBarPanel() override;

  MenuBarPanelModel& model() { return *model_; }
  // Applies the store's state now instead of on the next turn.
  void applyNow();
  std::vector<CapturedMenuBarSearchRow*> resultRows() const { return resultRows_; }
  Toast* toast() const { return toast_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QWidget* buildHeader();
  QWidget* buildCollectedBar();
  QWidget* buildResults();
  QWidget* buildFooter();
  void apply(const ManagerPanelState& state);
  void applyResults(const ManagerPanelState& state);

  async::Executor& executor_;
  const platform::Workspace& workspace_;
  std::unique_ptr<MenuBarPanelModel> model_;
  CoalescedTurn applyLater_{executor_, [this] { applyNow(); }};
  async::Subscription storeChanges_;

  TextLabel* subtitle_ = nullptr;
  QLineEdit* searchField_ = nullptr;
  PlainButton* clearButton_ = nullptr;
  PlainButton* collapseButton_ = nullptr;
  PlainButton* refreshButton_ = nullptr;
  Spinner* spinner_ = nullptr;
  QWidget* permissionCard_ = nullptr;
  QWidget* emptyBox_ = nullptr;
  MenuBarItemWell* mainWell_ = nullptr;
  QWidget* hiddenSection_ = nullptr;
  QWidget* noHiddenItems_ = nullptr;
  MenuBarItemWell* hiddenWell_ = nullptr;
  QWidget* results_ = nullptr;
  QVBoxLayout* resultRowsLayout_ = nullptr;
  QWidget* noMatch_ = nullptr;
  std::vector<CapturedMenuBarSearchRow*> resultRows_;
  TextLabel* footerChip_ = nullptr;
  Toast* toast_ = nullptr;
};

}  // namespace vimbo::views
