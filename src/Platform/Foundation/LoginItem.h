#pragma once
// The main application's login item, and an in-memory stand-in with switches for the failures a
// caller must survive.

#include <optional>
#include <string>

namespace vimbo::platform {

enum class LoginItemStatus { enabled, notRegistered, requiresApproval, notFound };

class LoginItem {
 public:
  virtual ~LoginItem() = default;
  // Each returns none on success, or a description of the failure.
  virtual std::optional<std::string> registerItem() = 0;
  virtual std::optional<std::string> unregisterItem() = 0;
  virtual LoginItemStatus status() const = 0;
};

class InMemoryLoginItem : public LoginItem {
 public:
  explicit InMemoryLoginItem(LoginItemStatus initial = LoginItemStatus::notRegistered) : status_(initial) {}

  // Failure texts read as a Chinese system words them, since callers show them to the user as they are.
  std::optional<std::string> registerItem() override {
    ++registerCount_;
    if (status_ == LoginItemStatus::notFound) return "找不到登录项。";
    if (failRegister_) return "无法完成该操作。";
    // Registering an enabled item again succeeds and changes nothing.
    if (status_ != LoginItemStatus::enabled)
      status_ = requiresApproval_ ? LoginItemStatus::requiresApproval : LoginItemStatus::enabled;
    return std::nullopt;
  }

  std::optional<std::string> unregisterItem() override {
    ++unregisterCount_;
    if (status_ == LoginItemStatus::notFound) return "找不到登录项。";
    if (status_ == LoginItemStatus::notRegistered) return "登录项尚未注册。";
    if (failUnregister_) return "无法完成该操作。";
    status_ = LoginItemStatus::notRegistered;
    return std::nullopt;
  }

  LoginItemStatus status() const override { return status_; }

  // Switches.
  void setStatus(LoginItemStatus s) { status_ = s; }
  void setFailRegister(bool fail) { failRegister_ = fail; }
  void setFailUnregister(bool fail) { failUnregister_ = fail; }
  // Registration succeeds but the user still has to approve the item.
  void setRequiresApproval(bool required) { requiresApproval_ = required; }

  int registerCount() const { return registerCount_; }
  int unregisterCount() const { return unregisterCount_; }

 private:
  LoginItemStatus status_;
  bool failRegister_ = false;
  bool failUnregister_ = false;
  bool requiresApproval_ = false;
  int registerCount_ = 0;
  int unregisterCount_ = 0;
};

}  // namespace vimbo::platform
