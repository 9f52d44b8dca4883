// The serial operation queue: one FIFO chain of main-loop tasks for every drag a user asks for,
// which the full refresh joins uncounted. Each task first awaits the tail that stood when it was
// made; the queue itself never looks at cancellation. Each operation holds the bar from its start
// to its end, so what the person asks of the bar meanwhile follows the whole operation.
#include <algorithm>

#include "App/AppDelegate.h"

namespace vimbo {

void AppDelegate::enqueueSystemItemOperation(std::function<async::Task<void>()> operation) {
  ++activeSystemItemOperationCount;
  auto predecessor = systemItemOperationTask;
  systemItemOperationTask = async::spawn(
      platform_.executor,
      [weak = weak_from_this(), predecessor, operation = std::move(operation)]() -> async::Task<void> {
        co_await predecessor.join();
        if (weak.expired()) co_return;
        auto hold = weak.lock()->holdBar();
        BarLease held = co_await std::move(hold);
        auto run = operation();
        co_await std::move(run);
        held.release();
        if (auto self = weak.lock()) {
          self->activeSystemItemOperationCount = std::max<int64_t>(self->activeSystemItemOperationCount - 1, 0);
        }
      });
}

async::Task<bool> AppDelegate::enqueueSystemItemOperationAndWait(std::function<async::Task<bool>()> operation) {
  async::OneShot<bool> finished;
  ++activeSystemItemOperationCount;
  auto predecessor = systemItemOperationTask;
  systemItemOperationTask = async::spawn(
      platform_.executor,
      [weak = weak_from_this(), predecessor, operation = std::move(operation), finished]() mutable -> async::Task<void> {
        co_await predecessor.join();
        if (weak.expired()) {
          finished.resume(false);
          co_return;
        }
        auto hold = weak.lock()->holdBar();
        BarLease held = co_await std::move(hold);
        auto run = operation();
        const bool result = co_await std::move(run);
        held.release();
        // The resume is posted, so the caller runs after the decrement below.
        finished.resume(result);
        if (auto self = weak.lock()) {
          self->activeSystemItemOperationCount = std::max<int64_t>(self->activeSystemItemOperationCount - 1, 0);
        }
      });
  co_return co_await finished.wait();
}

}  // namespace vimbo
