// The service as a whole (its tables and how they are loaded) and picture capture: the clock
// symbol, one-window screenshots, the window-server fallbacks, the session glyph, the caller's
// previous picture and the remembered glyphs, in that order.

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/Image.h"
#include "Platform/Foundation/ScreenCaptureAccess.h"
#include "Platform/Foundation/Text.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/Platform.h"
#include "Platform/Runtime/Task.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

// The private window-server picture path, found once and kept for the life of the service.
class MenuBarCaptureService::WindowServerCaptureBridge {
 public:
  explicit WindowServerCaptureBridge(platform::WindowServer& ws) : ws_(ws) {
    if (ws_.isScreenRectBridgeAvailable()) {
      connectionID_ = ws_.bridgeMainConnectionID();
      available_ = true;
    }
  }

  ImageRef capture(uint32_t windowID) {
    if (!available_ || !connectionID_ || *connectionID_ == 0) return nullptr;
    auto result = ws_.getScreenRectForWindow(*connectionID_, windowID);
    if (result.status != 0 || !result.rect.isValidPositive()) return nullptr;
    return ws_.createImageFromArray(result.rect, {windowID}, platform::windowimage::boundsIgnoreFraming);
  }

 private:
  platform::WindowServer& ws_;
  bool available_ = false;
  std::optional<int32_t> connectionID_;
};

std::string MenuBarCaptureService::CaptureError::description() const {
  return kind == Kind::permissionRequired ? std::string(permissionRequiredDescription) : underlyingDescription;
}

// ---- Creation and loading ---------------------------------------------------------------------

MenuBarCaptureService::MenuBarCaptureService(const platform::Platform& platform, std::shared_ptr<platform::UserDefaults> defaults,
                                             async::Executor& executor)
    : platform_(platform), defaults_(std::move(defaults)), executor_(executor) {
  loadPersistedTables();
}

MenuBarCaptureService::~MenuBarCaptureService() = default;

namespace {
// Loads one glyph table and remembers what the defaults hold beside it.
template <class Stored>
std::map<std::string, ImageRef> loadGlyphTable(const platform::UserDefaults& defaults, std::string_view key, Stored& stored) {
  std::map<std::string, ImageRef> table;
  auto dictionary = defaults.dictionary(std::string(key));
  if (!dictionary) return table;
  // The table counts only when every value is data; otherwise it is ignored whole.
  for (const auto& [k, v] : *dictionary) {
    if (!std::holds_alternative<platform::Data>(v)) return {};
  }
  // Only what the next flush would keep is decoded: from the greatest key down, the pictures that
  // could have been stored, until the cap is reached. A header that declares more pixels than a
  // glyph can have is refused before anything is allocated for it.
  for (auto it = dictionary->rbegin(); it != dictionary->rend() && table.size() < MenuBarCaptureService::glyphCap; ++it) {
    auto& bytes = std::get<platform::Data>(it->second);
    if (bytes.empty() || bytes.size() > MenuBarCaptureService::glyphMaxBytes) continue;
    if (auto image = platform::Image::decode(bytes, MenuBarCaptureService::glyphMaxPixels)) {
      table.emplace(it->first, image);
      stored.entries.emplace(it->first, std::pair(std::move(image), std::move(bytes)));
    }
  }
  stored.complete = stored.entries.size() == dictionary->size();
  return table;
}
}  // namespace

