#include "Views/Widgets/HoverSettingsControls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "Views/Widgets/PlainButton.h"
#include "Views/Widgets/SettingsPanels.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

constexpr int kTitleColumn = 102;

QLabel* note(const QString& text, QWidget* parent) {
  return wrappingLabel(text, views::font(TextStyle::caption2), theme::secondary(), parent);
}

// One segment of the two-segment picker: rounded on its outer side only.
QString segmentStyle(bool first) {
  const QString corners = first ? QStringLiteral("border-top-left-radius: 5px; border-bottom-left-radius: 5px;")
                                : QStringLiteral("border-top-right-radius: 5px; border-bottom-right-radius: 5px;"
                                                 "border-left: none;");
  return QStringLiteral(
             "QToolButton { border: 1px solid rgba(0,0,0,40); background: white; padding: 2px 10px;"
             " color: #1d1d1f; %1 }"
             "QToolButton:hover { background: #f0f0f2; }"
             "QToolButton:pressed { background: #e2e2e6; }"
             "QToolButton:checked { background: #007AFF; color: white; border-color: #007AFF; }")
      .arg(corners);
}

}  // namespace

HoverSettingsControls::HoverSettingsControls(MenuBarStore& store, QWidget* parent) : QWidget(parent), store_(store) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 2, 0, 2);
  column->setSpacing(4);

  expandToggle_ = new QCheckBox(QStringLiteral("鼠标悬停时自动展开"), this);
  connect(expandToggle_, &QCheckBox::clicked, this, [this](bool on) { store_.expandOnHover.set(on); });
  column->addWidget(expandToggle_);

  // The method stays enabled even while hover expansion is off.
  auto* method = new QWidget(this);
  auto* methodColumn = new QVBoxLayout(method);
  methodColumn->setContentsMargins(0, 0, 0, 0);
  methodColumn->setSpacing(3);
  auto* methodRow = new QHBoxLayout;
  methodRow->setSpacing(8);
  auto* methodTitle = plainLabel(QStringLiteral("悬停检测方式"), views::font(TextStyle::body), theme::primary(), method);
  methodTitle->setFixedWidth(kTitleColumn);
  methodRow->addWidget(methodTitle);
  auto* segments = new QWidget(method);
  auto* segmentRow = new QHBoxLayout(segments);
  segmentRow->setContentsMargins(0, 0, 0, 0);
  segmentRow->setSpacing(0);
  methods_ = new QButtonGroup(this);
  methods_->setExclusive(true);
  for (auto m : allHoverDetectionMethods) {
    auto* button = new QToolButton(segments);
    button->setText(qstr(hoverDetectionMethodTitle(m)));
    button->setCheckable(true);
    button->setStyleSheet(segmentStyle(m == allHoverDetectionMethods.front()));
    button->setFont(views::font(TextStyle::callout));
    button->setAccessibleName(QStringLiteral("悬停检测方式"));
    methods_->addButton(button, static_cast<int>(m));
    segmentRow->addWidget(button);
  }
  connect(methods_, &QButtonGroup::idClicked, this, [this](int id) {
    store_.hoverDetectionMethod.set(static_cast<HoverDetectionMethod>(id));
  });
  methodRow->addWidget(segments);
  methodRow->addStretch(1);
  methodColumn->addLayout(methodRow);
  methodNote_ = note({}, method);
  methodColumn->addWidget(methodNote_);
  column->addWidget(method);

  expansionGroup_ = new QWidget(this);
  auto* expansion = new QVBoxLayout(expansionGroup_);
  expansion->setContentsMargins(0, 0, 0, 0);
  expansion->setSpacing(4);
  intervalGroup_ = new QWidget(expansionGroup_);
  auto* interval = new QVBoxLayout(intervalGroup_);
  interval->setContentsMargins(0, 0, 0, 0);
  interval->setSpacing(2);
  interval->addWidget(makeTimingRow(HoverTiming::samplingInterval, intervalGroup_));
  intervalNote_ = note(QStringLiteral("事件驱动时不使用此间隔。"), intervalGroup_);
  interval->addWidget(intervalNote_);
  expansion->addWidget(intervalGroup_);
  expansion->addWidget(makeTimingRow(HoverTiming::revealDelay, expansionGroup_));
  expansionNote_ = note(QStringLiteral("快速掠过仍会由展开延迟过滤。"), expansionGroup_);
  expansion->addWidget(expansionNote_);
  column->addWidget(expansionGroup_);

  collapseToggle_ = new QCheckBox(QStringLiteral("鼠标离开菜单栏时自动收起"), this);
  connect(collapseToggle_, &QCheckBox::clicked, this, [this](bool on) { store_.collapseOnPointerExit.set(on); });
  column->addWidget(collapseToggle_);
  column->addWidget(makeTimingRow(HoverTiming::collapseDelay, this));

  auto* resetRow = new QHBoxLayout;
  resetRow->setSpacing(8);
  auto* reset = new PlainButton(this);
  reset->setSymbol(QStringLiteral("arrow.counterclockwise"), 12);
  reset->setText(QStringLiteral("恢复悬停参数默认值"));
  reset->setTextFont(views::font(TextStyle::callout));
  reset->setBordered(true);
  reset->setPadding(8, 3);
  connect(reset, &QAbstractButton::clicked, this, [this] { resetHoverDefaults(store_); });
  resetButton_ = reset;
  resetRow->addWidget(reset);
  resetRow->addStretch(1);
  resetRow->addWidget(plainLabel(QStringLiteral("默认：50 / 150 / 400 毫秒"), views::font(TextStyle::caption2),
                                 theme::secondary(), this));
  column->addLayout(resetRow);

  sync();
}

