// Reveal sessions: the bar shows the collected items in place and hides them again once the
// pointer has been away from the menu bar for a while, unless a menu one of them opened is still
// relevant. Also the two plain switches that collapse or expand without a session.
#include <chrono>

#include "App/AppDelegate.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {
constexpr auto kSessionTick = 100ms;
constexpr int kWaitingTicksBeforeCollapse = 10;
constexpr double kControlBandSlack = 6;
constexpr const char* kCollapseRefused = "当前 macOS 版本不支持实验性菜单栏收纳接口。";
constexpr const char* kExpandRefused = "当前 macOS 版本不支持实验性菜单栏展开接口。";

async::Duration seconds(double value) {
  return std::chrono::round<async::Duration>(std::chrono::duration<double>(value));
}
}  // namespace

async::Duration AppDelegate::hoverSamplingInterval() const {
  return seconds(MenuBarStore::sanitizedHoverSamplingInterval(store.hoverSamplingInterval.get()));
}

async::Duration AppDelegate::hoverRevealDelay() const {
  return seconds(MenuBarStore::sanitizedHoverRevealDelay(store.hoverRevealDelay.get()));
}

async::Duration AppDelegate::hoverCollapseDelay() const {
  return seconds(MenuBarStore::sanitizedHoverCollapseDelay(store.hoverCollapseDelay.get()));
}

std::optional<Point> AppDelegate::pointerLocation() {
  auto event = platform_.events.createNullEvent();
  if (!event) return std::nullopt;
  return event->location;
}

bool AppDelegate::isPointerInControlBand(std::optional<Point> pointer) {
  if (!pointer) return false;
  auto control = menuBarHider.windowServerFrame(hider::controlName);
  if (!control) return false;
  return pointer->y >= control->minY() - kControlBandSlack && pointer->y <= control->maxY() + kControlBandSlack;
}

void AppDelegate::setSystemCollection(bool collapsed) {
  const bool ok = menuBarHider.setCollapsed(collapsed);
  store.privateAPIAvailable.set(ok || !collapsed);
  store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
  if (collapsed && !ok) store.lastError.set(std::string(kCollapseRefused));
}

void AppDelegate::beginNativeReveal(std::optional<bool> waitForMenuBarEntry) {
  if (deferWhileBarHeld([wait = waitForMenuBarEntry](AppDelegate& self) { self.beginNativeReveal(wait); })) return;
  revealSessionTask.cancel();
  revealSessionTask = {};
  const int64_t generation = ++revealSessionGeneration;
  const bool waiting = waitForMenuBarEntry.value_or(!isPointerInControlBand(pointerLocation()));
  closeManager();

  MenuWindowRelocator::TrackingSession session;
  session.baseline = menuWindowRelocator.visibleMenuWindowSnapshot();

  if (!menuBarHider.setCollapsed(false)) {
    store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
    store.lastError.set(std::string(kExpandRefused));
    return;
  }
  store.systemItemsCollapsed.set(false);
  revealSessionTask = async::spawn(
      platform_.executor,
      [weak = weak_from_this(), generation, session = std::move(session), waiting]() mutable -> async::Task<void> {
        AppDelegate* controller = nullptr;
        if (auto self = weak.lock()) controller = self.get();
        if (!controller) co_return;
        // The session holds the controller only within each tick.
        auto run = controller->runNativeRevealSession(generation, std::move(session), waiting);
        co_await std::move(run);
        if (auto self = weak.lock(); self && self->revealSessionGeneration == generation) self->revealSessionTask = {};
      });
}

async::Task<void> AppDelegate::runNativeRevealSession(int64_t generation,
                                                      MenuWindowRelocator::TrackingSession trackingSession,
                                                      bool waitForMenuBarEntry) {
  const std::weak_ptr<AppDelegate> weak = weak_from_this();
  bool waiting = waitForMenuBarEntry;
  int outsideTicks = 0;
  std::optional<async::TimePoint> outsideSince;
  while (true) {
    {
      auto self = weak.lock();
      if (!self || async::isCancelled() || revealSessionGeneration != generation) co_return;
      const auto pointer = pointerLocation();
      const bool inBand = isPointerInControlBand(pointer);
      const bool popup = menuWindowRelocator.hasRelevantPopup(trackingSession, pointer);
      const bool outside = !inBand && !popup;
      if (!store.collapseOnPointerExit.get()) {
        outsideTicks = 0;
        outsideSince.reset();
        waiting = false;
      } else if (waiting) {
        if (outside) {
          if (++outsideTicks >= kWaitingTicksBeforeCollapse) {
            collapseNativeReveal();
            co_return;
          }
        } else {
          waiting = false;
          outsideSince.reset();
        }
      } else if (!outside) {
        outsideSince.reset();
      } else {
        if (!outsideSince) outsideSince = now();
        if (now() - *outsideSince >= hoverCollapseDelay()) {
          collapseNativeReveal();
          co_return;
        }
      }
    }
    co_await async::sleepFor(kSessionTick);
  }
}

void AppDelegate::collapseNativeReveal() {
  if (deferWhileBarHeld([](AppDelegate& self) { self.collapseNativeReveal(); })) return;
  if (menuBarHider.isCollapsed && !revealSessionTask) return;
  ++revealSessionGeneration;
  revealSessionTask.cancel();
  revealSessionTask = {};
  const bool ok = menuBarHider.setCollapsed(true);
  store.systemItemsCollapsed.set(menuBarHider.isCollapsed);
  if (!ok) store.lastError.set(std::string(kCollapseRefused));
}

}  // namespace vimbo
