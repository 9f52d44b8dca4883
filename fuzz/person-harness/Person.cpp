// The person's acts, each a short series of events on the virtual clock.
#include "Person.h"

#include <algorithm>

#include "System/MenuBarHider.h"

namespace vimbo::harness {

using platform::EventType;
using namespace std::chrono_literals;
namespace eventflag = platform::eventflag;

namespace {

// The key our two hot keys share (⌃⌘B reveals, ⌥⌘B opens quick search).
constexpr uint16_t kKeyB = 11;

async::Duration between(std::mt19937_64& rng, int fromMs, int toMs) {
  return std::chrono::milliseconds(std::uniform_int_distribution<int>(fromMs, toMs)(rng));
}

}  // namespace

const char* actName(Act act) {
  switch (act) {
    case Act::clickControl: return "click on the control item";
    case Act::altClickControl: return "Alt-click on the control item";
    case Act::revealHotKey: return "ctrl-cmd-B";
    case Act::searchHotKey: return "alt-cmd-B";
    case Act::hoverControl: return "hover over the control item";
    case Act::escape: return "Escape";
    case Act::clickAway: return "click on the desktop";
    case Act::clickItem: return "click on an item";
    case Act::commandDrag: return "Command-drag of an item";
    case Act::clickOnBar: return "click anywhere on the bar";
    case Act::clickUnderBar: return "click just under the bar";
  }
  return "?";
}

std::vector<PlannedAct> planActs(std::mt19937_64& rng, async::Duration window) {
  const int count = std::uniform_int_distribution<int>(0, 3)(rng);
  const auto windowMs = std::chrono::duration_cast<std::chrono::milliseconds>(window).count();
  std::vector<PlannedAct> acts;
  for (int i = 0; i < count; ++i) {
    const auto act = static_cast<Act>(std::uniform_int_distribution<int>(0, kActKinds - 1)(rng));
    const auto at = std::chrono::milliseconds(std::uniform_int_distribution<int64_t>(0, windowMs - 1)(rng));
    acts.push_back({act, at, rng()});
  }
  std::stable_sort(acts.begin(), acts.end(), [](const PlannedAct& a, const PlannedAct& b) { return a.at < b.at; });
  return acts;
}

Person::~Person() {
  for (async::TimerId timer : timers_) executor_.cancelTimer(timer);
}

void Person::perform(const std::vector<PlannedAct>& acts) {
  for (const PlannedAct& planned : acts) at(planned.at, [this, planned] { begin(planned); });
}

void Person::at(async::Duration after, std::function<void()> step) {
  timers_.push_back(executor_.scheduleAfter(after, std::move(step)));
}

Point Person::controlCenter() const {
  const auto frame = world_.frameOf(hider::controlName);
  return frame ? frame->center() : world_.pointer();
}

Point Person::desktopPoint(std::mt19937_64& rng) const {
  const Rect b = world_.screens().front().displayBounds;
  std::uniform_real_distribution<double> across(0.25, 0.75), down(0.45, 0.8);
  return {b.minX() + b.width * across(rng), b.minY() + b.height * down(rng)};
}

void Person::click(async::Duration lead, Point p, platform::EventFlags flags, async::Duration held) {
  const int gesture = ledger_.newGesture();
  at(lead, [this, p, flags, gesture] { ledger_.mouse(EventType::LeftMouseDown, p, flags, gesture); });
  at(lead + held, [this, p, flags, gesture] { ledger_.mouse(EventType::LeftMouseUp, p, flags, gesture); });
}

void Person::key(async::Duration lead, uint16_t keyCode, platform::EventFlags flags, async::Duration held) {
  at(lead, [this, keyCode, flags] { ledger_.key(keyCode, true, flags); });
  at(lead + held, [this, keyCode, flags] { ledger_.key(keyCode, false, flags); });
}

void Person::begin(const PlannedAct& planned) {
  std::mt19937_64 rng(planned.seed);
  // What the person aims at is what the screen shows now; the hand gets there a moment later.
  // One hand on the pointer (one button) and one on the keys: each finishes an act before the next.
  const bool keys = planned.act == Act::revealHotKey || planned.act == Act::searchHotKey || planned.act == Act::escape;
  async::TimePoint& busyUntil = keys ? keysBusyUntil_ : pointerBusyUntil_;
  const async::TimePoint now = executor_.now();
  const async::TimePoint start = std::max(now + between(rng, 80, 250), busyUntil + between(rng, 30, 80));
  const async::Duration lead = start - now;
  async::Duration length = between(rng, 60, 120);  // a click's or a keystroke's
  // Items a person can see and reach now: on a display, off the notch, not covered.
  const auto seen = [this](bool movable) {
    std::vector<sim::ItemView> out;
    for (const auto& item : world_.items()) {
      const Point c = item.frame.center();
      if (item.own || (movable && item.fixed) || !world_.isOnSomeDisplay(c) || world_.isInNotch(c)) continue;
      if (world_.windowNumberAt(c) == item.windowNumber) out.push_back(item);
    }
    return out;
  };
  const auto pick = [&rng](const std::vector<sim::ItemView>& items) {
    return items[std::uniform_int_distribution<size_t>(0, items.size() - 1)(rng)];
  };
  switch (planned.act) {
    case Act::clickControl:
      click(lead, controlCenter(), 0, length);
      break;
    case Act::altClickControl:
      click(lead, controlCenter(), eventflag::option, length);
      break;
    case Act::revealHotKey:
      key(lead, kKeyB, eventflag::control | eventflag::command, length);
      break;
    case Act::searchHotKey:
      key(lead, kKeyB, eventflag::option | eventflag::command, length);
      break;
    case Act::escape:
      key(lead, platform::keycode::escape, 0, length);
      break;
    case Act::hoverControl: {
      const Point p = controlCenter();
      const Point away = desktopPoint(rng);
      length = between(rng, 300, 900);
      at(lead, [this, p] { ledger_.mouse(EventType::MouseMoved, p); });
      at(lead + length, [this, away] { ledger_.mouse(EventType::MouseMoved, away); });
      break;
    }
    case Act::clickAway:
      click(lead, desktopPoint(rng), 0, length);
      break;
    case Act::clickOnBar:
    case Act::clickUnderBar: {
      // Where the person's eye is not on one thing: the notch, the bar between items, the
      // wallpaper a menu may open over.
      const sim::ScreenSpec& screen = world_.screens().front();
      const Rect b = screen.displayBounds;
      const double x = b.minX() + b.width * std::uniform_real_distribution<double>(0.3, 0.98)(rng);
      const double y = planned.act == Act::clickOnBar
                           ? b.minY() + screen.menuBarHeight * std::uniform_real_distribution<double>(0.2, 0.8)(rng)
                           : b.minY() + screen.menuBarHeight + std::uniform_real_distribution<double>(4, 120)(rng);
      click(lead, {x, y}, 0, length);
      break;
    }
    case Act::clickItem: {
      const auto items = seen(false);
      if (items.empty()) return;
      click(lead, pick(items).frame.center(), 0, length);
      break;
    }
    case Act::commandDrag: {
      const auto items = seen(true);
      if (items.size() < 2) return;
      const sim::ItemView dragged = pick(items);
      sim::ItemView other = dragged;
      while (other.windowNumber == dragged.windowNumber) other = pick(items);
      // Let go just left of the other item (lands before it) or over its right end (after it).
      const Point from = dragged.frame.center();
      const bool before = std::bernoulli_distribution(0.5)(rng);
      const Point to{before ? other.frame.minX() - 1 : other.frame.maxX() - 2, from.y};
      const int steps = std::uniform_int_distribution<int>(3, 6)(rng);
      const int gesture = ledger_.newGesture();
      at(lead, [this, from, gesture] {
        ++commandDrags_;
        ledger_.mouse(EventType::LeftMouseDown, from, eventflag::command, gesture);
      });
      for (int i = 1; i <= steps; ++i) {
        const double share = static_cast<double>(i) / steps;
        const Point p{from.x + (to.x - from.x) * share, from.y + (to.y - from.y) * share};
        at(lead + i * 40ms, [this, p, gesture] { ledger_.mouse(EventType::LeftMouseDragged, p, eventflag::command, gesture); });
      }
      length = (steps + 1) * 40ms;
      at(lead + length, [this, to, gesture] { ledger_.mouse(EventType::LeftMouseUp, to, eventflag::command, gesture); });
      break;
    }
  }
  busyUntil = start + length;
}

}  // namespace vimbo::harness
