#pragma once
// Coroutine tasks on the main loop. Rules:
// - Task<T> is lazy. `co_await std::move(task)` starts it at once and runs it inline until its
//   first real suspension; it shares the awaiting task's cancellation. A child that finishes
//   without suspending hands control back by returning, not by a transfer, so a loop of such
//   awaits keeps a flat stack at every optimisation level.
// - spawn() never runs inline: the first resume is posted. Pass a callable returning a Task (not
//   its call) so its captures live in the frame.
// - Cancellation belongs to a spawned task. It does not pass into tasks awaited through join(),
//   offloads or one-shot waits; none of these is interrupted by it.
// - Resumption by others (join, OneShot::resume, a cancelled sleep) is posted: the resumer
//   finishes its turn first.
// - No exception crosses a coroutine: an escaping exception terminates. Failures are values.
// - Awaiting outside a spawned task is a programming error and terminates.
// Keep awaited expressions simple (bind tasks to a named local first).

#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "Platform/Runtime/Executor.h"

namespace vimbo::async {

enum class SleepResult { Elapsed, Cancelled };

template <class T = void>
class Task;

namespace detail {

// One per spawned task: cancellation, completion, waiters and the root frame.
struct TaskStateBase : std::enable_shared_from_this<TaskStateBase> {
  virtual ~TaskStateBase() = default;
  void cancel();

  Executor* executor = nullptr;
  std::uint64_t seq = 0;
  std::coroutine_handle<> root;  // null once finished or destroyed
  bool cancelled = false;
  bool done = false;
  bool running = false;  // on the call stack
  struct Waiter {
    std::shared_ptr<TaskStateBase> task;
    std::coroutine_handle<> handle;
  };
  std::vector<Waiter> waiters;
  // The sleep this task is suspended in, if any.
  TimerId sleepTimer = 0;
  std::coroutine_handle<> sleeper;
  SleepResult* sleepResult = nullptr;
};

template <class T>
struct TaskState : TaskStateBase {
  std::optional<T> result;
};
template <>
struct TaskState<void> : TaskStateBase {};

TaskStateBase* currentTask();
TaskStateBase& requireCurrentTask();
// Resumes h (a frame of task st) as a turn of st: sets the current task for isCancelled().
void resumeTask(const std::shared_ptr<TaskStateBase>& st, std::coroutine_handle<> h);
// Posts such a resume on st's executor.
void postResume(TaskStateBase& st, std::coroutine_handle<> h);
void finishRoot(TaskStateBase& st);
void startRoot(Executor& ex, const std::shared_ptr<TaskStateBase>& st, std::coroutine_handle<> h);

struct PromiseBase {
  std::coroutine_handle<> continuation;
  TaskStateBase* root = nullptr;  // set for the outermost frame of a spawned task
  // The awaiter is still inside its first resume of this frame; finishing then just returns.
  bool startedInline = false;
  bool finishedInline = false;
  std::suspend_always initial_suspend() noexcept { return {}; }
  void unhandled_exception() noexcept { std::terminate(); }
};

struct FinalAwaiter {
  bool await_ready() noexcept { return false; }
  template <class P>
  std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
    PromiseBase& p = h.promise();
    if (p.continuation) {
      if (!p.startedInline) return p.continuation;
      p.finishedInline = true;
      return std::noop_coroutine();
    }
    if (TaskStateBase* st = p.root) {
      if constexpr (!std::is_void_v<typename P::value_type>) {
        static_cast<TaskState<typename P::value_type>*>(st)->result = std::move(h.promise().value);
      }
      h.destroy();
      finishRoot(*st);
    }
    return std::noop_coroutine();
  }
  void await_resume() noexcept {}
};

template <class T>
struct Promise : PromiseBase {
  using value_type = T;
  std::optional<T> value;
  Task<T> get_return_object() noexcept;
  FinalAwaiter final_suspend() noexcept { return {}; }
  template <class U = T>
  void return_value(U&& v) {
    value.emplace(std::forward<U>(v));
  }
};

template <>
struct Promise<void> : PromiseBase {
  using value_type = void;
  Task<void> get_return_object() noexcept;
  FinalAwaiter final_suspend() noexcept { return {}; }
  void return_void() noexcept {}
};

}  // namespace detail

template <class T>
class [[nodiscard]] Task {
 public:
  using promise_type = detail::Promise<T>;
  using Handle = std::coroutine_handle<promise_type>;

  Task() = default;
  explicit Task(Handle h) : h_(h) {}
  Task(Task&& o) noexcept : h_(std::exchange(o.h_, {})) {}
  Task& operator=(Task&& o) noexcept {
    if (this != &o) {
      if (h_) h_.destroy();
      h_ = std::exchange(o.h_, {});
    }
    return *this;
  }
  ~Task() {
    if (h_) h_.destroy();
  }
  explicit operator bool() const { return bool(h_); }
  Handle release() { return std::exchange(h_, {}); }

