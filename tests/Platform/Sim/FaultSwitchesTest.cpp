// Every fault switch, each on the path the system takes.
#include "Platform/Foundation/Image.h"
#include "SimFixture.h"

namespace vimbo::sim::testing {
namespace {

class Faults : public SimWorld {
 protected:
  void SetUp() override { startShipped("notched-laptop.json"); }
  std::vector<std::string> listedNames() {
    std::vector<std::string> names;
    auto list = sim->windowServer.copyWindowList(WindowListOption::All, 0);
    for (const WindowInfo& w : *list)
      if (w.layer() == 25) names.push_back(w.name().value_or("<none>"));
    return names;
  }
  bool anyOpaque(const ImageRef& image) {
    for (size_t i = 3; i < image->pixels().size(); i += 4)
      if (image->pixels()[i]) return true;
    return false;
  }
};

TEST_F(Faults, WindowListAndOnScreenCountCanFail) {
  world->switches().windowListUnavailable = true;
  EXPECT_FALSE(sim->windowServer.copyWindowList(WindowListOption::All, 0));
  world->switches().windowListUnavailable = false;

  int32_t cid = sim->windowServer.mainConnectionID();
  EXPECT_NE(cid, 0);
  world->switches().onScreenCountFailures = 2;
  world->switches().onScreenCountZeros = 2;
  EXPECT_NE(sim->windowServer.getOnScreenWindowCount(cid, 0).status, 0);
  EXPECT_NE(sim->windowServer.getOnScreenWindowCount(cid, 0).status, 0);
  for (int i = 0; i < 2; ++i) {
    auto zero = sim->windowServer.getOnScreenWindowCount(cid, 0);
    EXPECT_EQ(zero.status, 0);
    EXPECT_EQ(zero.count, 0);
  }
  auto fine = sim->windowServer.getOnScreenWindowCount(cid, 0);
  EXPECT_EQ(fine.status, 0);
  EXPECT_GE(fine.count, 24);
  // From a virtual time on: 0 from 300 ms after the start, failure from 500 ms.
  world->switches().onScreenCountZeroAfter = millis(300);
  world->switches().onScreenCountFailsAfter = millis(500);
  loop.runFor(millis(299));
  EXPECT_GE(sim->windowServer.getOnScreenWindowCount(cid, 0).count, 24);
  loop.runFor(millis(1));
  auto late = sim->windowServer.getOnScreenWindowCount(cid, 0);
  EXPECT_EQ(late.status, 0);
  EXPECT_EQ(late.count, 0);
  loop.runFor(millis(199));
  EXPECT_EQ(sim->windowServer.getOnScreenWindowCount(cid, 0).status, 0);
  loop.runFor(millis(1));
  EXPECT_NE(sim->windowServer.getOnScreenWindowCount(cid, 0).status, 0);
  EXPECT_NE(sim->windowServer.getOnScreenWindowCount(cid + 1, 0).status, 0);  // not our connection
}

TEST_F(Faults, OurStatusItemWindowsCanBeMissingOrDuplicated) {
  auto count = [&](const std::string& n) {
    auto names = listedNames();
    return std::count(names.begin(), names.end(), n);
  };
  world->switches().dividerWindowMissing = true;
  EXPECT_EQ(count("Vimbo.HiddenDivider"), 0);
  EXPECT_TRUE(world->frameOf("Vimbo.HiddenDivider"));  // the item itself still stands
  world->switches().controlWindowMissing = true;
  EXPECT_EQ(count("Vimbo.Control"), 0);
  world->switches().controlWindowMissing = false;
  world->switches().controlWindowDuplicates = 1;
  world->switches().duplicateControlOwnerPID = 501;
  EXPECT_EQ(count("Vimbo.Control"), 2);
  auto list = *sim->windowServer.copyWindowList(WindowListOption::All, 0);
  std::set<int32_t> owners;
  for (const WindowInfo& w : list)
    if (w.name() == "Vimbo.Control") owners.insert(*w.ownerPID());
  EXPECT_EQ(owners, (std::set<int32_t>{4242, 501}));
}

TEST_F(Faults, ListFieldsCanBeMissingOrMistyped) {
  uint32_t n = world->item("wifi")->windowNumber;
  world->overrideWindowField(n, windowkey::layer, WindowValue{std::string("25")});
  world->overrideWindowField(n, windowkey::name, std::nullopt);
  world->overrideWindowField(n, windowkey::bounds, WindowValue{UnreadableBounds{}});
  auto list = *sim->windowServer.copyWindowList(WindowListOption::IncludingWindow, n);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_FALSE(list[0].layer());
  EXPECT_FALSE(list[0].name());
  EXPECT_FALSE(list[0].bounds());
  EXPECT_EQ(list[0].number(), n);
}

TEST_F(Faults, ItemsCanMisbehaveUnderDrags) {
  Point drop{C().minX(), C().midY()};
  auto before = order();
  world->faults("wifi").ignoresDrags = true;
  dragItem("wifi", drop);
  EXPECT_EQ(order(), before);
  EXPECT_TRUE(world->openMenus().empty());

  world->faults("sound").landsSlotsOff = 2;
  dragItem("sound", drop);  // two slots further left than immediately left of the control item
  EXPECT_EQ(leftNeighbour("battery"), "sound");

  world->faults("bluetooth").landsRightOfControl = true;
  dragItem("bluetooth", drop);
  EXPECT_EQ(order().back(), "bluetooth");

  world->faults("battery").bouncesBackAfter = millis(400);
  dragItem("battery", {C().minX(), C().midY()});
  EXPECT_EQ(leftNeighbour("Vimbo.Control"), "battery");
  loop.runFor(millis(400));
  EXPECT_EQ(leftNeighbour("Vimbo.HiddenDivider"), "battery");  // back where it stood

  world->faults("lumen-notes").vanishesOnDrag = true;
  dragItem("lumen-notes", {C().minX(), C().midY()});
  EXPECT_FALSE(world->item("lumen-notes"));
}

TEST_F(Faults, PicturesAndCapturesCanFailOrComeOutBlank) {
  uint32_t wifi = world->item("wifi")->windowNumber;
  auto image = sim->windowServer.createWindowImage(wifi, windowimage::boundsIgnoreFraming | windowimage::bestResolution);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelWidth(), 60);
  EXPECT_EQ(image->pixelHeight(), 74);
  EXPECT_TRUE(anyOpaque(image));
  divider->setLength(10000);  // off-screen windows can still be pictured
  EXPECT_TRUE(sim->windowServer.createWindowImage(world->item("lumen-notes")->windowNumber, windowimage::bestResolution));
  divider->setLength(1);

