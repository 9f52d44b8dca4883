#pragma once
// Tells whether a status item's menu is open, from the on-screen window list alone: menus and
// pop-ups of other applications are windows at a few window levels.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/Foundation/Geometry.h"
#include "Platform/Runtime/Task.h"
#include "Platform/WindowServer.h"

namespace vimbo {

class MenuWindowRelocator {
 public:
  struct MenuWindowSnapshot {
    uint32_t id = 0;
    Rect frame;
    int32_t ownerPID = 0;
    std::string ownerName;
    std::string windowName;
    int layer = 0;
    int order = 0;  // index in the list; 0 is front-most
  };

  // One per reveal session; shared by reference between the session's loop turns.
  struct TrackingSession {
    std::map<uint32_t, MenuWindowSnapshot> baseline;
    std::set<uint32_t> trackedWindowIDs;
    std::map<uint32_t, int32_t> trackedOwnerByWindow;
    std::set<int32_t> trackedOwnerPIDs;
  };

  MenuWindowRelocator(platform::WindowServer& windowServer, std::set<int> popupWindowLevels);
  // The pop-up-menu level of the window server and the raw level 23.
  static std::set<int> defaultPopupWindowLevels(const platform::WindowServer& windowServer);

  const std::set<int>& popupWindowLevels() const { return popupWindowLevels_; }

  std::map<uint32_t, MenuWindowSnapshot> visibleMenuWindowSnapshot() const;
  std::set<uint32_t> visibleMenuWindowIDs() const;
  // Records what it finds relevant in the session.
  bool hasRelevantPopup(TrackingSession& session, std::optional<Point> interactionPoint) const;

  // The front-most menu window not in `known`, polled every 25 ms up to 80 scans.
  async::Task<std::optional<uint32_t>> newMenuWindowID(std::set<uint32_t> known) const;
  // Returns when the window is gone, the task is cancelled, or after 1200 waits of 25 ms.
  async::Task<void> waitForMenuToClose(uint32_t windowID) const;

  static bool windowChanged(const MenuWindowSnapshot& from, const MenuWindowSnapshot& to);
  static bool isActiveTrackedWindow(const MenuWindowSnapshot& window,
                                    const std::map<uint32_t, MenuWindowSnapshot>& baseline);
  static bool isNearInteraction(const Rect& frame, std::optional<Point> point);

 private:
  std::vector<MenuWindowSnapshot> menuWindows() const;

  platform::WindowServer& windowServer_;
  std::set<int> popupWindowLevels_;
};

}  // namespace vimbo
