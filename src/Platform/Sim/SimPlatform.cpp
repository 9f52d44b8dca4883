#include "Platform/Sim/SimPlatform.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "Platform/Foundation/Image.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Parallel.h"

namespace vimbo::sim {

using namespace platform;

namespace {

// Pixels handed over move into the picture instead of being copied.
ImageRef toImage(std::optional<World::Pixels> px, Size pointSize) {
  if (!px || px->width <= 0 || px->height <= 0) return nullptr;
  return Image::make(pointSize, px->width, px->height, std::move(px->rgba));
}

void later(World& w, std::function<void()> f) {
  if (w.clockwork().post) w.clockwork().post(std::move(f));
  else f();
}

}  // namespace

Clockwork clockworkFor(async::Executor& ex) {
  Clockwork c;
  c.now = [&ex] { return ex.now(); };
  c.scheduleAt = [&ex](TimePoint t, std::function<void()> f) { return ex.scheduleAt(t, std::move(f)); };
  c.cancel = [&ex](uint64_t id) { ex.cancelTimer(id); };
  c.post = [&ex](std::function<void()> f) { ex.post(std::move(f)); };
  c.runUntil = [&ex](std::function<bool()> pred) { ex.runUntil(std::move(pred), TimePoint::max()); };
  c.chargeCost = [](Duration d) { async::chargeVirtualCost(d); };
  c.mainLoopBlocked = [&ex] { return ex.isMainThreadBlocked(); };
  return c;
}

SimEnvironment::SimEnvironment(WorldSpec spec, async::Executor& executor, std::shared_ptr<UserDefaults> defaults)
    : executor_(executor), defaults_(std::move(defaults)) {
  world_ = std::make_unique<World>(std::move(spec), clockworkFor(executor));
  world_->setDefaults(defaults_);
  sim_ = std::make_unique<SimPlatform>(*world_);
}

SimEnvironment::~SimEnvironment() { executor_.shutdown(); }

// ---------------------------------------------------------------- window server

std::optional<std::vector<WindowInfo>> SimWindowServer::copyWindowList(WindowListOption option, uint32_t relative) {
  auto list = w_.windowList(option, relative);
  makeTextValid(list);
  return list;
}

int SimWindowServer::windowLevel(WindowLevelKey key) const {
  switch (key) {
    case WindowLevelKey::MainMenu:
      return windowlevel::mainMenu;
    case WindowLevelKey::Status:
      return windowlevel::status;
    case WindowLevelKey::PopUpMenu:
      return windowlevel::popUpMenu;
  }
  return 0;
}

ImageRef SimWindowServer::createWindowImage(uint32_t windowID, uint32_t imageOptions) {
  if (w_.spec().screens.empty()) return nullptr;
  double scale = (imageOptions & windowimage::bestResolution) ? w_.spec().screens.front().scale : 1;
  auto px = w_.windowPixels(windowID, scale, false);
  if (!px) return nullptr;
  const Size size{px->pointWidth, px->pointHeight};
  return toImage(std::move(px), size);
}

ImageRef SimWindowServer::createImageFromArray(Rect rect, const std::vector<uint32_t>& windowIDs, uint32_t) {
  if (windowIDs.size() != 1 || !rect.isValidPositive()) return nullptr;
  auto px = w_.windowPixels(windowIDs.front(), 1, false);
  if (!px) return nullptr;
  return toImage(std::move(px), rect.size());
}

OnScreenWindowCount SimWindowServer::getOnScreenWindowCount(int32_t connection, int32_t) {
  if (connection != SimWindowServer::connection) return {1001, 0};  // kCGErrorInvalidConnection
  return w_.onScreenWindowCount();
}

ScreenRectResult SimWindowServer::getScreenRectForWindow(int32_t connection, uint32_t windowID) {
  if (!w_.spec().switches.screenRectBridgeAvailable || connection != SimWindowServer::connection) return {1001, {}};
  auto list = w_.windowList(WindowListOption::IncludingWindow, windowID);
  if (!list || list->empty()) return {1002, {}};
  auto bounds = list->front().bounds();
  if (!bounds) return {1002, {}};
  return {0, *bounds};
}

// ---------------------------------------------------------------- screen capture

void SimScreenCaptureKit::requestShareableContent(std::function<void(ShareableContentResult)> completion) {
  ShareableContentResult result;
  if (w_.spec().switches.shareableContentFails || !w_.screenCapturePreflight()) {
    result = CaptureError{-3801, "用户未允许录制屏幕。"};
  } else {
    ShareableContent content;
    auto list = w_.windowList(WindowListOption::All, 0);
    if (list)
      for (const WindowInfo& info : *list) {
        ShareableWindow sw;
        sw.windowID = info.number().value_or(0);
        sw.frame = info.bounds().value_or(Rect());
        sw.ownerPID = info.ownerPID().value_or(0);
        sw.title = info.name().value_or("");
        sw.windowLayer = info.layer().value_or(0);
        sw.isOnScreen = info.isOnscreen().value_or(false);
        content.windows.push_back(sw);
      }
    result = content;
  }
  later(w_, [completion = std::move(completion), result] { completion(result); });
}

void SimScreenCaptureKit::captureWindow(uint32_t windowID, ScreenshotConfiguration c,
                                        std::function<void(ScreenshotResult)> completion) {
  ScreenshotResult result;
  auto px = w_.screenCapturePreflight() ? w_.screenshotPixels(windowID, std::max(1, c.width), std::max(1, c.height))
                                        : std::nullopt;
  if (!px) {
    result = CaptureError{-3811, "无法捕捉该窗口。"};
  } else {
    double scale = w_.spec().screens.empty() ? 2 : w_.spec().screens.front().scale;
    const Size size{px->width / scale, px->height / scale};
    ImageRef image = toImage(std::move(px), size);
    if (image) result = image;
    else result = CaptureError{-3811, "无法捕捉该窗口。"};
  }
  later(w_, [completion = std::move(completion), result] { completion(result); });
}

// ---------------------------------------------------------------- status bar

namespace {

class SimButton : public StatusBarButton {
 public:
  SimButton(World& w, ItemKey key) : w_(w), key_(key) {}
  World::OwnItem* own() const { return w_.ownItem(key_); }

