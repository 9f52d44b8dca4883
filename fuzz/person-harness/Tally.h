#pragma once
// Named counts, summed over rounds (and over the processes a run is split into), and the maxima
// kept beside them. Plain text in and out, one "kind value name" a line (a name may hold spaces),
// so a worker process can hand its counts back through a pipe.

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>

namespace vimbo::harness {

struct Tally {
  std::map<std::string, int64_t> sums;
  std::map<std::string, int64_t> maxima;

  void add(const std::string& name, int64_t n = 1) { sums[name] += n; }
  void atLeast(const std::string& name, int64_t n) { maxima[name] = std::max(maxima[name], n); }
  int64_t operator[](const std::string& name) const {
    if (auto it = sums.find(name); it != sums.end()) return it->second;
    if (auto it = maxima.find(name); it != maxima.end()) return it->second;
    return 0;
  }
  void merge(const Tally& other) {
    for (const auto& [name, n] : other.sums) add(name, n);
    for (const auto& [name, n] : other.maxima) atLeast(name, n);
  }
  std::string text() const {
    std::ostringstream out;
    for (const auto& [name, n] : sums) out << "+ " << n << ' ' << name << '\n';
    for (const auto& [name, n] : maxima) out << "max " << n << ' ' << name << '\n';
    return out.str();
  }
  static Tally fromText(const std::string& text) {
    Tally t;
    std::istringstream in(text);
    std::string kind, name;
    int64_t n = 0;
    while (in >> kind >> n && std::getline(in >> std::ws, name)) {
      if (kind == "+") t.add(name, n);
      else t.atLeast(name, n);
    }
    return t;
  }
};

}  // namespace vimbo::harness
