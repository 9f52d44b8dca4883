// TEMP: see TemporaryShims.h.
#include "Store/TemporaryShims.h"

#include <algorithm>

namespace vimbo::platform::text {

namespace {
bool ws(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string trimmingWhitespaceAndNewlines(std::string_view s) {
  while (!s.empty() && ws(s.front())) s.remove_prefix(1);
  while (!s.empty() && ws(s.back())) s.remove_suffix(1);
  return std::string(s);
}

bool localizedCaseInsensitiveContains(std::string_view haystack, std::string_view needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [](char a, char b) { return lower(a) == lower(b); }) != haystack.end();
}

}  // namespace vimbo::platform::text
