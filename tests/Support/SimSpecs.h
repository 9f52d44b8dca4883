#pragma once
// Builders for the pieces of a simulated world that several test folders set up alike.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Platform/Sim/Model.h"

namespace vimbo::test_support {

// An application installed under /Applications with the usual bundle layout.
inline sim::AppSpec installedApp(int32_t pid, const std::string& name, std::string bundle) {
  sim::AppSpec a;
  a.pid = pid;
  a.name = name;
  a.bundleIdentifier = std::move(bundle);
  a.executablePath = "/Applications/" + name + ".app/Contents/MacOS/" + name;
  a.bundlePath = "/Applications/" + name + ".app";
  return a;
}

// A status item 30 points wide whose element carries an accessibility title, so that its identity
// can be restored.
inline sim::ItemSpec titledItem(std::string key, std::string windowName, int32_t ownerPID, std::string title) {
  sim::ItemSpec i;
  i.key = std::move(key);
  i.windowName = std::move(windowName);
  i.ownerPID = ownerPID;
  i.width = 30;
  i.axTitle = platform::AXValue{std::move(title)};
  return i;
}

// One screen, a notched laptop's or a plain studio display's, with the given applications and
// their items left of Control Center's Wi-Fi module, Control Center itself and the clock.
inline sim::WorldSpec menuBarWorld(bool notch, std::vector<sim::AppSpec> apps, std::vector<sim::ItemSpec> items) {
  sim::WorldSpec spec;
  sim::ScreenSpec screen;
  screen.name = notch ? "Built-in" : "Studio";
  screen.displayID = 1;
  screen.displayBounds = notch ? Rect{0, 0, 1512, 982} : Rect{0, 0, 1920, 1080};
  screen.frame = screen.displayBounds;
  screen.menuBarHeight = notch ? 37 : 24;
  screen.notchWidth = notch ? 200 : 0;
  spec.screens.push_back(screen);

  sim::AppSpec controlCenter = installedApp(300, "Control Center", "com.apple.controlcenter");
  controlCenter.hostsControlCenter = true;
  spec.apps.push_back(controlCenter);
  spec.apps.insert(spec.apps.end(), apps.begin(), apps.end());
  spec.items = std::move(items);
  spec.items.push_back(titledItem("wifi", "WiFi", 300, "Wi-Fi"));
  spec.items.push_back(titledItem("bento", "BentoBox-0", 300, "Control Center"));
  spec.items.push_back(titledItem("clock", "Clock", 300, "Clock"));
  spec.pointer = {700, 500};
  return spec;
}

}  // namespace vimbo::test_support
