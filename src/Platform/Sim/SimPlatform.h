#pragma once
// The platform interfaces served by a simulated world. One SimPlatform per world; it owns the
// facades and hands them out as the references the system receives.

#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Platform/Accessibility.h"
#include "Platform/Application.h"
#include "Platform/EventMonitors.h"
#include "Platform/Events.h"
#include "Platform/Foundation/LoginItem.h"
#include "Platform/Foundation/ScreenCaptureAccess.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/HotKeys.h"
#include "Platform/IncomingText.h"
#include "Platform/InputHold.h"
#include "Platform/Platform.h"
#include "Platform/ScreenCapture.h"
#include "Platform/Screens.h"
#include "Platform/StatusBar.h"
#include "Platform/WindowServer.h"
#include "Platform/Workspace.h"
#include "Platform/Sim/SimWindows.h"
#include "Platform/Sim/World.h"

namespace vimbo::async {
class Executor;
}

namespace vimbo::sim {

// The clockwork of a runtime executor: its clock, timers, posts, nested loop and virtual costs.
Clockwork clockworkFor(async::Executor& executor);

// Screen-recording permission from the world's switches: a request prompts once per launch and
// a grant takes effect after a relaunch (World::relaunch).
class SimScreenCaptureAccess : public platform::ScreenCaptureAccess {
 public:
  explicit SimScreenCaptureAccess(World& w) : w_(w) {}
  bool preflight() const override { return w_.screenCapturePreflight(); }
  bool request() override { return w_.screenCaptureRequest(); }

 private:
  World& w_;
};

class SimWindowServer : public platform::WindowServer {
 public:
  explicit SimWindowServer(World& w) : w_(w) {}
  std::optional<std::vector<platform::WindowInfo>> copyWindowList(platform::WindowListOption option,
                                                                  uint32_t relativeWindow) override;
  int windowLevel(platform::WindowLevelKey key) const override;
  std::optional<uint32_t> windowNumberAtPoint(Point point) override { return w_.windowNumberAt(point); }
  platform::ImageRef createWindowImage(uint32_t windowID, uint32_t imageOptions) override;
  platform::ImageRef createImageFromArray(Rect rect, const std::vector<uint32_t>& windowIDs, uint32_t imageOptions) override;
  int32_t mainConnectionID() override { return connection; }
  platform::OnScreenWindowCount getOnScreenWindowCount(int32_t connection, int32_t targetConnection) override;
  bool isScreenRectBridgeAvailable() const override { return w_.spec().switches.screenRectBridgeAvailable; }
  int32_t bridgeMainConnectionID() override { return w_.spec().switches.screenRectBridgeAvailable ? connection : 0; }
  platform::ScreenRectResult getScreenRectForWindow(int32_t connection, uint32_t windowID) override;
  static constexpr int32_t connection = 0x5A0B;

 private:
  World& w_;
};

class SimScreenCaptureKit : public platform::ScreenCaptureKit {
 public:
  explicit SimScreenCaptureKit(World& w) : w_(w) {}
  void requestShareableContent(std::function<void(platform::ShareableContentResult)> completion) override;
  void captureWindow(uint32_t windowID, platform::ScreenshotConfiguration configuration,
                     std::function<void(platform::ScreenshotResult)> completion) override;

 private:
  World& w_;
};

class SimAccessibility : public platform::Accessibility {
 public:
  explicit SimAccessibility(World& w) : w_(w) {}
  bool isProcessTrusted(bool prompt) override { return w_.accessibilityTrusted(prompt); }
  platform::AXElement createApplication(int32_t pid) override { return w_.applicationElement(pid); }
  platform::AXElement createSystemWide() override { return w_.systemWideElement(); }
  platform::AXCopyResult copyAttributeValue(platform::AXElement e, const std::string& a) override {
    auto result = w_.axCopy(e, a);
    platform::makeTextValid(result);
    return result;
  }
  platform::AXSettableResult isAttributeSettable(platform::AXElement e, const std::string& a) override {
    return w_.axSettable(e, a);
  }
  platform::AXError setAttributeValue(platform::AXElement e, const std::string& a, const platform::AXValue& v) override {
    return w_.axSet(e, a, v);
  }
  platform::AXError performAction(platform::AXElement e, const std::string& a) override { return w_.axPerform(e, a); }
  platform::AXElementResult copyElementAtPosition(platform::AXElement e, float x, float y) override {
    return w_.axHitTest(e, x, y);
  }
  platform::AXPidResult getPid(platform::AXElement e) override { return w_.axPid(e); }
  platform::AXError setMessagingTimeout(platform::AXElement e, float s) override { return w_.axSetTimeout(e, s); }

