// Placeholders for the item operations still to come (layout apply and order alignment): each
// does nothing, or answers false or none.
#include "App/AppDelegate.h"

namespace vimbo {

async::Task<bool> AppDelegate::applyMenuBarLayout(MenuBarLayoutDraft) { co_return false; }

async::Task<bool> AppDelegate::performMenuBarLayoutApply(MenuBarLayoutDraft) { co_return false; }

bool AppDelegate::failMenuBarLayoutApply(std::string) { return false; }

bool AppDelegate::validateMenuBarLayoutDraft(const MenuBarLayoutDraft&, const std::vector<CapturedMenuBarItem>&) {
  return false;
}

bool AppDelegate::commitAppliedZone(uint32_t, const MenuBarLayoutDraft&) { return false; }

bool AppDelegate::isActuallyVisible(const CapturedMenuBarItem&) { return false; }

async::Task<bool> AppDelegate::applyVisibleNativeOrder(MenuBarLayoutDraft) { co_return false; }

std::optional<std::vector<uint32_t>> AppDelegate::nativeVisibleOrder(const std::vector<uint32_t>&) {
  return std::nullopt;
}

async::Task<bool> AppDelegate::waitForNativeVisibleOrder(std::vector<uint32_t>) { co_return false; }

}  // namespace vimbo
