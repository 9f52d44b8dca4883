#pragma once
// Everything the system asks of the operating system, handed to it as one bundle of references.

#include "Platform/Accessibility.h"
#include "Platform/Application.h"
#include "Platform/EventMonitors.h"
#include "Platform/Events.h"
#include "Platform/HotKeys.h"
#include "Platform/InputHold.h"
#include "Platform/ScreenCapture.h"
#include "Platform/Screens.h"
#include "Platform/StatusBar.h"
#include "Platform/WindowServer.h"
#include "Platform/Windows.h"
#include "Platform/Workspace.h"

namespace vimbo::async {
class Executor;
}

namespace vimbo::platform {

class UserDefaults;         // Platform/Foundation/UserDefaults.h
class ScreenCaptureAccess;  // Platform/Foundation/ScreenCaptureAccess.h
class LoginItem;            // Platform/Foundation/LoginItem.h

struct Platform {
  async::Executor& executor;
  UserDefaults& defaults;
  WindowServer& windowServer;
  ScreenCaptureAccess& screenCaptureAccess;
  ScreenCaptureKit& screenCapture;
  Accessibility& accessibility;
  Events& events;
  InputHold& inputHold;
  StatusBar& statusBar;
  Screens& screens;
  Workspace& workspace;
  EventMonitors& eventMonitors;
  HotKeys& hotKeys;
  Application& application;
  LoginItem& loginItem;
  OwnWindows& windows;
};

}  // namespace vimbo::platform
