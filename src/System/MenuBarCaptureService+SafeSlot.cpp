// Indexing an unnamed item that stands in the safe slot right of the divider: a hit test at its
// centre names the owning process, and a process with exactly one menu extra names the item.

#include <algorithm>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Platform.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

bool MenuBarCaptureService::indexMenuExtraFromSafeSlot(const CapturedMenuBarItem& item, bool persist) {
  PersistedTablesBatch batch(*this);
  const uint32_t windowID = item.id;
  const std::vector<WindowMetadata> windows = menuBarWindowMetadata();
  auto found = std::find_if(windows.begin(), windows.end(), [&](const WindowMetadata& m) { return m.windowID == windowID; });
  if (found == windows.end()) return false;
  const WindowMetadata& window = *found;

  platform::Accessibility& ax = platform_.accessibility;
  auto hit = ax.copyElementAtPosition(ax.createSystemWide(), static_cast<float>(window.frame.midX()),
                                      static_cast<float>(window.frame.midY()));
  if (hit.error != platform::AXError::Success || !hit.element) return false;
  auto owner = ax.getPid(hit.element);
  if (owner.error != platform::AXError::Success) return false;

  const MenuExtraDisplayCandidate* candidate = nullptr;
  for (const auto& c : state_.menuExtraDisplayCandidates) {
    if (c.processIdentifier != owner.pid) continue;
    if (candidate) return false;  // two menu extras of one process: no way to tell which
    candidate = &c;
  }
  if (!candidate) return false;
  const MenuExtraDisplayCandidate chosen = *candidate;

  auto durable = durableCandidateAccessibilityIdentity(chosen);
  if (!durable) return false;
  auto friendly = friendlyDisplayName(chosen);
  if (!friendly) return false;

  const std::string identity = window.ownerBundleIdentifier + "|window=" + window.windowName + "|ax=" + *durable;
  state_.sessionIdentityCache[windowID] = StableIdentityCacheEntry{
      identity, window.windowName, window.ownerBundleIdentifier, window.ownerPID, window.frame.width, window.frame.height};
  learnDisplayName(*friendly, identity, &window, chosen.bundleIdentifier, chosen.processIdentifier);
  state_.preDividerMenuExtraCandidates[windowID] = PreDividerMenuExtraObservation{
      chosen, window.windowName, window.ownerBundleIdentifier, window.ownerPID, window.frame.width, window.frame.height};
  state_.menuExtraAXOwnerPIDs[windowID] = owner.pid;
  if (persist) persistMenuExtraAlias(chosen, window);
  return true;
}

}  // namespace vimbo