 private:
  World& w_;
};

class SimEvents : public platform::Events {
 public:
  explicit SimEvents(World& w) : w_(w) {}
  platform::EventSourceRef createSource(platform::EventSourceStateID s) override { return w_.createSource(s); }
  std::optional<platform::Event> createMouseEvent(const platform::EventSource* source, platform::EventType type,
                                                  Point location, platform::MouseButton button) override {
    return w_.createMouseEvent(source, type, location, button);
  }
  std::optional<platform::Event> createKeyboardEvent(const platform::EventSource* source, uint16_t keyCode,
                                                     bool down) override {
    return w_.createKeyboardEvent(source, keyCode, down);
  }
  std::optional<platform::Event> createNullEvent() override { return w_.createNullEvent(); }
  void post(platform::EventTap tap, const platform::Event& e) override { w_.post(tap, e); }
  void postToPid(int32_t pid, const platform::Event& e) override { w_.postToPid(pid, e); }
  int32_t warpMouseCursorPosition(Point p) override { return w_.warp(p); }
  int32_t hideCursor(uint32_t d) override { return w_.hideCursor(d); }
  int32_t showCursor(uint32_t d) override { return w_.showCursor(d); }
  Point mouseLocation() const override { return w_.pointerBottomLeft(); }

 private:
  World& w_;
};

// Our hold on the person's input, as a Mac backend takes it: an active tap at the session level
// that takes every event not made by our process, and posts what it took again at the session
// tap, marked as posted again, in the order it came, one a turn from the turn after the last hold
// ended. Until then what the person does waits behind it; an event posted again that starts a new
// hold keeps the rest for that hold's end. A pointer gesture goes on only onto the window it was
// pressed on, placed by the world's window list and checked against what a press there reaches.
// No tap can be made while the world says so (Switches::eventTapUnavailable).
class SimInputHold : public platform::InputHold {
 public:
  explicit SimInputHold(World& w) : w_(w) {}
  ~SimInputHold() override;
  SimInputHold(const SimInputHold&) = delete;
  SimInputHold& operator=(const SimInputHold&) = delete;
  bool begin() override;
  void end() override;
  void releaseAll() override;
  bool isPostedAgain(const platform::Event& e) const override;
  // Whether the person's input is being taken now (a hold, or input still waiting to go on).
  bool isTaking() const { return tap_ != 0; }
  bool isHolding() const { return holds_ > 0; }

 private:
  struct Gesture;
  // The status-item windows on screen, as the window list gives them.
  using BarWindows = std::vector<std::pair<std::optional<uint32_t>, std::optional<Rect>>>;
  struct Taken {
    platform::Event event;
    std::shared_ptr<Gesture> gesture;  // for a press and what follows it up to its release
  };
  bool take(const platform::Event& e);
  std::optional<Point> windowOrigin(uint32_t window);
  // Whether the list places a window on the status-item layer: an item of the bar, ours included.
  bool isBarWindow(uint32_t window);
  std::optional<BarWindows> barWindows();
  std::optional<uint32_t> pressTarget(Point p) const;
  void settlePress(Gesture& g, Point made);
  void postAgainLater(int turns);
  void postAgain();
  void postOne(const Taken& taken);

  World& w_;
  int holds_ = 0;
  World::TapToken tap_ = 0;
  std::deque<Taken> taken_;
  // The gesture whose press was taken and whose release was not yet.
  std::shared_ptr<Gesture> pressed_;
  bool chainPending_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class SimStatusBar : public platform::StatusBar {
 public:
  explicit SimStatusBar(World& w) : w_(w) {}
  platform::StatusItemRef statusItem(double length) override;
  void removeStatusItem(const platform::StatusItemRef& item) override;
  double thickness() const override;
  bool installViewFillsWindow(const std::string& name) override { return w_.installViewFillsWindow(name); }

 private:
  World& w_;
};

class SimScreens : public platform::Screens {
 public:
  explicit SimScreens(World& w) : w_(w) {}
  std::vector<platform::ScreenInfo> screens() const override;
  std::optional<platform::ScreenInfo> mainScreen() const override;
  Rect displayBounds(uint32_t displayID) const override;
  uint32_t mainDisplayID() const override;

 private:
  World& w_;
};

class SimWorkspace : public platform::Workspace {
 public:
  explicit SimWorkspace(World& w);
  std::vector<platform::RunningApplication> runningApplications() const override;
  std::optional<platform::RunningApplication> runningApplication(int32_t pid) const override;
  std::optional<std::string> urlForApplication(const std::string& bundleIdentifier) const override;
  std::optional<platform::BundleInfo> bundleInfo(const std::string& bundleURL) const override;
  // Applications' icons are squares of their icon colour; ours is Vimbo's blue.
  platform::ImageRef iconForFile(const std::string& path) const override;
  static constexpr uint32_t kOwnIconColor = 0x3478F6;

 private:
  struct Icons;
  uint32_t iconColor(const std::string& path) const;
  platform::RunningApplication ownApplication() const;
  void attachIcon(platform::RunningApplication& r) const;

  World& w_;
  std::shared_ptr<Icons> icons_;
};

class SimEventMonitors : public platform::EventMonitors {
 public:
  explicit SimEventMonitors(World& w) : w_(w) {}
  platform::MonitorToken addGlobalMonitor(platform::EventMask m, std::function<void(const platform::Event&)> h) override {
    return w_.addGlobalMonitor(m, std::move(h));
  }
  platform::MonitorToken addLocalMonitor(platform::EventMask m,
                                         std::function<std::optional<platform::Event>(const platform::Event&)> h) override {
    return w_.addLocalMonitor(m, std::move(h));
  }
  void removeMonitor(platform::MonitorToken t) override { w_.removeMonitor(t); }

