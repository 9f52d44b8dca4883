#pragma once
// The runtime's virtual executor as the simulation's tests drive it, recording charged costs.

#include <functional>

#include "Platform/Runtime/Executor.h"
#include "Platform/Sim/SimPlatform.h"

namespace vimbo::sim::testing {

class VirtualLoop {
 public:
  TimePoint now() { return ex.now(); }
  uint64_t at(TimePoint t, std::function<void()> f) { return ex.scheduleAt(t, std::move(f)); }
  void runFor(Duration d) { ex.runFor(d); }
  void runUntilIdle() { ex.runUntilIdle(); }
  Clockwork clockwork() {
    Clockwork c = clockworkFor(ex);
    auto inner = c.chargeCost;
    c.chargeCost = [this, inner](Duration d) {
      charged += d;
      inner(d);
    };
    return c;
  }

  async::VirtualExecutor ex;
  Duration charged{0};
};

}  // namespace vimbo::sim::testing
