#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Property.h"
#include "Platform/Runtime/ScopeExit.h"
#include "Platform/Runtime/Task.h"

using namespace vimbo::async;
using namespace std::chrono_literals;

namespace {

struct Runtime : ::testing::Test {
  VirtualExecutor ex;
  std::vector<std::string> log;
  Duration elapsed(TimePoint since) { return ex.now() - since; }
};

Task<int> immediate(std::vector<std::string>& log, int v) {
  log.push_back("child");
  co_return v;
}

Task<int> sleeper(std::vector<std::string>& log, Duration d) {
  log.push_back("child before sleep");
  auto r = co_await sleepFor(d);
  log.push_back(r == SleepResult::Elapsed ? "elapsed" : "cancelled");
  co_return 7;
}

TEST_F(Runtime, SpawnNeverRunsInlineAndInlineAwaitRunsUntilSuspension) {
  auto h = spawn(ex, [this]() -> Task<int> {
    log.push_back("start");
    auto c = immediate(log, 1);
    int a = co_await std::move(c);
    log.push_back("after child " + std::to_string(a));
    auto s = sleeper(log, 10ms);
    int b = co_await std::move(s);
    log.push_back("after sleeper");
    co_return a + b;
  });
  log.push_back("spawned");
  EXPECT_EQ(log, (std::vector<std::string>{"spawned"}));
  ex.post([this] { log.push_back("posted later"); });
  ex.runFor(0ms);
  EXPECT_EQ(log, (std::vector<std::string>{"spawned", "start", "child", "after child 1",
                                           "child before sleep", "posted later"}));
  EXPECT_FALSE(h.isDone());
  ex.runUntilIdle();
  EXPECT_TRUE(h.isDone());
  ASSERT_TRUE(h.result());
  EXPECT_EQ(*h.result(), 8);
}

TEST_F(Runtime, CancelledSleepReturnsAtOnceAndSleepEnteredCancelledDoesNotSuspend) {
  TimePoint t0 = ex.now();
  TaskHandle<int> h = spawn(ex, [this]() { return sleeper(log, 24h); });
  ex.runFor(1s);
  h.cancel();
  ex.runUntilIdle();
  EXPECT_EQ(log.back(), "cancelled");
  EXPECT_EQ(elapsed(t0), 1s);  // the long timer was withdrawn

  // Cancelled before it starts: every sleep comes back at once, without a turn in between.
  std::vector<SleepResult> results;
  auto g = spawn(ex, [&]() -> Task<> {
    for (int i = 0; i < 3; ++i) results.push_back(co_await sleepFor(1h));
    EXPECT_TRUE(isCancelled());
    log.push_back("done");
  });
  g.cancel();
  ex.post([&] { log.push_back("other turn"); });
  ex.runUntilIdle();
  EXPECT_EQ(results, std::vector<SleepResult>(3, SleepResult::Cancelled));
  EXPECT_EQ(log[log.size() - 2], "done");
  EXPECT_EQ(elapsed(t0), 1s);
}

TEST_F(Runtime, CancellationIsPerTaskAndDoesNotPassThroughJoinOrOneShot) {
  auto worker = spawn(ex, [this]() { return sleeper(log, 100ms); });
  OneShot<int> shot;
  auto waiter = spawn(ex, [&]() -> Task<> {
    co_await worker.join();
    log.push_back(std::string("joined, cancelled=") + (isCancelled() ? "yes" : "no"));
    int v = co_await shot.wait();
    log.push_back("shot " + std::to_string(v));
  });
  ex.runFor(10ms);
  waiter.cancel();
  ex.runFor(200ms);
  EXPECT_FALSE(worker.isCancelled());
  EXPECT_EQ(log, (std::vector<std::string>{"child before sleep", "elapsed", "joined, cancelled=yes"}));
  shot.resume(5);
  ex.runUntilIdle();
  EXPECT_EQ(log.back(), "shot 5");
  EXPECT_TRUE(waiter.isDone());
}

TEST_F(Runtime, EqualDeadlinesAndPostsRunFifo) {
  TimePoint at = ex.now() + 50ms;
  for (int i = 0; i < 3; ++i) ex.scheduleAt(at, [this, i] { log.push_back("timer" + std::to_string(i)); });
  TimerId dropped = ex.scheduleAt(at, [this] { log.push_back("dropped"); });
  ex.scheduleAt(at, [this] {
    log.push_back("timer3");
    ex.post([this] { log.push_back("post after timers"); });
  });
  for (int i = 0; i < 3; ++i) {
    spawn(ex, [this, i]() -> Task<> {
      auto r = co_await sleepUntil(ex.now() + 50ms);
      (void)r;
      log.push_back("task" + std::to_string(i));
    });
  }
  ex.post([this] { log.push_back("post0"); });
  ex.post([this] { log.push_back("post1"); });
  ex.cancelTimer(dropped);
  ex.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"post0", "post1", "timer0", "timer1", "timer2", "timer3",
                                           "task0", "task1", "task2", "post after timers"}));
}

