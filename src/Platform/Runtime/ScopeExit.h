#pragma once
// Runs a clean-up when the scope ends, also when a task frame is destroyed at quit.

#include <functional>
#include <utility>

namespace vimbo::async {

class ScopeExit {
 public:
  explicit ScopeExit(std::function<void()> fn) : fn_(std::move(fn)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() {
    if (fn_) std::exchange(fn_, nullptr)();
  }
  // Disarms the clean-up.
  void release() { fn_ = nullptr; }

 private:
  std::function<void()> fn_;
};

}  // namespace vimbo::async
