#include "Platform/Runtime/Executor.h"

#include <algorithm>

#include "Platform/Runtime/LoopQueues.h"
#include "Platform/Runtime/Task.h"

namespace vimbo::async {

namespace {
thread_local Executor* tLoop = nullptr;  // the loop running turns on this thread
thread_local Executor* tMain = nullptr;  // the first live executor made on this thread

struct LoopScope {
  Executor* saved;
  explicit LoopScope(Executor* e) : saved(std::exchange(tLoop, e)) {}
  ~LoopScope() { tLoop = saved; }
};
}  // namespace

Executor* currentExecutor() {
  if (auto* t = detail::currentTask()) return t->executor;
  return tLoop ? tLoop : tMain;
}

Executor::Executor() {
  if (!tMain) tMain = this;
}

Executor::~Executor() {
  if (tMain == this) tMain = nullptr;
  // Most-derived destructors have already stopped and joined; this only catches leftovers.
  stopped_ = true;
  for (auto& w : workers_) w.thread.join();
}

void Executor::stop() {
  if (stopped_.exchange(true)) return;
  discardPending();
  destroyAbandonedFrames();
}

void Executor::shutdown() {
  stop();
  destroyAbandonedFrames();
  for (auto& w : workers_) w.thread.join();
  workers_.clear();
}

void Executor::beginExternalWork() { externalWork_.fetch_add(1, std::memory_order_acq_rel); }

void Executor::endExternalWork() {
  externalWork_.fetch_sub(1, std::memory_order_acq_rel);
  wakeFromAnyThread();
}

void Executor::startWorker(std::function<void()> fn) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->finished->load(std::memory_order_acquire)) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
  auto finished = std::make_shared<std::atomic<bool>>(false);
  workers_.push_back({std::thread([fn = std::move(fn), finished]() mutable {
                        fn();
                        fn = nullptr;
                        finished->store(true, std::memory_order_release);
                      }),
                      finished});
}

void Executor::registerTask(const std::shared_ptr<detail::TaskStateBase>& st) {
  st->seq = nextTaskSeq_++;
  tasks_.emplace(st->seq, st);
}

void Executor::unregisterTask(detail::TaskStateBase& st) { tasks_.erase(st.seq); }

void Executor::destroyFrame(detail::TaskStateBase& st) {
  auto keep = st.shared_from_this();
  auto h = std::exchange(st.root, {});
  st.sleepTimer = 0;
  st.waiters.clear();
  tasks_.erase(st.seq);
  if (h) h.destroy();  // runs the scope guards of every frame in the chain
}

void Executor::destroyAbandonedFrames() {
  // Destructors may touch the registry, so look up afresh after each frame.
  for (;;) {
    auto it = std::find_if(tasks_.begin(), tasks_.end(), [](auto& e) { return !e.second->running; });
    if (it == tasks_.end()) return;
    auto st = it->second;
    destroyFrame(*st);
  }
}

// ---- LoopExecutor

LoopExecutor::LoopExecutor() : LoopExecutor(std::make_unique<SteadyClock>()) {}
LoopExecutor::LoopExecutor(std::unique_ptr<Clock> clock) : clock_(std::move(clock)), queues_(std::make_unique<LoopQueues>()) {}
LoopExecutor::~LoopExecutor() { shutdown(); }

void LoopExecutor::post(std::function<void()> fn) {
  if (isStopped()) return;
  queues_->pushReady({0, {}, std::move(fn)});
}

void LoopExecutor::postFromAnyThread(std::function<void()> fn) {
  queues_->pushIncoming(*this, std::move(fn));
  wake_.notify_all();
}

void LoopExecutor::wakeFromAnyThread() {
  { std::lock_guard lock(queues_->inboxMutex()); }
  wake_.notify_all();
}

void LoopExecutor::waitForInbox(TimePoint until, const std::function<bool()>& woken) {
  std::unique_lock lock(queues_->inboxMutex());
  auto pred = [&] { return !queues_->inboxEmptyLocked() || woken(); };
  if (until == TimePoint::max()) {
    wake_.wait(lock, pred);
  } else {
    wake_.wait_until(lock, until, pred);
  }
}

TimerId LoopExecutor::scheduleAt(TimePoint when, std::function<void()> fn) {
  if (isStopped()) return 0;
  return queues_->schedule(when, std::move(fn));
}

void LoopExecutor::cancelTimer(TimerId id) { queues_->cancel(id); }

void LoopExecutor::discardPending() { queues_->discardAll(); }

bool LoopExecutor::step(TimePoint limit) {
  if (isStopped()) return false;
  queues_->takeIncoming(clock().now());
  TimePoint t = clock().now();
  queues_->releaseDueTimers(t);
  if (t > limit) return false;
  if (queues_->hasReady()) {
    auto fn = queues_->popReady();
    if (fn) fn();
    return true;
  }
  if (t == limit) return false;
  auto due = queues_->nextDeadline();
  TimePoint next = due ? std::min(limit, *due) : limit;
  return idleUntil(next);
}

bool LoopExecutor::idleUntil(TimePoint next) {
  waitForInbox(next, [&] { return isStopped(); });
  return true;
}

void LoopExecutor::runUntil(TimePoint deadline) {
  LoopScope scope(this);
  while (step(deadline)) {
  }
}

bool LoopExecutor::runUntil(std::function<bool()> pred, TimePoint limit) {
  LoopScope scope(this);
  for (;;) {
    if (pred()) return true;
    if (!step(limit)) return pred();
  }
}

// ---- VirtualExecutor

VirtualExecutor::VirtualExecutor() : LoopExecutor(std::make_unique<VirtualClock>()) {}
VirtualExecutor::~VirtualExecutor() { shutdown(); }

void VirtualExecutor::advanceVirtualTime(Duration d) {
  if (d > Duration::zero()) virtualClock().advanceTo(now() + d);
}

bool VirtualExecutor::idleUntil(TimePoint next) {
  if (externalWork() > 0) {
    // Time stands still until the worker reports back.
    waitForInbox(TimePoint::max(), [&] { return externalWork() == 0 || isStopped(); });
    return true;
  }
  if (next == TimePoint::max()) return false;
  virtualClock().advanceTo(next);
  return true;
}

}  // namespace vimbo::async
