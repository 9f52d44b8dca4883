// Our own windows: records, order within levels, the window list, key status and activation.
#include <algorithm>

#include "Platform/Sim/World.h"

namespace vimbo::sim {

using namespace platform;

namespace {

double titleBarHeight(const WindowConfiguration& c) {
  return c.hasStyle(windowstyle::titled) && !c.hasStyle(windowstyle::fullSizeContentView) ? kTitleBarHeight : 0;
}

Size clampSize(Size s, Size min, Size max) {
  auto limit = [](double v, double lo, double hi) {
    if (hi > 0) v = std::min(v, hi);
    return std::max(v, lo);
  };
  return {limit(s.width, min.width, max.width), limit(s.height, min.height, max.height)};
}

}  // namespace

Rect World::screenToServer(const Rect& r) const {
  double top = spec_.screens.empty() ? 0 : spec_.screens.front().frame.maxY();
  return Rect(r.minX(), top - r.maxY(), r.maxX() - r.minX(), r.maxY() - r.minY());
}

Rect World::serverToScreen(const Rect& r) const {
  double top = spec_.screens.empty() ? 0 : spec_.screens.front().frame.maxY();
  return Rect(r.minX(), top - r.maxY(), r.maxX() - r.minX(), r.maxY() - r.minY());
}

Rect World::frameOf(const OwnWindow& w) const {
  return Rect(w.origin, {w.contentSize.width, w.contentSize.height + titleBarHeight(w.configuration)});
}

OwnWindowView World::viewOf(const OwnWindow& w) const {
  OwnWindowView v;
  v.handle = w.handle;
  v.windowNumber = w.windowNumber;
  v.configuration = w.configuration;
  v.frame = frameOf(w);
  v.serverFrame = screenToServer(v.frame);
  v.contentSize = w.contentSize;
  v.visible = w.visible;
  v.key = keyWindow_ == w.handle;
  v.popover = w.popover;
  v.content = w.content;
  return v;
}

WindowHandle World::createOwnWindow(WindowConfiguration configuration, bool popover) {
  OwnWindow w;
  w.handle = nextWindowHandle_++;
  w.windowNumber = nextWindow_++;
  w.contentSize = configuration.contentSize;
  w.configuration = std::move(configuration);
  w.popover = popover;
  WindowHandle handle = w.handle;
  windows_.emplace(handle, std::move(w));
  return handle;
}

void World::destroyOwnWindow(WindowHandle handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  if (keyWindow_ == handle) setKeyWindow(0);
  bool wasVisible = it->second.visible;
  windows_.erase(handle);
  if (wasVisible) {
    publishAX();
    changed();
  }
}

std::optional<OwnWindowView> World::ownWindow(WindowHandle handle) const {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return std::nullopt;
  return viewOf(it->second);
}

std::optional<OwnWindowView> World::ownWindowByNumber(uint32_t windowNumber) const {
  for (const auto& [h, w] : windows_)
    if (w.windowNumber == windowNumber) return viewOf(w);
  return std::nullopt;
}

std::vector<OwnWindowView> World::ownWindows() const {
  std::vector<const OwnWindow*> all;
  for (const auto& [h, w] : windows_) all.push_back(&w);
  // Front to back: visible before ordered out, higher levels first, then the latest ordered front.
  std::sort(all.begin(), all.end(), [](const OwnWindow* a, const OwnWindow* b) {
    if (a->visible != b->visible) return a->visible;
    if (a->configuration.level != b->configuration.level) return a->configuration.level > b->configuration.level;
    if (a->order != b->order) return a->order > b->order;
    return a->windowNumber > b->windowNumber;
  });
  std::vector<OwnWindowView> out;
  for (const OwnWindow* w : all) out.push_back(viewOf(*w));
  return out;
}

void World::setOwnWindowContent(WindowHandle handle, ViewContentRef content) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  it->second.content = std::move(content);
  if (it->second.visible) changed();
}

void World::setOwnWindowDelegate(WindowHandle handle, std::weak_ptr<WindowDelegate> delegate) {
  auto it = windows_.find(handle);
  if (it != windows_.end()) it->second.delegate = std::move(delegate);
}

void World::setOwnWindowOrigin(WindowHandle handle, Point origin) {
  auto it = windows_.find(handle);
  if (it == windows_.end() || it->second.origin == origin) return;
  it->second.origin = origin;
  if (it->second.visible) {
    publishAX();
    changed();
  }
}

