// Stable identities: the grammar, the fixed identities of the system's own extras, the durable
// candidate identity and the cached and uncached identity bases.

#include <cmath>
#include <set>

#include "System/Capture/CaptureText.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

namespace {
bool namesAgree(const std::string& a, const std::string& b) { return a == b || a == "Item-0" || b == "Item-0"; }
}  // namespace

std::optional<std::string> MenuBarCaptureService::fixedMenuExtraAccessibilityIdentity(std::string_view windowName) {
  static const std::map<std::string, std::string, std::less<>> table = {
      {"Bluetooth", "identifier:com.apple.menuextra.bluetooth"},
      {"Battery", "identifier:com.apple.menuextra.battery"},
      {"FocusModes", "identifier:com.apple.menuextra.focusmode"},
      {"WiFi", "identifier:com.apple.menuextra.wifi"},
      {"BentoBox-0", "identifier:com.apple.menuextra.controlcenter"},
      {"Clock", "identifier:com.apple.menuextra.clock"},
  };
  auto it = table.find(windowName);
  if (it == table.end()) return std::nullopt;
  return it->second;
}

int64_t MenuBarCaptureService::tenthsOfPoint(double value) {
  // Half away from zero; clamp so a hostile frame cannot overflow the conversion.
  double r = std::round(value * 10);
  if (!std::isfinite(r)) return 0;
  if (r > 9.0e15) r = 9.0e15;
  if (r < -9.0e15) r = -9.0e15;
  return static_cast<int64_t>(r);
}

std::string MenuBarCaptureService::sizeSuffix(double width, double height) {
  return "|size=" + std::to_string(tenthsOfPoint(width)) + "x" + std::to_string(tenthsOfPoint(height));
}

std::optional<std::string> MenuBarCaptureService::firstNonEmptyLine(std::string_view text) {
  for (auto& line : capture_text::splitLines(text)) {
    if (!line.empty()) return line;
  }
  return std::nullopt;
}

std::optional<std::string> MenuBarCaptureService::accessibilityTitle(std::string_view identity) {
  static constexpr std::string_view marker = "|ax=title:";
  auto pos = identity.find(marker);
  if (pos == std::string_view::npos) return std::nullopt;
  std::string_view rest = identity.substr(pos + marker.size());
  // The text up to the next "|"; empty pieces between separators are skipped.
  size_t b = 0;
  while (b < rest.size() && rest[b] == '|') ++b;
  rest = rest.substr(b);
  auto bar = rest.find('|');
  if (bar != std::string_view::npos) rest = rest.substr(0, bar);
  std::string t = capture_text::trimmed(rest);
  if (t.empty()) return std::nullopt;
  return t;
}

std::optional<std::string> MenuBarCaptureService::durableCandidateAccessibilityIdentity(
    const MenuExtraDisplayCandidate& c) const {
  if (c.accessibilityIdentity && !c.accessibilityIdentity->starts_with("title:")) return c.accessibilityIdentity;
  std::string bundle = capture_text::trimmed(c.bundleIdentifier);
  if (bundle.empty()) return c.accessibilityIdentity;
  if (candidateCountWithBundle(bundle) == 1) return "bundle:" + bundle;
  return c.accessibilityIdentity;
}

std::string MenuBarCaptureService::uncachedStableIdentityBase(const WindowMetadata& m) {
  const std::string plain = m.ownerBundleIdentifier + "|window=" + m.windowName;
  auto with = [&](const std::string& ax) { return plain + "|ax=" + ax; };

  if (auto it = state_.preDividerMenuExtraCandidates.find(m.windowID); it != state_.preDividerMenuExtraCandidates.end()) {
    const auto& o = it->second;
    if (o.windowName == m.windowName && o.ownerBundleIdentifier == m.ownerBundleIdentifier && o.ownerPID == m.ownerPID &&
        std::fabs(m.frame.height - o.height) < 0.5) {
      if (auto friendly = friendlyDisplayName(o.candidate)) {
        if (isDisplayNameCompatible(*friendly, m.windowName) || isPlaceholderWindowName(m.windowName)) {
          if (auto durable = durableCandidateAccessibilityIdentity(o.candidate)) return with(*durable);
        }
      }
    }
  }
  if (auto alias = persistedMenuExtraAlias(m)) {
    if (isDisplayNameCompatible(alias->displayName, m.windowName) || isPlaceholderWindowName(m.windowName)) {
      return with(alias->accessibilityIdentity);
    }
  }
  if (auto candidate = matchingMenuExtraCandidate(m)) {
    if (auto durable = durableCandidateAccessibilityIdentity(*candidate)) return with(*durable);
  }
  if (m.accessibilityIdentity) return with(*m.accessibilityIdentity);
  return plain;
}

std::string MenuBarCaptureService::stableIdentityBase(const WindowMetadata& m) {
  if (auto it = state_.sessionIdentityCache.find(m.windowID); it != state_.sessionIdentityCache.end()) {
    const auto& e = it->second;
    if (namesAgree(e.windowName, m.windowName) && e.ownerBundleIdentifier == m.ownerBundleIdentifier &&
        e.ownerPID == m.ownerPID && std::fabs(m.frame.height - e.height) < 0.5) {
      return e.identity;
    }
  }
  if (m.windowName == "Item-0") return uncachedStableIdentityBase(m);
  std::set<std::string> identities;
  for (const auto* e : cacheEntriesOf(m.ownerBundleIdentifier, m.ownerPID)) {
    if ((e->windowName == m.windowName || e->windowName == "Item-0") && std::fabs(m.frame.height - e->height) < 0.5 &&
        std::fabs(m.frame.width - e->width) < 2.5) {
      identities.insert(e->identity);
    }
  }
  if (identities.size() == 1) return *identities.begin();
  return uncachedStableIdentityBase(m);
}

std::string MenuBarCaptureService::stableIdentitySizeBase(const WindowMetadata& m) {
  return stableIdentityBase(m) + sizeSuffix(m.frame.width, m.frame.height);
}

}  // namespace vimbo
