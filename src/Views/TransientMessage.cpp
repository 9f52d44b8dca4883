#include "Views/TransientMessage.h"

namespace vimbo {

TransientMessage::TransientMessage(async::Executor& executor, async::Duration lifetime)
    : executor_(executor), lifetime_(lifetime), state_(std::make_shared<State>()) {}

TransientMessage::~TransientMessage() { state_->onChange = nullptr; }

void TransientMessage::show(std::string text) {
  std::uint64_t token = ++state_->token;
  state_->text = std::move(text);
  if (auto notify = state_->onChange) notify(state_->text);
  executor_.scheduleAfter(lifetime_, [weak = std::weak_ptr<State>(state_), token] {
    auto state = weak.lock();
    if (!state || state->token != token || !state->text) return;
    state->text.reset();
    if (auto notify = state->onChange) notify(state->text);
  });
}

const std::optional<std::string>& TransientMessage::text() const { return state_->text; }

std::uint64_t TransientMessage::token() const { return state_->token; }

void TransientMessage::setOnChange(std::function<void(const std::optional<std::string>&)> onChange) {
  state_->onChange = std::move(onChange);
}

}  // namespace vimbo
