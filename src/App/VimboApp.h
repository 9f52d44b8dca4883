#pragma once
// The application entry: it creates the one controller, which the host installs as the
// application delegate and launches. The settings scene has no counterpart here: the settings
// window the controller opens is the only settings surface.

#include <memory>

#include "App/AppDelegate.h"

namespace vimbo {

class VimboApp {
 public:
  VimboApp(platform::Platform& platform, std::shared_ptr<platform::UserDefaults> defaults, ViewFactory& viewFactory)
      : appDelegate(std::make_shared<AppDelegate>(platform, std::move(defaults), viewFactory)) {}

  std::shared_ptr<AppDelegate> appDelegate;
};

}  // namespace vimbo
