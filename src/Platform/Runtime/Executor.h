#pragma once
// The main loop. Rules every implementation keeps:
// - One main thread. Posts, due timers, task starts and resumptions go through one FIFO ready
//   queue; timers with equal deadlines fire in the order they were scheduled.
// - runUntil may be called from inside any turn, also from inside a coroutine, and nests. It runs
//   everything due up to and including its deadline.
// - With a virtual clock the loop jumps time to the next timer (or the runUntil deadline) only
//   when the ready queue is empty and no external (worker) work is outstanding.
// - stop(): nothing is run or resumed afterwards; frames of unfinished tasks are destroyed (not
//   resumed), so their scope guards run. A frame on the call stack is destroyed when it next
//   suspends.
// Only postFromAnyThread, beginExternalWork and endExternalWork are thread-safe.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "Platform/Runtime/Clock.h"

namespace vimbo::async {

using TimerId = std::uint64_t;  // 0 is never a valid id

class LoopQueues;

namespace detail {
struct TaskStateBase;
struct RuntimeAccess;
}  // namespace detail

class Executor {
 public:
  Executor();
  Executor(const Executor&) = delete;
  Executor& operator=(const Executor&) = delete;
  virtual ~Executor();

  virtual Clock& clock() = 0;
  TimePoint now() { return clock().now(); }

  virtual void post(std::function<void()> fn) = 0;
  virtual void postFromAnyThread(std::function<void()> fn) = 0;
  virtual TimerId scheduleAt(TimePoint when, std::function<void()> fn) = 0;
  // Also withdraws a timer that is already due but has not run yet.
  virtual void cancelTimer(TimerId id) = 0;
  TimerId scheduleAfter(Duration d, std::function<void()> fn) {
    return scheduleAt(now() + d, std::move(fn));
  }

  virtual void runUntil(TimePoint deadline) = 0;
  // Runs turns until pred() holds (checked before each turn); false when the limit passed, the
  // loop stopped, or (virtual clock) nothing is left that could make it hold.
  virtual bool runUntil(std::function<bool()> pred, TimePoint limit) = 0;

  // Idempotent. Drops every queued callback (discardPending), then destroys abandoned frames.
  // An override calls Executor::stop().
  virtual void stop();
  bool isStopped() const { return stopped_.load(std::memory_order_acquire); }

  // Outstanding worker work: virtual time does not move while it is above zero.
  void beginExternalWork();
  void endExternalWork();
  int externalWork() const { return externalWork_.load(std::memory_order_acquire); }

  // True while a blocking fan-out (parallelFor) holds the main thread, so it turns nothing; any
  // thread may ask (e.g. whether our own process could answer a request that needs its loop).
  bool isMainThreadBlocked() const { return blockingFanOuts_.load(std::memory_order_acquire) > 0; }

  // A virtual clock lets worker code charge simulated time (see Parallel.h).
  virtual bool usesVirtualTime() const { return false; }
  virtual void advanceVirtualTime(Duration) {}

  // Starts a detached worker thread; every worker is joined by shutdown().
  void startWorker(std::function<void()> fn);

  // Stops, then waits for every worker thread (offloaded work finishes; its result is dropped).
  // Idempotent. Whoever owns what workers read (the world, the host, the controller) calls it
  // before those go; most-derived destructors call it too, while the object is whole.
  void shutdown();

 protected:
  // Called after endExternalWork from any thread, so a waiting loop can re-check.
  virtual void wakeFromAnyThread() {}
  // Drops posts and timers; stop() has set the flag, so new posts are refused.
  virtual void discardPending() = 0;

 private:
  friend struct detail::RuntimeAccess;
  friend void parallelFor(Executor& ex, std::size_t n, std::function<void(std::size_t)> fn);
  void registerTask(const std::shared_ptr<detail::TaskStateBase>& st);
  void unregisterTask(detail::TaskStateBase& st);
  void destroyFrame(detail::TaskStateBase& st);
  void destroyAbandonedFrames();

  std::atomic<bool> stopped_{false};
  std::atomic<int> externalWork_{0};
  std::atomic<int> blockingFanOuts_{0};
  std::uint64_t nextTaskSeq_ = 1;
  std::map<std::uint64_t, std::shared_ptr<detail::TaskStateBase>> tasks_;  // spawn order
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  std::list<Worker> workers_;
};

// The executor of the running task, else the loop running turns on this thread, else the first
// live executor made on this thread (the application's main loop), else null.
Executor* currentExecutor();

// A headless loop on the steady clock; the base of the virtual executor. Another main loop (e.g.
// over a GUI event loop) derives from Executor directly: it implements the queue operations (its
// storage can be a LoopQueues) and discardPending(), and calls shutdown() in its destructor;
// frames and workers live in the base.
class LoopExecutor : public Executor {
 public:
  LoopExecutor();
  ~LoopExecutor() override;

  Clock& clock() override { return *clock_; }
  void post(std::function<void()> fn) override;
  void postFromAnyThread(std::function<void()> fn) override;
  TimerId scheduleAt(TimePoint when, std::function<void()> fn) override;
  void cancelTimer(TimerId id) override;
  void runUntil(TimePoint deadline) override;
  bool runUntil(std::function<bool()> pred, TimePoint limit) override;
  // Until stop() (a virtual loop also returns when nothing is left to do).
  void run() { runUntil(TimePoint::max()); }

 protected:
  explicit LoopExecutor(std::unique_ptr<Clock> clock);
  // Blocks until `next` or until work arrives from another thread. False: nothing can arrive.
  virtual bool idleUntil(TimePoint next);
  void wakeFromAnyThread() override;
  void discardPending() override;
  // Waits until a post arrives from another thread, `woken()` holds or `until` passes (max: no
  // limit).
  void waitForInbox(TimePoint until, const std::function<bool()>& woken);

 private:
  bool step(TimePoint limit);

  std::unique_ptr<Clock> clock_;
  std::unique_ptr<LoopQueues> queues_;  // held by pointer: LoopQueues.h includes this header
  std::condition_variable wake_;
};

// Tests: a loop on a virtual clock. A subclass calls shutdown() in its destructor.
class VirtualExecutor : public LoopExecutor {
 public:
  VirtualExecutor();
  ~VirtualExecutor() override;
  VirtualClock& virtualClock() { return static_cast<VirtualClock&>(clock()); }
  // Runs until nothing is ready, no timer is left and no worker work is outstanding (so never
  // while a task sleeps in an endless loop: use runFor then).
  void runUntilIdle() { runUntil(TimePoint::max()); }
  void runFor(Duration d) { runUntil(now() + d); }
  bool usesVirtualTime() const override { return true; }
  void advanceVirtualTime(Duration d) override;

 protected:
  bool idleUntil(TimePoint next) override;
};

}  // namespace vimbo::async
