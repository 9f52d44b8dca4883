// Reading the window list: one record per status-item window, the hit-test identity that
// travels with it, and discovery of the captured items left to right.

#include <algorithm>
#include <cmath>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Platform.h"
#include "System/Capture/CaptureText.h"
#include "System/MenuBarCaptureService.h"
#include "System/MenuBarSnapshot.h"

namespace vimbo {

std::vector<MenuBarCaptureService::WindowMetadata> MenuBarCaptureService::menuBarWindowMetadata() {
  auto& ws = platform_.windowServer;
  auto list = ws.copyWindowList(platform::WindowListOption::All);
  if (!list) return {};
  const int64_t statusLevel = ws.windowLevel(platform::WindowLevelKey::Status);
  std::vector<WindowMetadata> out;
  out.reserve(list->size());
  for (const auto& entry : *list) {
    auto layer = entry.layer();
    if (!layer || *layer != statusLevel) continue;
    auto number = entry.number();
    if (!number) continue;
    auto pid = entry.ownerPID();
    if (!pid) continue;
    auto bounds = entry.bounds();
    if (!bounds || !bounds->isValidPositive()) continue;
    WindowMetadata m;
    m.windowID = *number;
    m.ownerPID = *pid;
    m.frame = *bounds;
    m.windowName = entry.name().value_or("");
    m.ownerName = entry.ownerName().value_or("菜单栏项目");
    if (auto bundle = ownerBundleIdentifier(*pid)) {
      m.ownerBundleIdentifier = *bundle;
    } else {
      m.ownerBundleIdentifier = "owner:" + m.ownerName;
    }
    if (m.frame.height > 40 || m.windowName.starts_with("Vimbo.")) continue;
    m.accessibilityIdentity = accessibilityIdentity(m.frame, m.windowID, m.windowName, m.ownerPID);
    out.push_back(std::move(m));
  }
  return out;
}

std::optional<std::string> MenuBarCaptureService::accessibilityIdentity(const Rect& frame, uint32_t windowID,
                                                                       const std::string& windowName, int32_t ownerPID) {
  if (!isFrameOnScreen(frame)) return std::nullopt;
  const HitResult hit = hitTest(frame);
  if (!hit.hit) return std::nullopt;

  std::set<int32_t> accepted;
  auto observation = [&]() -> const PreDividerMenuExtraObservation* {
    auto it = state_.preDividerMenuExtraCandidates.find(windowID);
    if (it == state_.preDividerMenuExtraCandidates.end()) return nullptr;
    if (it->second.ownerPID != ownerPID || !(std::fabs(it->second.height - frame.height) < 0.5)) return nullptr;
    return &it->second;
  };
  if (windowName == "Item-0") {
    const auto* o = observation();
    if (!o) return std::nullopt;
    accepted.insert(o->candidate.processIdentifier);
  } else {
    const auto matches = candidatesMatchingFrame(frame);
    if (matches.size() == 1) {
      accepted.insert(matches[0]->processIdentifier);
    } else if (matches.empty()) {
      accepted.insert(ownerPID);
    }
    if (const auto* o = observation()) accepted.insert(o->candidate.processIdentifier);
  }
  if (!hit.pid || !accepted.contains(*hit.pid)) return std::nullopt;

  auto& ax = platform_.accessibility;
  platform::AXElement element{hit.element};
  for (int depth = 0; depth < 5; ++depth) {
    auto readString = [&](const char* attribute) -> std::optional<std::string> {
      auto r = ax.copyAttributeValue(element, attribute);
      if (r.error != platform::AXError::Success || !r.value) return std::nullopt;
      if (const auto* s = r.value->string(); s && !s->empty()) return *s;
      return std::nullopt;
    };
    if (auto id = readString(platform::axattr::identifier)) return "identifier:" + *id;
    if (auto title = readString(platform::axattr::title)) return "title:" + *title;
    if (depth == 4) break;
    auto parent = ax.copyAttributeValue(element, platform::axattr::parent);
    if (parent.error != platform::AXError::Success || !parent.value) return std::nullopt;
    const auto* next = parent.value->element();
    if (!next || !*next) return std::nullopt;
    element = *next;
  }
  return std::nullopt;
}

std::optional<MenuBarCaptureService::MenuExtraDisplayCandidate> MenuBarCaptureService::matchingMenuExtraCandidate(
    const WindowMetadata& m) {
  if (isFrameInAuxiliaryTopRightArea(m.frame) && !fixedMenuExtraAccessibilityIdentity(m.windowName)) return std::nullopt;
  auto hit = accessibilityHitPID(m.frame);
  if (!hit) return std::nullopt;
  const MenuExtraDisplayCandidate* found = nullptr;
  for (const auto* c : candidatesMatchingFrame(m.frame)) {
    if (c->processIdentifier == *hit) {
      if (found) return std::nullopt;
      found = c;
    }
  }
  if (!found) return std::nullopt;
  return *found;
}

std::vector<CapturedMenuBarItem> MenuBarCaptureService::discoverMenuBarItems() {
  PersistedTablesBatch batch(*this);
  PassScope pass(*this);
  auto records = menuBarWindowMetadata();
  std::stable_sort(records.begin(), records.end(), [](const WindowMetadata& a, const WindowMetadata& b) {
    if (a.frame.minX() != b.frame.minX()) return a.frame.minX() < b.frame.minX();
    if (capture_text::lessByScalars(a.windowName, b.windowName)) return true;
    if (capture_text::lessByScalars(b.windowName, a.windowName)) return false;
    return capture_text::lessByScalars(a.ownerBundleIdentifier, b.ownerBundleIdentifier);
  });
  persistSafeRightMenuExtraAssociations(records);
  refreshMenuExtraAXOwnerPIDs(records);

  std::vector<std::string> bases, sizeBases;
  bases.reserve(records.size());
  sizeBases.reserve(records.size());
  std::map<std::string, size_t> baseCount, sizeCount;
  for (const auto& m : records) {
    bases.push_back(stableIdentityBase(m));
    sizeBases.push_back(bases.back() + sizeSuffix(m.frame.width, m.frame.height));
    ++baseCount[bases.back()];
    ++sizeCount[sizeBases.back()];
  }
  std::map<std::string, size_t> slotSeen;
  std::vector<CapturedMenuBarItem> items;
  items.reserve(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const auto& m = records[i];
    std::string identity;
    if (baseCount[bases[i]] == 1) {
      identity = bases[i];
    } else {
      size_t n = slotSeen[sizeBases[i]]++;
      identity = sizeCount[sizeBases[i]] == 1 ? sizeBases[i] : sizeBases[i] + "|slot=" + std::to_string(n);
    }
    std::string name = displayName(m, identity);
    CapturedMenuBarItem item;
    item.id = m.windowID;
    item.stableIdentity = std::move(identity);
    item.name = std::move(name);
    item.windowName = m.windowName;
    item.ownerName = m.ownerName;
    item.ownerBundleIdentifier = m.ownerBundleIdentifier;
    item.ownerPID = m.ownerPID;
    item.originalFrame = m.frame;
    item.image = nullptr;
    item.isCollected = isOutsideVisibleScreens(m.frame);
    items.push_back(std::move(item));
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const CapturedMenuBarItem& a, const CapturedMenuBarItem& b) { return a.originalFrame.minX() < b.originalFrame.minX(); });
  return items;
}

bool MenuBarCaptureService::isOutsideVisibleScreens(const Rect& frame) { return !isFrameOnScreen(frame); }

std::optional<Rect> MenuBarCaptureService::currentFrame(uint32_t windowID) {
  auto list = platform_.windowServer.copyWindowList(platform::WindowListOption::All);
  if (!list) return std::nullopt;
  for (const auto& entry : *list) {
    if (entry.number() == windowID) return MenuBarSnapshot::liveFrame(entry);
  }
  return std::nullopt;
}

std::string MenuBarCaptureService::stableIdentity(const CapturedMenuBarItem& item) {
  for (const auto& found : discoverMenuBarItems()) {
    if (found.id == item.id) return found.stableIdentity;
  }
  return item.stableIdentity;
}

}  // namespace vimbo
