#pragma once
// A minimal virtual-time main loop for the simulation's own tests.

#include <functional>
#include <map>
#include <utility>

#include "Platform/Sim/Clockwork.h"

namespace vimbo::sim::testing {

class FakeLoop {
 public:
  TimePoint now() const { return now_; }
  uint64_t at(TimePoint t, std::function<void()> f) {
    uint64_t id = next_++;
    timers_.emplace(std::make_pair(t, id), std::move(f));
    return id;
  }
  void cancel(uint64_t id) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (it->first.second == id) {
        timers_.erase(it);
        return;
      }
  }
  void runUntil(TimePoint deadline) {
    while (!timers_.empty() && timers_.begin()->first.first <= deadline) {
      auto it = timers_.begin();
      if (it->first.first > now_) now_ = it->first.first;
      auto f = std::move(it->second);
      timers_.erase(it);
      f();
    }
    if (deadline > now_) now_ = deadline;
  }
  void runFor(Duration d) { runUntil(now_ + d); }
  void runUntilIdle() {
    while (!timers_.empty()) runUntil(timers_.begin()->first.first);
  }
  Duration charged{0};

  Clockwork clockwork() {
    Clockwork c;
    c.now = [this] { return now_; };
    c.scheduleAt = [this](TimePoint t, std::function<void()> f) { return at(t, std::move(f)); };
    c.cancel = [this](uint64_t id) { cancel(id); };
    c.post = [this](std::function<void()> f) { at(now_, std::move(f)); };
    c.runUntil = [this](std::function<bool()> pred) {
      while (!pred() && !timers_.empty()) runUntil(timers_.begin()->first.first);
    };
    c.chargeCost = [this](Duration d) { charged += d; };
    return c;
  }

 private:
  TimePoint now_{};
  uint64_t next_ = 1;
  std::map<std::pair<TimePoint, uint64_t>, std::function<void()>> timers_;
};

}  // namespace vimbo::sim::testing
