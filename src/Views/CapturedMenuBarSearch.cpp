#include "Views/CapturedMenuBarSearch.h"

#include <algorithm>

#include "Platform/Foundation/Text.h"

namespace vimbo {

namespace {

namespace text = platform::text;

constexpr std::array<std::string CapturedMenuBarItem::*, 4> kFields{
    &CapturedMenuBarItem::name,
    &CapturedMenuBarItem::ownerName,
    &CapturedMenuBarItem::windowName,
    &CapturedMenuBarItem::ownerBundleIdentifier,
};

// Per field: equal, begins with, contains; then the same three on the compact forms.
constexpr std::array<std::array<int, 6>, 4> kScores{{
    {0, 10, 20, 5, 15, 25},
    {30, 35, 40, 32, 37, 42},
    {50, 55, 60, 52, 57, 62},
    {70, 75, 80, 72, 77, 82},
}};

// Valid UTF-8 compared byte for byte is compared code point for code point.
std::optional<int> firstHit(std::string_view field, std::string_view query, const int* scores) {
  if (field == query) return scores[0];
  if (field.starts_with(query)) return scores[1];
  if (field.find(query) != std::string_view::npos) return scores[2];
  return std::nullopt;
}

struct Ranked {
  int score;
  std::size_t sourceIndex;
};

// Best first, ties in input order: the order is total.
std::vector<std::size_t> inRankOrder(std::vector<Ranked> ranked) {
  std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
    return a.score != b.score ? a.score < b.score : a.sourceIndex < b.sourceIndex;
  });
  std::vector<std::size_t> order;
  order.reserve(ranked.size());
  for (const auto& r : ranked) order.push_back(r.sourceIndex);
  return order;
}

std::vector<CapturedMenuBarItem> itemsInOrder(const std::vector<CapturedMenuBarItem>& items,
                                              const std::vector<std::size_t>& order) {
  std::vector<CapturedMenuBarItem> out;
  out.reserve(order.size());
  for (std::size_t i : order) out.push_back(items[i]);
  return out;
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

CapturedMenuBarSearch::Forms CapturedMenuBarSearch::forms(const CapturedMenuBarItem& item) {
  Forms f;
  for (std::size_t k = 0; k < kFields.size(); ++k) {
    f.normalized[k] = normalized(item.*kFields[k]);
    f.compact[k] = compact(f.normalized[k]);
  }
  return f;
}

std::optional<int> CapturedMenuBarSearch::score(const Forms& forms, std::string_view normalizedQuery,
                                                std::string_view compactQuery) {
  for (std::size_t k = 0; k < kFields.size(); ++k) {
    if (auto hit = firstHit(forms.normalized[k], normalizedQuery, kScores[k].data())) return hit;
    // A query of punctuation or symbols alone matches only by the plain tests.
    if (compactQuery.empty()) continue;
    if (auto hit = firstHit(forms.compact[k], compactQuery, kScores[k].data() + 3)) return hit;
  }
  return std::nullopt;
}

std::optional<int> CapturedMenuBarSearch::score(const CapturedMenuBarItem& item, std::string_view normalizedQuery) {
  // One-off: a field's forms are worked out only when the fields before it missed.
  const std::string compactQuery = compact(normalizedQuery);
  for (std::size_t k = 0; k < kFields.size(); ++k) {
    const std::string field = normalized(item.*kFields[k]);
    if (auto hit = firstHit(field, normalizedQuery, kScores[k].data())) return hit;
    if (compactQuery.empty()) continue;
    if (auto hit = firstHit(compact(field), compactQuery, kScores[k].data() + 3)) return hit;
  }
  return std::nullopt;
}

std::vector<CapturedMenuBarItem> CapturedMenuBarSearch::rankedItems(const std::vector<CapturedMenuBarItem>& items,
                                                                    std::string_view query) {
  const std::string normalizedQuery = normalized(query);
  if (normalizedQuery.empty()) return items;
  std::vector<Ranked> ranked;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (auto s = score(items[i], normalizedQuery)) ranked.push_back({*s, i});
  }
  return itemsInOrder(items, inRankOrder(std::move(ranked)));
}

void CapturedMenuBarSearchIndex::update(const std::vector<CapturedMenuBarItem>& items) {
  entries_.resize(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    Entry& entry = entries_[i];
    bool same = true;
    for (std::size_t k = 0; k < kFields.size() && same; ++k) same = entry.fields[k] == items[i].*kFields[k];
    if (same) continue;  // a fresh entry's empty fields have empty forms too
    for (std::size_t k = 0; k < kFields.size(); ++k) entry.fields[k] = items[i].*kFields[k];
    entry.forms = CapturedMenuBarSearch::forms(items[i]);
  }
}

std::vector<std::size_t> CapturedMenuBarSearchIndex::rank(const std::vector<CapturedMenuBarItem>& items,
                                                          std::string_view query) {
  update(items);
  const std::string normalizedQuery = CapturedMenuBarSearch::normalized(query);
  if (normalizedQuery.empty()) {
    std::vector<std::size_t> all(items.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return all;
  }
  const std::string compactQuery = CapturedMenuBarSearch::compact(normalizedQuery);
  std::vector<Ranked> ranked;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (auto s = CapturedMenuBarSearch::score(entries_[i].forms, normalizedQuery, compactQuery)) ranked.push_back({*s, i});
  }
  return inRankOrder(std::move(ranked));
}

std::vector<CapturedMenuBarItem> CapturedMenuBarSearchIndex::rankedItems(const std::vector<CapturedMenuBarItem>& items,
                                                                         std::string_view query) {
  return itemsInOrder(items, rank(items, query));
}

}  // namespace vimbo
