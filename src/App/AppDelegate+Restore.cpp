// Start-up restore, indexing of unnamed items and the saved-pin reconcile: placeholder bodies
// that behave as if nothing could be restored or indexed.
#include "App/AppDelegate.h"

namespace vimbo {

const std::vector<uint32_t>& AppDelegate::MenuExtraIndexingSnapshot::orderedIDs(MenuExtraIndexingZone zone) const {
  switch (zone) {
    case MenuExtraIndexingZone::visible:
      return visibleIDs;
    case MenuExtraIndexingZone::collected:
      return collectedIDs;
    case MenuExtraIndexingZone::fixed:
      break;
  }
  return fixedIDs;
}

bool AppDelegate::isValidStartupFrame(const Rect&) { return false; }

std::string AppDelegate::startupFrameSignature(const Rect&) { return {}; }

std::optional<AppDelegate::StartupLayoutSnapshot> AppDelegate::startupLayoutSnapshot(const std::vector<std::string>&) {
  return std::nullopt;
}

bool AppDelegate::hasSufficientStartupBand(const StartupLayoutSnapshot&, const std::vector<std::string>&) {
  return false;
}

std::optional<std::vector<std::string>> AppDelegate::startupAppendPlan(const StartupLayoutSnapshot&,
                                                                       const std::vector<std::string>&) {
  return std::nullopt;
}

bool AppDelegate::isStartupResident(const CapturedMenuBarItem&, const StartupLayoutSnapshot&) { return false; }

async::Task<std::optional<AppDelegate::StartupLayoutSnapshot>> AppDelegate::waitForStableStartupLayout(
    std::vector<std::string>) {
  co_return std::nullopt;
}

// What the restore does when nothing can be restored.
async::Task<void> AppDelegate::completeInitialSystemSetup(std::vector<std::string>) {
  setSystemCollection(true);
  scheduleInitialCapture();
  co_return;
}

bool AppDelegate::needsSafeSlotIndexing(const CapturedMenuBarItem&) { return false; }

std::optional<AppDelegate::MenuExtraIndexingSnapshot> AppDelegate::nativeMenuExtraIndexingSnapshot(
    std::optional<std::set<uint32_t>>) {
  return std::nullopt;
}

async::Task<bool> AppDelegate::restoreMenuExtraIndexingLayout(MenuExtraIndexingSnapshot) { co_return false; }

async::Task<AppDelegate::MenuExtraIndexingResult> AppDelegate::finishMenuExtraIndexing(MenuExtraIndexingSnapshot) {
  co_return MenuExtraIndexingResult::notNeeded;
}

async::Task<AppDelegate::MenuExtraIndexingResult> AppDelegate::indexUnresolvedMenuExtrasIfNeeded(
    std::vector<CapturedMenuBarItem>) {
  co_return MenuExtraIndexingResult::notNeeded;
}

async::Task<void> AppDelegate::reconcileSavedPinIntents(bool) { co_return; }

}  // namespace vimbo
