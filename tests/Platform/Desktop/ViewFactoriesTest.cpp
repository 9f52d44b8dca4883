// The two view factories: the recording one keeps what each content was made from with its
// closures callable; the desktop's one hands out a widget for each of our windows.
#include <QWidget>

#include "DesktopFixture.h"
#include "Store/MenuBarStore.h"
#include "Support/RecordingViewFactory.h"
#include "Views/MenuBarSearchSession.h"

namespace vimbo::desktop::testing {
namespace {

using test_support::ContentKind;
using test_support::RecordingViewFactory;

struct ViewFactories : DesktopFixture {
  MenuBarStore store{*host.defaults(), sim.loginItem, sim.screenCaptureAccess};
  MenuBarSearchSession session;
};

TEST_F(ViewFactories, TheRecordingFactoryKeepsTheStoreTheSessionAndCallableClosures) {
  RecordingViewFactory factory;
  std::vector<std::string> calls;
  ManagerPanelActions manager;
  manager.pinSystemItem = [&](uint32_t id) { calls.push_back("pin " + std::to_string(id)); };
  QuickSearchActions search;
  search.onActivate = [&](const CapturedMenuBarItem& item) { calls.push_back("activate " + item.name); };
  platform::ViewContentRef panel = factory.makeManagerPanel(store, manager);
  platform::ViewContentRef quick = factory.makeQuickSearchPanel(store, session, search);
  factory.makeSettingsView(store, {});
  ASSERT_EQ(factory.made().size(), 3u);
  EXPECT_EQ(factory.made(ContentKind::settingsView).size(), 1u);
  auto recordedPanel = RecordingViewFactory::recorded(panel);
  auto recordedQuick = RecordingViewFactory::recorded(quick);
  ASSERT_TRUE(recordedPanel && recordedQuick);
  EXPECT_EQ(recordedPanel->kind, ContentKind::managerPanel);
  EXPECT_EQ(recordedPanel->store, &store);
  EXPECT_EQ(recordedQuick->session, &session);
  recordedPanel->manager.pinSystemItem(7);
  CapturedMenuBarItem item;
  item.name = "Wi-Fi";
  recordedQuick->quickSearch.onActivate(item);
  EXPECT_EQ(calls, (std::vector<std::string>{"pin 7", "activate Wi-Fi"}));
  EXPECT_FALSE(RecordingViewFactory::recorded(std::make_shared<platform::ViewContent>()));
}

TEST_F(ViewFactories, TheDesktopsFactoryMakesAWidgetForEachWindow) {
  ViewFactory& factory = host.viewFactory();
  for (platform::ViewContentRef content :
       {factory.makeManagerPanel(store, {}), factory.makeQuickSearchPanel(store, session, {}),
        factory.makeSettingsView(store, {})}) {
    QWidget* widget = WidgetContent::widgetOf(content);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), nullptr);  // ready to be placed in a window
  }
}

}  // namespace
}  // namespace vimbo::desktop::testing
