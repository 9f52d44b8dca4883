// The accessibility scan: which running applications can own menu extras, reading each one's
// extras bar on worker threads, and the geometric and hit tests every pairing rule uses.

#include <cmath>

#include "Platform/Platform.h"
#include "Platform/Runtime/Parallel.h"
#include "Platform/Runtime/Task.h"
#include "System/Capture/CaptureText.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

namespace {

constexpr float kMessagingTimeout = 0.15f;

std::optional<Rect> elementFrame(platform::Accessibility& ax, platform::AXElement element) {
  auto position = ax.copyAttributeValue(element, platform::axattr::position);
  auto size = ax.copyAttributeValue(element, platform::axattr::size);
  if (position.error != platform::AXError::Success || size.error != platform::AXError::Success) return std::nullopt;
  if (!position.value || !size.value) return std::nullopt;
  const Point* p = position.value->point();
  const Size* s = size.value->size();
  if (!p || !s) return std::nullopt;
  return Rect(*p, *s);
}

std::optional<std::string> readString(platform::Accessibility& ax, platform::AXElement element, const char* attribute) {
  auto r = ax.copyAttributeValue(element, attribute);
  if (r.error != platform::AXError::Success || !r.value) return std::nullopt;
  if (const auto* s = r.value->string()) return *s;
  return std::nullopt;
}

// One iteration of the fan-out: reads only the accessibility interface and its own snapshot.
std::vector<MenuBarCaptureService::MenuExtraDisplayCandidate> scanApplication(
    platform::Accessibility& ax, const MenuBarCaptureService::MenuExtraApplicationSnapshot& app) {
  using Candidate = MenuBarCaptureService::MenuExtraDisplayCandidate;
  std::vector<Candidate> local;
  auto appElement = ax.createApplication(app.processIdentifier);
  ax.setMessagingTimeout(appElement, kMessagingTimeout);
  auto barRead = ax.copyAttributeValue(appElement, platform::axattr::extrasMenuBar);
  if (barRead.error != platform::AXError::Success || !barRead.value) return {};
  const platform::AXElement* barPtr = barRead.value->element();
  if (!barPtr || !*barPtr) return {};
  const platform::AXElement bar = *barPtr;
  ax.setMessagingTimeout(bar, kMessagingTimeout);
  auto children = ax.copyAttributeValue(bar, platform::axattr::children);
  if (children.error == platform::AXError::Success && children.value) {
    if (const auto* array = children.value->array()) {
      for (const auto& value : *array) {
        const platform::AXElement* child = value.element();
        if (!child || !*child) continue;
        ax.setMessagingTimeout(*child, kMessagingTimeout);
        auto frame = elementFrame(ax, *child);
        if (!frame || !(frame->width > 0)) continue;
        Candidate c;
        c.frame = *frame;
        c.processIdentifier = app.processIdentifier;
        c.applicationName = app.localizedName;
        c.bundleIdentifier = app.bundleIdentifier;
        c.accessibilityIdentity = MenuBarCaptureService::accessibilityIdentity(ax, *child);
        c.itemTitle = readString(ax, *child, platform::axattr::title);
        c.itemDescription = readString(ax, *child, platform::axattr::description);
        c.itemHelp = readString(ax, *child, platform::axattr::help);
        local.push_back(std::move(c));
      }
    }
  }
  if (local.empty()) {
    if (auto frame = elementFrame(ax, bar); frame && frame->width > 0) {
      Candidate c;
      c.frame = *frame;
      c.processIdentifier = app.processIdentifier;
      c.applicationName = app.localizedName;
      c.bundleIdentifier = app.bundleIdentifier;
      local.push_back(std::move(c));
    }
  }
  return local;
}

std::vector<MenuBarCaptureService::MenuExtraDisplayCandidate> fanOut(
    async::Executor& executor, platform::Accessibility& ax,
    const std::vector<MenuBarCaptureService::MenuExtraApplicationSnapshot>& applications) {
  MenuBarCaptureService::MenuExtraCandidateCollector collector;
  async::parallelFor(executor, applications.size(), [&](size_t i) {
    auto local = scanApplication(ax, applications[i]);
    if (local.empty()) return;
    std::lock_guard guard(collector.lock);
    collector.candidates.insert(collector.candidates.end(), std::make_move_iterator(local.begin()),
                                std::make_move_iterator(local.end()));
  });
  std::lock_guard guard(collector.lock);
  return collector.candidates;
}

}  // namespace

