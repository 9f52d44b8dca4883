#pragma once
// Worker threads. Worker code must not touch main-thread state; results come back by a post.
// - offload(): f runs on a worker while the main loop keeps turning; the awaiting task resumes by
//   a post. It counts as external work, so virtual time stands still until f returns. The
//   awaiter's cancellation does not interrupt it.
// - parallelFor(): blocking fan-out; the calling (main) thread runs no turns until every
//   iteration has returned.
// - chargeVirtualCost(): simulated time an iteration (or offloaded call) spends, e.g. a time-out.
//   With a virtual clock a fan-out lasts as long as its costliest iteration (each iteration sums
//   its own charges), applied once when it completes; an offload resumes its awaiter at its start
//   time plus its charges. No effect with a real clock or outside workers.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

#include "Platform/Runtime/Task.h"

namespace vimbo::async {

void chargeVirtualCost(Duration d);

void parallelFor(Executor& ex, std::size_t n, std::function<void(std::size_t)> fn);

namespace detail {
struct OffloadAwaiter {
  Executor* ex;
  std::function<void()>* work;  // moved onto the worker
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h);
  void await_resume() const noexcept {}
};

// Shared by the awaiting frame and the worker, so either may go first.
template <class F, class R>
struct OffloadBox {
  explicit OffloadBox(F fn) : f(std::move(fn)) {}
  F f;
  std::optional<std::conditional_t<std::is_void_v<R>, bool, R>> result;
  void run() {
    if constexpr (std::is_void_v<R>) {
      f();
      result.emplace(true);
    } else {
      result.emplace(f());
    }
  }
};
}  // namespace detail

template <class F>
auto offload(Executor& ex, F f) -> Task<std::invoke_result_t<F&>> {
  using R = std::invoke_result_t<F&>;
  auto box = std::make_shared<detail::OffloadBox<F, R>>(std::move(f));
  std::function<void()> work = [box] { box->run(); };
  detail::OffloadAwaiter awaiter{&ex, &work};
  co_await awaiter;
  if constexpr (!std::is_void_v<R>) co_return std::move(*box->result);
}

}  // namespace vimbo::async
