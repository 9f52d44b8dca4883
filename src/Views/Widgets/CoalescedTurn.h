#pragma once
// A view's update on a later turn of the runtime: however many changes ask for it before then, it
// runs once, and never after the view that holds this is gone.

#include <functional>
#include <memory>
#include <utility>

#include "Platform/Runtime/Executor.h"

namespace vimbo::views {

class CoalescedTurn {
 public:
  // The executor outlives this.
  CoalescedTurn(async::Executor& executor, std::function<void()> run)
      : executor_(executor), state_(std::make_shared<State>(std::move(run))) {}
  CoalescedTurn(const CoalescedTurn&) = delete;
  CoalescedTurn& operator=(const CoalescedTurn&) = delete;

  void request() {
    if (state_->pending) return;
    state_->pending = true;
    executor_.post([weak = std::weak_ptr<State>(state_)] {
      auto state = weak.lock();
      if (!state) return;
      state->pending = false;
      state->run();
    });
  }

 private:
  struct State {
    explicit State(std::function<void()> f) : run(std::move(f)) {}
    std::function<void()> run;
    bool pending = false;
  };

  async::Executor& executor_;
  std::shared_ptr<State> state_;
};

}  // namespace vimbo::views
