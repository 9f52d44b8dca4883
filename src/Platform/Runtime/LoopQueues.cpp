#include "Platform/Runtime/LoopQueues.h"

namespace vimbo::async {

std::function<void()> LoopQueues::popReady() {
  Ready r = std::move(ready_.front());
  ready_.pop_front();
  if (r.timer != 0 && liveTimers_.erase(r.timer) == 0) return {};  // cancelled after it fell due
  return std::move(r.fn);
}

bool LoopQueues::pushIncoming(const Executor& owner, std::function<void()> fn, bool* wasEmpty) {
  std::lock_guard lock(mutex_);
  if (owner.isStopped()) return false;
  if (wasEmpty) *wasEmpty = incoming_.empty();
  incoming_.push_back(std::move(fn));
  return true;
}

std::size_t LoopQueues::takeIncoming(TimePoint now) {
  std::deque<std::function<void()>> in;
  {
    std::lock_guard lock(mutex_);
    in.swap(incoming_);
  }
  for (auto& fn : in) ready_.push_back({0, now, std::move(fn)});
  return in.size();
}

TimerId LoopQueues::schedule(TimePoint when, std::function<void()> fn) {
  TimerId id = nextTimer_++;
  timers_.emplace(std::pair(when, id), std::move(fn));
  liveTimers_.emplace(id, when);
  return id;
}

void LoopQueues::cancel(TimerId id) {
  auto it = liveTimers_.find(id);
  if (it == liveTimers_.end()) return;
  auto node = timers_.extract(std::pair(it->second, id));  // empty when already due
  liveTimers_.erase(it);
}

std::optional<TimePoint> LoopQueues::nextDeadline() const {
  if (timers_.empty()) return std::nullopt;
  return timers_.begin()->first.first;
}

std::size_t LoopQueues::releaseDueTimers(TimePoint now) {
  std::size_t released = 0;
  while (!timers_.empty() && timers_.begin()->first.first <= now) {
    auto node = timers_.extract(timers_.begin());
    ready_.push_back({node.key().second, node.key().first, std::move(node.mapped())});
    ++released;
  }
  return released;
}

void LoopQueues::discardAll() {
  std::deque<Ready> ready;
  std::deque<std::function<void()>> incoming;
  decltype(timers_) timers;
  {
    std::lock_guard lock(mutex_);
    incoming.swap(incoming_);
  }
  ready.swap(ready_);
  timers.swap(timers_);
  liveTimers_.clear();
}

}  // namespace vimbo::async