  std::string title() const override { return own() ? own()->title : ""; }
  void setTitle(std::string t) override {
    if (auto o = own()) {
      o->title = std::move(t);
      if (o->length == statusitemlength::variable) w_.setOwnLength(key_, o->length);
      w_.ownItemAppearanceChanged();
    }
  }
  std::string toolTip() const override { return own() ? own()->toolTip : ""; }
  void setToolTip(std::string t) override {
    if (auto o = own()) {
      o->toolTip = std::move(t);
      w_.ownItemAppearanceChanged();
    }
  }
  ImageRef image() const override {
    auto o = own();
    return o ? o->image : nullptr;
  }
  void setImage(ImageRef image) override {
    if (auto o = own()) {
      o->image = std::move(image);
      if (o->length == statusitemlength::variable) w_.setOwnLength(key_, o->length);
      w_.ownItemAppearanceChanged();
    }
  }
  void sendActionOn(EventMask mask) override {
    if (auto o = own()) o->actionMask = mask;
  }
  void setAction(std::function<void()> action) override {
    if (auto o = own()) o->action = std::move(action);
  }
  void performClick() override { w_.ownPerformClick(key_); }
  Rect bounds() const override {
    auto v = w_.itemByKey(key_);
    return v ? Rect(0, 0, v->frame.width, v->frame.height) : Rect();
  }
  uint32_t windowNumber() const override {
    auto v = w_.itemByKey(key_);
    return v ? v->windowNumber : 0;
  }
  void setAcceptsMouseMovedEvents(bool accepts) override {
    if (auto o = own()) o->acceptsMouseMoved = accepts;
  }
  TrackingAreaID addTrackingArea(Rect rect, uint32_t options,
                                 std::function<void(TrackingEventKind, const Event&)> handler) override {
    auto o = own();
    if (!o) return 0;
    World::OwnItem::Area a;
    a.id = nextArea_++ + (static_cast<uint64_t>(key_) << 32);
    a.rect = rect;
    a.options = options;
    a.handler = std::move(handler);
    // An area added under the pointer starts inside and says nothing.
    if (auto v = w_.itemByKey(key_)) {
      Rect r = (options & trackingoption::inVisibleRect) ? v->frame : rect.offsetBy(v->frame.x, v->frame.y);
      a.inside = r.contains(w_.pointer());
    }
    o->areas.push_back(std::move(a));
    return o->areas.back().id;
  }
  void removeTrackingArea(TrackingAreaID id) override {
    if (auto o = own()) std::erase_if(o->areas, [id](const World::OwnItem::Area& a) { return a.id == id; });
  }

