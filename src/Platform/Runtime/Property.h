#pragma once
// Observable values, main thread only. set() emits to subscribers BEFORE storing: a synchronous
// subscriber sees the new value while get() still returns the old one. Every set emits, changed or
// not. Queued delivery posts a copy of each emitted value (the current one first) to later turns.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "Platform/Runtime/Executor.h"

namespace vimbo::async {

// Ends its subscription when destroyed or cancelled; movable.
class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& o) noexcept : cancel_(std::exchange(o.cancel_, nullptr)) {}
  Subscription& operator=(Subscription&& o) noexcept {
    if (this != &o) {
      cancel();
      cancel_ = std::exchange(o.cancel_, nullptr);
    }
    return *this;
  }
  ~Subscription() { cancel(); }
  void cancel() {
    if (cancel_) std::exchange(cancel_, nullptr)();
  }
  explicit operator bool() const { return bool(cancel_); }

 private:
  std::function<void()> cancel_;
};

template <class T>
class Property {
  struct Slot {
    std::function<void(const T&)> fn;
    bool active = true;
  };
  using Slots = std::vector<std::shared_ptr<Slot>>;

 public:
  Property() : value_() {}
  explicit Property(T initial) : value_(std::move(initial)) {}
  Property(const Property&) = delete;
  Property& operator=(const Property&) = delete;

  const T& get() const { return value_; }

  void set(T v) {
    auto snapshot = *slots_;  // subscribers may come and go during delivery
    for (auto& s : snapshot) {
      if (s->active) s->fn(v);
    }
    value_ = std::move(v);
  }

  // Called synchronously on every set, with the new value, before it is stored.
  Subscription subscribe(std::function<void(const T&)> fn) {
    auto slot = std::make_shared<Slot>(Slot{std::move(fn)});
    slots_->push_back(slot);
    return Subscription([weak = std::weak_ptr<Slots>(slots_), slot] {
      slot->active = false;
      if (auto slots = weak.lock()) std::erase(*slots, slot);
    });
  }

  // Delivers the current value on a later turn, then every emitted value on later turns, in order.
  Subscription subscribeQueued(Executor& ex, std::function<void(const T&)> fn) {
    auto alive = std::make_shared<bool>(true);
    auto deliver = [&ex, alive, fn = std::move(fn)](const T& v) {
      ex.post([alive, fn, v] {
        if (*alive) fn(v);
      });
    };
    deliver(value_);
    Subscription inner = subscribe(deliver);
    auto held = std::make_shared<Subscription>(std::move(inner));
    return Subscription([alive, held] {
      *alive = false;
      held->cancel();
    });
  }

 private:
  T value_;
  std::shared_ptr<Slots> slots_ = std::make_shared<Slots>();
};

// Delivers the current pair on a later turn, then the latest pair after each emission of either
// property, each on a later turn.
template <class A, class B, class F>
Subscription combineLatestQueued(Executor& ex, Property<A>& a, Property<B>& b, F fn) {
  struct State {
    A a;
    B b;
    bool alive = true;
    std::function<void(const A&, const B&)> fn;
  };
  auto st = std::make_shared<State>(State{a.get(), b.get(), true, std::move(fn)});
  auto deliver = [&ex, weak = std::weak_ptr<State>(st)] {
    auto s = weak.lock();
    if (!s) return;
    ex.post([s, a = s->a, b = s->b] {
      if (s->alive) s->fn(a, b);
    });
  };
  deliver();
  auto subA = std::make_shared<Subscription>(a.subscribe([st, deliver](const A& v) {
    st->a = v;
    deliver();
  }));
  auto subB = std::make_shared<Subscription>(b.subscribe([st, deliver](const B& v) {
    st->b = v;
    deliver();
  }));
  return Subscription([st, subA, subB] {
    st->alive = false;
    subA->cancel();
    subB->cancel();
  });
}

}  // namespace vimbo::async
