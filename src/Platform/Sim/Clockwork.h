#pragma once
// How the simulation reaches the main loop: time, timers, next-turn work, a nested loop and the
// virtual cost of a blocking call. Built from the runtime's executor (see clockworkFor in
// SimPlatform.h); tests may also hand in their own.

#include <cstdint>
#include <functional>

#include "Platform/Sim/Model.h"

namespace vimbo::sim {

struct Clockwork {
  std::function<TimePoint()> now;
  std::function<uint64_t(TimePoint, std::function<void()>)> scheduleAt;
  std::function<void(uint64_t)> cancel;
  std::function<void(std::function<void()>)> post;
  // Runs the main loop until the predicate holds (re-entrant); may be empty.
  std::function<void(std::function<bool()>)> runUntil;
  // Charges the virtual cost of a blocking call to the running fan-out iteration; may be empty.
  std::function<void(Duration)> chargeCost;
  // Whether a blocking fan-out holds the main loop (any thread); may be empty: never.
  std::function<bool()> mainLoopBlocked;
};

}  // namespace vimbo::sim
