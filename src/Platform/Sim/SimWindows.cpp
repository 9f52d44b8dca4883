#include "Platform/Sim/SimWindows.h"

#include <algorithm>

#include "Platform/StatusBar.h"

namespace vimbo::sim {

using namespace platform;

// ---------------------------------------------------------------- window

SimWindow::SimWindow(World& world, WindowConfiguration configuration, bool popover)
    : world_(world), alive_(world.aliveToken()), configuration_(std::move(configuration)) {
  handle_ = world_.createOwnWindow(configuration_, popover);
}

SimWindow::~SimWindow() {
  if (World* w = world()) w->destroyOwnWindow(handle_);
}

std::optional<OwnWindowView> SimWindow::view() const {
  World* w = world();
  return w ? w->ownWindow(handle_) : std::nullopt;
}

uint32_t SimWindow::windowNumber() const {
  auto v = view();
  return v ? v->windowNumber : 0;
}

void SimWindow::setContent(ViewContentRef content) {
  if (World* w = world()) w->setOwnWindowContent(handle_, std::move(content));
}

ViewContentRef SimWindow::content() const {
  auto v = view();
  return v ? v->content : nullptr;
}

Rect SimWindow::frame() const {
  auto v = view();
  return v ? v->frame : Rect();
}

Size SimWindow::contentSize() const {
  auto v = view();
  return v ? v->contentSize : Size();
}

void SimWindow::setContentSize(Size size) {
  if (World* w = world()) w->setOwnWindowContentSize(handle_, size);
}

void SimWindow::setContentMinSize(Size size) {
  if (World* w = world()) w->setOwnWindowContentLimits(handle_, size, std::nullopt);
}

void SimWindow::setContentMaxSize(Size size) {
  if (World* w = world()) w->setOwnWindowContentLimits(handle_, std::nullopt, size);
}

Size SimWindow::contentMinSize() const {
  World* w = world();
  return w ? w->ownWindowContentMinSize(handle_) : Size();
}

Size SimWindow::contentMaxSize() const {
  World* w = world();
  return w ? w->ownWindowContentMaxSize(handle_) : Size();
}

void SimWindow::setFrameOrigin(Point origin) {
  if (World* w = world()) w->setOwnWindowOrigin(handle_, origin);
}

void SimWindow::center() {
  if (World* w = world()) w->centerOwnWindow(handle_);
}

bool SimWindow::isVisible() const {
  auto v = view();
  return v && v->visible;
}

bool SimWindow::isKeyWindow() const {
  World* w = world();
  return w && w->keyWindow() == handle_;
}

void SimWindow::makeKeyAndOrderFront() {
  orderFront();
  makeKey();
}

void SimWindow::makeKey() {
  if (World* w = world()) w->setKeyWindow(handle_);
}

void SimWindow::orderFront() {
  if (World* w = world()) w->orderOwnWindowFront(handle_);
}

void SimWindow::orderOut() {
  if (World* w = world()) w->orderOwnWindowOut(handle_);
}

void SimWindow::performClose() {
  if (World* w = world()) w->closeOwnWindow(handle_);
}

void SimWindow::setDelegate(std::weak_ptr<WindowDelegate> delegate) {
  if (World* w = world()) w->setOwnWindowDelegate(handle_, std::move(delegate));
}

// ---------------------------------------------------------------- popover

namespace {
void remember(SimWindowRegistry& registry, const std::shared_ptr<SimWindow>& window) {
  std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
  registry[window->handle()] = window;
}
}  // namespace

SimPopover::SimPopover(World& world, std::weak_ptr<SimWindowRegistry> registry)
    : world_(world), alive_(world.aliveToken()), registry_(std::move(registry)) {}

void SimPopover::setContentSize(Size size) {
  contentSize_ = size;
  if (window_) window_->setContentSize(size);
}

void SimPopover::setContent(ViewContentRef content) {
  content_ = std::move(content);
  if (window_) window_->setContent(content_);
}

void SimPopover::show(Rect relativeTo, StatusBarButton& button, RectEdge edge) {
  if (!alive_.lock() || world_.screens().empty()) return;
  auto item = world_.itemByWindow(button.windowNumber());
  if (!item) return;  // a button that is not in the bar has nowhere to show from
  if (!window_) {
    WindowConfiguration c;
    c.kind = WindowKind::panel;
    c.styleMask = windowstyle::fullSizeContentView;
    c.level = windowlevel::floating;
    c.contentSize = contentSize_;
    window_ = std::make_shared<SimWindow>(world_, c, true);
    if (auto registry = registry_.lock()) remember(*registry, window_);
  }
  window_->setContent(content_);
  window_->setContentSize(contentSize_);
  // The anchor in screen coordinates.
  Rect anchor = world_.serverToScreen(relativeTo.offsetBy(item->frame.minX(), item->frame.minY()));
  const ScreenSpec& s = world_.screens().front();
  Rect visible(s.frame.minX(), s.frame.minY(), s.frame.width, s.frame.height - s.menuBarHeight);
  Size size = window_->frame().size();
  Point origin;
  switch (edge) {
    case RectEdge::minY:
      origin = {anchor.midX() - size.width / 2, anchor.minY() - size.height};
      break;
    case RectEdge::maxY:
      origin = {anchor.midX() - size.width / 2, anchor.maxY()};
      break;
    case RectEdge::minX:
      origin = {anchor.minX() - size.width, anchor.midY() - size.height / 2};
      break;
    case RectEdge::maxX:
      origin = {anchor.maxX(), anchor.midY() - size.height / 2};
      break;
  }
  // Moved only as far as keeps it on the visible frame.
  origin.x = std::clamp(origin.x, visible.minX(), std::max(visible.minX(), visible.maxX() - size.width));
  if (edge == RectEdge::minX || edge == RectEdge::maxX)
    origin.y = std::clamp(origin.y, visible.minY(), std::max(visible.minY(), visible.maxY() - size.height));
  window_->setFrameOrigin(origin);
  window_->orderFront();
  shown_ = true;
}

void SimPopover::performClose() {
  if (!shown_) return;
  shown_ = false;
  if (window_) window_->orderOut();
}

bool SimPopover::isShown() const { return shown_ && window_ && window_->isVisible(); }

// ---------------------------------------------------------------- windows

WindowRef SimOwnWindows::makeWindow(WindowConfiguration configuration) {
  auto window = std::make_shared<SimWindow>(world_, std::move(configuration));
  remember(*windows_, window);
  return window;
}

PopoverRef SimOwnWindows::makePopover() {
  return std::make_shared<SimPopover>(world_, windows_);
}

Window* SimOwnWindows::window(WindowHandle handle) {
  auto it = windows_->find(handle);
  if (it == windows_->end()) return nullptr;
  auto window = it->second.lock();
  return window && world_.hasOwnWindow(handle) ? window.get() : nullptr;
}

}  // namespace vimbo::sim
