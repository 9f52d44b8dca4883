// Built without optimisation (see CMakeLists.txt): there no compiler turns a coroutine transfer
// into a tail call, so this is where an awaiter that grows the stack shows.
#include <gtest/gtest.h>

#include <cstdint>

#include "Platform/Runtime/Executor.h"
#include "Platform/Runtime/Task.h"

using namespace vimbo::async;
using namespace std::chrono_literals;

namespace {

struct StackProbe {
  std::uintptr_t highest = 0;
  std::uintptr_t lowest = UINTPTR_MAX;
  void note() {
    auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    highest = std::max(highest, here);
    lowest = std::min(lowest, here);
  }
  std::uintptr_t depth() const { return highest - lowest; }
};

Task<int> finishesAtOnce(StackProbe& probe, int v) {
  probe.note();
  co_return v;
}

Task<int> finishesAtOnceTwoLevels(StackProbe& probe, int v) {
  auto inner = finishesAtOnce(probe, v);
  co_return co_await std::move(inner);
}

Task<int> finishesAfterATurn(int v) {
  co_await yieldNow();
  co_return v;
}

}  // namespace

TEST(AwaitStack, AMillionSynchronousAwaitsKeepTheStackFlat) {
  VirtualExecutor ex;
  StackProbe probe;
  constexpr int kAwaits = 1'000'000;
  auto h = spawn(ex, [&]() -> Task<std::int64_t> {
    std::int64_t sum = 0;
    for (int i = 0; i < kAwaits; ++i) {
      auto child = (i % 2) ? finishesAtOnce(probe, 1) : finishesAtOnceTwoLevels(probe, 1);
      sum += co_await std::move(child);
    }
    co_return sum;
  });
  ex.runUntilIdle();
  ASSERT_TRUE(h.isDone());
  EXPECT_EQ(*h.result(), kAwaits);
  EXPECT_LT(probe.depth(), 16u * 1024) << "stack grew by " << probe.depth() << " bytes";
}

TEST(AwaitStack, ChildrenThatSuspendStillResumeTheirParentInOrder) {
  VirtualExecutor ex;
  StackProbe probe;
  std::vector<int> seen;
  auto h = spawn(ex, [&]() -> Task<int> {
    int sum = 0;
    for (int i = 0; i < 2000; ++i) {
      if (i % 3 == 0) {
        auto child = finishesAfterATurn(i);
        seen.push_back(co_await std::move(child));
      } else {
        auto child = finishesAtOnceTwoLevels(probe, i);
        seen.push_back(co_await std::move(child));
      }
      sum += seen.back();
    }
    co_return sum;
  });
  ex.runUntilIdle();
  ASSERT_TRUE(h.isDone());
  ASSERT_EQ(seen.size(), 2000u);
  for (int i = 0; i < 2000; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_EQ(*h.result(), 1999 * 2000 / 2);
  EXPECT_LT(probe.depth(), 16u * 1024);
}
