// Accessibility: an immutable snapshot of the element tree, republished by the main thread after
// every change and read under its own lock, so worker threads never wait for the main thread.
#include <algorithm>
#include <cmath>

#include "Platform/Sim/World.h"

namespace vimbo::sim {

using namespace platform;

namespace {

enum class Kind : uint64_t { SystemWide = 0, Application = 1, ExtrasBar = 2, MenuExtra = 3, Child = 4, Overlay = 5 };
constexpr uint64_t kindShift = 56;
constexpr double defaultTimeout = 6.0;

AXElement make(Kind k, uint64_t payload) { return {(static_cast<uint64_t>(k) << kindShift) | (payload & 0xFFFFFFFFFFFFFFull)}; }
Kind kindOf(AXElement e) { return static_cast<Kind>(e.id >> kindShift); }
uint64_t payloadOf(AXElement e) { return e.id & 0xFFFFFFFFFFFFFFull; }
int32_t pidPayload(AXElement e) { return static_cast<int32_t>(static_cast<uint32_t>(payloadOf(e))); }

AXValue str(std::string s) { return AXValue{std::move(s)}; }

// Time-outs arrive as single-precision seconds: keep whole microseconds so 0.15 costs 150 ms.
Duration timeoutDuration(double seconds) { return std::chrono::microseconds(std::llround(seconds * 1e6)); }

}  // namespace

struct World::AXSnapshot {
  bool trusted = true;
  int32_t ownPID = 0;
  std::thread::id mainThread;
  struct App {
    std::optional<std::string> name;
    bool unresponsive = false;
    std::vector<ItemKey> extras;  // left to right
  };
  std::map<int32_t, App> apps;
  struct Extra {
    int32_t pid = 0;
    Rect frame;
    std::optional<AXValue> identifier, title, description, help;
    bool hitChild = false;
    bool positionSettable = false;
  };
  std::map<ItemKey, Extra> extras;
  struct Screen {
    Rect bounds;
    Rect hitRegion;
  };
  std::vector<Screen> screens;
  std::vector<Rect> overlays;
};

void World::publishAX() {
  auto s = std::make_shared<AXSnapshot>();
  s->trusted = spec_.switches.accessibilityTrusted;
  s->ownPID = spec_.ownPID;
  s->mainThread = mainThread_;
  for (const AppSpec& a : spec_.apps) s->apps[a.pid] = {a.name, a.unresponsive, {}};
  s->apps[spec_.ownPID].name = spec_.ownName;
  for (const ItemView& v : items()) {
    const Item* item = find(v.key);
    AXSnapshot::Extra x;
    x.pid = v.axPID;
    const Rect& o = item->spec.axOffset;
    x.frame = Rect(v.frame.x + o.x, v.frame.y + o.y, v.frame.width + o.width, v.frame.height + o.height);
    x.identifier = item->spec.axIdentifier;
    x.title = item->spec.axTitle;
    x.description = item->spec.axDescription;
    x.help = item->spec.axHelp;
    x.hitChild = item->spec.hitChild;
    x.positionSettable = item->spec.faults.positionSettable;
    s->extras[v.key] = x;
    s->apps[v.axPID].extras.push_back(v.key);
  }
  s->overlays = ownInputAreas();
  for (const ScreenSpec& sc : spec_.screens) {
    AXSnapshot::Screen scr;
    scr.bounds = sc.displayBounds;
    auto aux = auxiliaryAreaInWindowServer(sc);
    scr.hitRegion = aux ? *aux : Rect(sc.displayBounds.minX(), sc.displayBounds.minY(), sc.displayBounds.width, sc.menuBarHeight);
    s->screens.push_back(scr);
  }
  std::lock_guard lock(axMutex_);
  ax_ = std::move(s);
}

// Our own elements are served by our main loop: a worker's read answers while the loop is free
// (a detached offload) and times out while a blocking fan-out holds it.
bool World::ownLoopBlocked(const AXSnapshot& s) const {
  return std::this_thread::get_id() != s.mainThread && clock_.mainLoopBlocked && clock_.mainLoopBlocked();
}

std::shared_ptr<const World::AXSnapshot> World::axSnapshot() const {
  std::lock_guard lock(axMutex_);
  return ax_;
}

void World::setAccessibilityTrusted(bool trusted) {
  spec_.switches.accessibilityTrusted = trusted;
  publishAX();
}

void World::setUnresponsive(int32_t pid, bool unresponsive) {
  for (AppSpec& a : spec_.apps)
    if (a.pid == pid) a.unresponsive = unresponsive;
  publishAX();
}

bool World::accessibilityTrusted(bool prompt) {
  if (prompt && !spec_.switches.accessibilityTrusted) ++axPrompts_;
  return spec_.switches.accessibilityTrusted;
}

AXElement World::applicationElement(int32_t pid) const { return make(Kind::Application, static_cast<uint32_t>(pid)); }

AXElement World::menuExtraElement(const std::string& specKey) const {
  const Item* i = findSpec(specKey);
  return i ? make(Kind::MenuExtra, i->key) : AXElement{};
}

int World::pressCount(const std::string& specKey) const {
  const Item* i = findSpec(specKey);
  return i ? i->presses : 0;
}

AXError World::axSetTimeout(AXElement e, float seconds) {
  if (!e) return AXError::IllegalArgument;
  std::lock_guard lock(axMutex_);
  if (seconds <= 0) axTimeouts_.erase(e.id);
  else axTimeouts_[e.id] = seconds;
  return AXError::Success;
}

namespace {

// The owner process of an element, or none for an element that no longer exists.
template <class Snapshot>
std::optional<int32_t> ownerOf(const Snapshot& s, AXElement e) {
  switch (kindOf(e)) {
    case Kind::Application:
    case Kind::ExtrasBar: {
      int32_t pid = pidPayload(e);
      if (!s.apps.count(pid)) return std::nullopt;
      return pid;
    }
    case Kind::MenuExtra:
    case Kind::Child: {
      auto it = s.extras.find(payloadOf(e));
      if (it == s.extras.end()) return std::nullopt;
      return it->second.pid;
    }
    case Kind::Overlay:
      if (payloadOf(e) >= s.overlays.size()) return std::nullopt;
      return s.ownPID;
    default:
      return std::nullopt;
  }
}

}  // namespace

AXCopyResult World::axCopy(AXElement e, const std::string& attr) {
  auto fail = [](AXError err) { return AXCopyResult{err, std::nullopt}; };
  auto ok = [](AXValue v) { return AXCopyResult{AXError::Success, std::move(v)}; };
  auto answers = [this](const AXSnapshot& s, int32_t pid) {
    auto it = s.apps.find(pid);
    if (it != s.apps.end() && it->second.unresponsive) return false;
    return !(pid == s.ownPID && ownLoopBlocked(s));
  };
  auto chargeTimeout = [this](AXElement el) {
    double t = defaultTimeout;
    {
      std::lock_guard lock(axMutex_);
      if (auto it = axTimeouts_.find(el.id); it != axTimeouts_.end()) t = it->second;
      else if (auto g = axTimeouts_.find(1); g != axTimeouts_.end()) t = g->second;
    }
    if (clock_.chargeCost) clock_.chargeCost(timeoutDuration(t));
  };
  if (e.id == 1) {
    auto snap = axSnapshot();
    if (!snap->trusted) return fail(AXError::APIDisabled);
    if (attr == axattr::role) return ok(str("AXSystemWide"));
    return fail(AXError::AttributeUnsupported);
  }
  // Trust, element validity, and whether the owner answers in time.
  auto snap = axSnapshot();
  if (!snap->trusted) return fail(AXError::APIDisabled);
  auto pid = ownerOf(*snap, e);
  if (!pid) return fail(AXError::InvalidUIElement);
  if (!answers(*snap, *pid)) {
    chargeTimeout(e);
    return fail(AXError::CannotComplete);
  }
  switch (kindOf(e)) {
    case Kind::Application: {
      const auto& a = snap->apps.at(*pid);
      if (attr == axattr::role) return ok(str("AXApplication"));
      if (attr == axattr::title) return a.name ? ok(str(*a.name)) : fail(AXError::NoValue);
      if (attr == axattr::extrasMenuBar)
        return a.extras.empty() ? fail(AXError::NoValue) : ok(AXValue{make(Kind::ExtrasBar, static_cast<uint32_t>(*pid))});
      if (attr == axattr::parent) return fail(AXError::NoValue);
      return fail(AXError::AttributeUnsupported);
    }
    case Kind::ExtrasBar: {
      const auto& a = snap->apps.at(*pid);
      if (attr == axattr::role) return ok(str("AXMenuBar"));
      if (attr == axattr::parent) return ok(AXValue{make(Kind::Application, static_cast<uint32_t>(*pid))});
      if (attr == axattr::children) {
        AXArray children;
        for (ItemKey k : a.extras) children.push_back(AXValue{make(Kind::MenuExtra, k)});
        return ok(AXValue{std::move(children)});
      }
      if (attr == axattr::position || attr == axattr::size) {
        if (a.extras.empty()) return fail(AXError::NoValue);
        Rect u = snap->extras.at(a.extras.front()).frame;
        for (ItemKey k : a.extras) {
          const Rect& f = snap->extras.at(k).frame;
          double minX = std::min(u.minX(), f.minX()), maxX = std::max(u.maxX(), f.maxX());
          double minY = std::min(u.minY(), f.minY()), maxY = std::max(u.maxY(), f.maxY());
          u = Rect(minX, minY, maxX - minX, maxY - minY);
        }
        return attr == axattr::position ? ok(AXValue{u.origin()}) : ok(AXValue{u.size()});
      }
      return fail(AXError::AttributeUnsupported);
    }
    case Kind::MenuExtra:
    case Kind::Child: {
      const auto& x = snap->extras.at(payloadOf(e));
      bool child = kindOf(e) == Kind::Child;
      if (attr == axattr::position) return ok(AXValue{x.frame.origin()});
      if (attr == axattr::size) return ok(AXValue{x.frame.size()});
      if (attr == axattr::parent)
        return ok(AXValue{child ? make(Kind::MenuExtra, payloadOf(e)) : make(Kind::ExtrasBar, static_cast<uint32_t>(*pid))});
      if (attr == axattr::role) return ok(str(child ? "AXImage" : "AXMenuBarItem"));
      if (attr == axattr::children) {
        AXArray children;
        if (!child && x.hitChild) children.push_back(AXValue{make(Kind::Child, payloadOf(e))});
        return ok(AXValue{std::move(children)});
      }
      if (child) return fail(AXError::NoValue);
      const std::optional<AXValue>* text = attr == axattr::identifier    ? &x.identifier
                                           : attr == axattr::title       ? &x.title
                                           : attr == axattr::description ? &x.description
                                           : attr == axattr::help        ? &x.help
                                                                         : nullptr;
      if (!text) return fail(AXError::AttributeUnsupported);
      return *text ? ok(**text) : fail(AXError::NoValue);
    }
    case Kind::Overlay: {
      const Rect& r = snap->overlays[payloadOf(e)];
      if (attr == axattr::role) return ok(str("AXWindow"));
      if (attr == axattr::parent) return ok(AXValue{make(Kind::Application, static_cast<uint32_t>(*pid))});
      if (attr == axattr::position) return ok(AXValue{r.origin()});
      if (attr == axattr::size) return ok(AXValue{r.size()});
      if (attr == axattr::children) return ok(AXValue{AXArray{}});
      return fail(AXError::NoValue);
    }
    default:
      return fail(AXError::InvalidUIElement);
  }
}

AXSettableResult World::axSettable(AXElement e, const std::string& attr) {
  auto snap = axSnapshot();
  if (!snap->trusted) return {AXError::APIDisabled, false};
  if (e.id == 1) return {AXError::AttributeUnsupported, false};
  auto pid = ownerOf(*snap, e);
  if (!pid) return {AXError::InvalidUIElement, false};
  if (kindOf(e) == Kind::MenuExtra && attr == axattr::position)
    return {AXError::Success, snap->extras.at(payloadOf(e)).positionSettable};
  return {AXError::Success, false};
}

AXError World::axSet(AXElement e, const std::string& attr, const AXValue& value) {
  auto snap = axSnapshot();
  if (!snap->trusted) return AXError::APIDisabled;
  auto pid = ownerOf(*snap, e);
  if (!pid) return AXError::InvalidUIElement;
  if (kindOf(e) != Kind::MenuExtra || attr != axattr::position) return AXError::AttributeUnsupported;
  Item* item = find(payloadOf(e));
  if (!item || !item->spec.faults.positionSettable) return AXError::AttributeUnsupported;
  const Point* o = value.point();
  if (!o) return AXError::IllegalArgument;
  if (item->spec.faults.positionWriteIgnored || !frames_.count(item->key)) return AXError::Success;
  Rect window = frames_.at(item->key);
  double dropX;
  if (o->x > window.minX()) dropX = o->x + window.width;
  else if (o->x < window.minX()) dropX = o->x;
  else return AXError::Success;
  auto frames = layoutFrames(logical_, barGeometry());
  applyDrop(item->key, resolveDrop(logical_, frames, item->key, dropX));
  return AXError::Success;
}

AXError World::axPerform(AXElement e, const std::string& action) {
  auto snap = axSnapshot();
  if (!snap->trusted) return AXError::APIDisabled;
  auto pid = ownerOf(*snap, e);
  if (!pid) return AXError::InvalidUIElement;
  if (kindOf(e) != Kind::MenuExtra || action != axaction::press) return AXError::ActionUnsupported;
  Item* item = find(payloadOf(e));
  if (!item || item->spec.faults.pressRefused || item->own) return AXError::ActionUnsupported;
  if (auto it = snap->apps.find(*pid); it != snap->apps.end() && it->second.unresponsive) return AXError::CannotComplete;
  ++item->presses;
  openMenu(item->key);
  return AXError::Success;
}

AXElementResult World::axHitTest(AXElement scope, float fx, float fy) {
  auto snap = axSnapshot();
  if (!snap->trusted) return {AXError::APIDisabled, {}};
  std::optional<int32_t> onlyPID;
  if (scope.id != 1) {
    if (kindOf(scope) != Kind::Application) return {AXError::IllegalArgument, {}};
    onlyPID = pidPayload(scope);
    if (!snap->apps.count(*onlyPID)) return {AXError::InvalidUIElement, {}};
  }
  Point p{fx, fy};
  const AXSnapshot::Screen* screen = nullptr;
  for (const auto& s : snap->screens)
    if (s.bounds.contains(p)) {
      screen = &s;
      break;
    }
  if (!screen) return {AXError::IllegalArgument, {}};
  for (size_t i = 0; i < snap->overlays.size(); ++i)
    if (snap->overlays[i].contains(p) && (!onlyPID || *onlyPID == snap->ownPID)) {
      if (ownLoopBlocked(*snap)) {
        if (clock_.chargeCost) clock_.chargeCost(timeoutDuration(defaultTimeout));
        return {AXError::CannotComplete, {}};
      }
      return {AXError::Success, make(Kind::Overlay, i)};
    }
  if (!screen->hitRegion.contains(p)) return {AXError::NoValue, {}};
  for (const auto& [key, x] : snap->extras) {
    if (onlyPID && x.pid != *onlyPID) continue;
    if (!x.frame.contains(p)) continue;
    auto app = snap->apps.find(x.pid);
    bool unresponsive = app != snap->apps.end() && app->second.unresponsive;
    bool ownBlocked = x.pid == snap->ownPID && ownLoopBlocked(*snap);
    if (unresponsive || ownBlocked) {
      double t = defaultTimeout;
      {
        std::lock_guard lock(axMutex_);
        if (auto it = axTimeouts_.find(scope.id); it != axTimeouts_.end()) t = it->second;
      }
      if (clock_.chargeCost) clock_.chargeCost(timeoutDuration(t));
      return {AXError::CannotComplete, {}};
    }
    return {AXError::Success, x.hitChild ? make(Kind::Child, key) : make(Kind::MenuExtra, key)};
  }
  return {AXError::NoValue, {}};
}

AXPidResult World::axPid(AXElement e) {
  auto snap = axSnapshot();
  if (!snap->trusted) return {AXError::APIDisabled, 0};
  if (e.id == 1) return {AXError::IllegalArgument, 0};
  auto pid = ownerOf(*snap, e);
  if (!pid) return {AXError::InvalidUIElement, 0};
  return {AXError::Success, *pid};
}

}  // namespace vimbo::sim
