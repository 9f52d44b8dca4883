// Moving one status item across the divider: a targeted Command click-and-release at the session
// tap, an accessibility reposition, then a synthetic Command-drag at the HID tap, each verified
// against the live divider and control windows.

#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Platform.h"
#include "Platform/Runtime/Task.h"
#include "System/MenuBarCaptureService.h"
#include "System/MenuBarHider.h"
#include "System/MenuBarSnapshot.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {

using platform::AXElement;
using platform::AXError;
using platform::Event;
using platform::EventFlags;
using platform::EventTap;
using platform::EventType;

constexpr EventFlags kCommand = platform::eventflag::command;
constexpr const char* kControlCenterBundle = "com.apple.controlcenter";
constexpr int kVerificationChecks = 12;
constexpr int kDragSteps = 12;
// What a source's local-events filter lets through while it suppresses the person's input.
constexpr uint32_t kPermitLocalMouseEvents = 1;
constexpr uint32_t kPermitLocalKeyboardEvents = 2 | 4;  // and system-defined events
constexpr uint32_t kPermitLocalMouseAndKeyboardEvents = kPermitLocalMouseEvents | kPermitLocalKeyboardEvents;

std::optional<Event> mouseEvent(platform::Events& events, const platform::EventSource* source, EventType type,
                                Point location, EventFlags flags) {
  auto event = events.createMouseEvent(source, type, location, platform::MouseButton::Left);
  if (event) event->flags = flags;
  return event;
}

std::optional<Event> commandKeyEvent(platform::Events& events, const platform::EventSource* source, bool down) {
  auto event = events.createKeyboardEvent(source, platform::keycode::command, down);
  if (event) event->flags = down ? kCommand : 0;
  return event;
}

// What a move owes the window server once it has started: each debt is taken on when its cause
// is posted and paid exactly once, by the move itself, by an explicit finish at quit, or when the
// move's frame is destroyed unfinished. Paying order: release the button, release Command, give
// the pointer back and show the cursor, let the person's input go on.
struct MoveCleanup {
  platform::Events* events = nullptr;
  platform::EventSourceRef source;
  // From parking the pointer until it is back: a person's click must not end our drag, nor their
  // keys reach our Command; what they do goes on afterwards, in order.
  platform::InputHoldScope personInput;

  // Made with the rest of the sequence before its first post: a press of ours is always released.
  bool buttonDown = false;
  std::optional<Event> buttonUp;
  EventTap buttonTap = EventTap::HID;

  bool commandDown = false;
  std::optional<Event> commandUp;

  bool cursorHidden = false;
  uint32_t display = 0;
  Point savedLocation;

  // Set by an explicit finish: the move must post nothing more.
  bool aborted = false;

  // Lets go of the button where it went down.
  void releaseButton() {
    if (!buttonDown) return;
    buttonDown = false;
    if (buttonUp) events->post(buttonTap, *buttonUp);
  }
  void releaseCommand() {
    if (!commandDown) return;
    commandDown = false;
    if (commandUp) events->post(EventTap::HID, *commandUp);
  }
  void restoreCursor() {
    if (!cursorHidden) return;
    cursorHidden = false;
    events->warpMouseCursorPosition(savedLocation);
    events->showCursor(display);
  }
  void finish() {
    releaseButton();
    releaseCommand();
    restoreCursor();
    personInput.release();
  }
};

struct MoveGuard {
  std::shared_ptr<MoveCleanup> cleanup;
  ~MoveGuard() {
    if (cleanup) cleanup->finish();
  }
};

// Passes the mover's turn on once a move has finished, however its frame ends.
struct TurnRelease {
  async::OneShot<> finished;
  ~TurnRelease() { finished.resume(); }
};

}  // namespace