  struct Awaiter {
    Handle child;
    bool await_ready() noexcept { return false; }
    // Runs the child here; false (do not suspend) when it already finished. Only a child that
    // really suspended resumes the parent later, from its final suspension.
    bool await_suspend(std::coroutine_handle<> parent) noexcept {
      auto& p = child.promise();
      p.continuation = parent;
      p.startedInline = true;
      child.resume();
      if (p.finishedInline) return false;
      p.startedInline = false;
      return true;
    }
    T await_resume() {
      if constexpr (!std::is_void_v<T>) return std::move(*child.promise().value);
    }
  };
  Awaiter operator co_await() && noexcept { return Awaiter{h_}; }

 private:
  Handle h_;
};

namespace detail {
template <class T>
Task<T> Promise<T>::get_return_object() noexcept {
  return Task<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}
inline Task<void> Promise<void>::get_return_object() noexcept {
  return Task<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}

// Completes when the task is done; never interrupted by the awaiter's cancellation.
struct JoinAwaiter {
  TaskStateBase* st;  // kept alive by the handle the caller joins through
  bool await_ready() const noexcept { return !st || st->done; }
  void await_suspend(std::coroutine_handle<> h);
  void await_resume() const noexcept {}
};
}  // namespace detail

// Copyable shared state of a spawned task; an empty handle behaves as a finished task.
template <class T = void>
class TaskHandle {
 public:
  TaskHandle() = default;
  explicit TaskHandle(std::shared_ptr<detail::TaskState<T>> st) : st_(std::move(st)) {}
  explicit operator bool() const { return bool(st_); }
  // Sets the flag and wakes the task if it sleeps.
  void cancel() const {
    if (st_) st_->cancel();
  }
  bool isCancelled() const { return st_ && st_->cancelled; }
  bool isDone() const { return st_ && st_->done; }
  // Awaitable: completes however the task ends (normally or cancelled); several waiters may
  // wait; each is resumed by a post. Already done: completes without suspending. Read result()
  // afterwards.
  detail::JoinAwaiter join() const { return {st_.get()}; }
  template <class U = T>
    requires(!std::is_void_v<U>)
  const std::optional<U>& result() const {
    static const std::optional<U> none;
    return st_ ? st_->result : none;
  }

 private:
  std::shared_ptr<detail::TaskState<T>> st_;
};

template <class T>
TaskHandle<T> spawn(Executor& ex, Task<T> task) {
  auto st = std::make_shared<detail::TaskState<T>>();
  if (!task || ex.isStopped()) return TaskHandle<T>(st);  // never starts; the frame dies here
  auto h = task.release();
  h.promise().root = st.get();
  detail::startRoot(ex, st, h);
  return TaskHandle<T>(st);
}

namespace detail {
template <class F>
auto ownedCall(F f) -> std::invoke_result_t<F&> {
  auto inner = f();
  co_return co_await std::move(inner);
}
}  // namespace detail

// Spawns f(); f (with its captures) lives in the task's frame.
template <class F>
  requires std::is_invocable_v<F&>
auto spawn(Executor& ex, F f) {
  auto t = detail::ownedCall(std::move(f));
  return spawn(ex, std::move(t));
}

namespace detail {
struct SleepAwaiter {
  TimePoint until;
  SleepResult result = SleepResult::Elapsed;
  bool await_ready();
  void await_suspend(std::coroutine_handle<> h);
  SleepResult await_resume() const noexcept { return result; }
};
struct YieldAwaiter {
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h);
  void await_resume() const noexcept {}
};
}  // namespace detail

// Cancelled on entry: returns Cancelled at once without suspending. Cancelled while asleep: the
// timer is withdrawn and the resume posted with Cancelled.
inline detail::SleepAwaiter sleepUntil(TimePoint t) { return {t}; }
detail::SleepAwaiter sleepFor(Duration d);
// Re-posts the current task: it continues on a later turn.
inline detail::YieldAwaiter yieldNow() { return {}; }
// The current task's flag; false outside a task.
bool isCancelled();

// A continuation resumed once, possibly from outside any task. resume() posts the waiter; a
// resume before the wait lets the wait complete without suspending; later resumes are ignored.
// Copies share one state.
template <class T = void>
class OneShot {
  struct State {
    std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
    std::shared_ptr<detail::TaskStateBase> waiter;
    std::coroutine_handle<> handle;
    bool resumed = false;
  };

 public:
  struct Awaiter {
    State* s;
    bool await_ready() const noexcept { return s->resumed; }
    void await_suspend(std::coroutine_handle<> h) {
      s->waiter = detail::requireCurrentTask().shared_from_this();
      s->handle = h;
    }
    T await_resume() {
      if constexpr (!std::is_void_v<T>) return std::move(*s->value);
    }
  };

  Awaiter wait() { return {s_.get()}; }
  template <class... U>
  void resume(U&&... v) {
    if (s_->resumed) return;
    s_->resumed = true;
    if constexpr (!std::is_void_v<T>) s_->value.emplace(std::forward<U>(v)...);
    if (auto w = std::move(s_->waiter)) detail::postResume(*w, std::exchange(s_->handle, {}));
  }
  bool isResumed() const { return s_->resumed; }

 private:
  std::shared_ptr<State> s_ = std::make_shared<State>();
};

}  // namespace vimbo::async
