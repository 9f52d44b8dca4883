#pragma once
// The captured items the panel tests share, a store holding them on in-memory defaults, and
// closures that record what the views ask of the controller.
//
// The five items, in capture order: the clock and Control Center (fixed, template pictures), a
// pinned item with a coloured picture, a collected item with a template picture and a hidden item
// without a picture, whose persistable identity the saved layout lists under hidden.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/Image.h"
#include "Platform/Foundation/LoginItem.h"
#include "Platform/Foundation/ScreenCaptureAccess.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Runtime/Task.h"
#include "Platform/Workspace.h"
#include "Store/MenuBarStore.h"
#include "Views/ViewFactory.h"

namespace vimbo::test_support {

// A picture of w x h points at 2x, every pixel 0xRRGGBBAA.
inline platform::ImageRef solidImage(double w, double h, std::uint32_t rgba, bool isTemplate) {
  int pw = int(w * 2);
  int ph = int(h * 2);
  std::vector<std::uint8_t> pixels;
  pixels.reserve(std::size_t(pw) * std::size_t(ph) * 4);
  for (int i = 0; i < pw * ph; ++i)
    pixels.insert(pixels.end(), {std::uint8_t(rgba >> 24), std::uint8_t(rgba >> 16), std::uint8_t(rgba >> 8),
                                 std::uint8_t(rgba)});
  return platform::Image::make({w, h}, pw, ph, std::move(pixels), isTemplate);
}

inline CapturedMenuBarItem capturedItem(std::uint32_t id, std::string windowName, std::string name, std::string owner,
                                        std::string bundle, platform::ImageRef image, bool collected) {
  CapturedMenuBarItem item;
  item.id = id;
  item.windowName = std::move(windowName);
  item.name = std::move(name);
  item.ownerName = std::move(owner);
  item.ownerBundleIdentifier = std::move(bundle);
  // Without an accessibility part, an identity is not persisted in the saved layout.
  item.stableIdentity = item.ownerBundleIdentifier + "|window=" + item.windowName;
  item.image = std::move(image);
  item.isCollected = collected;
  item.originalFrame = Rect(1000.0 + id, 0, 24, 24);
  return item;
}

inline std::vector<CapturedMenuBarItem> panelItems(bool withHidden = true) {
  std::vector<CapturedMenuBarItem> items{
      capturedItem(11, "Clock", "时钟", "控制中心", "com.apple.controlcenter", solidImage(16, 16, 0x000000FF, true),
                   false),
      capturedItem(12, "BentoBox-0", "控制中心", "控制中心", "com.apple.controlcenter",
                   solidImage(16, 16, 0x000000FF, true), false),
      capturedItem(21, "Item-0", "番茄钟", "Tomato Timer", "com.example.tomato", solidImage(18, 18, 0xE0402AFF, false),
                   false),
      capturedItem(22, "Item-0", "剪贴板", "Clip Keeper", "com.example.clip-keeper",
                   solidImage(16, 16, 0x000000FF, true), true),
  };
  if (withHidden) {
    items.push_back(capturedItem(23, "Item-0", "Lumen", "Lumen", "com.example.lumen", nullptr, true));
    items.back().stableIdentity += "|ax=Lumen";
  }
  return items;
}

// A workspace whose running applications, application locations and file icons a test sets.
class FakeWorkspace : public platform::Workspace {
 public:
  std::vector<platform::RunningApplication> running;
  std::map<std::string, std::string> urls;               // bundle identifier -> path
  std::map<std::string, platform::ImageRef> fileIcons;  // path -> icon (a missing entry: null)
  mutable int runningReads = 0;
  mutable std::vector<std::string> iconRequests;

  std::vector<platform::RunningApplication> runningApplications() const override {
    ++runningReads;
    return running;
  }
  std::optional<platform::RunningApplication> runningApplication(int32_t) const override { return std::nullopt; }
  std::optional<std::string> urlForApplication(const std::string& bundle) const override {
    auto found = urls.find(bundle);
    return found == urls.end() ? std::nullopt : std::optional<std::string>(found->second);
  }
  std::optional<platform::BundleInfo> bundleInfo(const std::string&) const override { return std::nullopt; }
  platform::ImageRef iconForFile(const std::string& path) const override {
    iconRequests.push_back(path);
    auto found = fileIcons.find(path);
    return found == fileIcons.end() ? nullptr : found->second;
  }

  void run(const std::string& name, platform::ImageRef icon) {
    platform::RunningApplication app;
    app.processIdentifier = int32_t(running.size() + 100);
    app.localizedName = name;
    app.icon = std::move(icon);
    running.push_back(app);
  }
};

// Records every closure call as one line, e.g. "pin 22" or "move 22 hidden".
struct ActionLog {
  std::vector<std::string> calls;

  ManagerPanelActions managerActions() {
    ManagerPanelActions a;
    a.openSettings = [this] { calls.push_back("openSettings"); };
    a.toggleCollection = [this] { calls.push_back("toggleCollection"); };
    a.refreshSystemItems = [this]() -> async::Task<void> {
      calls.push_back("refresh");
      co_return;
    };
    a.pinSystemItem = [this](std::uint32_t id) { calls.push_back("pin " + std::to_string(id)); };
    a.collectSystemItem = [this](std::uint32_t id) { calls.push_back("collect " + std::to_string(id)); };
    a.moveSystemItemToLayout = [this](std::uint32_t id, MenuBarLayoutZone zone, std::optional<int64_t> index) {
      calls.push_back("move " + std::to_string(id) + " " + std::string(rawValue(zone)) + (index ? " at" : ""));
    };
    a.activateSystemItem = [this](std::uint32_t id) { calls.push_back("activate " + std::to_string(id)); };
    return a;
  }

  QuickSearchActions quickSearchActions() {
    QuickSearchActions a;
    a.onActivate = [this](const CapturedMenuBarItem& item) { calls.push_back("open " + item.name); };
    a.onClose = [this] { calls.push_back("close"); };
    return a;
  }
};

// A store on in-memory defaults with screen-recording permission granted.
struct PanelStore {
  std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
  platform::InMemoryLoginItem login;
  platform::InMemoryScreenCaptureAccess capture{true};
  MenuBarStore store{*defaults, login, capture};

  explicit PanelStore(bool withItems = true, bool withHidden = true) {
    store.screenCapturePermissionGranted.set(true);
    if (withItems) load(panelItems(withHidden));
  }

  void load(std::vector<CapturedMenuBarItem> items) {
    store.replaceCapturedSystemItems(std::move(items));
    for (const auto& item : store.capturedSystemItems.get())
      if (item.id == 23) store.commitLayoutMovement(23, MenuBarLayoutZone::hidden, std::nullopt, false);
  }
};

}  // namespace vimbo::test_support
