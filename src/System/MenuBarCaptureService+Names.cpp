// Display names: the fixed table, the naming chain, learned names and the persisted name table.

#include <cmath>

#include "System/Capture/CaptureText.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

std::optional<std::string> MenuBarCaptureService::fixedDisplayName(std::string_view windowName) {
  static const std::map<std::string, std::string, std::less<>> table = {
      {"WiFi", "Wi\u2011Fi"}, {"Bluetooth", "蓝牙"},     {"Battery", "电池"},         {"Clock", "时钟"},
      {"FocusModes", "专注模式"}, {"Siri", "Siri"}, {"BentoBox-0", "控制中心"},
  };
  auto it = table.find(windowName);
  if (it == table.end()) return std::nullopt;
  return it->second;
}

bool MenuBarCaptureService::isMeaningfulDisplayName(std::string_view name) { return !isPlaceholderWindowName(name); }

std::optional<std::string> MenuBarCaptureService::friendlyDisplayName(const MenuExtraDisplayCandidate& c) {
  auto text = [](const std::optional<std::string>& s) { return s ? capture_text::trimmed(*s) : std::string(); };
  auto beforeComma = [](const std::string& s) {
    auto pos = s.find("，");
    return pos == std::string::npos ? s : s.substr(0, pos);
  };
  const std::string bundle = capture_text::trimmed(c.bundleIdentifier);
  const std::string description = text(c.itemDescription);
  const std::string title = text(c.itemTitle);
  const std::string help = text(c.itemHelp);
  const std::string app = capture_text::trimmed(c.applicationName);

  if (bundle == "com.apple.TextInputMenuAgent" && !description.empty()) return description;
  if (bundle == "com.setapp.DesktopClient.SetappLauncher") return std::string("Setapp");
  if (!app.empty() && app != "控制中心" && app != "Control Center") {
    static constexpr std::string_view helper = "Helper";
    if (app.ends_with(helper)) {
      std::string rest = app.substr(0, app.size() - helper.size());
      return rest.empty() ? app : rest;
    }
    return app;
  }
  if (!description.empty()) return beforeComma(description);
  if (!title.empty()) return title;
  if (!help.empty()) return beforeComma(help);
  return std::nullopt;
}

void MenuBarCaptureService::learnDisplayName(std::string_view name, const std::string& stableIdentity,
                                             const WindowMetadata* window, std::string_view candidateBundleIdentifier,
                                             int32_t candidateProcessIdentifier) {
  std::string t = capture_text::trimmed(name);
  if (t.empty() || t == "系统项目" || t == "Item-0" || t.starts_with("owner:")) return;
  state_.confirmedDisplayNames[stableIdentity] = t;
  // Only meaningful names reach the persisted table: a placeholder written there would be
  // dropped by the next flush and take the good name it replaced with it.
  if (isPersistableNameIdentity(stableIdentity) && isMeaningfulDisplayName(t)) {
    auto& names = state_.persistedDisplayNames;
    auto it = names.find(stableIdentity);
    // A full table drops its smallest key at the flush: a new key below every stored one would be
    // dropped at once and the write would repeat the stored table, so it is left out.
    const bool droppedAtOnce = it == names.end() && names.size() >= displayNameCap && stableIdentity < names.begin()->first;
    if ((it == names.end() || it->second != t) && !droppedAtOnce) {
      names[stableIdentity] = t;
      // The table holds only what the flush's filter keeps, so its cap alone is applied now: a
      // flush held back until the end of a scan leaves lookups seeing what they would otherwise.
      while (names.size() > displayNameCap) names.erase(names.begin());
      flushPersistedDisplayNames();
    }
  }
  if (window && !candidateBundleIdentifier.empty() && candidateProcessIdentifier > 0) {
    state_.confirmedDisplayNameObservations[window->windowID] = ConfirmedDisplayNameObservation{
        t,
        window->windowID,
        window->ownerBundleIdentifier,
        window->windowName,
        window->ownerPID,
        window->frame.height,
        std::string(candidateBundleIdentifier),
        candidateProcessIdentifier,
    };
  }
}

