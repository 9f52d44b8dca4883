// Settling identities at start-up: short pollings of the window list that fill the identity
// cache only once the bar has stopped changing. Both wait by spinning the main loop in 15 ms
// steps, so the caller blocks while the main thread keeps serving events.

#include <algorithm>
#include <chrono>
#include <cmath>

#include "Platform/Runtime/Executor.h"
#include "System/Capture/CaptureText.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

using namespace std::chrono_literals;

namespace {
bool namesAgree(const std::string& a, const std::string& b) { return a == b || a == "Item-0" || b == "Item-0"; }

std::string signatureFields(const MenuBarCaptureService::WindowMetadata& m, const std::string& frameText) {
  return std::to_string(m.windowID) + "|" + m.ownerBundleIdentifier + "|" + m.windowName + "|" + std::to_string(m.ownerPID) + "|" +
         frameText + "|" + m.accessibilityIdentity.value_or("-");
}
}  // namespace

std::string MenuBarCaptureService::windowMetadataSignature(const WindowMetadata& m) {
  using capture_text::formatFixed1;
  return signatureFields(m, formatFixed1(m.frame.minX()) + "," + formatFixed1(m.frame.minY()) + "," + formatFixed1(m.frame.width) +
                                "," + formatFixed1(m.frame.height));
}

std::string MenuBarCaptureService::windowMetadataStableSignature(const WindowMetadata& m) {
  using capture_text::formatFixed1;
  return signatureFields(m, formatFixed1(m.frame.width) + "," + formatFixed1(m.frame.height));
}

std::optional<MenuBarCaptureService::SavedIdentityDescriptor> MenuBarCaptureService::savedIdentityDescriptor(
    std::string_view identity) {
  static constexpr std::string_view window = "|window=";
  static constexpr std::string_view ax = "|ax=";
  auto w = identity.find(window);
  if (w == std::string_view::npos) return std::nullopt;
  auto a = identity.find(ax, w + window.size());
  if (a == std::string_view::npos) return std::nullopt;
  SavedIdentityDescriptor d{std::string(identity.substr(0, w)), std::string(identity.substr(w + window.size(), a - w - window.size())),
                            std::string(identity.substr(a + ax.size()))};
  if (d.owner.empty() || d.windowName.empty()) return std::nullopt;
  return d;
}

void MenuBarCaptureService::cacheVisibleStableIdentities() {
  const auto deadline = executor_.now() + 120ms;
  do {
    pollStableIdentitiesOnce();
    if (executor_.now() < deadline) executor_.runUntil(executor_.now() + 15ms);
  } while (executor_.now() < deadline);
}

void MenuBarCaptureService::keepStableIdentity(const CapturedMenuBarItem& item) {
  state_.sessionIdentityCache[item.id] = StableIdentityCacheEntry{item.stableIdentity, item.windowName,
                                                                  item.ownerBundleIdentifier, item.ownerPID,
                                                                  item.originalFrame.width, item.originalFrame.height};
}

// One poll of the plain settling. Its pass ends before the run-loop step, where other work may
// change the bar and the tables.
void MenuBarCaptureService::pollStableIdentitiesOnce() {
  PassScope pass(*this);
  std::vector<WindowMetadata> kept;
  for (auto& m : menuBarWindowMetadata()) {
    bool keep = m.accessibilityIdentity.has_value();
    if (!keep) {
      auto it = state_.preDividerMenuExtraCandidates.find(m.windowID);
      if (it != state_.preDividerMenuExtraCandidates.end()) {
        const auto& o = it->second;
        keep = o.windowName == m.windowName && o.ownerBundleIdentifier == m.ownerBundleIdentifier && o.ownerPID == m.ownerPID &&
               std::fabs(o.height - m.frame.height) < 0.5 && durableCandidateAccessibilityIdentity(o.candidate).has_value();
      }
    }
    if (keep) kept.push_back(std::move(m));
  }
  std::vector<std::string> bases;
  std::map<std::string, size_t> counts;
  for (const auto& m : kept) {
    bases.push_back(uncachedStableIdentityBase(m));
    ++counts[bases.back()];
  }
  for (size_t i = 0; i < kept.size(); ++i) {
    if (counts[bases[i]] != 1) continue;
    const auto& m = kept[i];
    auto it = state_.sessionIdentityCache.find(m.windowID);
    if (it != state_.sessionIdentityCache.end()) {
      const auto& e = it->second;
      if (namesAgree(e.windowName, m.windowName) && e.ownerBundleIdentifier == m.ownerBundleIdentifier && e.ownerPID == m.ownerPID &&
          std::fabs(e.height - m.frame.height) < 0.5) {
        continue;
      }
    }
    state_.sessionIdentityCache[m.windowID] =
        StableIdentityCacheEntry{bases[i], m.windowName, m.ownerBundleIdentifier, m.ownerPID, m.frame.width, m.frame.height};
  }
}

