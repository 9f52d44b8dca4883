#include "Platform/Sim/World.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "Platform/Foundation/Text.h"

namespace vimbo::sim {

using namespace platform;

namespace {
void nfc(std::string& s) { s = platform::text::nfc(s); }
void nfc(std::optional<std::string>& s) {
  if (s) nfc(*s);
}
void nfc(std::optional<AXValue>& v) {
  if (v && v->string()) v = AXValue{platform::text::nfc(*v->string())};
}
}  // namespace

void normalizeStrings(ItemSpec& i) {
  nfc(i.key);
  nfc(i.windowName);
  nfc(i.axIdentifier);
  nfc(i.axTitle);
  nfc(i.axDescription);
  nfc(i.axHelp);
}

void normalizeStrings(WorldSpec& w) {
  nfc(w.ownName);
  nfc(w.ownBundleIdentifier);
  if (w.frontApp) {
    nfc(w.frontApp->name);
    for (std::string& m : w.frontApp->menus) nfc(m);
  }
  for (ScreenSpec& s : w.screens) nfc(s.name);
  for (AppSpec& a : w.apps) {
    nfc(a.name);
    nfc(a.bundleIdentifier);
    nfc(a.executablePath);
    nfc(a.bundlePath);
    for (auto& [k, v] : a.bundleInfo)
      if (auto* s = std::get_if<std::string>(&v)) nfc(*s);
  }
  for (ItemSpec& i : w.items) normalizeStrings(i);
}

World::World(WorldSpec spec, Clockwork clockwork) : spec_(std::move(spec)), clock_(std::move(clockwork)) {
  normalizeStrings(spec_);
  if (clock_.now) start_ = clock_.now();
  wallStart_ = spec_.wallClockStart.value_or(std::chrono::system_clock::now());
  mainThread_ = std::this_thread::get_id();
  pointer_ = clampToDisplays(spec_.pointer);
  for (const ScreenSpec& s : spec_.screens) screenWindows_[s.displayID] = nextWindow_++;
  desktopWindow_ = nextWindow_++;
  // Fixed items sort right with Clock rightmost; everything else keeps the file's order.
  std::vector<ItemSpec> specs = spec_.items;
  for (ItemSpec& s : specs) {
    Item item;
    item.key = nextKey_++;
    item.spec = std::move(s);
    item.windowNumber = nextWindow_++;
    ItemKey key = item.key;
    bool visible = item.spec.visible;
    bool fixed = isFixedWindowName(item.spec.windowName);
    BarEntry entry{key, item.spec.width};
    bool clock = item.spec.windowName == std::optional<std::string>("Clock");
    items_.emplace(key, std::move(item));
    if (!visible) continue;
    if (!fixed) {
      logical_.nonFixed.push_back(entry);
    } else if (clock) {
      logical_.fixed.push_back(entry);
    } else {
      logical_.fixed.insert(logical_.fixed.begin(), entry);
    }
  }
  displayed_ = logical_;
  relayout();
}

World::~World() {
  for (Menu& m : menus_)
    if (m.closeTimer && clock_.cancel) clock_.cancel(m.closeTimer);
}

WorldSnapshot World::snapshot() const {
  WorldSnapshot s;
  s.screens = spec_.screens;
  s.items = items();
  s.menus = openMenus();
  s.ownOverlays = overlays_;
  for (const OwnWindowView& w : ownWindows())
    if (w.visible) s.windows.insert(s.windows.begin(), w);
  s.pointer = pointer_;
  s.cursorVisible = cursorVisible();
  return s;
}

// ---------------------------------------------------------------- screens

void World::setScreens(std::vector<ScreenSpec> screens) {
  spec_.screens = std::move(screens);
  for (const ScreenSpec& s : spec_.screens)
    if (!screenWindows_.count(s.displayID)) screenWindows_[s.displayID] = nextWindow_++;
  pointer_ = clampToDisplays(pointer_);
  relayout();
}

std::optional<Rect> World::auxiliaryTopRightArea(const ScreenSpec& s) const {
  if (s.notchWidth <= 0) return std::nullopt;
  double notchMaxX = s.frame.midX() + s.notchWidth / 2;
  return Rect(notchMaxX, s.frame.maxY() - s.menuBarHeight, s.frame.maxX() - notchMaxX, s.menuBarHeight);
}

std::optional<Rect> World::auxiliaryAreaInWindowServer(const ScreenSpec& s) const {
  auto a = auxiliaryTopRightArea(s);
  if (!a) return std::nullopt;
  const Rect& b = s.displayBounds;
  double sx = s.frame.width > 0 ? b.width / s.frame.width : 1;
  double sy = s.frame.height > 0 ? b.height / s.frame.height : 1;
  return Rect(b.minX() + sx * (a->minX() - s.frame.minX()), b.minY() + b.height - sy * (a->maxY() - s.frame.minY()),
              sx * a->width, sy * a->height);
}

BarGeometry World::barGeometry() const {
  BarGeometry g;
  if (spec_.screens.empty()) return g;
  const ScreenSpec& s = spec_.screens.front();
  g.rightEdge = s.displayBounds.maxX();
  g.top = s.displayBounds.minY();
  g.height = s.menuBarHeight;
  g.spacing = spec_.switches.itemSpacing;
  return g;
}

bool World::isInMenuBarBand(Point p) const {
  if (spec_.screens.empty()) return false;
  const ScreenSpec& s = spec_.screens.front();
  return p.y >= s.displayBounds.minY() && p.y <= s.displayBounds.minY() + s.menuBarHeight &&
         p.x >= s.displayBounds.minX() && p.x <= s.displayBounds.maxX();
}

std::optional<Rect> World::notchInWindowServer(const ScreenSpec& s) const {
  if (s.notchWidth <= 0) return std::nullopt;
  double w = s.frame.width > 0 ? s.notchWidth * s.displayBounds.width / s.frame.width : s.notchWidth;
  return Rect(s.displayBounds.midX() - w / 2, s.displayBounds.minY(), w, s.menuBarHeight);
}

bool World::isInNotch(Point p) const {
  for (const ScreenSpec& s : spec_.screens)
    if (auto n = notchInWindowServer(s); n && n->contains(p)) return true;
  return false;
}

std::chrono::system_clock::time_point World::wallClock() const {
  if (!clock_.now) return wallStart_;
  return wallStart_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(clock_.now() - start_);
}

FrontAppSpec World::barMenus() const {
  if (ownActive_ && ownPolicy_ == ActivationPolicy::Regular) return {spec_.ownName, {}};
  return spec_.frontApp.value_or(FrontAppSpec{});
}

bool World::reopenOwnApplication() {
  bool visible = std::any_of(windows_.begin(), windows_.end(), [](const auto& w) { return w.second.visible; });
  return appDelegate_ ? appDelegate_->applicationShouldHandleReopen(visible) : true;
}

void World::personReopen() {
  afterMonitorDeliveries([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.lock()) reopenOwnApplication();
  });
}