void MenuBarCaptureService::loadPersistedTables() {
  state_.persistedNativeGlyphs = loadGlyphTable(*defaults_, nativeGlyphsKey, storedNativeGlyphs_);
  state_.persistedNativeGlyphAliases = loadGlyphTable(*defaults_, nativeGlyphAliasesKey, storedNativeGlyphAliases_);

  if (auto data = defaults_->data(std::string(aliasesKey))) {
    if (auto aliases = decodeAliases(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()))) {
      while (aliases->size() > aliasCap) aliases->erase(aliases->begin());
      state_.persistedMenuExtraAliases = std::move(*aliases);
    }
  }
  if (auto data = defaults_->data(std::string(displayNamesKey))) {
    auto json = nlohmann::json::parse(data->begin(), data->end(), nullptr, false);
    if (!json.is_discarded() && json.is_object()) {
      std::map<std::string, std::string> names;
      bool ok = true;
      for (auto& [k, v] : json.items()) {
        if (!v.is_string()) {
          ok = false;
          break;
        }
        names[k] = v.get<std::string>();
      }
      if (ok) state_.persistedDisplayNames = filteredPersistedDisplayNames(std::move(names));
    }
  }
}

MenuBarCaptureService::PersistedTablesBatch::PersistedTablesBatch(MenuBarCaptureService& service) : service_(service) {
  ++service_.persistedTablesBatchDepth_;
}

MenuBarCaptureService::PersistedTablesBatch::~PersistedTablesBatch() {
  if (--service_.persistedTablesBatchDepth_ > 0) return;
  if (service_.aliasesWritePending_) service_.flushPersistedMenuExtraAliases();
  if (service_.displayNamesWritePending_) service_.flushPersistedDisplayNames();
}

void MenuBarCaptureService::flushPersistedMenuExtraAliases() {
  aliasesWritePending_ = persistedTablesBatchDepth_ > 0;
  if (aliasesWritePending_) return;
  const std::string json = encodeAliases(state_.persistedMenuExtraAliases);
  defaults_->set(std::string(aliasesKey), platform::Data(json.begin(), json.end()));
}

void MenuBarCaptureService::flushPersistedDisplayNames() {
  // Within a scan the table is kept capped as it is learned (learnDisplayName), so lookups see
  // what this filter would leave.
  displayNamesWritePending_ = persistedTablesBatchDepth_ > 0;
  if (displayNamesWritePending_) return;
  state_.persistedDisplayNames = filteredPersistedDisplayNames(std::move(state_.persistedDisplayNames));
  nlohmann::json root = nlohmann::json::object();
  for (const auto& [k, v] : state_.persistedDisplayNames) {
    if (platform::text::isValidUTF8(k) && platform::text::isValidUTF8(v)) root[k] = v;  // else unwritable: left out
  }
  const std::string json = root.dump();
  defaults_->set(std::string(displayNamesKey), platform::Data(json.begin(), json.end()));
}

// ---- The visible-content test -----------------------------------------------------------------

bool MenuBarCaptureService::hasVisibleContent(const ImageRef& image) {
  if (!image) return false;
  const int W = image->pixelWidth();
  const int H = image->pixelHeight();
  if (W <= 0 || H <= 0) return false;
  const int sx = std::max(W / 20, 1);
  const int sy = std::max(H / 20, 1);
  double minAlpha = 1, maxAlpha = 0, minBright = 1, maxBright = 0;
  for (int y = 0; y < H; y += sy) {
    for (int x = 0; x < W; x += sx) {
      const auto sample = image->colorAt(x, y);
      if (!sample) continue;
      const auto& c = *sample;
      minAlpha = std::min<double>(minAlpha, c.alpha);
      maxAlpha = std::max<double>(maxAlpha, c.alpha);
      const double bright = (c.red + c.green + c.blue) / 3.0;
      minBright = std::min(minBright, bright);
      maxBright = std::max(maxBright, bright);
    }
  }
  return maxAlpha > 0.08 && (maxAlpha - minAlpha > 0.05 || maxBright - minBright > 0.05);
}

// ---- The item procedure -----------------------------------------------------------------------

