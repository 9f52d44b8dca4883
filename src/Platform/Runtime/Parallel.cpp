#include "Platform/Runtime/Parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace vimbo::async {

namespace {
thread_local Duration tCost{};
}

void chargeVirtualCost(Duration d) { tCost += d; }

void parallelFor(Executor& ex, std::size_t n, std::function<void(std::size_t)> fn) {
  if (n == 0) return;
  ex.blockingFanOuts_.fetch_add(1, std::memory_order_acq_rel);
  std::size_t count = std::min<std::size_t>(n, std::max(2u, std::thread::hardware_concurrency()));
  std::atomic<std::size_t> next{0};
  std::vector<Duration> worst(count, Duration::zero());
  std::vector<std::thread> pool;
  pool.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    pool.emplace_back([&, k] {
      for (std::size_t i; (i = next.fetch_add(1)) < n;) {
        tCost = Duration::zero();
        fn(i);
        worst[k] = std::max(worst[k], tCost);
      }
    });
  }
  for (auto& t : pool) t.join();
  ex.blockingFanOuts_.fetch_sub(1, std::memory_order_acq_rel);
  if (ex.usesVirtualTime()) ex.advanceVirtualTime(*std::max_element(worst.begin(), worst.end()));
}

namespace detail {

void OffloadAwaiter::await_suspend(std::coroutine_handle<> h) {
  auto task = requireCurrentTask().shared_from_this();
  Executor* e = ex;
  e->beginExternalWork();
  TimePoint start = e->now();
  e->startWorker([e, work = std::move(*work), task, h, start]() mutable {
    tCost = Duration::zero();
    work();
    Duration cost = tCost;
    work = nullptr;
    e->postFromAnyThread([e, task = std::move(task), h, start, cost] {
      e->endExternalWork();
      if (cost > Duration::zero() && e->usesVirtualTime()) {
        e->scheduleAt(start + cost, [task, h] { resumeTask(task, h); });
      } else {
        resumeTask(task, h);
      }
    });
  });
}

}  // namespace detail
}  // namespace vimbo::async