bool World::isOnSomeDisplay(Point p) const {
  return std::any_of(spec_.screens.begin(), spec_.screens.end(),
                     [&](const ScreenSpec& s) { return s.displayBounds.contains(p); });
}

Point World::clampToDisplays(Point p) const {
  if (spec_.screens.empty() || isOnSomeDisplay(p)) return p;
  Point best = p;
  double bestDistance = INFINITY;
  for (const ScreenSpec& s : spec_.screens) {
    const Rect& b = s.displayBounds;
    Point c{std::clamp(p.x, b.minX(), b.maxX() - 1), std::clamp(p.y, b.minY(), b.maxY() - 1)};
    double d = std::hypot(c.x - p.x, c.y - p.y);
    if (d < bestDistance) bestDistance = d, best = c;
  }
  return best;
}

// ---------------------------------------------------------------- items

World::Item* World::find(ItemKey key) {
  auto it = items_.find(key);
  return it == items_.end() ? nullptr : &it->second;
}
const World::Item* World::find(ItemKey key) const {
  auto it = items_.find(key);
  return it == items_.end() ? nullptr : &it->second;
}
World::Item* World::findSpec(const std::string& specKey) {
  for (auto& [k, item] : items_)
    if (item.spec.key == specKey) return &item;
  return nullptr;
}
const World::Item* World::findSpec(const std::string& specKey) const {
  for (auto& [k, item] : items_)
    if (item.spec.key == specKey) return &item;
  return nullptr;
}

