#pragma once
// The simulated desktop: screens, applications and their status items, our own status items, the
// pointer and keyboard, open menus and permissions. Deterministic: every timed behaviour is a
// timer on the clockwork. Main-thread object, except the accessibility reads, which read an
// immutable snapshot under their own lock and may come from any thread.

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Platform/Accessibility.h"
#include "Platform/Application.h"
#include "Platform/EventMonitors.h"
#include "Platform/Events.h"
#include "Platform/HotKeys.h"
#include "Platform/StatusBar.h"
#include "Platform/WindowServer.h"
#include "Platform/Windows.h"
#include "Platform/Sim/Clockwork.h"
#include "Platform/Sim/Layout.h"
#include "Platform/Sim/Model.h"

namespace vimbo::platform {
class UserDefaults;
}

namespace vimbo::sim {

// One status item as the bar shows it now.
struct ItemView {
  ItemKey key = 0;
  std::string specKey;  // the world file's key; autosave name for our own items
  uint32_t windowNumber = 0;
  std::optional<std::string> windowName;
  int32_t ownerPID = 0;
  int32_t axPID = 0;
  Rect frame;  // window-server coordinates
  bool own = false;
  bool fixed = false;
  Picture picture;
  std::string title;        // our own items: the button title
  platform::ImageRef image;  // our own items: the button image
};

struct MenuView {
  uint32_t windowNumber = 0;
  ItemKey item = 0;
  int32_t ownerPID = 0;
  std::string ownerName;
  int level = platform::windowlevel::popUpMenu;
  Rect frame;
  bool own = false;
  std::vector<std::string> entries;  // our own menus
};

enum class PostRoute { HIDTap, SessionTap, AnnotatedSessionTap, Pid };

struct PostedEvent {
  platform::Event event;
  PostRoute route = PostRoute::HIDTap;
  int32_t pid = 0;  // for Pid
  TimePoint time;
};

struct SourceSettings {
  int64_t id = 0;
  platform::EventSourceStateID state = platform::EventSourceStateID::HIDSystem;
  std::optional<double> suppressionInterval;
  std::optional<uint32_t> filterMask;
  int filterState = 0;
};

struct HotKeyEntry {
  uint32_t keyCode = 0;
  uint32_t modifiers = 0;
  platform::HotKeyID id;
};

// One of our own windows (panels, the settings window, the popover's content window).
struct OwnWindowView {
  platform::WindowHandle handle = 0;
  uint32_t windowNumber = 0;
  platform::WindowConfiguration configuration;
  Rect frame;        // screen coordinates, origin bottom left
  Rect serverFrame;  // window-server coordinates, origin top left
  Size contentSize;
  bool visible = false;
  bool key = false;
  bool popover = false;  // the content window of a popover
  platform::ViewContentRef content;
};

// Where a person's input ended up: with one of our windows when it reached that window's content.
// Input a session event tap took is routed later, if it is posted again; its number then says which
// input it was (see World::setLateDeliveryObserver).
struct InputDelivery {
  platform::WindowHandle window = 0;
  bool taken = false;
  uint64_t number = 0;
  explicit operator bool() const { return window != 0; }
};

class World;

// Publishes the world's data to readers on every thread when it goes away (see World::switches).
class Publication {
 public:
  Publication() = default;
  Publication(const Publication&) = delete;
  Publication& operator=(const Publication&) = delete;
  ~Publication();

