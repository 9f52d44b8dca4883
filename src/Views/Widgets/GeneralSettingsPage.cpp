#include "Views/Widgets/GeneralSettingsPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Views/Widgets/HoverSettingsControls.h"
#include "Views/Widgets/PlainButton.h"
#include "Views/Widgets/SettingsPanels.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

// A fixed key combination on a small rounded badge; not editable.
QLabel* shortcutBadge(const QString& keys, QWidget* parent) {
  auto* badge = plainLabel(keys, views::font(TextStyle::body, SymbolWeight::medium), theme::primary(), parent);
  badge->setContentsMargins(8, 4, 8, 4);
  badge->setAutoFillBackground(false);
  badge->setStyleSheet(QStringLiteral("QLabel { background: rgba(0,0,0,26); border-radius: 5px; }"));
  return badge;
}

}  // namespace

GeneralSettingsPage::GeneralSettingsPage(MenuBarStore& store, QWidget* parent) : QScrollArea(parent), store_(store) {
  styleScrollArea(*this);
  setWidgetResizable(true);
  auto* content = new QWidget;
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(12, 12, 12, 12);
  column->setSpacing(16);

  auto* startup = new FormSection(QStringLiteral("启动"), content);
  launchAtLogin_ = new QCheckBox(QStringLiteral("登录时自动启动"));
  // The store decides what the box shows: after a failure it is the state the system reports,
  // not the one the click asked for.
  connect(launchAtLogin_, &QCheckBox::clicked, this, [this](bool on) {
    store_.setLaunchAtLogin(on);
    const QSignalBlocker blocker(launchAtLogin_);
    launchAtLogin_->setChecked(store_.launchAtLogin.get());
  });
  startup->addRow(launchAtLogin_);
  column->addWidget(startup);

  auto* bar = new FormSection(QStringLiteral("快捷栏"), content);
  showLabels_ = new QCheckBox(QStringLiteral("显示项目名称"));
  connect(showLabels_, &QCheckBox::clicked, this, [this](bool on) { store_.showLabels.set(on); });
  bar->addRow(showLabels_);
  hover_ = new HoverSettingsControls(store_);
  bar->addRow(hover_);
  shortcut_ = new QCheckBox(QStringLiteral("启用全局快捷键"));
  connect(shortcut_, &QCheckBox::clicked, this, [this](bool on) { store_.shortcutEnabled.set(on); });
  bar->addRow(shortcut_);
  for (auto [title, keys] : {std::pair{QStringLiteral("展开 / 收起"), QStringLiteral("⌃⌘B")},
                             std::pair{QStringLiteral("快捷搜索"), QStringLiteral("⌥⌘B")}}) {
    auto* badge = shortcutBadge(keys, nullptr);
    badges_.append(badge);
    bar->addLabelledRow(title, badge);
  }
  column->addWidget(bar);

  auto* experimental = new FormSection(QStringLiteral("实验性系统收纳"), content);
  privateAPI_ = plainLabel({}, views::font(TextStyle::body, SymbolWeight::medium), theme::green(), nullptr);
  experimental->addLabelledRow(QStringLiteral("私有接口"), privateAPI_);
  caption_ = wrappingLabel(
      QStringLiteral("通过非公开 WindowServer 接口和超宽分隔状态项收纳其左侧的菜单栏图标。退出 Vimbo 后会自动恢复。"),
      views::font(TextStyle::caption), theme::secondary());
  experimental->addRow(caption_);
  column->addWidget(experimental);

  auto* resetSection = new FormSection({}, content);
  auto* reset = new PlainButton;
  reset->setText(QStringLiteral("恢复默认设置"));
  reset->setTextFont(views::font(TextStyle::body));
  reset->setForeground(theme::red());
  reset->setBordered(true);
  reset->setPadding(10, 4);
  // No confirmation: the reset keeps the layout, the login item and the other switches.
  connect(reset, &QAbstractButton::clicked, this, [this] { store_.reset(); });
  reset_ = reset;
  auto* resetRow = new QWidget;
  auto* resetLayout = new QHBoxLayout(resetRow);
  resetLayout->setContentsMargins(0, 0, 0, 0);
  resetLayout->addWidget(reset);
  resetLayout->addStretch(1);
  resetSection->addRow(resetRow);
  column->addWidget(resetSection);
  column->addStretch(1);

  setWidget(content);
  content->setAutoFillBackground(false);  // setWidget turns it on
  sync();
}

void GeneralSettingsPage::sync() {
  for (auto [box, value] : {std::pair{launchAtLogin_, store_.launchAtLogin.get()},
                            std::pair{showLabels_, store_.showLabels.get()},
                            std::pair{shortcut_, store_.shortcutEnabled.get()}}) {
    const QSignalBlocker blocker(box);
    box->setChecked(value);
  }
  const bool available = store_.privateAPIAvailable.get();
  privateAPI_->setText(available ? QStringLiteral("可用") : QStringLiteral("不可用"));
  QPalette p = privateAPI_->palette();
  p.setColor(QPalette::WindowText, available ? theme::green() : theme::red());
  privateAPI_->setPalette(p);
  hover_->sync();
}

}  // namespace vimbo::views