std::optional<std::string> MenuBarCaptureService::confirmedDisplayName(const WindowMetadata& m,
                                                                     const std::string& stableIdentity) const {
  auto n = state_.confirmedDisplayNames.find(stableIdentity);
  auto o = state_.confirmedDisplayNameObservations.find(m.windowID);
  if (n == state_.confirmedDisplayNames.end() || o == state_.confirmedDisplayNameObservations.end()) return std::nullopt;
  const auto& obs = o->second;
  if (obs.displayName != n->second || obs.windowID != m.windowID || obs.ownerBundleIdentifier != m.ownerBundleIdentifier ||
      obs.windowName != m.windowName || obs.ownerPID != m.ownerPID || !(std::fabs(m.frame.height - obs.height) < 0.5)) {
    return std::nullopt;
  }
  if (candidatesWithBundleAndProcess(obs.candidateBundleIdentifier, obs.candidateProcessIdentifier).size() != 1) return std::nullopt;
  return n->second;
}

std::string MenuBarCaptureService::displayName(const WindowMetadata& m, const std::string& s) {
  if (auto fixed = fixedDisplayName(m.windowName)) return *fixed;

  const bool placeholderWindow = isPlaceholderWindowName(m.windowName);
  if (auto it = state_.preDividerMenuExtraCandidates.find(m.windowID); it != state_.preDividerMenuExtraCandidates.end()) {
    const auto o = it->second;  // copy: learning may touch the tables
    if (o.windowName == m.windowName && o.ownerBundleIdentifier == m.ownerBundleIdentifier && o.ownerPID == m.ownerPID &&
        std::fabs(m.frame.height - o.height) < 0.5) {
      auto f = friendlyDisplayName(o.candidate);
      if (f && (isDisplayNameCompatible(*f, m.windowName) || placeholderWindow)) {
        learnDisplayName(*f, s, &m, o.candidate.bundleIdentifier, o.candidate.processIdentifier);
        return *f;
      }
    }
  }
  if (auto alias = persistedMenuExtraAlias(m)) {
    if (isDisplayNameCompatible(alias->displayName, m.windowName) || placeholderWindow) {
      learnDisplayName(alias->displayName, s, &m, alias->candidateBundleIdentifier, alias->candidateProcessIdentifier);
      return alias->displayName;
    }
  }
  if (auto candidate = matchingMenuExtraCandidate(m)) {
    auto f = friendlyDisplayName(*candidate);
    if (f && (isDisplayNameCompatible(*f, m.windowName) || placeholderWindow)) {
      learnDisplayName(*f, s, &m, candidate->bundleIdentifier, candidate->processIdentifier);
      return *f;
    }
  }
  if (auto confirmed = confirmedDisplayName(m, s)) return *confirmed;
  if (!placeholderWindow) {
    learnDisplayName(m.windowName, s, &m);
    return m.windowName;
  }
  if (auto title = accessibilityTitle(s); title && !isPlaceholderWindowName(*title)) {
    learnDisplayName(*title, s, &m);
    return *title;
  }
  if (!isPlaceholderWindowName(m.ownerName)) {
    learnDisplayName(m.ownerName, s, &m);
    return m.ownerName;
  }
  if (auto it = state_.confirmedDisplayNames.find(s); it != state_.confirmedDisplayNames.end() && isMeaningfulDisplayName(it->second)) {
    return it->second;
  }
  if (auto it = state_.persistedDisplayNames.find(s); it != state_.persistedDisplayNames.end()) return it->second;
  return "系统项目";
}

std::map<std::string, std::string> MenuBarCaptureService::filteredPersistedDisplayNames(std::map<std::string, std::string> names) {
  std::map<std::string, std::string> kept;
  for (auto& [k, v] : names) {
    if (isPersistableNameIdentity(k) && isMeaningfulDisplayName(v)) kept.emplace(k, std::move(v));
  }
  while (kept.size() > displayNameCap) kept.erase(kept.begin());  // the smallest keys go
  return kept;
}

}  // namespace vimbo
