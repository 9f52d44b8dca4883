// Reveal on hover over the control item, by a tracking area on its button (event-driven) or by a
// task sampling the pointer against the control item's window frame (polling). Both end in one
// gate, and neither reveals again until the pointer has left once. Stale delayed work is defeated
// by generations; every task holds the controller weakly.
#include <algorithm>
#include <chrono>

#include "App/AppDelegate.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {
constexpr auto kExitGrace = 100ms;
constexpr auto kHoverFrameLifetime = 1s;
constexpr double kHoverTolerance = 3;
constexpr double kCompactWidth = 100;
constexpr double kCompactHeight = 40;
constexpr uint32_t kTrackingOptions = platform::trackingoption::mouseEnteredAndExited |
                                      platform::trackingoption::mouseMoved | platform::trackingoption::activeAlways |
                                      platform::trackingoption::inVisibleRect;
}  // namespace

// MARK: - Settings

void AppDelegate::installHoverPreferenceObservation() {
  hoverPreferenceCancellable = async::combineLatestQueued(
      platform_.executor, store.expandOnHover.publisher(), store.hoverDetectionMethod.publisher(),
      [weak = weak_from_this()](const bool& enabled, const HoverDetectionMethod& method) {
        if (auto self = weak.lock()) self->applyHoverPreferences(enabled, method);
      });
  applyHoverPreferences(store.expandOnHover.get(), store.hoverDetectionMethod.get());
}

void AppDelegate::applyHoverPreferences(bool expandOnHover, HoverDetectionMethod method) {
  cancelHoverSampling();
  cancelHoverEventDwell();
  if (!expandOnHover) {
    removeHoverTrackingArea();
  } else if (method == HoverDetectionMethod::polling) {
    removeHoverTrackingArea();
    startHoverSampling();
  } else {
    installHoverTrackingArea();
  }
}

// MARK: - Event-driven

void AppDelegate::installHoverTrackingArea() {
  if (hoverTrackingArea != 0) return;
  auto* button = statusItem ? statusItem->button() : nullptr;
  if (!button) return;
  auto owner = std::make_shared<HoverTrackingOwner>();
  auto& ex = platform_.executor;
  auto inside = [&ex, weak = weak_from_this()] {
    spawnWeak(ex, weak, [](AppDelegate& self) { self.handleHoverPointerInside(); });
  };
  owner->onMouseEntered = inside;
  owner->onMouseMoved = inside;
  owner->onMouseExited = [&ex, weak = weak_from_this()] {
    spawnWeak(ex, weak, [](AppDelegate& self) {
      self.hoverEventIsInside = false;
      self.scheduleHoverEventExitGrace();
    });
  };
  button->setAcceptsMouseMovedEvents(true);
  hoverTrackingArea = button->addTrackingArea(
      button->bounds(), kTrackingOptions,
      [weakOwner = std::weak_ptr<HoverTrackingOwner>(owner)](platform::TrackingEventKind kind, const platform::Event&) {
        if (auto owner = weakOwner.lock()) owner->handle(kind);
      });
  hoverTrackingOwner = std::move(owner);
  reconcileEventHoverIfPointerIsInside();
}

void AppDelegate::removeHoverTrackingArea() {
  auto* button = statusItem ? statusItem->button() : nullptr;
  if (hoverTrackingArea != 0 && button) button->removeTrackingArea(hoverTrackingArea);
  hoverTrackingArea = 0;
  if (hoverTrackingOwner) {
    hoverTrackingOwner->onMouseEntered = nullptr;
    hoverTrackingOwner->onMouseExited = nullptr;
    hoverTrackingOwner->onMouseMoved = nullptr;
  }
  hoverTrackingOwner.reset();
  hoverEventIsInside = false;
  hoverEventEntryStart.reset();
  cancelHoverEventExitGrace();
}

void AppDelegate::handleHoverPointerInside() {
  cancelHoverEventExitGrace();
  hoverEventIsInside = true;
  if (!store.expandOnHover.get() || store.hoverDetectionMethod.get() != HoverDetectionMethod::eventDriven) return;
  if (!hoverEventEntryStart) hoverEventEntryStart = now();
  if (hoverRequiresPointerExit) return;
  const async::Duration remaining = hoverRevealDelay() - (now() - *hoverEventEntryStart);
  if (remaining <= async::Duration::zero()) {
    revealFromHoverIfEligible();
  } else {
    scheduleHoverEventDwell(remaining);
  }
}