 private:
  World& w_;
};

class SimHotKeys : public platform::HotKeys {
 public:
  explicit SimHotKeys(World& w) : w_(w) {}
  platform::HotKeyHandlerRef installHandler(std::function<int32_t(std::optional<platform::HotKeyID>)> h) override {
    return w_.installHotKeyHandler(std::move(h));
  }
  void removeHandler(platform::HotKeyHandlerRef r) override { w_.removeHotKeyHandler(r); }
  platform::HotKeyRegistration registerHotKey(uint32_t k, uint32_t m, platform::HotKeyID id) override {
    return w_.registerHotKey(k, m, id);
  }
  int32_t unregisterHotKey(platform::HotKeyRef r) override { return w_.unregisterHotKey(r); }

 private:
  World& w_;
};

class SimApplication : public platform::Application {
 public:
  explicit SimApplication(World& w) : w_(w) {}
  int32_t processIdentifier() const override { return w_.ownPID(); }
  platform::ActivationPolicy activationPolicy() const override { return w_.ownActivationPolicy(); }
  bool setActivationPolicy(platform::ActivationPolicy p) override {
    w_.setOwnActivationPolicy(p);
    return true;
  }
  void activate(bool) override;
  bool isActive() const override { return w_.isOwnActive(); }
  std::optional<platform::Event> currentEvent() const override { return w_.currentEvent(); }
  platform::WindowHandle keyWindow() const override { return w_.keyWindow(); }
  void setKeyWindow(platform::WindowHandle window) override { w_.setKeyWindow(window); }
  void setDelegate(platform::ApplicationDelegate* d) override { w_.setApplicationDelegate(d); }
  // applicationWillTerminate, then the termination handler, each once; later calls do nothing.
  void terminate() override;

  // What ends the process after the delegate has been told (the desktop host stops its loop).
  void setTerminationHandler(std::function<void()> handler) { terminationHandler_ = std::move(handler); }
  // Triggers for tests and the desktop window.
  void finishLaunching();
  void resignActive();
  bool reopen(bool hasVisibleWindows);
  bool isTerminated() const { return terminated_; }
  platform::ApplicationDelegate* delegate() const { return w_.applicationDelegate(); }

 private:
  World& w_;
  std::function<void()> terminationHandler_;
  bool terminated_ = false;
};

// Every facade of one world.
struct SimPlatform {
  explicit SimPlatform(World& world)
      : world(world), windowServer(world), screenCaptureAccess(world), screenCapture(world), accessibility(world),
        events(world), inputHold(world), statusBar(world), screens(world), workspace(world), eventMonitors(world),
        hotKeys(world), application(world), loginItem(world.spec().switches.loginItemStatus), windows(world) {
    loginItem.setRequiresApproval(world.spec().switches.loginItemRequiresApproval);
  }
  // The references the system receives.
  platform::Platform bundle(async::Executor& executor, platform::UserDefaults& defaults) {
    return {executor,  defaults,      windowServer, screenCaptureAccess, screenCapture, accessibility,
            events,    inputHold,     statusBar,    screens,             workspace,     eventMonitors,
            hotKeys,   application,   loginItem,    windows};
  }
  World& world;
  SimWindowServer windowServer;
  SimScreenCaptureAccess screenCaptureAccess;
  SimScreenCaptureKit screenCapture;
  SimAccessibility accessibility;
  SimEvents events;
  SimInputHold inputHold;
  SimStatusBar statusBar;
  SimScreens screens;
  SimWorkspace workspace;
  SimEventMonitors eventMonitors;
  SimHotKeys hotKeys;
  SimApplication application;
  platform::InMemoryLoginItem loginItem;
  SimOwnWindows windows;
};

// A world with its platform, on a runtime executor, sharing our defaults domain: what the
// system's tests and the desktop window start from.
class SimEnvironment {
 public:
  SimEnvironment(WorldSpec spec, async::Executor& executor,
                 std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory());
  // Shuts the executor down (Executor::shutdown): worker threads read the world through its
  // facades, so every one of them has finished before either goes, however the run ended. The
  // executor runs nothing afterwards.
  ~SimEnvironment();
  SimEnvironment(const SimEnvironment&) = delete;
  SimEnvironment& operator=(const SimEnvironment&) = delete;
  World& world() { return *world_; }
  SimPlatform& sim() { return *sim_; }
  platform::UserDefaults& defaults() { return *defaults_; }
  platform::Platform platform() { return sim_->bundle(executor_, *defaults_); }

 private:
  async::Executor& executor_;
  std::shared_ptr<platform::UserDefaults> defaults_;
  std::unique_ptr<World> world_;
  std::unique_ptr<SimPlatform> sim_;
};

}  // namespace vimbo::sim
