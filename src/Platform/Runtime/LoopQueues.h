#pragma once
// The storage every main loop keeps: the FIFO ready queue, the inbox of posts from other threads
// and the timer table (equal deadlines in scheduling order). Driving them (when to take the inbox,
// release timers or run a turn) is left to the loop. Only the inbox calls are thread-safe.

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "Platform/Runtime/Clock.h"
#include "Platform/Runtime/Executor.h"

namespace vimbo::async {

class LoopQueues {
 public:
  struct Ready {
    TimerId timer = 0;  // 0 for posts
    TimePoint due;      // when it became due
    std::function<void()> fn;
  };

  // ---- ready queue (main thread)
  void pushReady(Ready r) { ready_.push_back(std::move(r)); }
  bool hasReady() const { return !ready_.empty(); }
  const Ready& frontReady() const { return ready_.front(); }
  // Removes the front turn; empty when it is a timer cancelled after it fell due.
  std::function<void()> popReady();

  // ---- inbox (any thread)
  // Refused once `owner` stopped; `wasEmpty` tells whether this is the first post waiting.
  bool pushIncoming(const Executor& owner, std::function<void()> fn, bool* wasEmpty = nullptr);
  // Moves every waiting post to the ready queue (due at `now`); returns how many.
  std::size_t takeIncoming(TimePoint now);
  // For waiting on the inbox with a condition variable.
  std::mutex& inboxMutex() { return mutex_; }
  bool inboxEmptyLocked() const { return incoming_.empty(); }

  // ---- timers (main thread)
  TimerId schedule(TimePoint when, std::function<void()> fn);
  // Also withdraws a timer that is already due but has not run yet.
  void cancel(TimerId id);
  bool isNextTimer(TimerId id) const { return !timers_.empty() && timers_.begin()->first.second == id; }
  std::optional<TimePoint> nextDeadline() const;
  // Moves timers due by `now` to the ready queue in deadline order; returns how many.
  std::size_t releaseDueTimers(TimePoint now);

  // Drops everything. Callbacks are destroyed after the queues are whole again, since destroying
  // one may post.
  void discardAll();

 private:
  std::deque<Ready> ready_;
  TimerId nextTimer_ = 1;
  std::map<std::pair<TimePoint, TimerId>, std::function<void()>> timers_;
  std::unordered_map<TimerId, TimePoint> liveTimers_;  // scheduled or due, not yet run
  std::mutex mutex_;
  std::deque<std::function<void()>> incoming_;  // guarded by mutex_
};

}  // namespace vimbo::async