std::map<std::string, MenuBarCaptureService::SavedIdentityCacheObservation> MenuBarCaptureService::savedIdentityObservations(
    const std::set<std::string>& expectedIdentities, const std::vector<WindowMetadata>& metadata) {
  std::map<std::string, SavedIdentityCacheObservation> out;
  for (const auto& S : expectedIdentities) {
    SavedIdentityCacheObservation o;
    auto d = savedIdentityDescriptor(S);
    if (!d) {
      o.resolution = SavedIdentityResolution::ambiguous;
      o.signature = o.stableSignature = "ambiguous|invalid=" + S;
      out[S] = std::move(o);
      continue;
    }
    std::vector<const WindowMetadata*> same;
    for (const auto& m : metadata) {
      if (m.ownerBundleIdentifier == d->owner && m.windowName == d->windowName) same.push_back(&m);
    }
    if (same.empty()) {
      o.resolution = SavedIdentityResolution::absent;
      o.signature = o.stableSignature = "absent|owner=" + d->owner + "|window=" + d->windowName;
      out[S] = std::move(o);
      continue;
    }
    auto entryFor = [&](const WindowMetadata& w) {
      return StableIdentityCacheEntry{S, w.windowName, w.ownerBundleIdentifier, w.ownerPID, w.frame.width, w.frame.height};
    };
    auto presentThroughPair = [&](const WindowMetadata& w, int32_t pid, const std::string& prefix) {
      o.resolution = SavedIdentityResolution::present;
      o.windowID = w.windowID;
      o.entry = entryFor(w);
      state_.menuExtraAXOwnerPIDs[w.windowID] = pid;
      o.signature = prefix + windowMetadataSignature(w) + "|pid=" + std::to_string(pid);
      o.stableSignature = prefix + windowMetadataStableSignature(w) + "|pid=" + std::to_string(pid);
    };

    // Accessibility-candidate pairs.
    std::vector<std::pair<const WindowMetadata*, int32_t>> pairs;
    for (const auto* w : same) {
      for (const auto* c : candidatesMatchingFrame(w->frame)) {
        if (durableCandidateAccessibilityIdentity(*c) == d->accessibilityIdentity) pairs.emplace_back(w, c->processIdentifier);
      }
    }
    if (pairs.size() == 1) {
      presentThroughPair(*pairs[0].first, pairs[0].second, "present|ax-candidate=");
      out[S] = std::move(o);
      continue;
    }
    // Pre-divider pairs.
    pairs.clear();
    for (const auto* w : same) {
      auto it = state_.preDividerMenuExtraCandidates.find(w->windowID);
      if (it == state_.preDividerMenuExtraCandidates.end()) continue;
      const auto& ob = it->second;
      if (ob.windowName == w->windowName && ob.ownerBundleIdentifier == w->ownerBundleIdentifier && ob.ownerPID == w->ownerPID &&
          std::fabs(ob.height - w->frame.height) < 0.5 && durableCandidateAccessibilityIdentity(ob.candidate) == d->accessibilityIdentity) {
        pairs.emplace_back(w, ob.candidate.processIdentifier);
      }
    }
    if (pairs.size() == 1) {
      presentThroughPair(*pairs[0].first, pairs[0].second, "present|pre-divider-ax=");
      out[S] = std::move(o);
      continue;
    }
    // Cached windows.
    std::vector<const WindowMetadata*> cached;
    for (const auto* w : same) {
      auto it = state_.sessionIdentityCache.find(w->windowID);
      if (it == state_.sessionIdentityCache.end()) continue;
      const auto& e = it->second;
      if (e.identity == S && namesAgree(e.windowName, w->windowName) && e.ownerBundleIdentifier == w->ownerBundleIdentifier &&
          e.ownerPID == w->ownerPID && std::fabs(e.height - w->frame.height) < 0.5) {
        cached.push_back(w);
      }
    }
    if (cached.size() == 1) {
      const auto& w = *cached[0];
      o.resolution = SavedIdentityResolution::present;
      o.windowID = w.windowID;
      o.entry = state_.sessionIdentityCache[w.windowID];
      o.signature = "present|cached=" + windowMetadataSignature(w);
      o.stableSignature = "present|cached=" + windowMetadataStableSignature(w);
      out[S] = std::move(o);
      continue;
    }
    // Rebuilt windows.
    std::vector<const WindowMetadata*> rebuilt;
    for (const auto* w : same) {
      if (uncachedStableIdentityBase(*w) == S) rebuilt.push_back(w);
    }
    if (rebuilt.size() == 1) {
      const auto& w = *rebuilt[0];
      o.resolution = SavedIdentityResolution::present;
      o.windowID = w.windowID;
      o.entry = entryFor(w);
      o.signature = "present|saved=" + S + "|candidate=" + windowMetadataSignature(w);
      o.stableSignature = "present|saved=" + S + "|candidate=" + windowMetadataStableSignature(w);
      out[S] = std::move(o);
      continue;
    }
    std::vector<std::string> signatures;
    for (const auto* w : same) signatures.push_back(windowMetadataSignature(*w));
    std::sort(signatures.begin(), signatures.end());
    std::string joined;
    for (size_t i = 0; i < signatures.size(); ++i) joined += (i ? ";" : "") + signatures[i];
    o.resolution = SavedIdentityResolution::ambiguous;
    o.signature = o.stableSignature = "ambiguous|owner=" + d->owner + "|window=" + d->windowName + "|candidates=" + joined;
    out[S] = std::move(o);
  }
  return out;
}

