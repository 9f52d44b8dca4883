#pragma once
// One timebase for sleeps, timers and "system uptime": the steady clock in the application and
// a virtual clock in tests, so timing logic runs instantly and deterministically.

#include <atomic>
#include <chrono>

namespace vimbo::async {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;

struct Clock {
  virtual ~Clock() = default;
  virtual TimePoint now() const = 0;
  // Seconds since the clock's epoch (boot for the steady clock).
  double uptimeSeconds() const {
    return std::chrono::duration<double>(now().time_since_epoch()).count();
  }
};

class SteadyClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

// Moved only by its executor. Starts an hour after its epoch so that an uptime of zero never
// means "now". Readable from any thread.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(TimePoint start = TimePoint(std::chrono::hours(1))) : now_(start) {}
  TimePoint now() const override { return now_.load(std::memory_order_acquire); }
  // Never moves backwards.
  void advanceTo(TimePoint t) {
    if (t > now()) now_.store(t, std::memory_order_release);
  }

 private:
  std::atomic<TimePoint> now_;
};

}  // namespace vimbo::async
