// The settings window as the running application has it: the controller in the desktop host, on
// the shipped notched laptop, with the real apply behind the editor's button.
#include <QAbstractButton>
#include <QMimeData>
#include <QTest>

#include "App/VimboApp.h"
#include "Platform/Desktop/DesktopHost.h"
#include "Platform/Desktop/QtTestApp.h"
#include "Platform/Desktop/WidgetContent.h"
#include "Platform/Sim/WorldJson.h"
#include "Views/Widgets/LayoutWell.h"
#include "Views/Widgets/MenuBarLayoutSettingsView.h"
#include "Views/Widgets/SettingsAlert.h"
#include "Views/Widgets/SettingsView.h"
#include "Views/Widgets/Toast.h"
#include "Views/Widgets/WidgetTestSupport.h"

namespace vimbo::views::testing {
namespace {

using namespace std::chrono_literals;

sim::WorldSpec notchedLaptopWorld() {
  auto load = sim::loadWorld(sim::shippedWorldsFolder() / "notched-laptop.json");
  return std::get<sim::WorldSpec>(std::move(load));
}

class SettingsEndToEnd {
 public:
  explicit SettingsEndToEnd(sim::WorldSpec spec)
      : host(executor, std::move(spec), {}, platform::UserDefaults::inMemory()),
        platform(host.platform()),
        app(platform, host.defaults(), host.viewFactory()) {
    host.launch(app.appDelegate);
    executor.runUntil([&] { return !store().capturedSystemItems.get().empty() && !store().isCapturingSystemItems.get(); },
                      executor.now() + 10s);
  }
  ~SettingsEndToEnd() { executor.stop(); }

  MenuBarStore& store() { return app.appDelegate->store; }
  AppDelegate& controller() { return *app.appDelegate; }

  // The window's content on its layout page; null when the window shows something else.
  SettingsView* openSettings() {
    controller().openSettings();
    settle();
    auto* view = dynamic_cast<SettingsView*>(
        desktop::WidgetContent::widgetOf(controller().settingsWindowController->content()));
    if (!view) return nullptr;
    if (!view->isVisible()) {
      view->resize(760, 650);
      view->show();
    }
    view->select(SettingsSection::menuBarLayout);
    settle();
    return view;
  }
  void settle() {
    for (int i = 0; i < 3; ++i) {
      executor.runUntil(executor.now());
      QCoreApplication::processEvents();
    }
  }
  // A third-party item whose identity the saved layout can hold, pinned first so that it stands
  // visible (at launch every item is collected).
  std::optional<CapturedMenuBarItem> pinnedThirdPartyItem() {
    std::optional<CapturedMenuBarItem> chosen;
    for (const auto& item : store().capturedSystemItems.get()) {
      if (!item.isFixed() && MenuBarLayoutRecord::isPersistableIdentity(item.stableIdentity) &&
          !item.ownerBundleIdentifier.starts_with("com.apple.")) {
        chosen = item;
      }
    }
    if (!chosen) return std::nullopt;
    controller().pinSystemItem(chosen->id);
    executor.runUntil([&] { return controller().activeSystemItemOperationCount == 0; }, executor.now() + 30s);
    for (const auto& item : store().capturedItems(MenuBarLayoutZone::visible)) {
      if (item.id == chosen->id) return item;
    }
    return std::nullopt;
  }
  // Drops the item on the collected well and presses the apply button; runs until it returned.
  void collectAndApply(SettingsView& view, const CapturedMenuBarItem& item) {
    // A capture still scanning on worker threads would rebuild the draft under the drop, and its
    // apply button stays off meanwhile; a person drops once the wells are current.
    executor.runUntil([&] { return !store().isCapturingSystemItems.get(); }, executor.now() + 30s);
    settle();
    auto* editor = view.layoutEditor();
    auto* well = editor->well(MenuBarLayoutZone::collected);
    QMimeData mime;
    mime.setText(QString::number(item.id));
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(well, &enter);
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(well, &move);
    QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(well, &drop);
    settle();
    ASSERT_TRUE(drop.isAccepted());
    QTest::mouseClick(editor->applyButton(), Qt::LeftButton);
    executor.runUntil([&] { return !editor->model().isApplying(); }, executor.now() + 60s);
    settle();
  }

  desktop::testing::AppFirst first;
  MotionOff motionOff;
  async::VirtualExecutor executor;
  desktop::DesktopHost host;
  platform::Platform platform;
  VimboApp app;
};

TEST(SettingsEndToEndTest, AnAppliedLayoutMovesTheItemAndIsSaved) {
  SettingsEndToEnd e2e(notchedLaptopWorld());
  auto item = e2e.pinnedThirdPartyItem();
  ASSERT_TRUE(item.has_value());
  auto* settings = e2e.openSettings();
  ASSERT_NE(settings, nullptr);
  auto& view = *settings;
  e2e.collectAndApply(view, *item);
  auto* editor = view.layoutEditor();

  auto frame = e2e.controller().captureService.currentFrame(item->id);
  auto divider = e2e.controller().menuBarHider.windowServerFrame("Vimbo.HiddenDivider");
  ASSERT_TRUE(frame && divider);
  EXPECT_LT(frame->midX(), divider->minX());
  auto saved = e2e.host.defaults()->data(MenuBarStore::layoutKey);
  ASSERT_TRUE(saved.has_value());
  auto record = MenuBarLayoutRecord::decode(std::string(saved->begin(), saved->end()));
  ASSERT_TRUE(record.has_value());
  const auto& collected = record->orderedIdentities[MenuBarLayoutZone::collected];
  EXPECT_NE(std::find(collected.begin(), collected.end(), item->stableIdentity), collected.end());
  EXPECT_EQ(editor->toast()->message(), QStringLiteral("已应用菜单栏布局"));
  EXPECT_FALSE(editor->statusLine()->isVisibleTo(editor));
  saveScreenshot(render(view), QStringLiteral("end-to-end-applied"));
}

TEST(SettingsEndToEndTest, AnItemThatIgnoresDragsKeepsTheDraftAndTheAlertSaysWhy) {
  SettingsEndToEnd e2e(notchedLaptopWorld());
  auto item = e2e.pinnedThirdPartyItem();
  ASSERT_TRUE(item.has_value());
  auto shown = e2e.host.world().itemByWindow(item->id);
  ASSERT_TRUE(shown.has_value());
  e2e.host.world().faults(shown->specKey).ignoresDrags = true;
  auto* settings = e2e.openSettings();
  ASSERT_NE(settings, nullptr);
  auto& view = *settings;
  e2e.collectAndApply(view, *item);
  auto* editor = view.layoutEditor();

  const auto& error = e2e.store().lastError.get();
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find("“" + item->name + "”"), std::string::npos) << *error;
  EXPECT_EQ(view.alert()->message(), QString::fromStdString(*error));
  EXPECT_TRUE(editor->model().draftDiffers());
  EXPECT_EQ(editor->toast()->message(), QString());
}

}  // namespace
}  // namespace vimbo::views::testing