void World::setOwnWindowContentSize(WindowHandle handle, Size size) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  OwnWindow& w = it->second;
  Size clamped = clampSize(size, w.minContent, w.maxContent);
  if (clamped == w.contentSize) return;
  double top = frameOf(w).maxY();
  w.contentSize = clamped;
  w.origin.y = top - frameOf(w).height;  // the top edge stays where it was
  if (w.visible) {
    publishAX();
    changed();
  }
}

void World::setOwnWindowContentLimits(WindowHandle handle, std::optional<Size> min, std::optional<Size> max) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  if (min) it->second.minContent = *min;
  if (max) it->second.maxContent = *max;
}

Size World::ownWindowContentMinSize(WindowHandle handle) const {
  auto it = windows_.find(handle);
  return it == windows_.end() ? Size() : it->second.minContent;
}

Size World::ownWindowContentMaxSize(WindowHandle handle) const {
  auto it = windows_.find(handle);
  return it == windows_.end() ? Size() : it->second.maxContent;
}

void World::centerOwnWindow(WindowHandle handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end() || spec_.screens.empty()) return;
  const ScreenSpec& s = spec_.screens.front();
  Rect visible(s.frame.minX(), s.frame.minY(), s.frame.width, s.frame.height - s.menuBarHeight);
  Rect f = frameOf(it->second);
  setOwnWindowOrigin(handle, {visible.midX() - f.width / 2, visible.midY() - f.height / 2});
}

void World::orderOwnWindowFront(WindowHandle handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  it->second.visible = true;
  it->second.order = ++windowOrder_;
  publishAX();
  changed();
}

void World::orderOwnWindowOut(WindowHandle handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end() || !it->second.visible) return;
  if (keyWindow_ == handle) setKeyWindow(0);
  it = windows_.find(handle);  // the delegate may have changed our windows
  if (it == windows_.end()) return;
  it->second.visible = false;
  publishAX();
  changed();
}

void World::closeOwnWindow(WindowHandle handle) {
  auto it = windows_.find(handle);
  if (it == windows_.end()) return;
  if (auto delegate = it->second.delegate.lock()) delegate->windowWillClose(handle);
  orderOwnWindowOut(handle);
  it = windows_.find(handle);
  if (it != windows_.end() && it->second.configuration.releasedWhenClosed) destroyOwnWindow(handle);
}

void World::setKeyWindow(WindowHandle handle) {
  if (handle == keyWindow_) return;
  if (handle != 0) {
    auto it = windows_.find(handle);
    if (it == windows_.end() || !it->second.visible) return;  // only a visible window can be key
  }
  WindowHandle old = keyWindow_;
  keyWindow_ = handle;
  changed();
  if (old == 0) return;
  auto it = windows_.find(old);
  if (it == windows_.end()) return;
  if (auto delegate = it->second.delegate.lock()) delegate->windowDidResignKey(old);
}

std::optional<WindowHandle> World::ownWindowAt(Point p) const {
  for (const OwnWindowView& w : ownWindows())
    if (w.visible && w.serverFrame.contains(p)) return w.handle;
  return std::nullopt;
}

std::vector<Rect> World::ownInputAreas() const {
  std::vector<Rect> out = overlays_;
  for (const OwnWindowView& w : ownWindows())
    if (w.visible) out.push_back(w.serverFrame);
  return out;
}

void World::listOwnWindows(std::vector<WindowInfo>& list) const {
  for (const OwnWindowView& w : ownWindows()) {
    WindowInfo info;
    info.fields[windowkey::number] = int64_t{w.windowNumber};
    info.fields[windowkey::layer] = int64_t{w.configuration.level};
    info.fields[windowkey::ownerPID] = int64_t{spec_.ownPID};
    info.fields[windowkey::ownerName] = spec_.ownName;
    if (!w.configuration.title.empty()) info.fields[windowkey::name] = w.configuration.title;
    info.fields[windowkey::bounds] = w.serverFrame;
    info.fields[windowkey::isOnscreen] = w.visible;
    list.push_back(std::move(info));
  }
}

InputDelivery World::mouseDownInOwnWindow(WindowHandle handle, const Event& e) {
  if (runLocalMonitors(e) || !personInput_) return {};
  auto it = windows_.find(handle);
  if (it == windows_.end() || !it->second.visible) return {};  // a monitor closed it
  orderOwnWindowFront(handle);
  setKeyWindow(handle);
  setOwnActive(true);
  return {handle};
}

void World::resignOwnActive() {
  if (!ownActive_) {
    setKeyWindow(0);
    return;
  }
  setKeyWindow(0);
  ownActive_ = false;
  changed();
  if (appDelegate_) appDelegate_->applicationDidResignActive();
}

}  // namespace vimbo::sim
