// The two global hot keys and the keyboard control of the open quick-search panel.
#include "App/AppDelegate.h"

namespace vimbo {

namespace {
constexpr uint32_t kHotKeySignature = platform::fourCharCode("VMBO");
constexpr uint32_t kRevealHotKeyID = 1;
constexpr uint32_t kQuickSearchHotKeyID = 2;
constexpr uint32_t kBKeyCode = 11;
constexpr platform::EventFlags kSelectionModifiers =
    platform::eventflag::shift | platform::eventflag::control | platform::eventflag::option | platform::eventflag::command;
}  // namespace

// MARK: - Hot keys

void AppDelegate::installSystemHotKey() {
  hotKeyHandler = platform_.hotKeys.installHandler([weak = weak_from_this()](std::optional<platform::HotKeyID> identifier) {
    auto self = weak.lock();
    if (!self) return platform::hotkeystatus::eventNotHandled;
    return self->handleHotKeyEvent(identifier);
  });
  // The results are not checked: a reference left empty is simply not unregistered at quit.
  hotKeyRef = platform_.hotKeys
                  .registerHotKey(kBKeyCode, platform::hotkeymodifier::command | platform::hotkeymodifier::control,
                                  {kHotKeySignature, kRevealHotKeyID})
                  .ref;
  quickSearchHotKeyRef = platform_.hotKeys
                             .registerHotKey(kBKeyCode, platform::hotkeymodifier::command | platform::hotkeymodifier::option,
                                             {kHotKeySignature, kQuickSearchHotKeyID})
                             .ref;
}

int32_t AppDelegate::handleHotKeyEvent(std::optional<platform::HotKeyID> identifier) {
  if (!identifier || identifier->signature != kHotKeySignature) return platform::hotkeystatus::eventNotHandled;
  spawnWeak([id = identifier->id](AppDelegate& self) { self.performHotKeyAction(id); });
  return platform::hotkeystatus::noErr;
}

void AppDelegate::performHotKeyAction(uint32_t id) {
  // The hot keys stay registered; the setting only decides whether a press does anything.
  if (!store.shortcutEnabled.get()) return;
  if (id == kRevealHotKeyID) {
    toggleCollection();
  } else if (id == kQuickSearchHotKeyID) {
    showQuickSearch();
  }
}

void AppDelegate::toggleCollection() {
  hoverRequiresPointerExit = true;
  if (deferWhileBarHeld([](AppDelegate& self) { self.toggleCollection(); })) return;
  if (menuBarHider.isCollapsed) {
    setSystemCollection(false);
    scheduleUserRevealCapture();
  } else {
    collapseNativeReveal();
  }
}

// MARK: - Quick-search keys

const std::map<uint16_t, int64_t>& AppDelegate::quickSearchNumberKeyMap() {
  // The main row's digits 1 to 9; the keypad's are not here.
  static const std::map<uint16_t, int64_t> map{{18, 0}, {19, 1}, {20, 2}, {21, 3}, {23, 4},
                                               {22, 5}, {26, 6}, {28, 7}, {25, 8}};
  return map;
}

std::vector<CapturedMenuBarItem> AppDelegate::rankedQuickSearchItems() const {
  return quickSearchIndex.rankedItems(store.capturedSystemItems.get(), quickSearchSession.query.get());
}

void AppDelegate::closeQuickSearch() {
  if (quickSearchKeyMonitor) {
    platform_.eventMonitors.removeMonitor(quickSearchKeyMonitor);
    quickSearchKeyMonitor = 0;
  }
  orderQuickSearchPanelOut();
  quickSearchSession.reset();
}

void AppDelegate::installQuickSearchKeyMonitor() {
  if (quickSearchKeyMonitor) return;
  quickSearchKeyMonitor = platform_.eventMonitors.addLocalMonitor(
      platform::eventMaskBit(platform::EventType::KeyDown),
      [weak = weak_from_this()](const platform::Event& event) -> std::optional<platform::Event> {
        auto self = weak.lock();
        if (!self || !self->isQuickSearchPanelKey()) return event;
        return self->handleQuickSearchKeyDown(event);
      });
}

std::optional<platform::Event> AppDelegate::handleQuickSearchKeyDown(const platform::Event& event) {
  const platform::EventFlags flags = event.modifierFlags();
  // Caps Lock counts: with it on, these keys reach the search field.
  const bool plain = (flags & ~platform::eventflag::numericPad) == 0;
  // Arrow keys always carry the numeric-pad and function flags.
  const bool plainArrow = (flags & ~(platform::eventflag::numericPad | platform::eventflag::function)) == 0;
  switch (event.keyCode) {
    case platform::keycode::returnKey:
    case platform::keycode::keypadEnter:
      if (!plain) return event;
      activateQuickSearchSelection();
      return std::nullopt;
    case platform::keycode::escape:
      if (!plain) return event;
      closeQuickSearch();
      return std::nullopt;
    case platform::keycode::downArrow:
    case platform::keycode::upArrow: {
      if (!plainArrow) return event;
      const auto count = static_cast<int64_t>(rankedQuickSearchItems().size());
      quickSearchSession.moveSelection(event.keyCode == platform::keycode::downArrow ? 1 : -1, count);
      return std::nullopt;
    }
    default:
      break;
  }
  if ((flags & kSelectionModifiers) != platform::eventflag::command) return event;
  const auto& map = quickSearchNumberKeyMap();
  auto entry = map.find(event.keyCode);
  if (entry == map.end()) return event;
  const auto ranked = rankedQuickSearchItems();
  // Swallowed also beyond the list.
  if (entry->second < static_cast<int64_t>(ranked.size())) activateQuickSearchItem(ranked[entry->second]);
  return std::nullopt;
}

void AppDelegate::activateQuickSearchSelection() {
  const auto ranked = rankedQuickSearchItems();
  const int64_t index = quickSearchSession.selectedIndex.get();
  if (index >= 0 && index < static_cast<int64_t>(ranked.size())) activateQuickSearchItem(ranked[index]);
}

void AppDelegate::activateQuickSearchItem(const CapturedMenuBarItem& item) {
  closeManager();
  closeQuickSearch();
  beginSystemItemActivation(item.id);
}

}  // namespace vimbo
