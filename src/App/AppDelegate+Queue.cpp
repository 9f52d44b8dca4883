// The serial operation queue: one FIFO chain of main-loop tasks for every drag a user asks for,
// which the full refresh joins uncounted. Each task first awaits the tail that stood when it was
// made; the queue itself never looks at cancellation.
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
        auto run = operation();
        co_await std::move(run);
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
        auto run = operation();
        const bool result = co_await std::move(run);
        // The resume is posted, so the caller runs after the decrement below.
        finished.resume(result);
        if (auto self = weak.lock()) {
          self->activeSystemItemOperationCount = std::max<int64_t>(self->activeSystemItemOperationCount - 1, 0);
        }
      });
  co_return co_await finished.wait();
}

}  // namespace vimbo