const AppSpec* World::app(int32_t pid) const {
  for (const AppSpec& a : spec_.apps)
    if (a.pid == pid) return &a;
  return nullptr;
}

ItemView World::view(const Item& item) const {
  ItemView v;
  v.key = item.key;
  v.specKey = item.spec.key;
  v.windowNumber = item.windowNumber;
  v.windowName = item.spec.windowName;
  v.ownerPID = item.spec.ownerPID;
  v.axPID = item.spec.effectiveAXPID();
  auto f = frames_.find(item.key);
  if (f != frames_.end()) v.frame = f->second;
  v.own = item.own != nullptr;
  v.fixed = isFixedWindowName(item.spec.windowName);
  v.picture = item.spec.picture;
  if (item.own) {
    v.title = item.own->title;
    v.image = item.own->image;
  }
  return v;
}

BarEntry World::entryFor(const Item& item) const {
  return {item.key, item.own ? ownItemWidth(*item.own) : item.spec.width};
}

std::vector<ItemView> World::items() const {
  std::vector<ItemView> out;
  for (const BarEntry& e : displayed_.nonFixed)
    if (const Item* i = find(e.key)) out.push_back(view(*i));
  for (const BarEntry& e : displayed_.fixed)
    if (const Item* i = find(e.key)) out.push_back(view(*i));
  return out;
}

std::optional<ItemView> World::item(const std::string& specKey) const {
  const Item* i = findSpec(specKey);
  if (!i || !displayed_.contains(i->key)) return std::nullopt;
  return view(*i);
}

std::optional<ItemView> World::itemByKey(ItemKey key) const {
  const Item* i = find(key);
  if (!i || !displayed_.contains(key)) return std::nullopt;
  return view(*i);
}

std::optional<ItemView> World::itemByWindow(uint32_t windowNumber) const {
  auto shown = displayedByWindow_.find(windowNumber);
  const Item* i = shown == displayedByWindow_.end() ? nullptr : find(shown->second);
  return i ? std::optional<ItemView>(view(*i)) : std::nullopt;
}

std::optional<ItemKey> World::keyOf(const std::string& specKey) const {
  const Item* i = findSpec(specKey);
  return i ? std::optional<ItemKey>(i->key) : std::nullopt;
}

std::optional<Rect> World::frameOf(const std::string& specKey) const {
  auto v = item(specKey);
  return v ? std::optional<Rect>(v->frame) : std::nullopt;
}

std::vector<std::string> World::logicalOrder() const {
  std::vector<std::string> out;
  for (const BarEntry& e : logical_.nonFixed)
    if (const Item* i = find(e.key)) out.push_back(i->spec.key);
  return out;
}

std::vector<std::string> World::displayedOrder() const {
  std::vector<std::string> out;
  for (const BarEntry& e : displayed_.nonFixed)
    if (const Item* i = find(e.key)) out.push_back(i->spec.key);
  return out;
}

Publication::~Publication() {
  if (world_) world_->publishEdits();
}

void World::publishEdits() {
  for (auto& [key, item] : items_) normalizeStrings(item.spec);  // texts set by the statement
  relayout();
}

Switches& World::switches(Publication&& publication) {
  publication.world_ = this;
  return spec_.switches;
}

ItemFaults& World::faults(const std::string& specKey, Publication&& publication) {
  return itemSpec(specKey, std::move(publication)).faults;
}

ItemSpec& World::itemSpec(const std::string& specKey, Publication&& publication) {
  Item* i = findSpec(specKey);
  if (!i) throw std::out_of_range("no status item \"" + specKey + "\" in this world");
  publication.world_ = this;
  return i->spec;
}

