// Vimbo on the simulated desktop: one window, driven by the real pointer and keyboard.
#include <QApplication>
#include <variant>

#include "App/VimboApp.h"
#include "Platform/Desktop/Appearance.h"
#include "Platform/Desktop/DesktopHost.h"
#include "Platform/Desktop/QtExecutor.h"
#include "Platform/Foundation/Diagnostics.h"
#include "Platform/Foundation/UserDefaults.h"

int main(int argc, char** argv) {
  qunsetenv("QT_QPA_PLATFORMTHEME");  // no desktop theme plugin may change our fonts or palette
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vimbo"));
  vimbo::desktop::configureApplication(app);

  // One Vimbo per defaults folder, held for the whole run; a second one leaves everything alone.
  // Without the lock (the folder cannot be made) Vimbo still starts, and says why.
  const auto defaultsFile = vimbo::platform::UserDefaults::defaultFilePath();
  auto instance = vimbo::platform::FolderLock::acquire(defaultsFile.parent_path());
  if (instance.heldElsewhere) {
    vimbo::desktop::reportAlreadyRunning();
    return 1;
  }
  if (instance.lock) {
    vimbo::platform::UserDefaults::removeStaleTemporaries(defaultsFile, *instance.lock);
  } else {
    vimbo::platform::reportOnce(instance.error + "，无法确认没有另一个 Vimbo 在使用这些设置。");
  }

  auto load = vimbo::desktop::worldFromEnvironment();
  if (auto* error = std::get_if<vimbo::sim::WorldError>(&load)) {
    vimbo::desktop::reportWorldError(*error);
    return 1;
  }
  vimbo::desktop::QtExecutor executor;
  int status = 0;
  {
    vimbo::desktop::DesktopHost host(executor, std::get<vimbo::sim::WorldSpec>(std::move(load)),
                                     [] { QCoreApplication::quit(); },
                                     vimbo::desktop::DesktopHost::persistentDefaults(executor));
    vimbo::platform::Platform platform = host.platform();
    vimbo::VimboApp vimboApp(platform, host.defaults(), host.viewFactory());
    // The desktop is there before Vimbo finishes launching, as a Mac's is: the start's short
    // settling waits then run behind a painted screen.
    host.window().show();
    host.launch(vimboApp.appDelegate);
    vimbo::desktop::showSettingsReports(host.window());
    status = app.exec();
    // However the loop ended, no worker may outlive the controller, the host or the world.
    executor.shutdown();
  }
  return status;
}
