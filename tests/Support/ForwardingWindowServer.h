#pragma once
// A window server that passes every call on to another (the simulated one): a test's decorator
// derives from it and overrides only the calls it counts.

#include <cstdint>
#include <optional>
#include <vector>

#include "Platform/WindowServer.h"

namespace vimbo::test_support {

class ForwardingWindowServer : public platform::WindowServer {
 public:
  explicit ForwardingWindowServer(platform::WindowServer& inner) : inner_(inner) {}
  std::optional<std::vector<platform::WindowInfo>> copyWindowList(platform::WindowListOption option, uint32_t relative) override {
    return inner_.copyWindowList(option, relative);
  }
  int windowLevel(platform::WindowLevelKey key) const override { return inner_.windowLevel(key); }
  std::optional<uint32_t> windowNumberAtPoint(Point point) override { return inner_.windowNumberAtPoint(point); }
  platform::ImageRef createWindowImage(uint32_t id, uint32_t options) override { return inner_.createWindowImage(id, options); }
  platform::ImageRef createImageFromArray(Rect rect, const std::vector<uint32_t>& ids, uint32_t options) override {
    return inner_.createImageFromArray(rect, ids, options);
  }
  int32_t mainConnectionID() override { return inner_.mainConnectionID(); }
  platform::OnScreenWindowCount getOnScreenWindowCount(int32_t c, int32_t t) override { return inner_.getOnScreenWindowCount(c, t); }
  bool isScreenRectBridgeAvailable() const override { return inner_.isScreenRectBridgeAvailable(); }
  int32_t bridgeMainConnectionID() override { return inner_.bridgeMainConnectionID(); }
  platform::ScreenRectResult getScreenRectForWindow(int32_t c, uint32_t id) override { return inner_.getScreenRectForWindow(c, id); }

 private:
  platform::WindowServer& inner_;
};

}  // namespace vimbo::test_support
