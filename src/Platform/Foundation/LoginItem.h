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

  std::optional<std::string> registerItem() override {
    ++registerCount_;
    if (status_ == LoginItemStatus::notFound) return "The login item could not be found.";
    if (failRegister_) return "The operation could not be completed.";
    // Registering an enabled item again succeeds and changes nothing.
    if (status_ != LoginItemStatus::enabled)
      status_ = requiresApproval_ ? LoginItemStatus::requiresApproval : LoginItemStatus::enabled;
    return std::nullopt;
  }

  std::optional<std::string> unregisterItem() override {
    ++unregisterCount_;
    if (status_ == LoginItemStatus::notFound) return "The login item could not be found.";
    if (status_ == LoginItemStatus::notRegistered) return "The login item is not registered.";
    if (failUnregister_) return "The operation could not be completed.";
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