std::optional<std::string> MenuBarCaptureService::accessibilityString(platform::Accessibility& ax, platform::AXElement element,
                                                                      const char* attribute) {
  return readString(ax, element, attribute);
}

std::optional<std::string> MenuBarCaptureService::accessibilityIdentity(platform::Accessibility& ax, platform::AXElement element) {
  static constexpr std::pair<const char*, const char*> sources[] = {
      {platform::axattr::identifier, "identifier:"},
      {platform::axattr::title, "title:"},
      {platform::axattr::description, "description:"},
  };
  for (const auto& [attribute, prefix] : sources) {
    auto s = readString(ax, element, attribute);
    if (!s) continue;
    if (auto line = firstNonEmptyLine(*s)) return prefix + *line;
  }
  return std::nullopt;
}

std::vector<MenuBarCaptureService::MenuExtraApplicationSnapshot> MenuBarCaptureService::runningMenuExtraApplications(
    bool includeRegularApplications, const std::set<std::string>& regularBundleIdentifiers) {
  std::vector<MenuExtraApplicationSnapshot> out;
  for (const auto& app : platform_.workspace.runningApplications()) {
    std::string name = app.localizedName ? capture_text::trimmed(*app.localizedName) : std::string();
    std::string bundle = app.bundleIdentifier ? capture_text::trimmed(*app.bundleIdentifier) : std::string();
    if (name.empty() || bundle.empty() || !app.executableURL) continue;
    bool owner = false;
    if (app.bundleURL) {
      if (auto info = platform_.workspace.bundleInfo(*app.bundleURL)) {
        if (auto it = info->find("LSUIElement"); it != info->end()) {
          if (const bool* b = std::get_if<bool>(&it->second)) owner = *b;
          if (const std::string* s = std::get_if<std::string>(&it->second)) owner = *s == "1";
        }
      }
    }
    owner = owner || app.activationPolicy == platform::ActivationPolicy::Accessory ||
            (includeRegularApplications && app.activationPolicy == platform::ActivationPolicy::Regular) ||
            regularBundleIdentifiers.contains(bundle);
    if (owner) out.push_back({app.processIdentifier, name, bundle});
  }
  return out;
}

std::vector<MenuBarCaptureService::MenuExtraDisplayCandidate> MenuBarCaptureService::scanMenuExtraDisplayCandidates(
    const std::vector<MenuExtraApplicationSnapshot>& applications) {
  return fanOut(executor_, platform_.accessibility, applications);
}

void MenuBarCaptureService::preparePreDividerMenuExtraCandidates() {
  std::set<std::string> aliasBundles;
  for (const auto& [key, alias] : state_.persistedMenuExtraAliases) aliasBundles.insert(alias.candidateBundleIdentifier);
  auto applications = runningMenuExtraApplications(aliasBundles.empty(), aliasBundles);
  state_.menuExtraDisplayCandidates = scanMenuExtraDisplayCandidates(applications);

  PersistedTablesBatch batch(*this);
  PassScope pass(*this);
  auto records = menuBarWindowMetadata();
  std::map<uint32_t, PreDividerMenuExtraObservation> observations;
  std::map<uint32_t, int32_t> owners;
  for (const auto& [w, c] : highConfidencePreDividerPairs(records)) {
    observations[w.windowID] = PreDividerMenuExtraObservation{c, w.windowName, w.ownerBundleIdentifier, w.ownerPID,
                                                              w.frame.width, w.frame.height};
    owners[w.windowID] = c.processIdentifier;
    persistMenuExtraAlias(c, w);
  }
  state_.preDividerMenuExtraCandidates = std::move(observations);
  state_.menuExtraAXOwnerPIDs = std::move(owners);
}

