#pragma once
// The hover block of the general page: the hover switch, the detection method, the three timing
// sliders, the collapse switch and the reset of the hover values. Sliders write through the
// store's clamping setters on a user's action only; syncing from the store never writes, so an
// off-grid stored value stays as it is.

#include <QWidget>
#include <array>

#include "Platform/Runtime/Property.h"
#include "Store/MenuBarStore.h"
#include "Views/HoverSettingsModel.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QSlider;
class QToolButton;

namespace vimbo::views {

class HoverSettingsControls : public QWidget {
 public:
  HoverSettingsControls(MenuBarStore& store, QWidget* parent = nullptr);

  // Re-reads the store.
  void sync();

  QCheckBox* expandToggle() const { return expandToggle_; }
  QCheckBox* collapseToggle() const { return collapseToggle_; }
  QToolButton* methodButton(HoverDetectionMethod method) const;
  QLabel* methodNote() const { return methodNote_; }
  QSlider* slider(HoverTiming timing) const { return rows_[index(timing)].slider; }
  QLabel* valueLabel(HoverTiming timing) const { return rows_[index(timing)].value; }
  QWidget* timingRow(HoverTiming timing) const { return rows_[index(timing)].row; }
  QWidget* expansionGroup() const { return expansionGroup_; }
  QWidget* intervalGroup() const { return intervalGroup_; }
  QLabel* intervalNote() const { return intervalNote_; }
  QLabel* expansionNote() const { return expansionNote_; }
  QAbstractButton* resetButton() const { return resetButton_; }

 private:
  struct TimingRow {
    QWidget* row = nullptr;
    QSlider* slider = nullptr;
    QLabel* value = nullptr;
  };
  static std::size_t index(HoverTiming timing) { return static_cast<std::size_t>(timing); }
  QWidget* makeTimingRow(HoverTiming timing, QWidget* parent);
  void sliderActed(HoverTiming timing, int tick);

  MenuBarStore& store_;
  QCheckBox* expandToggle_ = nullptr;
  QCheckBox* collapseToggle_ = nullptr;
  QButtonGroup* methods_ = nullptr;
  QLabel* methodNote_ = nullptr;
  QWidget* expansionGroup_ = nullptr;
  QWidget* intervalGroup_ = nullptr;
  QLabel* intervalNote_ = nullptr;
  QLabel* expansionNote_ = nullptr;
  QAbstractButton* resetButton_ = nullptr;
  std::array<TimingRow, 3> rows_{};
};

}  // namespace vimbo::views
