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

// Stores the picture under the key unless the same bytes are already there.
bool storeIfChanged(std::map<std::string, ImageRef>& table, const std::string& key, const ImageRef& image,
                    const platform::Data& bytes) {
  auto it = table.find(key);
  if (it != table.end() && it->second && it->second->encodePNG() == bytes) return false;
  table[key] = image;
  return true;
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
  const platform::Data bytes = image->encodePNG();
  if (bytes.empty() || bytes.size() > glyphMaxBytes) return;
  if (!item.stableIdentity.empty() && storeIfChanged(state_.persistedNativeGlyphs, item.stableIdentity, image, bytes)) {
    state_.glyphCacheNeedsFlush = true;
  }
  if (aliasKey && storeIfChanged(state_.persistedNativeGlyphAliases, *aliasKey, image, bytes)) {
    state_.glyphCacheNeedsFlush = true;
  }
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
  auto encode = [](std::map<std::string, ImageRef>& table) {
    platform::DefaultsDictionary data;
    for (const auto& [key, image] : table) {
      if (!image) continue;
      auto bytes = image->encodePNG();
      if (bytes.empty()) continue;
      data.emplace(key, std::move(bytes));
    }
    while (data.size() > glyphCap) {
      table.erase(data.begin()->first);
      data.erase(data.begin());
    }
    return data;
  };
  auto glyphs = encode(state_.persistedNativeGlyphs);
  auto aliases = encode(state_.persistedNativeGlyphAliases);
  defaults_->set(std::string(nativeGlyphsKey), std::move(glyphs));
  defaults_->set(std::string(nativeGlyphAliasesKey), std::move(aliases));
}

}  // namespace vimbo
