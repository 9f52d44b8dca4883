#pragma once
// The window server as the system sees it: the window list (entries are loosely typed dictionaries,
// so that a missing or mistyped field can be met and skipped), window levels, window pictures,
// and the private on-screen count and screen-rect calls.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Platform/Foundation/Geometry.h"

namespace vimbo::platform {

class Image;
using ImageRef = std::shared_ptr<const Image>;

// Keys of a window-list entry, as the window server names them.
namespace windowkey {
inline constexpr const char* number = "kCGWindowNumber";
inline constexpr const char* layer = "kCGWindowLayer";
inline constexpr const char* ownerPID = "kCGWindowOwnerPID";
inline constexpr const char* ownerName = "kCGWindowOwnerName";
inline constexpr const char* name = "kCGWindowName";
inline constexpr const char* bounds = "kCGWindowBounds";
inline constexpr const char* isOnscreen = "kCGWindowIsOnscreen";
}  // namespace windowkey

// A bounds entry that is present but does not convert to a rectangle.
struct UnreadableBounds {
  friend bool operator==(const UnreadableBounds&, const UnreadableBounds&) = default;
};

using WindowValue = std::variant<bool, int64_t, double, std::string, Rect, UnreadableBounds>;

// One entry of the window list. Accessors answer only for a value of the asked type; a missing or
// mistyped field gives none, as a cast of the real dictionary value would.
struct WindowInfo {
  std::map<std::string, WindowValue> fields;

  const WindowValue* find(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? nullptr : &it->second;
  }
  bool has(const std::string& key) const { return find(key) != nullptr; }
  // Integers; a double counts when it is integral. Booleans are not numbers here.
  std::optional<int64_t> integer(const std::string& key) const {
    const WindowValue* v = find(key);
    if (!v) return std::nullopt;
    if (auto i = std::get_if<int64_t>(v)) return *i;
    if (auto d = std::get_if<double>(v)) {
      if (*d == static_cast<double>(static_cast<int64_t>(*d)) && *d > -9.2e18 && *d < 9.2e18) return static_cast<int64_t>(*d);
    }
    return std::nullopt;
  }
  std::optional<uint32_t> uint32(const std::string& key) const {
    auto i = integer(key);
    if (!i || *i < 0 || *i > 0xFFFFFFFFLL) return std::nullopt;
    return static_cast<uint32_t>(*i);
  }
  std::optional<int32_t> int32(const std::string& key) const {
    auto i = integer(key);
    if (!i || *i < INT32_MIN || *i > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*i);
  }
  std::optional<std::string> string(const std::string& key) const {
    const WindowValue* v = find(key);
    if (auto s = v ? std::get_if<std::string>(v) : nullptr) return *s;
    return std::nullopt;
  }
  std::optional<bool> boolean(const std::string& key) const {
    const WindowValue* v = find(key);
    if (auto b = v ? std::get_if<bool>(v) : nullptr) return *b;
    return std::nullopt;
  }
  // The rectangle of a bounds dictionary (window-server coordinates, origin top left).
  std::optional<Rect> rect(const std::string& key) const {
    const WindowValue* v = find(key);
    if (auto r = v ? std::get_if<Rect>(v) : nullptr) return *r;
    return std::nullopt;
  }

  std::optional<uint32_t> number() const { return uint32(windowkey::number); }
  std::optional<int64_t> layer() const { return integer(windowkey::layer); }
  std::optional<int32_t> ownerPID() const { return int32(windowkey::ownerPID); }
  std::optional<std::string> ownerName() const { return string(windowkey::ownerName); }
  std::optional<std::string> name() const { return string(windowkey::name); }
  std::optional<Rect> bounds() const { return rect(windowkey::bounds); }
  std::optional<bool> isOnscreen() const { return boolean(windowkey::isOnscreen); }
};

enum class WindowListOption {
  All,              // every window, on screen or not, front to back
  OnScreenOnly,     // windows ordered in
  IncludingWindow,  // just the given window
};

enum class WindowLevelKey { MainMenu, Status, PopUpMenu };

namespace windowlevel {
inline constexpr int normal = 0;
inline constexpr int floating = 3;
inline constexpr int mainMenu = 24;
inline constexpr int status = 25;
inline constexpr int popUpMenu = 101;
inline constexpr int popUpPanel = 23;  // raw level of some pop-up panels
}  // namespace windowlevel

// Image options of window pictures.
namespace windowimage {
inline constexpr uint32_t boundsIgnoreFraming = 1u << 0;
inline constexpr uint32_t bestResolution = 1u << 3;
}  // namespace windowimage

struct OnScreenWindowCount {
  int32_t status = 0;  // 0 is success
  int32_t count = 0;
};

struct ScreenRectResult {
  int32_t status = 0;  // 0 is success
  Rect rect;
};

class WindowServer {
 public:
  virtual ~WindowServer() = default;

  // None when the list cannot be had. relativeWindow is used by IncludingWindow only.
  virtual std::optional<std::vector<WindowInfo>> copyWindowList(WindowListOption option, uint32_t relativeWindow = 0) = 0;
  virtual int windowLevel(WindowLevelKey key) const = 0;

  // Picture of one window at the backing scale (null rectangle, including-window list); none when
  // the window cannot be pictured.
  virtual ImageRef createWindowImage(uint32_t windowID, uint32_t imageOptions) = 0;
  // Picture of the given windows clipped to a rectangle (window-server coordinates).
  virtual ImageRef createImageFromArray(Rect rect, const std::vector<uint32_t>& windowIDs, uint32_t imageOptions) = 0;

  // The number of the front-most window at a window-server point, the one a click there reaches;
  // none where no window is or the point is on no display.
  virtual std::optional<uint32_t> windowNumberAtPoint(Point point) = 0;

  // Private calls: the connection of this process and the count of on-screen windows.
  virtual int32_t mainConnectionID() = 0;
  virtual OnScreenWindowCount getOnScreenWindowCount(int32_t connection, int32_t targetConnection) = 0;

  // The screen-rect bridge, found at run time; when unavailable the two calls below must not be used.
  virtual bool isScreenRectBridgeAvailable() const = 0;
  virtual int32_t bridgeMainConnectionID() = 0;
  virtual ScreenRectResult getScreenRectForWindow(int32_t connection, uint32_t windowID) = 0;
};

}  // namespace vimbo::platform
