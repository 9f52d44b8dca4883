#pragma once
// TEMP: stand-ins for the runtime and foundation pieces that land separately; deleted once the
// real headers are merged.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vimbo::async {

class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& o) noexcept : cancel_(std::exchange(o.cancel_, nullptr)) {}
  Subscription& operator=(Subscription&& o) noexcept {
    if (this != &o) { reset(); cancel_ = std::exchange(o.cancel_, nullptr); }
    return *this;
  }
  ~Subscription() { reset(); }
  void reset() { if (cancel_) std::exchange(cancel_, nullptr)(); }

 private:
  std::function<void()> cancel_;
};

template <class T>
class Property {
 public:
  Property() = default;
  explicit Property(T v) : value_(std::move(v)) {}
  const T& get() const { return value_; }
  void set(T v) {
    auto subs = *subs_;
    for (auto& [id, fn] : subs) fn(v);
    value_ = std::move(v);
  }
  Subscription subscribe(std::function<void(const T&)> fn) {
    auto id = next_++;
    (*subs_)[id] = std::move(fn);
    std::weak_ptr<std::map<int, std::function<void(const T&)>>> weak = subs_;
    return Subscription([weak, id] { if (auto s = weak.lock()) s->erase(id); });
  }

 private:
  T value_{};
  std::shared_ptr<std::map<int, std::function<void(const T&)>>> subs_ =
      std::make_shared<std::map<int, std::function<void(const T&)>>>();
  int next_ = 0;
};

}  // namespace vimbo::async

namespace vimbo::platform {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

class LoginItem {
 public:
  virtual ~LoginItem() = default;
  virtual std::optional<std::string> registerItem() = 0;
  virtual std::optional<std::string> unregisterItem() = 0;
  virtual LoginItemStatus status() const = 0;
};

class ScreenCaptureAccess {
 public:
  virtual ~ScreenCaptureAccess() = default;
  virtual bool preflight() const = 0;
  virtual bool request() = 0;
};

}  // namespace vimbo::platform
