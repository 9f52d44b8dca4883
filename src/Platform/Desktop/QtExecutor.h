#pragma once
// The runtime's main loop on Qt's event loop, for the application on the steady clock. Turns keep
// the runtime's order (one FIFO ready queue; equal deadlines in scheduling order) while Qt's own
// events (input, painting) run between them. Each ready turn is one queued invocation; timers
// live in our own table with a single precise Qt timer armed for the earliest one.
//
// runUntil nests: it spins Qt's event loop until its predicate holds, the deadline passed with
// nothing due by then left, or the loop stopped. The predicate is checked before every turn and
// after every batch of Qt events, so input handled by widgets can satisfy it too.
// Made on the thread that owns the QCoreApplication; only postFromAnyThread (and the base's
// external-work calls) may come from other threads.

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "Platform/Runtime/Clock.h"
#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/LoopQueues.h"

class QObject;
class QTimer;

namespace vimbo::desktop {

class QtExecutor final : public async::Executor {
 public:
  QtExecutor();
  ~QtExecutor() override;

  async::Clock& clock() override { return clock_; }
  void post(std::function<void()> fn) override;
  void postFromAnyThread(std::function<void()> fn) override;
  async::TimerId scheduleAt(async::TimePoint when, std::function<void()> fn) override;
  void cancelTimer(async::TimerId id) override;
  void runUntil(async::TimePoint deadline) override;
  bool runUntil(std::function<bool()> pred, async::TimePoint limit) override;
  // Also ends every nested runUntil; the caller quits the application itself.
  void stop() override;

 protected:
  void wakeFromAnyThread() override;
  void discardPending() override;

 private:
  struct Frame {
    std::function<bool()> pred;
    async::TimePoint limit;
  };

  void invokeTurns(std::size_t n);
  void runTurn();
  void takeIncoming();
  void onTimer();
  void releaseDueTimers(async::TimePoint now);
  void armTimer();
  bool frameDone(const Frame& f);

  async::SteadyClock clock_;
  std::unique_ptr<QObject> context_;  // receiver of our queued invocations
  std::unique_ptr<QTimer> timer_;
  async::LoopQueues queues_;
  std::vector<Frame*> frames_;  // nested runUntil calls, innermost last
};

}  // namespace vimbo::desktop