TEST_F(Runtime, ResumptionByOthersIsPostedSoTheResumerFinishesItsTurn) {
  // The serial-chain pattern: the operation task resumes the caller, then decrements a counter;
  // the caller must observe the decrement.
  int count = 0;
  std::optional<int> seen;
  auto caller = spawn(ex, [&]() -> Task<> {
    OneShot<bool> k;
    ++count;
    spawn(ex, [&, k]() mutable -> Task<> {
      auto r = co_await sleepFor(5ms);
      (void)r;
      k.resume(true);
      count = std::max(count - 1, 0);
    });
    bool ok = co_await k.wait();
    EXPECT_TRUE(ok);
    seen = count;
  });
  ex.runUntilIdle();
  EXPECT_EQ(seen, 0);
}

TEST_F(Runtime, JoinOnFinishedTaskDoesNotSuspendAndReleasesEveryWaiter) {
  auto target = spawn(ex, [this]() { return sleeper(log, 30ms); });
  std::vector<int> released;
  for (int i = 0; i < 3; ++i) {
    spawn(ex, [&, i]() -> Task<> {
      co_await target.join();
      released.push_back(i);
    });
  }
  ex.runUntilIdle();
  EXPECT_EQ(released, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(*target.result(), 7);

  bool inTurn = false, continued = false;
  ex.post([&] {
    inTurn = true;
    auto late = spawn(ex, [&]() -> Task<> {
      bool before = inTurn;
      co_await target.join();
      continued = before == inTurn;  // no turn passed in between
    });
    (void)late;
  });
  ex.runUntilIdle();
  EXPECT_TRUE(continued);

  TaskHandle<> empty;
  auto j = spawn(ex, [&]() -> Task<> { co_await empty.join(); });
  ex.runUntilIdle();
  EXPECT_TRUE(j.isDone());
}

// A synchronous call that spins the loop in 15 ms steps, as start-up code does.
void spinFor(Executor& ex, Duration total, std::vector<Duration>* steps) {
  TimePoint start = ex.now();
  TimePoint end = start + total;
  while (ex.now() < end) {
    TimePoint deadline = ex.now() + 15ms;
    ex.runUntil(deadline);
    steps->push_back(ex.now() - start);
  }
}

TEST_F(Runtime, NestedRunUntilInsideCoroutineInsideNestedRunUntil) {
  std::vector<Duration> outerSteps, innerSteps;
  int ticks = 0;
  auto ticker = spawn(ex, [&]() -> Task<> {
    while (co_await sleepFor(10ms) == SleepResult::Elapsed) ++ticks;
  });
  auto inner = spawn(ex, [&]() -> Task<> {
    auto r = co_await sleepFor(20ms);
    (void)r;
    spinFor(ex, 120ms, &innerSteps);  // the task stays on the stack meanwhile
    log.push_back("inner done");
  });
  TimePoint t0 = ex.now();
  spinFor(ex, 120ms, &outerSteps);
  // The inner loop ran inside the outer one's 15..30 ms step, exactly in 15 ms steps, while the
  // ticker kept running; the outer step came back late (code after it must re-read state).
  ASSERT_EQ(innerSteps.size(), 8u);
  for (std::size_t i = 0; i < innerSteps.size(); ++i) EXPECT_EQ(innerSteps[i], 15ms * (i + 1));
  EXPECT_EQ(outerSteps, (std::vector<Duration>{15ms, 140ms}));
  EXPECT_EQ(log, std::vector<std::string>{"inner done"});
  EXPECT_EQ(ex.now() - t0, 140ms);
  EXPECT_EQ(ticks, 14);
  ticker.cancel();
  ex.runUntilIdle();
  EXPECT_TRUE(ticker.isDone());
  EXPECT_TRUE(inner.isDone());
}

TEST_F(Runtime, RunUntilPredicateStopsWhenItHoldsOrAtTheLimit) {
  bool flag = false;
  ex.scheduleAfter(40ms, [&] { flag = true; });
  TimePoint t0 = ex.now();
  EXPECT_TRUE(ex.runUntil([&] { return flag; }, t0 + 1s));
  EXPECT_EQ(ex.now() - t0, 40ms);
  EXPECT_FALSE(ex.runUntil([] { return false; }, ex.now() + 100ms));
  EXPECT_EQ(ex.now() - t0, 140ms);
  EXPECT_FALSE(ex.runUntil([] { return false; }, TimePoint::max()));  // nothing left to happen
}

TEST_F(Runtime, AfterStopNothingResumesAndAbandonedFramesRunTheirGuards) {
  int guards = 0, resumed = 0;
  auto makeTask = [&]() -> Task<> {
    ScopeExit guard([&] { ++guards; });
    auto r = co_await sleepFor(1s);
    (void)r;
    ++resumed;
  };
  auto a = spawn(ex, makeTask);
  auto b = spawn(ex, [&]() -> Task<> {
    ScopeExit guard([&] { ++guards; });
    auto child = makeTask();  // the child's frame belongs to this one
    co_await std::move(child);
    ++resumed;
  });
  auto notStarted = spawn(ex, makeTask);
  ex.runFor(10ms);
  auto c = spawn(ex, [&]() -> Task<> {
    ScopeExit guard([&] { ++guards; });
    ex.stop();  // from inside a task: this frame goes when it suspends
    ++resumed;
    co_await yieldNow();
    ++resumed;
  });
  ex.post([&] { ++resumed; });
  ex.runUntilIdle();
  EXPECT_TRUE(ex.isStopped());
  EXPECT_EQ(resumed, 1);  // only c's code before its suspension
  EXPECT_EQ(guards, 5);   // a, b, b's child, c (notStarted never entered its body)
  EXPECT_FALSE(a.isDone());
  ex.post([&] { ++resumed; });
  ex.runFor(2s);
  auto late = spawn(ex, makeTask);
  ex.runUntilIdle();
  EXPECT_EQ(resumed, 1);
  a.cancel();  // harmless after stop
}

Task<int> throwing(bool doThrow) {
  if (doThrow) throw std::runtime_error("escaped");
  co_return 0;
}

TEST(RuntimeDeathTest, AnExceptionEscapingACoroutineTerminates) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        VirtualExecutor ex;
        spawn(ex, [] { return throwing(true); });
        ex.runUntilIdle();
      },
      "");
}