  world->faults("wifi").captureBlank = true;
  EXPECT_FALSE(anyOpaque(sim->windowServer.createWindowImage(wifi, windowimage::bestResolution)));
  world->faults("wifi").captureBlank = false;
  world->faults("wifi").captureFails = true;
  EXPECT_FALSE(sim->windowServer.createWindowImage(wifi, windowimage::bestResolution));
  world->faults("wifi").captureFails = false;

  // The screen-rect bridge and the picture of one window clipped to its rectangle.
  auto rect = sim->windowServer.getScreenRectForWindow(sim->windowServer.bridgeMainConnectionID(), wifi);
  EXPECT_EQ(rect.status, 0);
  EXPECT_EQ(rect.rect, frame("wifi"));
  EXPECT_TRUE(sim->windowServer.createImageFromArray(rect.rect, {wifi}, windowimage::boundsIgnoreFraming));
  world->switches().screenRectBridgeAvailable = false;
  EXPECT_FALSE(sim->windowServer.isScreenRectBridgeAvailable());
  EXPECT_EQ(sim->windowServer.bridgeMainConnectionID(), 0);
  EXPECT_NE(sim->windowServer.getScreenRectForWindow(SimWindowServer::connection, wifi).status, 0);

  // One-window screenshots, scaled to fit, answered on a later turn.
  std::optional<ScreenshotResult> shot;
  sim->screenCapture.captureWindow(wifi, {60, 74}, [&](ScreenshotResult r) { shot = r; });
  EXPECT_FALSE(shot);
  loop.runUntilIdle();
  ASSERT_TRUE(shot && std::holds_alternative<ImageRef>(*shot));
  EXPECT_EQ(std::get<ImageRef>(*shot)->pointSize(), Size(30, 37));
  world->faults("wifi").screenshotFails = true;
  sim->screenCapture.captureWindow(wifi, {60, 74}, [&](ScreenshotResult r) { shot = r; });
  loop.runUntilIdle();
  EXPECT_TRUE(std::holds_alternative<CaptureError>(*shot));
  world->faults("wifi").screenshotFails = false;
  world->faults("wifi").screenshotBlank = true;
  sim->screenCapture.captureWindow(wifi, {60, 74}, [&](ScreenshotResult r) { shot = r; });
  loop.runUntilIdle();
  EXPECT_FALSE(anyOpaque(std::get<ImageRef>(*shot)));
  EXPECT_TRUE(anyOpaque(sim->windowServer.createWindowImage(wifi, windowimage::bestResolution)));