std::optional<ItemKey> World::controlKey() const {
  for (const auto& [k, item] : items_)
    if (item.own && item.own->autosaveName == "Vimbo.Control" && logical_.contains(k)) return k;
  return std::nullopt;
}

uint64_t World::after(Duration delay, std::function<void()> fn) {
  std::weak_ptr<bool> alive = alive_;
  return clock_.scheduleAt(clock_.now() + delay, [alive, fn = std::move(fn)] {
    if (alive.lock()) fn();
  });
}

void World::mutate(Duration latency, std::function<void(BarState&)> op) {
  op(logical_);
  if (latency <= Duration{0} || !clock_.scheduleAt) {
    op(displayed_);
    relayout();
    return;
  }
  after(latency, [this, op] {
    op(displayed_);
    relayout();
  });
}

void World::relayout() {
  frames_ = layoutFrames(displayed_, barGeometry());
  displayedByWindow_.clear();
  for (const auto& [key, frame] : frames_)
    if (const Item* i = find(key)) displayedByWindow_.emplace(i->windowNumber, key);
  publishAX();
  changed();
}

void World::addItem(ItemSpec spec, Duration after) {
  normalizeStrings(spec);
  spec.visible = false;
  Item item;
  item.key = nextKey_++;
  item.spec = spec;
  item.windowNumber = nextWindow_++;
  std::string key = spec.key;
  items_.emplace(item.key, std::move(item));
  showItem(key, after);
}

void World::showItem(const std::string& specKey, Duration after) {
  Item* i = findSpec(specKey);
  if (!i) return;
  ItemKey key = i->key;
  auto show = [this, key] {
    Item* it = find(key);
    if (!it || logical_.contains(key)) return;
    it->spec.visible = true;
    BarEntry entry = entryFor(*it);
    bool fixed = isFixedWindowName(it->spec.windowName);
    mutate(Duration{0}, [entry, fixed](BarState& s) {
      if (s.contains(entry.key)) return;
      if (fixed) s.fixed.insert(s.fixed.begin(), entry);
      else s.insertAtLeftEnd(entry);
    });
  };
  if (after <= Duration{0} || !clock_.scheduleAt) show();
  else this->after(after, show);
}

void World::removeItem(const std::string& specKey) {
  Item* i = findSpec(specKey);
  if (!i) return;
  ItemKey key = i->key;
  i->spec.visible = false;
  mutate(Duration{0}, [key](BarState& s) { s.remove(key); });
}

void World::restartApplication(int32_t pid) {
  for (auto& [k, item] : items_)
    if (!item.own && item.spec.ownerPID == pid) item.windowNumber = nextWindow_++;
  relayout();
}

void World::moveItemBefore(const std::string& specKey, std::optional<std::string> beforeSpecKey) {
  Item* i = findSpec(specKey);
  if (!i) return;
  std::optional<ItemKey> before;
  if (beforeSpecKey)
    if (const Item* b = findSpec(*beforeSpecKey)) before = b->key;
  BarEntry entry = entryFor(*i);
  mutate(Duration{0}, [entry, before](BarState& s) {
    if (s.contains(entry.key)) s.insertBefore(entry, before);
  });
}

// ---------------------------------------------------------------- window server

namespace {
WindowInfo makeInfo(uint32_t number, int layer, int32_t pid, const std::optional<std::string>& ownerName,
                    const std::optional<std::string>& name, Rect bounds, bool onscreen) {
  WindowInfo w;
  w.fields[windowkey::number] = int64_t{number};
  w.fields[windowkey::layer] = int64_t{layer};
  w.fields[windowkey::ownerPID] = int64_t{pid};
  if (ownerName) w.fields[windowkey::ownerName] = *ownerName;
  if (name) w.fields[windowkey::name] = *name;
  w.fields[windowkey::bounds] = bounds;
  w.fields[windowkey::isOnscreen] = onscreen;
  return w;
}
}  // namespace

