#include "Platform/Sim/Generator.h"

#include <algorithm>
#include <string>

namespace vimbo::sim {

using namespace platform;

WorldSpec generateWorld(int itemCount, GeneratorOptions o) {
  WorldSpec w;
  ScreenSpec s;
  s.name = o.notch ? "Generated notched display" : "Generated display";
  s.displayID = 1;
  s.displayBounds = o.notch ? Rect(0, 0, 1512, 982) : Rect(0, 0, 1920, 1080);
  s.frame = s.displayBounds;
  s.menuBarHeight = o.notch ? 37 : 24;
  s.notchWidth = o.notch ? 200 : 0;
  w.screens.push_back(s);
  w.pointer = {s.displayBounds.midX(), s.displayBounds.midY()};

  AppSpec cc;
  cc.pid = 300;
  cc.name = "Control Center";
  cc.bundleIdentifier = "com.apple.controlcenter";
  cc.bundleInfo["LSUIElement"] = true;
  cc.hostsControlCenter = true;
  w.apps.push_back(cc);
  int apps = std::max(1, o.appCount);
  static const char* syllables[] = {"Ka", "Lo", "Mi", "Nu", "Pe", "Ro", "Si", "Tu", "Va", "Ze"};
  for (int a = 0; a < apps; ++a) {
    AppSpec app;
    app.pid = 1000 + a;
    std::string name = std::string(syllables[a % 10]) + syllables[(a / 10 + a * 3) % 10] + "bit " + std::to_string(a);
    app.name = name;
    app.bundleIdentifier = "com.generated.app" + std::to_string(a);
    app.bundlePath = "/Applications/" + name + ".app";
    app.executablePath = *app.bundlePath + "/Contents/MacOS/app";
    app.bundleInfo["LSUIElement"] = true;
    app.iconColor = 0x204060u + 0x101010u * static_cast<uint32_t>(a % 8);
    w.apps.push_back(app);
  }
  static const char* glyphs[] = {"dot", "ring", "square", "bar", "triangle"};
  double span = std::max(0.0, o.maxWidth - o.minWidth);
  for (int i = 0; i < itemCount; ++i) {
    ItemSpec it;
    int a = i % apps;
    it.key = "item-" + std::to_string(i);
    it.windowName = "Item-0";
    it.ownerPID = 1000 + a;
    it.width = o.minWidth + (span > 0 ? static_cast<double>((i * 7) % (static_cast<int>(span) + 1)) : 0);
    it.axIdentifier = AXValue{"com.generated.app" + std::to_string(a) + ".item" + std::to_string(i)};
    it.axDescription = AXValue{"Generated item " + std::to_string(i)};
    it.picture = {0x303030u + 0x0F1F2Fu * static_cast<uint32_t>(i % 7), glyphs[i % 5], ""};
    w.items.push_back(it);
  }
  // Control Center's own items.
  auto systemItem = [&](std::string key, std::string windowName, double width, std::string axIdentifier) {
    ItemSpec it;
    it.key = std::move(key);
    it.windowName = std::move(windowName);
    it.ownerPID = 300;
    it.width = width;
    it.axIdentifier = AXValue{std::move(axIdentifier)};
    w.items.push_back(std::move(it));
  };
  systemItem("control-center", "BentoBox-0", 30, "com.apple.menuextra.controlcenter");
  systemItem("clock", "Clock", 130, "com.apple.menuextra.clock");
  return w;
}

}  // namespace vimbo::sim
