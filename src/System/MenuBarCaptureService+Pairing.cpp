// Pairing windows with accessibility candidates one to one, the persisted aliases that remember
// good pairs, the owner table and the name tests the pairing rules share.

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "Platform/Foundation/Text.h"
#include "System/Capture/CaptureText.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

namespace {
const std::set<std::string, std::less<>> kFixedWindowNames = {"Bluetooth", "Battery", "FocusModes", "WiFi", "BentoBox-0", "Clock"};
bool namesAgree(const std::string& a, const std::string& b) { return a == b || a == "Item-0" || b == "Item-0"; }
bool strongIdentity(const std::optional<std::string>& id) {
  return id && (id->starts_with("identifier:") || id->starts_with("description:"));
}
}  // namespace

// ---- Name tests ----------------------------------------------------------------------------

bool MenuBarCaptureService::isPlaceholderWindowName(std::string_view name) {
  return CapturedMenuBarItem::isPlaceholderName(name, capture_text::onlyLettersDigitsDotDashUnderscore);
}

bool MenuBarCaptureService::isDisplayNameCompatible(std::string_view displayName, std::string_view windowName) {
  if (windowName == "Item-0") return true;
  const std::string a = capture_text::foldedLettersAndDigits(displayName);
  const std::string b = capture_text::foldedLettersAndDigits(windowName);
  if (a.empty() || b.empty()) return false;
  return a.find(b) != std::string::npos || b.find(a) != std::string::npos;
}

bool MenuBarCaptureService::isPersistableNameIdentity(std::string_view identity) {
  return identity.find("|ax=") != std::string_view::npos && identity.find("|size=") == std::string_view::npos &&
         identity.find("|slot=") == std::string_view::npos;
}

// ---- Alias table encoding --------------------------------------------------------------------

std::string MenuBarCaptureService::encodeAliases(const std::map<std::string, PersistedMenuExtraAlias>& aliases) {
  nlohmann::json root = nlohmann::json::object();
  for (const auto& [key, a] : aliases) {
    // An entry with text that is not UTF-8 cannot be written as JSON: it alone is left out.
    const bool encodable = platform::text::isValidUTF8(key) && platform::text::isValidUTF8(a.ownerBundleIdentifier) &&
                           platform::text::isValidUTF8(a.windowName) &&
                           platform::text::isValidUTF8(a.candidateBundleIdentifier) &&
                           platform::text::isValidUTF8(a.displayName) &&
                           platform::text::isValidUTF8(a.accessibilityIdentity) &&
                           (!a.verification || platform::text::isValidUTF8(*a.verification));
    if (!encodable) continue;
    nlohmann::json o = {
        {"observedWindowID", a.observedWindowID},
        {"ownerBundleIdentifier", a.ownerBundleIdentifier},
        {"windowName", a.windowName},
        {"ownerPID", a.ownerPID},
        {"width", a.width},
        {"height", a.height},
        {"candidateBundleIdentifier", a.candidateBundleIdentifier},
        {"candidateProcessIdentifier", a.candidateProcessIdentifier},
        {"displayName", a.displayName},
        {"accessibilityIdentity", a.accessibilityIdentity},
    };
    if (a.verification) o["verification"] = *a.verification;
    root[key] = std::move(o);
  }
  return root.dump();
}

