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

void QtExecutor::invokeTurns(std::size_t n) {
  // One queued invocation per ready turn.
  for (std::size_t i = 0; i < n; ++i) QMetaObject::invokeMethod(context_.get(), [this] { runTurn(); }, Qt::QueuedConnection);
}

void QtExecutor::post(std::function<void()> fn) {
  if (isStopped()) return;
  queues_.pushReady({0, clock_.now(), std::move(fn)});
  invokeTurns(1);
}

void QtExecutor::postFromAnyThread(std::function<void()> fn) {
  bool first = false;
  if (!queues_.pushIncoming(*this, std::move(fn), &first)) return;
  // One invocation carries every post that arrives before it runs.
  if (first) QMetaObject::invokeMethod(context_.get(), [this] { takeIncoming(); }, Qt::QueuedConnection);
}

void QtExecutor::takeIncoming() {
  if (isStopped()) return;  // stop() has already dropped the inbox
  invokeTurns(queues_.takeIncoming(clock_.now()));
}

void QtExecutor::wakeFromAnyThread() {
  // A nested loop waiting for events re-checks its predicate.
  QMetaObject::invokeMethod(context_.get(), [] {}, Qt::QueuedConnection);
}

async::TimerId QtExecutor::scheduleAt(TimePoint when, std::function<void()> fn) {
  if (isStopped()) return 0;
  async::TimerId id = queues_.schedule(when, std::move(fn));
  if (queues_.isNextTimer(id)) armTimer();
  return id;
}

void QtExecutor::cancelTimer(async::TimerId id) { queues_.cancel(id); }

void QtExecutor::armTimer() {
  auto next = queues_.nextDeadline();
  if (!next) {
    timer_->stop();
    return;
  }
  timer_->start(millisecondsUntil(*next, clock_.now()));
}

void QtExecutor::onTimer() {
  if (isStopped()) return;
  releaseDueTimers(clock_.now());
  armTimer();
}

void QtExecutor::releaseDueTimers(TimePoint now) {
  std::size_t released = queues_.releaseDueTimers(now);
  invokeTurns(released);
  if (released > 0) armTimer();
}

void QtExecutor::runTurn() {
  if (isStopped()) return;
  releaseDueTimers(clock_.now());
  if (!queues_.hasReady()) return;  // its turn was discarded
  if (!frames_.empty()) {
    const Frame& f = *frames_.back();
    if ((f.pred && f.pred()) || queues_.frontReady().due > f.limit) {
      // The innermost runUntil is done: leave this turn to the loop it returns to.
      QMetaObject::invokeMethod(context_.get(), [this] { runTurn(); }, Qt::QueuedConnection);
      return;
    }
  }
  auto fn = queues_.popReady();
  if (fn) fn();
}

bool QtExecutor::frameDone(const Frame& f) {
  if (isStopped()) return true;
  if (f.pred && f.pred()) return true;
  TimePoint now = clock_.now();
  if (now <= f.limit) return false;
  // Late: finish what fell due by the limit first.
  releaseDueTimers(now);
  return !queues_.hasReady() || queues_.frontReady().due > f.limit;
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
  while (!frameDone(frame)) {
    // A ready turn of ours never waits on Qt: a loop nested inside a turn can be left without the
    // queued invocation of a turn that fell due as that turn began, and would then sleep with work
    // ready (seen under heavy load). Qt's pending events go first; the turn then runs from here.
    if (!queues_.hasReady()) {
      loop.processEvents(QEventLoop::WaitForMoreEvents);
    } else if (!loop.processEvents(QEventLoop::AllEvents)) {
      runTurn();
    }
  }
  frames_.pop_back();
  return result();
}

void QtExecutor::stop() {
  Executor::stop();
  wakeFromAnyThread();
}

void QtExecutor::discardPending() {
  queues_.discardAll();
  timer_->stop();
}

}  // namespace vimbo::desktop