TEST(Property, PublishesBeforeStoringAndQueuesDeliveries) {
  VirtualExecutor ex;
  Property<int> p(1);
  std::vector<std::pair<int, int>> sync;  // (delivered, stored at the time)
  auto s1 = p.subscribe([&](const int& v) { sync.emplace_back(v, p.get()); });
  std::vector<int> queued;
  auto s2 = p.subscribeQueued(ex, [&](const int& v) { queued.push_back(v); });
  p.set(2);
  p.set(2);
  EXPECT_EQ(sync, (std::vector<std::pair<int, int>>{{2, 1}, {2, 2}}));
  EXPECT_TRUE(queued.empty());
  ex.runUntilIdle();
  EXPECT_EQ(queued, (std::vector<int>{1, 2, 2}));
  p.set(3);
  s2.cancel();  // already posted deliveries are dropped too
  s1 = Subscription();
  p.set(4);
  ex.runUntilIdle();
  EXPECT_EQ(queued, (std::vector<int>{1, 2, 2}));
  EXPECT_EQ(sync.size(), 3u);
  EXPECT_EQ(p.get(), 4);
}

TEST(Property, CombineLatestDeliversTheCurrentPairThenEachChangeOnLaterTurns) {
  VirtualExecutor ex;
  Property<bool> a(false);
  Property<std::string> b("polling");
  std::vector<std::string> got;
  auto sub = combineLatestQueued(ex, a, b, [&](const bool& x, const std::string& y) {
    got.push_back((x ? "on/" : "off/") + y);
  });
  a.set(true);
  EXPECT_TRUE(got.empty());
  ex.runUntilIdle();
  b.set("eventDriven");
  ex.runUntilIdle();
  EXPECT_EQ(got, (std::vector<std::string>{"off/polling", "on/polling", "on/eventDriven"}));
  {
    auto dropped = std::move(sub);
  }
  a.set(false);
  ex.runUntilIdle();
  EXPECT_EQ(got.size(), 3u);
}

}  // namespace