namespace {
int pixelsFor(double points) {
  // Clamp before converting: a hostile frame must not overflow the integer.
  double v = points * 2;
  if (!std::isfinite(v) || v < 2) return 2;
  if (v > 16384) v = 16384;
  return std::max(static_cast<int>(v), 2);
}

// The window server's picture shown at the item's size in points (the pixels stay as taken).
ImageRef atPointSize(const ImageRef& image, Size size) {
  if (!image) return nullptr;
  if (image->pointSize() == size) return image;
  auto sized = platform::Image::make(size, image->pixelWidth(), image->pixelHeight(), image->pixels(), image->isTemplate(),
                                     image->accessibilityDescription());
  return sized ? sized : image;
}

bool sessionGlyphUsable(const MenuBarCaptureService::SessionGlyphImage& g, const CapturedMenuBarItem& item) {
  return g.windowName == item.windowName && g.ownerBundleIdentifier == item.ownerBundleIdentifier && g.ownerPID == item.ownerPID &&
         std::fabs(item.originalFrame.height - g.height) < 0.5;
}

// Glyphs persist under the alias key only where it names one item of the pass.
std::optional<std::string> uniqueAliasKey(const CapturedMenuBarItem& item, const std::set<std::string>& unique) {
  std::string key = MenuBarCaptureService::glyphAliasKey(item);
  return unique.contains(key) ? std::optional<std::string>(std::move(key)) : std::nullopt;
}

// Drawn once: the same pixels every time, and every pass of every capture call asks for it.
ImageRef clockSymbol() {
  static const ImageRef clock = platform::Image::symbol("clock", "Clock");
  return clock;
}
}  // namespace

ImageRef MenuBarCaptureService::usableSessionGlyph(const CapturedMenuBarItem& item) const {
  auto it = state_.sessionGlyphImages.find(item.id);
  return it != state_.sessionGlyphImages.end() && sessionGlyphUsable(it->second, item) ? it->second.image : nullptr;
}

void MenuBarCaptureService::rememberSessionGlyph(const ImageRef& image, const CapturedMenuBarItem& item,
                                                 const std::optional<std::string>& aliasKey) {
  state_.sessionGlyphImages[item.id] = SessionGlyphImage{image, item.windowName, item.ownerBundleIdentifier, item.ownerPID,
                                                         item.originalFrame.width, item.originalFrame.height};
  persistNativeGlyph(image, item, aliasKey);
}

ImageRef MenuBarCaptureService::capturePictureForItem(const CapturedMenuBarItem& item) {
  const Size size = item.originalFrame.size();
  if (!bridge_) bridge_ = std::make_unique<WindowServerCaptureBridge>(platform_.windowServer);
  ImageRef candidate = atPointSize(bridge_->capture(item.id), size);
  if (hasVisibleContent(candidate)) return candidate;  // sampled once: the same picture gives the same answer
  candidate = platform_.windowServer.createWindowImage(
      item.id, platform::windowimage::boundsIgnoreFraming | platform::windowimage::bestResolution);
  candidate = atPointSize(candidate, size);
  return hasVisibleContent(candidate) ? candidate : nullptr;
}

// The final picture (captured, else the caller's, else a remembered glyph), then a name from a
// remembered glyph when the item's own says nothing, learned when it changed.
static CapturedMenuBarItem finishItem(MenuBarCaptureService& service, const CapturedMenuBarItem& item, ImageRef captured,
                                      const std::map<std::string, ImageRef>& preserving, const std::set<std::string>& unique) {
  ImageRef picture = captured;
  if (!picture) {
    if (auto it = preserving.find(item.stableIdentity); it != preserving.end()) picture = it->second;
  }
  if (!picture) picture = service.persistedNativeGlyph(item, unique);
  std::string name = service.nativeGlyphBackfilledDisplayName(item, picture).value_or(item.name);
  if (name != item.name) service.learnDisplayName(name, item.stableIdentity, nullptr);
  CapturedMenuBarItem out = item;
  out.name = std::move(name);
  out.image = std::move(picture);
  return out;
}