std::optional<std::map<std::string, MenuBarCaptureService::PersistedMenuExtraAlias>> MenuBarCaptureService::decodeAliases(std::string_view text) {
  nlohmann::json root = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded() || !root.is_object()) return std::nullopt;
  auto integer = [](const nlohmann::json& o, const char* key, int64_t lo, int64_t hi) -> std::optional<int64_t> {
    auto it = o.find(key);
    if (it == o.end()) return std::nullopt;
    if (it->is_number_integer()) {
      if (it->is_number_unsigned()) {
        auto v = it->get<uint64_t>();
        if (v > static_cast<uint64_t>(hi)) return std::nullopt;
        return static_cast<int64_t>(v);
      }
      auto v = it->get<int64_t>();
      if (v < lo || v > hi) return std::nullopt;
      return v;
    }
    if (it->is_number_float()) {  // a whole float is accepted, as a JSON decoder of integers does
      double d = it->get<double>();
      if (!std::isfinite(d) || d != std::floor(d) || d < static_cast<double>(lo) || d > static_cast<double>(hi)) return std::nullopt;
      return static_cast<int64_t>(d);
    }
    return std::nullopt;
  };
  auto number = [](const nlohmann::json& o, const char* key) -> std::optional<double> {
    auto it = o.find(key);
    if (it == o.end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
  };
  auto string = [](const nlohmann::json& o, const char* key) -> std::optional<std::string> {
    auto it = o.find(key);
    if (it == o.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
  };
  std::map<std::string, PersistedMenuExtraAlias> out;
  for (auto& [key, o] : root.items()) {
    if (!o.is_object()) return std::nullopt;
    auto wid = integer(o, "observedWindowID", 0, UINT32_MAX);
    auto pid = integer(o, "ownerPID", INT32_MIN, INT32_MAX);
    auto cpid = integer(o, "candidateProcessIdentifier", INT32_MIN, INT32_MAX);
    auto w = number(o, "width");
    auto h = number(o, "height");
    auto owner = string(o, "ownerBundleIdentifier");
    auto wname = string(o, "windowName");
    auto cbundle = string(o, "candidateBundleIdentifier");
    auto dname = string(o, "displayName");
    auto axid = string(o, "accessibilityIdentity");
    if (!wid || !pid || !cpid || !w || !h || !owner || !wname || !cbundle || !dname || !axid) return std::nullopt;
    std::optional<std::string> verification;
    if (auto it = o.find("verification"); it != o.end() && !it->is_null()) {
      if (!it->is_string()) return std::nullopt;
      verification = it->get<std::string>();
    }
    out[key] = PersistedMenuExtraAlias{static_cast<uint32_t>(*wid), *owner, *wname, static_cast<int32_t>(*pid), *w, *h,
                                       *cbundle, static_cast<int32_t>(*cpid), *dname, *axid, verification};
  }
  return out;
}

// ---- Alias validity and recording -----------------------------------------------------------

std::optional<MenuBarCaptureService::PersistedMenuExtraAlias> MenuBarCaptureService::persistedMenuExtraAlias(
    const WindowMetadata& w) {
  const std::string key = "windowID=" + std::to_string(w.windowID);
  auto it = state_.persistedMenuExtraAliases.find(key);
  if (it == state_.persistedMenuExtraAliases.end()) return std::nullopt;
  const PersistedMenuExtraAlias alias = it->second;
  if (alias.observedWindowID != w.windowID || alias.ownerBundleIdentifier != w.ownerBundleIdentifier ||
      alias.windowName != w.windowName || alias.ownerPID != w.ownerPID || !(std::fabs(alias.height - w.frame.height) < 0.5)) {
    return std::nullopt;
  }
  const auto liveCandidates = candidatesWithBundleAndProcess(alias.candidateBundleIdentifier, alias.candidateProcessIdentifier);
  if (liveCandidates.size() != 1) return std::nullopt;
  const MenuExtraDisplayCandidate* live = liveCandidates.front();
  bool evidence = true;
  auto durable = durableCandidateAccessibilityIdentity(*live);
  if (!durable || *durable != alias.accessibilityIdentity) evidence = false;
  if (evidence && !(alias.verification && (*alias.verification == "safe-hit" || *alias.verification == "strict-ax"))) evidence = false;
  if (evidence && isFrameInAuxiliaryTopRightArea(w.frame)) {
    auto hit = accessibilityHitPID(w.frame);
    if (!hit || *hit != alias.candidateProcessIdentifier) evidence = false;
  }
  if (!evidence) {
    state_.persistedMenuExtraAliases.erase(key);
    flushPersistedMenuExtraAliases();
    return std::nullopt;
  }
  return alias;
}

void MenuBarCaptureService::persistMenuExtraAlias(const MenuExtraDisplayCandidate& candidate, const WindowMetadata& w) {
  const MenuExtraDisplayCandidate c = candidate;  // the caller's reference may point into a table we change
  auto durable = durableCandidateAccessibilityIdentity(c);
  if (!durable) return;
  auto friendly = friendlyDisplayName(c);
  if (!friendly || friendly->empty()) return;

  std::optional<std::string> verification;
  if (isFrameInAuxiliaryTopRightArea(w.frame)) {
    auto hit = accessibilityHitPID(w.frame);
    if (hit && *hit == c.processIdentifier) verification = "safe-hit";
  }
  if (!verification && strongIdentity(c.accessibilityIdentity)) verification = "strict-ax";
  if (!verification) return;

  const std::string key = "windowID=" + std::to_string(w.windowID);
  bool changed = false;
  auto& aliases = state_.persistedMenuExtraAliases;
  for (auto it = aliases.begin(); it != aliases.end();) {
    const auto& a = it->second;
    if (it->first != key && a.candidateBundleIdentifier == c.bundleIdentifier && a.candidateProcessIdentifier == c.processIdentifier &&
        a.accessibilityIdentity == *durable) {
      state_.confirmedDisplayNameObservations.erase(a.observedWindowID);
      const std::string marker = "|ax=" + a.accessibilityIdentity;
      for (auto n = state_.confirmedDisplayNames.begin(); n != state_.confirmedDisplayNames.end();) {
        n = n->first.find(marker) != std::string::npos ? state_.confirmedDisplayNames.erase(n) : std::next(n);
      }
      it = aliases.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  PersistedMenuExtraAlias record{w.windowID, w.ownerBundleIdentifier, w.windowName, w.ownerPID, w.frame.width, w.frame.height,
                                 c.bundleIdentifier, c.processIdentifier, *friendly, *durable, verification};
  if (auto it = aliases.find(key); it == aliases.end() || !(it->second == record)) {
    aliases[key] = record;
    changed = true;
  }
  if (aliases.size() > aliasCap) {
    size_t excess = aliases.size() - aliasCap;
    for (auto it = aliases.begin(); it != aliases.end() && excess > 0;) {
      if (it->first == key) {
        ++it;
        continue;
      }
      it = aliases.erase(it);
      --excess;
      changed = true;
    }
  }
  if (changed) flushPersistedMenuExtraAliases();

  const std::string identity = w.ownerBundleIdentifier + "|window=" + w.windowName + "|ax=" + *durable;
  learnDisplayName(*friendly, identity, &w, c.bundleIdentifier, c.processIdentifier);
}

// ---- Pairs ----------------------------------------------------------------------------------

std::map<uint32_t, MenuBarCaptureService::MenuExtraDisplayCandidate> MenuBarCaptureService::verifiedSafeRightMenuExtraPairs(
    const std::vector<WindowMetadata>& windows) {
  const bool poolEmpty = std::none_of(state_.menuExtraDisplayCandidates.begin(), state_.menuExtraDisplayCandidates.end(),
                                      [](const auto& c) { return c.processIdentifier > 0 && !c.bundleIdentifier.empty(); });
  if (poolEmpty) return {};
  std::vector<std::pair<uint32_t, const MenuExtraDisplayCandidate*>> pairs;
  for (const auto& w : windows) {
    if (kFixedWindowNames.contains(w.windowName)) continue;
    if (!isFrameInAuxiliaryTopRightArea(w.frame)) continue;
    auto hit = accessibilityHitPID(w.frame);
    if (!hit) continue;
    const MenuExtraDisplayCandidate* only = nullptr;
    size_t count = 0;
    for (auto* c : candidatesWithProcess(*hit)) {
      if (c->processIdentifier > 0 && !c->bundleIdentifier.empty()) {
        only = c;
        ++count;
      }
    }
    if (count != 1) continue;
    bool gate = w.windowName == "Item-0" || isPlaceholderWindowName(w.windowName);
    if (!gate) {
      auto f = friendlyDisplayName(*only);
      gate = f && isDisplayNameCompatible(*f, w.windowName);
    }
    if (gate) pairs.emplace_back(w.windowID, only);
  }
  std::map<const MenuExtraDisplayCandidate*, size_t> perCandidate;
  std::map<uint32_t, size_t> perWindow;
  for (const auto& [wid, c] : pairs) {
    ++perCandidate[c];
    ++perWindow[wid];
  }
  std::map<uint32_t, MenuExtraDisplayCandidate> out;
  for (const auto& [wid, c] : pairs) {
    if (perCandidate[c] == 1 && perWindow[wid] == 1) out.emplace(wid, *c);
  }
  return out;
}

std::vector<std::pair<MenuBarCaptureService::WindowMetadata, MenuBarCaptureService::MenuExtraDisplayCandidate>>
MenuBarCaptureService::highConfidencePreDividerPairs(const std::vector<WindowMetadata>& windows) {
  PassScope pass(*this);
  std::vector<WindowMetadata> M = windows;
  std::stable_sort(M.begin(), M.end(), [](const auto& a, const auto& b) { return a.frame.midX() < b.frame.midX(); });
  std::vector<MenuExtraDisplayCandidate> C;
  for (const auto& c : state_.menuExtraDisplayCandidates) {
    if (c.processIdentifier > 0 && !c.bundleIdentifier.empty()) C.push_back(c);
  }
  // A candidate whose position is not a number matches nothing; it goes last so the order stays
  // one the searches below can rely on.
  std::stable_sort(C.begin(), C.end(), [](const auto& a, const auto& b) {
    const double x = a.frame.midX(), y = b.frame.midX();
    return std::isnan(y) ? !std::isnan(x) : x < y;
  });
  if (M.empty() || C.empty()) return {};

  std::vector<bool> windowTaken(M.size(), false), candidateTaken(C.size(), false);

  // Lookups over C (positions ascend within each list) and over M by midX.
  std::map<int32_t, std::vector<size_t>> positionsOfProcess;
  std::map<std::string, std::vector<size_t>> positionsWithIdentity;
  std::map<std::pair<std::string, int32_t>, std::vector<size_t>> positionsOfBundleAndProcess;
  for (size_t ci = 0; ci < C.size(); ++ci) {
    positionsOfProcess[C[ci].processIdentifier].push_back(ci);
    if (C[ci].accessibilityIdentity) positionsWithIdentity[*C[ci].accessibilityIdentity].push_back(ci);
    positionsOfBundleAndProcess[{C[ci].bundleIdentifier, C[ci].processIdentifier}].push_back(ci);
  }
  auto positionsMatchingWindow = [&](const Rect& frame) {  // C is sorted by midX
    std::vector<size_t> out;
    auto lo = std::lower_bound(C.begin(), C.end(), frame.midX() - 2.501, [](const auto& c, double x) { return c.frame.midX() < x; });
    for (auto it = lo; it != C.end() && it->frame.midX() <= frame.midX() + 2.501; ++it) {
      if (frameMatchesMenuExtraCandidate(frame, *it)) out.push_back(static_cast<size_t>(it - C.begin()));
    }
    return out;
  };
  auto windowsMatchingCandidate = [&](const MenuExtraDisplayCandidate& c) {  // M is sorted by midX
    size_t count = 0;
    auto lo = std::lower_bound(M.begin(), M.end(), c.frame.midX() - 2.501, [](const auto& w, double x) { return w.frame.midX() < x; });
    for (auto it = lo; it != M.end() && it->frame.midX() <= c.frame.midX() + 2.501; ++it) {
      if (frameMatchesMenuExtraCandidate(it->frame, c)) ++count;
    }
    return count;
  };

  // Safe-right pairs.
  std::vector<std::pair<size_t, size_t>> p0;
  const auto safeRight = verifiedSafeRightMenuExtraPairs(M);
  for (size_t wi = 0; wi < M.size(); ++wi) {
    auto it = safeRight.find(M[wi].windowID);
    if (it == safeRight.end()) continue;
    if (auto pos = positionsOfProcess.find(it->second.processIdentifier); pos != positionsOfProcess.end()) p0.emplace_back(wi, pos->second.front());
  }
  {
    std::map<size_t, size_t> perWindow, perCandidate;
    for (auto [wi, ci] : p0) {
      ++perWindow[wi];
      ++perCandidate[ci];
    }
    std::vector<std::pair<size_t, size_t>> kept;
    for (auto [wi, ci] : p0) {
      if (perWindow[wi] == 1 && perCandidate[ci] == 1) kept.emplace_back(wi, ci);
    }
    p0 = kept;
  }
  for (auto [wi, ci] : p0) windowTaken[wi] = candidateTaken[ci] = true;

  std::vector<std::pair<size_t, size_t>> later;
  // Fixed names.
  for (size_t wi = 0; wi < M.size(); ++wi) {
    if (windowTaken[wi]) continue;
    auto fixed = fixedMenuExtraAccessibilityIdentity(M[wi].windowName);
    if (!fixed) continue;
    auto hits = positionsWithIdentity.find(*fixed);
    if (hits != positionsWithIdentity.end() && hits->second.size() == 1 && !candidateTaken[hits->second[0]]) {
      const size_t ci = hits->second[0];
      later.emplace_back(wi, ci);
      windowTaken[wi] = candidateTaken[ci] = true;
    }
  }
  // Stored aliases.
  for (size_t wi = 0; wi < M.size(); ++wi) {
    if (windowTaken[wi]) continue;
    auto alias = persistedMenuExtraAlias(M[wi]);
    if (!alias) continue;
    std::vector<size_t> hits;
    if (auto it = positionsOfBundleAndProcess.find({alias->candidateBundleIdentifier, alias->candidateProcessIdentifier});
        it != positionsOfBundleAndProcess.end()) {
      for (size_t ci : it->second) {
        if (!candidateTaken[ci]) hits.push_back(ci);
      }
    }
    if (hits.size() == 1) {
      later.emplace_back(wi, hits[0]);
      windowTaken[wi] = candidateTaken[hits[0]] = true;
    }
  }
  // Unique frame matches.
  for (size_t wi = 0; wi < M.size(); ++wi) {
    if (windowTaken[wi]) continue;
    const auto& W = M[wi];
    std::vector<size_t> hits;
    for (size_t ci : positionsMatchingWindow(W.frame)) {
      if (!candidateTaken[ci]) hits.push_back(ci);
    }
    if (hits.size() != 1) continue;
    const auto& c = C[hits[0]];
    const bool inArea = isFrameInAuxiliaryTopRightArea(W.frame);
    const auto hit = accessibilityHitPID(W.frame);
    if (!inArea) {
      if (W.windowName == "Item-0") {
        if (!strongIdentity(c.accessibilityIdentity)) continue;
      } else if (!hit || *hit != c.processIdentifier) {
        continue;
      }
    } else {
      if (!hit || *hit != c.processIdentifier) continue;
      if (positionsOfProcess[*hit].size() != 1) continue;
      bool gate = W.windowName == "Item-0" || isPlaceholderWindowName(W.windowName);
      if (!gate) {
        auto f = friendlyDisplayName(c);
        gate = f && isDisplayNameCompatible(*f, W.windowName);
      }
      if (!gate) continue;
    }
    if (windowsMatchingCandidate(c) != 1) continue;
    later.emplace_back(wi, hits[0]);
  }

  std::sort(later.begin(), later.end());
  std::vector<bool> wAccepted(M.size(), false), cAccepted(C.size(), false);
  std::vector<std::pair<size_t, size_t>> accepted;
  auto accept = [&](std::pair<size_t, size_t> p) {
    if (wAccepted[p.first] || cAccepted[p.second]) return;
    wAccepted[p.first] = cAccepted[p.second] = true;
    accepted.push_back(p);
  };
  for (auto p : later) accept(p);
  for (auto p : p0) accept(p);
  std::sort(accepted.begin(), accepted.end());
  std::vector<std::pair<WindowMetadata, MenuExtraDisplayCandidate>> out;
  for (auto [wi, ci] : accepted) out.emplace_back(M[wi], C[ci]);
  return out;
}

void MenuBarCaptureService::persistSafeRightMenuExtraAssociations(const std::vector<WindowMetadata>& windows) {
  PersistedTablesBatch batch(*this);
  PassScope pass(*this);
  const auto pairs = verifiedSafeRightMenuExtraPairs(windows);
  if (pairs.empty()) return;
  for (const auto& w : windows) {
    if (auto it = pairs.find(w.windowID); it != pairs.end()) persistMenuExtraAlias(it->second, w);
  }
}

void MenuBarCaptureService::refreshMenuExtraAXOwnerPIDs(const std::vector<WindowMetadata>& windows) {
  const auto safeRight = verifiedSafeRightMenuExtraPairs(windows);
  std::map<uint32_t, int32_t> table;
  for (const auto& w : windows) {
    if (auto it = safeRight.find(w.windowID); it != safeRight.end()) {
      table[w.windowID] = it->second.processIdentifier;
      continue;
    }
    if (auto c = matchingMenuExtraCandidate(w)) {
      table[w.windowID] = c->processIdentifier;
      continue;
    }
    auto cache = state_.sessionIdentityCache.find(w.windowID);
    auto obs = state_.preDividerMenuExtraCandidates.find(w.windowID);
    if (cache == state_.sessionIdentityCache.end() || obs == state_.preDividerMenuExtraCandidates.end()) continue;
    const auto& e = cache->second;
    const auto& o = obs->second;
    if (namesAgree(e.windowName, w.windowName) && e.ownerBundleIdentifier == w.ownerBundleIdentifier && e.ownerPID == w.ownerPID &&
        std::fabs(e.height - w.frame.height) < 0.5 && durableCandidateAccessibilityIdentity(o.candidate) &&
        o.windowName == w.windowName && o.ownerBundleIdentifier == w.ownerBundleIdentifier && o.ownerPID == e.ownerPID &&
        std::fabs(o.height - w.frame.height) < 0.5) {
      table[w.windowID] = o.candidate.processIdentifier;
    }
  }
  state_.menuExtraAXOwnerPIDs = std::move(table);
}

}  // namespace vimbo