struct MenuBarCaptureService::MoverState {
  // Moves not yet finished.
  std::vector<std::weak_ptr<MoveCleanup>> active;
  // Counts explicit finishes: a move that began before one must not start another strategy.
  uint64_t finishes = 0;
  // Finishes when the move (or click) that asked last for the turn has finished. Callers outside
  // the controller's queue (an activation's carry and click) can start while a move is in flight.
  std::optional<async::OneShot<>> lastTurn;

  void finishAll() {
    ++finishes;
    for (auto& weak : active) {
      if (auto cleanup = weak.lock()) {
        cleanup->finish();
        cleanup->aborted = true;
      }
    }
    active.clear();
  }
  // Paying here keeps the debts from outliving the service's platform.
  ~MoverState() { finishAll(); }

  using Service = MenuBarCaptureService;
  using Destination = MenuBarMoveDestination;

  static MoverState& of(Service* self) {
    if (!self->moverState_) self->moverState_ = std::make_shared<MoverState>();
    return *self->moverState_;
  }

  static std::shared_ptr<MoveCleanup> beginMove(Service* self, platform::EventSourceRef source) {
    of(self);
    auto cleanup = std::make_shared<MoveCleanup>();
    cleanup->events = &self->platform_.events;
    cleanup->source = std::move(source);
    auto& active = self->moverState_->active;
    std::erase_if(active, [](const std::weak_ptr<MoveCleanup>& weak) { return weak.expired(); });
    active.push_back(cleanup);
    return cleanup;
  }

  // Holds the person's input, saves the pointer, hides the cursor on the main display.
  static void parkCursor(Service* self, MoveCleanup& cleanup, Point fallback) {
    cleanup.personInput = platform::InputHoldScope(self->platform_.inputHold);
    platform::Events& events = self->platform_.events;
    auto probe = events.createNullEvent();
    cleanup.savedLocation = probe ? probe->location : fallback;
    cleanup.display = self->platform_.screens.mainDisplayID();
    events.hideCursor(cleanup.display);
    cleanup.cursorHidden = true;
  }

  static std::optional<Rect> windowFrame(Service* self, const std::string& name) {
    return MenuBarHider::windowServerFrame(self->platform_.windowServer, name);
  }

  static std::optional<int32_t> axOwner(Service* self, uint32_t windowID) {
    const auto& owners = self->state_.menuExtraAXOwnerPIDs;
    auto it = owners.find(windowID);
    if (it == owners.end()) return std::nullopt;
    return it->second;
  }

  // The control item's immediate left neighbour: right edge at its left edge, nothing between.
  static bool standsAtSlot(Service* self, uint32_t windowID, const Rect& frame, const Rect& control) {
    if (std::fabs(frame.maxX() - control.minX()) > bar_side::dragSlack) return false;
    platform::WindowServer& server = self->platform_.windowServer;
    auto list = server.copyWindowList(platform::WindowListOption::OnScreenOnly);
    if (!list) return false;
    const int64_t statusLevel = server.windowLevel(platform::WindowLevelKey::Status);
    for (const auto& entry : *list) {
      if (entry.number() == windowID || entry.layer() != statusLevel || entry.name() == hider::controlName) continue;
      const auto bounds = entry.bounds();
      if (!bounds || !bounds->isValidPositive()) continue;
      if (bounds->midX() > frame.midX() && bounds->midX() < control.midX()) return false;
    }
    return true;
  }

  // With exact order a visible move is judged at its slot, so that a strategy that moved nothing
  // cannot pass for an item that already stood somewhere on the visible side.
  static bool destinationReached(Service* self, uint32_t windowID, Destination destination, bool exactOrder) {
    const MenuBarSnapshot bar(self->platform_.windowServer);
    const auto frame = bar.frame(windowID);
    if (!frame) return false;
    const auto& divider = bar.divider();
    if (destination == Destination::collected) {
      return divider && bar_side::isWhollyLeftOfDivider(*frame, *divider, bar_side::dragSlack);
    }
    if (!self->isFrameOnScreen(*frame) || !self->isFrameInAuxiliaryTopRightArea(*frame)) return false;
    const auto& control = bar.control();
    if (!divider || !control || !bar_side::isInVisibleBand(*frame, *divider, *control, bar_side::dragSlack)) return false;
    return !exactOrder || standsAtSlot(self, windowID, *frame, *control);
  }