async::Task<ImageRef> MenuBarCaptureService::capture(uint32_t windowID, Size size) {
  const platform::ScreenshotConfiguration configuration{pixelsFor(size.width), pixelsFor(size.height), true, false, true};
  async::OneShot<platform::ScreenshotResult> shot;
  platform_.screenCapture.captureWindow(windowID, configuration, [shot](platform::ScreenshotResult r) mutable { shot.resume(std::move(r)); });
  auto shotWait = shot.wait();
  platform::ScreenshotResult screenshot = co_await std::move(shotWait);
  auto* image = std::get_if<ImageRef>(&screenshot);
  if (!image || !*image) co_return nullptr;
  co_return atPointSize(*image, size);
}

async::Task<MenuBarCaptureService::CaptureImagesResult> MenuBarCaptureService::captureImages(
    std::vector<CapturedMenuBarItem> items, std::map<std::string, ImageRef> preservingImages) {
  if (!platform_.screenCaptureAccess.preflight()) co_return CaptureImagesResult{{}, CaptureError::permissionRequired()};

  async::OneShot<platform::ShareableContentResult> contentShot;
  platform_.screenCapture.requestShareableContent([contentShot](platform::ShareableContentResult r) mutable { contentShot.resume(std::move(r)); });
  auto contentWait = contentShot.wait();
  platform::ShareableContentResult content = co_await std::move(contentWait);
  if (auto* error = std::get_if<platform::CaptureError>(&content)) {
    co_return CaptureImagesResult{{}, CaptureError{CaptureError::Kind::shareableContent, error->description}};
  }
  std::map<uint32_t, platform::ShareableWindow> windows;
  for (const auto& w : std::get<platform::ShareableContent>(content).windows) windows.try_emplace(w.windowID, w);

  const auto unique = uniqueGlyphAliasKeys(items);
  std::vector<CapturedMenuBarItem> out;
  out.reserve(items.size());
  for (const auto& item : items) {
    const std::optional<std::string> aliasKey = uniqueAliasKey(item, unique);
    const bool isClock = item.windowName == "Clock";
    ImageRef captured = isClock ? clockSymbol() : nullptr;
    if (!captured) {
      if (!isClock) {
        if (windows.contains(item.id)) {
          auto shot = capture(item.id, item.originalFrame.size());
          ImageRef screenshot = co_await std::move(shot);
          if (hasVisibleContent(screenshot)) captured = screenshot;
        }
        if (!captured) captured = capturePictureForItem(item);
      }
      if (!captured) captured = usableSessionGlyph(item);
      if (captured && !isClock) rememberSessionGlyph(captured, item, aliasKey);
    }
    out.push_back(finishItem(*this, item, captured, preservingImages, unique));
  }
  flushGlyphDictionariesIfNeeded();
  co_return CaptureImagesResult{std::move(out), std::nullopt};
}

std::vector<CapturedMenuBarItem> MenuBarCaptureService::captureVisibleImages(const std::vector<CapturedMenuBarItem>& items,
                                                                             const std::map<std::string, ImageRef>& preservingImages) {
  PersistedTablesBatch batch(*this);
  const bool access = platform_.screenCaptureAccess.preflight();
  const auto unique = uniqueGlyphAliasKeys(items);
  std::vector<CapturedMenuBarItem> out;
  out.reserve(items.size());
  for (const auto& item : items) {
    const std::optional<std::string> aliasKey = uniqueAliasKey(item, unique);
    const bool isClock = item.windowName == "Clock";
    ImageRef captured = isClock ? clockSymbol() : nullptr;
    if (!captured) {
      if (!isClock && access) {
        captured = capturePictureForItem(item);
        if (captured) rememberSessionGlyph(captured, item, aliasKey);
      }
      if (!captured) {
        // Here a session glyph only supplies the picture: nothing is rewritten or persisted.
        captured = usableSessionGlyph(item);
      }
    }
    out.push_back(finishItem(*this, item, captured, preservingImages, unique));
  }
  flushGlyphDictionariesIfNeeded();
  return out;
}

}  // namespace vimbo
