// Events, the pointer and cursor, Command-drags, monitors, tracking areas and hot keys.
#include <algorithm>

#include "Platform/Sim/World.h"

namespace vimbo::sim {

using namespace platform;

namespace {

class SimEventSource : public EventSource {
 public:
  SimEventSource(World& world, int64_t id, EventSourceStateID state) : world_(world) {
    settings_.id = id;
    settings_.state = state;
    world_.noteSourceSettings(settings_);
  }
  int64_t id() const override { return settings_.id; }
  EventSourceStateID stateID() const override { return settings_.state; }
  void setLocalEventsSuppressionInterval(double seconds) override {
    settings_.suppressionInterval = seconds;
    world_.noteSourceSettings(settings_);
  }
  void setLocalEventsFilterDuringSuppressionState(uint32_t mask, int state) override {
    settings_.filterMask = mask;
    settings_.filterState = state;
    world_.noteSourceSettings(settings_);
  }

 private:
  World& world_;
  SourceSettings settings_;
};

bool isMouse(EventType t) {
  switch (t) {
    case EventType::LeftMouseDown:
    case EventType::LeftMouseUp:
    case EventType::RightMouseDown:
    case EventType::RightMouseUp:
    case EventType::MouseMoved:
    case EventType::LeftMouseDragged:
    case EventType::RightMouseDragged:
    case EventType::ScrollWheel:
      return true;
    default:
      return false;
  }
}

// Which local events a suppression filter lets through.
constexpr uint32_t kPermitLocalMouseEvents = 1;
constexpr uint32_t kPermitLocalKeyboardEvents = 2;

bool isArrow(uint16_t k) { return k >= keycode::leftArrow && k <= keycode::upArrow; }

EventFlags modifierForKey(uint16_t k) {
  switch (k) {
    case 54:
    case 55:
      return eventflag::command;
    case 56:
    case 60:
      return eventflag::shift;
    case 58:
    case 61:
      return eventflag::option;
    case 59:
    case 62:
      return eventflag::control;
    default:
      return 0;
  }
}

uint32_t carbonModifiers(EventFlags f) {
  uint32_t m = 0;
  if (f & eventflag::command) m |= hotkeymodifier::command;
  if (f & eventflag::shift) m |= hotkeymodifier::shift;
  if (f & eventflag::option) m |= hotkeymodifier::option;
  if (f & eventflag::control) m |= hotkeymodifier::control;
  return m;
}

}  // namespace

// ---------------------------------------------------------------- creation

EventSourceRef World::createSource(EventSourceStateID state) {
  if (spec_.switches.eventSourceFails) return nullptr;
  return std::make_shared<SimEventSource>(*this, nextSource_++, state);
}

std::optional<Event> World::createMouseEvent(const EventSource* source, EventType type, Point location,
                                             MouseButton button) {
  if (spec_.switches.failingEventTypes.count(type)) return std::nullopt;
  Event e;
  e.type = type;
  e.location = location;
  e.button = button;
  e.sourceID = source ? source->id() : 0;
  e.setIntegerValueField(eventfield::eventSourceUnixProcessID, spec_.ownPID);
  return e;
}

std::optional<Event> World::createKeyboardEvent(const EventSource* source, uint16_t keyCode, bool down) {
  EventType type = down ? EventType::KeyDown : EventType::KeyUp;
  if (spec_.switches.failingEventTypes.count(type)) return std::nullopt;
  Event e;
  e.type = type;
  e.keyCode = keyCode;
  e.location = pointer_;
  e.sourceID = source ? source->id() : 0;
  e.setIntegerValueField(eventfield::eventSourceUnixProcessID, spec_.ownPID);
  if (isArrow(keyCode)) e.flags = eventflag::numericPad | eventflag::function;
  return e;
}

std::optional<Event> World::createNullEvent() {
  if (spec_.switches.failingEventTypes.count(EventType::Null)) return std::nullopt;
  Event e;
  e.location = pointer_;
  return e;
}

// ---------------------------------------------------------------- pointer and cursor

Point World::pointerBottomLeft() const {
  double h = spec_.screens.empty() ? 0 : spec_.screens.front().frame.height;
  return {pointer_.x, h - pointer_.y};
}

int32_t World::warp(Point location) {
  pointer_ = clampToDisplays(location);
  warps_.push_back(pointer_);
  return 0;
}

int32_t World::hideCursor(uint32_t displayID) {
  ++hideCounts_[displayID];
  changed();
  return 0;
}

int32_t World::showCursor(uint32_t displayID) {
  --hideCounts_[displayID];
  changed();
  return 0;
}

int World::cursorHideCount(uint32_t displayID) const {
  auto it = hideCounts_.find(displayID);
  return it == hideCounts_.end() ? 0 : it->second;
}

int World::totalCursorHideCount() const {
  int n = 0;
  for (auto& [d, c] : hideCounts_) n += c;
  return n;
}

void World::clearRecords() {
  posted_.clear();
  warps_.clear();
  focusedKeys_.clear();
}

std::optional<ItemKey> World::draggingItem() const {
  return drag_ ? std::optional<ItemKey>(drag_->key) : std::nullopt;
}

void World::movePointer(Point p) {
  bool moved = !(p == pointer_);
  pointer_ = p;
  if (moved) changed();
  if (moved) {
    Event e;
    e.type = EventType::MouseMoved;
    e.location = p;
    updateTracking(e);
  }
}

void World::updateTracking(const Event& e) {
  std::vector<std::pair<std::function<void(TrackingEventKind, const Event&)>, TrackingEventKind>> calls;
  for (auto& [k, item] : items_) {
    if (!item.own || !frames_.count(k)) continue;
    Rect f = frames_.at(k);
    for (OwnItem::Area& a : item.own->areas) {
      if (buttonDown_ && !(a.options & trackingoption::enabledDuringMouseDrag)) continue;
      Rect r = (a.options & trackingoption::inVisibleRect) ? f : a.rect.offsetBy(f.x, f.y);
      bool inside = r.contains(pointer_);
      if (inside != a.inside) {
        a.inside = inside;
        if (a.options & trackingoption::mouseEnteredAndExited)
          calls.emplace_back(a.handler, inside ? TrackingEventKind::Entered : TrackingEventKind::Exited);
      } else if (inside && (a.options & trackingoption::mouseMoved) && item.own->acceptsMouseMoved) {
        calls.emplace_back(a.handler, TrackingEventKind::Moved);
      }
    }
  }
  for (auto& [handler, kind] : calls) {
    if (!handler) continue;
    if (clock_.post) clock_.post([handler = handler, kind = kind, e] { handler(kind, e); });
    else handler(kind, e);
  }
}

// ---------------------------------------------------------------- posting

void World::post(EventTap tap, const Event& made) {
  PostRoute route = tap == EventTap::HID       ? PostRoute::HIDTap
                    : tap == EventTap::Session ? PostRoute::SessionTap
                                               : PostRoute::AnnotatedSessionTap;
  // What a process posts carries that process as its source, the person's input it took included.
  Event event = made;
  event.setIntegerValueField(eventfield::eventSourceUnixProcessID, spec_.ownPID);
  const bool person = isPersonInput(event);
  // The record is of what our process made: the person's input posted again is not.
  if (!person) posted_.push_back({event, route, 0, clock_.now ? clock_.now() : TimePoint{}});
  noteSuppression(event);
  if (!passesSessionTaps(event)) return;
  const bool key = event.type == EventType::KeyDown || event.type == EventType::KeyUp;
  if (person) {
    // Routed as it would have been when made; whoever made it hears where it went.
    InputDelivery delivered = isMouse(event.type) ? routePersonMouse(event) : key ? routeKey(event) : InputDelivery{};
    if (lateDelivery_) lateDelivery_(static_cast<uint64_t>(event.integerValueField(kInputNumberField)), delivered);
    return;
  }
  if (isMouse(event.type)) routeMouse(event, route);
  else if (key) routeKey(event);
}

void World::discardTakenInput(const Event& e) {
  if (!isPersonInput(e) || !lateDelivery_) return;
  const auto number = static_cast<uint64_t>(e.integerValueField(kInputNumberField));
  lateDelivery_(number, InputDelivery{0, true, number});  // taken, and never routed
}

void World::noteSuppression(const Event& posted) {
  auto source = sources_.find(posted.sourceID);
  if (posted.sourceID == 0 || source == sources_.end() || !clock_.now) return;
  const SourceSettings& s = source->second;
  if (!s.suppressionInterval || *s.suppressionInterval <= 0) return;
  suppressedUntil_ = clock_.now() + std::chrono::duration_cast<Duration>(std::chrono::duration<double>(*s.suppressionInterval));
  // Without a filter for the suppression-interval state, nothing local passes.
  suppressionFilter_ = s.filterMask && s.filterState == 0 ? *s.filterMask : 0;
}

World::TapToken World::addSessionEventTap(std::function<bool(const Event&)> callback) {
  TapToken token = nextTap_++;
  taps_[token] = std::move(callback);
  return token;
}

void World::removeSessionEventTap(TapToken token) {
  if (taps_.erase(token)) changed();  // the desktop learns that nothing it waits for comes back
}

bool World::passesSessionTaps(const Event& e) {
  std::vector<std::function<bool(const Event&)>> taps;
  for (const auto& [token, tap] : taps_) taps.push_back(tap);
  for (auto& tap : taps)
    if (tap && !tap(e)) return false;
  return true;
}

void World::postToPid(int32_t pid, const Event& event) {
  posted_.push_back({event, PostRoute::Pid, pid, clock_.now ? clock_.now() : TimePoint{}});
  if (event.type != EventType::LeftMouseDown && event.type != EventType::RightMouseDown) return;
  std::optional<ItemKey> key;
  if (int64_t w = event.integerValueField(eventfield::windowUnderMousePointer)) {
    if (auto v = itemByWindow(static_cast<uint32_t>(w))) key = v->key;
  } else {
    key = statusItemAt(event.location);
  }
  const Item* item = key ? find(*key) : nullptr;
  if (!item) return;
  if (item->spec.ownerPID != pid && item->spec.effectiveAXPID() != pid) return;
  if (item->own) dispatchToOwn(*key, event);
  else if (!(event.flags & eventflag::command)) openMenu(*key);
}

std::optional<ItemKey> World::statusItemAt(Point p) const {
  if (!isOnSomeDisplay(p)) return std::nullopt;
  for (const auto& [k, f] : frames_)
    if (f.contains(p)) return k;
  return std::nullopt;
}

std::optional<uint32_t> World::windowNumberAt(Point p) const {
  if (!isOnSomeDisplay(p)) return std::nullopt;
  if (auto menu = menuAt(p)) return menu;
  const std::vector<OwnWindowView> own = ownWindows();
  auto ownAt = [&](bool aboveStatusItems) -> std::optional<uint32_t> {
    for (const OwnWindowView& w : own)
      if (w.visible && (w.configuration.level > windowlevel::status) == aboveStatusItems && w.serverFrame.contains(p))
        return w.windowNumber;
    return std::nullopt;
  };
  if (auto window = ownAt(true)) return window;
  if (auto key = statusItemAt(p))
    if (const Item* item = find(*key)) return item->windowNumber;
  for (const ScreenSpec& s : spec_.screens)
    if (Rect(s.displayBounds.minX(), s.displayBounds.minY(), s.displayBounds.width, s.menuBarHeight).contains(p))
      return screenWindows_.at(s.displayID);
  if (auto window = ownAt(false)) return window;
  return desktopWindow_;
}

Event World::personEvent(EventType type, Point location, EventFlags flags) {
  Event e;
  e.type = type;
  e.location = location;
  e.flags = flags;
  e.setIntegerValueField(kInputNumberField, static_cast<int64_t>(++personInputs_));
  e.setIntegerValueField(eventfield::eventSourceUnixProcessID, 0);
  return e;
}

std::optional<InputDelivery> World::stopsBeforeRouting(const Event& e) {
  if (suppressedUntil_ && clock_.now && clock_.now() < *suppressedUntil_) {
    const uint32_t permit = isMouse(e.type) ? kPermitLocalMouseEvents : kPermitLocalKeyboardEvents;
    if (!(suppressionFilter_ & permit)) return InputDelivery{};
  }
  if (!passesSessionTaps(e)) return InputDelivery{0, true, static_cast<uint64_t>(e.integerValueField(kInputNumberField))};
  return std::nullopt;
}

InputDelivery World::personMouse(EventType type, Point location, EventFlags flags) {
  Event e = personEvent(type, location, flags);
  e.button = (type == EventType::RightMouseDown || type == EventType::RightMouseUp) ? MouseButton::Right : MouseButton::Left;
  if (auto stopped = stopsBeforeRouting(e)) return *stopped;
  return routePersonMouse(e);
}

InputDelivery World::routePersonMouse(const Event& e) {
  const EventType type = e.type;
  // The notch is no screen: a person's press there reaches nothing, and a drag let go there snaps
  // back. (Posted events keep hitting windows by frame.)
  Point p = clampToDisplays(e.location);
  bool down = type == EventType::LeftMouseDown || type == EventType::RightMouseDown;
  bool up = type == EventType::LeftMouseUp || type == EventType::RightMouseUp;
  if (down && isInNotch(p)) {
    notchPress_ = true;
    movePointer(p);
    return {};
  }
  if (up && notchPress_) {
    notchPress_ = false;
    movePointer(p);
    return {};
  }
  if (up && drag_ && !drag_->targeted && isInNotch(p)) {
    drag_.reset();
    buttonDown_ = false;
    movePointer(p);
    return {};
  }
  // Only a person's own clicks move key status and activation.
  personInput_ = true;
  InputDelivery delivered = routeMouse(e, PostRoute::HIDTap);
  personInput_ = false;
  return delivered;
}

void World::personClick(Point location, EventFlags flags) {
  personMouse(EventType::LeftMouseDown, location, flags);
  personMouse(EventType::LeftMouseUp, location, flags);
}

void World::personMove(Point location) { personMouse(EventType::MouseMoved, location); }

InputDelivery World::personKey(uint16_t keyCode, bool down, EventFlags flags) {
  Event e = personEvent(down ? EventType::KeyDown : EventType::KeyUp, pointer_,
                        flags | (isArrow(keyCode) ? (eventflag::numericPad | eventflag::function) : 0));
  e.keyCode = keyCode;
  if (auto stopped = stopsBeforeRouting(e)) return *stopped;
  return routeKey(e);
}

InputDelivery World::routeMouse(const Event& in, PostRoute route) {
  Event e = in;
  e.flags |= heldModifiers_;
  bool command = (e.flags & eventflag::command) != 0;
  bool targetedField = e.integerValueField(eventfield::windowUnderMousePointer) != 0 &&
                       e.integerValueField(eventfield::targetUnixProcessID) != 0;
  if (route != PostRoute::HIDTap && targetedField) {
    // Delivered to the named window whatever the pointer does.
    if (e.type == EventType::LeftMouseDown) {
      auto v = itemByWindow(static_cast<uint32_t>(e.integerValueField(eventfield::windowUnderMousePointer)));
      if (!v || v->fixed) return {};
      const Item* item = find(v->key);
      const AppSpec* owner = app(item->spec.ownerPID);
      bool accepts = item->spec.faults.acceptsTargetedMove.value_or(owner && owner->hostsControlCenter);
      if (!accepts) return {};
      if (command) beginDrag(v->key, true);
      else openMenu(v->key);
    } else if (e.type == EventType::LeftMouseUp && drag_ && drag_->targeted) {
      Drag d = *drag_;
      drag_.reset();
      drop(d.key, e.location, d.framesAtDown);
    }
    return {};
  }
  Point p = clampToDisplays(e.location);
  e.location = p;
  switch (e.type) {
    case EventType::ScrollWheel:
      // Scrolls whatever of ours is under the pointer; the bar's items take no scrolling here.
      if (!isInMenuBarBand(p))
        if (auto window = ownWindowAt(p)) return {*window};
      return {};
    case EventType::MouseMoved:
    case EventType::LeftMouseDragged:
    case EventType::RightMouseDragged:
      movePointer(p);
      return {};
    case EventType::LeftMouseDown:
    case EventType::RightMouseDown: {
      movePointer(p);
      buttonDown_ = true;
      if (auto menu = menuAt(p)) {
        for (const Menu& m : menus_)
          if (m.view.windowNumber == *menu) {
            if (m.view.own) {
              size_t index = static_cast<size_t>(std::max(0.0, (p.y - m.view.frame.minY() - 5) / 22));
              chooseMenuEntry(*menu, index);
            } else if (!m.neverCloses) {
              closeMenu(*menu);  // a selection
            }
            return {};
          }
        return {};
      }
      closeMenusOnOutsideClick(p);
      if (std::any_of(overlays_.begin(), overlays_.end(), [&](const Rect& r) { return r.contains(p); })) {
        runLocalMonitors(e);
        return {};
      }
      auto key = statusItemAt(p);
      const Item* item = key ? find(*key) : nullptr;
      bool left = e.type == EventType::LeftMouseDown;
      if (!item && !isInMenuBarBand(p))
        if (auto window = ownWindowAt(p)) {
          pressedWindow_ = *window;
          return mouseDownInOwnWindow(*window, e);
        }
      if (personInput_ && (!item || !item->own)) resignOwnActive();  // a click elsewhere
      if (!item) {
        runGlobalMonitors(e);
        return {};
      }
      bool fixed = isFixedWindowName(item->spec.windowName);
      if (item->own) {
        if (runLocalMonitors(e)) return {};
        if (left && command && !fixed) {
          beginDrag(*key, false);
          return {};
        }
        pressedOwn_ = key;
        dispatchToOwn(*key, e);
        return {};
      }
      runGlobalMonitors(e);
      if (left && command) {
        if (!fixed) beginDrag(*key, false);
        return {};
      }
      openMenu(*key);
      return {};
    }
    case EventType::LeftMouseUp:
    case EventType::RightMouseUp: {
      movePointer(p);
      buttonDown_ = false;
      if (drag_ && !drag_->targeted) {
        Drag d = *drag_;
        drag_.reset();
        drop(d.key, p, d.framesAtDown);
        return {};
      }
      if (pressedWindow_) {
        WindowHandle window = *pressedWindow_;
        pressedWindow_.reset();
        if (runLocalMonitors(e)) return {};
        return {hasOwnWindow(window) ? window : 0};
      }
      if (pressedOwn_) {
        ItemKey key = *pressedOwn_;
        pressedOwn_.reset();
        if (runLocalMonitors(e)) return {};
        if (statusItemAt(p) == key) dispatchToOwn(key, e);
        return {};
      }
      auto key = statusItemAt(p);
      const Item* item = key ? find(*key) : nullptr;
      if (!item || !item->own) runGlobalMonitors(e);
      return {};
    }
    default:
      return {};
  }
}

void World::dispatchToOwn(ItemKey key, const Event& e) {
  Item* item = find(key);
  if (!item || !item->own) return;
  OwnItem& own = *item->own;
  bool down = e.type == EventType::LeftMouseDown || e.type == EventType::RightMouseDown;
  if (down && own.menu) {
    openOwnMenu(key);
    return;
  }
  if (own.menu || !(own.actionMask & eventMaskBit(e.type)) || !own.action) return;
  std::function<void()> action = own.action;
  auto saved = currentEvent_;
  currentEvent_ = e;
  action();
  currentEvent_ = saved;
}

bool World::runLocalMonitors(const Event& e) {
  std::vector<std::function<std::optional<Event>(const Event&)>> handlers;
  for (const Monitor& m : monitors_)
    if (!m.global && (m.mask & eventMaskBit(e.type))) handlers.push_back(m.localHandler);
  auto saved = currentEvent_;
  currentEvent_ = e;
  bool swallowed = false;
  for (auto& h : handlers)
    if (h && !h(e)) {
      swallowed = true;
      break;
    }
  currentEvent_ = saved;
  return swallowed;
}

void World::runGlobalMonitors(const Event& e) {
  for (const Monitor& m : monitors_) {
    if (!m.global || !(m.mask & eventMaskBit(e.type)) || !m.globalHandler) continue;
    auto h = m.globalHandler;
    if (!clock_.post) {
      h(e);
      continue;
    }
    ++pendingDeliveries_;
    clock_.post([this, alive = std::weak_ptr<bool>(alive_), h, e] {
      h(e);
      if (alive.lock()) monitorDeliveryDone();
    });
  }
}

void World::monitorDeliveryDone() {
  if (--pendingDeliveries_ > 0 || afterDeliveries_.empty()) return;
  // Posted from the last delivery's turn: behind whatever the handlers posted in it.
  std::vector<std::function<void()>> waiting;
  waiting.swap(afterDeliveries_);
  for (auto& fn : waiting) clock_.post(std::move(fn));
}

void World::afterMonitorDeliveries(std::function<void()> fn) {
  if (!clock_.post) fn();
  else if (pendingDeliveries_ > 0) afterDeliveries_.push_back(std::move(fn));
  else clock_.post(std::move(fn));
}

InputDelivery World::routeKey(const Event& in) {
  Event e = in;
  bool down = e.type == EventType::KeyDown;
  if (EventFlags m = modifierForKey(e.keyCode)) {
    if (down) heldModifiers_ |= m;
    else heldModifiers_ &= ~m;
    return {};
  }
  e.flags |= heldModifiers_;
  // The release of a hot key's keystroke belongs to the hot key too.
  if (!down && heldHotKeys_.erase(e.keyCode)) return {};
  if (down) {
    uint32_t mods = carbonModifiers(e.flags);
    for (const auto& [ref, hk] : hotKeys_)
      if (hk.keyCode == e.keyCode && hk.modifiers == mods) {
        heldHotKeys_.insert(e.keyCode);
        std::vector<std::function<int32_t(std::optional<HotKeyID>)>> handlers;
        for (auto& [r, h] : hotKeyHandlers_) handlers.push_back(h);
        std::optional<HotKeyID> id = hk.id;
        if (spec_.switches.unreadableHotKeyEvents > 0) {
          --spec_.switches.unreadableHotKeyEvents;
          id.reset();
        }
        auto fire = [handlers, id] {
          for (auto& h : handlers)
            if (h && h(id) != hotkeystatus::eventNotHandled) break;
        };
        if (clock_.post) clock_.post(fire);
        else fire();
        return {};  // taken for the whole session
      }
    if (e.keyCode == keycode::escape && std::any_of(menus_.begin(), menus_.end(), [](const Menu& m) { return !m.neverCloses; })) {
      std::vector<uint32_t> close;
      for (const Menu& m : menus_)
        if (!m.neverCloses) close.push_back(m.view.windowNumber);
      for (uint32_t n : close) closeMenu(n);
      return {};
    }
  }
  if (ownActive_) {
    if (runLocalMonitors(e)) return {};
    if (keyWindow_) return {keyWindow_};
  } else {
    runGlobalMonitors(e);
  }
  focusedKeys_.push_back(e);
  return {};
}

// ---------------------------------------------------------------- Command-drag

void World::beginDrag(ItemKey key, bool targeted) {
  Item* item = find(key);
  if (!item || item->spec.faults.ignoresDrags) return;
  if (item->spec.faults.vanishesOnDrag) {
    removeItem(item->spec.key);
    return;
  }
  drag_ = Drag{key, layoutFrames(logical_, barGeometry()), targeted};
}

std::optional<double> World::dropMarkX() const {
  if (!drag_ || drag_->targeted || !isInMenuBarBand(pointer_) || isInNotch(pointer_)) return std::nullopt;
  std::optional<ItemKey> before = resolveDrop(logical_, drag_->framesAtDown, drag_->key, pointer_.x);
  if (before) return drag_->framesAtDown.at(*before).minX();
  // Left of the fixed items (or at the bar's right end without any).
  for (const BarEntry& e : logical_.fixed)
    if (auto f = drag_->framesAtDown.find(e.key); f != drag_->framesAtDown.end()) return f->second.minX();
  return barGeometry().rightEdge;
}

void World::drop(ItemKey key, Point p, const std::map<ItemKey, Rect>& frames) {
  if (!find(key) || !logical_.contains(key)) return;
  if (!isInMenuBarBand(p)) return;  // snaps back
  applyDrop(key, resolveDrop(logical_, frames, key, p.x));
}

void World::applyDrop(ItemKey key, std::optional<ItemKey> before) {
  Item* item = find(key);
  if (!item) return;
  const ItemFaults& f = item->spec.faults;
  if (f.landsRightOfControl)
    if (auto control = controlKey(); control && *control != key) before = logical_.rightNeighbour(*control);
  if (f.landsSlotsOff != 0) before = shiftDrop(logical_, key, before, f.landsSlotsOff);
  std::optional<ItemKey> original = logical_.rightNeighbour(key);
  Duration settle = spec_.switches.dragSettleLatency;
  mutate(settle, [key, before](BarState& s) {
    if (auto w = s.width(key)) s.insertBefore({key, *w}, before);
  });
  if (item->own) writePreferredPosition(key);
  if (f.bouncesBackAfter && clock_.scheduleAt)
    after(*f.bouncesBackAfter, [this, key, original, settle] {
      mutate(settle, [key, original](BarState& s) {
        if (auto w = s.width(key)) s.insertBefore({key, *w}, original);
      });
    });
}

// ---------------------------------------------------------------- monitors and hot keys

MonitorToken World::addGlobalMonitor(EventMask mask, std::function<void(const Event&)> handler) {
  Monitor m;
  m.token = nextMonitor_++;
  m.global = true;
  m.mask = mask;
  m.globalHandler = std::move(handler);
  monitors_.push_back(std::move(m));
  return monitors_.back().token;
}

MonitorToken World::addLocalMonitor(EventMask mask, std::function<std::optional<Event>(const Event&)> handler) {
  Monitor m;
  m.token = nextMonitor_++;
  m.mask = mask;
  m.localHandler = std::move(handler);
  monitors_.push_back(std::move(m));
  return monitors_.back().token;
}

void World::removeMonitor(MonitorToken token) {
  std::erase_if(monitors_, [token](const Monitor& m) { return m.token == token; });
}

HotKeyHandlerRef World::installHotKeyHandler(std::function<int32_t(std::optional<HotKeyID>)> handler) {
  HotKeyHandlerRef ref = nextHotKey_++;
  hotKeyHandlers_[ref] = std::move(handler);
  return ref;
}

void World::removeHotKeyHandler(HotKeyHandlerRef ref) { hotKeyHandlers_.erase(ref); }

HotKeyRegistration World::registerHotKey(uint32_t keyCode, uint32_t modifiers, HotKeyID id) {
  if (spec_.switches.hotKeyRegistrationFails) return {hotkeystatus::paramErr, 0};
  for (const auto& [ref, hk] : hotKeys_)
    if (hk.keyCode == keyCode && hk.modifiers == modifiers) return {hotkeystatus::hotKeyExists, 0};
  HotKeyRef ref = nextHotKey_++;
  hotKeys_[ref] = {keyCode, modifiers, id};
  return {hotkeystatus::noErr, ref};
}

int32_t World::unregisterHotKey(HotKeyRef ref) {
  return hotKeys_.erase(ref) ? hotkeystatus::noErr : hotkeystatus::paramErr;
}

std::vector<HotKeyEntry> World::hotKeys() const {
  std::vector<HotKeyEntry> out;
  for (auto& [r, hk] : hotKeys_) out.push_back(hk);
  return out;
}

}  // namespace vimbo::sim