  static async::Task<bool> waitForMoveVerification(Service* self, uint32_t windowID, Destination destination,
                                                   bool exactOrder) {
    for (int check = 0; check < kVerificationChecks; ++check) {
      if (async::isCancelled()) co_return false;
      if (destinationReached(self, windowID, destination, exactOrder)) co_return true;
      co_await async::sleepFor(25ms);
    }
    co_return false;
  }

  static std::optional<Rect> accessibilityFrame(platform::Accessibility& ax, AXElement element) {
    auto position = ax.copyAttributeValue(element, platform::axattr::position);
    auto size = ax.copyAttributeValue(element, platform::axattr::size);
    if (position.error != AXError::Success || size.error != AXError::Success) return std::nullopt;
    if (!position.value || !size.value) return std::nullopt;
    const Point* origin = position.value->point();
    const Size* extent = size.value->size();
    if (!origin || !extent) return std::nullopt;
    return Rect(*origin, *extent);
  }

  static std::optional<AXElement> parentOf(platform::Accessibility& ax, AXElement element) {
    auto parent = ax.copyAttributeValue(element, platform::axattr::parent);
    if (parent.error != AXError::Success || !parent.value) return std::nullopt;
    const AXElement* up = parent.value->element();
    if (!up || !*up) return std::nullopt;
    return *up;
  }

  // The element and up to four ancestors: the first whose position is settable takes the origin.
  static bool setPositionOnHierarchy(platform::Accessibility& ax, AXElement element, Point origin) {
    for (int depth = 0; depth < 5; ++depth) {
      auto settable = ax.isAttributeSettable(element, platform::axattr::position);
      if (settable.error == AXError::Success && settable.settable) {
        platform::AXValue value{origin};
        if (ax.setAttributeValue(element, platform::axattr::position, value) == AXError::Success) return true;
      }
      if (depth == 4) break;
      auto parent = parentOf(ax, element);
      if (!parent) return false;
      element = *parent;
    }
    return false;
  }

  static bool repositionAccessibilityElement(Service* self, const Rect& sourceFrame, int32_t ownerPID,
                                             Point targetOrigin) {
    platform::Accessibility& ax = self->platform_.accessibility;
    const AXElement app = ax.createApplication(ownerPID);
    auto bar = ax.copyAttributeValue(app, platform::axattr::extrasMenuBar);
    if (bar.error == AXError::Success && bar.value && bar.value->element() && *bar.value->element()) {
      auto children = ax.copyAttributeValue(*bar.value->element(), platform::axattr::children);
      if (children.error == AXError::Success && children.value && children.value->array()) {
        std::optional<AXElement> best;
        double bestScore = std::numeric_limits<double>::infinity();
        const Point centre = sourceFrame.center();
        for (const auto& child : *children.value->array()) {
          const AXElement* element = child.element();
          if (!element || !*element) continue;
          auto frame = accessibilityFrame(ax, *element);
          if (!frame || !(frame->width > 0) || !(frame->height > 0)) continue;
          if (!frame->intersects(sourceFrame) && !frame->contains(centre) && !sourceFrame.contains(frame->center())) {
            continue;
          }
          const double score = std::hypot(frame->midX() - centre.x, frame->midY() - centre.y) +
                               0.5 * std::fabs(frame->width - sourceFrame.width) +
                               0.5 * std::fabs(frame->height - sourceFrame.height);
          if (score < bestScore) {
            bestScore = score;
            best = *element;
          }
        }
        if (best && setPositionOnHierarchy(ax, *best, targetOrigin)) return true;
      }
    }
    auto hit = ax.copyElementAtPosition(app, static_cast<float>(sourceFrame.midX()), static_cast<float>(sourceFrame.midY()));
    if (hit.error != AXError::Success || !hit.element) return false;
    return setPositionOnHierarchy(ax, hit.element, targetOrigin);
  }

