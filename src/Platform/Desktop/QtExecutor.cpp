#include "Platform/Desktop/QtExecutor.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <climits>

namespace vimbo::desktop {

using async::TimePoint;

namespace {

// Whole milliseconds until t, rounded up so that a timer never fires before t.
int millisecondsUntil(TimePoint t, TimePoint now) {
  if (t <= now) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(t - now).count();
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

}  // namespace

QtExecutor::QtExecutor() : context_(std::make_unique<QObject>()), timer_(std::make_unique<QTimer>()) {
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_.get(), &QTimer::timeout, context_.get(), [this] { onTimer(); });
}

QtExecutor::~QtExecutor() { shutdown(); }

void QtExecutor::enqueue(Ready r) {
  ready_.push_back(std::move(r));
  QMetaObject::invokeMethod(context_.get(), [this] { runTurn(); }, Qt::QueuedConnection);
}

void QtExecutor::post(std::function<void()> fn) {
  if (isStopped()) return;
  enqueue({0, clock_.now(), std::move(fn)});
}

void QtExecutor::postFromAnyThread(std::function<void()> fn) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    if (isStopped()) return;
    first = incoming_.empty();
    incoming_.push_back(std::move(fn));
  }
  // One invocation carries every post that arrives before it runs.
  if (first) QMetaObject::invokeMethod(context_.get(), [this] { takeIncoming(); }, Qt::QueuedConnection);
}

void QtExecutor::takeIncoming() {
  std::vector<std::function<void()>> in;
  {
    std::lock_guard lock(mutex_);
    in.swap(incoming_);
  }
  if (isStopped()) return;
  for (auto& fn : in) enqueue({0, clock_.now(), std::move(fn)});
}

void QtExecutor::wakeFromAnyThread() {
  // A nested loop waiting for events re-checks its predicate.
  QMetaObject::invokeMethod(context_.get(), [] {}, Qt::QueuedConnection);
}

async::TimerId QtExecutor::scheduleAt(TimePoint when, std::function<void()> fn) {
  if (isStopped()) return 0;
  async::TimerId id = nextTimer_++;
  timers_.emplace(std::pair(when, id), std::move(fn));
  liveTimers_.emplace(id, when);
  if (timers_.begin()->first.second == id) armTimer();
  return id;
}

void QtExecutor::cancelTimer(async::TimerId id) {
  auto it = liveTimers_.find(id);
  if (it == liveTimers_.end()) return;
  auto node = timers_.extract(std::pair(it->second, id));  // empty when already due
  liveTimers_.erase(it);
}

void QtExecutor::armTimer() {
  if (timers_.empty()) {
    timer_->stop();
    return;
  }
  timer_->start(millisecondsUntil(timers_.begin()->first.first, clock_.now()));
}

void QtExecutor::onTimer() {
  if (isStopped()) return;
  releaseDueTimers(clock_.now());
  armTimer();
}

void QtExecutor::releaseDueTimers(TimePoint now) {
  bool released = false;
  while (!timers_.empty() && timers_.begin()->first.first <= now) {
    auto node = timers_.extract(timers_.begin());
    enqueue({node.key().second, node.key().first, std::move(node.mapped())});
    released = true;
  }
  if (released) armTimer();
}

void QtExecutor::runTurn() {
  if (isStopped()) return;
  releaseDueTimers(clock_.now());
  if (ready_.empty()) return;  // its turn was discarded
  if (!frames_.empty()) {
    const Frame& f = *frames_.back();
    if ((f.pred && f.pred()) || ready_.front().due > f.limit) {
      // The innermost runUntil is done: leave this turn to the loop it returns to.
      QMetaObject::invokeMethod(context_.get(), [this] { runTurn(); }, Qt::QueuedConnection);
      return;
    }
  }
  Ready r = std::move(ready_.front());
  ready_.pop_front();
  if (r.timer != 0 && liveTimers_.erase(r.timer) == 0) return;  // cancelled after it fell due
  r.fn();
}

bool QtExecutor::frameDone(const Frame& f) {
  if (isStopped()) return true;
  if (f.pred && f.pred()) return true;
  TimePoint now = clock_.now();
  if (now <= f.limit) return false;
  // Late: finish what fell due by the limit first.
  releaseDueTimers(now);
  return ready_.empty() || ready_.front().due > f.limit;
}

void QtExecutor::runUntil(TimePoint deadline) { runUntil(nullptr, deadline); }

bool QtExecutor::runUntil(std::function<bool()> pred, TimePoint limit) {
  Frame frame{std::move(pred), limit};
  auto result = [&] { return frame.pred ? frame.pred() : false; };
  if (frameDone(frame)) return result();
  frames_.push_back(&frame);
  QTimer wake;  // returns the loop below to us at the limit
  if (limit != TimePoint::max()) {
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wake, &QTimer::timeout, [] {});
    wake.start(millisecondsUntil(limit, clock_.now()));
  }
  QEventLoop loop;
  while (!frameDone(frame)) loop.processEvents(QEventLoop::WaitForMoreEvents);
  frames_.pop_back();
  return result();
}

void QtExecutor::stop() {
  Executor::stop();
  wakeFromAnyThread();
}

void QtExecutor::discardPending() {
  // Swap everything out first: destroying a callback may post, which must find the queues whole.
  std::deque<Ready> ready;
  std::vector<std::function<void()>> incoming;
  decltype(timers_) timers;
  {
    std::lock_guard lock(mutex_);
    incoming.swap(incoming_);
  }
  ready.swap(ready_);
  timers.swap(timers_);
  liveTimers_.clear();
  timer_->stop();
}

}  // namespace vimbo::desktop
