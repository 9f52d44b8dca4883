// The runtime's rules on Qt's event loop and the steady clock. Real time, so every wait is a few
// milliseconds and every assertion is about order, never about exact durations.
#include <gtest/gtest.h>

#include <QTimer>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Desktop/QtExecutor.h"
#include "Platform/Runtime/Parallel.h"
#include "Platform/Runtime/ScopeExit.h"
#include "Platform/Runtime/Task.h"
#include "QtTestApp.h"

using namespace vimbo::async;
using namespace std::chrono_literals;
using vimbo::desktop::QtExecutor;

namespace {

struct QtLoop : ::testing::Test {
  vimbo::desktop::testing::AppFirst app;
  QtExecutor ex;
  std::vector<std::string> log;
  bool settle(std::function<bool()> pred) { return ex.runUntil(std::move(pred), ex.now() + 2s); }
};

TEST_F(QtLoop, PostsAndTimersKeepOneFifoOrderAndCancelledTimersNeverRun) {
  TimePoint at = ex.now() + 3ms;
  for (int i = 0; i < 3; ++i) ex.scheduleAt(at, [this, i] { log.push_back("timer" + std::to_string(i)); });
  TimerId dropped = ex.scheduleAt(at, [this] { log.push_back("dropped"); });
  ex.scheduleAt(at - 1ms, [this] { log.push_back("earlier"); });
  ex.scheduleAt(at, [this] {
    log.push_back("timer3");
    ex.post([this] { log.push_back("post after timers"); });
  });
  ex.post([this] { log.push_back("post0"); });
  ex.post([this] { log.push_back("post1"); });
  ex.cancelTimer(dropped);
  // Cancelled after falling due, before its turn.
  TimerId late = ex.scheduleAt(ex.now(), [this] { log.push_back("late"); });
  ex.post([this, late] { ex.cancelTimer(late); });
  ASSERT_TRUE(settle([&] { return log.size() == 8; }));
  ex.runUntil(ex.now() + 2ms);
  EXPECT_EQ(log, (std::vector<std::string>{"post0", "post1", "earlier", "timer0", "timer1", "timer2", "timer3",
                                           "post after timers"}));
}

TEST_F(QtLoop, RunUntilDeadlineRunsWhatFellDueByItEvenWhenLate) {
  TimePoint deadline = ex.now() + 2ms;
  ex.scheduleAt(deadline, [this] { log.push_back("at deadline"); });
  ex.scheduleAt(deadline + 1h, [this] { log.push_back("much later"); });
  std::this_thread::sleep_for(5ms);  // the loop arrives late
  ex.runUntil(deadline);
  EXPECT_EQ(log, std::vector<std::string>{"at deadline"});
  // Posts made after the deadline wait for a later loop.
  ex.post([this] {
    ex.post([this] { log.push_back("next loop"); });
  });
  ex.runUntil(ex.now());
  EXPECT_EQ(log.size(), 1u);
  ex.runUntil(ex.now() + 1ms);
  EXPECT_EQ(log.back(), "next loop");
}

TEST_F(QtLoop, TasksSleepOnTheSteadyClockAndCancellationComesBackAtOnce) {
  auto sleeper = spawn(ex, [&]() -> Task<int> {
    TimePoint t0 = ex.now();
    auto r = co_await sleepFor(3ms);
    EXPECT_EQ(r, SleepResult::Elapsed);
    EXPECT_GE(ex.now() - t0, 3ms);
    co_return 7;
  });
  auto longSleep = spawn(ex, [&]() -> Task<> {
    auto r = co_await sleepFor(1h);
    log.push_back(r == SleepResult::Cancelled ? "cancelled" : "elapsed");
  });
  ASSERT_TRUE(settle([&] { return sleeper.isDone(); }));
  EXPECT_EQ(*sleeper.result(), 7);
  longSleep.cancel();
  ASSERT_TRUE(settle([&] { return longSleep.isDone(); }));
  EXPECT_EQ(log, std::vector<std::string>{"cancelled"});
}

TEST_F(QtLoop, RunUntilNestsInsideCoroutinesWhileOtherWorkGoesOn) {
  int ticks = 0;
  auto ticker = spawn(ex, [&]() -> Task<> {
    while (co_await sleepFor(1ms) == SleepResult::Elapsed) ++ticks;
  });
  bool innerHeld = false;
  auto inner = spawn(ex, [&]() -> Task<> {
    auto r = co_await sleepFor(1ms);
    (void)r;
    int before = ticks;
    // A synchronous wait from inside a task: the loop keeps turning underneath it.
    innerHeld = ex.runUntil([&] { return ticks >= before + 3; }, ex.now() + 2s);
    log.push_back("inner done");
  });
  EXPECT_TRUE(settle([&] { return inner.isDone(); }));
  EXPECT_TRUE(innerHeld);
  EXPECT_EQ(log, std::vector<std::string>{"inner done"});
  ticker.cancel();
  EXPECT_TRUE(settle([&] { return ticker.isDone(); }));
  // The predicate is checked before every turn: the outer wait stops as soon as it holds.
  int count = 0;
  for (int i = 0; i < 5; ++i) ex.post([&] { ++count; });
  EXPECT_TRUE(ex.runUntil([&] { return count == 2; }, ex.now() + 2s));
  EXPECT_EQ(count, 2);
  EXPECT_FALSE(ex.runUntil([] { return false; }, ex.now() + 2ms));
  EXPECT_EQ(count, 5);
}

TEST_F(QtLoop, QtEventsCanSatisfyAWaitAndTurnsInterleaveWithThem) {
  bool fromQt = false;
  QTimer::singleShot(1, [&] { fromQt = true; });  // not a turn of ours
  EXPECT_TRUE(settle([&] { return fromQt; }));
}

TEST_F(QtLoop, PostsFromOtherThreadsAllArriveInOrderPerThread) {
  constexpr int kThreads = 4, kPosts = 200;
  std::vector<std::vector<int>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i) ex.postFromAnyThread([&, t, i] { seen[t].push_back(i); });
    });
  for (auto& t : threads) t.join();
  EXPECT_TRUE(settle([&] {
    for (auto& s : seen)
      if (s.size() != kPosts) return false;
    return true;
  }));
  for (auto& s : seen)
    for (int i = 0; i < kPosts; ++i) ASSERT_EQ(s[i], i);

  auto h = spawn(ex, [&]() -> Task<int> {
    auto job = offload(ex, [] { return 5; });
    int v = co_await std::move(job);
    co_return v + 1;
  });
  EXPECT_TRUE(settle([&] { return h.isDone(); }));
  EXPECT_EQ(*h.result(), 6);
}