  static async::Task<bool> targetedCommandSessionMove(Service* self, CapturedMenuBarItem item, Point drop,
                                                      Destination destination, bool exactOrder, Rect startFrame) {
    platform::Events& events = self->platform_.events;
    platform::EventSourceRef source = events.createSource(platform::EventSourceStateID::HIDSystem);
    if (!source) co_return self->failed(ItemFailure::eventUnavailable);
    const int32_t pid = axOwner(self, item.id).value_or(item.ownerPID);
    Point start = startFrame.center();

    // Both made before either is posted: a press that could not be released is never made.
    auto down = mouseEvent(events, source.get(), EventType::LeftMouseDown, start, kCommand);
    auto up = mouseEvent(events, source.get(), EventType::LeftMouseUp, drop, kCommand);
    if (!down || !up) co_return self->failed(ItemFailure::eventUnavailable);
    const std::map<int, int64_t> fields = {
        {platform::eventfield::targetUnixProcessID, pid},
        {platform::eventfield::windowUnderMousePointer, item.id},
        {platform::eventfield::windowUnderMousePointerThatCanHandleThisEvent, item.id},
        {platform::eventfield::mouseEventWindowNumber, item.id},
        {platform::eventfield::mouseEventClickState, 1},
        {platform::eventfield::sourceStateID, 1},
    };
    for (const auto& [field, value] : fields) {
      down->setIntegerValueField(field, value);
      up->setIntegerValueField(field, value);
    }
    down->setIntegerValueField(platform::eventfield::sourceUserData, 1337);
    up->setIntegerValueField(platform::eventfield::sourceUserData, 1340);

    MoveGuard guard{beginMove(self, source)};
    MoveCleanup& cleanup = *guard.cleanup;
    parkCursor(self, cleanup, start);
    // Local mouse input is held off briefly so the user's hand cannot interleave with ours. Under
    // our own hold it is taken whole and posted again later: dropping it here would lose it.
    source->setLocalEventsSuppressionInterval(0.02);
    source->setLocalEventsFilterDuringSuppressionState(
        cleanup.personInput ? kPermitLocalMouseAndKeyboardEvents : kPermitLocalKeyboardEvents, 0);

    events.warpMouseCursorPosition(start);
    co_await async::sleepFor(80ms);
    if (cleanup.aborted) co_return false;
    // The bar may have changed since the move began: press only where the item itself stands.
    const auto pressAt = self->pressPoint(item.id);
    if (!pressAt) co_return self->failed(self->unpressable(item.id));
    start = *pressAt;

    down->location = start;
    events.post(EventTap::Session, *down);
    cleanup.buttonDown = true;
    cleanup.buttonUp = *up;
    cleanup.buttonUp->location = start;
    cleanup.buttonTap = EventTap::Session;
    co_await async::sleepFor(90ms);
    if (cleanup.aborted) co_return false;

    events.warpMouseCursorPosition(drop);
    co_await async::sleepFor(90ms);
    if (cleanup.aborted) co_return false;

    events.post(EventTap::Session, *up);
    cleanup.buttonDown = false;
    co_await async::sleepFor(100ms);
    if (cleanup.aborted) co_return false;

    auto verification = waitForMoveVerification(self, item.id, destination, exactOrder);
    const bool moved = co_await std::move(verification);
    if (cleanup.aborted) co_return false;
    co_return moved || self->failed(ItemFailure::notArrived);
  }

