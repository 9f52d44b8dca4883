// What became of each event the person made: seen at the first session tap when made and again
// when posted again, heard of by the late-delivery observer when routed or given up.
#include "Ledger.h"

#include <algorithm>
#include <utility>

namespace vimbo::harness {

using platform::Event;
using platform::EventType;
using namespace std::chrono_literals;

namespace {

// Fine enough for holds of tens of milliseconds; a hold is never shorter than one move's turn.
constexpr async::Duration kHoldSample = 5ms;
constexpr async::Duration kHoldLimit = 2s;
// The world's own number of a person's event, which it carries in this field.
constexpr int kInputNumberField = 0;

bool isPress(EventType t) { return t == EventType::LeftMouseDown || t == EventType::RightMouseDown; }

}  // namespace

Ledger::Ledger(async::Executor& executor, sim::World& world, const sim::SimInputHold& hold)
    : executor_(executor), world_(world), hold_(hold) {
  tap_ = world_.addSessionEventTap([this](const Event& e) { return seeAtTap(e); });
  world_.setLateDeliveryObserver([this](uint64_t number, sim::InputDelivery delivered) { heardLate(number, delivered); });
  sampleHold();
}

Ledger::~Ledger() {
  executor_.cancelTimer(sampler_);
  world_.setLateDeliveryObserver({});
  world_.removeSessionEventTap(tap_);
}

std::optional<uint32_t> Ledger::pressTarget(Point p) const {
  // Routing clamps a press to the displays; on the notch a person's press reaches nothing.
  const Point c = world_.clampToDisplays(p);
  if (world_.isInNotch(c)) return std::nullopt;
  return world_.windowNumberAt(c);
}

void Ledger::mouse(EventType type, Point location, platform::EventFlags flags, int gesture) {
  Input in;
  in.type = type;
  in.gesture = gesture;
  in.press = isPress(type);
  in.command = (flags & platform::eventflag::command) != 0;
  in.made = location;
  if (in.press) {
    in.madeOnNotch = world_.isInNotch(world_.clampToDisplays(location));
    in.madeOn = pressTarget(location);
  }
  make(in, [&] { return world_.personMouse(type, location, flags); });
}

void Ledger::key(uint16_t keyCode, bool down, platform::EventFlags flags) {
  Input in;
  in.type = down ? EventType::KeyDown : EventType::KeyUp;
  make(in, [&] { return world_.personKey(keyCode, down, flags); });
}

void Ledger::make(Input input, const std::function<sim::InputDelivery()>& post) {
  const size_t index = inputs_.size();
  inputs_.push_back(input);
  making_ = index;
  const sim::InputDelivery delivered = post();
  making_.reset();
  Input& in = inputs_[index];
  // Taken at the taps: only our hold's tap takes anything (ours lets everything pass). Should our
  // hold's tap come before ours, what it takes is heard of here alone, with its number.
  in.held = delivered.taken;
  if (in.held && !in.seen) {
    in.seen = true;
    in.number = delivered.number;
    byNumber_[in.number] = index;
    lastMade_ = std::max(lastMade_, in.number);
  }
  if (in.seen && !in.held) routedOrder_.push_back(in.number);
}

bool Ledger::seeAtTap(const Event& e) {
  if (!sim::World::isPersonInput(e)) return true;
  const auto number = static_cast<uint64_t>(e.integerValueField(kInputNumberField));
  if (making_ && number > lastMade_) {
    // The event being made, entering the session for the first time.
    lastMade_ = number;
    Input& in = inputs_[*making_];
    in.seen = true;
    in.number = number;
    byNumber_[number] = *making_;
    return true;
  }
  auto it = byNumber_.find(number);
  if (it == byNumber_.end()) return true;
  // Posted again by whoever took it: where it lands is read here, before it is routed.
  Input& in = inputs_[it->second];
  in.postedAgain = true;
  in.postedAt = e.location;
  if (in.press) {
    in.deliveredTo = pressTarget(e.location);
    in.deliveredToMenu = in.deliveredToOurs = false;
    if (in.deliveredTo) {
      const uint32_t w = *in.deliveredTo;
      for (const auto& menu : world_.openMenus()) in.deliveredToMenu |= menu.windowNumber == w;
      const auto item = world_.itemByWindow(w);
      in.deliveredToOurs = world_.ownWindowByNumber(w).has_value() || (item && item->own);
    }
  }
  return true;
}

void Ledger::heardLate(uint64_t number, sim::InputDelivery delivered) {
  auto it = byNumber_.find(number);
  if (it == byNumber_.end()) return;
  Input& in = inputs_[it->second];
  if (delivered.taken && !delivered) {
    // Given up by the tap's owner without routing: the gesture's window left the screen.
    in.discarded = true;
    return;
  }
  in.routedLate = true;
  routedOrder_.push_back(number);
}

void Ledger::sampleHold() {
  const async::TimePoint now = executor_.now();
  if (hold_.isHolding()) {
    if (!holdingSince_) holdingSince_ = now;
  } else if (holdingSince_) {
    const async::Duration stretch = now - *holdingSince_;
    longestHold_ = std::max(longestHold_, stretch);
    if (stretch > kHoldLimit) ++holdsOverLimit_;
    holdingSince_.reset();
  }
  sampler_ = executor_.scheduleAfter(kHoldSample, [this] { sampleHold(); });
}

void Ledger::finish(Tally& t) {
  executor_.cancelTimer(sampler_);
  sampler_ = 0;
  if (holdingSince_) {
    // Still holding when the round ends: as long as it has lasted so far.
    const async::Duration stretch = executor_.now() - *holdingSince_;
    longestHold_ = std::max(longestHold_, stretch);
    if (stretch > kHoldLimit) ++holdsOverLimit_;
    t.add("holdNotEnded");
  }
  t.atLeast("longestHoldMs", std::chrono::duration_cast<std::chrono::milliseconds>(longestHold_).count());
  t.add("holdsOver2s", holdsOverLimit_);

  std::map<int, std::vector<const Input*>> gestures;
  for (const Input& in : inputs_) {
    t.add("made");
    if (!in.seen) t.add("suppressed");
    if (in.held) t.add("held");
    if (in.held && !in.routedLate && !in.discarded) t.add(in.postedAgain ? "heldPostedNotRouted" : "heldNeverRouted");
    if (in.discarded) t.add("droppedByDesign");
    if (in.gesture >= 0) gestures[in.gesture].push_back(&in);
    if (!in.press || !in.held) continue;
    t.add("heldPresses");
    if (in.madeOnNotch) t.add("heldPressesMadeOnNotch");
    if (!in.routedLate) continue;
    t.add("heldPressesRouted");
    if (in.deliveredTo == in.madeOn) continue;
    t.add("pressesElsewhere");
    if (in.deliveredToMenu) t.add("elsewhereOnMenu");
    if (in.deliveredToOurs) t.add("elsewhereOnOurs");
    if (in.madeOnNotch) t.add("elsewhereMadeOnNotch");
    if (!in.deliveredTo) t.add("elsewhereOnNothing");
  }
  for (const auto& [id, events] : gestures) {
    const Input* press = events.front();
    if (!press->press || !press->held) continue;
    t.add("heldGestures");
    if (!press->discarded) continue;
    const bool whole = std::all_of(events.begin(), events.end(), [](const Input* in) { return in->discarded; });
    t.add(whole ? "gesturesDropped" : "gesturesPartlyDropped");
  }
  // A held Command-drag whose drop went on where the person did not let go.
  for (const auto& [id, events] : gestures) {
    const Input* press = events.front();
    const Input* drop = events.back();
    if (!press->press || !press->held || !press->command || drop == press) continue;
    t.add("heldCommandDrags");
    if (press->discarded) t.add("commandDragsDropped");
    if (drop->routedLate && drop->postedAt && !(*drop->postedAt == drop->made)) t.add("commandDropsElsewhere");
  }
  uint64_t latest = 0;
  for (uint64_t number : routedOrder_) {
    if (number < latest) t.add("outOfOrder");
    latest = std::max(latest, number);
  }
}

}  // namespace vimbo::harness
