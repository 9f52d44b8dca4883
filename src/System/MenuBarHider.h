#pragma once
// Our two status items (the divider whose length hides everything left of it, and the control
// item) and the notch-aware geometry built on them.

#include <optional>
#include <string>
#include <vector>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Platform.h"

namespace vimbo {

namespace hider {
inline constexpr const char* dividerName = "Vimbo.HiddenDivider";
inline constexpr const char* controlName = "Vimbo.Control";
inline constexpr double collapsedLength = 10000;
inline constexpr double expandedLength = 1;
}  // namespace hider

// Makes the divider's view fill its window. Installed at most once per process, before the divider
// exists; a failed attempt is retried at the next call.
class CompactStatusItemLayout {
 public:
  static bool install(platform::StatusBar& statusBar, const std::string& autosaveName);
  static bool isInstalled() { return installed_; }
  // Each simulated world is a fresh process.
  static void resetForTesting() { installed_ = false; }

 private:
  static inline bool installed_ = false;
};

class MenuBarHider {
 public:
  explicit MenuBarHider(platform::Platform& platform);

  platform::StatusItemRef dividerItem;
  platform::StatusItemRef controlItem;
  bool isCollapsed = false;

  void installDivider();
  platform::StatusItemRef configureControlItem(platform::StatusItemRef item);
  // False, with the length and the state untouched, when the window server refuses or there is
  // no divider (then the state is "expanded").
  bool setCollapsed(bool collapsed);
  void restoreAndRemove();

  std::optional<Rect> windowServerFrame(const std::string& name) const;
  // The lookup by window name shared with the mover: valid frames only, on-screen windows first,
  // front-most first among equals.
  static std::optional<Rect> windowServerFrame(platform::WindowServer& windowServer, const std::string& name);
  // The same lookup in a list already copied.
  static std::optional<Rect> windowServerFrame(const std::vector<platform::WindowInfo>& list, const std::string& name);

  std::optional<Rect> menuBarSafeArea(std::optional<Rect> around) const;
  bool isMenuBarFrameSafe(const Rect& frame) const;
  bool isResidentFrameSafe(const Rect& frame, std::optional<Rect> anchor = std::nullopt) const;

 private:
  void seedPreferredPositionIfNeeded(double position, const std::string& autosaveName);

  platform::Platform& platform_;
};

}  // namespace vimbo
