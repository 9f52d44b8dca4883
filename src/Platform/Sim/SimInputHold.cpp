// Our hold on the person's input: a session event tap of our own, and the input it took posted
// again in order, each pointer gesture only onto the window it was pressed on.
#include <algorithm>
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

// One pointer gesture taken from its press on: what the press reached where and when it was made,
// and, once the press is due, whether it went on and how far it was moved.
struct SimInputHold::Gesture {
  std::optional<uint32_t> window;  // none: the notch, or no display
  std::optional<Point> windowOrigin;
  // Made with Command on the bar: the person rearranging it, aimed at places between its items.
  std::optional<BarWindows> rearranging;
  bool pressDue = false;
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

bool SimInputHold::isPostedAgain(const Event& e) const {
  return e.integerValueField(platform::eventfield::sourceUserData) == kPostedAgain;
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

bool SimInputHold::isBarWindow(uint32_t window) {
  auto list = w_.windowList(platform::WindowListOption::IncludingWindow, window);
  if (!list) return false;
  return std::any_of(list->begin(), list->end(), [window](const platform::WindowInfo& entry) {
    return entry.number() == window && entry.layer() == platform::windowlevel::status;
  });
}

std::optional<SimInputHold::BarWindows> SimInputHold::barWindows() {
  auto list = w_.windowList(platform::WindowListOption::OnScreenOnly, 0);
  if (!list) return std::nullopt;
  BarWindows bar;
  for (const auto& entry : *list)
    if (entry.layer() == platform::windowlevel::status) bar.emplace_back(entry.number(), entry.bounds());
  return bar;
}

std::optional<uint32_t> SimInputHold::pressTarget(Point p) const {
  // The notch is no screen: a press there reaches nothing, whatever the list has under it.
  if (w_.isInNotch(p)) return std::nullopt;
  return w_.windowNumberAt(p);
}

bool SimInputHold::take(const Event& e) {
  if (isPostedAgain(e)) return false;
  if (e.integerValueField(platform::eventfield::eventSourceUnixProcessID) == w_.ownPID()) return false;
  Taken taken{e, nullptr};
  if (isPress(e.type)) {
    auto gesture = std::make_shared<Gesture>();
    gesture->window = pressTarget(e.location);
    if (gesture->window) gesture->windowOrigin = windowOrigin(*gesture->window);
    // Command means rearranging only on the bar; elsewhere (several files selected on the desktop)
    // the press is like any other.
    if ((e.flags & platform::eventflag::command) && gesture->window && isBarWindow(*gesture->window))
      gesture->rearranging = barWindows();
    pressed_ = gesture;
    taken.gesture = std::move(gesture);
  } else if (isDrag(e.type) || isRelease(e.type)) {
    taken.gesture = pressed_;
    if (isRelease(e.type)) pressed_.reset();
  }
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
    // A gesture whose press went on keeps its release for us to finish.
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

void SimInputHold::settlePress(Gesture& g, Point made) {
  g.pressDue = true;
  if (!g.window) {
    g.dropped = true;
    return;
  }
  Point at = made;
  if (g.rearranging) {
    // Aimed between items as they stood: once the bar changed, the drop would land elsewhere.
    if (barWindows() != *g.rearranging) {
      g.dropped = true;
      return;
    }
  } else if (const auto now = windowOrigin(*g.window); now && g.windowOrigin) {
    at = {made.x + now->x - g.windowOrigin->x, made.y + now->y - g.windowOrigin->y};
  }
  // Only onto the window it was pressed on: not one that came up over the place, not what stands
  // where a window the list misplaces is said to be.
  if (!w_.isOnSomeDisplay(at) || pressTarget(at) != g.window) {
    g.dropped = true;
    return;
  }
  g.dx = at.x - made.x;
  g.dy = at.y - made.y;
}

void SimInputHold::postOne(const Taken& taken) {
  Event e = taken.event;
  e.setIntegerValueField(platform::eventfield::sourceUserData, kPostedAgain);
  if (Gesture* g = taken.gesture.get()) {
    // The rest of a gesture whose press went on follows that press, so no button is left down.
    if (!g->pressDue) settlePress(*g, e.location);
    if (g->dropped) {
      w_.discardTakenInput(e);
      return;
    }
    e.location = {e.location.x + g->dx, e.location.y + g->dy};
  }
  w_.post(platform::EventTap::Session, e);
}

}  // namespace vimbo::sim
