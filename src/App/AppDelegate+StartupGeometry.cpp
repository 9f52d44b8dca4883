// The start-up layout geometry the restore of the saved pins rests on: a snapshot of the bar with
// a change signature, whether the band between the divider and the control item already holds
// every saved item, which saved items still have to be appended, and whether one item already
// stands as a resident of that band. Reads the window list; moves nothing and keeps no state.
#include <algorithm>
#include <map>
#include <set>

#include "App/AppDelegate.h"
#include "Platform/Foundation/Text.h"

namespace vimbo {

namespace {

constexpr double kResidentSlack = bar_side::slack;

// Saved identity -> the first non-fixed candidate carrying it, in candidate order.
std::map<std::string, const CapturedMenuBarItem*> savedItemLookup(const std::vector<CapturedMenuBarItem>& candidates,
                                                                   const std::vector<std::string>& savedIdentityOrder) {
  const std::set<std::string> wanted(savedIdentityOrder.begin(), savedIdentityOrder.end());
  std::map<std::string, const CapturedMenuBarItem*> lookup;
  if (wanted.empty()) return lookup;
  for (const auto& candidate : candidates) {
    if (candidate.isFixed() || !wanted.contains(candidate.stableIdentity)) continue;
    lookup.try_emplace(candidate.stableIdentity, &candidate);
  }
  return lookup;
}

}  // namespace

bool AppDelegate::isValidStartupFrame(const Rect& frame) { return frame.isValidPositive(); }

std::string AppDelegate::startupFrameSignature(const Rect& frame) {
  using platform::text::formatFixed1;
  return formatFixed1(frame.minX()) + "," + formatFixed1(frame.minY()) + "," + formatFixed1(frame.width) + "," +
         formatFixed1(frame.height);
}

std::optional<AppDelegate::StartupLayoutSnapshot> AppDelegate::startupLayoutSnapshot(
    const std::vector<std::string>& savedIdentityOrder) {
  const MenuBarSnapshot bar = barSnapshot();
  const auto& divider = bar.divider();
  const auto& control = bar.control();
  if (!divider || !control || !isValidStartupFrame(*divider) || !isValidStartupFrame(*control)) return std::nullopt;

  StartupLayoutSnapshot snapshot;
  snapshot.candidates = captureService.discoverMenuBarItems();
  snapshot.dividerFrame = *divider;
  snapshot.controlFrame = *control;

  const auto lookup = savedItemLookup(snapshot.candidates, savedIdentityOrder);
  std::string entries;
  for (size_t i = 0; i < savedIdentityOrder.size(); ++i) {
    const std::string& identity = savedIdentityOrder[i];
    if (i > 0) entries += ";";
    auto found = lookup.find(identity);
    const bool present = found != lookup.end() && isValidStartupFrame(found->second->originalFrame);
    entries += identity + "=" + (present ? startupFrameSignature(found->second->originalFrame) : "missing");
  }
  snapshot.signature = startupFrameSignature(*divider) + "|" + startupFrameSignature(*control) + "|" + entries;
  return snapshot;
}

bool AppDelegate::hasSufficientStartupBand(const StartupLayoutSnapshot& snapshot,
                                           const std::vector<std::string>& savedIdentityOrder) {
  const auto lookup = savedItemLookup(snapshot.candidates, savedIdentityOrder);
  double widths = 0;
  for (const auto& identity : savedIdentityOrder) {
    auto found = lookup.find(identity);
    if (found == lookup.end() || !isValidStartupFrame(found->second->originalFrame)) return false;
    widths += found->second->originalFrame.width;
  }
  return widths - kResidentSlack <= snapshot.controlFrame.minX() - snapshot.dividerFrame.maxX();
}

bool AppDelegate::isStartupResident(const CapturedMenuBarItem& item, const StartupLayoutSnapshot& snapshot) {
  const Rect& frame = item.originalFrame;
  return isValidStartupFrame(frame) && captureService.isFrameOnScreen(frame) &&
         bar_side::isInVisibleBand(frame, snapshot.dividerFrame, snapshot.controlFrame, kResidentSlack) &&
         menuBarHider.isResidentFrameSafe(frame, snapshot.controlFrame);
}

std::optional<std::vector<std::string>> AppDelegate::startupAppendPlan(
    const StartupLayoutSnapshot& snapshot, const std::vector<std::string>& savedIdentityOrder) {
  if (savedIdentityOrder.empty()) return std::vector<std::string>{};
  const auto lookup = savedItemLookup(snapshot.candidates, savedIdentityOrder);
  for (const auto& identity : savedIdentityOrder) {
    if (!lookup.contains(identity)) return std::nullopt;
  }

  struct Resident {
    const std::string* identity;
    double minX;
  };
  std::vector<Resident> residents;
  for (const auto& identity : savedIdentityOrder) {
    const CapturedMenuBarItem& item = *lookup.at(identity);
    if (isStartupResident(item, snapshot)) residents.push_back({&identity, item.originalFrame.minX()});
  }
  std::stable_sort(residents.begin(), residents.end(),
                   [](const Resident& a, const Resident& b) { return a.minX < b.minX; });

  // The longest prefix of the saved order that the residents show in the same relative order
  // already stands in place; only the rest is appended.
  size_t cursor = 0;
  size_t inPlace = 0;
  for (const auto& identity : savedIdentityOrder) {
    if (cursor >= residents.size()) break;
    auto match = std::find_if(residents.begin() + static_cast<std::ptrdiff_t>(cursor), residents.end(),
                              [&](const Resident& r) { return *r.identity == identity; });
    if (match == residents.end()) break;
    cursor = static_cast<size_t>(match - residents.begin()) + 1;
    ++inPlace;
  }
  return std::vector<std::string>(savedIdentityOrder.begin() + static_cast<std::ptrdiff_t>(inPlace),
                                  savedIdentityOrder.end());
}

}  // namespace vimbo