 private:
  friend class World;
  World* world_ = nullptr;
};

// What the desktop window draws: a copy of everything visible.
struct WorldSnapshot {
  std::vector<ScreenSpec> screens;
  std::vector<ItemView> items;  // left to right
  std::vector<MenuView> menus;  // front to back
  std::vector<Rect> ownOverlays;
  std::vector<OwnWindowView> windows;  // visible ones, back to front
  Point pointer;
  bool cursorVisible = true;
};

class World {
 public:
  World(WorldSpec spec, Clockwork clockwork);
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  const WorldSpec& spec() const { return spec_; }
  WorldSnapshot snapshot() const;
  // Expires when the world is destroyed (for objects that may outlive it).
  std::weak_ptr<bool> aliveToken() const { return alive_; }
  // Called after every visible change (layout, menus, pointer): the desktop window repaints.
  void setChangeObserver(std::function<void()> observer) { observer_ = std::move(observer); }
  // Moves an open menu window, e.g. by a fraction of a point as real menus sometimes do.
  void moveMenu(uint32_t windowNumber, Rect frame);
  // Our own panels and popovers on screen (window-server rectangles): clicks there go to our
  // process, and accessibility hit tests there find our own elements.
  void setOwnOverlays(std::vector<Rect> overlays);
  const std::vector<Rect>& ownOverlays() const { return overlays_; }
  Clockwork& clockwork() { return clock_; }
  // Fault switches and item specs (main thread), e.g. world.faults("wifi").pressRefused = true.
  // A change takes effect for readers on every thread at the end of the statement making it:
  // the defaulted argument is a temporary that lives until then and publishes when it goes.
  // (Keep no reference for later statements: their changes would wait for the next publication.)
  Switches& switches(Publication&& publication = {});
  void refresh() { relayout(); }
  void setAccessibilityTrusted(bool trusted);
  void setUnresponsive(int32_t pid, bool unresponsive);
  int32_t ownPID() const { return spec_.ownPID; }

  // Defaults of our process (the "NSStatusItem ..." keys); may be null until set.
  void setDefaults(std::shared_ptr<platform::UserDefaults> defaults) { defaults_ = std::move(defaults); }
  platform::UserDefaults* defaults() const { return defaults_.get(); }

  // ---- screens ----
  const std::vector<ScreenSpec>& screens() const { return spec_.screens; }
  void setScreens(std::vector<ScreenSpec> screens);
  std::optional<Rect> auxiliaryTopRightArea(const ScreenSpec& screen) const;  // AppKit coordinates
  std::optional<Rect> auxiliaryAreaInWindowServer(const ScreenSpec& screen) const;
  BarGeometry barGeometry() const;
  bool isInMenuBarBand(Point p) const;
  // The notch in window-server coordinates: no screen there, so a person's clicks reach nothing.
  std::optional<Rect> notchInWindowServer(const ScreenSpec& screen) const;
  bool isInNotch(Point p) const;
  // The wall clock: the world's start time plus the time its clock has run since.
  std::chrono::system_clock::time_point wallClock() const;
  // The bar's left side: the active application's name and menu titles.
  FrontAppSpec barMenus() const;
  Point clampToDisplays(Point p) const;
  bool isOnSomeDisplay(Point p) const;

  // ---- status items ----
  std::vector<ItemView> items() const;  // displayed, left to right
  std::optional<ItemView> item(const std::string& specKey) const;
  std::optional<ItemView> itemByWindow(uint32_t windowNumber) const;
  std::optional<ItemView> itemByKey(ItemKey key) const;
  std::optional<ItemKey> keyOf(const std::string& specKey) const;
  std::optional<Rect> frameOf(const std::string& specKey) const;
  // Logical left-to-right order of non-fixed items (pending drops included), by spec key.
  std::vector<std::string> logicalOrder() const;
  std::vector<std::string> displayedOrder() const;
  // Both throw std::out_of_range for an unknown key.
  ItemFaults& faults(const std::string& specKey, Publication&& publication = {});
  ItemSpec& itemSpec(const std::string& specKey, Publication&& publication = {});

  // Scripted changes.
  void addItem(ItemSpec item, Duration after = Duration{0});  // appears at the left end
  void showItem(const std::string& specKey, Duration after = Duration{0});
  void removeItem(const std::string& specKey);  // the window vanishes; items left of it shift right
  void restartApplication(int32_t pid);         // its items get new window numbers
  void moveItemBefore(const std::string& specKey, std::optional<std::string> beforeSpecKey);

