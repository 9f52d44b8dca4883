#pragma once
// The general page: start-up, the shortcut bar with the hover block, the experimental collection
// status and the reset of the settings. Every control reads and writes the store; the page
// re-reads the store on each change.

#include <QScrollArea>

#include "Store/MenuBarStore.h"

class QAbstractButton;
class QCheckBox;
class QLabel;

namespace vimbo::views {

class HoverSettingsControls;

class GeneralSettingsPage : public QScrollArea {
 public:
  GeneralSettingsPage(MenuBarStore& store, QWidget* parent = nullptr);

  void sync();

  QCheckBox* launchAtLoginToggle() const { return launchAtLogin_; }
  QCheckBox* showLabelsToggle() const { return showLabels_; }
  QCheckBox* shortcutToggle() const { return shortcut_; }
  HoverSettingsControls* hoverControls() const { return hover_; }
  QLabel* privateAPIStatus() const { return privateAPI_; }
  QLabel* privateAPICaption() const { return caption_; }
  QList<QLabel*> shortcutBadges() const { return badges_; }
  QAbstractButton* resetButton() const { return reset_; }

 private:
  MenuBarStore& store_;
  QCheckBox* launchAtLogin_ = nullptr;
  QCheckBox* showLabels_ = nullptr;
  QCheckBox* shortcut_ = nullptr;
  HoverSettingsControls* hover_ = nullptr;
  QLabel* privateAPI_ = nullptr;
  QLabel* caption_ = nullptr;
  QList<QLabel*> badges_;
  QAbstractButton* reset_ = nullptr;
};

}  // namespace vimbo::views
