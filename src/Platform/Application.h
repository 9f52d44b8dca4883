#pragma once
// The application object: activation policy, activation, the event being dispatched, the key
// window and the delegate callbacks.

#include <cstdint>
#include <optional>

#include "Platform/Events.h"
#include "Platform/Windows.h"
#include "Platform/Workspace.h"

namespace vimbo::platform {

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() {}
  virtual void applicationWillTerminate() {}
  virtual void applicationDidResignActive() {}
  // Re-opening (e.g. launched again while running); true lets the default handling run.
  virtual bool applicationShouldHandleReopen(bool /*hasVisibleWindows*/) { return true; }
};

class Application {
 public:
  virtual ~Application() = default;

  virtual int32_t processIdentifier() const = 0;
  virtual ActivationPolicy activationPolicy() const = 0;
  virtual bool setActivationPolicy(ActivationPolicy policy) = 0;
  virtual void activate(bool ignoringOtherApps) = 0;
  virtual bool isActive() const = 0;

  // The event being dispatched, while an action or monitor runs.
  virtual std::optional<Event> currentEvent() const = 0;

  virtual WindowHandle keyWindow() const = 0;
  virtual void setKeyWindow(WindowHandle window) = 0;

  virtual void setDelegate(ApplicationDelegate* delegate) = 0;
  virtual void terminate() = 0;
};

}  // namespace vimbo::platform