std::optional<std::vector<WindowInfo>> World::windowList(WindowListOption option, uint32_t relative) {
  const Switches& sw = spec_.switches;
  if (sw.windowListUnavailable) return std::nullopt;
  std::vector<WindowInfo> list;
  bool redact = sw.redactNamesWithoutCapture && !sw.screenCaptureGranted;
  auto nameFor = [&](int32_t pid, const std::optional<std::string>& name) {
    return (redact && pid != spec_.ownPID) ? std::nullopt : name;
  };
  auto ownerNameOf = [&](int32_t pid) -> std::optional<std::string> {
    if (pid == spec_.ownPID) return spec_.ownName;
    const AppSpec* a = app(pid);
    return a ? a->name : std::nullopt;
  };
  // A single-window query builds only that window's entry (and any whose number an override
  // rewrites), as the window server answers it without listing every window.
  const bool single = option == WindowListOption::IncludingWindow;
  auto wanted = [&](uint32_t number) {
    if (!single || number == relative) return true;
    auto o = overrides_.find(number);
    return o != overrides_.end() && o->second.contains(windowkey::number);
  };
  for (const Menu& m : menus_)
    if (wanted(m.view.windowNumber))
      list.push_back(makeInfo(m.view.windowNumber, m.view.level, m.view.ownerPID, m.view.ownerName, std::nullopt,
                            m.view.frame, true));
  // Status-item windows, newest first. Unless an override rewrites a number or the control
  // window has duplicates, a single-window query wants one displayed item at most.
  std::vector<const Item*> shown;
  const bool onlyTheWindow = single && sw.controlWindowDuplicates == 0 &&
                             std::none_of(overrides_.begin(), overrides_.end(),
                                          [](const auto& o) { return o.second.contains(windowkey::number); });
  if (onlyTheWindow) {
    if (auto it = displayedByWindow_.find(relative); it != displayedByWindow_.end())
      if (const Item* item = find(it->second)) shown.push_back(item);
  } else {
    for (const auto& [k, item] : items_)
      if ((wanted(item.windowNumber) || (sw.controlWindowDuplicates > 0 && item.spec.windowName == "Vimbo.Control")) &&
          frames_.contains(k))  // displayed
        shown.push_back(&item);
  }
  std::sort(shown.begin(), shown.end(), [](const Item* a, const Item* b) { return a->windowNumber > b->windowNumber; });
  for (const Item* item : shown) {
    const std::optional<std::string>& name = item->spec.windowName;
    if (name == std::optional<std::string>("Vimbo.HiddenDivider") && sw.dividerWindowMissing) continue;
    bool control = name == std::optional<std::string>("Vimbo.Control");
    if (control && sw.controlWindowMissing) continue;
    Rect frame = frames_.count(item->key) ? frames_.at(item->key) : Rect();
    int32_t pid = item->spec.ownerPID;
    if (wanted(item->windowNumber))
      list.push_back(makeInfo(item->windowNumber, windowlevel::status, pid, ownerNameOf(pid), nameFor(pid, name), frame, true));
    if (control)
      for (int d = 0; d < sw.controlWindowDuplicates; ++d) {
        int32_t dupPID = sw.duplicateControlOwnerPID.value_or(spec_.ownPID);
        if (!wanted(0xF0000000u + static_cast<uint32_t>(d))) continue;
        list.push_back(makeInfo(0xF0000000u + static_cast<uint32_t>(d), windowlevel::status, dupPID, ownerNameOf(dupPID),
                                nameFor(dupPID, name), frame, true));
      }
  }
  for (const ScreenSpec& s : spec_.screens) {
    if (!wanted(screenWindows_.at(s.displayID))) continue;
    Rect bar(s.displayBounds.minX(), s.displayBounds.minY(), s.displayBounds.width, s.menuBarHeight);
    list.push_back(makeInfo(screenWindows_.at(s.displayID), windowlevel::mainMenu, 88, std::string("Window Server"),
                            std::string("Menubar"), bar, true));
  }
  listOwnWindows(list);
  if (!spec_.screens.empty() && wanted(desktopWindow_))
    list.push_back(makeInfo(desktopWindow_, -2147483624, 90, std::string("Dock"), std::string("Desktop Picture"),
                            spec_.screens.front().displayBounds, true));
  for (WindowInfo& w : list) {
    auto o = overrides_.find(*w.number());
    if (o == overrides_.end()) continue;
    for (const auto& [key, value] : o->second) {
      if (value) w.fields[key] = *value;
      else w.fields.erase(key);
    }
  }
  if (option == WindowListOption::OnScreenOnly)
    std::erase_if(list, [](const WindowInfo& w) { return !w.isOnscreen().value_or(false); });
  if (option == WindowListOption::IncludingWindow)
    std::erase_if(list, [relative](const WindowInfo& w) { return w.number() != relative; });
  return list;
}