 private:
  World& w_;
  ItemKey key_;
  uint64_t nextArea_ = 1;
};

class SimStatusItem : public StatusItem {
 public:
  SimStatusItem(World& w, ItemKey key) : w_(w), key_(key), button_(w, key), alive_(w.aliveToken()) {}
  // Like the real status bar: an item nobody holds any more leaves the bar.
  ~SimStatusItem() override {
    if (alive_.lock()) w_.removeOwnItem(key_);
  }
  ItemKey key() const { return key_; }
  World::OwnItem* own() const { return w_.ownItem(key_); }

  double length() const override { return own() ? own()->length : 0; }
  void setLength(double length) override { w_.setOwnLength(key_, length); }
  std::string autosaveName() const override { return own() ? own()->autosaveName : ""; }
  void setAutosaveName(std::string name) override { w_.setOwnAutosaveName(key_, std::move(name)); }
  bool isVisible() const override { return own() && own()->visible; }
  void setVisible(bool visible) override { w_.setOwnVisible(key_, visible); }
  StatusBarButton* button() override { return own() && own()->hasButton ? &button_ : nullptr; }
  void setMenu(std::optional<std::vector<MenuEntry>> menu) override {
    if (auto o = own()) o->menu = std::move(menu);
  }
  bool hasMenu() const override { return own() && own()->menu.has_value(); }
  uint32_t windowNumber() const override { return button_.windowNumber(); }

 private:
  World& w_;
  ItemKey key_;
  SimButton button_;
  std::weak_ptr<bool> alive_;
};

}  // namespace

StatusItemRef SimStatusBar::statusItem(double length) {
  return std::make_shared<SimStatusItem>(w_, w_.createOwnItem(length));
}

void SimStatusBar::removeStatusItem(const StatusItemRef& item) {
  if (auto s = std::dynamic_pointer_cast<SimStatusItem>(item)) w_.removeOwnItem(s->key());
}

double SimStatusBar::thickness() const {
  return w_.spec().screens.empty() ? 24 : w_.spec().screens.front().menuBarHeight;
}

// ---------------------------------------------------------------- screens

std::vector<ScreenInfo> SimScreens::screens() const {
  std::vector<ScreenInfo> out;
  for (const ScreenSpec& s : w_.screens()) {
    ScreenInfo i;
    i.frame = s.frame;
    i.visibleFrame = Rect(s.frame.x, s.frame.y, s.frame.width, s.frame.height - s.menuBarHeight);
    if (s.hasScreenNumber) i.screenNumber = s.displayID;
    i.auxiliaryTopRightArea = w_.auxiliaryTopRightArea(s);
    i.backingScaleFactor = s.scale;
    i.localizedName = s.name;
    out.push_back(i);
  }
  return out;
}

std::optional<ScreenInfo> SimScreens::mainScreen() const {
  auto all = screens();
  if (all.empty()) return std::nullopt;
  return all.front();
}

Rect SimScreens::displayBounds(uint32_t displayID) const {
  for (const ScreenSpec& s : w_.screens())
    if (s.displayID == displayID) return s.displayBounds;
  return Rect();
}

uint32_t SimScreens::mainDisplayID() const { return w_.screens().empty() ? 0 : w_.screens().front().displayID; }

// ---------------------------------------------------------------- workspace

namespace {
RunningApplication running(const AppSpec& a) {
  RunningApplication r;
  r.processIdentifier = a.pid;
  r.localizedName = a.name;
  r.bundleIdentifier = a.bundleIdentifier;
  r.executableURL = a.executablePath;
  r.bundleURL = a.bundlePath;
  r.activationPolicy = a.activationPolicy;
  return r;
}

ImageRef drawIcon(uint32_t color) {
  World::Pixels px;
  px.width = px.height = 64;
  px.pointWidth = px.pointHeight = 32;
  px.rgba.assign(64 * 64 * 4, 0);
  for (int j = 4; j < 60; ++j)
    for (int i = 4; i < 60; ++i) {
      uint8_t* p = &px.rgba[(j * 64 + i) * 4];
      p[0] = (color >> 16) & 0xFF, p[1] = (color >> 8) & 0xFF, p[2] = color & 0xFF, p[3] = 255;
    }
  return toImage(px, {32, 32});
}
}  // namespace

// One icon per colour, drawn the first time anyone looks at it. Handed-out lists keep the drawings
// alive, so a list may outlive the workspace.
struct SimWorkspace::Icons {
  std::mutex lock;
  std::map<uint32_t, ImageRef> drawn;

