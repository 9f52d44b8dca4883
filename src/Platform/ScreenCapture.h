#pragma once
// Stand-ins for the screen-capture framework: shareable content and one-window screenshots.
// Both answer through a completion that is posted to the main executor later (never called
// inline), the way the real framework calls back; a failure is an error value, never a throw.
// The permission checks are the foundation's ScreenCaptureAccess (Platform/Foundation).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "Platform/Foundation/Geometry.h"

namespace vimbo::platform {

class Image;
using ImageRef = std::shared_ptr<const Image>;

struct CaptureError {
  int32_t code = -3801;
  std::string description;
  friend bool operator==(const CaptureError&, const CaptureError&) = default;
};

struct ShareableWindow {
  uint32_t windowID = 0;
  Rect frame;  // window-server coordinates
  int32_t ownerPID = 0;
  std::string title;
  int64_t windowLayer = 0;
  bool isOnScreen = false;
};

struct ShareableContent {
  std::vector<ShareableWindow> windows;
};

struct ScreenshotConfiguration {
  int width = 2;   // pixels
  int height = 2;  // pixels
  bool scalesToFit = true;
  bool showsCursor = false;
  bool bestResolution = true;
};

using ShareableContentResult = std::variant<ShareableContent, CaptureError>;
using ScreenshotResult = std::variant<ImageRef, CaptureError>;

class ScreenCaptureKit {
 public:
  virtual ~ScreenCaptureKit() = default;
  // All windows (desktop windows included, on-screen not required).
  virtual void requestShareableContent(std::function<void(ShareableContentResult)> completion) = 0;
  // One window, rendered at the configured pixel size; may come back blank (fully transparent).
  virtual void captureWindow(uint32_t windowID, ScreenshotConfiguration configuration,
                             std::function<void(ScreenshotResult)> completion) = 0;
};

}  // namespace vimbo::platform