void World::overrideWindowField(uint32_t windowNumber, const std::string& key, std::optional<WindowValue> value) {
  overrides_[windowNumber][key] = std::move(value);
}

OnScreenWindowCount World::onScreenWindowCount() {
  Switches& sw = spec_.switches;
  if (sw.onScreenCountFailures > 0) {
    --sw.onScreenCountFailures;
    return {1000, 0};  // kCGErrorFailure
  }
  if (sw.onScreenCountFailsAfter && clock_.now && clock_.now() >= start_ + *sw.onScreenCountFailsAfter) return {1000, 0};
  if (sw.onScreenCountZeros > 0) {
    --sw.onScreenCountZeros;
    return {0, 0};
  }
  if (sw.onScreenCountZeroAfter && clock_.now && clock_.now() >= start_ + *sw.onScreenCountZeroAfter) return {0, 0};
  auto list = windowList(WindowListOption::OnScreenOnly, 0);
  return {0, static_cast<int32_t>(list ? list->size() : 1)};
}

// ---------------------------------------------------------------- menus

std::vector<MenuView> World::openMenus() const {
  std::vector<MenuView> out;
  for (const Menu& m : menus_) out.push_back(m.view);
  return out;
}

int World::menuOpenCount(const std::string& specKey) const {
  const Item* i = findSpec(specKey);
  return i ? i->menuOpens : 0;
}

void World::openMenu(ItemKey key) {
  Item* item = find(key);
  if (!item || !item->spec.menu.exists) return;
  for (const Menu& m : menus_)
    if (m.view.item == key) {
      closeMenu(m.view.windowNumber);  // a second click closes it
      return;
    }
  // Menu tracking is modal: a new status menu replaces any other that can close.
  std::vector<uint32_t> others;
  for (const Menu& m : menus_)
    if (!m.neverCloses) others.push_back(m.view.windowNumber);
  for (uint32_t n : others) closeMenu(n);
  ++item->menuOpens;
  auto show = [this, key] {
    Item* it = find(key);
    if (!it || !displayed_.contains(key) || spec_.screens.empty()) return;
    const MenuSpec& ms = it->spec.menu;
    const ScreenSpec& s = spec_.screens.front();
    Rect f = frames_.count(key) ? frames_.at(key) : Rect();
    double x = std::clamp(f.minX(), s.displayBounds.minX(), std::max(s.displayBounds.minX(), s.displayBounds.maxX() - ms.size.width));
    Menu m;
    m.view.windowNumber = nextWindow_++;
    m.view.item = key;
    m.view.ownerPID = ms.ownerPID.value_or(it->spec.effectiveAXPID());
    const AppSpec* a = app(m.view.ownerPID);
    m.view.ownerName = a && a->name ? *a->name : "";
    m.view.level = ms.level;
    m.view.frame = Rect(x, s.displayBounds.minY() + s.menuBarHeight, ms.size.width, ms.size.height);
    m.neverCloses = ms.neverCloses;
    uint32_t number = m.view.windowNumber;
    if (ms.closesAfter && !ms.neverCloses && clock_.scheduleAt)
      m.closeTimer = after(*ms.closesAfter, [this, number] { closeMenu(number); });
    menus_.insert(menus_.begin(), std::move(m));
    changed();
  };
  Duration delay = item->spec.menu.appearDelay;
  if (delay <= Duration{0} || !clock_.scheduleAt) show();
  else after(delay, show);
}

