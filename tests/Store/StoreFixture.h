#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "Store/MenuBarStore.h"

namespace vimbo::testing {

class StoreTest : public ::testing::Test {
 protected:
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  platform::InMemoryLoginItem login;
  platform::InMemoryScreenCaptureAccess capture{false};

  std::unique_ptr<MenuBarStore> makeStore() { return std::make_unique<MenuBarStore>(*defaults, login, capture); }

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