  ImageRef icon(uint32_t color) {
    std::lock_guard<std::mutex> hold(lock);
    ImageRef& slot = drawn[color];
    if (!slot) slot = drawIcon(color);
    return slot;
  }
};

SimWorkspace::SimWorkspace(World& w) : w_(w), icons_(std::make_shared<Icons>()) {}

uint32_t SimWorkspace::iconColor(const std::string& path) const {
  uint32_t color = path == "/Applications/" + w_.spec().ownName + ".app" ? kOwnIconColor : 0x808080;
  for (const AppSpec& a : w_.spec().apps)
    if (a.bundlePath == path || a.executablePath == path) color = a.iconColor;
  return color;
}

RunningApplication SimWorkspace::ownApplication() const {
  RunningApplication own;
  own.processIdentifier = w_.ownPID();
  own.localizedName = w_.spec().ownName;
  own.bundleIdentifier = w_.spec().ownBundleIdentifier;
  own.bundleURL = "/Applications/" + w_.spec().ownName + ".app";
  own.executableURL = *own.bundleURL + "/Contents/MacOS/" + w_.spec().ownName;
  own.activationPolicy = w_.ownActivationPolicy();
  return own;
}

void SimWorkspace::attachIcon(RunningApplication& r) const {
  const std::optional<std::string>& path = r.bundleURL ? r.bundleURL : r.executableURL;
  if (!path) return;
  r.icon = platform::LazyImage::deferred([icons = icons_, color = iconColor(*path)] { return icons->icon(color); });
}

std::vector<RunningApplication> SimWorkspace::runningApplications() const {
  std::vector<RunningApplication> out;
  out.reserve(w_.spec().apps.size() + 1);
  out.push_back(ownApplication());
  for (const AppSpec& a : w_.spec().apps) out.push_back(running(a));
  for (RunningApplication& r : out) attachIcon(r);
  makeTextValid(out);
  return out;
}

std::optional<RunningApplication> SimWorkspace::runningApplication(int32_t pid) const {
  std::optional<RunningApplication> found;
  if (pid == w_.ownPID()) {
    found = ownApplication();
  } else {
    for (const AppSpec& a : w_.spec().apps)
      if (a.pid == pid) {
        found = running(a);
        break;
      }
  }
  if (!found) return std::nullopt;
  attachIcon(*found);
  makeTextValid(*found);
  return found;
}

std::optional<std::string> SimWorkspace::urlForApplication(const std::string& bundleIdentifier) const {
  for (const RunningApplication& r : runningApplications())
    if (r.bundleIdentifier == bundleIdentifier && r.bundleURL) return r.bundleURL;
  return std::nullopt;
}

std::optional<BundleInfo> SimWorkspace::bundleInfo(const std::string& bundleURL) const {
  for (const AppSpec& a : w_.spec().apps)
    if (a.bundlePath == bundleURL) return a.bundleInfo;
  if (bundleURL == "/Applications/" + w_.spec().ownName + ".app") return BundleInfo{{"LSUIElement", true}};
  return std::nullopt;
}

ImageRef SimWorkspace::iconForFile(const std::string& path) const { return icons_->icon(iconColor(path)); }

// ---------------------------------------------------------------- application

void SimApplication::activate(bool) { w_.setOwnActive(true); }

void SimApplication::terminate() {
  if (terminated_) return;
  terminated_ = true;
  if (auto* delegate = w_.applicationDelegate()) delegate->applicationWillTerminate();
  if (auto handler = std::move(terminationHandler_)) handler();
}

void SimApplication::finishLaunching() {
  if (auto* delegate = w_.applicationDelegate()) delegate->applicationDidFinishLaunching();
}

void SimApplication::resignActive() {
  if (w_.isOwnActive()) w_.resignOwnActive();
}

bool SimApplication::reopen(bool hasVisibleWindows) {
  auto* delegate = w_.applicationDelegate();
  return delegate ? delegate->applicationShouldHandleReopen(hasVisibleWindows) : true;
}

}  // namespace vimbo::sim
