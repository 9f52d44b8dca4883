// Glyph caches: pictures remembered per window for the run, per stable identity and per
// owner/window/name across runs, and naming an item from a remembered picture.

#include "Models/CapturedMenuBarItem.h"
#include "Platform/Foundation/Image.h"
#include "Platform/Foundation/UserDefaults.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

namespace {
std::string identityBase(std::string_view identity) {
  size_t cut = std::min(identity.find("|ax="), identity.find("|size="));
  return std::string(cut == std::string_view::npos ? identity : identity.substr(0, cut));
}

// A picture that encodes within the stored-size limit; encoded only when its size bound says
// nothing (a menu-bar glyph never needs it).
bool fitsStoredSizeLimit(const platform::Image& image) {
  if (image.encodedPNGSizeBound() <= MenuBarCaptureService::glyphMaxBytes) return true;
  const platform::Data bytes = image.encodePNG();
  return !bytes.empty() && bytes.size() <= MenuBarCaptureService::glyphMaxBytes;
}
}  // namespace

std::string MenuBarCaptureService::glyphAliasKey(const CapturedMenuBarItem& item) {
  return item.ownerBundleIdentifier + "|window=" + item.windowName + "|name=" + item.name;
}

std::set<std::string> MenuBarCaptureService::uniqueGlyphAliasKeys(const std::vector<CapturedMenuBarItem>& items) {
  std::map<std::string, size_t> counts;
  for (const auto& item : items) ++counts[glyphAliasKey(item)];
  std::set<std::string> unique;
  for (const auto& [key, count] : counts) {
    if (count == 1) unique.insert(key);
  }
  return unique;
}

void MenuBarCaptureService::persistNativeGlyph(const ImageRef& image, const CapturedMenuBarItem& item,
                                               const std::optional<std::string>& aliasKey) {
  if (!image) return;
  // Stores the picture under the key unless the same picture is already there; an equal one
  // stays untouched, so its stored bytes stay valid.
  std::optional<bool> fits;
  auto storeIfChanged = [&](std::map<std::string, ImageRef>& table, const std::string& key) {
    auto it = table.find(key);
    if (it != table.end() && it->second && it->second->hasSameContent(*image)) return;
    if (!fits) fits = fitsStoredSizeLimit(*image);
    if (!*fits) return;
    table[key] = image;
    state_.glyphCacheNeedsFlush = true;
  };
  if (!item.stableIdentity.empty()) storeIfChanged(state_.persistedNativeGlyphs, item.stableIdentity);
  if (aliasKey) storeIfChanged(state_.persistedNativeGlyphAliases, *aliasKey);
}

ImageRef MenuBarCaptureService::persistedNativeGlyph(const CapturedMenuBarItem& item,
                                                     const std::set<std::string>& uniqueAliasKeys) const {
  const auto& glyphs = state_.persistedNativeGlyphs;
  if (auto it = glyphs.find(item.stableIdentity); it != glyphs.end()) return it->second;

  const std::string base = identityBase(item.stableIdentity);
  const ImageRef* sameBase = nullptr;
  size_t sameBaseCount = 0;
  const std::string titlePrefix = item.ownerBundleIdentifier + "|window=" + item.windowName + "|ax=title:" + item.name;
  const ImageRef* sameTitle = nullptr;
  size_t sameTitleCount = 0;
  for (const auto& [key, image] : glyphs) {
    if (identityBase(key) == base) {
      sameBase = &image;
      ++sameBaseCount;
    }
    if (key.starts_with(titlePrefix)) {
      sameTitle = &image;
      ++sameTitleCount;
    }
  }
  if (sameBaseCount == 1) return *sameBase;
  if (sameTitleCount == 1) return *sameTitle;

  const std::string alias = glyphAliasKey(item);
  if (uniqueAliasKeys.contains(alias)) {
    if (auto it = state_.persistedNativeGlyphAliases.find(alias); it != state_.persistedNativeGlyphAliases.end()) return it->second;
  }
  return nullptr;
}

std::optional<std::string> MenuBarCaptureService::nativeGlyphBackfilledDisplayName(const CapturedMenuBarItem& item,
                                                                                  const ImageRef& image) const {
  if (isMeaningfulDisplayName(item.name) || !image) return std::nullopt;
  const auto fingerprint = image->render64Fingerprint();
  if (fingerprint.empty()) return std::nullopt;
  const std::string prefix = item.ownerBundleIdentifier + "|window=" + item.windowName + "|name=";
  std::set<std::string> names;
  const auto& aliases = state_.persistedNativeGlyphAliases;
  for (auto it = aliases.lower_bound(prefix); it != aliases.end() && it->first.starts_with(prefix); ++it) {
    if (!it->second) continue;
    const auto other = it->second->render64Fingerprint();
    if (other.empty() || other != fingerprint) continue;
    std::string candidate = it->first.substr(prefix.size());
    if (isMeaningfulDisplayName(candidate)) names.insert(std::move(candidate));
  }
  if (names.size() != 1) return std::nullopt;
  return *names.begin();
}

void MenuBarCaptureService::flushGlyphDictionariesIfNeeded() {
  if (!state_.glyphCacheNeedsFlush) return;
  state_.glyphCacheNeedsFlush = false;
  // Bytes encoded in this flush, by picture: the alias table mostly holds the same pictures.
  std::map<const platform::Image*, const platform::Data*> encodedHere;
  // The greatest keys up to the cap are written, each with the bytes already stored for its
  // picture when there are any; smaller keys leave the table. Nothing is written when the result
  // is what the defaults already hold, which is the rule while the bar holds more items than the
  // cap: the keys it admits again each pass are the ones the cap removes again.
  auto flush = [&](std::map<std::string, ImageRef>& table, StoredGlyphTable& stored, std::string_view defaultsKey) {
    std::map<std::string, std::pair<ImageRef, platform::Data>> kept;
    bool unchanged = stored.complete;
    std::vector<std::string> removed;
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
      const ImageRef& image = it->second;
      if (!image) continue;
      if (kept.size() == glyphCap) {
        removed.push_back(it->first);
        continue;
      }
      platform::Data bytes;
      if (auto old = stored.entries.find(it->first); old != stored.entries.end() && old->second.first == image) {
        bytes = std::move(old->second.second);
      } else if (auto done = encodedHere.find(image.get()); done != encodedHere.end()) {
        bytes = *done->second;
        unchanged = false;
      } else {
        bytes = image->encodePNG();
        unchanged = false;
      }
      if (bytes.empty()) continue;
      auto& entry = kept.emplace_hint(kept.begin(), it->first, std::pair(image, std::move(bytes)))->second;
      encodedHere.try_emplace(image.get(), &entry.second);
    }
    for (const auto& key : removed) table.erase(key);
    unchanged = unchanged && kept.size() == stored.entries.size();
    stored.entries = std::move(kept);
    stored.complete = true;
    if (unchanged) return;
    platform::DefaultsDictionary data;
    for (const auto& [key, entry] : stored.entries) data.emplace_hint(data.end(), key, entry.second);
    defaults_->set(std::string(defaultsKey), std::move(data));
  };
  flush(state_.persistedNativeGlyphs, storedNativeGlyphs_, nativeGlyphsKey);
  flush(state_.persistedNativeGlyphAliases, storedNativeGlyphAliases_, nativeGlyphAliasesKey);
}

}  // namespace vimbo