  // ---- window server ----
  std::optional<std::vector<platform::WindowInfo>> windowList(platform::WindowListOption option, uint32_t relative);
  // Per-window overrides of list fields: a value replaces the field, none removes it.
  void overrideWindowField(uint32_t windowNumber, const std::string& key, std::optional<platform::WindowValue> value);
  platform::OnScreenWindowCount onScreenWindowCount();
  // The front-most window at a window-server point, the one a posted press there finds; none off
  // every display.
  std::optional<uint32_t> windowNumberAt(Point p) const;
  uint32_t nextWindowNumber() { return nextWindow_++; }

  // ---- menus ----
  std::vector<MenuView> openMenus() const;  // front to back
  void dismissMenu(uint32_t windowNumber);
  void dismissAllMenus();
  bool chooseMenuEntry(uint32_t windowNumber, size_t index);
  int menuOpenCount(const std::string& specKey) const;

  // ---- pointer, keyboard, cursor ----
  Point pointer() const { return pointer_; }
  Point pointerBottomLeft() const;
  platform::EventFlags heldModifiers() const { return heldModifiers_; }
  bool isCommandHeld() const { return (heldModifiers_ & platform::eventflag::command) != 0; }
  bool isMouseButtonDown() const { return buttonDown_; }
  int cursorHideCount(uint32_t displayID) const;
  int totalCursorHideCount() const;
  bool cursorVisible() const { return totalCursorHideCount() <= 0; }
  const std::vector<Point>& warps() const { return warps_; }
  const std::vector<PostedEvent>& postedEvents() const { return posted_; }
  void clearRecords();
  std::optional<ItemKey> draggingItem() const;
  // During a person's Command-drag: the x where the dragged item would land if let go now, by the
  // drop rule; none where it would snap back.
  std::optional<double> dropMarkX() const;

  // Input as a person makes it (enters at the HID level). Mouse-downs and keys that reach one of
  // our windows (past the local monitors) say so: the desktop hands them on to the window's content.
  // As on a Mac, hiding the cursor holds nothing. For a moment after an event posted from a source
  // with a local-events suppression interval, the person's input that the source's filter does not
  // permit is dropped; what is left passes the session event taps and is then routed.
  InputDelivery personMouse(platform::EventType type, Point location, platform::EventFlags flags = 0);
  void personClick(Point location, platform::EventFlags flags = 0);
  InputDelivery personKey(uint16_t keyCode, bool down, platform::EventFlags flags = 0);
  void personMove(Point location);

  // ---- events (facade side) ----
  platform::EventSourceRef createSource(platform::EventSourceStateID state);
  std::optional<platform::Event> createMouseEvent(const platform::EventSource* source, platform::EventType type,
                                                  Point location, platform::MouseButton button);
  std::optional<platform::Event> createKeyboardEvent(const platform::EventSource* source, uint16_t keyCode, bool down);
  std::optional<platform::Event> createNullEvent();
  void post(platform::EventTap tap, const platform::Event& event);
  void postToPid(int32_t pid, const platform::Event& event);
  int32_t warp(Point location);
  int32_t hideCursor(uint32_t displayID);
  int32_t showCursor(uint32_t displayID);
  const std::map<int64_t, SourceSettings>& sources() const { return sources_; }
  void noteSourceSettings(const SourceSettings& s) { sources_[s.id] = s; }

  // ---- session event taps ----
  // An active tap at the session level sees each event entering the session before it is routed:
  // the person's input that the HID system let through, and events posted at the HID or session
  // tap. Returning false takes the event off the stream. A person's event posted again (by the
  // tap's owner) is routed as the person's, and whoever made it hears where it went.
  using TapToken = uint64_t;
  TapToken addSessionEventTap(std::function<bool(const platform::Event&)> callback);
  void removeSessionEventTap(TapToken token);
  size_t sessionEventTapCount() const { return taps_.size(); }
  // The tap's owner gives up a person's event it took: whoever made it hears that it went nowhere.
  void discardTakenInput(const platform::Event& e);
  void setLateDeliveryObserver(std::function<void(uint64_t number, InputDelivery)> observer) {
    lateDelivery_ = std::move(observer);
  }
  // The window server's own number of a person's event (a mouse event's number field), which
  // survives its being posted again; none on what a process made.
  static constexpr int kInputNumberField = 0;
  static bool isPersonInput(const platform::Event& e) { return e.integerValueField(kInputNumberField) != 0; }

