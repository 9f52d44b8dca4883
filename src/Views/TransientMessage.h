#pragma once
// A short-lived message such as a refusal toast. Each show takes a new token and starts its own
// timer; when a timer runs out, only the latest token hides the message, so a second message
// within the lifetime replaces the first at once and stays for the full lifetime again.
// Timers run on the runtime's executor, so the virtual clock drives them in tests. Main thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Runtime/Executor.h"

namespace vimbo {

class TransientMessage {
 public:
  static constexpr async::Duration defaultLifetime = std::chrono::milliseconds(1800);

  // The executor outlives the message (it lives for the process).
  explicit TransientMessage(async::Executor& executor, async::Duration lifetime = defaultLifetime);
  TransientMessage(const TransientMessage&) = delete;
  TransientMessage& operator=(const TransientMessage&) = delete;
  // Pending timers find the message gone and do nothing.
  ~TransientMessage();

  void show(std::string text);
  const std::optional<std::string>& text() const;
  std::uint64_t token() const;

  // Called after every change of text(): a new message, or the hide.
  void setOnChange(std::function<void(const std::optional<std::string>&)> onChange);

 private:
  struct State {
    std::optional<std::string> text;
    std::uint64_t token = 0;
    std::function<void(const std::optional<std::string>&)> onChange;
  };
  async::Executor& executor_;
  async::Duration lifetime_;
  std::shared_ptr<State> state_;
};

}  // namespace vimbo
