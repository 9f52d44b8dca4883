// Our hold on the person's input: a session event tap of our own, and the input it took posted
// again in order, each pointer gesture to the window it was pressed on.
#include <utility>

#include "Platform/Sim/SimPlatform.h"

namespace vimbo::sim {

using platform::Event;
using platform::EventType;

namespace {

// Carried in the source's user data of what we post again: our tap lets it pass.
constexpr int64_t kPostedAgain = 0x56484C44;

bool isPress(EventType t) { return t == EventType::LeftMouseDown || t == EventType::RightMouseDown; }
bool isRelease(EventType t) { return t == EventType::LeftMouseUp || t == EventType::RightMouseUp; }
bool isDrag(EventType t) { return t == EventType::LeftMouseDragged || t == EventType::RightMouseDragged; }

}  // namespace

// One pointer gesture taken from its press on: the window it was aimed at, and once its press is
// posted again, whether it went on and how far its window had moved.
struct SimInputHold::Gesture {
  uint32_t window = 0;
  bool pressPosted = false;
  bool dropped = false;
  double dx = 0, dy = 0;
};

SimInputHold::~SimInputHold() {
  *alive_ = false;
  if (tap_) w_.removeSessionEventTap(tap_);
}

bool SimInputHold::begin() {
  if (!tap_) {
    if (w_.spec().switches.eventTapUnavailable) return false;
    tap_ = w_.addSessionEventTap([this](const Event& e) { return !take(e); });
  }
  ++holds_;
  return true;
}

void SimInputHold::end() {
  if (holds_ == 0 || --holds_ > 0) return;
  // On a later turn, as the run loop hands events on: what the sequence's own end sets off runs first.
  postAgainLater(1);
}

void SimInputHold::releaseAll() {
  holds_ = 0;
  while (!taken_.empty()) {
    Taken next = std::move(taken_.front());
    taken_.pop_front();
    postOne(next);
  }
  pressed_.reset();
  if (tap_) w_.removeSessionEventTap(std::exchange(tap_, 0));
}

std::optional<Point> SimInputHold::windowOrigin(uint32_t window) {
  auto list = w_.windowList(platform::WindowListOption::IncludingWindow, window);
  if (!list) return std::nullopt;
  for (const auto& entry : *list) {
    if (entry.number() != window || !entry.isOnscreen().value_or(false)) continue;
    if (auto bounds = entry.bounds(); bounds && bounds->isValidPositive()) return bounds->origin();
  }
  return std::nullopt;
}

bool SimInputHold::take(const Event& e) {
  if (e.integerValueField(platform::eventfield::sourceUserData) == kPostedAgain) return false;
  if (e.integerValueField(platform::eventfield::eventSourceUnixProcessID) == w_.ownPID()) return false;
  Taken taken{e, nullptr, std::nullopt};
  if (isPress(e.type)) {
    // Aimed at the window the person pressed on, as they saw it when they pressed.
    pressed_.reset();
    if (auto window = w_.windowNumberAt(e.location); window && windowOrigin(*window))
      pressed_ = std::make_shared<Gesture>(Gesture{*window});
    taken.gesture = pressed_;
  } else if (isDrag(e.type) || isRelease(e.type)) {
    taken.gesture = pressed_;
    if (isRelease(e.type)) pressed_.reset();
  }
  // Each event of a gesture is placed by the window as it stood when that event was made.
  if (taken.gesture) taken.windowOrigin = windowOrigin(taken.gesture->window);
  taken_.push_back(std::move(taken));
  // Input taken while no hold is left waits only for what was taken before it.
  if (holds_ == 0) postAgainLater(1);
  return true;
}

void SimInputHold::postAgainLater(int turns) {
  if (chainPending_) return;  // one chain at a time: one event a turn
  chainPending_ = true;
  Clockwork& clock = w_.clockwork();
  if (!clock.post) {
    postAgain();
    return;
  }
  clock.post([this, alive = std::weak_ptr<bool>(alive_), turns] {
    if (!alive.lock()) return;
    if (turns > 1) {
      chainPending_ = false;
      postAgainLater(turns - 1);
      return;
    }
    postAgain();
  });
}

void SimInputHold::postAgain() {
  chainPending_ = false;
  if (holds_ > 0) return;  // a hold taken meanwhile posts them at its end
  if (taken_.empty()) {
    // A gesture whose press went on keeps its release for us to move with it.
    if (tap_ && !pressed_) w_.removeSessionEventTap(std::exchange(tap_, 0));
    return;
  }
  Taken next = std::move(taken_.front());
  taken_.pop_front();
  // Asked for before this event's handling, two turns on: after what it sets off on the next turn
  // (a hot key's handler, a monitor's delivery), and still inside a nested loop its handling runs.
  // Without a loop to post on, the rest follows at once, in order.
  const bool looped = static_cast<bool>(w_.clockwork().post);
  if (looped) postAgainLater(2);
  postOne(next);
  if (!looped) postAgain();
}

void SimInputHold::postOne(const Taken& taken) {
  Event e = taken.event;
  e.setIntegerValueField(platform::eventfield::sourceUserData, kPostedAgain);
  if (Gesture* g = taken.gesture.get()) {
    // Moved with its window as far as that has moved since the event was made. A press whose
    // window is gone or off every screen reaches nothing, nor does the rest of its gesture; once a
    // press went on, the rest goes on where the window was last seen, so no button is left down.
    const auto origin = g->dropped ? std::nullopt : windowOrigin(g->window);
    const std::optional<Point> moved =
        origin && taken.windowOrigin ? std::optional<Point>(Point{e.location.x + origin->x - taken.windowOrigin->x,
                                                                  e.location.y + origin->y - taken.windowOrigin->y})
                                     : std::nullopt;
    if (moved && w_.isOnSomeDisplay(*moved)) {
      g->dx = moved->x - e.location.x;
      g->dy = moved->y - e.location.y;
    } else if (!g->pressPosted) {
      g->dropped = true;
    }
    g->pressPosted = true;
    if (g->dropped) {
      w_.discardTakenInput(e);
      return;
    }
    e.location = {e.location.x + g->dx, e.location.y + g->dy};
  }
  w_.post(platform::EventTap::Session, e);
}

}  // namespace vimbo::sim