  // ---- monitors, hot keys ----
  platform::MonitorToken addGlobalMonitor(platform::EventMask mask, std::function<void(const platform::Event&)> handler);
  platform::MonitorToken addLocalMonitor(platform::EventMask mask,
                                         std::function<std::optional<platform::Event>(const platform::Event&)> handler);
  void removeMonitor(platform::MonitorToken token);
  size_t monitorCount() const { return monitors_.size(); }
  platform::HotKeyHandlerRef installHotKeyHandler(std::function<int32_t(std::optional<platform::HotKeyID>)> handler);
  void removeHotKeyHandler(platform::HotKeyHandlerRef ref);
  platform::HotKeyRegistration registerHotKey(uint32_t keyCode, uint32_t modifiers, platform::HotKeyID id);
  int32_t unregisterHotKey(platform::HotKeyRef ref);
  std::vector<HotKeyEntry> hotKeys() const;
  // Keystrokes that reached no hot key, monitor or menu: what the focused application got.
  const std::vector<platform::Event>& keysToFocusedApp() const { return focusedKeys_; }

  // ---- application ----
  bool isOwnActive() const { return ownActive_; }
  void setOwnActive(bool active);
  // Our application becomes inactive (a person clicked elsewhere): the key window resigns, then
  // the delegate hears of it. Nothing when not active.
  void resignOwnActive();
  void setApplicationDelegate(platform::ApplicationDelegate* delegate) { appDelegate_ = delegate; }
  platform::ApplicationDelegate* applicationDelegate() const { return appDelegate_; }
  const std::optional<platform::Event>& currentEvent() const { return currentEvent_; }
  platform::ActivationPolicy ownActivationPolicy() const { return ownPolicy_; }
  void setOwnActivationPolicy(platform::ActivationPolicy p) {
    ownPolicy_ = p;
    ++policyChanges_;
    changed();
  }
  // The person opens our running application again (the Finder or the Dock): the delegate is asked,
  // with whether any of our windows is visible.
  bool reopenOwnApplication();
  // The same request as a person's double-click on our icon makes it, after letting go: it arrives
  // as an event of its own, once the global monitors have had the click (and what they started has
  // had its turn), the way the Dock's request arrives after the click on a Mac.
  void personReopen();
  int activationPolicyChanges() const { return policyChanges_; }

  // ---- our own windows (WorldWindows.cpp) ----
  platform::WindowHandle createOwnWindow(platform::WindowConfiguration configuration, bool popover = false);
  void destroyOwnWindow(platform::WindowHandle handle);
  bool hasOwnWindow(platform::WindowHandle handle) const { return windows_.count(handle) != 0; }
  std::optional<OwnWindowView> ownWindow(platform::WindowHandle handle) const;
  std::vector<OwnWindowView> ownWindows() const;  // every one, front to back
  std::optional<OwnWindowView> ownWindowByNumber(uint32_t windowNumber) const;
  void setOwnWindowContent(platform::WindowHandle handle, platform::ViewContentRef content);
  void setOwnWindowDelegate(platform::WindowHandle handle, std::weak_ptr<platform::WindowDelegate> delegate);
  void setOwnWindowOrigin(platform::WindowHandle handle, Point origin);  // screen coordinates
  void setOwnWindowContentSize(platform::WindowHandle handle, Size size);
  void setOwnWindowContentLimits(platform::WindowHandle handle, std::optional<Size> min, std::optional<Size> max);
  Size ownWindowContentMinSize(platform::WindowHandle handle) const;
  Size ownWindowContentMaxSize(platform::WindowHandle handle) const;
  void centerOwnWindow(platform::WindowHandle handle);
  void orderOwnWindowFront(platform::WindowHandle handle);
  void orderOwnWindowOut(platform::WindowHandle handle);
  void closeOwnWindow(platform::WindowHandle handle);  // windowWillClose, then ordered out
  // The key window: making another key (or none) tells the old one's delegate at once.
  platform::WindowHandle keyWindow() const { return keyWindow_; }
  void setKeyWindow(platform::WindowHandle handle);
  // The topmost visible window of ours at a window-server point.
  std::optional<platform::WindowHandle> ownWindowAt(Point p) const;
  // Between screen (bottom-left) and window-server (top-left) rectangles on the main screen.
  Rect screenToServer(const Rect& r) const;
  Rect serverToScreen(const Rect& r) const;

