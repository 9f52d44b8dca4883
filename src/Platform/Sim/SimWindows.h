#pragma once
// Our own windows and the popover, served by a simulated world (records in WorldWindows.cpp).

#include <map>
#include <memory>

#include "Platform/Windows.h"
#include "Platform/Sim/World.h"

namespace vimbo::sim {

class SimWindow : public platform::Window {
 public:
  SimWindow(World& world, platform::WindowConfiguration configuration, bool popover = false);
  // Like the real window server: a window nobody holds any more is gone.
  ~SimWindow() override;

  platform::WindowHandle handle() const override { return handle_; }
  uint32_t windowNumber() const override;
  const platform::WindowConfiguration& configuration() const override { return configuration_; }
  void setContent(platform::ViewContentRef content) override;
  platform::ViewContentRef content() const override;
  Rect frame() const override;
  Size contentSize() const override;
  void setContentSize(Size size) override;
  void setContentMinSize(Size size) override;
  void setContentMaxSize(Size size) override;
  Size contentMinSize() const override;
  Size contentMaxSize() const override;
  void setFrameOrigin(Point origin) override;
  void center() override;
  bool isVisible() const override;
  bool isKeyWindow() const override;
  void makeKeyAndOrderFront() override;
  void makeKey() override;
  void orderFront() override;
  void orderOut() override;
  void performClose() override;
  void setDelegate(std::weak_ptr<platform::WindowDelegate> delegate) override;

 private:
  World* world() const { return alive_.lock() ? &world_ : nullptr; }
  std::optional<OwnWindowView> view() const;

  World& world_;
  std::weak_ptr<bool> alive_;
  platform::WindowHandle handle_ = 0;
  platform::WindowConfiguration configuration_;
};

// The windows handed out, by handle, for OwnWindows::window (shared with the popovers, which may
// outlive the facade).
using SimWindowRegistry = std::map<platform::WindowHandle, std::weak_ptr<SimWindow>>;

class SimPopover : public platform::Popover {
 public:
  SimPopover(World& world, std::weak_ptr<SimWindowRegistry> registry);

  void setBehavior(platform::PopoverBehavior behavior) override { behavior_ = behavior; }
  platform::PopoverBehavior behavior() const override { return behavior_; }
  void setAnimates(bool animates) override { animates_ = animates; }
  bool animates() const override { return animates_; }
  void setContentSize(Size size) override;
  Size contentSize() const override { return contentSize_; }
  void setContent(platform::ViewContentRef content) override;
  platform::ViewContentRef content() const override { return content_; }
  void show(Rect relativeTo, platform::StatusBarButton& button, platform::RectEdge preferredEdge) override;
  void performClose() override;
  bool isShown() const override;
  platform::Window* contentWindow() override { return window_.get(); }

 private:
  World& world_;
  std::weak_ptr<bool> alive_;
  std::weak_ptr<SimWindowRegistry> registry_;
  platform::PopoverBehavior behavior_ = platform::PopoverBehavior::applicationDefined;
  bool animates_ = true;
  Size contentSize_;
  platform::ViewContentRef content_;
  std::shared_ptr<SimWindow> window_;
  bool shown_ = false;
};

class SimOwnWindows : public platform::OwnWindows {
 public:
  explicit SimOwnWindows(World& world) : world_(world) {}
  platform::WindowRef makeWindow(platform::WindowConfiguration configuration) override;
  platform::PopoverRef makePopover() override;
  platform::Window* window(platform::WindowHandle handle) override;

 private:
  World& world_;
  std::shared_ptr<SimWindowRegistry> windows_ = std::make_shared<SimWindowRegistry>();
};

}  // namespace vimbo::sim