void AppDelegate::scheduleHoverEventDwell(async::Duration after) {
  // Movement inside does not re-arm a pending dwell.
  if (hoverEventDwellTask) return;
  const int64_t generation = hoverEventDwellGeneration;
  hoverEventDwellTask = async::spawn(
      platform_.executor, [weak = weak_from_this(), generation, after]() -> async::Task<void> {
        const auto slept = co_await async::sleepFor(std::max(after, async::Duration::zero()));
        auto self = weak.lock();
        if (!self || self->hoverEventDwellGeneration != generation) co_return;
        self->hoverEventDwellTask = {};
        if (slept == async::SleepResult::Elapsed && self->hoverEventIsInside) self->revealFromHoverIfEligible();
      });
}

void AppDelegate::scheduleHoverEventExitGrace() {
  cancelHoverEventExitGrace();
  const int64_t generation = hoverEventExitGraceGeneration;
  hoverEventExitGraceTask =
      async::spawn(platform_.executor, [weak = weak_from_this(), generation]() -> async::Task<void> {
        const auto slept = co_await async::sleepFor(kExitGrace);
        auto self = weak.lock();
        if (!self || self->hoverEventExitGraceGeneration != generation) co_return;
        self->hoverEventExitGraceTask = {};
        if (slept != async::SleepResult::Elapsed || self->hoverEventIsInside) co_return;
        self->cancelHoverEventDwell();
        self->hoverEventEntryStart.reset();
        self->hoverRequiresPointerExit = false;
      });
}

void AppDelegate::cancelHoverEventDwell() {
  ++hoverEventDwellGeneration;
  hoverEventDwellTask.cancel();
  hoverEventDwellTask = {};
}

void AppDelegate::cancelHoverEventExitGrace() {
  ++hoverEventExitGraceGeneration;
  hoverEventExitGraceTask.cancel();
  hoverEventExitGraceTask = {};
}

void AppDelegate::reconcileEventHoverIfPointerIsInside() {
  if (!store.expandOnHover.get() || store.hoverDetectionMethod.get() != HoverDetectionMethod::eventDriven) return;
  const auto pointer = pointerLocation();
  const auto frame = currentHoverWindowFrame();
  if (pointer && frame && frame->insetBy(-kHoverTolerance, -kHoverTolerance).contains(*pointer)) {
    handleHoverPointerInside();
  }
}

// MARK: - Polling

void AppDelegate::startHoverSampling() {
  if (hoverSamplingTask) return;
  hoverSamplingTask = async::spawn(platform_.executor, [weak = weak_from_this()]() -> async::Task<void> {
    while (true) {
      async::TimePoint next;
      {
        auto self = weak.lock();
        if (!self || async::isCancelled()) co_return;
        self->sampleHoverPointer();
        next = self->now() + self->hoverSamplingInterval();
      }
      if (co_await async::sleepUntil(next) == async::SleepResult::Cancelled) co_return;
    }
  });
}

void AppDelegate::cancelHoverSampling() {
  hoverSamplingTask.cancel();
  hoverSamplingTask = {};
  hoverDwellStart.reset();
  hoverWindowID.reset();
  hoverWindowFrame.reset();
  hoverWindowFrameUpdatedAt.reset();
}

void AppDelegate::sampleHoverPointer() {
  if (!store.expandOnHover.get() || store.hoverDetectionMethod.get() != HoverDetectionMethod::polling) {
    cancelHoverSampling();
    return;
  }
  const auto pointer = pointerLocation();
  const auto frame = currentHoverWindowFrame();
  const bool inside = pointer && frame && frame->insetBy(-kHoverTolerance, -kHoverTolerance).contains(*pointer);
  if (!inside) {
    hoverDwellStart.reset();
    hoverRequiresPointerExit = false;
    return;
  }
  if (hoverRequiresPointerExit) {
    hoverDwellStart.reset();
    return;
  }
  if (!hoverDwellStart) {
    hoverDwellStart = now();
    return;
  }
  if (now() - *hoverDwellStart < hoverRevealDelay()) return;
  hoverDwellStart.reset();
  revealFromHoverIfEligible();
}

