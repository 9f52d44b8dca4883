#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Store/MenuBarStore.h"

namespace vimbo::testing {

class FakeLoginItem : public platform::LoginItem {
 public:
  platform::LoginItemStatus current = platform::LoginItemStatus::notRegistered;
  std::optional<std::string> failure;  // returned by the next register/unregister, status kept
  std::optional<std::string> registerItem() override { return change(platform::LoginItemStatus::enabled); }
  std::optional<std::string> unregisterItem() override { return change(platform::LoginItemStatus::notRegistered); }
  platform::LoginItemStatus status() const override { return current; }

 private:
  std::optional<std::string> change(platform::LoginItemStatus to) {
    if (failure) return failure;
    current = to;
    return std::nullopt;
  }
};

class FakeScreenCapture : public platform::ScreenCaptureAccess {
 public:
  bool granted = false;
  bool preflight() const override { return granted; }
  bool request() override { return granted; }
};

class StoreTest : public ::testing::Test {
 protected:
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  std::shared_ptr<FakeLoginItem> login = std::make_shared<FakeLoginItem>();
  FakeScreenCapture capture;

  std::unique_ptr<MenuBarStore> makeStore() { return std::make_unique<MenuBarStore>(*defaults, *login, capture); }

  void storeText(const std::string& key, const std::string& text) {
    defaults->set(key, platform::Data(text.begin(), text.end()));
  }
  std::optional<std::string> storedText(const std::string& key) const {
    auto data = defaults->data(key);
    if (!data) return std::nullopt;
    return std::string(data->begin(), data->end());
  }
};

}  // namespace vimbo::testing
