// Our hold on the person's input: a session event tap of our own, and the input it took posted
// again in order.
#include <utility>

#include "Platform/Sim/SimPlatform.h"

namespace vimbo::sim {

using platform::Event;

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
  postAgainLater();
}

bool SimInputHold::take(const Event& e) {
  if (posting_ || e.integerValueField(platform::eventfield::eventSourceUnixProcessID) == w_.ownPID()) return false;
  taken_.push_back(e);
  return true;
}

void SimInputHold::postAgainLater() {
  Clockwork& clock = w_.clockwork();
  if (!clock.post) {
    postAgain();
    return;
  }
  clock.post([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.lock()) postAgain();
  });
}

void SimInputHold::postAgain() {
  if (holds_ > 0) return;  // a hold taken meanwhile posts them at its end
  if (taken_.empty()) {
    if (tap_) w_.removeSessionEventTap(std::exchange(tap_, 0));
    return;
  }
  Event e = std::move(taken_.front());
  taken_.pop_front();
  posting_ = true;
  w_.post(platform::EventTap::Session, e);
  posting_ = false;
  // One a turn, as an application takes its events: what this one sets off on a later turn (a hot
  // key's handler, a monitor's delivery) comes before the next.
  postAgainLater();
}

}  // namespace vimbo::sim
