#pragma once
// Our own windows: panels, the settings window and the popover under the control item. A window
// is a record (its configuration is plain data), a frame in screen coordinates (origin bottom left
// of the main screen), a place in the window list while it exists, and content made by the view
// factory. Key status belongs to the window server's idea of our application: at most one of our
// windows is key, and making another key or ordering the key one out tells its delegate.

#include <cstdint>
#include <memory>
#include <string>

#include "Platform/Foundation/Geometry.h"

namespace vimbo::platform {

class StatusBarButton;  // Platform/StatusBar.h

using WindowHandle = uint64_t;  // identifies one of our windows; 0 is none

// What a window shows. Made by the view factory and handed to setContent; the windows never look
// inside (the desktop draws it).
class ViewContent {
 public:
  virtual ~ViewContent() = default;
};
using ViewContentRef = std::shared_ptr<ViewContent>;

// Style bits (the system's values).
namespace windowstyle {
inline constexpr uint32_t titled = 1u << 0;
inline constexpr uint32_t closable = 1u << 1;
inline constexpr uint32_t miniaturizable = 1u << 2;
inline constexpr uint32_t resizable = 1u << 3;
inline constexpr uint32_t fullSizeContentView = 1u << 15;
}  // namespace windowstyle

// Collection behaviours (the system's values).
namespace windowcollection {
inline constexpr uint32_t canJoinAllSpaces = 1u << 0;
inline constexpr uint32_t transient = 1u << 3;
inline constexpr uint32_t fullScreenAuxiliary = 1u << 8;
}  // namespace windowcollection

// Height of a titled window's title bar above its content (without a full-size content view).
inline constexpr double kTitleBarHeight = 28;

enum class WindowKind { window, panel };

struct WindowConfiguration {
  WindowKind kind = WindowKind::window;
  Size contentSize;
  uint32_t styleMask = windowstyle::titled;
  std::string title;
  bool titleHidden = false;
  bool titlebarTransparent = false;
  bool standardButtonsHidden = false;  // close, minimise and zoom
  bool movableByBackground = false;
  bool releasedWhenClosed = false;
  bool hidesOnDeactivate = false;  // recorded only
  int level = 0;                   // windowlevel::normal or floating
  uint32_t collectionBehavior = 0;
  bool opaque = true;
  bool clearBackground = false;  // the content draws its own shape on a transparent window

  bool hasStyle(uint32_t bit) const { return (styleMask & bit) != 0; }
  friend bool operator==(const WindowConfiguration&, const WindowConfiguration&) = default;
};

class WindowDelegate {
 public:
  virtual ~WindowDelegate() = default;
  virtual void windowDidResignKey(WindowHandle /*window*/) {}
  virtual void windowWillClose(WindowHandle /*window*/) {}
};

class Window {
 public:
  virtual ~Window() = default;

  virtual WindowHandle handle() const = 0;
  virtual uint32_t windowNumber() const = 0;  // the window list's number; kept while the window exists
  virtual const WindowConfiguration& configuration() const = 0;

  virtual void setContent(ViewContentRef content) = 0;
  virtual ViewContentRef content() const = 0;

  // Screen coordinates, origin bottom left; a titled window without a full-size content view is
  // its content plus the title bar above it.
  virtual Rect frame() const = 0;
  virtual Size contentSize() const = 0;
  // Clamped to the minimum and maximum content sizes; the frame keeps its top-left corner.
  virtual void setContentSize(Size size) = 0;
  virtual void setContentMinSize(Size size) = 0;
  virtual void setContentMaxSize(Size size) = 0;
  virtual Size contentMinSize() const = 0;
  virtual Size contentMaxSize() const = 0;
  virtual void setFrameOrigin(Point origin) = 0;
  // The frame in the exact middle of the main screen's visible frame.
  virtual void center() = 0;

  virtual bool isVisible() const = 0;
  virtual bool isKeyWindow() const = 0;
  virtual void makeKeyAndOrderFront() = 0;
  virtual void makeKey() = 0;  // a window that is not visible cannot become key
  virtual void orderFront() = 0;
  virtual void orderOut() = 0;
  // As the close button: windowWillClose, then ordered out (released only when configured so).
  virtual void performClose() = 0;

  virtual void setDelegate(std::weak_ptr<WindowDelegate> delegate) = 0;
};
using WindowRef = std::shared_ptr<Window>;

enum class PopoverBehavior { applicationDefined, transient, semitransient };
enum class RectEdge { minX, minY, maxX, maxY };

class Popover {
 public:
  virtual ~Popover() = default;

  virtual void setBehavior(PopoverBehavior behavior) = 0;
  virtual PopoverBehavior behavior() const = 0;
  virtual void setAnimates(bool animates) = 0;
  virtual bool animates() const = 0;
  virtual void setContentSize(Size size) = 0;
  virtual Size contentSize() const = 0;
  virtual void setContent(ViewContentRef content) = 0;
  virtual ViewContentRef content() const = 0;

  // Shows the content window next to rect (in the button's own coordinates) on the given edge;
  // the min-Y edge of a status item's button puts it under the menu bar.
  virtual void show(Rect relativeTo, StatusBarButton& button, RectEdge preferredEdge) = 0;
  virtual void performClose() = 0;
  virtual bool isShown() const = 0;
  // The window the content lives in; none until the popover is first shown.
  virtual Window* contentWindow() = 0;
};
using PopoverRef = std::shared_ptr<Popover>;

class OwnWindows {
 public:
  virtual ~OwnWindows() = default;
  // A window or panel, not yet visible. It lives while a reference is held (or until it is closed,
  // when configured to be released on close).
  virtual WindowRef makeWindow(WindowConfiguration configuration) = 0;
  virtual PopoverRef makePopover() = 0;
  // One of our windows by handle (e.g. the application's key window); null for none.
  virtual Window* window(WindowHandle handle) = 0;
};

}  // namespace vimbo::platform
