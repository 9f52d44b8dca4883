#include "Platform/Desktop/DesktopHost.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <utility>

#include "Platform/Foundation/Diagnostics.h"
#include "Platform/Foundation/Image.h"
#include "Platform/Foundation/UserDefaults.h"

namespace vimbo::desktop {

sim::WorldLoad worldFromEnvironment() {
  const char* named = std::getenv(kWorldVariable);
  if (named && *named) return sim::loadWorld(named);
  return sim::loadWorld(sim::shippedWorldsFolder() / "notched-laptop.json");
}

namespace {

// Reports about the person's settings, kept from the moment the defaults file is read until the
// desktop window shows, then shown over it one box at a time. The boxes are not modal: a report
// can come from inside a nested loop of start-up or of a move, which must not wait for "好".
struct SettingsReports {
  std::deque<QString> waiting;
  QPointer<QWidget> over;
  bool boxOpen = false;
};
SettingsReports settingsReports;

void showNextSettingsReport() {
  SettingsReports& r = settingsReports;
  if (!r.over || r.boxOpen || r.waiting.empty()) return;
  MessageBox* box = newMessageBox(QStringLiteral("设置未能照常读取或保存。"), r.waiting.front(), r.over);
  r.waiting.pop_front();
  r.boxOpen = true;
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->setQuitHandler([over = r.over] {
    if (over) over->close();
  });
  QObject::connect(box, &QDialog::finished, [] {
    settingsReports.boxOpen = false;
    QTimer::singleShot(0, qApp, showNextSettingsReport);
  });
  box->show();
  box->raise();
}

void keepSettingsReports() {
  platform::setUserReportHandler([](const std::string& report) {
    if (!qApp) return;  // stderr has it
    settingsReports.waiting.push_back(QString::fromStdString(report));
    QTimer::singleShot(0, qApp, showNextSettingsReport);  // never inside the code that reported
  });
}

}  // namespace

void showSettingsReports(QWidget& over) {
  settingsReports.over = &over;
  QTimer::singleShot(0, qApp, showNextSettingsReport);
}

void reportWorldError(const sim::WorldError& error) {
  std::cerr << "Vimbo: " << error.message << std::endl;
  if (!error.parserDetail.empty()) std::cerr << "Vimbo: " << error.parserDetail << std::endl;  // not for the dialog
  showMessageBox(QStringLiteral("无法载入模拟桌面的世界文件。"), QString::fromStdString(error.message));
}

void reportAlreadyRunning() {
  std::cerr << "Vimbo 已在运行。" << std::endl;
  showMessageBox(QStringLiteral("Vimbo 已在运行。"));
}

StandInStatusItems installStandInStatusItems(platform::StatusBar& statusBar, platform::UserDefaults& defaults) {
  auto seed = [&](const std::string& name, double position) {
    std::string key = "NSStatusItem Preferred Position " + name;
    if (!defaults.hasObject(key)) defaults.set(key, position);
  };
  seed("Vimbo.Control", 0.0);
  seed("Vimbo.HiddenDivider", 1.0);
  StandInStatusItems items;
  items.divider = statusBar.statusItem(1);
  if (items.divider) {
    items.divider->setAutosaveName("Vimbo.HiddenDivider");
    items.divider->setVisible(true);
  }
  items.control = statusBar.statusItem(platform::statusitemlength::square);
  if (items.control) {
    items.control->setAutosaveName("Vimbo.Control");
    items.control->setVisible(true);
    if (auto* button = items.control->button()) {
      auto glyph = platform::Image::symbol("rectangle.3.group", "Vimbo");
      button->setImage(glyph);
      button->setToolTip("Vimbo");  // no hot key works without the controller
    }
  }
  return items;
}

DesktopWindow::DesktopWindow(sim::World& world, std::function<void()> onClose)
    : view_(new DesktopView(world, this)), onClose_(std::move(onClose)) {
  setWindowTitle(QStringLiteral("Vimbo · 模拟桌面"));
  setAttribute(Qt::WA_AlwaysShowToolTips);  // the menu bar answers hovering whether or not we are active
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  view_->setQuitHandler([this] {
    if (onClose_) onClose_();
  });
  view_->setFocus();
}

void DesktopWindow::fitToScreen() {
  QSize want = view_->sizeHint();
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || want.isEmpty()) {
    resize(want);
    return;
  }
  QSize room = screen->availableGeometry().size();
  double s = std::min({1.0, double(room.width()) / want.width(), double(room.height()) / want.height()});
  resize(int(want.width() * s), int(want.height() * s));
}

void DesktopWindow::closeEvent(QCloseEvent* e) {
  if (onClose_) onClose_();  // the application's terminate(), which does its work once
  e->accept();
}

DesktopHost::DesktopHost(async::Executor& executor, sim::WorldSpec spec, std::function<void()> quit,
                         std::shared_ptr<platform::UserDefaults> defaults)
    : executor_(executor), quit_(std::move(quit)), defaults_(std::move(defaults)) {
  environment_ = std::make_unique<sim::SimEnvironment>(std::move(spec), executor, defaults_);
  sim::SimPlatform& sim = environment_->sim();
  factory_ = std::make_unique<views::QtViewFactory>(sim.application, sim.workspace, executor);
  sim.application.setTerminationHandler([this] { terminated(); });
  window_ = std::make_unique<DesktopWindow>(environment_->world(), [this] { environment_->sim().application.terminate(); });
  window_->fitToScreen();
}

DesktopHost::~DesktopHost() {
  // Also when the run ended without a quit: no worker may outlive the controller or the world.
  executor_.shutdown();
  window_->view().detach();
  window_.reset();
  environment_->sim().application.setDelegate(nullptr);
  delegate_.reset();
}

std::shared_ptr<platform::UserDefaults> DesktopHost::persistentDefaults(async::Executor& executor) {
  keepSettingsReports();
  return platform::UserDefaults::persistent(platform::UserDefaults::defaultFilePath(),
                                            [&executor](std::function<void()> write) { executor.post(std::move(write)); });
}

void DesktopHost::launch(std::shared_ptr<platform::ApplicationDelegate> delegate) {
  delegate_ = std::move(delegate);
  sim::SimApplication& application = environment_->sim().application;
  application.setDelegate(delegate_.get());
  if (!delegate_) items_ = installStandInStatusItems(environment_->sim().statusBar, *defaults_);
  window_->view().setLaunching(true);
  application.finishLaunching();
  window_->view().setLaunching(false);
}

void DesktopHost::terminated() {
  window_->view().detach();
  // The last chance for pending changes: a failure here is said even if the same error was
  // reported earlier in the run, since no retry follows.
  if (!defaults_->flush() && defaults_->lastWriteError())
    std::cerr << "Vimbo: 退出时未能保存设置：" << *defaults_->lastWriteError() << std::endl;
  // Workers (a refresh's accessibility scan) read the world and the controller: they finish here,
  // before anything they read can go.
  executor_.shutdown();
  if (quit_) quit_();
}

}  // namespace vimbo::desktop