// MARK: - The control item's window

std::optional<Rect> AppDelegate::currentHoverWindowFrame() {
  const async::TimePoint t = now();
  if (hoverWindowFrame && hoverWindowFrameUpdatedAt && t - *hoverWindowFrameUpdatedAt < kHoverFrameLifetime) {
    return hoverWindowFrame;
  }
  auto remember = [&](uint32_t id, Rect frame) {
    hoverWindowID = id;
    hoverWindowFrame = frame;
    hoverWindowFrameUpdatedAt = t;
    return frame;
  };
  if (hoverWindowID) {
    if (auto frame = singleWindowFrame(*hoverWindowID)) return remember(*hoverWindowID, *frame);
  }
  hoverWindowID.reset();
  hoverWindowFrame.reset();
  hoverWindowFrameUpdatedAt.reset();
  if (auto* button = statusItem ? statusItem->button() : nullptr) {
    const uint32_t number = button->windowNumber();
    if (number >= 1) {
      if (auto frame = singleWindowFrame(number)) return remember(number, *frame);
    }
  }
  auto candidate = discoverHoverWindow();
  if (!candidate) return std::nullopt;
  return remember(candidate->id, candidate->frame);
}

std::optional<Rect> AppDelegate::singleWindowFrame(uint32_t windowID) {
  auto list = platform_.windowServer.copyWindowList(platform::WindowListOption::IncludingWindow, windowID);
  if (!list || list->empty()) return std::nullopt;
  const platform::WindowInfo& entry = list->front();
  if (entry.name() != std::string(hider::controlName)) return std::nullopt;
  auto bounds = entry.bounds();
  if (!bounds || !(bounds->width > 0) || !(bounds->height > 0)) return std::nullopt;
  return bounds;
}

std::optional<AppDelegate::HoverWindowCandidate> AppDelegate::discoverHoverWindow() {
  auto list = platform_.windowServer.copyWindowList(platform::WindowListOption::All);
  if (!list) return std::nullopt;
  std::vector<HoverWindowCandidate> candidates;
  for (const auto& entry : *list) {
    if (entry.name() != std::string(hider::controlName)) continue;
    auto number = entry.number();
    auto bounds = entry.bounds();
    if (!number || *number < 1 || !bounds || !(bounds->width > 0) || !(bounds->height > 0)) continue;
    bool onScreen = false;
    if (auto flag = entry.boolean(platform::windowkey::isOnscreen)) {
      onScreen = *flag;
    } else if (auto value = entry.integer(platform::windowkey::isOnscreen)) {
      onScreen = *value != 0;
    }
    candidates.push_back({*number, *bounds, entry.ownerPID().value_or(0), onScreen});
  }
  const int32_t ownPID = platform_.application.processIdentifier();
  std::vector<HoverWindowCandidate> own;
  std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(own),
               [ownPID](const HoverWindowCandidate& c) { return c.ownerPID == ownPID; });
  if (!own.empty()) candidates = std::move(own);
  auto compact = [](const HoverWindowCandidate& c) {
    return c.frame.width <= kCompactWidth && c.frame.height <= kCompactHeight;
  };
  std::stable_sort(candidates.begin(), candidates.end(), [&](const HoverWindowCandidate& a, const HoverWindowCandidate& b) {
    if (a.isOnScreen != b.isOnScreen) return a.isOnScreen;
    if (compact(a) != compact(b)) return compact(a);
    return a.frame.minX() > b.frame.minX();
  });
  if (candidates.empty()) return std::nullopt;
  return candidates.front();
}

// MARK: - The gate

void AppDelegate::revealFromHoverIfEligible() {
  if (!store.expandOnHover.get()) return;
  if (!menuBarHider.isCollapsed) return;
  if (isManagerShown()) return;
  if (isSettingsWindowVisible()) return;
  if (initialSystemSetupTask) return;
  if (systemItemActivationTask) return;
  if (store.isCapturingSystemItems.get()) return;
  if (activeSystemItemOperationCount != 0) return;
  if (revealSessionTask) return;
  hoverRequiresPointerExit = true;
  beginNativeReveal(false);
}

}  // namespace vimbo