  // ---- permissions ----
  bool screenCapturePreflight() const { return spec_.switches.screenCaptureGranted; }
  bool screenCaptureRequest();
  int screenCaptureRequests() const { return captureRequests_; }
  void relaunch();  // grants requested before take effect
  bool accessibilityTrusted(bool prompt);
  int accessibilityPrompts() const { return axPrompts_; }

  // ---- accessibility (any thread for reads) ----
  platform::AXElement systemWideElement() const { return {1}; }
  platform::AXElement applicationElement(int32_t pid) const;
  platform::AXCopyResult axCopy(platform::AXElement e, const std::string& attribute);
  platform::AXSettableResult axSettable(platform::AXElement e, const std::string& attribute);
  platform::AXError axSet(platform::AXElement e, const std::string& attribute, const platform::AXValue& v);
  platform::AXError axPerform(platform::AXElement e, const std::string& action);
  platform::AXElementResult axHitTest(platform::AXElement scope, float x, float y);
  platform::AXPidResult axPid(platform::AXElement e);
  platform::AXError axSetTimeout(platform::AXElement e, float seconds);
  platform::AXElement menuExtraElement(const std::string& specKey) const;
  int pressCount(const std::string& specKey) const;
  // Reads from a thread other than this one count as off the main loop.
  void setMainThread(std::thread::id id) { mainThread_ = id; publishAX(); }

  // ---- our own status items (used by the status-bar facade) ----
  ItemKey createOwnItem(double length);
  void removeOwnItem(ItemKey key);
  struct OwnItem;
  OwnItem* ownItem(ItemKey key);
  void setOwnLength(ItemKey key, double length);
  void setOwnAutosaveName(ItemKey key, std::string name);
  void setOwnVisible(ItemKey key, bool visible);
  void ownPerformClick(ItemKey key);
  // A button's image, title or tool tip changed: whoever draws the bar redraws.
  void ownItemAppearanceChanged() { changed(); }
  double ownItemWidth(const OwnItem& own) const;
  bool installViewFillsWindow(const std::string& autosaveName);
  const std::set<std::string>& viewFillsWindowNames() const { return viewFills_; }

  // ---- pictures ----
  // RGBA8 pixels (not premultiplied) of a window's content at the given scale; none for no window.
  struct Pixels {
    int width = 0, height = 0;
    double pointWidth = 0, pointHeight = 0;
    std::vector<uint8_t> rgba;
  };
  std::optional<Pixels> windowPixels(uint32_t windowNumber, double scale, bool forScreenshot);
  // Scaled to fit into w x h pixels (centred), as the screenshot call does.
  std::optional<Pixels> screenshotPixels(uint32_t windowNumber, int w, int h);

  struct OwnItem {
    std::string autosaveName;
    double length = 0;
    bool visible = true;
    bool hasButton = true;
    std::string title, toolTip;
    platform::ImageRef image;
    platform::EventMask actionMask = platform::eventMaskBit(platform::EventType::LeftMouseUp);
    std::function<void()> action;
    std::optional<std::vector<platform::MenuEntry>> menu;
    bool acceptsMouseMoved = false;
    struct Area {
      platform::TrackingAreaID id = 0;
      Rect rect;
      uint32_t options = 0;
      std::function<void(platform::TrackingEventKind, const platform::Event&)> handler;
      bool inside = false;
    };
    std::vector<Area> areas;
  };

