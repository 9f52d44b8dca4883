#include "Platform/Runtime/Task.h"

namespace vimbo::async {

namespace detail {

struct RuntimeAccess {
  static void registerTask(Executor& ex, const std::shared_ptr<TaskStateBase>& st) {
    ex.registerTask(st);
  }
  static void unregisterTask(Executor& ex, TaskStateBase& st) { ex.unregisterTask(st); }
  static void destroyFrame(Executor& ex, TaskStateBase& st) { ex.destroyFrame(st); }
};

namespace {
thread_local TaskStateBase* tCurrent = nullptr;
}

TaskStateBase* currentTask() { return tCurrent; }

TaskStateBase& requireCurrentTask() {
  if (!tCurrent) std::terminate();
  return *tCurrent;
}

void TaskStateBase::cancel() {
  cancelled = true;
  if (sleepTimer == 0) return;
  executor->cancelTimer(std::exchange(sleepTimer, 0));
  *sleepResult = SleepResult::Cancelled;
  postResume(*this, std::exchange(sleeper, {}));
}

void resumeTask(const std::shared_ptr<TaskStateBase>& st, std::coroutine_handle<> h) {
  Executor& ex = *st->executor;
  if (ex.isStopped() || !st->root) return;
  TaskStateBase* saved = std::exchange(tCurrent, st.get());
  st->running = true;
  h.resume();
  st->running = false;
  tCurrent = saved;
  // Stopped while this frame was on the stack: it has suspended now and is never resumed.
  if (ex.isStopped() && st->root) RuntimeAccess::destroyFrame(ex, *st);
}

void postResume(TaskStateBase& st, std::coroutine_handle<> h) {
  st.executor->post([s = st.shared_from_this(), h] { resumeTask(s, h); });
}

void startRoot(Executor& ex, const std::shared_ptr<TaskStateBase>& st, std::coroutine_handle<> h) {
  st->executor = &ex;
  st->root = h;
  RuntimeAccess::registerTask(ex, st);
  postResume(*st, h);
}

void finishRoot(TaskStateBase& st) {
  st.root = {};
  st.done = true;
  for (auto& w : st.waiters) postResume(*w.task, w.handle);
  st.waiters.clear();
  RuntimeAccess::unregisterTask(*st.executor, st);
}

void JoinAwaiter::await_suspend(std::coroutine_handle<> h) {
  st->waiters.push_back({requireCurrentTask().shared_from_this(), h});
}

bool SleepAwaiter::await_ready() {
  if (!requireCurrentTask().cancelled) return false;
  result = SleepResult::Cancelled;
  return true;
}

void SleepAwaiter::await_suspend(std::coroutine_handle<> h) {
  TaskStateBase& st = requireCurrentTask();
  // cancel() sets Cancelled before posting the resume; an elapsed timer leaves Elapsed.
  st.sleeper = h;
  st.sleepResult = &result;
  st.sleepTimer = st.executor->scheduleAt(until, [s = st.shared_from_this(), h] {
    s->sleepTimer = 0;
    s->sleeper = {};
    resumeTask(s, h);
  });
}

void YieldAwaiter::await_suspend(std::coroutine_handle<> h) { postResume(requireCurrentTask(), h); }

}  // namespace detail

detail::SleepAwaiter sleepFor(Duration d) {
  Executor* ex = currentExecutor();
  if (!ex) std::terminate();
  return {ex->now() + d};
}

bool isCancelled() {
  auto* t = detail::currentTask();
  return t && t->cancelled;
}

}  // namespace vimbo::async
