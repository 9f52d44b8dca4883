// Opens the desktop with our windows shown through the interfaces, over a store holding the
// world's items, so a person can look at them before the controller opens them:
//   our_windows_preview [popover] [panel] [search] [settings] [drag] [--scale=0.6] [--shot=file.png]
// With no window named, the popover. --shot saves the window's picture and quits.
#include <QApplication>
#include <QTimer>
#include <cstring>
#include <string>

#include "Platform/Desktop/Appearance.h"
#include "Platform/Desktop/DesktopHost.h"
#include "Platform/Desktop/QtExecutor.h"
#include "Platform/Foundation/Image.h"
#include "Store/MenuBarStore.h"
#include "Views/MenuBarSearchSession.h"

using namespace vimbo;

namespace {

// The world's items as a capture would list them, pictures included.
std::vector<CapturedMenuBarItem> capturedItems(sim::World& world, uint32_t dividerWindow) {
  std::vector<CapturedMenuBarItem> items;
  auto dividerItem = world.itemByWindow(dividerWindow);
  double dividerX = dividerItem ? dividerItem->frame.minX() : -1e9;
  for (const sim::ItemView& v : world.items()) {
    if (v.own) continue;
    CapturedMenuBarItem item;
    item.id = v.windowNumber;
    item.windowName = v.windowName.value_or("");
    const sim::ItemSpec& spec = world.itemSpec(v.specKey);
    const std::string* description = spec.axDescription ? spec.axDescription->string() : nullptr;
    for (const sim::AppSpec& a : world.spec().apps)
      if (a.pid == v.ownerPID) {
        item.ownerName = a.name.value_or("");
        item.ownerBundleIdentifier = a.bundleIdentifier.value_or("");
      }
    item.name = description ? *description : item.ownerName;
    item.stableIdentity = item.ownerBundleIdentifier + "|window=" + item.windowName;
    item.ownerPID = v.ownerPID;
    item.originalFrame = v.frame;
    int w = int(v.frame.width * 2), h = int(v.frame.height * 2);
    auto px = sim::renderItemPicture(v.picture, v.frame.width, v.frame.height, w, h);
    item.image = platform::Image::make(v.frame.size(), px.width, px.height, px.rgba);
    item.isCollected = v.frame.maxX() <= dividerX;
    items.push_back(item);
  }
  return items;
}

bool wants(int argc, char** argv, const char* name) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return true;
  return false;
}

std::string option(int argc, char** argv, const std::string& prefix) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]).rfind(prefix, 0) == 0) return std::string(argv[i]).substr(prefix.size());
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  qunsetenv("QT_QPA_PLATFORMTHEME");
  QApplication app(argc, argv);
  desktop::configureApplication(app);
  auto load = desktop::worldFromEnvironment();
  if (auto* error = std::get_if<sim::WorldError>(&load)) {
    desktop::reportWorldError(*error);
    return 1;
  }
  desktop::QtExecutor executor;
  desktop::DesktopHost host(executor, std::get<sim::WorldSpec>(std::move(load)), [] { QCoreApplication::quit(); });
  host.launch(nullptr);
  sim::SimPlatform& sim = host.environment().sim();
  sim::World& world = host.world();
  MenuBarStore store(host.environment().defaults(), sim.loginItem, sim.screenCaptureAccess);
  store.replaceCapturedSystemItems(capturedItems(world, host.statusItems().divider->windowNumber()));
  store.screenCapturePermissionGranted.set(true);
  MenuBarSearchSession session;

  bool none = !wants(argc, argv, "popover") && !wants(argc, argv, "panel") && !wants(argc, argv, "search") &&
              !wants(argc, argv, "settings") && !wants(argc, argv, "drag");
  sim.application.activate(true);
  platform::PopoverRef popover;
  std::vector<platform::WindowRef> windows;
  using namespace platform;
  if (none || wants(argc, argv, "popover")) {
    popover = sim.windows.makePopover();
    popover->setContentSize({388, 590});
    popover->setContent(host.viewFactory().makeManagerPanel(store, {}));
    if (StatusBarButton* button = host.statusItems().control->button()) popover->show(button->bounds(), *button, RectEdge::minY);
    if (popover->contentWindow()) popover->contentWindow()->makeKey();
  }
  if (wants(argc, argv, "settings")) {
    WindowConfiguration c;
    c.contentSize = {760, 650};
    c.styleMask = windowstyle::titled | windowstyle::closable;
    c.title = "偏好设置";
    WindowRef w = sim.windows.makeWindow(c);
    w->setContentMinSize({720, 620});
    w->setContentMaxSize({960, 820});
    w->setContent(host.viewFactory().makeSettingsView(store, {}));
    w->center();
    w->makeKeyAndOrderFront();
    windows.push_back(w);
  }
  if (wants(argc, argv, "panel")) {
    WindowConfiguration c;
    c.kind = WindowKind::panel;
    c.contentSize = {388, 590};
    c.styleMask = windowstyle::titled | windowstyle::fullSizeContentView;
    c.titleHidden = c.titlebarTransparent = c.movableByBackground = true;
    c.level = windowlevel::floating;
    WindowRef w = sim.windows.makeWindow(c);
    w->setContent(host.viewFactory().makeManagerPanel(store, {}));
    w->setFrameOrigin({1112, 345});
    w->makeKeyAndOrderFront();
    windows.push_back(w);
  }
  if (wants(argc, argv, "search")) {
    WindowConfiguration c;
    c.kind = WindowKind::panel;
    c.contentSize = {440, 416};
    c.styleMask = windowstyle::titled | windowstyle::fullSizeContentView;
    c.title = "搜索菜单栏项目";
    c.titleHidden = c.titlebarTransparent = c.standardButtonsHidden = true;
    c.level = windowlevel::floating;
    c.opaque = false;
    c.clearBackground = true;
    WindowRef w = sim.windows.makeWindow(c);
    w->setContent(host.viewFactory().makeQuickSearchPanel(store, session, {}));
    w->center();
    w->makeKeyAndOrderFront();
    windows.push_back(w);
  }
  if (wants(argc, argv, "drag")) {
    // A Command-drag of the Wi-Fi item held over the battery: the insertion mark shows.
    if (auto wifi = world.frameOf("wifi"))
      if (auto battery = world.frameOf("battery")) {
        world.personMouse(EventType::LeftMouseDown, wifi->center(), eventflag::command);
        world.personMouse(EventType::LeftMouseDragged, {battery->midX() + 4, battery->midY()}, eventflag::command);
      }
  }

  desktop::DesktopWindow& window = host.window();
  window.show();
  std::string scale = option(argc, argv, "--scale=");
  if (!scale.empty()) {
    QSize full = window.view().sizeHint();
    window.resize(int(full.width() * std::stod(scale)), int(full.height() * std::stod(scale)));
  }
  std::string shot = option(argc, argv, "--shot=");
  if (!shot.empty())
    QTimer::singleShot(300, [&] {
      window.view().refresh();
      window.grab().save(QString::fromStdString(shot));
      QCoreApplication::quit();
    });
  int status = app.exec();
  executor.stop();
  return status;
}