  static async::Task<bool> commandDrag(Service* self, CapturedMenuBarItem item, Rect frame, std::optional<Point> anchor,
                                       Point target, bool exactOrder, Destination destination) {
    platform::Events& events = self->platform_.events;
    platform::EventSourceRef source = events.createSource(platform::EventSourceStateID::HIDSystem);
    if (!source) co_return self->failed(ItemFailure::eventUnavailable);
    source->setLocalEventsSuppressionInterval(0);
    Point start = frame.center();

    // Every event of the drag is made before the first is posted: a drag that could not be let go
    // of is never begun.
    auto moved = mouseEvent(events, source.get(), EventType::MouseMoved, start, kCommand);
    auto keyDown = commandKeyEvent(events, source.get(), true);
    auto keyUp = commandKeyEvent(events, source.get(), false);
    auto down = mouseEvent(events, source.get(), EventType::LeftMouseDown, start, kCommand);
    std::vector<Event> steps;
    for (int step = 1; step <= kDragSteps; ++step) {
      auto drag = mouseEvent(events, source.get(), EventType::LeftMouseDragged, start, kCommand);
      if (!drag) break;
      steps.push_back(*drag);
    }
    auto up = mouseEvent(events, source.get(), EventType::LeftMouseUp, start, kCommand);
    if (!moved || !keyDown || !keyUp || !down || steps.size() != static_cast<size_t>(kDragSteps) || !up) {
      co_return self->failed(ItemFailure::eventUnavailable);
    }

    MoveGuard guard{beginMove(self, source)};
    MoveCleanup& cleanup = *guard.cleanup;
    parkCursor(self, cleanup, start);
    events.warpMouseCursorPosition(start);
    co_await async::sleepFor(80ms);
    if (cleanup.aborted) co_return false;

    events.post(EventTap::HID, *moved);
    co_await async::sleepFor(55ms);
    if (cleanup.aborted) co_return false;

    events.post(EventTap::HID, *keyDown);
    cleanup.commandDown = true;
    cleanup.commandUp = *keyUp;
    co_await async::sleepFor(60ms);
    if (cleanup.aborted) co_return false;

    // Read again after the park and settle: a bar that collapsed or was laid out anew meanwhile
    // must not turn the press into a drag of whatever stands at the old centre.
    const auto pressAt = self->pressPoint(item.id);
    if (!pressAt) co_return self->failed(self->unpressable(item.id));
    start = *pressAt;
    down->location = start;
    events.post(EventTap::HID, *down);
    cleanup.buttonDown = true;
    cleanup.buttonUp = *up;
    cleanup.buttonUp->location = start;
    cleanup.buttonTap = EventTap::HID;
    co_await async::sleepFor(90ms);
    if (cleanup.aborted) co_return false;

    Point drop = target;
    if (anchor) {
      drop = *anchor;
    } else if (exactOrder && destination == Destination::visible) {
      // Exact order means "immediately left of the control item"; without it there is no slot.
      auto control = windowFrame(self, hider::controlName);
      if (!control) co_return self->failed(ItemFailure::givenUp);
      drop = {control->minX(), control->midY()};
    }

    for (int step = 1; step <= kDragSteps; ++step) {
      const double t = static_cast<double>(step) / kDragSteps;
      Event& drag = steps[static_cast<size_t>(step - 1)];
      drag.location = step == kDragSteps ? drop : Point{start.x + (drop.x - start.x) * t, start.y + (drop.y - start.y) * t};
      events.post(EventTap::HID, drag);
      co_await async::sleepFor(24ms);
      if (cleanup.aborted) co_return false;
    }

    up->location = drop;
    events.post(EventTap::HID, *up);
    cleanup.buttonDown = false;
    co_await async::sleepFor(80ms);
    if (cleanup.aborted) co_return false;

    cleanup.releaseCommand();

    // The last strategy is judged by its side: a drop that settles after the checks here is
    // still confirmed by the caller's own wait for the order.
    auto verification = waitForMoveVerification(self, item.id, destination, false);
    const bool arrived = co_await std::move(verification);
    if (cleanup.aborted) co_return false;
    co_return arrived || self->failed(ItemFailure::notArrived);
  }
};

