#include "Views/CapturedMenuBarSearch.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "Platform/Foundation/Text.h"

namespace vimbo {

namespace {

namespace text = platform::text;

// Per field: equal, begins with, contains; then the same three on the compact forms.
struct FieldScores {
  std::string CapturedMenuBarItem::*field;
  std::array<int, 6> scores;
};

constexpr std::array<FieldScores, 4> kFields{{
    {&CapturedMenuBarItem::name, {0, 10, 20, 5, 15, 25}},
    {&CapturedMenuBarItem::ownerName, {30, 35, 40, 32, 37, 42}},
    {&CapturedMenuBarItem::windowName, {50, 55, 60, 52, 57, 62}},
    {&CapturedMenuBarItem::ownerBundleIdentifier, {70, 75, 80, 72, 77, 82}},
}};

// Valid UTF-8 compared byte for byte is compared code point for code point.
std::optional<int> firstHit(std::string_view field, std::string_view query, const int* scores) {
  if (field == query) return scores[0];
  if (field.starts_with(query)) return scores[1];
  if (field.find(query) != std::string_view::npos) return scores[2];
  return std::nullopt;
}

}  // namespace

std::string CapturedMenuBarSearch::normalized(std::string_view value) {
  return text::trimmingWhitespaceAndNewlines(text::lowercased(text::folded(value)));
}

std::string CapturedMenuBarSearch::compact(std::string_view value) {
  std::vector<char32_t> kept;
  for (char32_t c : text::codePoints(normalized(value))) {
    if (!text::isPunctuation(c) && !text::isSymbol(c) && !text::isWhitespace(c)) kept.push_back(c);
  }
  return text::toUTF8(kept);
}

std::optional<int> CapturedMenuBarSearch::score(const CapturedMenuBarItem& item, std::string_view normalizedQuery) {
  const std::string compactQuery = compact(normalizedQuery);
  for (const auto& entry : kFields) {
    const std::string field = normalized(item.*entry.field);
    if (auto hit = firstHit(field, normalizedQuery, entry.scores.data())) return hit;
    // A query of punctuation or symbols alone matches only by the plain tests.
    if (compactQuery.empty()) continue;
    if (auto hit = firstHit(compact(field), compactQuery, entry.scores.data() + 3)) return hit;
  }
  return std::nullopt;
}

std::vector<CapturedMenuBarItem> CapturedMenuBarSearch::rankedItems(const std::vector<CapturedMenuBarItem>& items,
                                                                    std::string_view query) {
  const std::string normalizedQuery = normalized(query);
  if (normalizedQuery.empty()) return items;
  struct Ranked {
    int score;
    std::size_t sourceIndex;
  };
  std::vector<Ranked> ranked;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (auto s = score(items[i], normalizedQuery)) ranked.push_back({*s, i});
  }
  std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
    return a.score != b.score ? a.score < b.score : a.sourceIndex < b.sourceIndex;
  });
  std::vector<CapturedMenuBarItem> out;
  out.reserve(ranked.size());
  for (const auto& r : ranked) out.push_back(items[r.sourceIndex]);
  return out;
}

}  // namespace vimbo
