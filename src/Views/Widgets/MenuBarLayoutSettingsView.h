#pragma once
// The layout page of the settings window: header, hero card, permission card, the apply section
// and the three zone wells over a private draft (MenuBarLayoutEditorModel), with its toast.
// Built when the page is selected and discarded when it is left, draft and all.

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

#include "Platform/Runtime/Executor.h"
#include "Store/MenuBarStore.h"
#include "Views/MenuBarLayoutEditorModel.h"
#include "Views/Widgets/CoalescedTurn.h"

class QAbstractButton;
class QLabel;
class QScrollArea;

namespace vimbo::views {

class LayoutWell;
class LineLimitedLabel;
class SymbolView;
class Toast;

class MenuBarLayoutSettingsView : public QWidget {
 public:
  MenuBarLayoutSettingsView(MenuBarStore& store, async::Executor& executor,
                            MenuBarLayoutEditorModel::ApplyLayout applyLayout,
                            MenuBarLayoutEditorModel::RefreshItems refreshItems, QWidget* parent = nullptr);
  ~MenuBarLayoutSettingsView() override;

  MenuBarLayoutEditorModel& model() { return *model_; }
  // The appearance step: refresh when nothing is captured.
  void appear();
  // Re-derives everything shown from the editor and the store now (normally on a later turn).
  void render();

  QScrollArea* page() const { return page_; }
  QAbstractButton* refreshButton() const { return refresh_; }
  QWidget* permissionCard() const { return permissionCard_; }
  QAbstractButton* permissionButton() const { return permissionButton_; }
  QAbstractButton* applyButton() const { return apply_; }
  LineLimitedLabel* applyText() const { return applyText_; }
  QWidget* statusLine() const { return statusLine_; }
  QLabel* statusText() const { return statusText_; }
  SymbolView* statusSymbol() const { return statusSymbol_; }
  LayoutWell* well(MenuBarLayoutZone zone) const { return wells_[static_cast<std::size_t>(zone)]; }
  Toast* toast() const { return toast_; }
  // Around a drag from one of the chips (its nested loop on X11): the wells are not rebuilt while
  // it runs.
  void dragStarted(const QString& payload);
  void dragEnded();
  bool isDragging() const { return dragging_; }
  const QString& lastDragPayload() const { return lastDragPayload_; }

 private:
  QWidget* makeHeader(QWidget* parent);
  QWidget* makeHeroCard(QWidget* parent);
  QWidget* makePermissionCard(QWidget* parent);
  QWidget* makeApplySection(QWidget* parent);
  QWidget* makeZoneSection(MenuBarLayoutZone zone, QWidget* parent);

  async::Executor& executor_;
  std::shared_ptr<MenuBarLayoutEditorModel> model_;
  QScrollArea* page_ = nullptr;
  QAbstractButton* refresh_ = nullptr;
  QWidget* permissionCard_ = nullptr;
  QAbstractButton* permissionButton_ = nullptr;
  QAbstractButton* apply_ = nullptr;
  LineLimitedLabel* applyText_ = nullptr;
  QWidget* statusLine_ = nullptr;
  QLabel* statusText_ = nullptr;
  SymbolView* statusSymbol_ = nullptr;
  std::array<LayoutWell*, 3> wells_{};
  Toast* toast_ = nullptr;
  bool dragging_ = false;
  QString lastDragPayload_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  CoalescedTurn renderLater_{executor_, [this] { render(); }};
};

}  // namespace vimbo::views
