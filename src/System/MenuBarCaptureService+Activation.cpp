// Opening a status item's own menu: an accessibility press on the element under its centre, or a
// plain click delivered straight to the owning process, only where the item itself stands and
// only between moves. The pointer never moves.

#include <algorithm>
#include <optional>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Platform.h"
#include "Platform/Runtime/ScopeExit.h"
#include "Platform/Runtime/Task.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

namespace {

using platform::AXElement;
using platform::AXError;

// The hit element and up to four ancestors, until one accepts the press.
bool pressAccessibilityElement(platform::Accessibility& ax, Point point, int32_t ownerPID) {
  const AXElement app = ax.createApplication(ownerPID);
  auto hit = ax.copyElementAtPosition(app, static_cast<float>(point.x), static_cast<float>(point.y));
  if (hit.error != AXError::Success || !hit.element) return false;
  AXElement element = hit.element;
  for (int depth = 0; depth < 5; ++depth) {
    if (ax.performAction(element, platform::axaction::press) == AXError::Success) return true;
    if (depth == 4) break;
    auto parent = ax.copyAttributeValue(element, platform::axattr::parent);
    if (parent.error != AXError::Success || !parent.value) return false;
    const AXElement* up = parent.value->element();
    if (!up || !*up) return false;
    element = *up;
  }
  return false;
}

// A menu bar that hides itself reports no band; it is never shorter than this when shown.
constexpr double kMinimumMenuBarHeight = 24;

}  // namespace

std::optional<Point> MenuBarCaptureService::pressPoint(uint32_t windowID) {
  const auto frame = currentFrame(windowID);
  if (!frame) return std::nullopt;
  const Point centre = frame->center();
  const platform::Screens& screens = platform_.screens;
  bool inBand = false;
  for (const auto& screen : screens.screens()) {
    const Rect display = screen.screenNumber ? screens.displayBounds(*screen.screenNumber) : screen.frame;
    if (!display.contains(centre)) continue;
    const double scale = screen.frame.height > 0 ? display.height / screen.frame.height : 1;
    const double band = std::max(screen.frame.maxY() - screen.visibleFrame.maxY(), kMinimumMenuBarHeight) * scale;
    inBand = centre.y < display.minY() + band;
    break;
  }
  if (!inBand) return std::nullopt;
  if (platform_.windowServer.windowNumberAtPoint(centre) != windowID) return std::nullopt;
  return centre;
}

async::Task<bool> MenuBarCaptureService::activate(CapturedMenuBarItem item) {
  lastItemFailure_ = ItemFailure::none;
  if (!platform_.accessibility.isProcessTrusted(true)) co_return failed(ItemFailure::accessibilityNotTrusted);
  const Rect frame = currentFrame(item.id).value_or(item.originalFrame);
  if (pressAccessibilityElement(platform_.accessibility, frame.center(), item.ownerPID)) co_return true;

  // A click posted while a move holds the button would land in the middle of that drag.
  async::OneShot<> done;
  async::ScopeExit release([done]() mutable { done.resume(); });
  auto taking = takeMoverTurn(done);
  const std::optional<bool> turn = co_await std::move(taking);
  if (!turn) co_return failed(ItemFailure::givenUp);

  // The click goes only where the item itself stands now; elsewhere it would open another menu.
  const auto clickAt = pressPoint(item.id);
  if (!clickAt) co_return failed(unpressable(item.id));
  platform::Events& events = platform_.events;
  platform::EventSourceRef source = events.createSource(platform::EventSourceStateID::Private);
  if (!source) co_return failed(ItemFailure::eventUnavailable);
  auto down = events.createMouseEvent(source.get(), platform::EventType::LeftMouseDown, *clickAt, platform::MouseButton::Left);
  auto up = events.createMouseEvent(source.get(), platform::EventType::LeftMouseUp, *clickAt, platform::MouseButton::Left);
  if (!down || !up) co_return failed(ItemFailure::eventUnavailable);
  for (platform::Event* event : {&*down, &*up}) {
    // No Command flag: this is a click that opens the menu, not the start of a drag.
    event->flags = 0;
    event->setIntegerValueField(platform::eventfield::targetUnixProcessID, item.ownerPID);
    event->setIntegerValueField(platform::eventfield::windowUnderMousePointer, item.id);
    event->setIntegerValueField(platform::eventfield::windowUnderMousePointerThatCanHandleThisEvent, item.id);
    event->setIntegerValueField(platform::eventfield::mouseEventWindowNumber, item.id);
    event->setIntegerValueField(platform::eventfield::mouseEventClickState, 1);
  }
  // The person's own click must not fall between our press and its release.
  platform::InputHoldScope personInput(platform_.inputHold);
  events.postToPid(item.ownerPID, *down);
  events.postToPid(item.ownerPID, *up);
  co_return true;
}

}  // namespace vimbo
