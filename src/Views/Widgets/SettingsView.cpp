#include "Views/Widgets/SettingsView.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "Views/Widgets/GeneralSettingsPage.h"
#include "Views/Widgets/MenuBarLayoutSettingsView.h"
#include "Views/Widgets/SettingsAlert.h"
#include "Views/Widgets/SymbolCatalog.h"
#include "Views/Widgets/SystemItemsPage.h"
#include "Views/Widgets/ViewKit.h"

namespace vimbo::views {

namespace {

// One sidebar row: an 18-wide symbol column and the title; the whole row takes the click. The
// selected row sits on the accent at 0.14; the pointer gives a lighter grey of its own.
class SidebarRow : public QAbstractButton {
 public:
  SidebarRow(const QString& symbol, const QString& title, QColor foreground, QWidget* parent)
      : QAbstractButton(parent), symbol_(symbol), foreground_(foreground) {
    setText(title);
    setFont(views::font(TextStyle::body));
    setMinimumHeight(38);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(title);
  }

  void setSelected(bool selected) {
    selected_ = selected;
    update();
  }
  bool isSelected() const { return selected_; }

  QSize sizeHint() const override { return {SettingsView::kSidebarWidth - 24, 38}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 7, 7);
    if (selected_) {
      p.fillPath(path, theme::accent(0.14));
    } else if (isDown()) {
      p.fillPath(path, theme::primary(0.09));
    } else if (underMouse()) {
      p.fillPath(path, theme::primary(0.05));
    }
    const int x = 10;
    SymbolCatalog::draw(p, QRectF(x, (height() - 16) / 2.0, 18, 16), symbol_, foreground_);
    p.setPen(foreground_);
    p.setFont(font());
    const QRect textBox(x + 18 + 8, 0, width() - (x + 18 + 8) - 10, height());
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               fontMetrics().elidedText(text(), Qt::ElideRight, textBox.width()));
  }
  void enterEvent(QEnterEvent* e) override {
    update();
    QAbstractButton::enterEvent(e);
  }
  void leaveEvent(QEvent* e) override {
    update();
    QAbstractButton::leaveEvent(e);
  }

 private:
  QString symbol_;
  QColor foreground_;
  bool selected_ = false;
};

class SidebarBackground : public QWidget {
 public:
  explicit SidebarBackground(QWidget* parent) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), theme::material(theme::Material::ultraThin));
  }
};

class VerticalDivider : public QWidget {
 public:
  explicit VerticalDivider(QWidget* parent) : QWidget(parent) { setFixedWidth(1); }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), theme::primary(0.12)); }
};

class DetailBackground : public QWidget {
 public:
  explicit DetailBackground(QWidget* parent) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), theme::windowBackground()); }
};

SidebarRow* asRow(QAbstractButton* button) { return static_cast<SidebarRow*>(button); }

}  // namespace

SettingsView::SettingsView(MenuBarStore& store, async::Executor& executor, platform::Application& application,
                           MenuBarLayoutEditorModel::ApplyLayout applyLayout,
                           MenuBarLayoutEditorModel::RefreshItems refreshItems, QWidget* parent)
    : QWidget(parent),
      store_(store),
      executor_(executor),
      application_(application),
      applyLayout_(std::move(applyLayout)),
      refreshItems_(std::move(refreshItems)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(makeSidebar());
  row->addWidget(new VerticalDivider(this));

  detail_ = new DetailBackground(this);
  detail_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  pages_ = new QStackedLayout(detail_);
  general_ = new GeneralSettingsPage(store_, detail_);
  systemItems_ = new SystemItemsPage(store_, detail_);
  about_ = new AboutPage(detail_);
  pages_->addWidget(general_);
  pages_->addWidget(systemItems_);
  pages_->addWidget(about_);
  row->addWidget(detail_, 1);

  alert_ = new SettingsAlert([this] { store_.lastError.set(std::nullopt); }, this);

  // The store notifies before it stores: re-read it on the next turn.
  subscriptions_.push_back(store_.objectWillChange.subscribe([this](std::uint64_t) { syncLater_.request(); }));
  // New content starts on the general page.
  asRow(rows_[index(SettingsSection::general)])->setSelected(true);
  pages_->setCurrentWidget(general_);
  sync();
}

SettingsView::~SettingsView() { subscriptions_.clear(); }

QWidget* SettingsView::makeSidebar() {
  sidebar_ = new SidebarBackground(this);
  sidebar_->setFixedWidth(kSidebarWidth);
  auto* column = new QVBoxLayout(sidebar_);
  column->setContentsMargins(12, 12, 12, 12);
  column->setSpacing(4);
  for (auto section : allSettingsSections) {
    auto* sidebarRow = new SidebarRow(qstr(symbolName(section)), qstr(title(section)), theme::primary(), sidebar_);
    connect(sidebarRow, &QAbstractButton::clicked, this, [this, section] { select(section); });
    rows_[index(section)] = sidebarRow;
    column->addWidget(sidebarRow);
  }
  column->addStretch(1);
  auto* quit = new SidebarRow(QStringLiteral("power"), QStringLiteral("退出 Vimbo"), theme::red(), sidebar_);
  setPlainToolTip(quit, QStringLiteral("退出 Vimbo"));
  // The application's own quit path runs the controller's quit; nothing else happens here.
  connect(quit, &QAbstractButton::clicked, this, [this] { application_.terminate(); });
  quit_ = quit;
  column->addWidget(quit);
  return sidebar_;
}

QWidget* SettingsView::currentPage() const {
  if (selected_ == SettingsSection::menuBarLayout) return layout_;
  return pages_->currentWidget();
}

void SettingsView::select(SettingsSection section) {
  if (section == selected_ && (section != SettingsSection::menuBarLayout || layout_)) return;
  selected_ = section;
  for (auto s : allSettingsSections) asRow(rows_[index(s)])->setSelected(s == section);
  // Leaving the layout page discards its editor and draft.
  if (layout_ && section != SettingsSection::menuBarLayout) {
    pages_->removeWidget(layout_);
    delete layout_;
    layout_ = nullptr;
  }
  switch (section) {
    case SettingsSection::general: pages_->setCurrentWidget(general_); break;
    case SettingsSection::systemItems: pages_->setCurrentWidget(systemItems_); break;
    case SettingsSection::about: pages_->setCurrentWidget(about_); break;
    case SettingsSection::menuBarLayout:
      layout_ = new MenuBarLayoutSettingsView(store_, executor_, applyLayout_, refreshItems_, detail_);
      pages_->addWidget(layout_);
      pages_->setCurrentWidget(layout_);
      if (isVisible()) layout_->appear();
      break;
  }
}

void SettingsView::sync() {
  general_->sync();
  systemItems_->sync();
  const auto& error = store_.lastError.get();
  alert_->present(error ? std::optional<QString>(qstr(*error)) : std::nullopt);
}

void SettingsView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A sentence written while the window was hidden shows now; a kept layout page appears again.
  sync();
  if (layout_) layout_->appear();
}

void SettingsView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  alert_->setGeometry(rect());
}

}  // namespace vimbo::views