TEST_F(QtLoop, AfterStopNothingRunsAndNestedWaitsReturn) {
  int guards = 0, resumed = 0;
  spawn(ex, [&]() -> Task<> {
    ScopeExit guard([&] { ++guards; });
    auto r = co_await sleepFor(1h);
    (void)r;
    ++resumed;
  });
  bool innerReturned = false;
  ex.scheduleAfter(1ms, [&] {
    ex.post([&] { ex.stop(); });
    innerReturned = !ex.runUntil([] { return false; }, TimePoint::max());  // ended by the stop
  });
  ex.post([&] { ++resumed; });
  ex.scheduleAfter(2h, [&] { ++resumed; });
  EXPECT_FALSE(ex.runUntil([] { return false; }, ex.now() + 2s));
  EXPECT_TRUE(ex.isStopped());
  EXPECT_TRUE(innerReturned);
  EXPECT_EQ(guards, 1);
  EXPECT_EQ(resumed, 1);  // only the post queued before the stop
  ex.post([&] { ++resumed; });
  ex.postFromAnyThread([&] { ++resumed; });
  EXPECT_EQ(ex.scheduleAfter(0ms, [&] { ++resumed; }), 0u);
  auto late = spawn(ex, [&]() -> Task<> {
    ++resumed;
    co_return;
  });
  QCoreApplication::processEvents();
  ex.runUntil(ex.now() + 2ms);
  EXPECT_EQ(resumed, 1);
  EXPECT_FALSE(late.isDone());
}

}  // namespace