 private:
  struct Item {
    ItemKey key = 0;
    ItemSpec spec;
    uint32_t windowNumber = 0;
    std::unique_ptr<OwnItem> own;
    int menuOpens = 0;
    int presses = 0;
  };
  struct Menu {
    MenuView view;
    uint64_t closeTimer = 0;
    bool neverCloses = false;
    std::vector<std::function<void()>> actions;
  };
  struct Monitor {
    platform::MonitorToken token = 0;
    bool global = false;
    platform::EventMask mask = 0;
    std::function<void(const platform::Event&)> globalHandler;
    std::function<std::optional<platform::Event>(const platform::Event&)> localHandler;
  };
  struct Drag {
    ItemKey key = 0;
    std::map<ItemKey, Rect> framesAtDown;
    bool targeted = false;
  };
  struct AXSnapshot;

  Item* find(ItemKey key);
  const Item* find(ItemKey key) const;
  Item* findSpec(const std::string& specKey);
  const Item* findSpec(const std::string& specKey) const;
  ItemView view(const Item& item) const;
  BarEntry entryFor(const Item& item) const;
  const AppSpec* app(int32_t pid) const;
  std::optional<ItemKey> controlKey() const;

  friend class Publication;
  void publishEdits();
  void mutate(Duration latency, std::function<void(BarState&)> op);
  void relayout();
  void publishAX();
  std::shared_ptr<const AXSnapshot> axSnapshot() const;
  bool ownLoopBlocked(const AXSnapshot& snapshot) const;

  // Events.
  InputDelivery routeMouse(const platform::Event& e, PostRoute route);
  InputDelivery routePersonMouse(const platform::Event& e);
  platform::Event personEvent(platform::EventType type, Point location, platform::EventFlags flags);
  // The HID system's local-event suppression, then the session taps: none when the person's input
  // goes no further now.
  std::optional<InputDelivery> stopsBeforeRouting(const platform::Event& e);
  void noteSuppression(const platform::Event& posted);
  bool passesSessionTaps(const platform::Event& e);
  InputDelivery routeKey(const platform::Event& e);
  void beginDrag(ItemKey key, bool targeted);
  void drop(ItemKey key, Point p, const std::map<ItemKey, Rect>& frames);
  void applyDrop(ItemKey key, std::optional<ItemKey> before);
  void dispatchToOwn(ItemKey key, const platform::Event& e);
  bool runLocalMonitors(const platform::Event& e);
  void runGlobalMonitors(const platform::Event& e);
  // Runs fn on a turn after the global monitor deliveries pending now (once none is pending) and
  // after what their handlers posted.
  void afterMonitorDeliveries(std::function<void()> fn);
  void monitorDeliveryDone();
  void closeMenusOnOutsideClick(Point p);
  void updateTracking(const platform::Event& e);
  void movePointer(Point p);
  std::optional<ItemKey> statusItemAt(Point p) const;
  std::optional<uint32_t> menuAt(Point p) const;
  void openMenu(ItemKey key);
  void openOwnMenu(ItemKey key);
  void closeMenu(uint32_t windowNumber);
  void writePreferredPosition(ItemKey key);
  void placeByPreferredPosition(ItemKey key);
  std::optional<double> readPreferredPosition(const std::string& name) const;
  void storePreferredPosition(const std::string& name, double value);
  std::optional<bool> readVisibility(const std::string& name) const;
  void writeVisibility(ItemKey key);

  void changed() {
    if (observer_) observer_();
  }
  // Frames where a click reaches our process: the overlays set and our visible windows.
  std::vector<Rect> ownInputAreas() const;
  struct OwnWindow {
    platform::WindowHandle handle = 0;
    uint32_t windowNumber = 0;
    platform::WindowConfiguration configuration;
    Point origin;  // screen coordinates
    Size contentSize;
    Size minContent, maxContent;
    bool visible = false;
    bool popover = false;
    uint64_t order = 0;  // larger is further front within a level
    platform::ViewContentRef content;
    std::weak_ptr<platform::WindowDelegate> delegate;
  };
  Rect frameOf(const OwnWindow& w) const;
  OwnWindowView viewOf(const OwnWindow& w) const;
  void listOwnWindows(std::vector<platform::WindowInfo>& list) const;
  InputDelivery mouseDownInOwnWindow(platform::WindowHandle handle, const platform::Event& e);
  // A timer that does nothing once this world is gone (timers may outlive it in the executor).
  uint64_t after(Duration delay, std::function<void()> fn);