std::optional<std::set<std::string>> MenuBarCaptureService::cacheVisibleStableIdentities(const std::set<std::string>& expected) {
  const auto deadline = executor_.now() + 400ms;
  std::map<std::string, async::TimePoint> firstAbsent;
  std::optional<std::map<std::string, std::string>> previous, previousStable;
  std::map<std::string, SavedIdentityCacheObservation> observations;
  for (;;) {
    {
      PassScope pass(*this);
      observations = savedIdentityObservations(expected, menuBarWindowMetadata());
    }
    std::map<std::string, std::string> signatures, stableSignatures;
    for (const auto& [identity, o] : observations) {
      signatures[identity] = o.signature;
      stableSignatures[identity] = o.stableSignature;
    }
    const auto T = executor_.now();
    bool anyAmbiguous = false;
    for (const auto& [identity, o] : observations) {
      if (o.resolution == SavedIdentityResolution::absent) {
        firstAbsent.try_emplace(identity, T);
      } else {
        firstAbsent.erase(identity);
      }
      if (o.resolution == SavedIdentityResolution::ambiguous) anyAmbiguous = true;
    }
    bool absentLongEnough = true;
    for (const auto& [identity, since] : firstAbsent) {
      if (T - since < 220ms) absentLongEnough = false;
    }
    const bool unchanged = (previous && *previous == signatures) || (previousStable && *previousStable == stableSignatures);
    if (unchanged && !anyAmbiguous && absentLongEnough) break;
    if (executor_.now() < deadline) executor_.runUntil(executor_.now() + 15ms);
    if (!(executor_.now() < deadline)) {
      state_.sessionIdentityCache.clear();
      return std::nullopt;
    }
    previous = std::move(signatures);
    previousStable = std::move(stableSignatures);
  }
  std::map<uint32_t, StableIdentityCacheEntry> entries;
  std::set<std::string> found;
  for (const auto& [identity, o] : observations) {
    if (o.resolution != SavedIdentityResolution::present || !o.windowID || !o.entry) continue;
    if (!entries.emplace(*o.windowID, *o.entry).second) {
      state_.sessionIdentityCache.clear();
      return std::nullopt;
    }
    found.insert(identity);
  }
  state_.sessionIdentityCache = std::move(entries);
  return found;
}

}  // namespace vimbo
