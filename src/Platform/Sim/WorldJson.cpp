#include "Platform/Sim/WorldJson.h"

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace vimbo::sim {

using json = nlohmann::json;
using namespace platform;

namespace {

struct Failure {
  std::string place, what;
};

class Reader {
 public:
  Reader(const json& j, std::string place) : j_(j), place_(std::move(place)) {}

  [[noreturn]] void fail(const std::string& what) const { throw Failure{place_, what}; }
  Reader at(const std::string& key) const { return Reader(j_.at(key), place_.empty() ? key : place_ + "." + key); }
  Reader at(size_t i) const { return Reader(j_.at(i), place_ + "[" + std::to_string(i) + "]"); }
  bool has(const std::string& key) const { return j_.is_object() && j_.contains(key); }
  const json& raw() const { return j_; }

  void object(std::initializer_list<const char*> allowed) const {
    if (!j_.is_object()) fail("expected an object");
    std::set<std::string> keys(allowed.begin(), allowed.end());
    for (auto it = j_.begin(); it != j_.end(); ++it)
      if (!keys.count(it.key())) Reader(*it, place_ + "." + it.key()).fail("unknown key \"" + it.key() + "\"");
  }
  size_t array() const {
    if (!j_.is_array()) fail("expected an array");
    return j_.size();
  }
  double number() const {
    if (!j_.is_number()) fail("expected a number");
    return j_.get<double>();
  }
  int64_t integer() const {
    if (!j_.is_number_integer()) fail("expected an integer");
    return j_.get<int64_t>();
  }
  bool boolean() const {
    if (!j_.is_boolean()) fail("expected true or false");
    return j_.get<bool>();
  }
  std::string string() const {
    if (!j_.is_string()) fail("expected a string");
    return j_.get<std::string>();
  }
  Rect rect() const {
    if (!j_.is_array() || j_.size() != 4) fail("expected [x, y, width, height]");
    return Rect(at(0).number(), at(1).number(), at(2).number(), at(3).number());
  }
  Point point() const {
    if (!j_.is_array() || j_.size() != 2) fail("expected [x, y]");
    return {at(0).number(), at(1).number()};
  }
  uint32_t color() const {
    std::string s = string();
    if (s.size() != 7 || s[0] != '#' || s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
      fail("expected a colour \"#RRGGBB\"");
    return static_cast<uint32_t>(std::stoul(s.substr(1), nullptr, 16));
  }
  // A time in milliseconds: finite, not negative, at most one day.
  Duration millis() const {
    double ms = number();
    if (!std::isfinite(ms) || ms < 0 || ms > kMaxMillis) fail("must be between 0 and 86400000 milliseconds");
    return sim::millis(ms);
  }
  static constexpr double kMaxMillis = 86'400'000;
  void positive(double v) const {
    if (!(v > 0)) fail("must be positive");
  }

 private:
  const json& j_;
  std::string place_;
};

template <class T>
void opt(const Reader& r, const char* key, T& out, T (Reader::*read)() const) {
  if (r.has(key)) out = (r.at(key).*read)();
}

std::optional<AXValue> axText(const Reader& r) {
  const json& j = r.raw();
  if (j.is_null()) return std::nullopt;
  if (j.is_string()) return AXValue{j.get<std::string>()};
  if (j.is_number()) return AXValue{AXValue::Variant{j.get<double>()}};
  if (j.is_boolean()) return AXValue{AXValue::Variant{j.get<bool>()}};
  if (j.is_object()) {
    r.object({"other"});
    return AXValue{AXValue::Variant{AXOther{r.at("other").string()}}};
  }
  r.fail("expected a string, a number, true/false or {\"other\": type}");
}

ActivationPolicy policy(const Reader& r) {
  std::string s = r.string();
  if (s == "regular") return ActivationPolicy::Regular;
  if (s == "accessory") return ActivationPolicy::Accessory;
  if (s == "prohibited") return ActivationPolicy::Prohibited;
  r.fail("unknown activation policy \"" + s + "\" (regular, accessory, prohibited)");
}

const std::map<std::string, LoginItemStatus>& loginItemStatuses() {
  static const std::map<std::string, LoginItemStatus> names{{"enabled", LoginItemStatus::enabled},
                                                            {"notRegistered", LoginItemStatus::notRegistered},
                                                            {"requiresApproval", LoginItemStatus::requiresApproval},
                                                            {"notFound", LoginItemStatus::notFound}};
  return names;
}

LoginItemStatus loginItemStatus(const Reader& r) {
  std::string s = r.string();
  auto it = loginItemStatuses().find(s);
  if (it == loginItemStatuses().end())
    r.fail("unknown login item status \"" + s + "\" (enabled, notRegistered, requiresApproval, notFound)");
  return it->second;
}

EventType eventType(const Reader& r) {
  static const std::map<std::string, EventType> names{
      {"null", EventType::Null},          {"leftMouseDown", EventType::LeftMouseDown},
      {"leftMouseUp", EventType::LeftMouseUp}, {"rightMouseDown", EventType::RightMouseDown},
      {"rightMouseUp", EventType::RightMouseUp}, {"mouseMoved", EventType::MouseMoved},
      {"leftMouseDragged", EventType::LeftMouseDragged}, {"keyDown", EventType::KeyDown},
      {"keyUp", EventType::KeyUp}};
  std::string s = r.string();
  auto it = names.find(s);
  if (it == names.end()) r.fail("unknown event type \"" + s + "\"");
  return it->second;
}

ScreenSpec readScreen(const Reader& r) {
  r.object({"name", "displayID", "screenNumber", "displayBounds", "frame", "menuBarHeight", "notchWidth", "scale"});
  ScreenSpec s;
  opt(r, "name", s.name, &Reader::string);
  s.displayID = static_cast<uint32_t>(r.at("displayID").integer());
  opt(r, "screenNumber", s.hasScreenNumber, &Reader::boolean);
  s.displayBounds = r.at("displayBounds").rect();
  s.frame = r.has("frame") ? r.at("frame").rect() : s.displayBounds;
  opt(r, "menuBarHeight", s.menuBarHeight, &Reader::number);
  opt(r, "notchWidth", s.notchWidth, &Reader::number);
  opt(r, "scale", s.scale, &Reader::number);
  if (!(s.displayBounds.width > 0 && s.displayBounds.height > 0)) r.at("displayBounds").fail("must have a positive size");
  if (r.has("frame") && !(s.frame.width > 0 && s.frame.height > 0)) r.at("frame").fail("must have a positive size");
  if (r.has("menuBarHeight")) r.at("menuBarHeight").positive(s.menuBarHeight);
  return s;
}

AppSpec readApp(const Reader& r) {
  r.object({"pid", "name", "bundleIdentifier", "executable", "bundle", "info", "policy", "iconColor", "unresponsive",
            "hostsControlCenter"});
  AppSpec a;
  a.pid = static_cast<int32_t>(r.at("pid").integer());
  if (r.has("name")) a.name = r.at("name").string();
  if (r.has("bundleIdentifier")) a.bundleIdentifier = r.at("bundleIdentifier").string();
  if (r.has("executable")) a.executablePath = r.at("executable").string();
  if (r.has("bundle")) a.bundlePath = r.at("bundle").string();
  if (r.has("info")) {
    Reader info = r.at("info");
    if (!info.raw().is_object()) info.fail("expected an object");
    for (auto it = info.raw().begin(); it != info.raw().end(); ++it) {
      Reader v = info.at(it.key());
      if (it->is_boolean()) a.bundleInfo[it.key()] = it->get<bool>();
      else if (it->is_number_integer()) a.bundleInfo[it.key()] = it->get<int64_t>();
      else if (it->is_number()) a.bundleInfo[it.key()] = it->get<double>();
      else if (it->is_string()) a.bundleInfo[it.key()] = it->get<std::string>();
      else v.fail("expected a string, number or true/false");
    }
  }
  if (r.has("policy")) a.activationPolicy = policy(r.at("policy"));
  if (r.has("iconColor")) a.iconColor = r.at("iconColor").color();
  opt(r, "unresponsive", a.unresponsive, &Reader::boolean);
  opt(r, "hostsControlCenter", a.hostsControlCenter, &Reader::boolean);
  return a;
}

ItemSpec readItem(const Reader& r, const std::set<int32_t>& pids) {
  r.object({"key", "window", "owner", "axOwner", "width", "ax", "axOffset", "hitChild", "picture", "menu", "faults",
            "visible"});
  ItemSpec s;
  s.key = r.at("key").string();
  if (r.has("window") && !r.at("window").raw().is_null()) s.windowName = r.at("window").string();
  s.ownerPID = static_cast<int32_t>(r.at("owner").integer());
  if (!pids.count(s.ownerPID)) r.at("owner").fail("no application with pid " + std::to_string(s.ownerPID));
  if (r.has("axOwner")) {
    s.axPID = static_cast<int32_t>(r.at("axOwner").integer());
    if (!pids.count(*s.axPID)) r.at("axOwner").fail("no application with pid " + std::to_string(*s.axPID));
  }
  opt(r, "width", s.width, &Reader::number);
  if (r.has("width")) r.at("width").positive(s.width);
  if (r.has("ax")) {
    Reader ax = r.at("ax");
    ax.object({"identifier", "title", "description", "help"});
    if (ax.has("identifier")) s.axIdentifier = axText(ax.at("identifier"));
    if (ax.has("title")) s.axTitle = axText(ax.at("title"));
    if (ax.has("description")) s.axDescription = axText(ax.at("description"));
    if (ax.has("help")) s.axHelp = axText(ax.at("help"));
  }
  if (r.has("axOffset")) s.axOffset = r.at("axOffset").rect();
  opt(r, "hitChild", s.hitChild, &Reader::boolean);
  if (r.has("picture")) {
    Reader p = r.at("picture");
    p.object({"color", "glyph", "symbol"});
    if (p.has("color")) s.picture.color = p.at("color").color();
    opt(p, "symbol", s.picture.symbol, &Reader::string);
    if (p.has("glyph")) {
      s.picture.glyph = p.at("glyph").string();
      static const std::set<std::string> glyphs{"dot", "ring", "square", "bar", "triangle", "blank"};
      if (!glyphs.count(s.picture.glyph)) p.at("glyph").fail("unknown glyph \"" + s.picture.glyph + "\"");
    }
  }
  if (r.has("menu")) {
    Reader m = r.at("menu");
    m.object({"exists", "level", "size", "neverCloses", "closesAfterMs", "appearDelayMs", "owner"});
    opt(m, "exists", s.menu.exists, &Reader::boolean);
    if (m.has("level")) s.menu.level = static_cast<int>(m.at("level").integer());
    if (m.has("size")) {
      Point p = m.at("size").point();
      if (!(p.x > 0 && p.y > 0)) m.at("size").fail("must have a positive size");
      s.menu.size = {p.x, p.y};
    }
    opt(m, "neverCloses", s.menu.neverCloses, &Reader::boolean);
    if (m.has("closesAfterMs")) s.menu.closesAfter = m.at("closesAfterMs").millis();
    if (m.has("appearDelayMs")) s.menu.appearDelay = m.at("appearDelayMs").millis();
    if (m.has("owner")) s.menu.ownerPID = static_cast<int32_t>(m.at("owner").integer());
  }
  if (r.has("faults")) {
    Reader f = r.at("faults");
    f.object({"ignoresDrags", "landsSlotsOff", "landsRightOfControl", "bouncesBackAfterMs", "vanishesOnDrag",
              "pressRefused", "captureFails", "captureBlank", "screenshotFails", "screenshotBlank", "positionSettable",
              "positionWriteIgnored", "acceptsTargetedMove"});
    ItemFaults& x = s.faults;
    opt(f, "ignoresDrags", x.ignoresDrags, &Reader::boolean);
    if (f.has("landsSlotsOff")) x.landsSlotsOff = static_cast<int>(f.at("landsSlotsOff").integer());
    opt(f, "landsRightOfControl", x.landsRightOfControl, &Reader::boolean);
    if (f.has("bouncesBackAfterMs")) x.bouncesBackAfter = f.at("bouncesBackAfterMs").millis();
    opt(f, "vanishesOnDrag", x.vanishesOnDrag, &Reader::boolean);
    opt(f, "pressRefused", x.pressRefused, &Reader::boolean);
    opt(f, "captureFails", x.captureFails, &Reader::boolean);
    opt(f, "captureBlank", x.captureBlank, &Reader::boolean);
    opt(f, "screenshotFails", x.screenshotFails, &Reader::boolean);
    opt(f, "screenshotBlank", x.screenshotBlank, &Reader::boolean);
    opt(f, "positionSettable", x.positionSettable, &Reader::boolean);
    opt(f, "positionWriteIgnored", x.positionWriteIgnored, &Reader::boolean);
    if (f.has("acceptsTargetedMove")) x.acceptsTargetedMove = f.at("acceptsTargetedMove").boolean();
  }
  opt(r, "visible", s.visible, &Reader::boolean);
  return s;
}

Switches readSwitches(const Reader& r) {
  r.object({"accessibilityTrusted", "screenCaptureGranted", "screenCaptureRequestGrants", "loginItemStatus",
            "loginItemRequiresApproval", "windowListUnavailable",
            "onScreenCountFailures", "onScreenCountZeros", "onScreenCountFailsAfterMs", "onScreenCountZeroAfterMs",
            "dividerWindowMissing", "controlWindowMissing",
            "controlWindowDuplicates", "duplicateControlOwnerPID", "eventSourceFails", "eventTapUnavailable",
            "failingEventTypes", "hotKeyRegistrationFails", "unreadableHotKeyEvents", "redactNamesWithoutCapture", "screenRectBridgeAvailable",
            "shareableContentFails", "viewFillsWindowAvailable", "statusItemsHaveButtons", "dragSettleLatencyMs",
            "dividerRelayoutLatencyMs", "itemSpacing"});
  Switches s;
  opt(r, "accessibilityTrusted", s.accessibilityTrusted, &Reader::boolean);
  opt(r, "screenCaptureGranted", s.screenCaptureGranted, &Reader::boolean);
  opt(r, "screenCaptureRequestGrants", s.screenCaptureRequestGrants, &Reader::boolean);
  if (r.has("loginItemStatus")) s.loginItemStatus = loginItemStatus(r.at("loginItemStatus"));
  opt(r, "loginItemRequiresApproval", s.loginItemRequiresApproval, &Reader::boolean);
  opt(r, "windowListUnavailable", s.windowListUnavailable, &Reader::boolean);
  if (r.has("onScreenCountFailures")) s.onScreenCountFailures = static_cast<int>(r.at("onScreenCountFailures").integer());
  if (r.has("onScreenCountZeros")) s.onScreenCountZeros = static_cast<int>(r.at("onScreenCountZeros").integer());
  if (r.has("onScreenCountFailsAfterMs")) s.onScreenCountFailsAfter = r.at("onScreenCountFailsAfterMs").millis();
  if (r.has("onScreenCountZeroAfterMs")) s.onScreenCountZeroAfter = r.at("onScreenCountZeroAfterMs").millis();
  opt(r, "dividerWindowMissing", s.dividerWindowMissing, &Reader::boolean);
  opt(r, "controlWindowMissing", s.controlWindowMissing, &Reader::boolean);
  if (r.has("controlWindowDuplicates"))
    s.controlWindowDuplicates = static_cast<int>(r.at("controlWindowDuplicates").integer());
  if (r.has("duplicateControlOwnerPID"))
    s.duplicateControlOwnerPID = static_cast<int32_t>(r.at("duplicateControlOwnerPID").integer());
  opt(r, "eventSourceFails", s.eventSourceFails, &Reader::boolean);
  opt(r, "eventTapUnavailable", s.eventTapUnavailable, &Reader::boolean);
  if (r.has("failingEventTypes")) {
    Reader list = r.at("failingEventTypes");
    for (size_t i = 0, n = list.array(); i < n; ++i) s.failingEventTypes.insert(eventType(list.at(i)));
  }
  opt(r, "hotKeyRegistrationFails", s.hotKeyRegistrationFails, &Reader::boolean);
  if (r.has("unreadableHotKeyEvents"))
    s.unreadableHotKeyEvents = static_cast<int>(r.at("unreadableHotKeyEvents").integer());
  opt(r, "redactNamesWithoutCapture", s.redactNamesWithoutCapture, &Reader::boolean);
  opt(r, "screenRectBridgeAvailable", s.screenRectBridgeAvailable, &Reader::boolean);
  opt(r, "shareableContentFails", s.shareableContentFails, &Reader::boolean);
  opt(r, "viewFillsWindowAvailable", s.viewFillsWindowAvailable, &Reader::boolean);
  opt(r, "statusItemsHaveButtons", s.statusItemsHaveButtons, &Reader::boolean);
  if (r.has("dragSettleLatencyMs")) s.dragSettleLatency = r.at("dragSettleLatencyMs").millis();
  if (r.has("dividerRelayoutLatencyMs")) s.dividerRelayoutLatency = r.at("dividerRelayoutLatencyMs").millis();
  opt(r, "itemSpacing", s.itemSpacing, &Reader::number);
  return s;
}

WorldSpec readWorld(const Reader& r) {
  r.object({"name", "own", "pointer", "screens", "apps", "items", "switches", "frontApp"});
  WorldSpec w;
  if (r.has("frontApp")) {
    Reader f = r.at("frontApp");
    f.object({"name", "menus"});
    FrontAppSpec front;
    front.name = f.at("name").string();
    if (f.has("menus")) {
      Reader menus = f.at("menus");
      for (size_t i = 0, n = menus.array(); i < n; ++i) front.menus.push_back(menus.at(i).string());
    }
    w.frontApp = std::move(front);
  }
  if (r.has("own")) {
    Reader o = r.at("own");
    o.object({"pid", "name", "bundleIdentifier"});
    if (o.has("pid")) w.ownPID = static_cast<int32_t>(o.at("pid").integer());
    opt(o, "name", w.ownName, &Reader::string);
    opt(o, "bundleIdentifier", w.ownBundleIdentifier, &Reader::string);
  }
  if (r.has("pointer")) w.pointer = r.at("pointer").point();
  Reader screens = r.at("screens");
  if (screens.array() == 0) screens.fail("must name at least one screen");
  std::set<uint32_t> displays;
  for (size_t i = 0, n = screens.array(); i < n; ++i) {
    w.screens.push_back(readScreen(screens.at(i)));
    if (!displays.insert(w.screens.back().displayID).second) screens.at(i).at("displayID").fail("duplicate display id");
  }
  std::set<int32_t> pids{w.ownPID};
  if (r.has("apps")) {
    Reader apps = r.at("apps");
    for (size_t i = 0, n = apps.array(); i < n; ++i) {
      w.apps.push_back(readApp(apps.at(i)));
      if (!pids.insert(w.apps.back().pid).second) apps.at(i).at("pid").fail("duplicate pid");
    }
  }
  if (r.has("items")) {
    Reader items = r.at("items");
    std::set<std::string> keys;
    for (size_t i = 0, n = items.array(); i < n; ++i) {
      w.items.push_back(readItem(items.at(i), pids));
      if (!keys.insert(w.items.back().key).second) items.at(i).at("key").fail("duplicate item key");
    }
  }
  if (r.has("switches")) w.switches = readSwitches(r.at("switches"));
  return w;
}

std::string hexColor(uint32_t c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFF);
  return buf;
}

json rectJson(const Rect& r) { return json::array({r.x, r.y, r.width, r.height}); }

json axJson(const AXValue& v) {
  if (auto s = v.string()) return *s;
  if (auto d = std::get_if<double>(&v.value)) return *d;
  if (auto b = std::get_if<bool>(&v.value)) return *b;
  if (auto o = std::get_if<AXOther>(&v.value)) return json{{"other", o->typeName}};
  return json{{"other", "unknown"}};
}

double ms(Duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The parser's failures with where they happened: a number beyond a double's range comes as a
// failure too (the DOM parser would throw it, with no place).
struct ParseFailure {
  bool failed = false;
  bool overflow = false;
  size_t position = 0;  // characters read when it failed
  std::string detail;
};

class Parser : public nlohmann::detail::json_sax_dom_parser<json> {
 public:
  Parser(json& j, ParseFailure& failure) : json_sax_dom_parser(j, false), failure_(failure) {}
  template <class Exception>
  bool parse_error(std::size_t position, const std::string&, const Exception& e) {
    failure_.failed = true;
    failure_.overflow = e.id == 406;
    failure_.position = position;
    failure_.detail = e.what();
    return false;
  }

 private:
  ParseFailure& failure_;
};

// 1-based line and column of the character before `position` characters were read.
std::pair<size_t, size_t> lineAndColumn(const std::string& text, size_t position) {
  size_t offset = std::min(position > 0 ? position - 1 : 0, text.size());
  size_t line = 1, lineStart = 0;
  for (size_t i = 0; i < offset; ++i)
    if (text[i] == '\n') ++line, lineStart = i + 1;
  return {line, offset - lineStart + 1};
}

}  // namespace

WorldLoad parseWorld(const std::string& text, const std::string& fileName) {
  json j;
  ParseFailure failure;
  Parser parser(j, failure);
  json::sax_parse(text, &parser);
  if (failure.failed) {
    auto [line, column] = lineAndColumn(text, failure.position);
    std::string where = "第 " + std::to_string(line) + " 行第 " + std::to_string(column) + " 列";
    std::string sentence = failure.overflow ? where + "的数超出了范围。" : where + "不是有效的 JSON。";
    return WorldError{fileName + ": " + sentence, failure.detail};
  }
  try {
    return readWorld(Reader(j, ""));
  } catch (const Failure& f) {
    return WorldError{fileName + ": " + (f.place.empty() ? "top level" : f.place) + ": " + f.what, ""};
  } catch (const json::exception& e) {
    return WorldError{fileName + ": " + e.what(), ""};
  }
}

WorldLoad loadWorld(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return WorldError{file.string() + ": cannot be read", ""};
  std::stringstream ss;
  ss << in.rdbuf();
  return parseWorld(ss.str(), file.string());
}

std::string worldToJson(const WorldSpec& w) {
  json j;
  j["own"] = {{"pid", w.ownPID}, {"name", w.ownName}, {"bundleIdentifier", w.ownBundleIdentifier}};
  j["pointer"] = json::array({w.pointer.x, w.pointer.y});
  if (w.frontApp) j["frontApp"] = {{"name", w.frontApp->name}, {"menus", w.frontApp->menus}};
  j["screens"] = json::array();
  for (const ScreenSpec& s : w.screens) {
    json x{{"name", s.name}, {"displayID", s.displayID}, {"displayBounds", rectJson(s.displayBounds)},
           {"frame", rectJson(s.frame)}, {"menuBarHeight", s.menuBarHeight}, {"scale", s.scale}};
    if (!s.hasScreenNumber) x["screenNumber"] = false;
    if (s.notchWidth > 0) x["notchWidth"] = s.notchWidth;
    j["screens"].push_back(x);
  }
  j["apps"] = json::array();
  for (const AppSpec& a : w.apps) {
    json x{{"pid", a.pid}, {"iconColor", hexColor(a.iconColor)}};
    if (a.name) x["name"] = *a.name;
    if (a.bundleIdentifier) x["bundleIdentifier"] = *a.bundleIdentifier;
    if (a.executablePath) x["executable"] = *a.executablePath;
    if (a.bundlePath) x["bundle"] = *a.bundlePath;
    if (!a.bundleInfo.empty()) {
      json info = json::object();
      for (const auto& [k, v] : a.bundleInfo) std::visit([&info, &key = k](const auto& val) { info[key] = val; }, v);
      x["info"] = info;
    }
    x["policy"] = a.activationPolicy == ActivationPolicy::Regular     ? "regular"
                  : a.activationPolicy == ActivationPolicy::Accessory ? "accessory"
                                                                      : "prohibited";
    if (a.unresponsive) x["unresponsive"] = true;
    if (a.hostsControlCenter) x["hostsControlCenter"] = true;
    j["apps"].push_back(x);
  }
  j["items"] = json::array();
  for (const ItemSpec& s : w.items) {
    json x{{"key", s.key}, {"owner", s.ownerPID}, {"width", s.width}};
    if (s.windowName) x["window"] = *s.windowName;
    if (s.axPID) x["axOwner"] = *s.axPID;
    json ax = json::object();
    if (s.axIdentifier) ax["identifier"] = axJson(*s.axIdentifier);
    if (s.axTitle) ax["title"] = axJson(*s.axTitle);
    if (s.axDescription) ax["description"] = axJson(*s.axDescription);
    if (s.axHelp) ax["help"] = axJson(*s.axHelp);
    if (!ax.empty()) x["ax"] = ax;
    if (!(s.axOffset == Rect())) x["axOffset"] = rectJson(s.axOffset);
    if (s.hitChild) x["hitChild"] = true;
    x["picture"] = {{"color", hexColor(s.picture.color)}, {"glyph", s.picture.glyph}};
    if (!s.picture.symbol.empty()) x["picture"]["symbol"] = s.picture.symbol;
    json menu = json::object();
    if (!s.menu.exists) menu["exists"] = false;
    if (s.menu.level != windowlevel::popUpMenu) menu["level"] = s.menu.level;
    if (!(s.menu.size == MenuSpec().size)) menu["size"] = json::array({s.menu.size.width, s.menu.size.height});
    if (s.menu.neverCloses) menu["neverCloses"] = true;
    if (s.menu.closesAfter) menu["closesAfterMs"] = ms(*s.menu.closesAfter);
    if (s.menu.appearDelay > Duration{0}) menu["appearDelayMs"] = ms(s.menu.appearDelay);
    if (s.menu.ownerPID) menu["owner"] = *s.menu.ownerPID;
    if (!menu.empty()) x["menu"] = menu;
    json f = json::object();
    const ItemFaults& q = s.faults;
    if (q.ignoresDrags) f["ignoresDrags"] = true;
    if (q.landsSlotsOff) f["landsSlotsOff"] = q.landsSlotsOff;
    if (q.landsRightOfControl) f["landsRightOfControl"] = true;
    if (q.bouncesBackAfter) f["bouncesBackAfterMs"] = ms(*q.bouncesBackAfter);
    if (q.vanishesOnDrag) f["vanishesOnDrag"] = true;
    if (q.pressRefused) f["pressRefused"] = true;
    if (q.captureFails) f["captureFails"] = true;
    if (q.captureBlank) f["captureBlank"] = true;
    if (q.screenshotFails) f["screenshotFails"] = true;
    if (q.screenshotBlank) f["screenshotBlank"] = true;
    if (q.positionSettable) f["positionSettable"] = true;
    if (q.positionWriteIgnored) f["positionWriteIgnored"] = true;
    if (q.acceptsTargetedMove) f["acceptsTargetedMove"] = *q.acceptsTargetedMove;
    if (!f.empty()) x["faults"] = f;
    if (!s.visible) x["visible"] = false;
    j["items"].push_back(x);
  }
  const Switches& q = w.switches;
  const Switches d;
  json sw = json::object();
  auto flag = [&](const char* key, bool value, bool fallback) {
    if (value != fallback) sw[key] = value;
  };
  flag("accessibilityTrusted", q.accessibilityTrusted, d.accessibilityTrusted);
  flag("screenCaptureGranted", q.screenCaptureGranted, d.screenCaptureGranted);
  flag("screenCaptureRequestGrants", q.screenCaptureRequestGrants, d.screenCaptureRequestGrants);
  if (q.loginItemStatus != d.loginItemStatus)
    for (const auto& [name, status] : loginItemStatuses())
      if (status == q.loginItemStatus) sw["loginItemStatus"] = name;
  flag("loginItemRequiresApproval", q.loginItemRequiresApproval, d.loginItemRequiresApproval);
  flag("windowListUnavailable", q.windowListUnavailable, d.windowListUnavailable);
  if (q.onScreenCountFailures) sw["onScreenCountFailures"] = q.onScreenCountFailures;
  if (q.onScreenCountZeros) sw["onScreenCountZeros"] = q.onScreenCountZeros;
  if (q.onScreenCountFailsAfter) sw["onScreenCountFailsAfterMs"] = ms(*q.onScreenCountFailsAfter);
  if (q.onScreenCountZeroAfter) sw["onScreenCountZeroAfterMs"] = ms(*q.onScreenCountZeroAfter);
  flag("dividerWindowMissing", q.dividerWindowMissing, d.dividerWindowMissing);
  flag("controlWindowMissing", q.controlWindowMissing, d.controlWindowMissing);
  if (q.controlWindowDuplicates) sw["controlWindowDuplicates"] = q.controlWindowDuplicates;
  if (q.duplicateControlOwnerPID) sw["duplicateControlOwnerPID"] = *q.duplicateControlOwnerPID;
  flag("eventSourceFails", q.eventSourceFails, d.eventSourceFails);
  flag("eventTapUnavailable", q.eventTapUnavailable, d.eventTapUnavailable);
  if (!q.failingEventTypes.empty()) {
    static const std::map<EventType, std::string> names{
        {EventType::Null, "null"},           {EventType::LeftMouseDown, "leftMouseDown"},
        {EventType::LeftMouseUp, "leftMouseUp"}, {EventType::RightMouseDown, "rightMouseDown"},
        {EventType::RightMouseUp, "rightMouseUp"}, {EventType::MouseMoved, "mouseMoved"},
        {EventType::LeftMouseDragged, "leftMouseDragged"}, {EventType::KeyDown, "keyDown"},
        {EventType::KeyUp, "keyUp"}};
    json types = json::array();
    for (EventType t : q.failingEventTypes)
      if (names.count(t)) types.push_back(names.at(t));
    sw["failingEventTypes"] = types;
  }
  flag("hotKeyRegistrationFails", q.hotKeyRegistrationFails, d.hotKeyRegistrationFails);
  if (q.unreadableHotKeyEvents) sw["unreadableHotKeyEvents"] = q.unreadableHotKeyEvents;
  flag("redactNamesWithoutCapture", q.redactNamesWithoutCapture, d.redactNamesWithoutCapture);
  flag("screenRectBridgeAvailable", q.screenRectBridgeAvailable, d.screenRectBridgeAvailable);
  flag("shareableContentFails", q.shareableContentFails, d.shareableContentFails);
  flag("viewFillsWindowAvailable", q.viewFillsWindowAvailable, d.viewFillsWindowAvailable);
  flag("statusItemsHaveButtons", q.statusItemsHaveButtons, d.statusItemsHaveButtons);
  if (q.dragSettleLatency > Duration{0}) sw["dragSettleLatencyMs"] = ms(q.dragSettleLatency);
  if (q.dividerRelayoutLatency > Duration{0}) sw["dividerRelayoutLatencyMs"] = ms(q.dividerRelayoutLatency);
  if (q.itemSpacing != 0) sw["itemSpacing"] = q.itemSpacing;
  if (!sw.empty()) j["switches"] = sw;
  return j.dump(2) + "\n";
}

std::filesystem::path shippedWorldsFolder() {
  // From the build, not __FILE__: a compiler cache may rewrite source paths to relative ones.
  return std::filesystem::path(VIMBO_SOURCE_DIR) / "worlds";
}

}  // namespace vimbo::sim