async::Task<bool> MenuBarCaptureService::moveMenuBarItem(CapturedMenuBarItem item, Point destination, bool exactOrder,
                                                         MenuBarMoveDestination moveDestination) {
  using M = MoverState;
  lastItemFailure_ = ItemFailure::none;
  // Clock and Control Center stand where the system puts them.
  if (item.isFixed()) co_return failed(ItemFailure::givenUp);
  if (!platform_.accessibility.isProcessTrusted(true)) co_return failed(ItemFailure::accessibilityNotTrusted);
  const uint64_t epoch = M::of(this).finishes;
  auto abandoned = [&] { return M::of(this).finishes != epoch; };

  // One move at a time: a move that starts while another is in flight waits until that one has
  // finished, its clean-up and pointer put-back included, so that no events interleave and the
  // pointer saved is where the person left it.
  TurnRelease turn;
  auto taking = takeMoverTurn(turn.finished);
  const std::optional<bool> waited = co_await std::move(taking);
  if (!waited) co_return failed(ItemFailure::givenUp);

  const MenuBarSnapshot bar(platform_.windowServer);
  const auto start = bar.frame(item.id);
  if (!start) co_return failed(ItemFailure::windowGone);
  Rect frame = *start;

  std::optional<Point> anchor;
  Point target = destination;
  if (moveDestination == MenuBarMoveDestination::visible) {
    if (const auto& control = bar.control()) {
      anchor = Point{control->minX(), control->midY()};
      if (!exactOrder) target = bar_side::visibleDropPoint(*control, frame.width);
    }
  } else if (*waited && bar.divider()) {
    // The move waited for may have carried an item across the divider, which shifts it by more
    // than the drop's offset: the point worked out before the wait could lie right of it now.
    target = bar_side::collectedDropPoint(*bar.divider());
  }

  const std::optional<int32_t> owner = M::axOwner(this, item.id);
  if (item.ownerBundleIdentifier == kControlCenterBundle || owner) {
    auto targeted =
        M::targetedCommandSessionMove(this, item, anchor.value_or(target), moveDestination, exactOrder, frame);
    const bool moved = co_await std::move(targeted);
    if (moved) co_return true;
    // A move nobody waits for any more must not go on to really drag the item.
    if (abandoned() || async::isCancelled()) co_return failed(ItemFailure::givenUp);
  }

  std::vector<int32_t> pids;
  if (owner) pids.push_back(*owner);
  if (!owner || *owner != item.ownerPID) pids.push_back(item.ownerPID);
  for (int32_t pid : pids) {
    const Point origin{target.x - frame.width / 2, frame.minY()};
    if (!M::repositionAccessibilityElement(this, frame, pid, origin)) continue;
    co_await async::sleepFor(exactOrder ? 60ms : 35ms);
    if (abandoned() || async::isCancelled()) co_return failed(ItemFailure::givenUp);
    if (M::destinationReached(this, item.id, moveDestination, exactOrder)) co_return true;
    if (auto again = currentFrame(item.id)) frame = *again;
  }

  auto drag = M::commandDrag(this, item, frame, anchor, target, exactOrder, moveDestination);
  const bool dragged = co_await std::move(drag);
  if (!dragged && abandoned()) co_return failed(ItemFailure::givenUp);
  co_return dragged;
}

async::Task<std::optional<bool>> MenuBarCaptureService::takeMoverTurn(async::OneShot<> done) {
  MoverState& mover = MoverState::of(this);
  const uint64_t epoch = mover.finishes;
  auto previous = std::exchange(mover.lastTurn, std::move(done));
  if (!previous || previous->isResumed()) co_return false;
  co_await previous->wait();
  if (MoverState::of(this).finishes != epoch || async::isCancelled()) co_return std::nullopt;
  co_return true;
}

void MenuBarCaptureService::finishPendingMoveCleanup() {
  if (moverState_) moverState_->finishAll();
}

}  // namespace vimbo
