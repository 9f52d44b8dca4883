// Per-pass lookups over the candidate list and the identity cache, and per-pass memories of
// hit tests and owner lookups. A pass is synchronous on the main thread, so nothing it reads can
// change under it.

#include <algorithm>
#include <cmath>

#include "Platform/Platform.h"
#include "System/MenuBarCaptureService.h"

namespace vimbo {

struct MenuBarCaptureService::PassIndex {
  std::vector<std::pair<double, size_t>> byMidX;  // candidate index sorted by frame midX
  std::map<std::string, size_t> bundleCounts;
  std::map<std::pair<std::string, int32_t>, std::vector<size_t>> byBundleAndProcess;
  std::map<int32_t, std::vector<size_t>> byProcess;
  std::map<std::pair<std::string, int32_t>, std::vector<const StableIdentityCacheEntry*>> cacheByOwner;
  std::map<std::pair<float, float>, HitResult> hits;
  std::map<int32_t, std::optional<std::string>> bundles;
};

MenuBarCaptureService::PassScope::PassScope(MenuBarCaptureService& service) : service_(service) {
  if (service_.pass_) return;
  owner_ = true;
  auto index = std::make_shared<PassIndex>();
  const auto& candidates = service_.state_.menuExtraDisplayCandidates;
  index->byMidX.reserve(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i) {
    const auto& c = candidates[i];
    // A position that is not a number matches no frame and would break the order searched below.
    if (!std::isnan(c.frame.midX())) index->byMidX.emplace_back(c.frame.midX(), i);
    ++index->bundleCounts[c.bundleIdentifier];
    index->byBundleAndProcess[{c.bundleIdentifier, c.processIdentifier}].push_back(i);
    index->byProcess[c.processIdentifier].push_back(i);
  }
  std::sort(index->byMidX.begin(), index->byMidX.end());
  for (const auto& [id, e] : service_.state_.sessionIdentityCache) index->cacheByOwner[{e.ownerBundleIdentifier, e.ownerPID}].push_back(&e);
  service_.pass_ = std::move(index);
}

MenuBarCaptureService::PassScope::~PassScope() {
  if (owner_) service_.pass_.reset();
}

namespace {
template <class Pred>
std::vector<const MenuBarCaptureService::MenuExtraDisplayCandidate*> scan(
    const std::vector<MenuBarCaptureService::MenuExtraDisplayCandidate>& all, Pred pred) {
  std::vector<const MenuBarCaptureService::MenuExtraDisplayCandidate*> out;
  for (const auto& c : all) {
    if (pred(c)) out.push_back(&c);
  }
  return out;
}
}  // namespace

std::vector<const MenuBarCaptureService::MenuExtraDisplayCandidate*> MenuBarCaptureService::candidatesMatchingFrame(
    const Rect& windowFrame) const {
  const auto& all = state_.menuExtraDisplayCandidates;
  if (!pass_) return scan(all, [&](const auto& c) { return framesMatch(windowFrame, c.frame); });
  const double mid = windowFrame.midX();
  auto lo = std::lower_bound(pass_->byMidX.begin(), pass_->byMidX.end(), std::make_pair(mid - 2.501, size_t{0}));
  std::vector<size_t> indexes;
  for (auto it = lo; it != pass_->byMidX.end() && it->first <= mid + 2.501; ++it) {
    if (framesMatch(windowFrame, all[it->second].frame)) indexes.push_back(it->second);
  }
  std::sort(indexes.begin(), indexes.end());  // stored order
  std::vector<const MenuExtraDisplayCandidate*> out;
  for (size_t i : indexes) out.push_back(&all[i]);
  return out;
}

size_t MenuBarCaptureService::candidateCountWithBundle(const std::string& bundleIdentifier) const {
  if (!pass_) {
    return static_cast<size_t>(std::count_if(state_.menuExtraDisplayCandidates.begin(), state_.menuExtraDisplayCandidates.end(),
                                              [&](const auto& c) { return c.bundleIdentifier == bundleIdentifier; }));
  }
  auto it = pass_->bundleCounts.find(bundleIdentifier);
  return it == pass_->bundleCounts.end() ? 0 : it->second;
}

std::vector<const MenuBarCaptureService::MenuExtraDisplayCandidate*> MenuBarCaptureService::candidatesWithBundleAndProcess(
    const std::string& bundleIdentifier, int32_t processIdentifier) const {
  const auto& all = state_.menuExtraDisplayCandidates;
  if (!pass_) {
    return scan(all, [&](const auto& c) { return c.bundleIdentifier == bundleIdentifier && c.processIdentifier == processIdentifier; });
  }
  std::vector<const MenuExtraDisplayCandidate*> out;
  if (auto it = pass_->byBundleAndProcess.find({bundleIdentifier, processIdentifier}); it != pass_->byBundleAndProcess.end()) {
    for (size_t i : it->second) out.push_back(&all[i]);
  }
  return out;
}

std::vector<const MenuBarCaptureService::MenuExtraDisplayCandidate*> MenuBarCaptureService::candidatesWithProcess(
    int32_t processIdentifier) const {
  const auto& all = state_.menuExtraDisplayCandidates;
  if (!pass_) return scan(all, [&](const auto& c) { return c.processIdentifier == processIdentifier; });
  std::vector<const MenuExtraDisplayCandidate*> out;
  if (auto it = pass_->byProcess.find(processIdentifier); it != pass_->byProcess.end()) {
    for (size_t i : it->second) out.push_back(&all[i]);
  }
  return out;
}

std::vector<const MenuBarCaptureService::StableIdentityCacheEntry*> MenuBarCaptureService::cacheEntriesOf(
    const std::string& ownerBundleIdentifier, int32_t ownerPID) const {
  if (pass_) {
    auto it = pass_->cacheByOwner.find({ownerBundleIdentifier, ownerPID});
    return it == pass_->cacheByOwner.end() ? std::vector<const StableIdentityCacheEntry*>{} : it->second;
  }
  std::vector<const StableIdentityCacheEntry*> out;
  for (const auto& [id, e] : state_.sessionIdentityCache) {
    if (e.ownerBundleIdentifier == ownerBundleIdentifier && e.ownerPID == ownerPID) out.push_back(&e);
  }
  return out;
}

namespace {
// Hit tests take single-precision coordinates; clamp first, as a conversion out of range is
// undefined.
float coordinate(double v) { return static_cast<float>(std::clamp(v, -1.0e30, 1.0e30)); }
}  // namespace

MenuBarCaptureService::HitResult MenuBarCaptureService::hitTest(const Rect& frame) {
  const float x = coordinate(frame.midX());
  const float y = coordinate(frame.midY());
  if (pass_) {
    if (auto it = pass_->hits.find({x, y}); it != pass_->hits.end()) return it->second;
  }
  HitResult result;
  auto& ax = platform_.accessibility;
  auto hit = ax.copyElementAtPosition(ax.createSystemWide(), x, y);
  if (hit.error == platform::AXError::Success && hit.element) {
    result.hit = true;
    result.element = hit.element.id;
    auto pid = ax.getPid(hit.element);
    if (pid.error == platform::AXError::Success) result.pid = pid.pid;
  }
  if (pass_) pass_->hits.emplace(std::make_pair(x, y), result);
  return result;
}

std::optional<std::string> MenuBarCaptureService::ownerBundleIdentifier(int32_t pid) {
  if (pass_) {
    if (auto it = pass_->bundles.find(pid); it != pass_->bundles.end()) return it->second;
  }
  std::optional<std::string> bundle;
  if (auto app = platform_.workspace.runningApplication(pid)) bundle = app->bundleIdentifier;
  if (pass_) pass_->bundles.emplace(pid, bundle);
  return bundle;
}

}  // namespace vimbo
