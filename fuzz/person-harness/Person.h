#pragma once
// A person at the keyboard and pointer while our moves run: a few acts at random moments, each
// aimed at what the screen showed a moment (a reaction time) before the hand moved, as a person
// aims, and each waiting for the hand's act before it to end (one pointer with one button, one
// hand on the keys). Every act is a timer on the virtual clock, and every choice comes from the
// seed.

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Ledger.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/World.h"

namespace vimbo::harness {

enum class Act {
  clickControl,
  altClickControl,
  revealHotKey,  // ⌃⌘B
  searchHotKey,  // ⌥⌘B
  hoverControl,
  escape,
  clickAway,  // on the desktop
  clickItem,
  commandDrag,  // an item to another place in the bar
  clickOnBar,    // anywhere along the menu bar: an item, the bar, the notch
  clickUnderBar,  // on the desktop just under the bar, where menus open
};
inline constexpr int kActKinds = 11;
const char* actName(Act act);

struct PlannedAct {
  Act act;
  async::Duration at;  // from the round's start
  uint64_t seed;       // for the choices made when it happens
};

// 0 to 3 acts within the window.
std::vector<PlannedAct> planActs(std::mt19937_64& rng, async::Duration window);

class Person {
 public:
  Person(async::Executor& executor, sim::World& world, Ledger& ledger) : executor_(executor), world_(world), ledger_(ledger) {}
  ~Person();
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;

  // Schedules the acts from now on.
  void perform(const std::vector<PlannedAct>& acts);
  bool madeCommandDrag() const { return commandDrags_ > 0; }

 private:
  void begin(const PlannedAct& planned);
  void at(async::Duration after, std::function<void()> step);
  // A press (a key down) `lead` from now, and its release `held` after it.
  void click(async::Duration lead, Point p, platform::EventFlags flags, async::Duration held);
  void key(async::Duration lead, uint16_t keyCode, platform::EventFlags flags, async::Duration held);
  Point controlCenter() const;
  Point desktopPoint(std::mt19937_64& rng) const;

  async::Executor& executor_;
  sim::World& world_;
  Ledger& ledger_;
  std::vector<async::TimerId> timers_;
  // When the pointer's last act, and the keys' last, is over.
  async::TimePoint pointerBusyUntil_{}, keysBusyUntil_{};
  int commandDrags_ = 0;
};

}  // namespace vimbo::harness