async::Task<void> MenuBarCaptureService::refreshMenuExtraDisplayNames() {
  const auto applications = runningMenuExtraApplications(true, {});
  // Detached from the main thread: one worker per application, so an unresponsive application
  // costs its own time-out only; results meet in the collector under its lock.
  auto collector = std::make_shared<MenuExtraCandidateCollector>();
  platform::Accessibility* ax = &platform_.accessibility;
  std::vector<async::TaskHandle<void>> scans;
  scans.reserve(applications.size());
  for (const auto& app : applications) {
    auto work = async::offload(executor_, [ax, app, collector] {
      auto local = scanApplication(*ax, app);
      if (local.empty()) return;
      std::lock_guard guard(collector->lock);
      collector->candidates.insert(collector->candidates.end(), std::make_move_iterator(local.begin()),
                                   std::make_move_iterator(local.end()));
    });
    scans.push_back(async::spawn(executor_, std::move(work)));
  }
  for (auto& scan : scans) {
    auto joined = scan.join();
    co_await joined;
  }
  std::vector<MenuExtraDisplayCandidate> candidates;
  {
    std::lock_guard guard(collector->lock);
    candidates = collector->candidates;
  }
  state_.menuExtraDisplayCandidates = std::move(candidates);
}

// ---- Geometry ---------------------------------------------------------------------------------

namespace {
// A screen's frame in window-server coordinates: its display's bounds, or the frame itself when
// the screen carries no display number.
Rect windowServerFrame(const platform::Screens& screens, const platform::ScreenInfo& s) {
  return s.screenNumber ? screens.displayBounds(*s.screenNumber) : s.frame;
}
}  // namespace

bool MenuBarCaptureService::isFrameOnScreen(const Rect& frame) {
  const auto& screens = platform_.screens;
  for (const auto& s : screens.screens()) {
    if (windowServerFrame(screens, s).intersects(frame)) return true;
  }
  return false;
}

bool MenuBarCaptureService::isFrameInAuxiliaryTopRightArea(const Rect& F) {
  const auto& screens = platform_.screens;
  const auto list = screens.screens();
  const Point mid = F.center();
  for (const auto& screen : list) {
    const Rect S = screen.frame;
    const Rect D = windowServerFrame(screens, screen);
    const Rect grown(D.minX() - 2, D.minY() - 2, D.width + 4, D.height + 4);
    if (!(grown.contains(mid) || D.intersects(F))) continue;
    const double sx = S.width > 0 ? D.width / S.width : 1;
    const double sy = S.height > 0 ? D.height / S.height : 1;
    Rect T = D;
    for (const auto& other : list) {
      if (other.frame == S) {
        if (other.auxiliaryTopRightArea) {
          const Rect A = *other.auxiliaryTopRightArea;
          T = Rect(D.minX() + sx * (A.minX() - S.minX()), D.minY() + D.height - sy * (A.maxY() - S.minY()), sx * A.width, sy * A.height);
        }
        break;
      }
    }
    return F.minX() >= T.minX() - 2 && F.maxX() <= T.maxX() + 2 && F.minY() >= T.minY() - 2 && F.maxY() <= T.maxY() + 2;
  }
  return false;
}

std::optional<int32_t> MenuBarCaptureService::accessibilityHitPID(const Rect& frame) {
  return hitTest(frame).pid;
}

bool MenuBarCaptureService::framesMatch(const Rect& W, const Rect& C) {
  const double dw = W.width - C.width;
  const double dh = W.height - C.height;
  return std::fabs(C.midX() - W.midX()) <= 2.5 && std::fabs(C.midY() - W.midY()) <= 3.0 && dw >= -2.5 && dw <= 17.0 &&
         dh >= -2.5 && dh <= 8.0;
}

bool MenuBarCaptureService::frameMatchesMenuExtraCandidate(const Rect& windowFrame, const MenuExtraDisplayCandidate& c) {
  return framesMatch(windowFrame, c.frame);
}

}  // namespace vimbo
