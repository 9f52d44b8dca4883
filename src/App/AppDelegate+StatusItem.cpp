// The control item: its click (reveal or collapse, the popover with Option, the menu on a right
// click), its menu, and the mouse-down monitors that close the manager on a click elsewhere and
// turn a click on the control item into a reveal while the manager is open. Our own windows are
// in +Windows.cpp.
#include <chrono>

#include "App/AppDelegate.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {
constexpr auto kControlClickWindow = 500ms;
constexpr double kControlClickSlack = 6;
constexpr platform::EventFlags kClickModifiers =
    platform::eventflag::shift | platform::eventflag::control | platform::eventflag::option | platform::eventflag::command;
}  // namespace

void AppDelegate::statusItemClicked() {
  // A click on the control item that our hold posts again at a quit: a Mac would never hand it to
  // a process that is going.
  if (terminating_) return;
  closeQuickSearch();
  hoverDwellStart.reset();
  cancelHoverEventDwell();
  cancelHoverEventExitGrace();
  hoverEventIsInside = true;
  if (!hoverEventEntryStart) hoverEventEntryStart = now();
  // The pointer must leave the control item before hover can reveal again.
  hoverRequiresPointerExit = true;

  const auto event = platform_.application.currentEvent();
  const auto type = event ? event->type : platform::EventType::Null;
  if (type == platform::EventType::LeftMouseUp && managerControlClickHandledAt) {
    const async::Duration sinceDown = now() - *managerControlClickHandledAt;
    managerControlClickHandledAt.reset();
    // The mouse-down already started a reveal.
    if (sinceDown >= async::Duration::zero() && sinceDown <= kControlClickWindow) return;
  }
  if (type == platform::EventType::RightMouseUp) {
    showContextMenu();
    return;
  }
  if (event && (event->modifierFlags() & platform::eventflag::option)) {
    togglePopover();
    return;
  }
  // Reveal or collapse is decided when the bar is the person's again: a click during one of our
  // moves acts on the bar the move leaves.
  if (deferWhileBarHeld([](AppDelegate& self) { self.toggleRevealFromControlItem(); })) return;
  toggleRevealFromControlItem();
}

void AppDelegate::toggleRevealFromControlItem() {
  if (menuBarHider.isCollapsed) {
    beginNativeReveal(std::nullopt);
  } else {
    collapseNativeReveal();
  }
}

void AppDelegate::showContextMenu() {
  collapseNativeReveal();
  if (!statusItem) return;
  auto weak = weak_from_this();
  std::vector<platform::MenuEntry> entries{
      {"搜索菜单栏项目", "", [weak] {
         if (auto self = weak.lock()) self->openQuickSearchAction();
       }},
      {"管理面板", "", [weak] {
         if (auto self = weak.lock()) self->togglePopover();
       }},
      {"偏好设置", "", [weak] {
         if (auto self = weak.lock()) self->openSettingsAction();
       }},
  };
  auto item = statusItem;
  item->setMenu(std::move(entries));
  // Opens the menu and returns once it has closed.
  if (auto* button = item->button()) button->performClick();
  // Detached again, so that the next left click reaches statusItemClicked.
  item->setMenu(std::nullopt);
}

void AppDelegate::openQuickSearchAction() { showQuickSearch(); }

void AppDelegate::openSettingsAction() { openSettings(); }

void AppDelegate::installManagerControlClickMonitor() {
  if (managerControlClickMonitor || managerControlClickLocalMonitor) return;
  const platform::EventMask mask = platform::eventMaskBit(platform::EventType::LeftMouseDown) |
                                   platform::eventMaskBit(platform::EventType::RightMouseDown);
  auto& ex = platform_.executor;
  managerControlClickMonitor =
      platform_.eventMonitors.addGlobalMonitor(mask, [&ex, weak = weak_from_this()](const platform::Event& event) {
        spawnWeak(ex, weak, [event](AppDelegate& self) { self.handleManagerPanelMouseDown(event); });
      });
  managerControlClickLocalMonitor = platform_.eventMonitors.addLocalMonitor(
      mask, [weak = weak_from_this()](const platform::Event& event) -> std::optional<platform::Event> {
        if (auto self = weak.lock()) self->handleManagerPanelMouseDown(event);
        return event;
      });
}

void AppDelegate::handleManagerPanelMouseDown(const platform::Event& event) {
  if (!isManagerShown() || activeSystemItemOperationCount != 0 || store.isCapturingSystemItems.get()) return;
  // Our own presses (a move's drag, an opening's click) are no click of the person's elsewhere;
  // the person's press our hold posted again carries our process too, and is theirs.
  if (event.integerValueField(platform::eventfield::eventSourceUnixProcessID) ==
          platform_.application.processIdentifier() &&
      !platform_.inputHold.isPostedAgain(event)) {
    return;
  }
  const bool insideManager = isInsideManager(platform_.events.mouseLocation());
  const auto control = menuBarHider.windowServerFrame(hider::controlName);
  // Half-open containment suits the grown zone: 6 pt out counts, 7 pt does not.
  const bool insideControl =
      control && control->insetBy(-kControlClickSlack, -kControlClickSlack).contains(event.location);
  if (!insideManager && !insideControl) closeManager();
  if (isManagerShown() && event.type == platform::EventType::LeftMouseDown &&
      (event.modifierFlags() & kClickModifiers) == 0 && insideControl) {
    managerControlClickHandledAt = now();
    beginNativeReveal(std::nullopt);
  }
}

}  // namespace vimbo
