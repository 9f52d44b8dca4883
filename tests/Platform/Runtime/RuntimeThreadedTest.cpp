#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Parallel.h"
#include "Platform/Runtime/ScopeExit.h"
#include "Platform/Runtime/Task.h"

using namespace vimbo::async;
using namespace std::chrono_literals;

namespace {

TEST(RuntimeThreaded, VirtualTimeStandsStillWhileAnOffloadIsOutstanding) {
  VirtualExecutor ex;
  TimePoint t0 = ex.now();
  std::vector<std::string> log;
  std::atomic<bool> timeMoved{false}, go{false}, blocked{true};
  ex.scheduleAfter(10ms, [&] { log.push_back("timer"); });
  auto h = spawn(ex, [&]() -> Task<int> {
    auto job = offload(ex, [&] {
      while (!go) std::this_thread::yield();
      blocked = ex.isMainThreadBlocked();  // an offload leaves the loop free
      // Give the loop every chance to jump while we work.
      for (int i = 0; i < 2000; ++i) {
        if (ex.clock().now() != t0) timeMoved = true;
        std::this_thread::yield();
      }
      return 42;
    });
    int v = co_await std::move(job);
    log.push_back("offload " + std::to_string(v) + (isCancelled() ? " cancelled" : ""));
    co_return v;
  });
  ex.runFor(0ms);  // starts the task: the offload is now outstanding
  h.cancel();      // does not interrupt the offload
  go = true;
  ex.runUntilIdle();
  EXPECT_FALSE(timeMoved);
  EXPECT_FALSE(blocked);
  EXPECT_EQ(log, (std::vector<std::string>{"offload 42 cancelled", "timer"}));
  EXPECT_EQ(*h.result(), 42);
  EXPECT_EQ(ex.now() - t0, 10ms);
}

TEST(RuntimeThreaded, OffloadResumesAfterItsChargedCost) {
  VirtualExecutor ex;
  TimePoint t0 = ex.now();
  std::vector<std::string> log;
  ex.scheduleAfter(100ms, [&] { log.push_back("timer 100"); });
  spawn(ex, [&]() -> Task<> {
    auto job = offload(ex, [] { chargeVirtualCost(250ms); chargeVirtualCost(50ms); });
    co_await std::move(job);
    log.push_back("resumed");
  });
  ex.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"timer 100", "resumed"}));
  EXPECT_EQ(ex.now() - t0, 300ms);
}

TEST(RuntimeThreaded, FanOutBlocksTheMainThreadAndLastsAsLongAsItsCostliestIteration) {
  VirtualExecutor ex;
  TimePoint t0 = ex.now();
  bool postRan = false;
  ex.post([&] { postRan = true; });
  std::vector<int> seen(16, 0);
  std::atomic<int> sawBlocked{0};
  EXPECT_FALSE(ex.isMainThreadBlocked());
  parallelFor(ex, seen.size(), [&](std::size_t i) {
    seen[i] += 1;
    if (ex.isMainThreadBlocked()) ++sawBlocked;
    chargeVirtualCost(10ms * static_cast<int>(i));  // summed per iteration, not per thread
    chargeVirtualCost(5ms);
  });
  EXPECT_FALSE(postRan);
  EXPECT_EQ(seen, std::vector<int>(16, 1));
  EXPECT_EQ(sawBlocked, 16);
  EXPECT_FALSE(ex.isMainThreadBlocked());
  EXPECT_EQ(ex.now() - t0, 155ms);
  parallelFor(ex, 0, [](std::size_t) { FAIL(); });
  EXPECT_EQ(ex.now() - t0, 155ms);
  ex.runUntilIdle();
  EXPECT_TRUE(postRan);
}

TEST(RuntimeThreaded, PostsFromWorkerThreadsAllArriveAndKeepTheLoopWaiting) {
  VirtualExecutor ex;
  int received = 0;
  constexpr int kThreads = 4, kPosts = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    ex.beginExternalWork();
    threads.emplace_back([&] {
      for (int i = 0; i < kPosts; ++i) ex.postFromAnyThread([&] { ++received; });
      ex.postFromAnyThread([&] { ex.endExternalWork(); });
    });
  }
  ex.runUntilIdle();
  for (auto& t : threads) t.join();
  EXPECT_EQ(received, kThreads * kPosts);
}

TEST(RuntimeThreaded, StopWhileAnOffloadRunsDestroysTheWaiterAndDropsTheResult) {
  std::atomic<bool> release{false};
  int guards = 0, resumed = 0;
  {
    VirtualExecutor ex;
    spawn(ex, [&]() -> Task<> {
      ScopeExit guard([&] { ++guards; });
      auto job = offload(ex, [&] {
        while (!release) std::this_thread::yield();
        return std::string("late");
      });
      auto s = co_await std::move(job);
      ++resumed;
    });
    ex.runFor(0ms);
    ex.stop();
    EXPECT_EQ(guards, 1);
    release = true;
    ex.runUntilIdle();
  }  // joins the worker
  EXPECT_EQ(resumed, 0);
}

TEST(RuntimeThreaded, ShutdownReturnsOnlyOnceOffloadedWorkHasFinished) {
  VirtualExecutor ex;
  std::atomic<bool> started{false}, release{false};
  int written = 0;  // not atomic: only the join orders the worker's write before our read
  int resumed = 0;
  spawn(ex, [&]() -> Task<> {
    auto job = offload(ex, [&] {
      started = true;
      started.notify_one();
      release.wait(false);
      written = 42;
    });
    co_await std::move(job);
    ++resumed;
  });
  ex.runFor(0ms);
  started.wait(false);
  release = true;
  release.notify_one();
  ex.shutdown();
  EXPECT_EQ(written, 42);
  EXPECT_EQ(resumed, 0);
  ex.shutdown();  // a second call (the destructor's) does nothing more
  EXPECT_TRUE(ex.isStopped());
}

TEST(RuntimeThreaded, SteadyLoopRunsPostsTimersAndWakesForWorkerPosts) {
  LoopExecutor ex;
  std::vector<std::string> log;
  ex.post([&] { log.push_back("post"); });
  ex.scheduleAfter(1ms, [&] { log.push_back("timer"); });
  std::thread worker;
  auto h = spawn(ex, [&]() -> Task<int> {
    auto job = offload(ex, [] { return 5; });
    int v = co_await std::move(job);
    auto r = co_await sleepFor(1ms);
    (void)r;
    co_return v;
  });
  EXPECT_TRUE(ex.runUntil([&] { return h.isDone() && log.size() == 2; }, ex.now() + 10s));
  EXPECT_EQ(*h.result(), 5);
  EXPECT_EQ(log, (std::vector<std::string>{"post", "timer"}));
  bool fromWorker = false;
  worker = std::thread([&] { ex.postFromAnyThread([&] { fromWorker = true; }); });
  EXPECT_TRUE(ex.runUntil([&] { return fromWorker; }, ex.now() + 10s));
  worker.join();
}

}  // namespace