void World::closeMenu(uint32_t windowNumber) {
  for (auto it = menus_.begin(); it != menus_.end(); ++it)
    if (it->view.windowNumber == windowNumber) {
      if (it->closeTimer && clock_.cancel) clock_.cancel(it->closeTimer);
      menus_.erase(it);
      changed();
      return;
    }
}

void World::dismissMenu(uint32_t windowNumber) { closeMenu(windowNumber); }

void World::setOwnOverlays(std::vector<Rect> overlays) {
  overlays_ = std::move(overlays);
  publishAX();
  changed();
}

void World::moveMenu(uint32_t windowNumber, Rect frame) {
  for (Menu& m : menus_)
    if (m.view.windowNumber == windowNumber) m.view.frame = frame;
  changed();
}

void World::dismissAllMenus() {
  while (!menus_.empty()) closeMenu(menus_.front().view.windowNumber);
}

bool World::chooseMenuEntry(uint32_t windowNumber, size_t index) {
  for (Menu& m : menus_)
    if (m.view.windowNumber == windowNumber) {
      std::function<void()> action = index < m.actions.size() ? m.actions[index] : nullptr;
      if (index >= m.view.entries.size()) return false;
      closeMenu(windowNumber);
      if (action) action();
      return true;
    }
  return false;
}

void World::openOwnMenu(ItemKey key) {
  Item* item = find(key);
  if (!item || !item->own || !item->own->menu || spec_.screens.empty()) return;
  ++item->menuOpens;
  const ScreenSpec& s = spec_.screens.front();
  Rect f = frames_.count(key) ? frames_.at(key) : Rect();
  Menu m;
  m.view.windowNumber = nextWindow_++;
  m.view.item = key;
  m.view.ownerPID = spec_.ownPID;
  m.view.ownerName = spec_.ownName;
  m.view.own = true;
  double h = 10 + 22.0 * static_cast<double>(item->own->menu->size());
  double x = std::clamp(f.minX(), s.displayBounds.minX(), std::max(s.displayBounds.minX(), s.displayBounds.maxX() - 220));
  m.view.frame = Rect(x, s.displayBounds.minY() + s.menuBarHeight, 220, h);
  for (const MenuEntry& e : *item->own->menu) {
    m.view.entries.push_back(e.title);
    m.actions.push_back(e.action);
  }
  menus_.insert(menus_.begin(), std::move(m));
  changed();
}

std::optional<uint32_t> World::menuAt(Point p) const {
  for (const Menu& m : menus_)
    if (m.view.frame.contains(p)) return m.view.windowNumber;
  return std::nullopt;
}

void World::closeMenusOnOutsideClick(Point p) {
  std::vector<uint32_t> close;
  for (const Menu& m : menus_) {
    // A click on the menu's own item is the second click that closes it (see openMenu).
    auto item = frames_.find(m.view.item);
    if (!m.view.own && item != frames_.end() && item->second.contains(p)) continue;
    if (!m.neverCloses && !m.view.frame.contains(p)) close.push_back(m.view.windowNumber);
  }
  for (uint32_t n : close) closeMenu(n);
}

// ---------------------------------------------------------------- permissions

bool World::screenCaptureRequest() {
  ++captureRequests_;
  if (spec_.switches.screenCaptureRequestGrants) captureGrantPending_ = true;
  return spec_.switches.screenCaptureGranted;
}

void World::relaunch() {
  if (captureGrantPending_) spec_.switches.screenCaptureGranted = true;
  captureGrantPending_ = false;
}

void World::setOwnActive(bool active) {
  if (ownActive_ == active) return;
  ownActive_ = active;
  changed();  // the bar's menus follow the active application
}

}  // namespace vimbo::sim
