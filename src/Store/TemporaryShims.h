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

using Data = std::vector<std::uint8_t>;
using DefaultsValue = std::variant<bool, std::int64_t, double, std::string, Data>;

class UserDefaults {
 public:
  static std::shared_ptr<UserDefaults> inMemory() { return std::make_shared<UserDefaults>(); }
  std::optional<DefaultsValue> object(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  bool hasObject(const std::string& key) const { return values_.contains(key); }
  std::optional<std::string> string(const std::string& key) const {
    auto v = object(key);
    if (v && std::holds_alternative<std::string>(*v)) return std::get<std::string>(*v);
    return std::nullopt;
  }
  std::optional<Data> data(const std::string& key) const {
    auto v = object(key);
    if (v && std::holds_alternative<Data>(*v)) return std::get<Data>(*v);
    return std::nullopt;
  }
  std::optional<bool> boolean(const std::string& key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto* b = std::get_if<bool>(&*v)) return *b;
    if (auto* i = std::get_if<std::int64_t>(&*v); i && (*i == 0 || *i == 1)) return *i == 1;
    if (auto* d = std::get_if<double>(&*v); d && (*d == 0 || *d == 1)) return *d == 1;
    return std::nullopt;
  }
  std::optional<double> number(const std::string& key) const {
    auto v = object(key);
    if (!v) return std::nullopt;
    if (auto* b = std::get_if<bool>(&*v)) return *b ? 1.0 : 0.0;
    if (auto* i = std::get_if<std::int64_t>(&*v)) return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&*v)) return *d;
    return std::nullopt;
  }
  void set(const std::string& key, DefaultsValue value) { values_[key] = std::move(value); }
  void removeObject(const std::string& key) { values_.erase(key); }

 private:
  std::map<std::string, DefaultsValue> values_;
};

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
  virtual bool preflight() = 0;
  virtual bool request() = 0;
};

namespace text {
std::string trimmingWhitespaceAndNewlines(std::string_view);
bool localizedCaseInsensitiveContains(std::string_view haystack, std::string_view needle);
}  // namespace text

}  // namespace vimbo::platform