  WorldSpec spec_;
  Clockwork clock_;
  TimePoint start_{};
  std::chrono::system_clock::time_point wallStart_;
  std::function<void()> observer_;
  std::vector<Rect> overlays_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::shared_ptr<platform::UserDefaults> defaults_;
  std::map<ItemKey, Item> items_;
  ItemKey nextKey_ = 1;
  uint32_t nextWindow_ = 100;
  BarState logical_, displayed_;
  // Rebuilt by relayout(), which follows every change of displayed_ and of a window number: the
  // frame of each displayed item (and of no other), and each displayed item by its window.
  std::map<ItemKey, Rect> frames_;
  std::unordered_map<uint32_t, ItemKey> displayedByWindow_;
  std::vector<Menu> menus_;  // front first
  std::map<uint32_t, std::map<std::string, std::optional<platform::WindowValue>>> overrides_;
  std::map<uint32_t, uint32_t> screenWindows_;  // display id -> menu bar window number
  uint32_t desktopWindow_ = 0;

  Point pointer_;
  platform::EventFlags heldModifiers_ = 0;
  bool buttonDown_ = false;
  std::optional<ItemKey> pressedOwn_;
  std::optional<platform::WindowHandle> pressedWindow_;
  bool notchPress_ = false;
  bool personInput_ = false;
  std::optional<Drag> drag_;
  std::map<uint32_t, int> hideCounts_;
  uint64_t personInputs_ = 0;
  std::map<TapToken, std::function<bool(const platform::Event&)>> taps_;
  TapToken nextTap_ = 1;
  std::function<void(uint64_t, InputDelivery)> lateDelivery_;
  // The person's input that the last suppressing source's filter does not permit is dropped until then.
  std::optional<TimePoint> suppressedUntil_;
  uint32_t suppressionFilter_ = 0;
  std::vector<Point> warps_;
  std::vector<PostedEvent> posted_;
  std::map<int64_t, SourceSettings> sources_;
  int64_t nextSource_ = 1;
  std::vector<platform::Event> focusedKeys_;

  std::vector<Monitor> monitors_;
  int pendingDeliveries_ = 0;  // global monitor deliveries posted and not yet run
  std::vector<std::function<void()>> afterDeliveries_;
  platform::MonitorToken nextMonitor_ = 1;
  std::map<platform::HotKeyHandlerRef, std::function<int32_t(std::optional<platform::HotKeyID>)>> hotKeyHandlers_;
  std::map<platform::HotKeyRef, HotKeyEntry> hotKeys_;
  std::set<uint16_t> heldHotKeys_;  // key codes whose key-down fired a hot key
  uint64_t nextHotKey_ = 1;
  platform::TrackingAreaID nextArea_ = 1;

  std::map<platform::WindowHandle, OwnWindow> windows_;
  platform::WindowHandle nextWindowHandle_ = 1;
  platform::WindowHandle keyWindow_ = 0;
  uint64_t windowOrder_ = 0;
  platform::ApplicationDelegate* appDelegate_ = nullptr;

  bool ownActive_ = false;
  platform::ActivationPolicy ownPolicy_ = platform::ActivationPolicy::Regular;
  int policyChanges_ = 0;
  std::optional<platform::Event> currentEvent_;

  int captureRequests_ = 0;
  bool captureGrantPending_ = false;
  int axPrompts_ = 0;
  std::set<std::string> viewFills_;

  std::thread::id mainThread_;
  mutable std::mutex axMutex_;
  std::shared_ptr<const AXSnapshot> ax_;
  std::map<uint64_t, float> axTimeouts_;  // guarded by axMutex_
};

// A status item's picture as its window shows it: w x h points into W x H pixels, the way every
// picture path of the world draws it (so whoever draws the bar shows what a capture shows).
World::Pixels renderItemPicture(const Picture& picture, double pointWidth, double pointHeight, int pixelWidth,
                                int pixelHeight);

}  // namespace vimbo::sim