  std::optional<ShareableContentResult> content;
  sim->screenCapture.requestShareableContent([&](ShareableContentResult r) { content = r; });
  loop.runUntilIdle();
  ASSERT_TRUE(std::holds_alternative<ShareableContent>(*content));
  EXPECT_GE(std::get<ShareableContent>(*content).windows.size(), 24u);
  world->switches().shareableContentFails = true;
  sim->screenCapture.requestShareableContent([&](ShareableContentResult r) { content = r; });
  loop.runUntilIdle();
  EXPECT_TRUE(std::holds_alternative<CaptureError>(*content));
}

TEST_F(Faults, NamesAreRedactedWithoutScreenCapturePermission) {
  world->switches().screenCaptureGranted = false;
  world->switches().redactNamesWithoutCapture = true;
  EXPECT_FALSE(sim->screenCaptureAccess.preflight());
  EXPECT_FALSE(sim->screenCaptureAccess.request());
  EXPECT_EQ(world->screenCaptureRequests(), 1);
  auto names = listedNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "<none>"), 22);  // ours keep their names
  EXPECT_EQ(std::count(names.begin(), names.end(), "Vimbo.Control"), 1);

  world->switches().screenCaptureRequestGrants = true;
  EXPECT_FALSE(sim->screenCaptureAccess.request());
  EXPECT_FALSE(sim->screenCaptureAccess.preflight());  // only after a relaunch
  world->relaunch();
  EXPECT_TRUE(sim->screenCaptureAccess.preflight());
  names = listedNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "<none>"), 0);
}

TEST_F(Faults, EventCreationAndHotKeyRegistrationCanFail) {
  world->switches().failingEventTypes = {EventType::KeyUp};
  source = sim->events.createSource(EventSourceStateID::HIDSystem);
  EXPECT_TRUE(sim->events.createKeyboardEvent(source.get(), 55, true));
  EXPECT_FALSE(sim->events.createKeyboardEvent(source.get(), 55, false));
  EXPECT_TRUE(sim->events.createMouseEvent(source.get(), EventType::LeftMouseUp, {0, 0}, MouseButton::Left));
  world->switches().failingEventTypes = {EventType::Null};
  EXPECT_FALSE(sim->events.createNullEvent());
  world->switches().eventSourceFails = true;
  EXPECT_FALSE(sim->events.createSource(EventSourceStateID::HIDSystem));
  EXPECT_FALSE(sim->events.createSource(EventSourceStateID::Private));

  world->switches().hotKeyRegistrationFails = true;
  auto r = sim->hotKeys.registerHotKey(11, 0x1100, {fourCharCode("VMBO"), 1});
  EXPECT_NE(r.status, hotkeystatus::noErr);
  EXPECT_EQ(r.ref, 0u);
}

// The login item starts as the world says; registering may leave it waiting for approval.
TEST_F(Faults, TheLoginItemStartsAsTheWorldSays) {
  EXPECT_EQ(sim->loginItem.status(), LoginItemStatus::notRegistered);
  WorldSpec spec = shippedWorld("notched-laptop.json");
  spec.switches.loginItemRequiresApproval = true;
  start(spec);
  EXPECT_FALSE(sim->loginItem.registerItem());
  EXPECT_EQ(sim->loginItem.status(), LoginItemStatus::requiresApproval);
  spec.switches.loginItemStatus = LoginItemStatus::notFound;
  start(spec);
  EXPECT_TRUE(sim->loginItem.registerItem());
  EXPECT_EQ(sim->loginItem.status(), LoginItemStatus::notFound);
}

TEST_F(Faults, ScreensChangeAndViewFillsWindowCanBeUnavailable) {
  WorldSpec spec = shippedWorld("two-displays.json");
  spec.screens[1].hasScreenNumber = false;
  start(spec);
  EXPECT_FALSE(sim->screens.screens()[1].screenNumber);
  EXPECT_EQ(sim->screens.displayBounds(99), Rect());
  world->setScreens({});
  EXPECT_TRUE(sim->screens.screens().empty());
  EXPECT_FALSE(sim->screens.mainScreen());

  EXPECT_TRUE(sim->statusBar.installViewFillsWindow("Vimbo.HiddenDivider"));
  EXPECT_TRUE(world->viewFillsWindowNames().count("Vimbo.HiddenDivider"));
  world->switches().viewFillsWindowAvailable = false;
  EXPECT_FALSE(sim->statusBar.installViewFillsWindow("Other"));
}

TEST_F(Faults, VisibilityKeysHideOurItems) {
  defaults->set("NSStatusItem Visible Extra", false);
  auto extra = sim->statusBar.statusItem(20);
  extra->setAutosaveName("Extra");
  EXPECT_FALSE(world->frameOf("Extra"));
  EXPECT_FALSE(extra->isVisible());
  extra->setVisible(true);
  EXPECT_TRUE(world->frameOf("Extra"));
  EXPECT_EQ(defaults->boolean("NSStatusItem Visible Extra"), true);
}

}  // namespace
}  // namespace vimbo::sim::testing