QWidget* HoverSettingsControls::makeTimingRow(HoverTiming timing, QWidget* parent) {
  const auto& spec = hoverTimingSpec(timing);
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);

  auto* titles = new QWidget(row);
  titles->setFixedWidth(kTitleColumn);
  auto* titleColumn = new QVBoxLayout(titles);
  titleColumn->setContentsMargins(0, 0, 0, 0);
  titleColumn->setSpacing(2);
  titleColumn->addWidget(plainLabel(qstr(spec.title), views::font(TextStyle::body), theme::primary(), titles));
  auto* hints = new QHBoxLayout;
  hints->setSpacing(3);
  for (auto text : {qstr(spec.leadingHint), QStringLiteral("·"), qstr(spec.trailingHint)}) {
    hints->addWidget(plainLabel(text, views::font(TextStyle::caption2), theme::tertiary(), titles));
  }
  hints->addStretch(1);
  titleColumn->addLayout(hints);
  layout->addWidget(titles);

  auto* slider = new PageControl<QSlider>(Qt::Horizontal, row);
  slider->setRange(0, hoverTimingMaxTick(timing));
  slider->setSingleStep(1);
  slider->setPageStep(1);
  slider->setAccessibleName(qstr(spec.title));
  // actionTriggered comes before the new position is applied; sliderPosition() already holds it.
  // A drag is written through sliderMoved.
  connect(slider, &QSlider::actionTriggered, this, [this, timing, slider](int action) {
    if (action != QAbstractSlider::SliderMove) sliderActed(timing, slider->sliderPosition());
  });
  connect(slider, &QSlider::sliderMoved, this, [this, timing](int tick) { sliderActed(timing, tick); });
  layout->addWidget(slider, 1);

  auto* value = plainLabel({}, withTabularDigits(views::font(TextStyle::callout)), theme::secondary(), row);
  value->setFixedWidth(68);
  value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  layout->addWidget(value);

  rows_[index(timing)] = TimingRow{row, slider, value};
  return row;
}

void HoverSettingsControls::sliderActed(HoverTiming timing, int tick) {
  writeHoverTiming(store_, timing, hoverTimingValue(timing, tick));
  valueLabel(timing)->setText(qstr(hoverTimingDisplay(storedHoverTiming(store_, timing))));
}

QToolButton* HoverSettingsControls::methodButton(HoverDetectionMethod method) const {
  return static_cast<QToolButton*>(methods_->button(static_cast<int>(method)));
}

void HoverSettingsControls::sync() {
  {
    const QSignalBlocker a(expandToggle_);
    const QSignalBlocker b(collapseToggle_);
    expandToggle_->setChecked(store_.expandOnHover.get());
    collapseToggle_->setChecked(store_.collapseOnPointerExit.get());
  }
  const auto method = store_.hoverDetectionMethod.get();
  methodButton(method)->setChecked(true);
  methodNote_->setText(qstr(hoverDetectionMethodNote(method)));

  for (auto timing : {HoverTiming::samplingInterval, HoverTiming::revealDelay, HoverTiming::collapseDelay}) {
    const double stored = storedHoverTiming(store_, timing);
    auto* s = slider(timing);
    // A programmatic setValue emits valueChanged; nothing here writes, but keep it quiet anyway.
    if (!s->isSliderDown()) {
      const QSignalBlocker blocker(s);
      s->setValue(hoverTimingNearestTick(timing, stored));
    }
    valueLabel(timing)->setText(qstr(hoverTimingDisplay(stored)));
  }

  const auto state = hoverControlsState(store_);
  expansionGroup_->setEnabled(state.expansionEnabled);
  setDimmed(expansionGroup_, state.expansionOpacity, theme::controlBackground());
  intervalGroup_->setEnabled(state.intervalEnabled);
  setDimmed(intervalGroup_, state.intervalOpacity, theme::controlBackground());
  intervalNote_->setVisible(state.showsIntervalNote);
  auto* collapseRow = timingRow(HoverTiming::collapseDelay);
  collapseRow->setEnabled(state.collapseDelayEnabled);
  setDimmed(collapseRow, state.collapseDelayOpacity, theme::controlBackground());
}

}  // namespace vimbo::views
