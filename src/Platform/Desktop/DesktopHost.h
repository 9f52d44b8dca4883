#pragma once
// The application's host: one window showing the simulated desktop, on the runtime's Qt loop.
// The world comes from the file named by VIMBO_WORLD, else the shipped notched laptop. Every way
// out (closing the window, Command-Q, a quit button) goes through the application's terminate():
// the delegate hears applicationWillTerminate, then the host flushes the defaults, stops the
// runtime (nothing runs afterwards, no worker thread is left) and quits. A host that goes without
// a quit shuts the runtime down first all the same.

#include <QWidget>
#include <functional>
#include <memory>

#include "Platform/Desktop/DesktopView.h"
#include "Platform/Desktop/MessageBox.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/SimPlatform.h"
#include "Platform/Sim/WorldJson.h"
#include "Platform/StatusBar.h"
#include "Views/Widgets/QtViewFactory.h"

namespace vimbo::desktop {

inline constexpr const char* kWorldVariable = "VIMBO_WORLD";

// The world named by VIMBO_WORLD (unset or empty: worlds/notched-laptop.json); a bad file gives
// the simulation's error, which names the file and the place.
sim::WorldLoad worldFromEnvironment();
// On stderr and in a message box.
void reportWorldError(const sim::WorldError& error);
// A second Vimbo started on the defaults folder of a running one: on stderr and in a message box.
void reportAlreadyRunning();
// Every report about the person's settings (platform::reportToUser), from the reading of the
// defaults file (DesktopHost::persistentDefaults) on, is also shown in a message box over the
// window once it shows, one box at a time. Command-Q in a box closes the window: Vimbo quits.
void showSettingsReports(QWidget& over);

// The host's stand-in when launched without a controller: our two status items, so the bar looks
// right (the divider at length 1, the control item with its glyph), installed through the status
// bar as the controller would: divider first, each with its preferred position seeded when absent.
struct StandInStatusItems {
  platform::StatusItemRef divider;
  platform::StatusItemRef control;
};
StandInStatusItems installStandInStatusItems(platform::StatusBar& statusBar, platform::UserDefaults& defaults);

class DesktopWindow : public QWidget {
 public:
  DesktopWindow(sim::World& world, std::function<void()> onClose);
  DesktopView& view() { return *view_; }
  // Fits the window to the screen: the desktop 1:1 when there is room, else scaled down.
  void fitToScreen();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  DesktopView* view_;
  std::function<void()> onClose_;
};

class DesktopHost {
 public:
  // quit runs after the runtime shut down (the application passes QCoreApplication::quit). The
  // application passes its defaults file (persistentDefaults); tests keep them in memory.
  DesktopHost(async::Executor& executor, sim::WorldSpec spec, std::function<void()> quit = {},
              std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory());
  ~DesktopHost();
  DesktopHost(const DesktopHost&) = delete;
  DesktopHost& operator=(const DesktopHost&) = delete;

  // The defaults file under $XDG_CONFIG_HOME/vimbo/, writes coalesced per turn of the executor.
  static std::shared_ptr<platform::UserDefaults> persistentDefaults(async::Executor& executor);

  // Sets the application delegate (the controller) and finishes launching. Without a delegate the
  // stand-in status items are installed instead. The window's input that arrives meanwhile is
  // handed on, in order, once the launch has finished.
  void launch(std::shared_ptr<platform::ApplicationDelegate> delegate);

  DesktopWindow& window() { return *window_; }
  sim::SimEnvironment& environment() { return *environment_; }
  sim::World& world() { return environment_->world(); }
  platform::Platform platform() { return environment_->platform(); }
  std::shared_ptr<platform::UserDefaults> defaults() const { return defaults_; }
  // The factory of our windows' content, for the controller to take at construction.
  ViewFactory& viewFactory() { return *factory_; }
  const StandInStatusItems& statusItems() const { return items_; }

 private:
  void terminated();

  async::Executor& executor_;
  std::function<void()> quit_;
  std::shared_ptr<platform::UserDefaults> defaults_;
  std::unique_ptr<sim::SimEnvironment> environment_;
  std::unique_ptr<views::QtViewFactory> factory_;
  std::shared_ptr<platform::ApplicationDelegate> delegate_;  // uses the world: goes before it
  StandInStatusItems items_;
  std::unique_ptr<DesktopWindow> window_;  // reads the world: goes first
};

}  // namespace vimbo::desktop
