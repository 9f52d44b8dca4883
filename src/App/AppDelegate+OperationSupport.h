#pragma once
// Small lookups and geometry tests the item operations share.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "App/AppDelegate.h"
#include "App/AppDelegate+OperationTexts.h"

namespace vimbo::operation_support {

// The first captured entry with the window number; null when none. Invalidated by any change of
// the captured list.
inline const CapturedMenuBarItem* capturedItem(const MenuBarStore& store, uint32_t windowID) {
  for (const auto& item : store.capturedSystemItems.get()) {
    if (item.id == windowID) return &item;
  }
  return nullptr;
}

// Pin and collect judge an item whose window cannot be read by what the store last saw.
inline bool standsVisible(const MenuBarSnapshot& bar, const CapturedMenuBarItem& item) {
  return bar.isShown(item.id).value_or(!item.isCollected);
}

// The screen our control item stands on (the first without it) has a notch.
inline bool barHasNotch(AppDelegate& app) {
  const auto control = app.menuBarHider.windowServerFrame(hider::controlName);
  const platform::Screens& screens = app.platform().screens;
  const auto all = screens.screens();
  for (const auto& screen : all) {
    const Rect bounds = screen.screenNumber ? screens.displayBounds(*screen.screenNumber) : screen.frame;
    if (!control || bounds.insetBy(-bar_side::slack, -bar_side::slack).contains(control->center())) {
      return screen.auxiliaryTopRightArea.has_value();
    }
  }
  return !all.empty() && all.front().auxiliaryTopRightArea.has_value();
}

// The sentence that names why the capture service could not press or drag an item; none when it
// did and the item was only not seen where asked. `permission` is the operation's own sentence
// for a missing permission or an event that could not be made.
inline std::optional<std::string> failureCause(MenuBarCaptureService::ItemFailure failure, std::string_view name,
                                               std::string permission) {
  using Failure = MenuBarCaptureService::ItemFailure;
  switch (failure) {
    case Failure::accessibilityNotTrusted:
    case Failure::eventUnavailable:
      return permission;
    case Failure::windowGone:
      return operation_text::itemsChanged;
    case Failure::notPressable:
      return operation_text::notPressable(name);
    case Failure::none:
    case Failure::notArrived:
    case Failure::givenUp:
      break;
  }
  return std::nullopt;
}

// The mover made its drop but did not see it land: the window server may show it late, so the
// caller's own wait for the item judges it by where it ends. Read in the turn the move returned in.
inline bool droppedUnseen(const MenuBarCaptureService& service) {
  return service.lastItemFailure() == MenuBarCaptureService::ItemFailure::notArrived;
}

// The sentence for a drag the mover just gave up: its cause, that it stopped before any drop,
// else that the item was not seen on the side asked for. Read in the turn the move returned in.
inline std::string dragFailure(const MenuBarCaptureService& service, std::string_view name) {
  const MenuBarCaptureService::ItemFailure failure = service.lastItemFailure();
  if (failure == MenuBarCaptureService::ItemFailure::givenUp) return operation_text::moveGivenUp(name);
  return failureCause(failure, name, operation_text::moveRefused(name)).value_or(operation_text::notOnTargetSide(name));
}

}  // namespace vimbo::operation_support
