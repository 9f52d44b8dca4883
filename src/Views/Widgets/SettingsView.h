#pragma once
// The settings window's content: a sidebar with the four pages and the quit button, the selected
// page, and the alert that presents the store's failure sentence. Built once with the window and
// kept, so a reopened window shows the page it showed; the layout page alone is built on entry and
// discarded on leaving, with its draft.

#include <QWidget>
#include <array>
#include <memory>

#include "Platform/Application.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Property.h"
#include "Store/MenuBarStore.h"
#include "Views/MenuBarLayoutEditorModel.h"
#include "Views/SettingsSection.h"
#include "Views/Widgets/CoalescedTurn.h"

class QAbstractButton;
class QStackedLayout;

namespace vimbo::views {

class AboutPage;
class GeneralSettingsPage;
class MenuBarLayoutSettingsView;
class SettingsAlert;
class SystemItemsPage;

class SettingsView : public QWidget {
 public:
  static constexpr int kSidebarWidth = 145;

  SettingsView(MenuBarStore& store, async::Executor& executor, platform::Application& application,
               MenuBarLayoutEditorModel::ApplyLayout applyLayout, MenuBarLayoutEditorModel::RefreshItems refreshItems,
               QWidget* parent = nullptr);
  ~SettingsView() override;

  SettingsSection selectedSection() const { return selected_; }
  void select(SettingsSection section);
  // Re-reads the store now (normally on the turn after a change).
  void sync();

  QAbstractButton* sidebarRow(SettingsSection section) const { return rows_[index(section)]; }
  QAbstractButton* quitButton() const { return quit_; }
  QWidget* sidebar() const { return sidebar_; }
  QWidget* currentPage() const;
  GeneralSettingsPage* generalPage() const { return general_; }
  SystemItemsPage* systemItemsPage() const { return systemItems_; }
  AboutPage* aboutPage() const { return about_; }
  // Only while the layout page is selected.
  MenuBarLayoutSettingsView* layoutEditor() const { return layout_; }
  SettingsAlert* alert() const { return alert_; }

 protected:
  void showEvent(QShowEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  static std::size_t index(SettingsSection section) { return static_cast<std::size_t>(section); }
  QWidget* makeSidebar();

  MenuBarStore& store_;
  async::Executor& executor_;
  platform::Application& application_;
  MenuBarLayoutEditorModel::ApplyLayout applyLayout_;
  MenuBarLayoutEditorModel::RefreshItems refreshItems_;
  SettingsSection selected_ = SettingsSection::general;
  QWidget* sidebar_ = nullptr;
  std::array<QAbstractButton*, 4> rows_{};
  QAbstractButton* quit_ = nullptr;
  QWidget* detail_ = nullptr;
  QStackedLayout* pages_ = nullptr;
  GeneralSettingsPage* general_ = nullptr;
  SystemItemsPage* systemItems_ = nullptr;
  AboutPage* about_ = nullptr;
  MenuBarLayoutSettingsView* layout_ = nullptr;
  SettingsAlert* alert_ = nullptr;
  CoalescedTurn syncLater_{executor_, [this] { sync(); }};
  std::vector<async::Subscription> subscriptions_;
};

}  // namespace vimbo::views
